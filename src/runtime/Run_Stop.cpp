// Owns the stop from outside: its reason, the close request being timed, and
// the attention handler that looks in while code runs.
#include "runtime/Run_Stop.h"

#include <atomic>
#include <chrono>
#include <optional>

#include "platform/Platform.h"
#include "runner/Option_Main.h"
#include "runtime/Event_Main.h"
#include "script/Code_Interrupt.h"
#include "script/Code_Spaces.h"

namespace {
using Clock = std::chrono::steady_clock;

std::atomic<int> g_signal{0};
bool g_stopped = false;
// When a close request was first seen waiting while code ran.
std::optional<Clock::time_point> g_askedSince;

bool Stop() {
  g_stopped = true;
  // Every phase ends at a pending change, and the loop ends at this one.
  New_Room = ROOM_END;
  return false;
}

// A close request, or Esc where it ends the game, still waiting to be taken
// by the loop.
bool CloseWaiting(const IGameWindow& w) {
  return w.EventWaiting(RInputEvent::Close) || (opt_keyesc && w.EventWaiting(RInputEvent::KeyDown, VK_ESCAPE));
}
}  // namespace

void RunStopInstall() { CodeSetAttentionHandler(RunAttend); }

void RunRequestStop(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);
  CodeRequestAttention();
}

bool RunAttend() {
  if (g_stopped) return false;
  if (g_signal.load() != 0) return Stop();
  IGameWindow* w = GameWindow();
  if (w == nullptr) return true;
  // Input is only collected here: the loop hands it to the game between
  // steps, as ever.
  w->Pump();
  if (!CloseWaiting(*w)) {
    g_askedSince.reset();
    return true;
  }
  // The loop takes a request at its next pump; one that waits longer than
  // the grace belongs to a step that does not come back.
  const Clock::time_point now = Clock::now();
  if (!g_askedSince) g_askedSince = now;
  if (now - *g_askedSince < std::chrono::milliseconds(kStopGraceMs)) return true;
  return Stop();
}

bool RunStopped() { return g_stopped; }

int RunStopSignal() { return g_signal.load(); }

void RunStopResetForTests() {
  g_signal.store(0);
  g_stopped = false;
  g_askedSince.reset();
  CodeStopResetForTests();
}
