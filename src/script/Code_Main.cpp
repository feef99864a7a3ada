#include "script/Code_Main.h"

#include "script/Code_Error.h"
#include "script/Code_Phases.h"
#include "script/Code_Variable.h"

void CCode::Create(const std::string& text, bool isexpression) {
  i_str = text;
  i_kind = isexpression ? 2 : 1;
  i_compiled = false;
  i_token = RToken();
  i_value = RValue();
  i_Args = 0;
  i_ArgArray = false;
}

bool CCode::Compile() {
  ErrorClear();
  if (i_compiled) {
    RecordCodeError(*this, 0, "Internal Error: Recompiling compiled code.");
    return false;
  }
  CompileArgsReset();
  RToken root;
  {
    std::vector<RToken1> lexemes;
    std::vector<RToken2> tokens;
    if (!CodePhase1(*this, lexemes)) return false;
    if (!CodePhase2(*this, lexemes, tokens)) return false;
    lexemes.clear();
    if (!CodePhase3(*this, tokens, root)) return false;
  }
  if (!CodePhase4(*this, root)) return false;
  i_token = std::move(root);
  if (i_kind == 2 && i_token.kind == TK_CONSTANT) {
    i_value = i_token.value;
    i_kind = 3;
  }
  i_compiled = true;
  i_Args = CompileArgsCount();
  i_ArgArray = CompileArgsArray();
  return true;
}
