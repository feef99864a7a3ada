#include "resources/Event_Class.h"

#include "runner/Support_Stream.h"

RCompileContext& CompileContext() {
  static RCompileContext ctx;
  return ctx;
}

bool CEvent::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 400) return false;
  const int n = str.ReadInteger();
  // An action record takes far more than 16 bytes.
  if (n < 0 || uint64_t(n) * 16 > str.Remaining()) return false;
  e_actions.resize(size_t(n));
  for (auto& a : e_actions)
    if (!a.LoadFromStream(str)) {
      Clear();
      return false;
    }
  e_number = n;
  return true;
}

void CEvent::SaveToStream(CStream& str) const {
  str.WriteInteger(400);
  str.WriteInteger(e_number);
  for (int i = 0; i < e_number; ++i) e_actions[size_t(i)].SaveToStream(str);
}

bool CEvent::Compile() {
  for (int i = 0; i < e_number; ++i) {
    CompileContext().action = i;
    if (!e_actions[size_t(i)].Compile()) return false;
  }
  return true;
}
