#pragma once
// The table of external functions the game defines in shared libraries, and
// calling them through libffi.
#include <string>

#include "script/RValue.h"

inline constexpr int kDllMaxArgs = 16;

// Defines a function of a library: types[i] 1 string, else real; resulttype
// 1 string, else real; calltype is kept (both conventions are the one C
// convention here). The library is looked for under its name, with ".dll"
// replaced by ".so" (appended to a name without extension), and with "lib"
// before its file name; a name without a
// folder is looked for in the working folder first. Returns the entry id, or
// -1 with a trace line saying why.
int DllDefine(const std::string& library, const std::string& name, int calltype, int resulttype, const int* types,
              int count);
// Calls entry id with count arguments. An unknown id, another number of
// arguments or a freed library calls nothing (result real 0; a trace line).
void DllCall(int id, int count, const RValue* args, RValue& result);
// Frees a library (its name compared ignoring case); its entries call nothing after.
void DllFree(const std::string& library);
