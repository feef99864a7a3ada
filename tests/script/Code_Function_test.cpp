#include "script/Code_Function.h"

#include <gtest/gtest.h>

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
