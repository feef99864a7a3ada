#include "resources/Object_Class.h"

#include "resources/Object_Main.h"
#include "runner/Support_Stream.h"

void CObject::Clear() {
  o_spriteindex = -1;
  o_solid = false;
  o_visible = true;
  o_depth = 0;
  o_persistent = false;
  o_parent = -1;
  o_mask = -1;
  for (auto& t : o_events) t.clear();
}

void CObject::Assign(const CObject& obj) {
  if (&obj == this) return;
  o_spriteindex = obj.o_spriteindex;
  o_solid = obj.o_solid;
  o_visible = obj.o_visible;
  o_depth = obj.o_depth;
  o_persistent = obj.o_persistent;
  o_parent = obj.o_parent;
  o_mask = obj.o_mask;
  for (int t = 0; t < kEventTypes; ++t) {
    auto& dst = o_events[size_t(t)];
    dst.clear();
    for (const auto& [n, e] : obj.o_events[size_t(t)])
      if (e) dst[n] = std::make_unique<CEvent>(*e);
  }
}

CEvent* CObject::CreateEvent(int type, int number) {
  if (type < 0 || type >= kEventTypes || number < 0 || number > kMaxEventNumber) return nullptr;
  auto& slot = o_events[size_t(type)][number];
  if (!slot) slot = std::make_unique<CEvent>();
  return slot.get();
}

bool CObject::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 430) return false;
  o_spriteindex = str.ReadInteger();
  o_solid = str.ReadBoolean();
  o_visible = str.ReadBoolean();
  o_depth = str.ReadInteger();
  o_persistent = str.ReadBoolean();
  o_parent = str.ReadInteger();
  o_mask = str.ReadInteger();
  const int last = str.ReadInteger();
  if (last >= kEventTypes) return false;
  for (int type = 0; type <= last; ++type) {
    for (;;) {
      const int number = str.ReadInteger();
      if (number < 0) break;
      CEvent* ev = CreateEvent(type, number);
      if (ev == nullptr || !ev->LoadFromStream(str)) return false;
    }
  }
  return true;
}

void CObject::SaveToStream(CStream& str) const {
  str.WriteInteger(430);
  str.WriteInteger(o_spriteindex);
  str.WriteBoolean(o_solid);
  str.WriteBoolean(o_visible);
  str.WriteInteger(o_depth);
  str.WriteBoolean(o_persistent);
  str.WriteInteger(o_parent);
  str.WriteInteger(o_mask);
  str.WriteInteger(kEventTypes - 1);
  for (const auto& table : o_events) {
    for (const auto& [n, e] : table) {
      if (e && e->e_number > 0) {
        str.WriteInteger(n);
        e->SaveToStream(str);
      }
    }
    str.WriteInteger(-1);
  }
}

bool CObject::Compile() {
  for (int t = 0; t < kEventTypes; ++t) {
    const auto& table = o_events[size_t(t)];
    for (const auto& [n, e] : table) {
      if (!e) continue;
      CompileContext().type = t;
      CompileContext().number = n;
      if (!e->Compile()) return false;
    }
  }
  return true;
}

CEvent* CObject::GetEventDirect(int type, int number) const {
  if (type < 0 || type >= kEventTypes || number < 0) return nullptr;
  const auto& table = o_events[size_t(type)];
  auto it = table.find(number);
  if (it == table.end()) return nullptr;
  CEvent* ev = it->second.get();
  return (ev != nullptr && ev->e_number > 0) ? ev : nullptr;
}

bool CObject::HasEventDirect(int type) const {
  if (type < 0 || type >= kEventTypes) return false;
  for (const auto& [n, e] : o_events[size_t(type)])
    if (e && e->e_number > 0) return true;
  return false;
}

namespace {
// Walks this object and its ancestors. The walk is bounded by the number of
// objects so that a parent chain that loops cannot hang.
template <class F>
bool WalkChain(const CObject* obj, F&& f) {
  const int limit = ObjectCount() + 1;
  for (int steps = 0; obj != nullptr && steps <= limit; ++steps) {
    if (f(obj)) return true;
    obj = GetObject(obj->o_parent);
  }
  return false;
}
}  // namespace

CEvent* CObject::GetEventRecursive(int type, int number) const {
  CEvent* found = nullptr;
  WalkChain(this, [&](const CObject* o) { return (found = o->GetEventDirect(type, number)); });
  if (found != nullptr || type != ev_collision) return found;
  const CObject* other = GetObject(number);
  if (other == nullptr) return nullptr;
  const int limit = ObjectCount() + 1;
  int anc = other->o_parent;
  for (int steps = 0; ObjectExists(anc) && steps <= limit; ++steps) {
    WalkChain(this, [&](const CObject* o) { return (found = o->GetEventDirect(type, anc)); });
    if (found != nullptr) return found;
    anc = GetObject(anc)->o_parent;
  }
  return nullptr;
}

bool CObject::HasEventRecursive(int type) const {
  return WalkChain(this, [&](const CObject* o) { return o->HasEventDirect(type); });
}

bool CObject::IsDecendentOf(int index) const {
  const int limit = ObjectCount() + 1;
  int p = o_parent;
  for (int steps = 0; ObjectExists(p) && steps <= limit; ++steps) {
    if (p == index) return true;
    p = GetObject(p)->o_parent;
  }
  return false;
}
