#pragma once
// Runs a code text on one instance in-process, for tests of the built-ins
// that reach instance and run state.
#include <cstdio>
#include <string>

#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"

// The result as text ("%g" for reals), "compile: ..." or "error: ...".
inline std::string RunCodeOn(CInstance& inst, const std::string& text) {
  SimpleInstanceList().list = {&inst};
  ErrorClear();
  CCode code(text, false);
  if (!code.Compile()) return "compile: " + ErrorText();
  RValue r;
  const bool ok = ExecuteCode(&inst, &inst, &code, r);
  SimpleInstanceList().list.clear();
  if (!ok) {
    std::string e = ErrorText();
    ErrorClear();
    return "error: " + e;
  }
  if (r.kind == RValue::kString) return r.str;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", r.val);
  return buf;
}
