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

#include "library/Function_File.h"
#include "platform/Platform.h"
#include "platform/headless/Headless_Window.h"
#include "platform/sdl/SDL_Window.h"
#include "runner/DataNew_Main.h"
#include "runner/Runner_Load.h"
#include "runner/Support_File.h"
#include "runner/Support_Process.h"
#include "runner/Support_Various.h"
#include "roompack/Pack.h"
#include "roompack/Project.h"
#include "runtime/IO_Script.h"
#include "runtime/Run_Main.h"
#include "runtime/Run_Stop.h"
#include "script/Code_Error.h"
#include "script/Code_Command.h"
#include "script/Code_Function.h"
#include "script/Code_Interrupt.h"
#include "sound/Sound_Playback.h"

namespace {

const char kUsage[] =
    "Usage: roomrun [switches] [--] [GAMEFILE]\n"
    "Plays a game. Without GAMEFILE the game appended to this program is played.\n"
    "GAMEFILE may also be a project folder: it is packed in memory, as roompack\n"
    "would pack it, and played when it packs without errors.\n"
    "\n"
    "Switches (a value goes as \"--name value\" or \"--name=value\"; \"--\" ends\n"
    "the switches, so a game file named like a switch can follow):\n"
    "  --help        show this text and exit\n"
    "  --version     show the version and exit\n"
    "  --headless    no window and no sound device: the game is drawn offscreen;\n"
    "                messages go to standard error and show_debug_message lines\n"
    "                to standard output\n"
    "  --screenshot STEP:FILE  save the frame drawn in step STEP as a PNG file\n"
    "                (repeatable); STEP+N:FILE saves frame N (from 0) of the\n"
    "                room transition played after step STEP\n"
    "  --audio-out FILE  write the whole sound mix of the run to FILE as a WAV\n"
    "                file (44100 Hz stereo); headless, the mix advances by one\n"
    "                step's time per step\n"
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
    "  --list-functions  print every built-in function: name, argument count (-1:\n"
    "                any number) and its library; docs/FUNCTIONS.md says more\n"
    "  --list-variables  print every built-in variable\n"
    "  --eval FILE   run the code in FILE once and print its result\n"
    "  --scripts DIR with --eval: one script per file in DIR, named by the file name\n"
    "\n"
    "Exit status: 0 the game ended normally, also when the player closed its\n"
    "window; 1 the game could not be read, loaded or prepared; 2 a wrong command\n"
    "line or input script, or no game to play; 3 the game was stopped by a fatal\n"
    "error or an Abort answer; 4 a file the runner writes (--dump-state,\n"
    "--screenshot, a log) could not be written; 128 + N the signal N (SIGINT 130,\n"
    "SIGTERM 143, SIGHUP 129) ended the game.\n";

struct ROptions {
  bool help = false;
  bool version = false;
  bool list_functions = false;
  bool list_variables = false;
  bool headless = false;
  bool trace = false;
  std::string eval_file;
  std::string scripts_dir;
  std::string game_file;
  std::string input_file;
  bool input_given = false;
  std::string error;
};

// Switches that take a value, as "--name value" or "--name=value".
bool TakesValue(const std::string& name) {
  static const char* const kNames[] = {"--screenshot", "--steps", "--seed", "--dump-state",
                                       "--input",      "--eval",  "--scripts", "--audio-out"};
  for (const char* n : kNames)
    if (name == n) return true;
  return false;
}

bool IsFlag(const std::string& name) {
  static const char* const kNames[] = {"--help",     "--version", "--list-functions", "--list-variables",
                                       "--headless", "--fast",    "--secure",         "--VTTrace"};
  for (const char* n : kNames)
    if (name == n) return true;
  return false;
}

// Packs a project folder with the packer's own code; its warnings and errors
// go to stderr in the packer's form, and any error means nothing is played.
bool PackFolder(const std::string& dir, std::vector<uint8_t>& game) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(dir) / "game.json", ec)) {
    std::fprintf(stderr, "roomrun: %s: is a folder with no game.json, neither a project folder nor a game file\n",
                 dir.c_str());
    return false;
  }
  try {
    Project project = LoadProject(dir);
    game = PackGame(project);
    CheckProjectCode(project, game);
    for (const std::string& w : project.warnings) std::fprintf(stderr, "roomrun: warning: %s\n", w.c_str());
    if (project.errors.empty()) return true;
    for (const std::string& e : project.errors) std::fprintf(stderr, "%s\n", e.c_str());
    std::fprintf(stderr, "roomrun: %zu error%s in the project folder; the game was not started\n",
                 project.errors.size(), project.errors.size() == 1 ? "" : "s");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "roomrun: %s\n", e.what());
  }
  return false;
}

bool ParseCount(const std::string& text, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < 0) return false;
  out = v;
  return true;
}

void TakeGameFile(ROptions& o, const std::string& a) {
  if (o.game_file.empty()) o.game_file = a;
  else if (o.error.empty()) o.error = "only one game file can be given: " + a;
}

// The first error found is the one reported.
void Fail(ROptions& o, const std::string& error) {
  if (o.error.empty()) o.error = error;
}

ROptions ParseSwitches(int argc, char** argv) {
  ROptions o;
  bool switches_ended = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (switches_ended || a.size() < 2 || a[0] != '-') {
      TakeGameFile(o, a);
      continue;
    }
    if (a == "--") {
      switches_ended = true;
      continue;
    }
    std::string value;
    bool has_value = false;
    if (const size_t eq = a.find('='); a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
      has_value = true;
      if (!TakesValue(a)) {
        Fail(o, IsFlag(a) ? a + " takes no value" : "unknown switch " + std::string(argv[i]));
        continue;
      }
    } else if (TakesValue(a)) {
      if (i + 1 < argc) {
        value = argv[++i];
        has_value = true;
      }
    }

    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--list-functions") {
      o.list_functions = true;
    } else if (a == "--list-variables") {
      o.list_variables = true;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--fast") {
      RunSettings().fast = true;
    } else if (a == "--secure") {
      SecureMode = true;
    } else if (a == "--VTTrace") {
      o.trace = true;
    } else if (!TakesValue(a)) {
      Fail(o, "unknown switch " + std::string(argv[i]));
    } else if (!has_value) {
      Fail(o, a + " needs a value");
    } else if (a == "--screenshot") {
      const size_t colon = value.find(':');
      const std::string when = value.substr(0, colon);
      const size_t plus = when.find('+');
      long long step = 0, frame = -1;
      const bool frame_ok =
          plus == std::string::npos || (ParseCount(when.substr(plus + 1), frame) && frame < (1 << 30));
      if (colon == std::string::npos || colon + 1 == value.size() || !ParseCount(when.substr(0, plus), step) ||
          step < 1 || !frame_ok)
        Fail(o, "--screenshot needs STEP:FILE or STEP+FRAME:FILE with a step of 1 or more");
      else
        RunSettings().screenshots.push_back({step, value.substr(colon + 1), int(frame)});
    } else if (a == "--steps" || a == "--seed") {
      long long n = 0;
      if (!ParseCount(value, n)) {
        Fail(o, a + " needs a whole number of 0 or more");
      } else if (a == "--steps") {
        RunSettings().max_steps = n;
      } else {
        RunSettings().seeded = true;
        RunSettings().seed = static_cast<uint32_t>(n);
      }
    } else if (a == "--audio-out") {
      SetAudioOutFile(value);
    } else if (a == "--dump-state") {
      RunSettings().dump_state = value;
    } else if (a == "--input") {
      o.input_file = value;
      o.input_given = true;
    } else if (a == "--eval") {
      o.eval_file = value;
    } else if (a == "--scripts") {
      o.scripts_dir = value;
    }
  }
  return o;
}

// --eval ends with a message, never an uncaught exception (running out of
// memory in the evaluated code is the usual one).
int RunEvalGuarded(const std::string& eval, const std::string& scripts) {
  try {
    return RunEvalCommand(eval.c_str(), scripts.empty() ? nullptr : scripts.c_str());
  } catch (const std::bad_alloc&) {
    std::fputs("roomrun: --eval: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "roomrun: --eval: %s\n", e.what());
  }
  return 1;
}

// When the game thread did not end after a termination signal: the files an
// ordinary end removes, and nothing the game thread may still be using.
void RemoveWhatTheRunMade() {
  RemoveIncludedFiles();
  RemoveTempDir();
}

// The process's heartbeat: running code looks in (the window answers, a
// close request is timed).
void Heartbeat() { CodeRequestAttention(); }

}  // namespace

int RunnerMain(int argc, char** argv) {
  SetProgramParameters(argc, argv);
  RunStopInstall();
  ROptions options = ParseSwitches(argc, argv);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "roomrun: %s\nTry 'roomrun --help'.\n", options.error.c_str());
    return 2;
  }
  if (options.version) return PrintVersionCommand(0, nullptr);

  // Language services: the registries, and running one code file once
  // (--eval FILE, optionally with --scripts DIR).
  if (options.list_functions) {
    ListFunctions(stdout);
    return 0;
  }
  if (options.list_variables) {
    ListVariables(stdout);
    return 0;
  }
  if (!options.eval_file.empty()) return RunEvalGuarded(options.eval_file, options.scripts_dir);

  // A game file that cannot be played is said before anything is set up; a
  // runner with nothing appended has nothing to play but its usage.
  std::string path = options.game_file.empty() ? ExecutablePath() : options.game_file;
  std::vector<uint8_t> packed;
  std::error_code dir_ec;
  const bool folder = !options.game_file.empty() && std::filesystem::is_directory(path, dir_ec);
  if (folder) {
    if (!PackFolder(path, packed)) return 1;
  } else if (!options.game_file.empty()) {
    const std::string problem = GameFileProblem(path);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
  } else if (!FileHasGameData(path)) {
    std::fputs(kUsage, stderr);
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

  InitTrace(options.trace);
  InstallExceptionHandler();
  TraceBanner();
  ApplicationTitle = std::filesystem::path(options.game_file.empty() ? path : options.game_file).stem().string();
  if (ApplicationTitle.empty()) ApplicationTitle = "roomrun";

  CreateTempDir();
  std::atexit(RemoveTempDir);
  RegisterBuiltins();
  TempDirGuard remove_temp_dir;

  bool ok = folder ? RunGameFromBytes(std::move(packed)) : RunGame(path);
  CloseLoadForm();
  FinishGame();
  ErrorFlushRepeats();
  PlatformShutdown();
  return ok ? GameExitStatus() : 1;
}

int main(int argc, char** argv) {
  RProcessHooks hooks;
  hooks.heartbeat = Heartbeat;
  hooks.signal_arrived = RunRequestStop;
  hooks.last_resort = RemoveWhatTheRunMade;
  return RunOnGameThread([&] { return RunnerMain(argc, argv); }, hooks);
}
