#include "script/Script_Class.h"

bool CScript::Compile() {
  s_code = std::make_unique<CCode>(s_text, false);
  return s_code->Compile();
}
