#pragma once
// The drag-and-drop action functions (action_*): relative arguments, random
// choices, comparison questions and the score, lives and health bookkeeping
// built on the ordinary built-ins.

struct RFunctionLibrary;
// Only the actions whose underlying built-ins exist are in the table; the
// list of those still waiting is in docs/LIBRARY.md.
extern const RFunctionLibrary kLibrary_Action;
