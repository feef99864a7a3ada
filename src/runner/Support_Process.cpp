// The game thread, its heartbeat and the watch for termination signals.
#include "runner/Support_Process.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {
struct RThreadCall {
  const std::function<int()>* body;
  pthread_t waiter;
  int result = 1;
  std::atomic<bool> done{false};
};

// Said to the waiting main thread when the game thread has returned, so that
// the process ends at once rather than at the next heartbeat.
int DoneSignal() { return SIGRTMIN; }

void* GameThread(void* arg) {
  auto* call = static_cast<RThreadCall*>(arg);
  call->result = (*call->body)();
  call->done.store(true);
  pthread_kill(call->waiter, DoneSignal());
  return nullptr;
}

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, DoneSignal());
  return set;
}

[[noreturn]] void EndWithoutGameThread(const RProcessHooks& hooks, int signal) {
  if (hooks.last_resort) hooks.last_resort();
  std::_Exit(128 + signal);
}
}  // namespace

int RunOnGameThread(const std::function<int()>& body, const RProcessHooks& hooks) {
  // Blocked before the game thread starts, so every thread inherits the mask
  // and only this one receives them.
  const sigset_t set = WatchedSignals();
  sigset_t old;
  pthread_sigmask(SIG_BLOCK, &set, &old);

  RThreadCall call;
  call.body = &body;
  call.waiter = pthread_self();
  pthread_attr_t attr;
  pthread_t game;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kGameStackBytes);
  const bool started = pthread_create(&game, &attr, GameThread, &call) == 0;
  pthread_attr_destroy(&attr);
  if (!started) {
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return body();
  }

  using Clock = std::chrono::steady_clock;
  int stop_signal = 0;
  Clock::time_point deadline{};
  for (;;) {
    const timespec slice{0, long(kHeartbeatMs) * 1000000L};
    const int sig = sigtimedwait(&set, nullptr, &slice);
    if (call.done.load()) break;
    if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) {
      // A second signal: the player insists.
      if (stop_signal != 0) EndWithoutGameThread(hooks, stop_signal);
      stop_signal = sig;
      deadline = Clock::now() + std::chrono::milliseconds(kSignalGraceMs);
      if (hooks.signal_arrived) hooks.signal_arrived(sig);
    }
    if (stop_signal != 0 && Clock::now() >= deadline) EndWithoutGameThread(hooks, stop_signal);
    if (hooks.heartbeat) hooks.heartbeat();
  }
  pthread_join(game, nullptr);
  return stop_signal != 0 ? 128 + stop_signal : call.result;
}
