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
  // An action record takes at least 60 bytes; actions are added as they
  // are read, so memory follows the data actually present.
  if (n < 0 || uint64_t(n) * 60 > str.Remaining()) return false;
  for (int i = 0; i < n; ++i) {
    CAction a;
    if (!a.LoadFromStream(str)) {
      Clear();
      return false;
    }
    e_actions.push_back(std::move(a));
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
