#pragma once
// The runner's process: the thread the game runs on (with a stack of our
// choosing) and the termination signals that must still clean up.
#include <cstddef>
#include <functional>

// Stack of the game thread: deep enough for the parser's and interpreter's
// nesting limits whatever the player's shell sets for the main thread.
inline constexpr size_t kGameStackBytes = size_t(64) << 20;

// Runs body on a thread with kGameStackBytes of stack and returns its result.
// SIGTERM, SIGINT and SIGHUP are taken by a watcher thread meanwhile: it
// calls on_signal (which removes what the run made) and ends the process
// with status 128 + the signal number. Falls back to running body directly
// when no thread can be made.
int RunOnGameThread(const std::function<int()>& body, void (*on_signal)());
