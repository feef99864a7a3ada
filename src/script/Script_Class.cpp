#include "script/Script_Class.h"

#include "runner/Support_Stream.h"
#include "script/Script_Main.h"

namespace {
constexpr int kScriptVersion = 800;
}

bool CScript::Compile() {
  ScriptsChanged();  // the old code goes
  s_code = std::make_unique<CCode>(s_text, false);
  return s_code->Compile();
}

bool CScript::LoadFromStream(CStream& stream) {
  if (stream.ReadInteger() != kScriptVersion) return false;
  s_text = stream.ReadString();
  ScriptsChanged();
  s_code.reset();
  return true;
}

void CScript::SaveToStream(CStream& stream) const {
  stream.WriteInteger(kScriptVersion);
  stream.WriteString(s_text);
}
