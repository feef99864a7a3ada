#include "library/Function_Data_Structures.h"

#include <cmath>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "library/Function_Math.h"
#include "library/Support_Data_Structures.h"
#include "script/Function_Library.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

namespace {

using mathlib::RoundToInt64;

constexpr const char* kNoStructure = "Data structure with index does not exist.";
constexpr const char* kBadText = "Data structure text is not valid.";
constexpr const char* kBadGridSize = "Grid size is not valid.";

// One table per kind. A structure's id is its slot; creating takes the lowest
// free slot, so the id of a destroyed structure is used again. Freed slots
// wait in a min-heap so that a game holding many structures does not pay a
// scan of the whole table for each one it creates.
template <typename T>
class DSTable {
 public:
  int Create() {
    if (!free_.empty()) {
      const size_t i = free_.top();
      free_.pop();
      slots_[i] = std::make_unique<T>();
      return static_cast<int>(i);
    }
    slots_.push_back(std::make_unique<T>());
    return static_cast<int>(slots_.size() - 1);
  }
  T* Find(double id) const {
    int64_t i = RoundToInt64(id);
    if (i < 0 || i >= static_cast<int64_t>(slots_.size())) return nullptr;
    return slots_[static_cast<size_t>(i)].get();
  }
  void Destroy(double id) {
    int64_t i = RoundToInt64(id);
    if (i < 0 || i >= static_cast<int64_t>(slots_.size())) return;
    auto& slot = slots_[static_cast<size_t>(i)];
    if (!slot) return;  // already free: listing it twice would hand it out twice
    slot.reset();
    free_.push(static_cast<size_t>(i));
  }

 private:
  std::vector<std::unique_ptr<T>> slots_;
  std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> free_;
};

DSTable<CDS_Stack> stacks;
DSTable<CDS_Queue> queues;
DSTable<CDS_List> lists;
DSTable<CDS_Map> maps;
DSTable<CDS_Priority> priorities;
DSTable<CDS_Grid> grids;

__attribute__((noinline)) void ReportNoStructure() { ReportActionError(kNoStructure, false); }

template <typename T>
inline T* Lookup(const DSTable<T>& table, const RValue& id) {
  T* p = table.Find(id.val);
  if (p == nullptr) [[unlikely]] ReportNoStructure();
  return p;
}

// Positions and coordinates, rounded and held to the 32-bit range so that
// the arithmetic on them can never overflow.
int64_t Int(const RValue& v) { return mathlib::RoundToInt(v.val); }

#define ROUTINE(name) \
  void name(CInstance*, CInstance*, [[maybe_unused]] int argc, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)
// Binds `ds` to the structure of the first argument or reports and returns.
#define GET(table, ds)                      \
  auto* ds = Lookup(table, args[0]);        \
  if (ds == nullptr) return

template <typename T>
void ReadText(T* ds, const RValue& text) {
  bool malformed = false;
  if (!ds->ReadFromString(text.str, &malformed) && malformed) ReportActionError(kBadText, false);
}

// ---- general ----
ROUTINE(F_ds_set_precision) { DS_Precision = std::fabs(args[0].val); }

// ---- the functions every kind shares ----
#define COMMON(kind, table)                                                          \
  ROUTINE(F_ds_##kind##_create) { result.SetReal(table.Create()); }                   \
  ROUTINE(F_ds_##kind##_destroy) {                                                    \
    GET(table, ds);                                                                   \
    (void)ds;                                                                         \
    table.Destroy(args[0].val);                                                       \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_copy) {                                                       \
    GET(table, ds);                                                                   \
    auto* source = Lookup(table, args[1]);                                            \
    if (source == nullptr) return;                                                    \
    if (source != ds) ds->Assign(*source);                                            \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_size) {                                                       \
    GET(table, ds);                                                                   \
    result.SetReal(ds->Size());                                                       \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_empty) {                                                      \
    GET(table, ds);                                                                   \
    result.SetReal(ds->Size() == 0 ? 1 : 0);                                          \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_clear) {                                                      \
    GET(table, ds);                                                                   \
    ds->Clear();                                                                      \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_write) {                                                      \
    GET(table, ds);                                                                   \
    result.SetString(ds->WriteToString());                                            \
  }                                                                                   \
  ROUTINE(F_ds_##kind##_read) {                                                       \
    GET(table, ds);                                                                   \
    ReadText(ds, args[1]);                                                            \
  }

COMMON(stack, stacks)
COMMON(queue, queues)
COMMON(list, lists)
COMMON(map, maps)
COMMON(priority, priorities)

// ---- stacks ----
ROUTINE(F_ds_stack_push) {
  GET(stacks, ds);
  ds->Push(args[1]);
}
ROUTINE(F_ds_stack_pop) {
  GET(stacks, ds);
  result = ds->Pop();
}
ROUTINE(F_ds_stack_top) {
  GET(stacks, ds);
  result = ds->Top();
}

// ---- queues ----
ROUTINE(F_ds_queue_enqueue) {
  GET(queues, ds);
  ds->Enqueue(args[1]);
}
ROUTINE(F_ds_queue_dequeue) {
  GET(queues, ds);
  result = ds->Dequeue();
}
ROUTINE(F_ds_queue_head) {
  GET(queues, ds);
  result = ds->Head();
}
ROUTINE(F_ds_queue_tail) {
  GET(queues, ds);
  result = ds->Tail();
}

// ---- lists ----
ROUTINE(F_ds_list_add) {
  GET(lists, ds);
  ds->Add(args[1]);
}
ROUTINE(F_ds_list_insert) {
  GET(lists, ds);
  ds->Insert(Int(args[1]), args[2]);
}
ROUTINE(F_ds_list_replace) {
  GET(lists, ds);
  ds->Replace(Int(args[1]), args[2]);
}
ROUTINE(F_ds_list_delete) {
  GET(lists, ds);
  ds->Delete(Int(args[1]));
}
ROUTINE(F_ds_list_find_index) {
  GET(lists, ds);
  result.SetReal(ds->FindIndex(args[1]));
}
ROUTINE(F_ds_list_find_value) {
  GET(lists, ds);
  result = ds->FindValue(Int(args[1]));
}
ROUTINE(F_ds_list_sort) {
  GET(lists, ds);
  ds->Sort(args[1].val >= 0.5);
}
ROUTINE(F_ds_list_shuffle) {
  GET(lists, ds);
  ds->Shuffle();
}

// ---- maps ----
ROUTINE(F_ds_map_add) {
  GET(maps, ds);
  ds->Add(args[1], args[2]);
}
ROUTINE(F_ds_map_replace) {
  GET(maps, ds);
  ds->Replace(args[1], args[2]);
}
ROUTINE(F_ds_map_delete) {
  GET(maps, ds);
  ds->Delete(args[1]);
}
ROUTINE(F_ds_map_exists) {
  GET(maps, ds);
  result.SetReal(ds->Exists(args[1]) ? 1 : 0);
}
ROUTINE(F_ds_map_find_value) {
  GET(maps, ds);
  // Copied straight into the result, which keeps its text buffer; a real
  // takes no text (a real's text means nothing).
  const RValue* v = ds->FindValuePointer(args[1]);
  if (v == nullptr || v->IsReal()) {
    result.SetReal(v ? v->val : 0);
  } else {
    result.kind = RValue::kString;
    result.str = v->str;
  }
}
ROUTINE(F_ds_map_find_previous) {
  GET(maps, ds);
  result = ds->FindPrevious(args[1]);
}
ROUTINE(F_ds_map_find_next) {
  GET(maps, ds);
  result = ds->FindNext(args[1]);
}
ROUTINE(F_ds_map_find_first) {
  GET(maps, ds);
  result = ds->FindFirst();
}
ROUTINE(F_ds_map_find_last) {
  GET(maps, ds);
  result = ds->FindLast();
}

// ---- priority queues ----
ROUTINE(F_ds_priority_add) {
  GET(priorities, ds);
  ds->Add(args[1], args[2]);
}
ROUTINE(F_ds_priority_change_priority) {
  GET(priorities, ds);
  ds->ChangePriority(args[1], args[2]);
}
ROUTINE(F_ds_priority_find_priority) {
  GET(priorities, ds);
  result = ds->FindPriority(args[1]);
}
ROUTINE(F_ds_priority_delete_value) {
  GET(priorities, ds);
  ds->DeleteValue(args[1]);
}
ROUTINE(F_ds_priority_delete_min) {
  GET(priorities, ds);
  result = ds->DeleteMin();
}
ROUTINE(F_ds_priority_find_min) {
  GET(priorities, ds);
  result = ds->FindMin();
}
ROUTINE(F_ds_priority_delete_max) {
  GET(priorities, ds);
  result = ds->DeleteMax();
}
ROUTINE(F_ds_priority_find_max) {
  GET(priorities, ds);
  result = ds->FindMax();
}

// ---- grids ----
ROUTINE(F_ds_grid_create) {
  int64_t w = Int(args[0]), h = Int(args[1]);
  if (!CDS_Grid::ValidSize(w, h)) {
    // A negative or enormous size gets no grid; -1 is no valid id.
    ReportActionError(kBadGridSize, false);
    result.SetReal(-1);
    return;
  }
  int id = grids.Create();
  grids.Find(id)->Resize(static_cast<int>(w), static_cast<int>(h));
  result.SetReal(id);
}
ROUTINE(F_ds_grid_destroy) {
  GET(grids, ds);
  (void)ds;
  grids.Destroy(args[0].val);
}
ROUTINE(F_ds_grid_copy) {
  GET(grids, ds);
  auto* source = Lookup(grids, args[1]);
  if (source != nullptr && source != ds) ds->Assign(*source);
}
ROUTINE(F_ds_grid_resize) {
  GET(grids, ds);
  int64_t w = Int(args[1]), h = Int(args[2]);
  if (!CDS_Grid::ValidSize(w, h)) return ReportActionError(kBadGridSize, false);
  ds->Resize(static_cast<int>(w), static_cast<int>(h));
}
ROUTINE(F_ds_grid_width) {
  GET(grids, ds);
  result.SetReal(ds->i_w);
}
ROUTINE(F_ds_grid_height) {
  GET(grids, ds);
  result.SetReal(ds->i_h);
}
ROUTINE(F_ds_grid_clear) {
  GET(grids, ds);
  ds->Clear(args[1]);
}

#define GRID_OPS(opname, op)                                                                        \
  ROUTINE(F_ds_grid_##opname) {                                                                     \
    GET(grids, ds);                                                                                 \
    ds->ApplyCell(Int(args[1]), Int(args[2]), args[3], op);                                         \
  }                                                                                                 \
  ROUTINE(F_ds_grid_##opname##_region) {                                                            \
    GET(grids, ds);                                                                                 \
    ds->ApplyRegion(Int(args[1]), Int(args[2]), Int(args[3]), Int(args[4]), args[5], op);           \
  }                                                                                                 \
  ROUTINE(F_ds_grid_##opname##_disk) {                                                              \
    GET(grids, ds);                                                                                 \
    ds->ApplyDisk(args[1].val, args[2].val, args[3].val, args[4], op);                              \
  }                                                                                                 \
  ROUTINE(F_ds_grid_##opname##_grid_region) {                                                       \
    GET(grids, ds);                                                                                 \
    auto* source = Lookup(grids, args[1]);                                                          \
    if (source == nullptr) return;                                                                  \
    ds->ApplyGridRegion(*source, Int(args[2]), Int(args[3]), Int(args[4]), Int(args[5]), Int(args[6]), \
                        Int(args[7]), op);                                                          \
  }

GRID_OPS(set, CDS_Grid::kSet)
GRID_OPS(add, CDS_Grid::kAdd)
GRID_OPS(multiply, CDS_Grid::kMultiply)

ROUTINE(F_ds_grid_get) {
  GET(grids, ds);
  result = ds->Get(Int(args[1]), Int(args[2]));
}

#define GRID_STAT(statname, stat)                                                             \
  ROUTINE(F_ds_grid_get_##statname) {                                                         \
    GET(grids, ds);                                                                           \
    result.SetReal(ds->RegionStat(Int(args[1]), Int(args[2]), Int(args[3]), Int(args[4]), stat)); \
  }                                                                                           \
  ROUTINE(F_ds_grid_get_disk_##statname) {                                                    \
    GET(grids, ds);                                                                           \
    result.SetReal(ds->DiskStat(args[1].val, args[2].val, args[3].val, stat));                \
  }

GRID_STAT(sum, CDS_Grid::kSum)
GRID_STAT(max, CDS_Grid::kMax)
GRID_STAT(min, CDS_Grid::kMin)
GRID_STAT(mean, CDS_Grid::kMean)

// which: 0 exists, 1 x, 2 y
template <int kWhich>
void GridValueRegion(RValue& result, RValue* args) {
  auto* ds = Lookup(grids, args[0]);
  if (ds == nullptr) return;
  int x = 0, y = 0;
  bool found = ds->RegionFind(Int(args[1]), Int(args[2]), Int(args[3]), Int(args[4]), args[5], x, y);
  result.SetReal(kWhich == 0 ? (found ? 1 : 0) : (!found ? 0 : (kWhich == 1 ? x : y)));
}
template <int kWhich>
void GridValueDisk(RValue& result, RValue* args) {
  auto* ds = Lookup(grids, args[0]);
  if (ds == nullptr) return;
  int x = 0, y = 0;
  bool found = ds->DiskFind(args[1].val, args[2].val, args[3].val, args[4], x, y);
  result.SetReal(kWhich == 0 ? (found ? 1 : 0) : (!found ? 0 : (kWhich == 1 ? x : y)));
}
ROUTINE(F_ds_grid_value_exists) { GridValueRegion<0>(result, args); }
ROUTINE(F_ds_grid_value_x) { GridValueRegion<1>(result, args); }
ROUTINE(F_ds_grid_value_y) { GridValueRegion<2>(result, args); }
ROUTINE(F_ds_grid_value_disk_exists) { GridValueDisk<0>(result, args); }
ROUTINE(F_ds_grid_value_disk_x) { GridValueDisk<1>(result, args); }
ROUTINE(F_ds_grid_value_disk_y) { GridValueDisk<2>(result, args); }
ROUTINE(F_ds_grid_shuffle) {
  GET(grids, ds);
  ds->Shuffle();
}
ROUTINE(F_ds_grid_write) {
  GET(grids, ds);
  result.SetString(ds->WriteToString());
}
ROUTINE(F_ds_grid_read) {
  GET(grids, ds);
  ReadText(ds, args[1]);
}

#undef ROUTINE
#undef GET
#undef COMMON
#undef GRID_OPS
#undef GRID_STAT

}  // namespace

namespace {
constexpr RBuiltin kFunctions[] = {
    {"ds_set_precision", F_ds_set_precision, 1},
    {"ds_stack_create", F_ds_stack_create, 0},
    {"ds_stack_destroy", F_ds_stack_destroy, 1},
    {"ds_stack_clear", F_ds_stack_clear, 1},
    {"ds_stack_copy", F_ds_stack_copy, 2},
    {"ds_stack_size", F_ds_stack_size, 1},
    {"ds_stack_empty", F_ds_stack_empty, 1},
    {"ds_stack_push", F_ds_stack_push, 2},
    {"ds_stack_pop", F_ds_stack_pop, 1},
    {"ds_stack_top", F_ds_stack_top, 1},
    {"ds_stack_write", F_ds_stack_write, 1},
    {"ds_stack_read", F_ds_stack_read, 2},
    {"ds_queue_create", F_ds_queue_create, 0},
    {"ds_queue_destroy", F_ds_queue_destroy, 1},
    {"ds_queue_clear", F_ds_queue_clear, 1},
    {"ds_queue_copy", F_ds_queue_copy, 2},
    {"ds_queue_size", F_ds_queue_size, 1},
    {"ds_queue_empty", F_ds_queue_empty, 1},
    {"ds_queue_enqueue", F_ds_queue_enqueue, 2},
    {"ds_queue_dequeue", F_ds_queue_dequeue, 1},
    {"ds_queue_head", F_ds_queue_head, 1},
    {"ds_queue_tail", F_ds_queue_tail, 1},
    {"ds_queue_write", F_ds_queue_write, 1},
    {"ds_queue_read", F_ds_queue_read, 2},
    {"ds_list_create", F_ds_list_create, 0},
    {"ds_list_destroy", F_ds_list_destroy, 1},
    {"ds_list_clear", F_ds_list_clear, 1},
    {"ds_list_copy", F_ds_list_copy, 2},
    {"ds_list_size", F_ds_list_size, 1},
    {"ds_list_empty", F_ds_list_empty, 1},
    {"ds_list_add", F_ds_list_add, 2},
    {"ds_list_insert", F_ds_list_insert, 3},
    {"ds_list_replace", F_ds_list_replace, 3},
    {"ds_list_delete", F_ds_list_delete, 2},
    {"ds_list_find_index", F_ds_list_find_index, 2},
    {"ds_list_find_value", F_ds_list_find_value, 2},
    {"ds_list_sort", F_ds_list_sort, 2},
    {"ds_list_shuffle", F_ds_list_shuffle, 1},
    {"ds_list_write", F_ds_list_write, 1},
    {"ds_list_read", F_ds_list_read, 2},
    {"ds_map_create", F_ds_map_create, 0},
    {"ds_map_destroy", F_ds_map_destroy, 1},
    {"ds_map_clear", F_ds_map_clear, 1},
    {"ds_map_copy", F_ds_map_copy, 2},
    {"ds_map_size", F_ds_map_size, 1},
    {"ds_map_empty", F_ds_map_empty, 1},
    {"ds_map_add", F_ds_map_add, 3},
    {"ds_map_replace", F_ds_map_replace, 3},
    {"ds_map_delete", F_ds_map_delete, 2},
    {"ds_map_exists", F_ds_map_exists, 2},
    {"ds_map_find_value", F_ds_map_find_value, 2},
    {"ds_map_find_previous", F_ds_map_find_previous, 2},
    {"ds_map_find_next", F_ds_map_find_next, 2},
    {"ds_map_find_first", F_ds_map_find_first, 1},
    {"ds_map_find_last", F_ds_map_find_last, 1},
    {"ds_map_write", F_ds_map_write, 1},
    {"ds_map_read", F_ds_map_read, 2},
    {"ds_priority_create", F_ds_priority_create, 0},
    {"ds_priority_destroy", F_ds_priority_destroy, 1},
    {"ds_priority_clear", F_ds_priority_clear, 1},
    {"ds_priority_copy", F_ds_priority_copy, 2},
    {"ds_priority_size", F_ds_priority_size, 1},
    {"ds_priority_empty", F_ds_priority_empty, 1},
    {"ds_priority_add", F_ds_priority_add, 3},
    {"ds_priority_change_priority", F_ds_priority_change_priority, 3},
    {"ds_priority_find_priority", F_ds_priority_find_priority, 2},
    {"ds_priority_delete_value", F_ds_priority_delete_value, 2},
    {"ds_priority_delete_min", F_ds_priority_delete_min, 1},
    {"ds_priority_find_min", F_ds_priority_find_min, 1},
    {"ds_priority_delete_max", F_ds_priority_delete_max, 1},
    {"ds_priority_find_max", F_ds_priority_find_max, 1},
    {"ds_priority_write", F_ds_priority_write, 1},
    {"ds_priority_read", F_ds_priority_read, 2},
    {"ds_grid_create", F_ds_grid_create, 2},
    {"ds_grid_destroy", F_ds_grid_destroy, 1},
    {"ds_grid_copy", F_ds_grid_copy, 2},
    {"ds_grid_resize", F_ds_grid_resize, 3},
    {"ds_grid_width", F_ds_grid_width, 1},
    {"ds_grid_height", F_ds_grid_height, 1},
    {"ds_grid_clear", F_ds_grid_clear, 2},
    {"ds_grid_set", F_ds_grid_set, 4},
    {"ds_grid_add", F_ds_grid_add, 4},
    {"ds_grid_multiply", F_ds_grid_multiply, 4},
    {"ds_grid_set_region", F_ds_grid_set_region, 6},
    {"ds_grid_add_region", F_ds_grid_add_region, 6},
    {"ds_grid_multiply_region", F_ds_grid_multiply_region, 6},
    {"ds_grid_set_disk", F_ds_grid_set_disk, 5},
    {"ds_grid_add_disk", F_ds_grid_add_disk, 5},
    {"ds_grid_multiply_disk", F_ds_grid_multiply_disk, 5},
    {"ds_grid_set_grid_region", F_ds_grid_set_grid_region, 8},
    {"ds_grid_add_grid_region", F_ds_grid_add_grid_region, 8},
    {"ds_grid_multiply_grid_region", F_ds_grid_multiply_grid_region, 8},
    {"ds_grid_get", F_ds_grid_get, 3},
    {"ds_grid_get_sum", F_ds_grid_get_sum, 5},
    {"ds_grid_get_max", F_ds_grid_get_max, 5},
    {"ds_grid_get_min", F_ds_grid_get_min, 5},
    {"ds_grid_get_mean", F_ds_grid_get_mean, 5},
    {"ds_grid_get_disk_sum", F_ds_grid_get_disk_sum, 4},
    {"ds_grid_get_disk_max", F_ds_grid_get_disk_max, 4},
    {"ds_grid_get_disk_min", F_ds_grid_get_disk_min, 4},
    {"ds_grid_get_disk_mean", F_ds_grid_get_disk_mean, 4},
    {"ds_grid_value_exists", F_ds_grid_value_exists, 6},
    {"ds_grid_value_x", F_ds_grid_value_x, 6},
    {"ds_grid_value_y", F_ds_grid_value_y, 6},
    {"ds_grid_value_disk_exists", F_ds_grid_value_disk_exists, 5},
    {"ds_grid_value_disk_x", F_ds_grid_value_disk_x, 5},
    {"ds_grid_value_disk_y", F_ds_grid_value_disk_y, 5},
    {"ds_grid_shuffle", F_ds_grid_shuffle, 1},
    {"ds_grid_write", F_ds_grid_write, 1},
    {"ds_grid_read", F_ds_grid_read, 2},
};
}  // namespace

const RFunctionLibrary kLibrary_Data_Structures{"Data_Structures", kFunctions};
