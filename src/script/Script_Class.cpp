#include "script/Script_Class.h"

#include "runner/Support_Stream.h"

namespace {
constexpr int kScriptVersion = 800;
}

bool CScript::Compile() {
  s_code = std::make_unique<CCode>(s_text, false);
  return s_code->Compile();
}

bool CScript::LoadFromStream(CStream& stream) {
  if (stream.ReadInteger() != kScriptVersion) return false;
  s_text = stream.ReadString();
  s_code.reset();
  return true;
}

void CScript::SaveToStream(CStream& stream) const {
  stream.WriteInteger(kScriptVersion);
  stream.WriteString(s_text);
}
