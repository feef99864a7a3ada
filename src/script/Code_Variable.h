#pragma once
// The table of user variable names: a name's id is 100000 + its position,
// fixed for the whole run because compiled code keeps ids, not names.
#include "script/Code_Spaces.h"
#include <string>
#include <string_view>


// The id for a name as the compiler needs it: built-in variables first, then
// the user names (appending a new one). Updates the argument counters of the
// compilation in progress (see CompileArgsReset).
int VariableFind(std::string_view name);
// Name for an id, "<unknown built-in variable>" / "<unknown variable>".
std::string VariableGetName(int id);
// User name lookup without adding; -1 when absent.
int UserVariableFind(std::string_view name);
int UserVariableCount();

// Counters kept by VariableFind during one compilation.
void CompileArgsReset();
int CompileArgsCount();     // 1 + highest N of argumentN seen, 0 for none
bool CompileArgsArray();    // the name `argument` was seen
