#pragma once
// Helpers for the library tests: call built-in routines by name and watch the
// errors they report.
#include "script/Function_Library.h"
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "library/Function_Data_Structures.h"
#include "library/Function_Math.h"
#include "runner/Option_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"


namespace libtest {

inline void EnsureRegistered() {
  static bool done = [] {
    // Errors are reported, not shown: no window, and nothing turns fatal.
    opt_showerrors = false;
    opt_aborterrors = false;
    // Start-up may already have registered the libraries.
    if (FunctionFindBuiltin("is_real") < 0) FunctionAddLibrary(kLibrary_Math);
    if (FunctionFindBuiltin("ds_set_precision") < 0) FunctionAddLibrary(kLibrary_Data_Structures);
    return true;
  }();
  (void)done;
}

// Calls the registered built-in `name` with the given arguments and returns
// its result; the argument count must be the declared one.
inline RValue CallBuiltin(const std::string& name, std::initializer_list<RValue> args = {}) {
  int id = FunctionFindBuiltin(name);
  if (id < 0) {
    ADD_FAILURE() << "no built-in " << name;
    return RValue();
  }
  std::vector<RValue> argv(args);
  const RFunction& f = FunctionGet(id);
  if (f.f_argnumb >= 0) {
    EXPECT_EQ(static_cast<int>(argv.size()), f.f_argnumb) << name;
  }
  argv.resize(argv.size() + 1);  // never hand out a null pointer
  RValue result;
  f.f_routine(nullptr, nullptr, static_cast<int>(args.size()), result, argv.data());
  return result;
}

// The same after registering the math and data-structure libraries.
inline RValue Call(const std::string& name, std::initializer_list<RValue> args = {}) {
  EnsureRegistered();
  return CallBuiltin(name, args);
}

// Runs `body` and returns the last error it reported (empty when none). Each
// call starts from a clean error state; reports are not shown and the
// headless answer is "ignore", so one report never ends the run for the next.
template <typename F>
std::string Errors(F&& body) {
  EnsureRegistered();
  ErrorResetForTests();
  SetHeadlessErrorChoice(false);
  error_last.clear();
  body();
  return error_last;
}

inline std::string Str(const RValue& v) { return v.IsString() ? v.str : "<real " + std::to_string(v.val) + ">"; }

}  // namespace libtest
