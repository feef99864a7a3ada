// Variable lists, globals, owner access and the saved-game blocks.
#include <gtest/gtest.h>

#include "Lang_Helpers.h"
#include "runner/Support_Stream.h"

namespace {
class VariableTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLanguageState(); }
};

TEST_F(VariableTest, ArraysShareThePlainValueAndGrowOnDemand) {
  CVariableList list;
  RValue v;
  list.SetVar(100000, 5, RValue(9.0));
  ASSERT_TRUE(list.GetVar(100000, 0, v));
  EXPECT_EQ(v.val, 0);
  ASSERT_TRUE(list.GetVar(100000, 3, v));
  EXPECT_EQ(v.val, 0);
  EXPECT_FALSE(list.GetVar(100000, 6, v));
  EXPECT_FALSE(list.GetVar(100000, kArrayDim, v));  // row 1 does not exist
  opt_uninitzero = true;
  ASSERT_TRUE(list.GetVar(100000, kArrayDim, v));
  EXPECT_EQ(v.val, 0);
  ASSERT_TRUE(list.GetVar(123456, 0, v));
  opt_uninitzero = false;
  list.SetVar(100000, 0, RValue("s"));
  ASSERT_TRUE(list.GetVar(100000, 0, v));
  EXPECT_EQ(v.str, "s");
  list.Init(100000);
  ASSERT_TRUE(list.GetVar(100000, 0, v));
  EXPECT_EQ(v.str, "s");
  list.Init(100001);
  ASSERT_TRUE(list.GetVar(100001, 0, v));
  EXPECT_TRUE(v.IsReal());
  EXPECT_EQ(list.v_numb, 2);
}

TEST_F(VariableTest, ManyVariablesStayFindableAndAssignCopiesDeeply) {
  CVariableList list;
  for (int i = 0; i < 300; ++i) list.SetVar(100000 + i * 7, i % 3 ? 0 : 2 * kArrayDim + 4, RValue(double(i)));
  CVariableList copy;
  copy.Assign(list);
  list.SetVar(100000, 2 * kArrayDim + 4, RValue(-1.0));
  RValue v;
  for (int i = 0; i < 300; ++i) {
    int index = i % 3 ? 0 : 2 * kArrayDim + 4;
    ASSERT_TRUE(copy.GetVar(100000 + i * 7, index, v)) << i;
    EXPECT_EQ(v.val, i);
  }
  EXPECT_FALSE(copy.GetVar(100001, 0, v));
}

TEST_F(VariableTest, ListRoundTripsThroughAStream) {
  CVariableList list;
  list.SetVar(100004, 0, RValue("h\xc3\xa9llo \xe2\x82\xac"));
  list.SetVar(100002, 3, RValue(2.5));
  list.SetVar(100002, 2 * kArrayDim + 1, RValue("x"));
  list.SetVar(7, 0, RValue(-3.0));
  CStream s;
  list.SaveToStream(s);
  s.Seek(0);
  CVariableList back;
  back.SetVar(100009, 0, RValue(1.0));
  back.LoadFromStream(s);
  ASSERT_EQ(back.v_vars.size(), 3u);
  EXPECT_EQ(back.v_vars[0].ind, 100004);
  EXPECT_EQ(back.v_vars[0].simplevalue.str, "h\xc3\xa9llo \xe2\x82\xac");
  EXPECT_EQ(back.v_vars[1].ind, 100002);
  ASSERT_EQ(back.v_vars[1].value.size(), 3u);
  EXPECT_EQ(back.v_vars[1].value[0].size(), 4u);
  EXPECT_EQ(back.v_vars[1].value[1].size(), 0u);
  EXPECT_EQ(back.v_vars[1].value[2][1].str, "x");
  EXPECT_EQ(back.v_vars[2].ind, 7);
  RValue v;
  EXPECT_FALSE(back.GetVar(100009, 0, v));
  ASSERT_TRUE(back.GetVar(100002, 3, v));
  EXPECT_EQ(v.val, 2.5);
}

TEST_F(VariableTest, BrokenStreamsLeaveTheListEmptyOrThrow) {
  CStream wrong;
  wrong.WriteInteger(441);
  wrong.Seek(0);
  CVariableList list;
  list.SetVar(100000, 0, RValue(1.0));
  list.LoadFromStream(wrong);
  EXPECT_TRUE(list.v_vars.empty());

  CStream huge;
  huge.WriteInteger(440);
  huge.WriteInteger(0x7fffffff);  // a count no stream of this size can hold
  huge.Seek(0);
  EXPECT_THROW(list.LoadFromStream(huge), EStreamError);

  CStream cut;
  CVariableList full;
  full.SetVar(100000, 5, RValue("abc"));
  full.SaveToStream(cut);
  CStream shorter(cut.Data(), cut.Size() - 3);
  EXPECT_THROW(list.LoadFromStream(shorter), EStreamError);
}

TEST_F(VariableTest, GlobalBlockAndGlobalvarTable) {
  GlobalDeclare(100000 + 20000);
  EXPECT_EQ(GlobalDeclaredLength(), 21000);
  EXPECT_TRUE(GlobalIsDeclared(120000));
  EXPECT_FALSE(GlobalIsDeclared(120001));
  EXPECT_FALSE(GlobalIsDeclared(5));
  EXPECT_FALSE(GlobalIsDeclared(900000));
  GlobalDeclare(50);  // built-in ids are ignored
  GlobalSetVar(100003, 0, RValue("g"));
  CStream s;
  GlobalSaveToStream(s);
  GlobalClear();
  EXPECT_FALSE(GlobalIsDeclared(120000));
  s.Seek(0);
  GlobalLoadFromStream(s);
  EXPECT_TRUE(GlobalIsDeclared(120000));
  RValue v;
  ASSERT_TRUE(GlobalGetVar(100003, 0, v));
  EXPECT_EQ(v.str, "g");
  ASSERT_TRUE(GlobalGetVar(120000, 0, v));  // declared names exist as real 0

  CStream other;
  other.WriteInteger(699);
  other.Seek(0);
  GlobalLoadFromStream(other);
  EXPECT_TRUE(GlobalIsDeclared(120000));  // untouched
}

TEST_F(VariableTest, OwnerAccessFollowsTheInstanceList) {
  CInstance a(100001, 3), b(100002, 3), c(100003, 4);
  SimpleInstanceList().list = {&a, &b, &c};
  int id = VariableFind("hp");
  EXPECT_TRUE(OwnerSetVar(3, id, 0, RValue(5.0)));
  RValue v;
  EXPECT_TRUE(a.i_vars.GetVar(id, 0, v));
  EXPECT_TRUE(b.i_vars.GetVar(id, 0, v));
  EXPECT_FALSE(c.i_vars.GetVar(id, 0, v));
  EXPECT_TRUE(OwnerSetVar(77, id, 0, RValue(1.0)));        // object without instances
  EXPECT_TRUE(OwnerSetVar(100099, id, 0, RValue(1.0)));    // instance that does not exist
  EXPECT_FALSE(OwnerGetVar(100099, id, 0, v));
  EXPECT_FALSE(OwnerSetVar(-8, id, 0, RValue(1.0)));
  EXPECT_FALSE(OwnerGetVar(-8, id, 0, v));
  c.i_vars.SetVar(id, 0, RValue(9.0));
  ASSERT_TRUE(OwnerGetVar(100003, id, 0, v));
  EXPECT_EQ(v.val, 9);
  a.i_marked = true;
  ASSERT_TRUE(OwnerGetVar(-3, id, 0, v));  // first instance that is not marked
  EXPECT_EQ(v.val, 5);
  EXPECT_TRUE(b.i_vars.GetVar(id, 0, v));
  EXPECT_FALSE(OwnerGetVar(100001, id, 0, v));
  EXPECT_TRUE(OwnerSetVar(100001, id, 0, RValue(1.0)));  // marked: nothing written, success
  EXPECT_EQ(FindInstanceById(100002), &b);
  EXPECT_EQ(FindInstanceById(100003), &c);
  EXPECT_EQ(FindInstanceById(100002), &b);
}

TEST_F(VariableTest, NamesOfIds) {
  int id = VariableFind("some_user_name");
  EXPECT_GE(id, 100000);
  EXPECT_EQ(VariableFind("some_user_name"), id);
  EXPECT_EQ(VariableGetName(id), "some_user_name");
  EXPECT_EQ(VariableGetName(99999999), "<unknown variable>");
  EXPECT_EQ(VariableGetName(499), "<unknown built-in variable>");
  int arg = BuiltinVariableFind("argument3");
  ASSERT_GE(arg, 0);
  EXPECT_EQ(VariableGetName(arg), "argument3");
  EXPECT_EQ(BuiltinVariableFind("Argument3"), -1);
}

TEST_F(VariableTest, ArgumentCountersOfACompilation) {
  CCode a("x = argument2 + argument12", false);
  ASSERT_TRUE(a.Compile());
  EXPECT_EQ(a.i_Args, 13);
  EXPECT_FALSE(a.i_ArgArray);
  CCode b("x = argument[1]", false);
  ASSERT_TRUE(b.Compile());
  EXPECT_EQ(b.i_Args, 0);
  EXPECT_TRUE(b.i_ArgArray);
  CCode c("x = argument16 + argument01", false);
  ASSERT_TRUE(c.Compile());
  EXPECT_EQ(c.i_Args, 0);
}

TEST_F(VariableTest, ErrorVariablesAreReadableAndWritable) {
  ReportError("first", false);
  RunOutcome r = RunCode("return error_last");
  EXPECT_EQ(r.value.str, "first");
  r = RunCode("x = error_occurred; error_occurred = 0; error_last = 'x'; return x * 10 + error_occurred");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 10);
  EXPECT_EQ(error_last, "x");
}
}  // namespace
