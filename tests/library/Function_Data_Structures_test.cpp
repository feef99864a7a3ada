#include <cmath>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>
#include <tuple>
#include <unordered_map>

#include "LibTest.h"
#include "library/Support_Data_Structures.h"

using libtest::Call;
using libtest::Errors;
using libtest::Str;

namespace {

const char* kNoStructure = "Data structure with index does not exist.";

// Hexadecimal pieces of the text layout, written independently of the stream.
std::string Hex(const void* p, size_t n) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<const unsigned char*>(p)[i];
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}
std::string HInt(int32_t v) { return Hex(&v, 4); }
std::string HReal(double v) { return Hex(&v, 8); }
std::string HValue(const RValue& v) {
  return HInt(v.kind) + HReal(v.val) + HInt(static_cast<int32_t>(v.str.size())) + Hex(v.str.data(), v.str.size());
}

RValue R(double v) { return RValue(v); }
RValue S(const char* s) { return RValue(s); }

struct PrecisionGuard {
  ~PrecisionGuard() { Call("ds_set_precision", {1e-8}); }
};

}  // namespace

// Freed ids come back lowest first, each once, whatever order they were
// freed in; and creating stays cheap however many structures exist.
TEST(DataStructureRegistry, FreedIdsComeBackLowestFirst) {
  std::vector<double> ids;
  // Other tests share the tables; any slot still free after these six is
  // above all of them, since each creation takes the lowest.
  for (int i = 0; i < 6; ++i) ids.push_back(Call("ds_queue_create").val);
  ASSERT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  for (int k : {4, 1, 3}) Call("ds_queue_destroy", {R(ids[k])});
  Errors([&] { Call("ds_queue_destroy", {R(ids[3])}); });  // a second destroy frees nothing more
  EXPECT_EQ(Call("ds_queue_create").val, ids[1]);
  EXPECT_EQ(Call("ds_queue_create").val, ids[3]);
  Call("ds_queue_destroy", {R(ids[0])});
  EXPECT_EQ(Call("ds_queue_create").val, ids[0]);
  EXPECT_EQ(Call("ds_queue_create").val, ids[4]);
  EXPECT_GT(Call("ds_queue_create").val, ids[5]);
  // Grids are made by their own routine and share the same rule.
  double g = Call("ds_grid_create", {R(2), R(2)}).val;
  double h = Call("ds_grid_create", {R(3), R(1)}).val;
  Call("ds_grid_destroy", {R(g)});
  EXPECT_EQ(Call("ds_grid_create", {R(1), R(1)}).val, g);
  EXPECT_EQ(Call("ds_grid_width", {R(h)}).val, 3);

  // 200,000 structures: a scan of the table per creation takes tens of
  // seconds here, the free list a fraction of one.
  const auto start = std::chrono::steady_clock::now();
  std::vector<double> many;
  for (int i = 0; i < 200000; ++i) many.push_back(Call("ds_stack_create").val);
  ASSERT_TRUE(std::adjacent_find(many.begin(), many.end(), std::greater_equal<double>()) == many.end());
  for (double id : many) Call("ds_stack_destroy", {R(id)});
  EXPECT_EQ(Call("ds_stack_create").val, many[0]);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

TEST(DataStructureRegistry, IdsAreReusedAndInvalidIdsReportAnError) {
  double a = Call("ds_list_create").val;
  double b = Call("ds_list_create").val;
  EXPECT_EQ(b, a + 1);
  Call("ds_list_destroy", {R(a)});
  EXPECT_EQ(Call("ds_list_create").val, a);  // the destroyed id comes back
  Call("ds_list_add", {R(a), R(7)});
  EXPECT_EQ(Call("ds_list_size", {R(a + 0.4)}).val, 1);  // ids are rounded

  // Each kind has its own ids.
  double s = Call("ds_stack_create").val;
  Call("ds_stack_destroy", {R(s)});
  for (const char* fn : {"ds_stack_size", "ds_stack_pop", "ds_stack_top", "ds_stack_empty", "ds_stack_write"}) {
    RValue r;
    std::string err = Errors([&] { r = Call(fn, {R(s)}); });
    EXPECT_NE(err.find(kNoStructure), std::string::npos) << fn;
    EXPECT_TRUE(r.IsReal());
    EXPECT_EQ(r.val, 0) << fn;
  }
  for (double bad : {-1.0, 1e12, 1e300, double(NAN)}) {
    std::string err = Errors([&] { Call("ds_map_add", {R(bad), R(1), R(2)}); });
    EXPECT_NE(err.find(kNoStructure), std::string::npos) << bad;
  }
  // Copy needs both structures.
  std::string err = Errors([&] { Call("ds_list_copy", {R(a), R(9999)}); });
  EXPECT_NE(err.find(kNoStructure), std::string::npos);
  EXPECT_EQ(Call("ds_list_size", {R(a)}).val, 1);
  // A destroyed structure stays unusable, including a second destroy.
  Call("ds_list_destroy", {R(b)});
  err = Errors([&] { Call("ds_list_destroy", {R(b)}); });
  EXPECT_NE(err.find(kNoStructure), std::string::npos);
}

TEST(DataStructureStack, PushPopTopAndItsText) {
  double id = Call("ds_stack_create").val;
  EXPECT_EQ(Call("ds_stack_empty", {R(id)}).val, 1);
  EXPECT_EQ(Call("ds_stack_pop", {R(id)}).val, 0);
  Call("ds_stack_push", {R(id), R(1)});
  Call("ds_stack_push", {R(id), S("a")});
  EXPECT_EQ(Call("ds_stack_size", {R(id)}).val, 2);
  EXPECT_EQ(Call("ds_stack_empty", {R(id)}).val, 0);
  EXPECT_EQ(Str(Call("ds_stack_top", {R(id)})), "a");
  std::string text = Call("ds_stack_write", {R(id)}).str;
  EXPECT_EQ(text, HInt(101) + HInt(2) + HValue(R(1)) + HValue(S("a")));
  EXPECT_EQ(text, "650000000200000000000000000000000000F03F00000000010000000000000000000000010000006" "1");
  // Only the field of a value's kind reaches the text, whatever the other holds.
  RValue stale_string("a");
  stale_string.val = 1;
  RValue stale_real(1.0);
  stale_real.str = "old";
  double other = Call("ds_stack_create").val;
  Call("ds_stack_push", {R(other), stale_real});
  Call("ds_stack_push", {R(other), stale_string});
  EXPECT_EQ(Call("ds_stack_write", {R(other)}).str, text);
  EXPECT_EQ(Str(Call("ds_stack_pop", {R(id)})), "a");
  EXPECT_EQ(Call("ds_stack_pop", {R(id)}).val, 1);
  EXPECT_EQ(Call("ds_stack_size", {R(id)}).val, 0);
  Call("ds_stack_read", {R(id), RValue(text)});
  EXPECT_EQ(Str(Call("ds_stack_pop", {R(id)})), "a");
  Call("ds_stack_clear", {R(id)});
  EXPECT_EQ(Call("ds_stack_size", {R(id)}).val, 0);
}

TEST(DataStructureQueue, CompactionKeepsTheWholeArrayInItsText) {
  double id = Call("ds_queue_create").val;
  EXPECT_EQ(Call("ds_queue_dequeue", {R(id)}).val, 0);
  for (int i = 0; i < 20; ++i) Call("ds_queue_enqueue", {R(id), R(i)});
  EXPECT_EQ(Call("ds_queue_head", {R(id)}).val, 0);
  EXPECT_EQ(Call("ds_queue_tail", {R(id)}).val, 19);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(Call("ds_queue_dequeue", {R(id)}).val, i);
  EXPECT_EQ(Call("ds_queue_size", {R(id)}).val, 3);
  EXPECT_EQ(Call("ds_queue_head", {R(id)}).val, 17);

  // Live values moved to 0..2; the other slots keep what they held.
  std::string expected = HInt(201) + HInt(3) + HInt(0) + HInt(32);
  for (int k = 0; k < 32; ++k) {
    double v = k < 3 ? 17 + k : (k < 20 ? k : 0);
    expected += HValue(R(v));
  }
  std::string text = Call("ds_queue_write", {R(id)}).str;
  EXPECT_EQ(text, expected);

  double other = Call("ds_queue_create").val;
  Call("ds_queue_read", {R(other), RValue(text)});
  EXPECT_EQ(Call("ds_queue_write", {R(other)}).str, text);
  EXPECT_EQ(Call("ds_queue_dequeue", {R(other)}).val, 17);
  EXPECT_EQ(Call("ds_queue_tail", {R(other)}).val, 19);
  Call("ds_queue_clear", {R(other)});
  EXPECT_EQ(Call("ds_queue_empty", {R(other)}).val, 1);
  EXPECT_EQ(Call("ds_queue_tail", {R(other)}).val, 0);
}

TEST(DataStructureList, PositionsSearchesAndPrecision) {
  PrecisionGuard guard;
  double id = Call("ds_list_create").val;
  Call("ds_list_add", {R(id), R(1)});
  Call("ds_list_add", {R(id), S("b")});
  Call("ds_list_insert", {R(id), R(0), S("first")});
  Call("ds_list_insert", {R(id), R(3), R(9)});   // size: appends
  Call("ds_list_insert", {R(id), R(5), R(8)});   // beyond: nothing
  Call("ds_list_insert", {R(id), R(-1), R(8)});  // below 0: nothing
  Call("ds_list_replace", {R(id), R(4), R(8)});  // no such position
  Call("ds_list_replace", {R(id), R(1.5), R(2)});  // rounds to 2
  Call("ds_list_delete", {R(id), R(7)});
  ASSERT_EQ(Call("ds_list_size", {R(id)}).val, 4);
  EXPECT_EQ(Str(Call("ds_list_find_value", {R(id), R(0)})), "first");
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(1)}).val, 1);
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(2)}).val, 2);
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(4)}).val, 0);
  EXPECT_EQ(Call("ds_list_find_index", {R(id), R(9)}).val, 3);
  EXPECT_EQ(Call("ds_list_find_index", {R(id), S("b")}).val, -1);
  EXPECT_EQ(Call("ds_list_find_index", {R(id), S("first")}).val, 0);
  Call("ds_list_delete", {R(id), R(0)});
  EXPECT_EQ(Call("ds_list_find_index", {R(id), R(1 + 1e-9)}).val, 0);  // within 1e-8

  double p = Call("ds_list_create").val;
  Call("ds_list_add", {R(p), R(1)});
  Call("ds_set_precision", {-0.1});  // its absolute value
  EXPECT_EQ(Call("ds_list_find_index", {R(p), R(1.05)}).val, 0);
  Call("ds_set_precision", {0.0});
  EXPECT_EQ(Call("ds_list_find_index", {R(p), R(1 + 1e-13)}).val, 0);
  EXPECT_EQ(Call("ds_list_find_index", {R(p), R(1.001)}).val, -1);
  EXPECT_EQ(Call("ds_list_find_index", {R(p), S("1")}).val, -1);  // a string never equals a real
}

TEST(DataStructureList, SortAndShuffle) {
  double id = Call("ds_list_create").val;
  Call("ds_list_add", {R(id), R(3)});
  Call("ds_list_add", {R(id), S("a")});
  Call("ds_list_add", {R(id), R(1)});
  Call("ds_list_sort", {R(id), R(1)});
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(0)}).val, 1);
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(1)}).val, 3);
  EXPECT_EQ(Str(Call("ds_list_find_value", {R(id), R(2)})), "a");
  Call("ds_list_sort", {R(id), R(0.4)});  // below 0.5 is descending
  EXPECT_EQ(Str(Call("ds_list_find_value", {R(id), R(0)})), "a");
  EXPECT_EQ(Call("ds_list_find_value", {R(id), R(2)}).val, 1);

  // Equal values (within the precision) keep their order ascending and swap it descending.
  double e = Call("ds_list_create").val;
  for (double v : {2.0, 1.0, 1.000000001, 0.0}) Call("ds_list_add", {R(e), R(v)});
  Call("ds_list_sort", {R(e), R(1)});
  EXPECT_EQ(Call("ds_list_find_value", {R(e), R(1)}).val, 1.0);
  EXPECT_EQ(Call("ds_list_find_value", {R(e), R(2)}).val, 1.000000001);
  Call("ds_list_sort", {R(e), R(0)});
  EXPECT_EQ(Call("ds_list_find_value", {R(e), R(1)}).val, 1.000000001);
  EXPECT_EQ(Call("ds_list_find_value", {R(e), R(2)}).val, 1.0);

  // Strings sort by UTF-16 units, case-sensitively.
  double t = Call("ds_list_create").val;
  for (const char* s : {"b", "B", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "a"}) Call("ds_list_add", {R(t), S(s)});
  Call("ds_list_sort", {R(t), R(1)});
  std::vector<std::string> sorted;
  for (int i = 0; i < 5; ++i) sorted.push_back(Call("ds_list_find_value", {R(t), R(i)}).str);
  EXPECT_EQ(sorted, (std::vector<std::string>{"B", "a", "b", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));

  // Shuffling draws from the game's generator: the same seed gives the same order.
  double l = Call("ds_list_create").val;
  for (int i = 0; i < 10; ++i) Call("ds_list_add", {R(l), R(i)});
  std::string before = Call("ds_list_write", {R(l)}).str;
  Call("random_set_seed", {R(99)});
  Call("ds_list_shuffle", {R(l)});
  std::string once = Call("ds_list_write", {R(l)}).str;
  EXPECT_NE(once, before);
  Call("ds_list_read", {R(l), RValue(before)});
  Call("random_set_seed", {R(99)});
  Call("ds_list_shuffle", {R(l)});
  EXPECT_EQ(Call("ds_list_write", {R(l)}).str, once);
  Call("ds_list_sort", {R(l), R(1)});
  EXPECT_EQ(Call("ds_list_write", {R(l)}).str, before);
}

TEST(DataStructureMap, DuplicateKeysAndNeighbours) {
  double id = Call("ds_map_create").val;
  Call("ds_map_add", {R(id), S("k"), R(1)});
  Call("ds_map_add", {R(id), S("k"), R(2)});
  EXPECT_EQ(Call("ds_map_size", {R(id)}).val, 2);
  EXPECT_EQ(Call("ds_map_find_value", {R(id), S("k")}).val, 1);
  Call("ds_map_replace", {R(id), S("k"), R(5)});
  EXPECT_EQ(Call("ds_map_find_value", {R(id), S("k")}).val, 5);
  Call("ds_map_delete", {R(id), S("k")});
  EXPECT_EQ(Call("ds_map_size", {R(id)}).val, 1);
  EXPECT_EQ(Call("ds_map_find_value", {R(id), S("k")}).val, 2);
  EXPECT_EQ(Call("ds_map_exists", {R(id), S("k")}).val, 1);
  EXPECT_EQ(Call("ds_map_exists", {R(id), S("K")}).val, 0);
  EXPECT_EQ(Call("ds_map_find_value", {R(id), S("none")}).val, 0);
  Call("ds_map_replace", {R(id), S("none"), R(1)});  // nothing to replace
  Call("ds_map_delete", {R(id), S("none")});
  EXPECT_EQ(Call("ds_map_size", {R(id)}).val, 1);

  // Enough keys for the halving search; reals sort before strings.
  double m = Call("ds_map_create").val;
  for (int k : {50, 10, 90, 30, 70, 20, 80, 40, 60, 0, 100, 5}) Call("ds_map_add", {R(m), R(k), R(k * 2)});
  Call("ds_map_add", {R(m), S("zz"), S("last")});
  EXPECT_EQ(Call("ds_map_find_first", {R(m)}).val, 0);
  EXPECT_EQ(Str(Call("ds_map_find_last", {R(m)})), "zz");
  for (int k : {0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}) {
    EXPECT_EQ(Call("ds_map_find_value", {R(m), R(k)}).val, k * 2) << k;
    EXPECT_EQ(Call("ds_map_exists", {R(m), R(k + 1)}).val, 0) << k;
  }
  EXPECT_EQ(Call("ds_map_find_previous", {R(m), R(50)}).val, 40);
  EXPECT_EQ(Call("ds_map_find_previous", {R(m), R(45)}).val, 40);
  EXPECT_EQ(Call("ds_map_find_next", {R(m), R(50)}).val, 60);
  EXPECT_EQ(Call("ds_map_find_next", {R(m), R(55)}).val, 60);
  EXPECT_EQ(Str(Call("ds_map_find_next", {R(m), R(100)})), "zz");
  EXPECT_EQ(Call("ds_map_find_next", {R(m), R(-5)}).val, 0);       // every key larger: the first
  EXPECT_EQ(Str(Call("ds_map_find_previous", {R(m), S("zzz")})), "zz");  // every key smaller: the last
  EXPECT_EQ(Call("ds_map_find_previous", {R(m), R(0)}).val, 0);    // none before the first
  EXPECT_EQ(Call("ds_map_find_next", {R(m), S("zz")}).val, 0);     // none after the last

  // Keys stay in ascending order, as the text shows.
  CDS_Map check;
  ASSERT_TRUE(check.ReadFromString(Call("ds_map_write", {R(m)}).str));
  for (int i = 1; i < check.Size(); ++i) EXPECT_LE(DS_Compare(check.Key(i - 1), check.Key(i)), 0);

  Call("ds_map_clear", {R(m)});
  EXPECT_EQ(Call("ds_map_empty", {R(m)}).val, 1);
  EXPECT_EQ(Call("ds_map_find_first", {R(m)}).val, 0);
}

TEST(DataStructureMap, ManyKeysAgreeWithALinearScan) {
  // Random keys with many duplicates; the halving searches must find what a
  // scan of the sorted keys finds.
  CDS_Map map;
  Call("random_set_seed", {R(5)});
  for (int i = 0; i < 400; ++i) map.Add(RValue(static_cast<double>(RandomInt(100))), RValue(static_cast<double>(i)));
  for (int k = -1; k <= 100; ++k) {
    RValue key(static_cast<double>(k));
    int lower = 0;
    while (lower < map.Size() && DS_Compare(map.Key(lower), key) < 0) ++lower;
    int upper = map.Size() - 1;
    while (upper >= 0 && DS_Compare(map.Key(upper), key) > 0) --upper;
    EXPECT_EQ(map.LowerSearch(key), lower) << k;
    EXPECT_EQ(map.UpperSearch(key), upper) << k;
  }
  // Equal keys keep the order they were added in.
  double last_for_7 = -1;
  for (int i = 0; i < map.Size(); ++i)
    if (map.Key(i).val == 7) {
      EXPECT_GT(map.Value(i).val, last_for_7);
      last_for_7 = map.Value(i).val;
    }
}

TEST(DataStructurePriority, MinMaxTiesAndRemoval) {
  double id = Call("ds_priority_create").val;
  EXPECT_EQ(Call("ds_priority_find_min", {R(id)}).val, 0);
  EXPECT_EQ(Call("ds_priority_delete_max", {R(id)}).val, 0);
  Call("ds_priority_add", {R(id), S("a"), R(5)});
  Call("ds_priority_add", {R(id), S("b"), R(1)});
  Call("ds_priority_add", {R(id), S("c"), R(1)});
  Call("ds_priority_add", {R(id), S("d"), R(9)});
  Call("ds_priority_add", {R(id), S("e"), R(9)});
  EXPECT_EQ(Str(Call("ds_priority_find_min", {R(id)})), "b");  // nearest the front wins
  EXPECT_EQ(Str(Call("ds_priority_find_max", {R(id)})), "d");
  EXPECT_EQ(Call("ds_priority_find_priority", {R(id), S("c")}).val, 1);
  EXPECT_EQ(Call("ds_priority_find_priority", {R(id), S("x")}).val, 0);
  // Removing b moves e (the last entry) into its place, ahead of c and d.
  EXPECT_EQ(Str(Call("ds_priority_delete_min", {R(id)})), "b");
  EXPECT_EQ(Str(Call("ds_priority_find_max", {R(id)})), "e");
  Call("ds_priority_change_priority", {R(id), S("a"), R(0)});
  EXPECT_EQ(Str(Call("ds_priority_find_min", {R(id)})), "a");
  Call("ds_priority_delete_value", {R(id), S("a")});
  EXPECT_EQ(Call("ds_priority_size", {R(id)}).val, 3);
  // Deleting a moved d to the front, so d now wins the tie with e.
  EXPECT_EQ(Str(Call("ds_priority_delete_max", {R(id)})), "d");
  EXPECT_EQ(Str(Call("ds_priority_delete_max", {R(id)})), "e");
  EXPECT_EQ(Str(Call("ds_priority_delete_max", {R(id)})), "c");
  EXPECT_EQ(Call("ds_priority_empty", {R(id)}).val, 1);
}

TEST(DataStructureGrid, CellOperations) {
  double g = Call("ds_grid_create", {R(3), R(2)}).val;
  EXPECT_EQ(Call("ds_grid_width", {R(g)}).val, 3);
  EXPECT_EQ(Call("ds_grid_height", {R(g)}).val, 2);
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(2), R(1)}).val, 0);
  struct Case {
    RValue start;
    const char* op;
    RValue value;
    RValue expected;
  };
  const Case cases[] = {
      {R(2), "ds_grid_set", S("s"), S("s")},        {R(2), "ds_grid_add", R(3), R(5)},
      {S("ab"), "ds_grid_add", S("cd"), S("abcd")}, {R(2), "ds_grid_add", S("x"), S("x")},
      {S("x"), "ds_grid_add", R(4), R(4)},          {R(2), "ds_grid_multiply", R(3), R(6)},
      {R(2), "ds_grid_multiply", S("x"), R(2)},     {S("x"), "ds_grid_multiply", R(3), S("x")},
  };
  for (const auto& c : cases) {
    Call("ds_grid_set", {R(g), R(1), R(1), c.start});
    Call(c.op, {R(g), R(1), R(1), c.value});
    RValue got = Call("ds_grid_get", {R(g), R(1), R(1)});
    EXPECT_EQ(got.kind, c.expected.kind) << c.op;
    EXPECT_EQ(got.val, c.expected.val) << c.op;
    EXPECT_EQ(got.str, c.expected.str) << c.op;
  }
  // Outside the grid nothing happens and reads give 0.
  Call("ds_grid_set", {R(g), R(3), R(0), R(5)});
  Call("ds_grid_set", {R(g), R(-1), R(0), R(5)});
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(3), R(0)}).val, 0);
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(0), R(0), R(2), R(1)}).val, 0);

  Call("ds_grid_set", {R(g), R(2), R(1), R(7)});
  Call("ds_grid_resize", {R(g), R(4), R(4)});
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(2), R(1)}).val, 7);
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(3), R(3)}).val, 0);
  Call("ds_grid_resize", {R(g), R(2), R(2)});
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(1), R(1)}).IsString(), true);
  Call("ds_grid_clear", {R(g), R(4)});
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(0), R(0), R(9), R(9)}).val, 16);
}

TEST(DataStructureGrid, RegionsDisksAndStatistics) {
  double g = Call("ds_grid_create", {R(5), R(5)}).val;
  Call("ds_grid_set_region", {R(g), R(3), R(3), R(1), R(1), R(2)});  // corners in any order
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(0), R(0), R(4), R(4)}).val, 18);
  Call("ds_grid_add_region", {R(g), R(-10), R(-10), R(0), R(10), R(1)});  // clipped to column 0
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(0), R(0), R(0), R(4)}).val, 5);
  Call("ds_grid_multiply_region", {R(g), R(1), R(1), R(1), R(1), R(10)});
  EXPECT_EQ(Call("ds_grid_get", {R(g), R(1), R(1)}).val, 20);
  EXPECT_EQ(Call("ds_grid_get_max", {R(g), R(0), R(0), R(4), R(4)}).val, 20);
  EXPECT_EQ(Call("ds_grid_get_min", {R(g), R(0), R(0), R(4), R(4)}).val, 0);
  EXPECT_DOUBLE_EQ(Call("ds_grid_get_mean", {R(g), R(1), R(1), R(2), R(2)}).val, (20 + 2 + 2 + 2) / 4.0);

  // Only real cells count; none gives the starting values.
  Call("ds_grid_set_region", {R(g), R(3), R(0), R(4), R(1), S("s")});
  EXPECT_EQ(Call("ds_grid_get_max", {R(g), R(3), R(0), R(4), R(1)}).val, -100000000);
  EXPECT_EQ(Call("ds_grid_get_min", {R(g), R(3), R(0), R(4), R(1)}).val, 100000000);
  EXPECT_EQ(Call("ds_grid_get_mean", {R(g), R(3), R(0), R(4), R(1)}).val, 0);
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(3), R(0), R(4), R(1)}).val, 0);

  double d = Call("ds_grid_create", {R(7), R(7)}).val;
  Call("ds_grid_set_disk", {R(d), R(3), R(3), R(1.5), R(1)});  // centre, its 4 and 4 diagonal neighbours
  EXPECT_EQ(Call("ds_grid_get_sum", {R(d), R(0), R(0), R(6), R(6)}).val, 9);
  EXPECT_EQ(Call("ds_grid_get_disk_sum", {R(d), R(3), R(3), R(1)}).val, 5);
  Call("ds_grid_add_disk", {R(d), R(0), R(0), R(1), R(1)});  // clipped at the corner
  EXPECT_EQ(Call("ds_grid_get_sum", {R(d), R(0), R(0), R(6), R(6)}).val, 12);
  Call("ds_grid_multiply_disk", {R(d), R(3.5), R(3), R(0.5), R(4)});  // (3,3) and (4,3)
  EXPECT_EQ(Call("ds_grid_get", {R(d), R(3), R(3)}).val, 4);
  EXPECT_EQ(Call("ds_grid_get", {R(d), R(4), R(3)}).val, 4);
  EXPECT_EQ(Call("ds_grid_get_disk_max", {R(d), R(3), R(3), R(2)}).val, 4);
  EXPECT_EQ(Call("ds_grid_get_disk_min", {R(d), R(3), R(3), R(2)}).val, 0);
  EXPECT_DOUBLE_EQ(Call("ds_grid_get_disk_mean", {R(d), R(3), R(3), R(0)}).val, 4);
  EXPECT_EQ(Call("ds_grid_get_disk_sum", {R(d), R(3), R(3), R(1e300)}).val, 18);  // whole grid, no overflow
  EXPECT_EQ(Call("ds_grid_get_disk_sum", {R(d), R(-1e300), R(3), R(2)}).val, 0);
  EXPECT_EQ(Call("ds_grid_get_disk_sum", {R(d), R(NAN), R(3), R(2)}).val, 0);

  // Searches go column by column, top to bottom.
  Call("ds_grid_set", {R(d), R(5), R(0), S("t")});
  Call("ds_grid_set", {R(d), R(2), R(6), S("t")});
  EXPECT_EQ(Call("ds_grid_value_exists", {R(d), R(0), R(0), R(6), R(6), S("t")}).val, 1);
  EXPECT_EQ(Call("ds_grid_value_x", {R(d), R(0), R(0), R(6), R(6), S("t")}).val, 2);
  EXPECT_EQ(Call("ds_grid_value_y", {R(d), R(0), R(0), R(6), R(6), S("t")}).val, 6);
  EXPECT_EQ(Call("ds_grid_value_exists", {R(d), R(3), R(0), R(6), R(5), S("u")}).val, 0);
  EXPECT_EQ(Call("ds_grid_value_x", {R(d), R(3), R(0), R(6), R(5), S("u")}).val, 0);
  EXPECT_EQ(Call("ds_grid_value_disk_exists", {R(d), R(5), R(1), R(1), S("t")}).val, 1);
  EXPECT_EQ(Call("ds_grid_value_disk_x", {R(d), R(5), R(1), R(1), S("t")}).val, 5);
  EXPECT_EQ(Call("ds_grid_value_disk_y", {R(d), R(5), R(1), R(1), S("t")}).val, 0);
  EXPECT_EQ(Call("ds_grid_value_disk_exists", {R(d), R(5), R(2), R(1), S("t")}).val, 0);
  EXPECT_EQ(Call("ds_grid_value_disk_x", {R(d), R(3), R(3), R(1), R(4.000000001)}).val, 3);
}

TEST(DataStructureGrid, GridToGridCopiesWithoutSmearing) {
  auto row = [](double g, int y, int w) {
    std::string s;
    for (int x = 0; x < w; ++x) s += libtest::Str(Call("ds_grid_get", {R(g), R(x), R(y)})).substr(0, 1) + (x + 1 < w ? "," : "");
    return s;
  };
  double g = Call("ds_grid_create", {R(5), R(1)}).val;
  const char* letters[] = {"a", "b", "c", "d", "e"};
  for (int x = 0; x < 5; ++x) Call("ds_grid_set", {R(g), R(x), R(0), S(letters[x])});
  // Shift right by one onto itself: every column is copied once.
  Call("ds_grid_set_grid_region", {R(g), R(g), R(0), R(0), R(4), R(0), R(1), R(0)});
  EXPECT_EQ(row(g, 0, 5), "a,a,b,c,d");
  // Shift left by one.
  Call("ds_grid_set_grid_region", {R(g), R(g), R(1), R(0), R(4), R(0), R(0), R(0)});
  EXPECT_EQ(row(g, 0, 5), "a,b,c,d,d");

  // A negative position cuts the front of the source off.
  double t = Call("ds_grid_create", {R(3), R(3)}).val;
  double s = Call("ds_grid_create", {R(3), R(3)}).val;
  for (int x = 0; x < 3; ++x)
    for (int y = 0; y < 3; ++y) Call("ds_grid_set", {R(s), R(x), R(y), R(10 * x + y)});
  Call("ds_grid_set_grid_region", {R(t), R(s), R(0), R(0), R(2), R(2), R(-1), R(-2)});
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(0), R(0)}).val, 12);
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(1), R(0)}).val, 22);
  EXPECT_EQ(Call("ds_grid_get_sum", {R(t), R(0), R(1), R(2), R(2)}).val, 0);
  // Clipped on the right and bottom, combined with the cell operation.
  Call("ds_grid_add_grid_region", {R(t), R(s), R(2), R(2), R(0), R(0), R(1), R(1)});
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(1), R(1)}).val, 0);
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(2), R(2)}).val, 11);
  Call("ds_grid_multiply_grid_region", {R(t), R(s), R(2), R(2), R(2), R(2), R(2), R(2)});
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(2), R(2)}).val, 11 * 22);
  Call("ds_grid_set_grid_region", {R(t), R(s), R(0), R(0), R(2), R(2), R(5), R(5)});  // entirely outside
  Call("ds_grid_set_grid_region", {R(t), R(s), R(7), R(7), R(9), R(9), R(0), R(0)});  // empty source
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(2), R(2)}).val, 11 * 22);
  // Coordinates far outside any range change nothing and cannot overflow.
  for (double far : {1e300, -1e300, 9.3e18, -9.3e18}) {
    Call("ds_grid_set_grid_region", {R(t), R(s), R(far), R(-far), R(far), R(far), R(far), R(-far)});
    Call("ds_grid_add_grid_region", {R(t), R(s), R(0), R(0), R(2), R(2), R(far), R(far)});
    Call("ds_grid_set_region", {R(t), R(far), R(far), R(far), R(far), R(1)});
    Call("ds_grid_set", {R(t), R(far), R(0), R(1)});
  }
  EXPECT_EQ(Call("ds_grid_get", {R(t), R(2), R(2)}).val, 11 * 22);
  std::string err = Errors([&] { Call("ds_grid_set_grid_region", {R(t), R(999), R(0), R(0), R(1), R(1), R(0), R(0)}); });
  EXPECT_NE(err.find(kNoStructure), std::string::npos);
}

TEST(DataStructureGrid, SizesAreCheckedAndShuffleKeepsCells) {
  for (auto [w, h] : {std::pair{-1.0, 5.0}, {5.0, -1.0}, {1e6, 1e6}, {1e300, 1.0}, {1e300, 1e300}, {-1e300, -1e300}}) {
    RValue r;
    std::string err = Errors([&] { r = Call("ds_grid_create", {R(w), R(h)}); });
    EXPECT_NE(err.find("Grid size is not valid."), std::string::npos) << w << "x" << h;
    EXPECT_EQ(r.val, -1);
  }
  double g = Call("ds_grid_create", {R(0), R(4)}).val;
  EXPECT_EQ(Call("ds_grid_width", {R(g)}).val, 0);
  Call("ds_grid_shuffle", {R(g)});
  Call("ds_grid_set_disk", {R(g), R(0), R(0), R(5), R(1)});
  std::string err = Errors([&] { Call("ds_grid_resize", {R(g), R(70000), R(70000)}); });
  EXPECT_NE(err.find("Grid size is not valid."), std::string::npos);
  EXPECT_EQ(Call("ds_grid_height", {R(g)}).val, 4);

  Call("ds_grid_resize", {R(g), R(4), R(4)});
  for (int i = 0; i < 16; ++i) Call("ds_grid_set", {R(g), R(i % 4), R(i / 4), R(i)});
  Call("random_set_seed", {R(3)});
  Call("ds_grid_shuffle", {R(g)});
  EXPECT_EQ(Call("ds_grid_get_sum", {R(g), R(0), R(0), R(3), R(3)}).val, 120);
  bool moved = false;
  for (int i = 0; i < 16; ++i) moved |= Call("ds_grid_get", {R(g), R(i % 4), R(i / 4)}).val != i;
  EXPECT_TRUE(moved);
}

TEST(DataStructureText, EveryKindRoundTripsAndRefusesOtherKinds) {
  struct Kind {
    std::string name;
    double id;
  };
  std::vector<Kind> kinds;
  auto make = [&](const std::string& name, std::initializer_list<RValue> create_args = {}) {
    kinds.push_back({name, Call("ds_" + name + "_create", create_args).val});
    return kinds.back().id;
  };
  double st = make("stack");
  Call("ds_stack_push", {R(st), R(-2.5)});
  Call("ds_stack_push", {R(st), S("\xC3\xA9t\xC3\xA9")});
  double q = make("queue");
  Call("ds_queue_enqueue", {R(q), S("x")});
  Call("ds_queue_enqueue", {R(q), R(4)});
  Call("ds_queue_dequeue", {R(q)});
  double l = make("list");
  Call("ds_list_add", {R(l), S("")});
  Call("ds_list_add", {R(l), R(1e300)});
  double m = make("map");
  Call("ds_map_add", {R(m), S("b"), R(2)});
  Call("ds_map_add", {R(m), R(1), S("one")});
  double p = make("priority");
  Call("ds_priority_add", {R(p), S("v"), R(3)});
  Call("ds_priority_add", {R(p), R(8), R(-1)});
  double g = make("grid", {R(2), R(3)});
  Call("ds_grid_set", {R(g), R(1), R(2), S("corner")});
  Call("ds_grid_set", {R(g), R(1), R(0), R(0.1)});

  std::vector<std::string> texts;
  for (const auto& k : kinds) {
    std::string text = Call("ds_" + k.name + "_write", {R(k.id)}).str;
    texts.push_back(text);
    double copy = k.name == "grid" ? Call("ds_grid_create", {R(1), R(1)}).val : Call("ds_" + k.name + "_create").val;
    std::string err = Errors([&] { Call("ds_" + k.name + "_read", {R(copy), RValue(text)}); });
    EXPECT_EQ(err, "") << k.name;
    EXPECT_EQ(Call("ds_" + k.name + "_write", {R(copy)}).str, text) << k.name;
  }
  EXPECT_EQ(texts[5].substr(0, 24), HInt(601) + HInt(2) + HInt(3));
  std::string corner = HValue(S("corner"));  // cell (1, 2) comes last: column by column
  EXPECT_EQ(texts[5].substr(texts[5].size() - corner.size()), corner);
  EXPECT_EQ(texts[5].substr(24, 32), HValue(R(0)));
  EXPECT_EQ(texts[3], HInt(401) + HInt(2) + HValue(R(1)) + HValue(S("b")) + HValue(S("one")) + HValue(R(2)));
  EXPECT_EQ(texts[4], HInt(501) + HInt(2) + HValue(R(3)) + HValue(R(-1)) + HValue(S("v")) + HValue(R(8)));

  // A text of another kind changes nothing and reports nothing.
  for (size_t i = 0; i < kinds.size(); ++i)
    for (size_t j = 0; j < kinds.size(); ++j) {
      if (i == j) continue;
      std::string err = Errors([&] { Call("ds_" + kinds[i].name + "_read", {R(kinds[i].id), RValue(texts[j])}); });
      EXPECT_EQ(err, "") << kinds[i].name << " <- " << kinds[j].name;
      EXPECT_EQ(Call("ds_" + kinds[i].name + "_write", {R(kinds[i].id)}).str, texts[i]) << kinds[i].name;
    }
  // Lower-case hexadecimal reads as well.
  std::string lower = texts[0];
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  double st2 = Call("ds_stack_create").val;
  Call("ds_stack_read", {R(st2), RValue(lower)});
  EXPECT_EQ(Call("ds_stack_write", {R(st2)}).str, texts[0]);
}

TEST(DataStructureText, BrokenTextsFailCleanlyAndChangeNothing) {
  double l = Call("ds_list_create").val;
  Call("ds_list_add", {R(l), R(42)});
  std::string good = Call("ds_list_write", {R(l)}).str;
  const std::string broken[] = {
      "",                                         // no header
      "ZZ",                                       // not hexadecimal
      HInt(301) + "G1",                           // not hexadecimal after the header
      HInt(301),                                  // no count
      HInt(301) + HInt(1),                        // count larger than the data
      HInt(301) + HInt(2000000000) + HValue(R(1)),  // a huge count
      HInt(301) + HInt(-3),                       // a negative count
      HInt(301) + HInt(1) + HValue(R(1)).substr(0, 20),        // value cut short
      HInt(301) + HInt(1) + HInt(1) + HReal(0) + HInt(100000) + "41",  // string longer than the data
  };
  for (const auto& text : broken) {
    std::string err = Errors([&] { Call("ds_list_read", {R(l), RValue(text)}); });
    EXPECT_NE(err.find("Data structure text is not valid."), std::string::npos) << text;
    EXPECT_EQ(Call("ds_list_write", {R(l)}).str, good) << text;
  }
  // Queue positions must lie inside the array.
  double q = Call("ds_queue_create").val;
  for (auto [first, last, cap] : {std::tuple{5, 0, 2}, {1, 2, 4}, {-1, -2, 4}}) {
    std::string text = HInt(201) + HInt(first) + HInt(last) + HInt(cap);
    for (int i = 0; i < cap; ++i) text += HValue(R(i));
    std::string err = Errors([&] { Call("ds_queue_read", {R(q), RValue(text)}); });
    EXPECT_NE(err.find("Data structure text is not valid."), std::string::npos);
    EXPECT_EQ(Call("ds_queue_size", {R(q)}).val, 0);
  }
  // Grid sizes from a text are checked before anything is allocated.
  double g = Call("ds_grid_create", {R(1), R(1)}).val;
  for (auto [w, h] : {std::pair{-1, 1}, {65536, 65536}, {100000, 100000}}) {
    std::string err = Errors([&] { Call("ds_grid_read", {R(g), RValue(HInt(601) + HInt(w) + HInt(h))}); });
    EXPECT_NE(err.find("Data structure text is not valid."), std::string::npos);
    EXPECT_EQ(Call("ds_grid_width", {R(g)}).val, 1);
  }
  // A final unpaired digit is ignored.
  Call("ds_list_read", {R(l), RValue(good + "7")});
  EXPECT_EQ(Call("ds_list_write", {R(l)}).str, good);
}

namespace {
// The sort as defined: insertion sort by swaps.
void ReferenceSort(std::vector<RValue>& v, bool ascend) {
  for (size_t k = 1; k < v.size(); ++k)
    for (size_t j = k; j > 0; --j) {
      int c = DS_Compare(v[j - 1], v[j]);
      if (ascend ? c <= 0 : c > 0) break;
      std::swap(v[j - 1], v[j]);
    }
}
std::string Dump(const std::vector<RValue>& v) {
  std::string s;
  for (const RValue& x : v) s += (x.IsString() ? "s:" + x.str : "r:" + std::to_string(x.val)) + "/" + std::to_string(x.val) + " ";
  return s;
}
}  // namespace

TEST(DataStructureList, SortMatchesTheInsertionSortOnLargeLists) {
  PrecisionGuard guard;
  RandomSetSeed(11);
  for (int round = 0; round < 40; ++round) {
    CDS_List list;
    int n = 17 + RandomInt(60);
    bool near = round % 4 == 3;  // values equal only within the precision
    for (int i = 0; i < n; ++i) {
      int pick = RandomInt(10);
      if (pick < 2) {
        list.Add(RValue(std::string(1, static_cast<char>('a' + RandomInt(5)))));
      } else {
        RValue v(static_cast<double>(RandomInt(8)));
        v.str = std::to_string(i);  // tells equal values apart in the dump
        if (near) v.val += RandomInt(3) * 0.6e-8;
        list.Add(v);
      }
    }
    for (bool ascend : {true, false}) {
      std::vector<RValue> expected = list.i_val;
      ReferenceSort(expected, ascend);
      CDS_List sorted;
      sorted.Assign(list);
      sorted.Sort(ascend);
      ASSERT_EQ(Dump(sorted.i_val), Dump(expected)) << "round " << round << (ascend ? " ascending" : " descending");
    }
  }
}

TEST(DataStructureMap, RandomOperationsMatchASortedVector) {
  RandomSetSeed(21);
  CDS_Map map;
  std::vector<std::pair<double, double>> model;  // (key, value), keys ascending, equal keys in insertion order
  for (int step = 0; step < 3000; ++step) {
    double key = RandomInt(200);
    int op = RandomInt(3);
    if (op < 2) {
      map.Add(RValue(key), RValue(static_cast<double>(step)));
      auto it = std::upper_bound(model.begin(), model.end(), key,
                                 [](double k, const std::pair<double, double>& e) { return k < e.first; });
      model.insert(it, {key, static_cast<double>(step)});
    } else {
      map.Delete(RValue(key));
      auto it = std::lower_bound(model.begin(), model.end(), key,
                                 [](const std::pair<double, double>& e, double k) { return e.first < k; });
      if (it != model.end() && it->first == key) model.erase(it);
    }
    if (step % 500 == 499) {
      ASSERT_EQ(map.Size(), static_cast<int>(model.size()));
      for (int p = 0; p < map.Size(); ++p) {
        ASSERT_EQ(map.Key(p).val, model[static_cast<size_t>(p)].first);
        ASSERT_EQ(map.Value(p).val, model[static_cast<size_t>(p)].second);
      }
    }
  }
  CDS_Map copy;
  copy.Assign(map);
  EXPECT_EQ(copy.WriteToString(), map.WriteToString());
  copy.Add(RValue(-1.0), RValue(0.0));
  EXPECT_EQ(copy.Size(), map.Size() + 1);
}

TEST(DataStructureMap, AddsJoinedTogetherPlaceKeysAsOneByOne) {
  // A map filled without being read in between must end up exactly as one
  // whose every add is placed at once (here forced by reading the first key
  // after each add): same order of equal and near-equal keys, same lookups.
  struct Case {
    const char* name;
    std::function<RValue(int)> key;
    int change_precision_at;  // -1: never
  };
  const char* texts[] = {"b", "a", "ab", "B", "", "\xC3\xA9", "\xF0\x9F\x98\x80", "zz", "a\xC3\xA9"};
  const Case cases[] = {
      {"texts with repeats", [&](int) { return RValue(texts[RandomInt(9)]); }, -1},
      {"reals with repeats", [](int) { return RValue(static_cast<double>(RandomInt(50))); }, -1},
      {"reals and texts", [&](int i) { return i % 3 ? RValue(static_cast<double>(RandomInt(40))) : RValue(texts[RandomInt(9)]); }, -1},
      {"reals equal within the precision", [](int) { return RValue(RandomInt(20) + RandomInt(3) * 0.4e-8); }, -1},
      {"an invalid text among them", [&](int i) { return i == 30 ? RValue("\xFF") : RValue(texts[RandomInt(9)]); }, -1},
      {"infinity among them", [](int i) { return RValue(i == 25 ? INFINITY : static_cast<double>(RandomInt(30))); }, -1},
      {"precision changed between adds", [](int) { return RValue(RandomInt(10) + RandomInt(4) * 0.3); }, 40},
  };
  for (const Case& c : cases) {
    for (int round = 0; round < 4; ++round) {
      DS_Precision = 1e-8;
      RandomSetSeed(100 + round);
      CDS_Map waiting, placed;
      for (int i = 0; i < 80; ++i) {
        if (i == c.change_precision_at) DS_Precision = 0.5;
        RValue key = c.key(i);
        waiting.Add(key, RValue(static_cast<double>(i)));
        placed.Add(key, RValue(static_cast<double>(i)));
        placed.FindFirst();
      }
      ASSERT_EQ(waiting.WriteToString(), placed.WriteToString()) << c.name << " round " << round;
      for (int i = 0; i < 40; ++i) {
        RValue probe = c.key(i);
        ASSERT_EQ(waiting.FindValue(probe).val, placed.FindValue(probe).val) << c.name;
        ASSERT_EQ(waiting.Exists(probe), placed.Exists(probe)) << c.name;
      }
      // Deleting then finds the same entries in both.
      for (int i = 0; i < 40; ++i) {
        RValue key = c.key(i);
        waiting.Delete(key);
        placed.Delete(key);
      }
      ASSERT_EQ(waiting.WriteToString(), placed.WriteToString()) << c.name << " round " << round;
    }
  }
  DS_Precision = 1e-8;
}

TEST(DataStructureMap, DeletesThatWaitLeaveTheMapAsDeletingAtOnce) {
  // Deletes of keys held once wait until the order is next needed. Against a
  // sorted model (adds after equal keys, a delete takes the first equal one):
  // runs of deletes read back at different moments, deleted keys added again
  // (into fresh slots), keys that are absent, near-equal within the
  // precision, -0, an invalid text, and a copy added late, after which the
  // deletes must find the next copy again.
  PrecisionGuard guard;
  const char* texts[] = {"k0", "k1", "k2", "k10", "k11", "", "\xC3\xA9", "\xF0\x9F\x98\x80", "zz", "a"};
  auto pick = [&](int round) -> RValue {
    int r = RandomInt(12);
    if (r < 5) return RValue(texts[RandomInt(10)]);
    if (r == 5 && round % 3 == 1) return RValue(std::string(1, '\xFF'));
    if (r == 6 && round % 3 == 2) return RValue(RandomInt(6) + 0.4e-8);  // near a held key
    if (r == 7) return RValue(-0.0);
    return RValue(static_cast<double>(RandomInt(12)));
  };
  for (int round = 0; round < 9; ++round) {
    DS_Precision = 1e-8;
    RandomSetSeed(300 + round);
    CDS_Map map;
    std::vector<std::pair<RValue, double>> model;
    auto first_equal = [&](const RValue& key) {
      return std::find_if(model.begin(), model.end(), [&](const auto& e) { return DS_Compare(e.first, key) == 0; });
    };
    for (int step = 0; step < 1200; ++step) {
      const bool late = step > 900;  // copies allowed from here on
      RValue key = pick(round);
      const int op = RandomInt(10);
      if (op < 4) {
        if (!late && first_equal(key) != model.end()) continue;
        map.Add(key, RValue(static_cast<double>(step)));
        auto at = std::find_if(model.begin(), model.end(), [&](const auto& e) { return DS_Compare(e.first, key) > 0; });
        model.insert(at, {key, static_cast<double>(step)});
      } else if (op < 8) {
        map.Delete(key);
        auto at = first_equal(key);
        if (at != model.end()) model.erase(at);
      } else if (op == 8) {
        RValue probe = pick(round);
        auto at = first_equal(probe);
        ASSERT_EQ(map.Exists(probe), at != model.end()) << round << " " << step;
        ASSERT_EQ(map.FindValue(probe).val, at != model.end() ? at->second : 0.0) << round << " " << step;
      } else {
        // A walk in key order, as the game makes one.
        ASSERT_EQ(map.Size(), static_cast<int>(model.size())) << round << " " << step;
        RValue k = map.FindFirst();
        for (size_t p = 0; p < model.size(); ++p) {
          ASSERT_EQ(DS_Compare(map.Key(static_cast<int>(p)), model[p].first), 0) << round << " " << step;
          ASSERT_EQ(map.Value(static_cast<int>(p)).val, model[p].second) << round << " " << step;
          if (p > 0 && DS_Compare(model[p - 1].first, model[p].first) != 0) k = map.FindNext(k);
          ASSERT_EQ(DS_Compare(k, model[p].first), 0) << round << " " << step;
        }
      }
    }
    ASSERT_EQ(map.Size(), static_cast<int>(model.size()));
    CDS_Map copy;
    copy.Assign(map);
    EXPECT_EQ(copy.WriteToString(), map.WriteToString());
    for (size_t p = 0; p < model.size(); ++p) EXPECT_EQ(map.Value(static_cast<int>(p)).val, model[p].second);
  }
}

TEST(DataStructureMap, TextKeysFoundAsTheSearchFindsThem) {
  // Random adds and deletes over text and real keys; every lookup must agree
  // with a scan for the first equal key in the sorted sequence.
  RandomSetSeed(33);
  const char* texts[] = {"a", "b", "ab", "B", "", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1", "zz", "a\xC3\xA9"};
  auto pick = [&]() -> RValue {
    if (RandomInt(4) == 0) return RValue(static_cast<double>(RandomInt(5)));
    return RValue(texts[RandomInt(10)]);
  };
  CDS_Map map;
  for (int step = 0; step < 2000; ++step) {
    RValue key = pick();
    if (RandomInt(3) < 2)
      map.Add(key, RValue(static_cast<double>(step)));
    else
      map.Delete(key);
    RValue probe = pick();
    RValue expected;
    bool found = false;
    for (int p = 0; p < map.Size(); ++p)
      if (DS_Compare(map.Key(p), probe) == 0) {
        expected = map.Value(p);
        found = true;
        break;
      }
    ASSERT_EQ(map.Exists(probe), found) << step;
    ASSERT_EQ(map.FindValue(probe).val, expected.val) << step;
    if (step % 100 == 0) {
      CDS_Map copy;
      copy.Assign(map);
      ASSERT_EQ(copy.FindValue(probe).val, expected.val);
      copy.Replace(probe, RValue(-1.0));
      if (found) {
        ASSERT_EQ(copy.FindValue(probe).val, -1.0);
      }
    }
  }
}

TEST(DataStructureMap, OddTextsAndKeysFollowTheSearch) {
  // Keys written out of order are kept as written; the search then misses "a"
  // behind "b", and so must every lookup.
  CDS_Map map;
  std::string text = HInt(401) + HInt(2) + HValue(S("b")) + HValue(S("a")) + HValue(R(1)) + HValue(R(2));
  ASSERT_TRUE(map.ReadFromString(text));
  EXPECT_FALSE(map.Exists(S("a")));
  EXPECT_EQ(map.FindValue(S("b")).val, 1);
  EXPECT_EQ(map.WriteToString(), text);
  map.Clear();
  // A key that is not valid UTF-8 compares equal to U+FFFD as UTF-16.
  map.Add(RValue(std::string(1, '\xC8')), R(5));
  EXPECT_EQ(map.FindValue(S("\xEF\xBF\xBD")).val, 5);
  EXPECT_TRUE(map.Exists(RValue(std::string(1, '\xC9'))));
  map.Delete(S("\xEF\xBF\xBD"));
  EXPECT_EQ(map.Size(), 0);
  // The same for a stray byte at every place of texts of every length up
  // to three words, whatever part of the text the byte is read with.
  for (size_t n = 1; n <= 24; ++n)
    for (size_t at = 0; at < n; ++at) {
      std::string odd(n, 'a'), same(n, 'a');
      odd[at] = '\xC8';
      same.replace(at, 1, "\xEF\xBF\xBD");
      CDS_Map m;
      m.Add(RValue(odd), R(7));
      ASSERT_EQ(m.FindValue(RValue(same)).val, 7) << n << " " << at;
      ASSERT_TRUE(m.Exists(RValue(odd))) << n << " " << at;
      m.Delete(RValue(same));
      ASSERT_EQ(m.Size(), 0) << n << " " << at;
    }
}

TEST(DataStructureMap, RealKeysFoundAsTheSearchFindsThem) {
  // Lookups of real keys must give what the lower search gives, also with keys
  // equal only within the precision, odd values and changes of the precision.
  PrecisionGuard guard;
  RandomSetSeed(44);
  const double precisions[] = {1e-8, 0, 0.1, 1e-12, 2, 0.3};
  for (int round = 0; round < 12; ++round) {
    DS_Precision = precisions[round % 6];
    CDS_Map map;
    for (int step = 0; step < 1500; ++step) {
      auto pick = [&] {
        double v = RandomInt(40) * 0.25;
        int r = RandomInt(20);
        if (round >= 6 && r == 0) v += 0.5e-8;  // near an existing key
        if (round >= 9 && r == 1) v = INFINITY;
        if (round >= 9 && r == 2) v = -0.0;
        if (r == 3) return RValue("t");
        return RValue(v);
      };
      RValue key = pick();
      int op = RandomInt(10);
      if (op < 6)
        map.Add(key, RValue(static_cast<double>(step)));
      else if (op < 8)
        map.Delete(key);
      else if (op == 8)
        map.Replace(key, RValue(-static_cast<double>(step)));
      else if (RandomInt(30) == 0)
        DS_Precision = precisions[RandomInt(6)];
      RValue probe = pick();
      int p = map.LowerSearch(probe);
      bool found = p < map.Size() && DS_Compare(map.Key(p), probe) == 0;
      ASSERT_EQ(map.Exists(probe), found) << round << " " << step << " " << probe.val;
      ASSERT_EQ(map.FindValue(probe).val, found ? map.Value(p).val : 0.0) << round << " " << step;
    }
    CDS_Map copy;
    copy.Assign(map);
    EXPECT_EQ(copy.WriteToString(), map.WriteToString());
    if (round == 11) {
      // An undefined precision: nothing is equal, not even a key to itself.
      DS_Precision = NAN;
      for (int k = 0; k < 40; ++k) EXPECT_FALSE(map.Exists(RValue(k * 0.25)));
      DS_Precision = 1e-8;
    }
    CDS_Map read;
    ASSERT_TRUE(read.ReadFromString(map.WriteToString()));
    for (int k = 0; k < 40; ++k) {
      RValue probe(k * 0.25);
      EXPECT_EQ(read.FindValue(probe).val, map.FindValue(probe).val);
    }
  }
}

TEST(DataStructureMap, RealSlotTableMatchesAHashMap) {
  // Many collisions (few distinct keys, wrapping runs) and deletions.
  RandomSetSeed(55);
  RealSlotTable table;
  std::unordered_map<double, uint32_t> model;
  for (int step = 0; step < 20000; ++step) {
    double k = RandomInt(300) * 0.5 - 20;
    if (RandomInt(50) == 0) k = -0.0;
    double key = k == 0 ? 0.0 : k;
    uint32_t v = static_cast<uint32_t>(RandomInt(1000000));
    switch (RandomInt(4)) {
      case 0:
        table.put(k, v, true);
        model.emplace(key, v);
        break;
      case 1:
        table.put(k, v, false);
        model[key] = v;
        break;
      case 2:
        table.erase(k);
        model.erase(key);
        break;
      default:
        break;
    }
    double probe = RandomInt(300) * 0.5 - 20;
    auto it = model.find(probe == 0 ? 0.0 : probe);
    ASSERT_EQ(table.find(probe), it == model.end() ? -1 : static_cast<int64_t>(it->second)) << step;
    if (step == 10000) {
      table.clear();
      model.clear();
    }
  }
  for (auto [k, v] : model) EXPECT_EQ(table.find(k), static_cast<int64_t>(v));
}
