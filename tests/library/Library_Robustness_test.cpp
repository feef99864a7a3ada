// Every math, string and data structure function called with hostile
// arguments: extreme reals, texts that are not valid UTF-8, wrong kinds. Under
// the sanitizer build any overflow, bad index or huge allocation fails here.
#include <cmath>
#include <limits>

#include "LibTest.h"
#include "library/Support_Data_Structures.h"

namespace {

RValue Hostile(int pick) {
  static const double reals[] = {0,     -0.0,   1,       -1,     0.5,     2.5,      -2.5,     3,
                                 1e300, -1e300, 9.3e18,  -9.3e18, 4294967296.0, 2147483648.0, -2147483649.0, 1e-300,
                                 INFINITY, -INFINITY, NAN, 255, 256, 17, 1e9, 7};
  static const char* texts[] = {"", "a", "hello", "\xC3\xA9t\xC3\xA9", "\xF0\x9F\x98\x80x", "\xC8", "\xE2\x82", "12",
                                " 1e5 ", "0101", "\xFF\xFE", "aaaa"};
  constexpr int kReals = sizeof(reals) / sizeof(reals[0]);
  constexpr int kTexts = sizeof(texts) / sizeof(texts[0]);
  pick %= kReals + kTexts;
  if (pick < kReals) return RValue(reals[pick]);
  return RValue(texts[pick - kReals]);
}

}  // namespace

TEST(LibraryRobustness, HostileArgumentsNeverCrash) {
  libtest::EnsureRegistered();
  int first = FunctionFindBuiltin("is_real");
  int last = FunctionFindBuiltin("ds_grid_read");
  ASSERT_GE(first, 0);
  ASSERT_GT(last, first);
  // A few live structures of every kind for the ds_ functions to work on.
  for (const char* kind : {"stack", "queue", "list", "map", "priority"})
    for (int i = 0; i < 3; ++i) libtest::Call(std::string("ds_") + kind + "_create");
  for (int i = 0; i < 3; ++i) libtest::Call("ds_grid_create", {RValue(5.0), RValue(4.0)});

  RandomSetSeed(2024);
  int calls = 0;
  libtest::Errors([&] {
    for (int id = first; id <= last; ++id) {
      const RFunction& f = FunctionGet(id);
      std::string name(f.f_name);
      if (name == "ds_stack_destroy" || name == "ds_queue_destroy" || name == "ds_list_destroy" ||
          name == "ds_map_destroy" || name == "ds_priority_destroy" || name == "ds_grid_destroy")
        continue;  // keep the structures alive for the others
      for (int round = 0; round < 150; ++round) {
        int argc = f.f_argnumb >= 0 ? f.f_argnumb : RandomInt(6);
        std::vector<RValue> args;
        for (int a = 0; a < argc; ++a) {
          // The first argument of a ds_ function is usually a valid id.
          if (a == 0 && name.rfind("ds_", 0) == 0 && RandomInt(4) != 0 && name != "ds_grid_create")
            args.emplace_back(static_cast<double>(RandomInt(3)));
          else
            args.push_back(Hostile(RandomInt(1000)));
        }
        std::vector<RValue> argv = args;
        argv.resize(argv.size() + 1);
        RValue result;
        f.f_routine(nullptr, nullptr, argc, result, argv.data());
        EXPECT_TRUE(result.kind == RValue::kReal || result.kind == RValue::kString) << name;
        EXPECT_LE(result.str.size(), size_t{1} << 28) << name;
        ++calls;
      }
    }
  });
  DS_Precision = 1e-8;
  EXPECT_GT(calls, 10000);
}
