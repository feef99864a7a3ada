#include "resources/Trigger_Class.h"


#include "runner/Support_Stream.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"

bool CTrigger::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 800) return false;
  i_name = str.ReadString();
  i_condition = str.ReadString();
  i_moment = str.ReadInteger();
  i_constname = str.ReadString();
  return true;
}

void CTrigger::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteString(i_name);
  str.WriteString(i_condition);
  str.WriteInteger(i_moment);
  str.WriteString(i_constname);
}

bool CTrigger::Prepare() {
  std::string err;
  i_code = CompileActionCode(i_condition, false, err);
  if (!i_code) {
    const std::string msg = "COMPILATION ERROR in condition of trigger " + i_name + "\r" + err;
    const auto& hooks = ActionCompiler();
    if (hooks.report_fatal) hooks.report_fatal(msg);
    else ReportError(msg, true);
    return false;
  }
  return true;
}

bool CTrigger::Evaluate(CInstance* inst) const {
  if (!i_code) return false;
  RValue result;
  if (!ExecuteCode(inst, inst, i_code.get(), result)) {
    const std::string text = ErrorText();
    ErrorClear();
    ReportError("ERROR in trigger " + i_name + "\r\n" + text, false);
    return false;
  }
  return result.IsReal() && result.val >= 0.5;
}
