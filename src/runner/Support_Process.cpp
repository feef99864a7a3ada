// The game thread and the watcher of termination signals.
#include "runner/Support_Process.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

namespace {
struct RThreadCall {
  const std::function<int()>* body;
  int result = 1;
};

void* GameThread(void* arg) {
  auto* call = static_cast<RThreadCall*>(arg);
  call->result = (*call->body)();
  return nullptr;
}

void (*g_onSignal)() = nullptr;

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

// Waits in plain code (not in a signal handler), so the clean-up may do
// anything an ordinary function does.
void* SignalWatcher(void*) {
  const sigset_t set = TerminationSignals();
  int sig = 0;
  while (sigwait(&set, &sig) != 0) {
  }
  if (g_onSignal) g_onSignal();
  std::_Exit(128 + sig);
}
}  // namespace

int RunOnGameThread(const std::function<int()>& body, void (*on_signal)()) {
  g_onSignal = on_signal;
  // Blocked before any thread starts, so every thread inherits the mask and
  // only the watcher receives them.
  const sigset_t set = TerminationSignals();
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &set, &old);
  pthread_t watcher;
  pthread_attr_t small;
  pthread_attr_init(&small);
  pthread_attr_setstacksize(&small, size_t(256) << 10);
  pthread_attr_setdetachstate(&small, PTHREAD_CREATE_DETACHED);
  const bool watching = pthread_create(&watcher, &small, SignalWatcher, nullptr) == 0;
  pthread_attr_destroy(&small);
  if (!watching) pthread_sigmask(SIG_SETMASK, &old, nullptr);

  RThreadCall call{&body};
  pthread_attr_t attr;
  pthread_t game;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kGameStackBytes);
  const bool started = pthread_create(&game, &attr, GameThread, &call) == 0;
  pthread_attr_destroy(&attr);
  if (!started) return body();
  pthread_join(game, nullptr);
  return call.result;
}
