#include "resources/Object_Main.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "resources/Resource_Section.h"

CResourceList<CObject>& ObjectList() {
  static CResourceList<CObject> list;
  return list;
}
int ObjectCount() { return ObjectList().Count(); }
bool ObjectExists(int index) { return ObjectList().Exists(index); }
CObject* GetObject(int index) { return ObjectList().Get(index); }
std::string GetObjectName(int index) { return ObjectList().Name(index); }
int FindObject(std::string_view name) { return ObjectList().Find(name); }
int AddObject() { return ObjectList().Add(std::make_unique<CObject>(), "object"); }
int DuplicateObject(int index) { return ObjectList().Duplicate(index, "object"); }
bool AssignObject(int target, int source) { return ObjectList().Assign(target, source); }
bool DeleteObject(int index) { return ObjectList().Delete(index); }
void ClearObjects() { ObjectList().Clear(); }

bool ObjectParentsLoop() {
  // Each object is walked once: 1 marks the chain being followed, 2 the
  // objects already known to reach the end of their chain.
  const int n = ObjectCount();
  std::vector<uint8_t> state(size_t(n), 0);
  for (int i = 0; i < n; ++i) {
    std::vector<int> chain;
    int p = i;
    while (ObjectExists(p) && state[size_t(p)] == 0) {
      state[size_t(p)] = 1;
      chain.push_back(p);
      p = GetObject(p)->o_parent;
    }
    if (ObjectExists(p) && state[size_t(p)] == 1) return true;
    for (int c : chain) state[size_t(c)] = 2;
  }
  return false;
}

bool LoadSection_Objects(CStream& stream) {
  if (!LoadResourceSection(stream, ObjectList())) return false;
  return !ObjectParentsLoop();
}
void SaveSection_Objects(CStream& stream) { SaveResourceSection(stream, ObjectList()); }

bool CompileObjects() {
  for (int i = 0; i < ObjectCount(); ++i) {
    CObject* o = GetObject(i);
    if (o == nullptr) continue;
    CompileContext() = RCompileContext{};
    CompileContext().object = i;
    if (!o->Compile()) return false;
  }
  return true;
}
