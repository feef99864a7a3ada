// Program entry of the runner: parse the switches, then play the game.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/headless/Headless_Window.h"
#include "platform/sdl/SDL_Window.h"
#include "runner/DataNew_Main.h"
#include "runner/Runner_Load.h"
#include "runner/Support_File.h"
#include "runner/Support_Process.h"
#include "runner/Support_Various.h"
#include "runtime/IO_Script.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Command.h"
#include "script/Code_Function.h"

namespace {

const char kUsage[] =
    "Usage: roomrun [switches] [GAMEFILE]\n"
    "Plays a game. Without GAMEFILE the game appended to this program is played.\n"
    "\n"
    "Switches:\n"
    "  --help        show this text and exit\n"
    "  --version     show the version and exit\n"
    "  --headless    no window and no sound device: the game is drawn offscreen;\n"
    "                messages go to standard error and show_debug_message lines\n"
    "                to standard output\n"
    "  --screenshot STEP:FILE  save the frame drawn in step STEP as a PNG file\n"
    "                (repeatable)\n"
    "  --steps N     end the game (as game_end does) after N steps\n"
    "  --fast        run steps back to back; the game clock advances one step's\n"
    "                time slice per step\n"
    "  --seed N      seed the random numbers with N instead of the clock\n"
    "  --dump-state FILE  when the game ends, write its instances and global\n"
    "                variables to FILE as JSON\n"
    "  --input FILE  scripted keyboard and mouse input: lines \"STEP EVENT\" delivered\n"
    "                before step STEP (counted from 1), for example \"3 key down\n"
    "                vk_left\", \"5 char hello\", \"9 mouse down left\"; see README\n"
    "  --secure      secure mode whatever the game's settings say: included files\n"
    "                and saved games stay in the game's own folders\n"
    "  --VTTrace     write a trace of the run to Trace.log beside the program\n"
    "  --list-functions  print every built-in function and its argument count\n"
    "  --list-variables  print every built-in variable\n"
    "  --eval FILE   run the code in FILE once and print its result\n"
    "  --scripts DIR with --eval: one script per file in DIR, named by the file name\n"
    "\n"
    "Exit status: 0 the game ended normally; 1 the game could not be read, loaded\n"
    "or prepared; 2 a wrong command line or input script; 3 the game was stopped\n"
    "by a fatal error or an Abort answer; 4 a file the runner writes (--dump-state,\n"
    "a log) could not be written.\n";

// Switches that run a tool command instead of a game (for example
// "--eval FILE"). The command gets the arguments that follow its switch and
// returns the exit status; it runs before anything of a game run is set up.
struct RToolCommand {
  const char* name;
  int (*run)(int argc, char** argv);
};
const std::vector<RToolCommand> kToolCommands = {
    {"--version", PrintVersionCommand},
};

struct ROptions {
  bool help = false;
  bool headless = false;
  std::string game_file;
  std::string input_file;
  bool input_given = false;
  std::string error;
};

bool ParseCount(const char* text, long long& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < 0) return false;
  out = v;
  return true;
}

ROptions ParseSwitches(int argc, char** argv) {
  ROptions o;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      o.help = true;
    } else if (std::strcmp(a, "--headless") == 0) {
      o.headless = true;
    } else if (std::strcmp(a, "--screenshot") == 0) {
      const char* spec = i + 1 < argc ? argv[++i] : "";
      const char* colon = std::strchr(spec, ':');
      long long step = 0;
      if (colon == nullptr || colon[1] == '\0' || !ParseCount(std::string(spec, colon).c_str(), step) || step < 1)
        o.error = "--screenshot needs STEP:FILE with a step of 1 or more";
      else
        RunSettings().screenshots.push_back({step, colon + 1});
    } else if (std::strcmp(a, "--fast") == 0) {
      RunSettings().fast = true;
    } else if (std::strcmp(a, "--steps") == 0 || std::strcmp(a, "--seed") == 0) {
      long long n = 0;
      if (i + 1 >= argc || !ParseCount(argv[i + 1], n)) {
        o.error = std::string(a) + " needs a whole number of 0 or more";
      } else if (std::strcmp(a, "--steps") == 0) {
        RunSettings().max_steps = n;
      } else {
        RunSettings().seeded = true;
        RunSettings().seed = static_cast<uint32_t>(n);
      }
      ++i;
    } else if (std::strcmp(a, "--dump-state") == 0) {
      if (i + 1 >= argc) o.error = "--dump-state needs a file name";
      else RunSettings().dump_state = argv[++i];
    } else if (std::strcmp(a, "--input") == 0) {
      if (i + 1 >= argc) o.error = "--input needs a file name";
      else {
        o.input_file = argv[++i];
        o.input_given = true;
      }
    } else if (std::strcmp(a, "--secure") == 0) {
      SecureMode = true;
    } else if (std::strcmp(a, "--VTTrace") == 0) {
      // read by InitTrace
    } else if (a[0] == '-' && a[1] != '\0') {
      o.error = std::string("unknown switch ") + a;
    } else if (o.game_file.empty()) {
      o.game_file = a;
    } else {
      o.error = std::string("only one game file can be given: ") + a;
    }
  }
  return o;
}

// --eval ends with a message, never an uncaught exception (running out of
// memory in the evaluated code is the usual one).
int RunEvalGuarded(const char* eval, const char* scripts) {
  try {
    return RunEvalCommand(eval, scripts);
  } catch (const std::bad_alloc&) {
    std::fputs("roomrun: --eval: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "roomrun: --eval: %s\n", e.what());
  }
  return 1;
}

// On SIGTERM, SIGINT and SIGHUP: what an ordinary end removes.
void RemoveWhatTheRunMade() {
  FinishGame();
  RemoveTempDir();
}

}  // namespace

int RunnerMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const RToolCommand& tool : kToolCommands) {
      if (std::strcmp(argv[i], tool.name) == 0) return tool.run(argc - i - 1, argv + i + 1);
    }
  }

  // Language services: the registries, and running one code file once
  // (--eval FILE, optionally with --scripts DIR).
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
    if (eval) return RunEvalGuarded(eval, scripts);
  }

  ROptions options = ParseSwitches(argc, argv);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "roomrun: %s\nTry 'roomrun --help'.\n", options.error.c_str());
    return 2;
  }
  if (options.input_given) {
    std::string error;
    if (!IO_ScriptLoad(options.input_file, error)) {
      std::fprintf(stderr, "roomrun: %s\n", error.c_str());
      return 2;
    }
  }

  // One set of platform backends for the whole run: the real window when a
  // display can be reached, else the offscreen one.
  if (!options.headless && !SdlDisplayAvailable()) {
    std::fputs("roomrun: no display found (DISPLAY and WAYLAND_DISPLAY are unset): playing headless\n", stderr);
    options.headless = true;
  }
  PlatformInstall(options.headless ? MakeHeadlessPlatform() : MakeSdlPlatform());

  InitTrace(argc, argv);
  InstallExceptionHandler();
  TraceBanner();
  std::string path = options.game_file.empty() ? ExecutablePath() : options.game_file;
  ApplicationTitle = std::filesystem::path(options.game_file.empty() ? path : options.game_file).stem().string();
  if (ApplicationTitle.empty()) ApplicationTitle = "roomrun";

  CreateTempDir();
  std::atexit(RemoveTempDir);
  RegisterBuiltins();
  TempDirGuard remove_temp_dir;

  bool ok = RunGame(path);
  CloseLoadForm();
  FinishGame();
  ErrorFlushRepeats();
  PlatformShutdown();
  return ok ? GameExitStatus() : 1;
}

int main(int argc, char** argv) {
  return RunOnGameThread([&] { return RunnerMain(argc, argv); }, RemoveWhatTheRunMade);
}
