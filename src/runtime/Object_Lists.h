#pragma once
// The live instances of one room: the active list in room order, the
// deactivated list, and per object index the direct and the recursive
// (object plus descendants) lists. The room being played installs its lists
// as the language's instance source.
#include <memory>
#include <vector>

#include "runtime/Instance_Source.h"

class CInstance;

class CRoomInstances final : public IInstanceSource {
 public:
  CRoomInstances();
  ~CRoomInstances() override;
  CRoomInstances(const CRoomInstances&) = delete;
  CRoomInstances& operator=(const CRoomInstances&) = delete;

  // Owned instances; active ones in room order.
  std::vector<std::unique_ptr<CInstance>> r_instance;
  std::vector<std::unique_ptr<CInstance>> r_instance_deact;
  std::vector<std::vector<CInstance*>> r_obj_instance;
  std::vector<std::vector<CInstance*>> r_obj_instance_recursive;

  // Appends a new instance of obj at (x, y) with the next run-wide id.
  CInstance* AddInstance(int obj, double x, double y);
  void ClearInstances();
  // Counts are 0 and instances null out of range. Inline: every step phase
  // asks them once per receiving instance.
  int Obj_Number(int o) const {
    return o < 0 || size_t(o) >= r_obj_instance.size() ? 0 : static_cast<int>(r_obj_instance[size_t(o)].size());
  }
  CInstance* Obj_Instance(int o, int n) const {
    return n < 0 || n >= Obj_Number(o) ? nullptr : r_obj_instance[size_t(o)][size_t(n)];
  }
  int Obj_Number_Recursive(int o) const {
    return o < 0 || size_t(o) >= r_obj_instance_recursive.size()
               ? 0
               : static_cast<int>(r_obj_instance_recursive[size_t(o)].size());
  }
  CInstance* Obj_Instance_Recursive(int o, int n) const {
    return n < 0 || n >= Obj_Number_Recursive(o) ? nullptr : r_obj_instance_recursive[size_t(o)][size_t(n)];
  }
  // Stable sort by non-increasing depth; the per-object lists keep their order.
  void SortInstances();
  // Frees marked instances (active or deactivated); rebuilds the per-object
  // lists when an active one went.
  void RemoveMarked();
  // Re-forms both lists from the i_deactivated flags: instances whose flag
  // was cleared are appended to the active list (deactivated-list order),
  // then those whose flag was set to the deactivated list (room order), and
  // the per-object lists are rebuilt. Nothing happens when no flag changed.
  // Instances move between the lists but are never freed, so pointers held
  // by a running event stay valid.
  void UpdateActive();
  void RebuildObjectLists();

  // IInstanceSource
  int Count() override { return static_cast<int>(r_instance.size()); }
  CInstance* At(int pos) override {
    return pos >= 0 && pos < Count() ? r_instance[size_t(pos)].get() : nullptr;
  }
  int ObjCount(int objectindex) override { return Obj_Number_Recursive(objectindex); }
  CInstance* ObjAt(int objectindex, int k) override { return Obj_Instance_Recursive(objectindex, k); }

 private:
  void Enter(CInstance* inst);
};
