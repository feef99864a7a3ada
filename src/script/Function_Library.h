#pragma once
// The shape of a function library: a named table of built-in functions, and
// the routine that installs a library's other hooks. The order in which the
// libraries are registered is kept in runner/Builtin_Libraries.cpp.
#include <cstddef>
#include <span>
#include <string_view>

#include "script/Code_Function.h"

// A library's table is declared `constexpr RBuiltin kFunctions[]`: made when
// compiled (a plain const table of string_views was built by start-up code).
struct RBuiltin {
  std::string_view name;  // its length is counted when the table is compiled
  BuiltinRoutine routine;
  int argc;  // -1: any number from 0 to 16
};

struct RFunctionLibrary {
  const char* name;
  std::span<const RBuiltin> functions;
  void (*install)() = nullptr;  // hooks the library sets when registered
};

// Adds every function of the library to the table, in table order, then
// runs its install routine.
void FunctionAddLibrary(const RFunctionLibrary& library);
// Room for `count` more functions, so that registering them allocates nothing.
void FunctionReserve(size_t count);
