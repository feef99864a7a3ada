#pragma once
// Helpers for the library tests: call built-in routines by name and watch the
// errors they report.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "library/Function_Data_Structures.h"
#include "library/Function_Math.h"
#include "runner/Option_Main.h"
#include "script/Code_Function.h"

// The error module keeps the last reported text in error_last; older builds
// only print reports. Weak references let the tests use whichever exists.
extern std::string error_last __attribute__((weak));
void ErrorResetForTests() __attribute__((weak));

namespace libtest {

inline void EnsureRegistered() {
  static bool done = [] {
    // Errors are reported, not shown: no window, and nothing turns fatal.
    opt_showerrors = false;
    opt_aborterrors = false;
    // Start-up may already have registered the libraries.
    if (FunctionFindBuiltin("is_real") < 0) InitFunction_Math();
    if (FunctionFindBuiltin("ds_set_precision") < 0) InitFunction_Data_Structures();
    return true;
  }();
  (void)done;
}

// Calls the built-in `name` with the given arguments and returns its result.
inline RValue Call(const std::string& name, std::initializer_list<RValue> args = {}) {
  EnsureRegistered();
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

// Runs `body` and returns what it reported through the error functions (the
// last report when the error module keeps error_last).
template <typename F>
std::string Errors(F&& body) {
  EnsureRegistered();
  if (&error_last != nullptr) {
    if (ErrorResetForTests != nullptr) ErrorResetForTests();
    error_last.clear();
    body();
    return error_last;
  }
  testing::internal::CaptureStderr();
  body();
  return testing::internal::GetCapturedStderr();
}

inline std::string Str(const RValue& v) { return v.IsString() ? v.str : "<real " + std::to_string(v.val) + ">"; }

}  // namespace libtest
