// Program entry of the runner.
#include <cstdio>
#include <cstring>

#include "script/Code_Command.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts("Usage: roomrun [switches] [GAMEFILE]");
      return 0;
    }
  }
  // Language services: registries and one-shot evaluation of a code file.
  {
    const char* eval = nullptr;
    const char* scripts = nullptr;
    for (int i = 1; i < argc; ++i) {
      if (std::strcmp(argv[i], "--list-functions") == 0) {
        ListFunctions(stdout);
        return 0;
      }
      if (std::strcmp(argv[i], "--list-variables") == 0) {
        ListVariables(stdout);
        return 0;
      }
      if (std::strcmp(argv[i], "--eval") == 0 && i + 1 < argc) eval = argv[++i];
      else if (std::strcmp(argv[i], "--scripts") == 0 && i + 1 < argc) scripts = argv[++i];
    }
    if (eval) return RunEvalCommand(eval, scripts);
  }
  return 0;
}
