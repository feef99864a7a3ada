#include "resources/Trigger_Class.h"

#include <iostream>

#include "runner/Support_Stream.h"

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
  const auto& hooks = ActionCompiler();
  std::string err = "no compiler available";
  i_code = hooks.compile ? hooks.compile(i_condition, false, err) : nullptr;
  if (!i_code) {
    const std::string msg = "COMPILATION ERROR in condition of trigger " + i_name + "\n" + err;
    if (hooks.report_fatal) hooks.report_fatal(msg);
    else std::cerr << msg << '\n';
    return false;
  }
  return true;
}
