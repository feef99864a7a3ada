#pragma once
// The game stopped from outside its code: the player closing the window (or
// pressing Esc where it ends the game) while a step does not come back, or a
// termination signal. Stopping ends the game at once and runs no further
// game code: no more events, no game end, no extension finals.

// Installs RunAttend as the language's attention handler (once, at start).
void RunStopInstall();
// From any thread (the signal watcher): stop the game at the game thread's
// next look-in.
void RunRequestStop(int signal);
// On the game thread, where the loop looks in and whenever running code is
// asked to: lets the window system do its work (collecting input for the
// next step, answering the window manager) and stops the game when it must.
// False when the game is stopped.
bool RunAttend();
// True once the game was stopped from outside.
bool RunStopped();
// The termination signal that stopped the game, 0 for none.
int RunStopSignal();
// How long a close request may wait for the step to come back before the
// game is stopped (milliseconds).
inline constexpr int kStopGraceMs = 1000;
// Back to the start state (tests only).
void RunStopResetForTests();
