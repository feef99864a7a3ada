#include "resources/Trigger_Main.h"

#include <memory>

#include "runner/Support_Stream.h"

CResourceList<CTrigger>& TriggerList() {
  static CResourceList<CTrigger> list;
  return list;
}
int TriggerCount() { return TriggerList().Count(); }
bool TriggerExists(int index) { return TriggerList().Exists(index); }
CTrigger* GetTrigger(int index) { return TriggerList().Get(index); }
std::string GetTriggerName(int index) {
  const CTrigger* t = GetTrigger(index);
  return t ? t->i_name : "<Deleted>";
}
int FindTriggerConstant(std::string_view name) {
  for (int i = 0; i < TriggerCount(); ++i) {
    const CTrigger* t = GetTrigger(i);
    if (t && t->i_constname == name) return i;
  }
  return -1;
}
bool PrepareTriggers() {
  for (int i = 0; i < TriggerCount(); ++i) {
    CTrigger* t = GetTrigger(i);
    if (t && !t->Prepare()) return false;
  }
  return true;
}
void ClearTriggers() { TriggerList().Clear(); }

bool LoadSection_Triggers(CStream& str) {
  auto& list = TriggerList();
  list.Clear();
  if (str.ReadInteger() != 800) return false;
  const int count = str.ReadInteger();
  if (count < 0 || uint64_t(count) * 4 > str.Remaining()) return false;
  list.Reset(count);
  for (int i = 0; i < count; ++i) {
    CStream blk = str.ReadStreamC();
    if (!blk.ReadBoolean()) continue;
    auto t = std::make_unique<CTrigger>();
    if (!t->LoadFromStream(blk)) return false;
    std::string name = t->i_name;
    list.Set(i, std::move(t), std::move(name));
  }
  return true;
}

void SaveSection_Triggers(CStream& str) {
  auto& list = TriggerList();
  str.WriteInteger(800);
  str.WriteInteger(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    CStream blk;
    const CTrigger* t = list.Get(i);
    blk.WriteBoolean(t != nullptr);
    if (t) t->SaveToStream(blk);
    str.WriteStreamC(blk);
  }
}
