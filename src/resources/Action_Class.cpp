#include "resources/Action_Class.h"

#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"

RActionCompiler& ActionCompiler() {
  static RActionCompiler hooks;
  return hooks;
}

namespace {
// The language's compiler, used when no other compiler is installed.
CodeHandle CompileText(const std::string& text, bool expression, std::string& error) {
  const auto& hooks = ActionCompiler();
  if (hooks.compile) return hooks.compile(text, expression, error);
  auto code = std::make_shared<CCode>(text, expression);
  if (!code->Compile()) {
    error = ErrorText();
    ErrorClear();
    return nullptr;
  }
  return code;
}

bool ConstantValue(const CodeHandle& code, RValue& value) {
  const auto& hooks = ActionCompiler();
  if (hooks.compile) return hooks.constant && hooks.constant(code, value);
  if (code->i_kind != 3) return false;
  value = code->i_value;
  return true;
}

void Fatal(const std::string& text) {
  const auto& hooks = ActionCompiler();
  if (hooks.report_fatal) hooks.report_fatal(text);
  else ReportError(text, true);
}
}  // namespace

CodeHandle CompileActionCode(const std::string& text, bool expression, std::string& error) {
  return CompileText(text, expression, error);
}

CAction CAction::CreateCode(const std::string& code) {
  CAction a(kActCode);
  a.act_exetype = kExeCode;
  a.act_argstring[0] = code;
  return a;
}

bool CAction::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 440) return false;
  act_libid = str.ReadInteger();
  act_id = str.ReadInteger();
  act_kind = str.ReadInteger();
  act_userelative = str.ReadBoolean();
  act_isquestion = str.ReadBoolean();
  act_useapplyto = str.ReadBoolean();
  act_exetype = str.ReadInteger();
  act_functionname = str.ReadString();
  act_codestring = str.ReadString();
  act_argumentcount = str.ReadInteger();
  const int nkinds = str.ReadInteger();
  if (nkinds < 0 || nkinds > kMaxActionArgs) return false;
  for (int i = 0; i < nkinds; ++i) act_argtype[size_t(i)] = str.ReadInteger();
  act_who = str.ReadInteger();
  act_relative = str.ReadBoolean();
  const int ntexts = str.ReadInteger();
  if (ntexts < 0 || ntexts > kMaxActionArgs) return false;
  for (int i = 0; i < ntexts; ++i) act_argstring[size_t(i)] = str.ReadString();
  act_isnot = str.ReadBoolean();
  if (act_argumentcount < 0 || act_argumentcount > kMaxActionArgs) return false;

  const auto& hooks = ActionCompiler();
  act_functionid = hooks.find_function ? hooks.find_function(act_functionname)
                                       : FunctionFind(act_functionname);
  if (act_exetype == kExeFunction && act_functionid < 0) {
    const std::string msg = "Failed to locate action function " + act_functionname;
    if (hooks.load_message) hooks.load_message(msg);
    else ShowMessage(msg);
  }
  return true;
}

void CAction::SaveToStream(CStream& str) const {
  str.WriteInteger(440);
  str.WriteInteger(act_libid);
  str.WriteInteger(act_id);
  str.WriteInteger(act_kind);
  str.WriteBoolean(act_userelative);
  str.WriteBoolean(act_isquestion);
  str.WriteBoolean(act_useapplyto);
  str.WriteInteger(act_exetype);
  str.WriteString(act_functionname);
  str.WriteString(act_codestring);
  str.WriteInteger(act_argumentcount);
  str.WriteInteger(kMaxActionArgs);
  for (int t : act_argtype) str.WriteInteger(t);
  str.WriteInteger(act_who);
  str.WriteBoolean(act_relative);
  str.WriteInteger(kMaxActionArgs);
  for (const auto& s : act_argstring) str.WriteString(s);
  str.WriteBoolean(act_isnot);
}

bool CAction::Compile() {
  if (act_kind == kActVariable) {
    act_codestring = act_argstring[0] + (act_relative ? " += " : " = ") + act_argstring[1];
    act_kind = kActNormal;
    act_argumentcount = 0;
  } else if (act_kind == kActCode) {
    act_codestring = act_argstring[0];
    act_kind = kActNormal;
    act_argumentcount = 0;
  }
  if (act_exetype == kExeCode) {
    std::string err;
    act_codecode = CompileText(act_codestring, false, err);
    if (!act_codecode) {
      Fatal("COMPILATION ERROR in code action\r" + err);
      return false;
    }
  }
  act_codestring.clear();
  for (int i = 0; i < act_argumentcount; ++i) {
    const size_t k = size_t(i);
    std::string& text = act_argstring[k];
    if (act_argtype[k] == 2) {
      act_argtype[k] = (!text.empty() && (text[0] == '\'' || text[0] == '"')) ? 0 : 1;
    }
    if (act_argtype[k] == 1 || act_argtype[k] == 15) {
      act_argvalue[k] = RValue(text);
      act_argtype[k] = -1;
    } else {
      std::string err;
      CodeHandle code = CompileText(text, true, err);
      if (!code) {
        Fatal("COMPILATION ERROR in argument " + std::to_string(i) + "\r" + err);
        return false;
      }
      RValue v;
      if (ConstantValue(code, v)) {
        act_argvalue[k] = v;
        act_argtype[k] = -1;
      } else {
        act_argcode[k] = std::move(code);
        act_argtype[k] = 0;
      }
    }
    text.clear();
  }
  // Texts are not kept once compiled (the code of a code action was in the
  // first argument text).
  for (auto& t : act_argstring) t.clear();
  return true;
}
