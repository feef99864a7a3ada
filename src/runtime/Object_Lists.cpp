#include "runtime/Object_Lists.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "resources/Object_Main.h"
#include "runner/DataNew_Main.h"
#include "runtime/Instance_Class.h"

CRoomInstances::CRoomInstances() = default;
CRoomInstances::~CRoomInstances() = default;

void CRoomInstances::Enter(CInstance* inst) {
  const int n = ObjectCount();
  if (r_obj_instance.size() < size_t(n)) {
    r_obj_instance.resize(size_t(n));
    r_obj_instance_recursive.resize(size_t(n));
  }
  int o = inst->i_objectindex;
  if (o < 0 || o >= n) return;
  r_obj_instance[size_t(o)].push_back(inst);
  // Parent chains are loop-free (checked on load); the walk is bounded anyway.
  for (int guard = 0; o >= 0 && o < n && guard <= n; ++guard) {
    const CObject* obj = GetObject(o);
    if (obj == nullptr) break;
    r_obj_instance_recursive[size_t(o)].push_back(inst);
    o = obj->o_parent;
  }
}

CInstance* CRoomInstances::AddInstance(int obj, double x, double y) {
  // Ids never wrap: running out of them ends the game like any other
  // exception out of a step.
  if (LastInstanceId >= std::numeric_limits<int>::max()) throw std::overflow_error("instance ids used up");
  auto inst = std::make_unique<CInstance>();
  inst->Create(++LastInstanceId, obj, x, y);
  CInstance* p = inst.get();
  r_instance.push_back(std::move(inst));
  Enter(p);
  return p;
}

void CRoomInstances::ClearInstances() {
  r_instance.clear();
  r_instance_deact.clear();
  r_obj_instance.clear();
  r_obj_instance_recursive.clear();
}

void CRoomInstances::SortInstances() {
  auto higher = [](const std::unique_ptr<CInstance>& a, const std::unique_ptr<CInstance>& b) {
    return a->i_depth > b->i_depth;
  };
  if (std::is_sorted(r_instance.begin(), r_instance.end(), higher)) return;
  std::stable_sort(r_instance.begin(), r_instance.end(), higher);
}

void CRoomInstances::RebuildObjectLists() {
  for (auto& l : r_obj_instance) l.clear();
  for (auto& l : r_obj_instance_recursive) l.clear();
  for (auto& inst : r_instance) Enter(inst.get());
}

void CRoomInstances::RemoveMarked() {
  const size_t before = r_instance.size();
  auto marked = [](const std::unique_ptr<CInstance>& p) { return p->i_marked; };
  // Instances being removed may still be referenced by a list that a caller
  // walks by position; positions are re-checked through At/ObjAt.
  std::erase_if(r_instance, marked);
  // An instance can deactivate itself and then destroy itself in the same
  // event; it is gone all the same and must not come back on activation.
  std::erase_if(r_instance_deact, marked);
  if (r_instance.size() != before) RebuildObjectLists();
}

void CRoomInstances::UpdateActive() {
  auto flagged = [](const std::unique_ptr<CInstance>& p) { return p->i_deactivated; };
  const bool back = !std::all_of(r_instance_deact.begin(), r_instance_deact.end(), flagged);
  const bool away = std::any_of(r_instance.begin(), r_instance.end(), flagged);
  if (!back && !away) return;
  // Reactivated instances go to the end of the active list in their
  // deactivated-list order; then the newly deactivated ones go to the end of
  // the deactivated list in room order. Both lists keep the order of the
  // instances that stay.
  std::vector<std::unique_ptr<CInstance>> active, deact;
  active.reserve(r_instance.size() + r_instance_deact.size());
  deact.reserve(r_instance.size() + r_instance_deact.size());
  for (auto& p : r_instance)
    if (!p->i_deactivated) active.push_back(std::move(p));
  for (auto& p : r_instance_deact) (p->i_deactivated ? deact : active).push_back(std::move(p));
  for (auto& p : r_instance)
    if (p) deact.push_back(std::move(p));
  r_instance = std::move(active);
  r_instance_deact = std::move(deact);
  RebuildObjectLists();
}
