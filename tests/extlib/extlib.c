/* A small shared library the external-function tests call into. */
#include <stdio.h>
#include <string.h>

double ext_answer(void) { return 42; }
double ext_add2(double a, double b) { return a + b; }
double ext_mixed(double a, const char* s, double b, const char* t) {
  return a * 1000 + (double)strlen(s) * 100 + b * 10 + (double)strlen(t);
}
const char* ext_concat(const char* a, const char* b) {
  static char buf[256];
  snprintf(buf, sizeof buf, "%s+%s", a, b);
  return buf;
}
const char* ext_null(void) { return NULL; }
double ext_weighted5(double a, double b, double c, double d, double e) { return a + 2 * b + 3 * c + 4 * d + 5 * e; }
double ext_weighted16(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8,
                      double a9, double a10, double a11, double a12, double a13, double a14, double a15,
                      double a16) {
  return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10 + 11 * a11 +
         12 * a12 + 13 * a13 + 14 * a14 + 15 * a15 + 16 * a16;
}
double ext_weighted8(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8) {
  return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8;
}
