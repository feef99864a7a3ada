#pragma once
// The runner's process: the thread the game runs on (with a stack of our
// choosing), the heartbeat that lets running code look in, and the
// termination signals that must still clean up.
#include <cstddef>
#include <functional>

// Stack of the game thread: deep enough for the parser's and interpreter's
// nesting limits whatever the player's shell sets for the main thread.
inline constexpr size_t kGameStackBytes = size_t(64) << 20;
// How often the game thread is asked to look in while it runs.
inline constexpr int kHeartbeatMs = 100;
// How long the game thread has to end after a termination signal before the
// process ends without it.
inline constexpr int kSignalGraceMs = 1500;

struct RProcessHooks {
  // Every kHeartbeatMs while the game thread runs (on the main thread).
  void (*heartbeat)() = nullptr;
  // A termination signal came: ask the game thread to end (main thread).
  void (*signal_arrived)(int signal) = nullptr;
  // The game thread did not end in time, or a second signal came: remove
  // what the run made on disk, without touching what the game thread uses.
  void (*last_resort)() = nullptr;
};

// Runs body on a thread with kGameStackBytes of stack and returns its result.
// Meanwhile the calling thread takes SIGTERM, SIGINT and SIGHUP: the first
// one asks the game to end, and the process then ends with status 128 + the
// signal number, once the game thread has cleaned up and returned, or after
// kSignalGraceMs (or at a second signal) through last_resort. Falls back to
// running body directly when no thread can be made.
int RunOnGameThread(const std::function<int()>& body, const RProcessHooks& hooks);
