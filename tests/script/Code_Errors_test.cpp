// Compile and run-time errors: texts, positions and the formatted record.
#include <gtest/gtest.h>

#include "Lang_Helpers.h"

namespace {
struct ErrCase {
  const char* code;
  int position;         // 1-based column on line 1
  const char* message;
};

// The message and the position as the record prints them for one-line code.
// Errors found at the end of the text point at its last character.
void ExpectError(const ErrCase& c, bool compile) {
  GlobalClear();
  RunOutcome r = RunCode(c.code);
  EXPECT_EQ(r.compiled, !compile) << c.code << "\n" << r.error;
  EXPECT_FALSE(r.ok) << c.code;
  std::string tail = "at position " + std::to_string(c.position) + ": " + c.message;
  ASSERT_GE(r.error.size(), tail.size()) << c.code << "\n" << r.error;
  EXPECT_EQ(r.error.substr(r.error.size() - tail.size()), tail) << c.code << "\n" << r.error;
}

class ErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLanguageState(); }
};

TEST_F(ErrorsTest, CompileErrors) {
  const ErrCase cases[] = {
      {"u = 1 @", 7, "Unexpected symbol."},
      {"u = #", 5, "Unexpected symbol."},
      {"u = nosuchfunction(1)", 5, "Unknown function or script: nosuchfunction"},
      {"u++", 2, "Assignment operator expected."},
      {"u + 1", 3, "Assignment operator expected."},
      {"var u = 5", 7, "Unexpected symbol in expression."},
      {"5 = 1", 1, "Variable name expected."},
      {"pi = 1", 1, "Variable name expected."},
      {"u = (1 + 2", 10, "Symbol ) expected."},
      {"u = a.5", 6, "Variable name expected."},
      {"u = a[1 2]", 9, "Symbol , or ] expected."},
      {"u = a[1", 7, "Symbol ] expected."},
      {"u = a[1, 2, 3]", 13, "Only 1- and 2-dimensional arrays are supported."},
      {"{ u = 1 } v = 2", 11, "Program ends before end of the code."},
      {"{ u = 1", 7, "Symbol } expected."},
      {"do u = 1", 8, "Keyword until expected."},
      {"for i = 0", 5, "Symbol ( expected."},
      {"for (i = 0; i < 1; i += 1 u = 2", 27, "Symbol ) expected."},
      {"switch (1) u = 1", 12, "Symbol { expected."},
      {"switch (1) { case 1: u = 1", 26, "Symbol } expected."},
      {"switch (1) { case 1 u = 1 }", 21, "Symbol : expected."},
      {"switch (1) { default u = 1 }", 22, "Symbol : expected."},
      {"var u, argument0", 8, "Cannot redeclare a builtin variable."},
      {"globalvar argument_count", 11, "Cannot redeclare a builtin variable."},
      {"if", 2, "Unexpected symbol in expression."},
      {"if (1)", 6, "Unexpected end of code reached."},
      {"u = 1 / 0", 9, "Division by 0."},
      {"u = 1 div 0", 11, "Division by 0."},
      {"u = 1 mod 0", 11, "Modulo by 0."},
      {"u = -'a'", 5, "Wrong type of arguments to unary operator."},
      {"u = 'a' - 1", 11, "Wrong type of arguments to -."},
      {"u = 'ab' * 3", 12, "Wrong type of arguments to *."},
      {"u = 'a' == 1", 12, "Cannot compare arguments."},
      {"u = 'a' && 1", 12, "Wrong type of arguments for &&."},
      {"u = 1 << 'a'", 10, "Wrong type of arguments for <<."},
      {"u = 'a'.v", 5, "Left hand side must be a real value."},
  };
  for (const ErrCase& c : cases) ExpectError(c, true);
}

TEST_F(ErrorsTest, ArgumentCountsOfCalls) {
  FunctionAdd("test_two_args", [](CInstance*, CInstance*, int, RValue&, RValue*) {}, 2);
  FunctionAdd("test_any_args", [](CInstance*, CInstance*, int, RValue&, RValue*) {}, -1);
  const ErrCase cases[] = {
      {"test_two_args(1)", 16, "Wrong number of arguments to function or script."},
      {"test_two_args(1, 2, 3)", 22, "Wrong number of arguments to function or script."},
      {"test_two_args(1 2)", 17, "Symbol , or ) expected."},
      {"test_two_args(1, 2", 18, "Symbol ) expected."},
      {"test_any_args(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)", 56,
       "Wrong number of arguments to function or script."},
  };
  for (const ErrCase& c : cases) ExpectError(c, true);
  EXPECT_TRUE(RunCode("test_two_args(1, 2,)").ok);
  EXPECT_TRUE(RunCode("test_any_args(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16)").ok);
}

TEST_F(ErrorsTest, RunTimeErrors) {
  const ErrCase cases[] = {
      {"u = v", 5, "Unknown variable v"},
      {"a[2] = 1; u = a[3]", 15, "Unknown variable a or array index out of bounds"},
      {"a[2] = 1; u = a[1, 0]", 15, "Unknown variable a or array index out of bounds"},
      {"u = 'a'; u += 1", 15, "Wrong type of arguments to +."},
      {"u = 1; u += 'a'", 13, "Wrong type of arguments to +."},
      {"u = 0; u /= u", 13, "Division by 0."},
      {"v = 0; u = 1 div v", 18, "Division by 0."},
      {"v = 0; u = 1 mod v", 18, "Modulo by 0."},
      {"v = 'a'; u = -v", 14, "Wrong type of arguments to unary operator."},
      {"v = 'a'; if (v) u = 1", 14, "Expression expected"},
      {"v = 'a'; while (v) u = 1", 17, "Boolean expression expected"},
      {"v = 'a'; do u = 1 until v", 25, "Boolean expression expected"},
      {"v = 'a'; for (i = 0; v; i += 1) u = 1", 22, "Expression expected"},
      {"repeat ('a') u = 1", 9, "Repeat count must be a number"},
      {"with ('a') u = 1", 7, "Object id expected"},
      {"with (global) u = 1", 6, "Cannot use global in with statement."},
      {"with (local) u = 1", 6, "Cannot use local in with statement."},
      {"i = 'a'; u = a[i]", 16, "Wrong type of array index"},
      {"u = a[-1]", 7, "Negative array index"},
      {"u = a[32000]", 7, "Array index >= 32000"},
      {"u = a[1, -0.6]", 10, "Negative array index"},
      {"u = a[100000000000000000000000]", 7, "Array index >= 32000"},
      {"o = 'a'; u = o.v[1]", 14, "Wrong type of variable index"},
      {"noone.u = 1", 1, "Cannot assign to the variable"},
      {"id = 5", 1, "Cannot assign to the variable"},
      {"argument_count = 1", 1, "Cannot assign to the variable"},
      {"id = 2 + 3", 1, "Cannot assign to the variable"},
      {"u = 2; noone.v = u * u", 8, "Cannot assign to the variable"},
      {"x = 1; x += 'a'", 13, "Wrong type of arguments to +."},
      {"x = 1; x /= 0", 13, "Division by 0."},
      {"self.a = 1; u = self.a / 0", 26, "Division by 0."},
      {"self.a = 1; self.b = 0; u = self.a mod self.b", 40, "Modulo by 0."},
      {"self.a = 'q'; u = self.a - 1", 28, "Wrong type of arguments to -."},
      {"s = 'a'; u = x + s", 18, "Wrong type of arguments to +."},
      {"s = 'a'; x -= s", 15, "Wrong type of arguments to -."},
      {"u = noone.v", 5, "Unknown variable v"},
      {"case 1: u = 1", 6, "Case statement only allowed inside switch statement."},
      {"default: u = 1", 8, "Default statement only allowed inside switch statement."},
      {"switch (1) { case 1: { case 2: u = 1 } }", 29, "Case statement only allowed inside switch statement."},
      {"if (1) ; else u = 1", 8, "Statement expected."},
  };
  for (const ErrCase& c : cases) ExpectError(c, false);
}

TEST_F(ErrorsTest, FormattedRecordPinpointsLineAndColumn) {
  RunOutcome r = RunCode("@");
  EXPECT_EQ(r.error, "Error in code at line 1:\r   @\r  ^\rat position 1: Unexpected symbol.");
  // With CR LF line ends the LF opens the line text and counts as its first column.
  r = RunCode("u = 1\r\ny = 2\r\nz = @ + 1\r\n");
  EXPECT_EQ(r.error, "Error in code at line 3:\r   \nz = @ + 1\r       ^\rat position 6: Unexpected symbol.");
  // LF and mixed line ends read as CR LF, so code written either way shows alike.
  r = RunCode("u = 1\ny = 2\nz = @ + 1\n");
  EXPECT_EQ(r.error, "Error in code at line 3:\r   \nz = @ + 1\r       ^\rat position 6: Unexpected symbol.");
  r = RunCode("u = 1\r\ny = 2\nz = @ + 1");
  EXPECT_EQ(r.error, "Error in code at line 3:\r   \nz = @ + 1\r       ^\rat position 6: Unexpected symbol.");
  r = RunCode("u = 1\ry = q");  // CR alone ends a line too
  EXPECT_EQ(r.error, "Error in code at line 2:\r   y = q\r      ^\rat position 5: Unknown variable q");
  r = RunCode("1 +", nullptr, true);
  EXPECT_EQ(r.error, "Error in expression:1 +\r position 3: Unexpected symbol in expression.");
}

TEST_F(ErrorsTest, ExpressionsFoldAndIgnoreTrailingTokens) {
  CCode code("1 2", true);
  ASSERT_TRUE(code.Compile());
  EXPECT_EQ(code.i_kind, 3);
  EXPECT_EQ(code.i_value.val, 1);
  CCode empty("", true);
  ASSERT_TRUE(empty.Compile());
  EXPECT_EQ(empty.i_kind, 3);
  EXPECT_EQ(empty.i_value.val, 0);
  EXPECT_FALSE(empty.Compile());
  EXPECT_NE(ErrorText().find("Internal Error: Recompiling compiled code."), std::string::npos);
  CCode notcompiled("u = 1", false);
  CInstance self(100001, 0);
  RValue result;
  EXPECT_FALSE(ExecuteCode(&self, &self, &notcompiled, result));
  EXPECT_NE(ErrorText().find("Internal Error: Executing non-compiled code."), std::string::npos);
  CCode prog("u = 1", false);
  ASSERT_TRUE(prog.Compile());
  EXPECT_FALSE(ExecuteCode(nullptr, &self, &prog, result));
  EXPECT_NE(ErrorText().find("Internal Error: Executing code for nil instance."), std::string::npos);
}

TEST_F(ErrorsTest, CommentsAndStrings) {
  EXPECT_TRUE(RunCode("/*/ u = 1").ok);
  RunOutcome r = RunCode("/*/ u = 1");
  EXPECT_EQ(r.value.val, 1);
  r = RunCode("u = 2 // comment at the end");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.value.val, 2);
  r = RunCode("u = 3 /* never closed");
  EXPECT_EQ(r.value.val, 3);
  r = RunCode("u = \"never closed");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.str, "never closed   ");
  r = RunCode("u = 'line\r\nbreak'");
  EXPECT_EQ(r.value.str, "line\r\nbreak");
  r = RunCode("u = '\xc3\xa9t\xc3\xa9' + \"'\"");
  EXPECT_EQ(r.value.str, "\xc3\xa9t\xc3\xa9'");
}

TEST_F(ErrorsTest, ScriptErrorsAddTheScriptLineAndArgumentChecks) {
  ScriptAdd("inner", "u = nosuch");
  ScriptAdd("outer", "return inner()");
  ScriptAdd("one", "return argument0");
  ScriptAdd("atleast", "return argument[1] + argument2");
  for (int i = 0; i < ScriptCount(); ++i) ASSERT_TRUE(ScriptGet(i)->Compile());
  RunOutcome r = RunCode("return outer()");
  EXPECT_EQ(r.error.substr(0, 35), "In script outer:\rIn script inner:\rE");
  EXPECT_NE(r.error.find("Unknown variable nosuch"), std::string::npos);

  EXPECT_TRUE(RunCode("return one(1, 2, 3)").ok);
  opt_argerrors = true;
  r = RunCode("return one(1, 2, 3)");
  EXPECT_EQ(r.error,
            "Illegal argument count calling script \"one\".\rScript requires 1 arguments, 3 have been supplied.");
  r = RunCode("return atleast(1, 2)");
  EXPECT_EQ(r.error,
            "Illegal argument count calling script \"atleast\".\rScript requires at least 3 arguments, 2 have been "
            "supplied.");
  r = RunCode("return atleast(1, 2, 3, 4)");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 5);
}

TEST_F(ErrorsTest, ArgumentArrayBeyondTheCountIsReported) {
  ScriptAdd("peek", "return argument[argument0]");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  opt_argerrors = true;
  RunOutcome r = RunCode("return peek(3)");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(error_last,
            "Illegal array index in script \"peek\".\rtrying to access argument[3], but only 1 arguments have been "
            "supplied.");
  EXPECT_NE(r.error.find("Unknown variable argument or array index out of bounds"), std::string::npos);
  r = RunCode("return peek(20)");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(error_last.find("trying to access argument[20], but only 1 arguments"), std::string::npos) << error_last;
  opt_argerrors = false;
  r = RunCode("return peek(20)");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 20);  // outside 0..15 reads slot 0
}

TEST_F(ErrorsTest, HostileInputGivesErrorsNotCrashes) {
  std::string deep(5000, '(');
  RunOutcome r = RunCode("u = " + deep + "1");
  EXPECT_FALSE(r.compiled);
  EXPECT_NE(r.error.find("Code is nested too deeply."), std::string::npos);
  // A long flat chain is no nesting (see Code_Chain_test).
  std::string chain = "u = 1";
  for (int i = 0; i < 5000; ++i) chain += "+1";
  EXPECT_TRUE(RunCode(chain).ok);
  std::string blocks(3000, '{');
  EXPECT_FALSE(RunCode(blocks).compiled);
  std::string ifs;
  for (int i = 0; i < 3000; ++i) ifs += "if 1 ";
  EXPECT_FALSE(RunCode(ifs + "u = 1").compiled);

  r = RunCode("s = 'abcd'; repeat (40) s += s");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Resulting string is too long."), std::string::npos);
  r = RunCode("u = 1000000000000 * 'abc'");
  EXPECT_NE(r.error.find("Resulting string is too long."), std::string::npos);
  // An empty string repeated a huge number of times, folded at compile time
  // and at run time, is empty at once.
  r = RunCode("u = 4085 * 4085 * 4085 * ''; v = 1000000000000; return v * ''");
  EXPECT_TRUE(r.ok) << r.error;
  r = RunCode("u = (1 << 62) | 0; v = u << 2; z = 100000000000000000000000 | 1; return 5 >> -1");
  EXPECT_TRUE(r.ok) << r.error;
  r = RunCode("with (100000000000000000000) u = 1; with (-100000000000000000000) u = 1; return 1");
  EXPECT_TRUE(r.ok) << r.error;
  r = RunCode("u = 100000000000000000000 div 0.000000001; v = u mod 3");
  EXPECT_TRUE(r.ok) << r.error;

  ScriptAdd("forever", "return forever()");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  r = RunCode("return forever()");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Recursion too deep"), std::string::npos);

  SetExecutionBudget(1000);
  r = RunCode("while (1) {}");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Execution step limit reached."), std::string::npos);
  SetExecutionBudget(1000);
  r = RunCode("repeat (1000000000000) u = 1");
  EXPECT_FALSE(r.ok);
  SetExecutionBudget(-1);
}
}  // namespace
