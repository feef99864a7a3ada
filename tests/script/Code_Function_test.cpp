#include "script/Code_Function.h"

#include <gtest/gtest.h>

#include <string>

namespace {
void Twice(CInstance*, CInstance*, int, RValue& result, RValue* args) { result.SetReal(args[0].val * 2); }
}  // namespace

TEST(FunctionTable, FirstRegistrationOfANameWins) {
  int before = FunctionCount();
  FunctionAdd("test_twice", Twice, 1);
  FunctionAdd("test_twice", nullptr, 3);
  int id = FunctionFindBuiltin("test_twice");
  ASSERT_EQ(id, before);
  EXPECT_EQ(FunctionGet(id).f_argnumb, 1);
  RValue arg(21.0), result;
  FunctionGet(id).f_routine(nullptr, nullptr, 1, result, &arg);
  EXPECT_EQ(result.val, 42.0);
  EXPECT_EQ(FunctionFindBuiltin("Test_twice"), -1);
}

// A name added on its own may live in a buffer the caller reuses; the table
// keeps its own copy.
TEST(FunctionTable, AddedNameIsCopied) {
  std::string name = "test_copied_name_longer_than_a_small_string";
  FunctionAdd(name, Twice, 1);
  const int id = FunctionFindBuiltin("test_copied_name_longer_than_a_small_string");
  name.assign(name.size(), 'x');
  EXPECT_EQ(FunctionFindBuiltin("test_copied_name_longer_than_a_small_string"), id);
  EXPECT_EQ(FunctionGet(id).f_name, "test_copied_name_longer_than_a_small_string");
}
