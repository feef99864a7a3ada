#pragma once
// The table of built-in functions. A function's id is its position in the
// table, so ids follow the order of registration.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/RValue.h"
#include "script/Function_Args.h"

class CInstance;

// Contract of every built-in routine: self, other, the number of arguments
// given, the result (starts as real 0) and the argument values. A routine
// reports its own errors and never makes the calling code fail.
using BuiltinRoutine = void (*)(CInstance* self, CInstance* other, int argc,
                                RValue& result, RValue* args);

struct RFunction {
  std::string_view f_name;  // static text: the library's table, or a copy kept for the run
  BuiltinRoutine f_routine = nullptr;
  int f_argnumb = 0;  // -1: any number from 0 to 16
  const char* f_library = "";  // the function library that registered it
};

constexpr int kMaxFunctionArgs = 16;

void FunctionAdd(std::string_view name, BuiltinRoutine routine, int argnumb);
// Built-in table only: id or -1.
int FunctionFindBuiltin(std::string_view name);
int FunctionCount();
const RFunction& FunctionGet(int id);
// The table as every call in code reads it: FunctionAdd keeps these current.
extern const RFunction* g_builtinTable;
extern int g_builtinCount;

// The full lookup of the compiler: scripts (100000 + index), then extension
// package functions (500000 + id), then built-ins; -1 when absent.
int FunctionFind(std::string_view name);
// Declared argument count of a function id: -1 any (scripts too); -100 for
// an id that names nothing.
int FunctionArgCount(int id);

// Extension package functions are provided by the package loader through
// these hooks; without them no such function exists.
struct RExtensionHooks {
  int (*find)(std::string_view name) = nullptr;  // id or -1
  int (*arg_count)(int id) = nullptr;
  bool (*call)(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count) = nullptr;
};
RExtensionHooks& ExtensionHooks();
bool ExtensionFunctionCall(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count);

// Fills the registries at program start: built-in variables, built-in
// constants, then every function library in order (the list is in
// runner/Builtin_Libraries.cpp). Safe to call again.
void RegisterBuiltins();
// The language's own part of that: variables, constants, compiler hooks.
void RegisterLanguage();
