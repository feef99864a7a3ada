// Program entry of the runner: parse the switches, then play the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "runner/Runner_Load.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"

namespace {

const char kUsage[] =
    "Usage: roomrun [switches] [GAMEFILE]\n"
    "Plays a game. Without GAMEFILE the game appended to this program is played.\n"
    "\n"
    "Switches:\n"
    "  --help        show this text and exit\n"
    "  --headless    no window and no sound; messages go to standard error\n"
    "  --VTTrace     write a trace of the run to Trace.log beside the program\n";

struct ROptions {
  bool help = false;
  std::string game_file;
  std::string error;
};

ROptions ParseSwitches(int argc, char** argv) {
  ROptions o;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      o.help = true;
    } else if (std::strcmp(a, "--headless") == 0) {
      Headless = true;
    } else if (std::strcmp(a, "--VTTrace") == 0) {
      // read by InitTrace
    } else if (a[0] == '-' && a[1] != '\0') {
      o.error = std::string("Unknown switch: ") + a;
    } else if (o.game_file.empty()) {
      o.game_file = a;
    } else {
      o.error = std::string("Only one game file can be given: ") + a;
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  // Switches that run a tool command instead of a game are handled here,
  // before anything of a run is set up.

  ROptions options = ParseSwitches(argc, argv);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "%s\n%s", options.error.c_str(), kUsage);
    return 2;
  }

  InitTrace(argc, argv);
  TraceBanner();
  std::string path = options.game_file.empty() ? ExecutablePath() : options.game_file;
  ApplicationTitle = std::filesystem::path(options.game_file.empty() ? path : options.game_file).stem().string();
  if (ApplicationTitle.empty()) ApplicationTitle = "roomrun";

  CreateTempDir();
  std::atexit(RemoveTempDir);
  TempDirGuard remove_temp_dir;

  if (!RunGame(path)) return 1;
  FinishGame();
  return 0;
}
