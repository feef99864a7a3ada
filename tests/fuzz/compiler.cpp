// Compiles arbitrary bytes as code and runs what compiles, with a step budget
// so that endless loops end. The first byte chooses program or expression.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runner/Option_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Constant.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "script/Variable_BuiltIn.h"
#include "script/Variable_Main.h"

namespace {
void Setup() {
  // The language alone: variables and constants, but no function libraries,
  // whose own inputs (sizes, counts) are fuzzed by their own targets.
  RegisterBuiltinVariables();
  ConstantsAddBuiltins();
  opt_showerrors = false;
  opt_logerrors = false;
  SetHeadlessErrorChoice(false);
  // With at most 5000 steps, these bounds keep a run within a few hundred MB.
  SetResourceBoundsForFuzzing(16384, 1000);
  // Two scripts so that calls, arguments and recursion get exercised.
  ScriptAdd("scr_rec", "if (argument0 > 0) return scr_rec(argument0 - 1) + argument[1]; return argument1");
  ScriptAdd("scr_self", "return scr_self(argument0)");
  for (int i = 0; i < ScriptCount(); ++i) ScriptGet(i)->Compile();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  if (size == 0) return 0;
  bool expression = data[0] & 1;
  opt_uninitzero = data[0] & 2;
  opt_argerrors = data[0] & 4;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  GlobalClear();
  ErrorResetForTests();
  CCode code(text, expression);
  if (!code.Compile()) return 0;
  CInstance a(100001, 0), b(100002, 1);
  SimpleInstanceList().list = {&a, &b};
  SetExecutionBudget(5000);
  RValue result;
  ExecuteCode(&a, &b, &code, result);
  SetExecutionBudget(-1);
  SimpleInstanceList().list.clear();
  return 0;
}
