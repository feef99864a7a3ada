// The game packer: turns a project folder into a game file.
#include <cstdio>

int main() {
  std::puts("Usage: roompack PROJECT_DIR -o OUTPUT [--exe]");
  return 1;
}
