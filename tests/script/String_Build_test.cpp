// Building strings by appending: value semantics, the program result after
// appends that skip the result slot, and the errors of the append forms.
#include <gtest/gtest.h>

#include "Lang_Helpers.h"

namespace {

class StringBuild : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ResetLanguageState();
    SetFastPaths(GetParam());
    ScriptAdd("scr_mod", "s = \"zz\"; return \"c\"");
    ASSERT_TRUE(ScriptGet(0)->Compile()) << ErrorText();
  }
  void TearDown() override {
    SetFastPaths(true);
    SetResourceBoundsForFuzzing(size_t{64} << 20, 32000);
  }
};

struct Case {
  const char* code;
  const char* want;  // the string result, or the error message when error is set
  bool error = false;
};

TEST_P(StringBuild, ResultsAndErrors) {
  const Case cases[] = {
      // A copy taken before an append keeps its value.
      {"s = \"ab\"; u = s; s += \"c\"; return u + \"|\" + s", "ab|abc"},
      {"var s, u; s = \"ab\"; u = s; s = s + \"c\"; return u + \"|\" + s", "ab|abc"},
      {"a[2] = \"x\"; b = a[2]; a[2] += \"y\"; return b + a[2]", "xxy"},
      {"global.g = \"p\"; h = global.g; global.g = global.g + \"q\"; return h + global.g", "ppq"},
      // The last append is the program's result.
      {"s = \"\"; repeat (3) s += \"ab\"", "ababab"},
      {"var s; s = \"\"; repeat (3) s = s + \"ab\"", "ababab"},
      {"var s, i; s = \"\"; for (i = 0; i < 3; i += 1) { s += \"a\"; if (i == 1) exit } t = 1", "aa"},
      {"s = \"\"; while (1) { with (other) { s += \"b\"; if (s == \"bb\") break } t = 5 }", "bb"},
      {"var s; s = \"\"; repeat (2) { s += \"x\"; t = 0 } s += \"y\"", "xxy"},
      // A call in the appended part may change the variable first.
      {"s = \"ab\"; s = s + scr_mod(); return s", "abc"},
      {"var s; s = \"ab\"; s = s + scr_mod(); return s + s", "abcabc"},
      // Errors of the append forms leave the variable as it was.
      {"var s; s = \"ab\"; s = s + 1", "at position 26: Wrong type of arguments to +.", true},
      {"s = \"ab\"; s += 1", "at position 16: Wrong type of arguments to +.", true},
      {"s = 1; s = s + \"ab\"", "at position 16: Wrong type of arguments to +.", true},
      {"var s; s = s + \"a\"", "at position 12: Unknown variable s", true},
  };
  for (const Case& c : cases) {
    GlobalClear();
    ErrorClear();
    RunOutcome r = RunCode(c.code);
    ASSERT_TRUE(r.compiled) << c.code << "\n" << r.error;
    if (c.error) {
      EXPECT_FALSE(r.ok) << c.code;
      EXPECT_NE(r.error.find(c.want), std::string::npos) << c.code << "\n" << r.error;
      continue;
    }
    ASSERT_TRUE(r.ok) << c.code << "\n" << r.error;
    EXPECT_TRUE(r.value.IsString()) << c.code << " gave " << Show(r.value);
    EXPECT_EQ(r.value.str, c.want) << c.code;
  }
}

TEST_P(StringBuild, AFailedAppendKeepsTheVariable) {
  for (const char* code : {"s = \"ab\"; s = s + 1", "s = \"ab\"; s += 1"}) {
    CInstance self(100001, 0);
    RunOutcome r = RunCode(code, &self);
    EXPECT_FALSE(r.ok) << code;
    RValue v;
    ASSERT_TRUE(self.i_vars.GetVar(VariableFind("s"), 0, v));
    EXPECT_EQ(v.str, "ab") << code;
  }
}

TEST_P(StringBuild, UninitialisedAppendFollowsTheSetting) {
  opt_uninitzero = true;
  // `s += t` on a missing variable stores nothing; `s = s + t` reads 0 and
  // then fails on real + string.
  RunOutcome r = RunCode("var s; s += \"a\"; return 1");
  ASSERT_TRUE(r.ok) << r.error;
  r = RunCode("var s; s = s + \"a\"");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Wrong type of arguments to +."), std::string::npos) << r.error;
}

TEST_P(StringBuild, TheLengthLimitHoldsForEveryAppendForm) {
  SetResourceBoundsForFuzzing(16, 1000);
  for (const char* code : {"var s; s = \"0123456789\"; s += \"0123456789\"", "var s; s = \"0123456789\"; s = s + \"0123456789\"",
                           "s = \"0123456789\"; s = s + \"0123456789\""}) {
    RunOutcome r = RunCode(code);
    EXPECT_FALSE(r.ok) << code;
    EXPECT_NE(r.error.find("Resulting string is too long."), std::string::npos) << code << "\n" << r.error;
  }
}

// Many small appends: linear, so this takes milliseconds; before, each
// append copied the whole string into the result slot.
TEST_P(StringBuild, LongStringFromSmallAppends) {
  RunOutcome r = RunCode("var s, i; s = \"\"; for (i = 0; i < 200000; i += 1) s += \"ab\"; return s");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.str.size(), 400000u);
}

INSTANTIATE_TEST_SUITE_P(FastAndGeneral, StringBuild, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Fast" : "General"; });

}  // namespace
