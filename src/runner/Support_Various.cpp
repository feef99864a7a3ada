#include "runner/Support_Various.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/Platform.h"
#include "runner/Support_File.h"

bool TraceEnabled = false;
std::string ApplicationTitle = "roomrun";

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
}  // namespace

void TraceWrite(const std::string& text) {
  if (!TraceEnabled) return;
  // Beside the program; an installed runner's folder is not writable, so the
  // log then moves to the current folder, once and said on stderr.
  static std::string path;
  static bool failed = false;
  if (failed) return;
  if (path.empty()) {
    const std::string dir = ExecutableDir();
    path = (dir.empty() ? std::string(".") : dir) + "/Trace.log";
  }
  // Opened and closed for every line so that the log survives a crash.
  std::string why;
  if (AppendFileSafely(path, text + "\n", false, &why)) return;
  if (path != "Trace.log") {
    std::fprintf(stderr, "roomrun: cannot write %s (%s); the trace goes to Trace.log in the current folder\n",
                 path.c_str(), why.c_str());
    path = "Trace.log";
    if (AppendFileSafely(path, text + "\n", false, &why)) return;
  }
  std::fprintf(stderr, "roomrun: cannot write the trace to %s: %s\n", path.c_str(), why.c_str());
  failed = true;
  NoteOutputFailure();
}

const char* ProgramVersion() { return ROOMRUN_VERSION; }

int PrintVersionCommand(int, char**) {
  std::printf("roomrun %s\n", ProgramVersion());
  return 0;
}

void TraceBanner() {
  const std::string stars(86, '*');
  TraceWrite(stars);
  TraceWrite(std::string(15, ' ') + "Orrin Runner v8.1." + "52" + "." + "11948");
  TraceWrite(stars);
}

void InitTrace(bool asked) {
  const char* env = std::getenv("VTLOG_TRACE");
  TraceEnabled = asked || (env != nullptr && std::strcmp(env, "1") == 0);
}

void ShowMessage(const std::string& text) {
  if (Sink()) {
    Sink()(text);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (IGameWindow* w = GameWindow()) w->MessageBox(ApplicationTitle, text);
}

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }

void VTExceptionHandler(const std::string& text) {
  TraceWrite("Unhandled Exception - " + text);
  TraceWrite("Stack Trace");
  void* frames[64];
  int n = backtrace(frames, 64);
  if (char** names = backtrace_symbols(frames, n)) {
    for (int i = 0; i < n; ++i) TraceWrite(names[i]);
    std::free(names);
  }
}

namespace {
[[noreturn]] void OnTerminate() {
  std::string text = "unknown error";
  if (std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      text = ex.what();
    } catch (...) {
    }
  }
  VTExceptionHandler(text);
  ShowMessage(text);
  std::_Exit(3);
}
}  // namespace

void InstallExceptionHandler() { std::set_terminate(OnTerminate); }

namespace {
// Starts argv in directory with posix_spawn (no shell ever sees the
// arguments); a name without a slash is searched in PATH. Returns the
// child's pid or -1 when it could not be started.
pid_t Spawn(const std::vector<std::string>& args, const std::string& directory) {
  if (args.empty() || args[0].empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (!directory.empty()) {
    struct stat st;
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  }
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  // The runner's threads block the termination signals (one thread waits
  // for them): the program gets an empty mask, so that it can be ended.
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return -1;
  }
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void Reap(pid_t pid, bool wait) {
  if (wait) {
    for (;;) {
      pid_t r = waitpid(pid, nullptr, WNOHANG);
      if (r == pid || (r < 0 && errno != EINTR)) break;
      PumpMessages();
      usleep(50000);
    }
  } else {
    // Not waited for: remembered, and collected without blocking by later
    // calls so that finished programs do not linger as zombies.
    static std::vector<pid_t> running;
    running.push_back(pid);
    std::erase_if(running, [](pid_t p) { return waitpid(p, nullptr, WNOHANG) != 0; });
  }
}
}  // namespace

bool RunProgram(const std::string& program, const std::string& parameters, const std::string& directory, bool wait) {
  std::vector<std::string> args = SplitCommandLine(parameters);
  args.insert(args.begin(), program);
  pid_t pid = Spawn(args, directory);
  if (pid < 0) return false;
  Reap(pid, wait);
  return true;
}

bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory) {
  std::string path = file;
  if (!directory.empty() && !file.empty() && file[0] != '/') path = directory + "/" + file;
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0) {
    std::vector<std::string> args = SplitCommandLine(parameters);
    args.insert(args.begin(), path);
    pid_t pid = Spawn(args, directory);
    if (pid < 0) return false;
    Reap(pid, false);
    return true;
  }
  pid_t pid = Spawn({"xdg-open", file}, directory);
  if (pid < 0) return false;
  Reap(pid, false);
  return true;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      const char c = line[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        size_t k = i;
        while (k < n && line[k] == '\\') ++k;
        const size_t count = k - i;
        if (k < n && line[k] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            i = k + 1;
          } else {
            i = k;  // the quote is handled below
          }
        } else {
          arg.append(count, '\\');
          i = k;
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      arg += c;
      ++i;
    }
    out.push_back(std::move(arg));
  }
  return out;
}
