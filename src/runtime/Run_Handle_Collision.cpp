// The collision pair list and the collision event phase, with its broad phase.
#include "runtime/Run_Handle_Collision.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "resources/Object_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"

namespace {
std::vector<std::pair<int, int>> g_pairs;

// Below this many instances of the second object the plain walk is cheaper
// than building a grid.
constexpr int kGridFrom = 24;
// A box covering more cells than this is kept in a list every query reads.
constexpr int64_t kMaxCellsPerBox = 16;

void PutBack(CInstance* inst) {
  inst->SetPosition(inst->i_xprevious, inst->i_yprevious);
  inst->i_pathposition = inst->i_pathpositionprevious;
}

// One pair of instances: the test, the solid rule and both events.
void HandlePair(CInstance* i, CInstance* j) {
  if (!i->Collision_Instance(j, true)) return;
  if (i->i_solid || j->i_solid) {
    PutBack(i);
    PutBack(j);
  }
  Perform_Event(i, j, ev_collision, j->i_objectindex);
  Perform_Event(j, i, ev_collision, i->i_objectindex);
  if (RoomChangePending()) return;
  // The events may have changed solidity and motion: solid ones move once
  // more with the new motion, unless that makes them collide again.
  if (i->i_solid || j->i_solid) {
    for (CInstance* k : {i, j}) {
      k->Adapt_Path();
      k->SetPosition(k->i_x + k->i_hspeed, k->i_y + k->i_vspeed);
    }
    if (i->Collision_Instance(j, true)) {
      PutBack(i);
      PutBack(j);
    }
  }
}

// A uniform grid over the boxes of one object's direct list, positions
// 0 .. n-1. Cells are square, about the size of a typical box, so a box
// meets a few cells; boxes that would meet many go to a list read by every
// query. Shapeless and marked instances are left out: they collide with
// nothing, and a change of shape reaches the grid through the box changes.
class CCollisionGrid {
 public:
  void Build(CRoomInstances& lists, int obj, int n) {
    obj_ = obj;
    n_ = n;
    inst_.assign(size_t(n), nullptr);
    box_.assign(size_t(n), TRect{});
    in_.assign(size_t(n), 0);
    cells_.clear();
    big_.clear();
    pos_.clear();
    double sum = 0;
    int counted = 0;
    for (int k = 0; k < n; ++k) {
      CInstance* inst = lists.Obj_Instance(obj, k);
      inst_[size_t(k)] = inst;
      if (inst == nullptr) continue;
      pos_[inst] = k;
      if (Listed(inst)) {
        const TRect& b = inst->i_bbox;
        sum += std::max(double(b.right) - b.left + 1, double(b.bottom) - b.top + 1);
        ++counted;
      }
    }
    const double avg = counted ? sum / counted : 32;
    cell_ = int64_t(std::clamp(avg, 8.0, double(1 << 24)));
    for (int k = 0; k < n; ++k)
      if (inst_[size_t(k)] && Listed(inst_[size_t(k)])) Insert(k);
  }

  // The instance the grid holds at position k; a list re-formed since the
  // grid was built (activation) shows as a different instance there.
  CInstance* At(int k) const { return inst_[size_t(k)]; }

  // Brings the changed instances' entries up to date.
  void Update(const std::vector<CInstance*>& changed) {
    for (CInstance* inst : changed) {
      auto it = pos_.find(inst);
      if (it == pos_.end()) continue;
      const int k = it->second;
      if (in_[size_t(k)] && box_[size_t(k)] == inst->i_bbox && Listed(inst)) continue;
      Remove(k);
      if (Listed(inst)) Insert(k);
    }
  }

  // Positions above `after` whose boxes may meet b, ascending.
  void Query(const TRect& b, int after, std::vector<int>& out) const {
    out.clear();
    int64_t x0, y0, x1, y1;
    if (!CellSpan(b, x0, y0, x1, y1)) {
      for (int k = after + 1; k < n_; ++k) out.push_back(k);
      return;
    }
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        auto it = cells_.find(Key(cx, cy));
        if (it == cells_.end()) continue;
        for (int k : it->second)
          if (k > after && Meets(box_[size_t(k)], b)) out.push_back(k);
      }
    for (int k : big_)
      if (k > after && Meets(box_[size_t(k)], b)) out.push_back(k);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  static bool Listed(const CInstance* inst) { return !inst->i_marked && inst->HasShape(); }
  static bool Meets(const TRect& a, const TRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
  }
  static uint64_t Key(int64_t cx, int64_t cy) { return (uint64_t(uint32_t(cx)) << 32) | uint32_t(cy); }
  int64_t Cell(int v) const {
    const int64_t q = int64_t(v) / cell_;
    return (int64_t(v) % cell_ < 0) ? q - 1 : q;
  }
  // False when the box meets too many cells to list them.
  bool CellSpan(const TRect& b, int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) const {
    x0 = Cell(std::min(b.left, b.right));
    x1 = Cell(std::max(b.left, b.right));
    y0 = Cell(std::min(b.top, b.bottom));
    y1 = Cell(std::max(b.top, b.bottom));
    return (x1 - x0 + 1) * (y1 - y0 + 1) <= kMaxCellsPerBox;
  }
  void Insert(int k) {
    const TRect& b = inst_[size_t(k)]->i_bbox;
    box_[size_t(k)] = b;
    in_[size_t(k)] = 1;
    int64_t x0, y0, x1, y1;
    if (!CellSpan(b, x0, y0, x1, y1)) {
      big_.push_back(k);
      return;
    }
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) cells_[Key(cx, cy)].push_back(k);
  }
  void Remove(int k) {
    if (!in_[size_t(k)]) return;
    in_[size_t(k)] = 0;
    int64_t x0, y0, x1, y1;
    if (!CellSpan(box_[size_t(k)], x0, y0, x1, y1)) {
      big_.erase(std::remove(big_.begin(), big_.end(), k), big_.end());
      return;
    }
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        auto it = cells_.find(Key(cx, cy));
        if (it != cells_.end()) it->second.erase(std::remove(it->second.begin(), it->second.end(), k), it->second.end());
      }
  }

  int obj_ = -1, n_ = 0;
  int64_t cell_ = 32;
  std::vector<CInstance*> inst_;
  std::vector<TRect> box_;
  std::vector<uint8_t> in_;
  std::unordered_map<uint64_t, std::vector<int>> cells_;
  std::vector<int> big_;
  std::unordered_map<const CInstance*, int> pos_;
};

// The pair (a, b) walked as written: every i against every j.
void PlainPair(CRoomInstances& l, int a, int b, int na, int nb) {
  for (int ni = 0; ni < na; ++ni) {
    CInstance* i = l.Obj_Instance(a, ni);
    if (i == nullptr || i->i_marked) continue;
    for (int nj = (a == b ? ni : 0); nj < nb; ++nj) {
      CInstance* j = l.Obj_Instance(b, nj);
      if (j == nullptr) continue;
      HandlePair(i, j);
      if (RoomChangePending()) return;
    }
  }
}

// The same pairs in the same order, testing only j whose boxes meet i's.
// Whenever an event or the solid rule changes a box, the grid is updated
// and i's remaining candidates are asked again, so a pair that comes to
// meet during the walk is still visited in its turn.
void GridPair(CRoomInstances& l, int a, int b, int na, int nb) {
  static CCollisionGrid grid;
  grid.Build(l, b, nb);
  std::vector<CInstance*> changed;
  std::vector<CInstance*>* outer = g_bboxChanges;
  g_bboxChanges = &changed;
  std::vector<int> cands;
  for (int ni = 0; ni < na && !RoomChangePending(); ++ni) {
    CInstance* i = l.Obj_Instance(a, ni);
    if (i == nullptr || i->i_marked) continue;
    int last = a == b ? ni - 1 : -1;
    bool again = true;
    while (again && !RoomChangePending()) {
      again = false;
      grid.Query(i->i_bbox, last, cands);
      for (int nj : cands) {
        CInstance* j = l.Obj_Instance(b, nj);
        if (j != grid.At(nj)) {
          // The lists were re-formed under us (activation): index them
          // anew and ask again from this position.
          grid.Build(l, b, nb);
          changed.clear();
          again = true;
          break;
        }
        last = nj;
        if (j == nullptr) continue;
        HandlePair(i, j);
        if (RoomChangePending()) break;
        if (!changed.empty()) {
          grid.Update(changed);
          changed.clear();
          again = true;
          break;
        }
      }
    }
  }
  g_bboxChanges = outer;
  if (outer) outer->insert(outer->end(), changed.begin(), changed.end());
}
}  // namespace

void BuildCollisionPairs() {
  g_pairs.clear();
  const int count = ObjectCount();
  std::vector<uint8_t> has(size_t(count), 0);
  for (int o = 0; o < count; ++o) {
    const CObject* obj = GetObject(o);
    has[size_t(o)] = obj != nullptr && obj->HasEventRecursive(ev_collision);
  }
  auto with = [](int o, int other) {
    int supplier;
    return FindEventWithSupplier(o, ev_collision, other, supplier) != nullptr;
  };
  for (int a = 0; a < count; ++a) {
    if (!ObjectExists(a)) continue;
    for (int b = a; b < count; ++b) {
      if (!ObjectExists(b)) continue;
      if ((has[size_t(a)] && with(a, b)) || (has[size_t(b)] && with(b, a))) g_pairs.emplace_back(a, b);
    }
  }
}

const std::vector<std::pair<int, int>>& CollisionPairs() { return g_pairs; }

void CollisionEvents() {
  for (const auto& [a, b] : g_pairs) {
    CRunRoom* room = Run_Room();
    if (room == nullptr || RoomChangePending()) return;
    CRoomInstances& l = room->inst;
    const int na = l.Obj_Number(a), nb = l.Obj_Number(b);
    if (na == 0 || nb == 0) continue;
    if (nb < kGridFrom) PlainPair(l, a, b, na, nb);
    else GridPair(l, a, b, na, nb);
  }
}
