/* The library of the extension package fixture: reals, strings, and init
   and final functions that leave a line in a file of the working folder. */
#include <stdio.h>

static void note(const char* what) {
  FILE* f = fopen("ext_trace.txt", "a");
  if (f) {
    fprintf(f, "%s\n", what);
    fclose(f);
  }
}

double pkg_lib_init(void) { note("library init"); return 0; }
double pkg_lib_final(void) { note("library final"); return 0; }
double pkg_scale(double a, double b) { return a * b; }
const char* pkg_greet(const char* who, double times) {
  static char buf[256];
  snprintf(buf, sizeof buf, "hello %s x%g", who, times);
  return buf;
}
double pkg_weighted5(double a, double b, double c, double d, double e) { return a + 2 * b + 3 * c + 4 * d + 5 * e; }
