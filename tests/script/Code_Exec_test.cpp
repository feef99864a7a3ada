// Values of snippets: operators, statements, variables, scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Lang_Helpers.h"

namespace {
struct Case {
  const char* code;
  double real;           // expected real, when str is null
  const char* str = nullptr;
};

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLanguageState(); }
};

void ExpectValue(const Case& c) {
  GlobalClear();
  ErrorClear();
  RunOutcome r = RunCode(c.code);
  ASSERT_TRUE(r.compiled) << c.code << "\n" << r.error;
  ASSERT_TRUE(r.ok) << c.code << "\n" << r.error;
  if (c.str) {
    EXPECT_TRUE(r.value.IsString()) << c.code << " gave " << Show(r.value);
    EXPECT_EQ(r.value.str, c.str) << c.code;
  } else {
    EXPECT_TRUE(r.value.IsReal()) << c.code << " gave " << Show(r.value);
    EXPECT_EQ(r.value.val, c.real) << c.code;
  }
}

TEST_F(LangTest, OperatorsOnRealsAndStrings) {
  const Case cases[] = {
      {"return 2 + 3 * 4", 14},
      {"return (2 + 3) * 4", 20},
      {"return 7 - 2 - 1", 4},
      {"return 1 / 4", 0.25},
      {"return -7 div 2", -3},
      {"return -7 mod 2", -1},
      {"return 7 mod -2", 1},
      {"return 5.5 mod 2", 1.5},
      {"return 10000000000 div 1", 1e10},  // quotients beyond 32 bits stay exact
      {"return 1 == 1 + 0.00000000000001", 1},
      {"return 0.1 + 0.2 == 0.3", 1},
      {"return 0.1 + 0.2", 0.1 + 0.2},
      {"return 2 < 2", 0},
      {"return 2 <= 2", 1},
      {"return 3 <> 2", 1},
      {"return 3 != 3", 0},
      {"return 3 >= 4", 0},
      {"return \"abc\" < \"abd\"", 1},
      {"return \"b\" > \"abc\"", 1},
      {"return \"ab\" == 'ab'", 1},
      {"return \"ab\" + \"cd\"", 0, "abcd"},
      {"return 3 * \"ab\"", 0, "ababab"},
      {"return 0 * \"ab\"", 0, ""},
      {"return -2 * \"ab\"", 0, ""},
      {"return 2.5 * \"ab\"", 0, "abab"},  // ties to even
      {"return 1 << 63", -9223372036854775808.0},
      {"return -1 >> 1", 9223372036854775808.0},
      {"return 1 << 64", 0},
      {"return 1 << 65", 0},
      {"return 1 << 257", 2},  // only the low eight bits count
      {"return 6 | 3", 7},
      {"return 6 & 3", 2},
      {"return 6 ^ 3", 5},
      {"return ~0", -1},
      {"return 2.5 | 0", 2},
      {"return 3.5 | 0", 4},
      {"return !0.49", 1},
      {"return not 0.5", 0},
      {"return 0.5 && 1", 1},
      {"return 0.4 or 0", 0},
      {"return 1 xor 1", 0},
      {"return 1 ^^ 0", 1},
      {"return - - 5", 5},
      {"return $ff", 255},
      {"return $", 0},
      {"return .5", 0.5},
      {"return 1.2.3", 1.2 + 0.03},
      {"return 0.3", 0.1 * 3},  // digits are accumulated one by one
            {"x = 12abc = 3; return abc * 100 + x", 312},  // 12abc is a number and a name
  };
  for (const Case& c : cases) ExpectValue(c);
}

TEST_F(LangTest, BuiltInVariablesAndOwnedOperandsInArithmetic) {
  // Reals that are not plain user variables (built-ins, self.v) go through
  // the general evaluation; it must agree with the pure arithmetic.
  const Case cases[] = {
      {"x = 3 * 4 + 1; return x", 13},
      {"u = 2; x = u * u; y = x - 1; return x * 10 + y", 43},
      {"x = 5; x += 2; x -= 0.5; x *= 2; return x", 13},
      {"x = 6; x /= 4; return x", 1.5},
      {"x = 7; x |= 8; return x", 15},
      {"x = 2; self.v = 2; return (x >= self.v) + (x <= self.v) * 10 + (x == self.v) * 100 + (x != self.v) * 1000 + "
       "(x < self.v) * 10000 + (x > self.v) * 100000",
       111},
      {"x = 1; return (x == 1 + 0.00000000000001) + (x < 1 + 0.00000000000001) * 10", 1},
      {"self.a = 3; self.b = 0.5; return self.a mod 2 + self.a div 2 * 10 + self.a / self.b * 100", 611},
      {"self.a = -7; return self.a mod 2 * 10 + self.a div 2", -13},
      {"self.a = 1; self.b = 0; return (self.a and self.b) + (self.a or self.b) * 10 + (self.a xor self.b) * 100", 110},
      {"self.s = 'ab'; return self.s + 'c' == 'abc'", 1},
      {"self.x = 2 * 2; self.x += 1; return x + self.x", 10},
      {"argument0 = 2 * 3; argument1 += 4; return argument0 + argument1", 10},
  };
  for (const Case& c : cases) ExpectValue(c);
}

TEST_F(LangTest, StatementsAndResultSlot) {
  const Case cases[] = {
      {"x = 1 y = 2 return x + y", 3},
      {"x = 0; if x == 0 y = 2 else y = 3; return y", 2},
      {"a = 4; if (a = 5) b = 1 else b = 2; return b", 2},
      {"if (0.5) return 1; return 2", 1},
      {"if (0.4999) return 1; return 2", 2},
      {"if (-1) return 1; return 2", 2},
      {"i = 0; while (i < 10) i += 1; return i", 10},
      {"i = 0; while i < 10 do begin i += 1 end; return i", 10},
      {"i = 0; do i += 3 until i > 10; return i", 12},
      {"s = 0; for (i = 0; i < 5; i += 1) s += i; return s", 10},
      {"s = 0; for (i = 0; i < 10; i += 1) { if (i == 3) continue; if (i == 6) break; s += i; } return s", 12},
      {"n = 0; repeat (3.5) n += 1; return n", 4},
      {"n = 0; repeat (-2) n += 1; return n", 0},
      {"n = 0; repeat (5) { n += 1; if (n == 2) break } return n", 2},
      {"x = 5; exit; x = 6", 5},
      {"x = 7; break; x = 8", 7},
      {"x = 9", 9},
      {"x = 2; x *= 3; x -= 1; x /= 2; return x", 2.5},
      {"x = 6; x |= 1; x &= 5; x ^= 1; return x", 4},
      {"s = 'a'; s += 'b'; return s", 0, "ab"},
      {"switch (2) { case 1: x = 1; break; case 2: x = 2; case 3: x = 3; break; default: x = 4 } return x", 3},
      {"x = 0; switch (5) { case 1: x = 1; default: x = 9 } return x", 9},
      {"x = 0; switch (5) { case 1: x = 1 } return x", 0},
      {"x = 0; switch (1) { default: x = 5; break; case 1: x = 1 } return x", 5},
      {"x = 0; switch ('a') { case 'a': x = 1; break; case 1: x = 2 } return x", 1},
      {"x = 0; switch (1) { case '1': x = 1; break; case 1: x = 2 } return x", 2},
      {"x = 0; switch (1 / 3) { case 0.333333333333333: x = 1 } return x", 0},
      {"return 1 / 3 == 0.333333333333333", 1},
      {"s = 0; for (i = 0; i < 3; i += 1) switch (i) { case 1: continue; default: s += 10 } return s", 20},
      {"{ x = 1; }", 1},
      {"begin x = 2 end", 2},
  };
  for (const Case& c : cases) ExpectValue(c);
}

TEST_F(LangTest, VariablesArraysLocalsAndGlobals) {
  const Case cases[] = {
      {"a[5] = 1; return a", 0},
      {"a[5] = 1; return a[3]", 0},
      {"a[5] = 1; return a[5]", 1},
      {"a = 7; return a[0]", 7},
      {"a = 7; return a[0, 0]", 7},
      {"a[0, 0] = 8; return a", 8},
      {"a[2, 3] = 4; return a[2, 3] + a[2, 0]", 4},
      {"a[1,] = 5; return a[1]", 5},
      {"a[] = 6; return a", 6},
      {"a[31999, 31999] = 1; return a[31999, 31999]", 1},
      {"a[2.5] = 1; return a[2]", 1},
      {"var i; i = 3; return i", 3},
      {"var i, j; i = 1; j = 2; return local.i + j", 3},
      {"globalvar g; g = 4; return global.g", 4},
      {"globalvar g; g = 2; g += 1; self.g = 10; return g * 3 + global.g + self.g", 22},
      {"var i; i[3] = 2; i[3] += 1; return i[3] * 10 + i", 30},
      {"a = 1; a = a + 1; a -= 3; a = 'x' + 'y'; return a", 0, "xy"},
      {"global.h = 5; return global.h", 5},
      {"self.x = 6; return x", 6},
      {"x = 1; return self.x + other.x", 2},
      {"x = 3; return (-1).x", 3},
      {"x = 1; id.y = 2; return y", 2},
      {"var s; s = \"\"; repeat (3) s += \"x\"; return s", 0, "xxx"},
      {"x = 1; return id", 100001},
      {"return object_index", 0},
  };
  for (const Case& c : cases) ExpectValue(c);
}

TEST_F(LangTest, LocalBeforeItsDeclarationStaysAnInstanceVariable) {
  CInstance self(100001, 0);
  RunOutcome r = RunCode("i = 5; var i; i = 1; return self.i * 10 + i", &self);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 51);
  RValue v;
  EXPECT_TRUE(self.i_vars.GetVar(VariableFind("i"), 0, v));
  EXPECT_EQ(v.val, 5);
}

TEST_F(LangTest, LocalsLiveForOneExecution) {
  CInstance self(100001, 0);
  CCode code("var n; if (argument_count == 99) n = 0; n += 1; return n", false);
  ASSERT_TRUE(code.Compile()) << ErrorText();
  RValue result;
  EXPECT_FALSE(ExecuteCode(&self, &self, &code, result));  // n was never written
  EXPECT_NE(ErrorText().find("Unknown variable n"), std::string::npos) << ErrorText();
  opt_uninitzero = true;
  result = RValue();
  EXPECT_TRUE(ExecuteCode(&self, &self, &code, result)) << ErrorText();
  EXPECT_EQ(result.val, 0);  // += on a missing variable ends the assignment, storing nothing
}

TEST_F(LangTest, UninitialisedVariablesReadAsZeroWhenAsked) {
  opt_uninitzero = true;
  ExpectValue({"x = y + 1; return x", 1});
  ExpectValue({"var i; x = i * 2 + a[5, 3]; return x", 0});
  ExpectValue({"z += 5; return z", 0});  // the compound assignment stores nothing
  RunOutcome r = RunCode("z += 5; return z + 1");
  EXPECT_EQ(r.value.val, 1);
}

TEST_F(LangTest, BothOperandsOfLogicalOperatorsAreEvaluated) {
  static int calls = 0;
  FunctionAdd("test_count_calls", [](CInstance*, CInstance*, int, RValue& result, RValue*) {
    ++calls;
    result.SetReal(1);
  }, 0);
  calls = 0;
  RunOutcome r = RunCode("a = 0; return a && test_count_calls()");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(LangTest, CallResultIsTheProgramResultAndExitKeepsIt) {
  FunctionAdd("test_forty_two", [](CInstance*, CInstance*, int, RValue& result, RValue*) { result.SetReal(42); }, 0);
  FunctionAdd("test_sum_any", [](CInstance*, CInstance*, int argc, RValue& result, RValue* args) {
    double s = 0;
    for (int i = 0; i < argc; ++i) s += args[i].val;
    result.SetReal(s);
  }, -1);
  ExpectValue({"x = 1; test_forty_two()", 42});
  ExpectValue({"x = 3; exit", 3});
  ExpectValue({"x = 5; if (test_forty_two()) {}", 5});  // conditions leave the result alone
  ExpectValue({"x = 6; while (test_sum_any(x) < 0) {}", 6});
  ExpectValue({"return test_sum_any(1, 2, 3,)", 6});
  ExpectValue({"return test_sum_any()", 0});
}

TEST_F(LangTest, ScriptsArgumentsAndRecursion) {
  ScriptAdd("fib", "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2)");
  ScriptAdd("count", "return argument_count");
  ScriptAdd("pick", "return argument[argument0]");
  ScriptAdd("noreturn", "x = argument0 * 2");
  ScriptAdd("setarg", "argument1 = 5; return argument1 + argument[1]");
  ScriptAdd("nest", "return count(1, 2) * 10 + argument0 + argument_count");
  for (int i = 0; i < ScriptCount(); ++i) ASSERT_TRUE(ScriptGet(i)->s_code == nullptr);
  for (int i = 0; i < ScriptCount(); ++i) {
    CScript* s = ScriptGet(i);
    ASSERT_TRUE(s->Compile()) << ScriptGetName(i) << ErrorText();
  }
  const Case cases[] = {
      {"return fib(15)", 610},
      {"return count(1, 2, 3)", 3},
      {"return pick(2, 'a', 'b')", 0, "b"},
      {"return pick(20, 'a')", 20},  // index outside 0..15 reads slot 0
      {"return noreturn(4)", 8},
      {"return setarg(0, 1)", 10},
      {"return nest(7)", 28},
      {"a = 2; count(1); return argument_count", 0},
  };
  for (const Case& c : cases) ExpectValue(c);
}

// A call's arguments are evaluated while the caller's arguments are still
// the current ones, also after a nested call among them; a call whose
// argument fails leaves nothing behind for the next call to read.
TEST_F(LangTest, ScriptArgumentsAreEvaluatedInTheCallersFrame) {
  ScriptAdd("count", "return argument_count");
  ScriptAdd("pair", "return argument0 * 100 + argument1");
  ScriptAdd("pick", "return argument[argument0]");
  ScriptAdd("outer", "return pair(count(9, 9, 9) + argument1, argument0 + argument_count)");
  for (int i = 0; i < ScriptCount(); ++i) ASSERT_TRUE(ScriptGet(i)->Compile()) << ErrorText();
  const Case cases[] = {
      {"return outer(5, 7)", 1007},
      {"return pair(outer(1, 2), pair(3, 4))", 50604},
      {"pair(5, 6); return pick(1)", 0},
      {"return pick(2, 'a', 'b') + pick(1, 'c')", 0, "bc"},
  };
  for (const Case& c : cases) ExpectValue(c);
  RunOutcome failed = RunCode("return pair(1, 2 - 'a')");
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("Wrong type of arguments to -."), std::string::npos) << failed.error;
  ErrorClear();
  ExpectValue({"return pick(1)", 0});
  ExpectValue({"return count() + count(1, 2)", 2});
}

// A call node keeps the callee it found: code compiled once must still reach
// a script recompiled with a new text, a list rebuilt under it with another
// script at that index, and a script that lost its code.
TEST_F(LangTest, CompiledCallsFollowScriptChanges) {
  ScriptAdd("s", "return argument0 + 1");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  CInstance self(100001, 0);
  SimpleInstanceList().list.push_back(&self);
  CCode caller("var i, t; t = 0; for (i = 0; i < 3; i += 1) t += s(i); return t", false);
  ASSERT_TRUE(caller.Compile()) << ErrorText();
  auto run = [&](double expected) {
    RValue v;
    ASSERT_TRUE(ExecuteCode(&self, &self, &caller, v)) << ErrorText();
    EXPECT_EQ(v.val, expected);
  };
  run(6);
  ScriptGet(0)->s_text = "var k; k = argument0 * 10; return k";  // not a leaf any more
  ASSERT_TRUE(ScriptGet(0)->Compile());
  run(30);
  ScriptsClear();
  ScriptAdd("s", "return argument0 * argument0");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  run(5);
  ScriptGet(0)->s_code.reset();
  ScriptsClear();
  ScriptAdd("s", "return 1");  // never compiled
  RValue v;
  EXPECT_FALSE(ExecuteCode(&self, &self, &caller, v));
  EXPECT_NE(ErrorText().find("Executing non-compiled code."), std::string::npos) << ErrorText();
  SimpleInstanceList().list.clear();
}

// A script whose code is one `return` of pure arithmetic is evaluated without
// its tree; whatever that evaluation cannot settle (a string, a missing
// variable) goes the general way with its errors, and the frame's slots past
// the count read as 0 after a call that used them.
TEST_F(LangTest, LeafScriptsAgreeWithTheTreeWalk) {
  ScriptAdd("mul", "return argument0 * argument1 + argument2");
  ScriptAdd("miss", "return argument0 + nosuch");
  ScriptAdd("wrap", "return mul(argument0, argument1, argument2)");
  for (int i = 0; i < ScriptCount(); ++i) ASSERT_TRUE(ScriptGet(i)->Compile()) << ErrorText();
  const Case cases[] = {
      {"return mul(2, 3, 4)", 10},
      {"return mul(2, 3, 4) + mul(5)", 10},
      {"return mul(2, 'ab', 'c')", 0, "ababc"},
      {"return wrap(2, 3, 4) + wrap(7, 1)", 17},
      {"nosuch = 5; return miss(1)", 6},
  };
  for (const Case& c : cases) ExpectValue(c);
  RunOutcome r = RunCode("return mul('a', 2)");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error.substr(0, 15), "In script mul:\r") << r.error;
  EXPECT_NE(r.error.find("Wrong type of arguments to *."), std::string::npos) << r.error;
  r = RunCode("return wrap(1, 2, 'x')");
  EXPECT_EQ(r.error.substr(0, 31), "In script wrap:\rIn script mul:\r") << r.error;
  EXPECT_NE(r.error.find("Wrong type of arguments to +."), std::string::npos) << r.error;
  r = RunCode("return miss(1)");
  EXPECT_NE(r.error.find("Unknown variable nosuch"), std::string::npos) << r.error;
  opt_uninitzero = true;
  ExpectValue({"return miss(4)", 4});
  opt_uninitzero = false;
  opt_argerrors = true;
  r = RunCode("return mul(1, 2)");
  EXPECT_EQ(r.error, "Illegal argument count calling script \"mul\".\rScript requires 3 arguments, 2 have been supplied.");
  opt_argerrors = false;
  SetExecutionBudget(5);
  r = RunCode("var i; for (i = 0; i < 10; i += 1) mul(i, i, i)");
  SetExecutionBudget(-1);
  EXPECT_NE(r.error.find("Execution step limit reached."), std::string::npos) << r.error;
}

TEST_F(LangTest, ScriptNamedLikeABuiltinIsCalledInstead) {
  FunctionAdd("test_shadowed", [](CInstance*, CInstance*, int, RValue& result, RValue*) { result.SetReal(1); }, 0);
  ScriptAdd("test_shadowed", "return 2");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  ExpectValue({"return test_shadowed()", 2});
}

TEST_F(LangTest, WithVisitsInstancesAndRestoresSelfAndOther) {
  CInstance a(100001, 0), b(100002, 1), c(100003, 1), dead(100004, 1);
  dead.i_marked = true;
  SimpleInstanceList().list = {&a, &b, &c, &dead};
  const Case cases[] = {
      {"n = 0; with (all) other.n += 1; return n", 3},
      {"n = 0; with (1) other.n += id; return n", 200005},
      {"n = 0; with (100002) other.n = id; return n", 100002},
      {"n = 0; with (100004) other.n = 1; return n", 0},
      {"n = 0; with (noone) n = 1; return n", 0},
      {"n = 0; with (all) { other.n += 1; break } return n", 1},
      {"n = 0; for (i = 0; i < 5; i += 1) { with (self) break; n += 1 } return n", 0},
      {"n = 0; for (i = 0; i < 5; i += 1) { with (other) continue; n += 1 } return n", 5},
      {"with (1) z = id; return (1).z + (100002).z", 200004},
      {"all.w = 3; return (100003).w + a.w", 0},
  };
  for (const Case& cs : cases) {
    for (CInstance* i : {&a, &b, &c}) i->i_vars.Clear();
    RunOutcome r = RunCode(cs.code, &a);
    if (std::string(cs.code).find("a.w") != std::string::npos) {
      EXPECT_FALSE(r.ok);  // `a` is not a variable of anyone
      continue;
    }
    ASSERT_TRUE(r.ok) << cs.code << "\n" << r.error;
    EXPECT_EQ(r.value.val, cs.real) << cs.code;
  }
}

TEST_F(LangTest, BuiltInVariablesInsideWithAreThoseOfEachInstance) {
  CInstance a(100001, 0), b(100002, 1), c(100003, 1);
  SimpleInstanceList().list = {&a, &b, &c};
  RunOutcome r = RunCode(
      "global.t = 0; with (all) { x += id - 100000; y = x * 2 + 1; global.t += x * 10 + (y > x) } return global.t", &a);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 63);
  EXPECT_EQ(b.i_x, 2);
  EXPECT_EQ(c.i_y, 7);
}

TEST_F(LangTest, NestedWithSeesTheRightOtherAndSharesLocals) {
  CInstance a(100001, 0), b(100002, 1), c(100003, 2);
  SimpleInstanceList().list = {&a, &b, &c};
  RunOutcome r = RunCode(
      "var n; n = 0; with (1) { with (2) { other.seen = id; n += other.id } } return n * 10 + (100002).seen - 100002",
      &a);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 1000020 + 1);
}

TEST_F(LangTest, ReportedFailuresGoToTheErrorReport) {
  CInstance self(100001, 0);
  CCode code("x = nosuch", false);
  ASSERT_TRUE(code.Compile());
  RValue result;
  EXPECT_FALSE(ExecuteCodeReport(&self, &self, &code, result));
  EXPECT_FALSE(ErrorPending());
  EXPECT_NE(error_last.find("Unknown variable nosuch"), std::string::npos) << error_last;
  EXPECT_TRUE(error_occurred);
  EXPECT_FALSE(ExecuteCodeValue(&self, &self, &code, result));
  EXPECT_EQ(result.str, "ERROR");
  ScriptAdd("scr_x", "return argument0 + argument1");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  RValue args[2] = {RValue(2.0), RValue(3.0)};
  ASSERT_TRUE(ExecuteScript(0, &self, &self, result, true, args, 2));
  EXPECT_EQ(result.val, 5);
  EXPECT_EQ(args[0].val, 2);  // the caller's values are left alone
  EXPECT_FALSE(ExecuteScript(7, &self, &self, result, true, args, 2));
}

TEST_F(LangTest, OwnerWritesReachEveryInstanceOfAnObject) {
  CInstance a(100001, 0), b(100002, 1), c(100003, 1);
  SimpleInstanceList().list = {&a, &b, &c};
  RunOutcome r = RunCode("(1).v = 7; all.u = 2; (100009).q = 1; (5).q = 1", &a);
  ASSERT_TRUE(r.ok) << r.error;
  RValue v;
  int id = VariableFind("v"), u = VariableFind("u");
  EXPECT_FALSE(a.i_vars.GetVar(id, 0, v));
  EXPECT_TRUE(b.i_vars.GetVar(id, 0, v));
  EXPECT_TRUE(c.i_vars.GetVar(id, 0, v));
  for (CInstance* i : {&a, &b, &c}) EXPECT_TRUE(i->i_vars.GetVar(u, 0, v));
}
// Every statement shape that has a routine of its own runs as the general
// routines run it: the same value or the same error text, with the fast paths
// on and off, also where the shortcut must give up half-way (a string or a
// missing variable in a loop's step or condition, a failing call stored in a
// local) and under a step budget counted per loop turn and per script call.
TEST_F(LangTest, StatementRoutinesAgreeWithTheGeneralOnes) {
  ScriptAdd("twice", "return argument0 * 2");
  ScriptAdd("fails", "return argument0 + nosuch");
  ScriptAdd("deep", "if (argument0 <= 0) return 0; return deep(argument0 - 1) + 1");
  ScriptAdd("noret", "var t; t = argument0");
  ScriptAdd("pair", "return twice(argument0) - twice(argument1)");
  ScriptAdd("glue", "return noret(argument0) + noret(argument1)");
  ScriptAdd("mixed", "return twice(argument0) * fails(argument1)");
  struct Run {
    const char* code;
    long long budget;  // -1: none
  };
  const Run runs[] = {
      {"var i, s; s = 0; for (i = 0; i < 10; i += 1) s += i * 2 - 1; return s", -1},
      {"var i, s; s = 0; for (i = 10; i > 0; i -= 3) { s += i; } return s", -1},
      {"var i, s; s = 0; for (i = 0; i < 5; i = i + 2) s += i; return s", -1},
      {"var i, s; s = ''; for (i = 0; i < 3; i += 1) { s += 'a'; if (i == 1) i = 'x'; } return s", -1},
      {"var i; for (i = 0; i < 3; i += 1) { if (i == 1) break; } return i", -1},
      {"var i, n; n = 0; for (i = 0; i < 6; i += 1) { if (i mod 2) continue; n += 1; } return n", -1},
      {"var i; for (i = 0; i < j; i += 1) {} return i", -1},
      {"var i; i = 0; while (i < 5) i += 1; return i", -1},
      {"var i; i = 0; while (i < 3) { i += 1; if (i == 2) i = 'z'; } return i", -1},
      {"u = 0; while (u < nosuch) u += 1", -1},
      {"var a; a = 3; if (a > 2) return 'big'; return 'small'", -1},
      {"if (nosuch > 2) u = 1", -1},
      // Comparisons of plain operands read in place: each mode on each side,
      // a text, a missing variable, an else part.
      {"var a, b; a = 2; b = 2.000001; if (a == b) return 'eq'; else return 'ne'", -1},
      {"u = 5; var a; a = 7; if (u >= a) return 1; else if (a <> 7) return 2; return 3", -1},
      {"u = 'w'; var a; a = 1; if (a < u) return 1; return 0", -1},
      {"var a; if (a <= 3) return 1; return 0", -1},
      {"if (deep(2) > 1) return 'call'; return 'no'", -1},
      {"return deep('x')", -1},
      {"a = 'text'; if (a) u = 1", -1},
      {"var a; a = 'x'; return a < 2", -1},
      {"var a; a = 4; return a * 2 + 1", -1},
      {"var a; return a + 1", -1},
      {"var a; a = twice(4); return a", -1},
      {"var a; a = fails(1); return a", -1},
      {"var a; a = noret(5); return a", -1},
      {"var a; a = 'p' + 'q'; b = a; return b", -1},
      {"u = 1; u += 2; u -= 0.5; v = u; return v", -1},
      {"u = 'a'; u += 2", -1},
      {"return deep(20)", -1},
      {"return twice(3) + twice(4) * twice(1)", -1},
      // Returns of two calls: reals, strings, a failing operation, a failing
      // call on either side.
      {"return pair(5, 2)", -1},
      {"return glue('a', 'b') + glue(1, 2)", -1},
      {"return glue('a', 2)", -1},
      {"return pair(1, 'x')", -1},
      {"return mixed(1, 2)", -1},
      {"return twice('ab')", -1},
      {"return pair(3, 1) + pair(1, 3)", 4},
      {"twice(1); fails(2)", -1},
      {"return deep(30)", 10},
      {"var i; for (i = 0; i < 100; i += 1) twice(i)", 50},
      {"var i; i = 0; while (1) i += 1", 40},
      // Elements of one-dimensional arrays: set, add, subtract in place, and
      // every case that gives up (missing variable or element, text,
      // indexes rounded, negative or too large, a failing operation).
      {"var a, i, s; for (i = 0; i < 10; i += 1) a[i] = i * 2; s = 0;"
       " for (i = 0; i < 10; i += 1) { a[i mod 4] = a[i mod 4] + i; s += a[(i * 3) mod 10]; a[i] -= 1; } return s", -1},
      {"arr[0] = 1; arr[0] += 2; arr[0] -= 0.5; return arr[0]", -1},
      {"var a; a[5] = 1; a[3] = 2; a[4] += 1; return a[3] + a[4] + a[5]", -1},
      {"var a; a[1] = 1; a[10] = 2; a[10] += 1; a[12] += 1", -1},
      {"nosuch[2] += 1", -1},
      {"var a; a[1] -= 1", -1},
      {"a[1] = 'x'; a[1] += 1", -1},
      {"a[1] = 'x'; a[1] -= 1", -1},
      {"a[1] = 'x'; a[1] = 3; a[1] += 0.5; return a[1]", -1},
      {"a[0] = 1; a[-1] = 2", -1},
      {"a[0] = 1; a[1 - 1.7] += 1", -1},
      {"a[0] = 1; a[32000] = 1", -1},
      {"a[0] = 1; a[-0.5] = 4; a[2.5] = 5; return a[0] * 10 + a[2]", -1},
      {"var b, k; b = 10; for (k = 0; k < 8; k += 1) b = b * b;"
       " b = b * 10000000000 * 10000000000 * 10000000000 * 10000000000 * 10000000000 * 100; a[1] = b; a[1] += b", -1},
      {"var z; z = 0; a[1] = 1; a[1] -= 1 / z", -1},
      {"var z; z = 0; a[1] = 1; a[1 / z] = 2", -1},
      {"a[0] = 1; a[nosuch] = 2", -1},
      {"a[1] = 1; a[1] = a[2] + 1", -1},
      {"a[1, 2] = 3; a[1, 2] += 1; return a[1, 2]", -1},
      {"globalvar g; g[3] = 1; g[3] += 4; g[0] = g[3] * 2; return g[0] + g[3]", -1},
      {"a = 5; a[0] += 1; a[2] = 1; return a[2] + a", -1},
      {"var i; a[0] = 0; for (i = 0; i < 50; i += 1) a[i mod 3] += i", 30},
      // Counting loops: each comparison, a constant or a local limit, steps
      // up and down, a counter or limit that is missing or turns into text,
      // a step that overflows, break, continue and a budget.
      {"var i, s; s = 0; for (i = 0; i <= 10; i += 2.5) s += i; return s * 100 + i", -1},
      {"var i, s; s = 0; for (i = 10; i >= -2; i -= 3) s = s * 2 + i; return s", -1},
      {"var i, s; s = 0; for (i = 10; i > 0; i -= 1) { s += i; } return s", -1},
      {"var i, n, s; n = 7; s = 0; for (i = 0; i < n; i += 1) s += i; return s", -1},
      {"var i, n, s; n = 7; s = 0; for (i = 20; i >= n; i -= 4) { s += i; n += 1; } return s * 100 + n", -1},
      {"var i, n; for (i = 0; i < n; i += 1) {} return i", -1},
      {"var i, n; n = 'x'; for (i = 0; i < n; i += 1) {} return i", -1},
      {"var i, n; n = 3; for (i = 0; i < n; i += 1) { if (i == 1) n = 'x'; } return i", -1},
      {"var i, s; for (i = 0; i < 3; i += 1) s = 1; return i", -1},
      {"var i; for (i = 'a'; i < 3; i += 1) {} return i", -1},
      {"var i, s; s = ''; for (i = 0; i < 5; i += 1) { s += 'b'; if (i == 2) i = 'x'; } return s", -1},
      {"var i, s; s = 0; for (i = 0; i < 5; i += 1) { if (i == 1) { i += 0.25; continue; } s += i; } return s", -1},
      {"var i; for (i = 1; i < 1; i += 1) { break; } for (i = 0; i <= 9; i += 1) { if (i > 4) break; } return i", -1},
      {"var i, b; b = 1; for (k = 0; k < 3; k += 1) b = b * 1000000000000;"
       " for (i = b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b * b;"
       " i < 2; i += i) {} return i", -1},
      // A step past the largest real (1 followed by 307 zeros, twice).
      {"var i; for (i = 1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000 * 1.7; i > 3; i += 1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000) {} return i", -1},
      {"var i, s; s = 0; for (i = 0; i < 1000; i += 1) s += i", 100},
      {"var i, j, s; s = 0; for (i = 0; i < 4; i += 1) for (j = i; j > 0; j -= 1) s += j; return s", -1},
      // `a[i] = a[i] + e` and `- e` in place: the same element on both sides
      // only, missing elements and variables, text, overflow.
      {"var a, i; for (i = 0; i < 5; i += 1) a[i] = i; for (i = 0; i < 20; i += 1) { a[i mod 5] = a[i mod 5] + i;"
       " a[(i + 1) mod 5] = a[(i + 1) mod 5] - 0.5; a[i mod 5] = a[(i + 2) mod 5] + 1; } return a[0] + a[1] * 10 + a[4]", -1},
      {"arr[0] = 2; arr[0] = arr[0] + 3; arr[3] = arr[3] + 1", -1},
      {"nosuch[1] = nosuch[1] + 1", -1},
      {"a[1] = 'x'; a[1] = a[1] + 2", -1},
      {"var b; b = 10000000000; b = b * b * b * b * b * b * b * b * b * b; b = b * b * b * 100000000;"
       " a[1] = b * 1.7; a[1] = a[1] + b", -1},
      {"var z; z = 0; a[1] = 1; a[1] = a[1] - 1 / z", -1},
      {"a[1] = 1; a[2] = 5; a[1] = a[2] - a[1]; return a[1]", -1},
      // Operands read in place: locals, constants and instance variables in
      // every position, missing or text.
      {"var l; l = 3; u = 4; return (l - u) * 10 + (u - l) + (2 - l) * 100 + (u * u) * 1000 + (l < u) + (u >= 4)", -1},
      {"var l; u = 4; return u - l", -1},
      {"var l; l = 2; return l - nosuch", -1},
      {"var l; l = 'q'; u = 1; return u + l", -1},
      {"u = 'q'; return 1 + u", -1},
      {"var l; l = 2; return 1 / (l - 2)", -1},
      // A block of one statement is that statement: its break and continue,
      // and a lone label in a block inside a switch.
      {"var i, s; s = 0; for (i = 0; i < 9; i += 1) { { { if (i == 5) { break; } } } s += i; } return s", -1},
      {"var w; w = 1; switch (w) { case 0: { case 1: } w = 5; } return w", -1},
      {"var w; w = 2; switch (w) { case 2: { { w = 7; } } } return w", -1},
      {"{ { return 3; } }", -1},
      // Indexes read in place: a constant, a local, x mod a whole constant
      // with x a local or any pure operand, whole or not, negative, -0, too
      // large for the reciprocal or the array, text, missing.
      {"var a, i, s; for (i = 0; i < 40; i += 1) a[i] = i; s = 0;"
       " for (i = 0; i < 60; i += 0.5) { s += a[i mod 7]; a[(i * 3) mod 40] += 1; a[i mod 1] -= 0.25; } return s", -1},
      {"var a, l; a[0] = 5; l = -7; return a[l mod 7]", -1},
      {"var a, l; a[0] = 1; l = -8; return a[l mod 7]", -1},
      {"var a, l; a[0] = 1; l = 40000; return a[l mod 50000]", -1},
      {"var a, l; a[0] = 1; l = 40000; a[l mod 50000] = 2", -1},
      {"var a, l; a[0] = 3; l = 0; l = -l; return a[l mod 5]", -1},
      {"var a; u = 13; a[3] = 9; a[(u * 2) mod 5] = 4; return a[u mod 5] * 10 + a[1]", -1},
      {"var a, l; a[0] = 1; a[3] = 2; l = 4503599627370496 * 2; return a[l mod 7] + a[(l + 1) mod 2147483648]", -1},
      {"var a, l; a[0] = 1; l = 'x'; return a[l mod 3]", -1},
      {"var a, l; a[0] = 1; return a[l mod 3]", -1},
      {"var a, j; j = 2.5; a[2] = 1; a[j] = 7; a[3] = 0; a[3] += a[j] + a[2]; return a[2] * 10 + a[3]", -1},
  };
  struct Outcome {
    bool ok;
    std::string value, error;
  };
  for (const Run& run : runs) {
    Outcome seen[2];
    for (int fast = 0; fast < 2; ++fast) {
      SetFastPaths(fast == 1);
      for (int i = 0; i < ScriptCount(); ++i) {
        ScriptGet(i)->s_code.reset();
        ASSERT_TRUE(ScriptGet(i)->Compile()) << ErrorText();
      }
      GlobalClear();
      ErrorClear();
      SetExecutionBudget(run.budget);
      RunOutcome r = RunCode(run.code);
      SetExecutionBudget(-1);
      ASSERT_TRUE(r.compiled) << run.code << "\n" << r.error;
      seen[fast] = {r.ok, r.ok ? Show(r.value) : "", r.error};
    }
    SetFastPaths(true);
    EXPECT_EQ(seen[1].ok, seen[0].ok) << run.code << "\n" << seen[1].error << "\n" << seen[0].error;
    EXPECT_EQ(seen[1].value, seen[0].value) << run.code;
    EXPECT_EQ(seen[1].error, seen[0].error) << run.code;
  }
}
// `x mod k` by a whole constant is found without a division when x is whole;
// the remainder must be the division's to the last bit (a zero is +0), read
// from a local, an instance variable, an argument or an expression, and
// operands outside that case (not whole, too large, k not whole or above
// 2^31) take the division.
TEST_F(LangTest, ModByAWholeConstantIsTheDivisionsRemainder) {
  const double xs[] = {0, -0.0, 1, 5, 999, 1000, 1001, -1, -999, -1000, -1001, 20999993, 4503599627370495.0,
                       -4503599627370495.0, 4503599627370496.0, 9007199254740991.0, 1e300, -1e300, 7.5, -7.5, 0.25,
                       2147483647, -2147483648.0, 6442450941.0};
  const char* const ks[] = {"1", "2", "3", "7", "1000", "65535", "2147483648", "2147483649", "0.5", "-3"};
  const char* const shapes[] = {"var l; l = X; return l mod K", "u = X; return u mod K",
                                "var l; l = X; return (l * 1) mod K", "return modk2(X)"};
  for (bool fast : {true, false}) {
    SetFastPaths(fast);
    for (const char* k : ks) {
      ScriptsClear();
      ScriptAdd("modk2", std::string("return argument0 mod ") + k);
      ASSERT_TRUE(ScriptGet(0)->Compile()) << ErrorText();
      const double kv = std::strtod(k, nullptr);
      for (double x : xs) {
        char text[400];
        std::snprintf(text, sizeof text, x == std::trunc(x) ? "%.0f" : "%.17g", std::fabs(x));
        // A negative value (and -0) is made at run time, so no fold sees it.
        std::string value = std::signbit(x) ? std::string("(0 - ") + text + ")" : text;
        if (x == 0 && std::signbit(x)) value = "(-l0)";
        const double want = x - std::trunc(x / kv) * kv;
        for (const char* shape : shapes) {
          std::string code = shape;
          code.replace(code.find('X'), 1, value);
          if (code.find('K') != std::string::npos) code.replace(code.find('K'), 1, k);
          code = "var l0; l0 = 0; " + code;
          GlobalClear();
          ErrorClear();
          RunOutcome r = RunCode(code);
          ASSERT_TRUE(r.ok) << code << "\n" << r.error;
          ASSERT_TRUE(r.value.IsReal()) << code;
          EXPECT_EQ(r.value.val, want) << code << " fast " << fast;
          EXPECT_EQ(std::signbit(r.value.val), std::signbit(want)) << code << " fast " << fast;
        }
      }
    }
  }
  SetFastPaths(true);
}
}  // namespace
