#pragma once
// Reaching code that runs on the game thread from another thread: asking it
// to let the host look in at its next loop pass or script call, and the
// host's answer that stops all code for good (the player closed the window
// of a game stuck in an endless loop, or a termination signal came).

// Safe from any thread and from a signal handler: the running code calls the
// attention handler at its next loop pass or call (code that is not running
// calls it when it next runs a loop).
void CodeRequestAttention();
// The runtime's handler, called on the game thread; false stops the code that
// runs and refuses every code after it.
void CodeSetAttentionHandler(bool (*handler)());
// True once the handler has stopped the code. Errors reported after that are
// not shown.
bool CodeStopped();
// Back to running code freely (tests only).
void CodeStopResetForTests();
