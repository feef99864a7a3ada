#pragma once
// Shared helpers of the language tests: compile and run a snippet with one
// instance as self and other, from a clean state.
#include <string>

#include "runner/Option_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Code_Variable.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "script/Variable_Main.h"

struct RunOutcome {
  bool compiled = false;
  bool ok = false;
  RValue value;
  std::string error;  // recorded error text, CR line breaks
};

inline void ResetLanguageState() {
  RegisterBuiltins();
  GlobalClear();
  ScriptsClear();
  ErrorResetForTests();
  SetHeadlessErrorChoice(false);
  SetExecutionBudget(-1);
  opt_uninitzero = false;
  opt_argerrors = false;
  opt_showerrors = false;
  opt_logerrors = false;
  opt_aborterrors = false;
  SimpleInstanceList().list.clear();
}

inline RunOutcome RunCode(const std::string& text, CInstance* self = nullptr, bool expression = false) {
  CInstance fresh(100001, 0);
  CInstance* inst = self ? self : &fresh;
  bool listed = SimpleInstanceList().list.empty();
  if (listed) SimpleInstanceList().list.push_back(inst);
  struct Unlist {
    bool on;
    ~Unlist() {
      if (on) SimpleInstanceList().list.clear();
    }
  } unlist{listed};
  RunOutcome out;
  CCode code(text, expression);
  out.compiled = code.Compile();
  if (!out.compiled) {
    out.error = ErrorText();
    return out;
  }
  out.ok = ExecuteCode(inst, inst, &code, out.value);
  if (!out.ok) out.error = ErrorText();
  return out;
}

inline std::string Show(const RValue& v) {
  return v.IsString() ? "\"" + v.str + "\"" : std::to_string(v.val);
}
