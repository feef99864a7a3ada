// Program entry of the runner.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts("Usage: roomrun [switches] [GAMEFILE]");
      return 0;
    }
  }
  return 0;
}
