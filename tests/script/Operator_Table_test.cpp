// Every operator on every operand kind, with the operands reached every way
// the interpreter reads a value: each must give the result or the error (text
// and position) that the same code gives with literal operands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lang_Helpers.h"

namespace {

// How an operand reaches the operator: `setup` stores the value, `use` reads
// it; V stands for the value's literal text, N for a name unique to the side.
struct Source {
  const char* name;
  const char* setup;
  const char* use;
  bool realsonly = false;    // the storage keeps only reals
  bool stringsonly = false;
};

const Source kSources[] = {
    {"literal", "", "V"},
    {"local slot", "var lN; lN = V; ", "lN"},
    {"instance variable", "iN = V; ", "iN"},
    {"global.", "global.gN = V; ", "global.gN"},
    {"globalvar", "globalvar gvN; gvN = V; ", "gvN"},
    {"instance array cell", "rN[3] = V; ", "rN[3]"},
    {"local array cell", "var kN; kN[1, 2] = V; ", "kN[1, 2]"},
    {"argument slot", "argumentN = V; ", "argumentN"},
    {"local named like a built-in", "local.BN = V; ", "local.BN"},
    {"self.", "self.sN = V; ", "self.sN"},
    {"script call", "", "test_ident_script(V)"},
    {"built-in function", "", "test_ident(V)"},
    {"built-in variable", "BN = V; ", "BN", true},
    {"string built-in variable", "error_last = V; ", "error_last", false, true},
};

// Where the result of the expression E goes.
const char* const kContexts[] = {
    "return E",
    "r = E; return r",
    "var r; r = E; return r",
    "r[2] = E; return r[2]",
    "if (E) return 1; return 0",
    "while (E) { return 1 } return 0",
    "q = 0; q = q + (E); return q",
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
  return s;
}

bool IsString(const std::string& literal) { return literal[0] == '"'; }

// A side's setup and operand text; false when the source cannot hold the value.
bool Operand(const Source& s, const std::string& literal, int side, std::string& setup, std::string& use) {
  if (s.realsonly && IsString(literal)) return false;
  if (s.stringsonly && !IsString(literal)) return false;
  const std::string n = side == 0 ? "1" : "2";
  const std::string builtin = side == 0 ? "xstart" : "ystart";
  const std::string localbuiltin = side == 0 ? "x" : "y";
  setup = Replace(Replace(Replace(s.setup, "BN", s.realsonly ? builtin : localbuiltin), "N", n), "V", literal);
  use = Replace(Replace(Replace(s.use, "BN", s.realsonly ? builtin : localbuiltin), "N", n), "V", literal);
  return true;
}

struct Outcome {
  bool ok = false;
  RValue value;
  std::string message;  // the error's message without the place
  int column = 0;       // the error's column
};

Outcome RunProgram(const std::string& program) {
  GlobalClear();
  ErrorClear();
  RunOutcome r = RunCode(program);
  Outcome o;
  o.ok = r.compiled && r.ok;
  o.value = r.value;
  if (!o.ok) {
    const std::string key = "at position ";
    size_t p = r.error.rfind(key);
    if (p != std::string::npos) {
      size_t colon = r.error.find(": ", p);
      o.column = std::stoi(r.error.substr(p + key.size(), colon - p - key.size()));
      o.message = r.error.substr(colon + 2);
    } else {
      o.message = r.error;
    }
  }
  return o;
}

bool OperatorMessage(const std::string& m) {
  return m.rfind("Wrong type of arguments", 0) == 0 || m == "Cannot compare arguments." || m == "Division by 0." ||
         m == "Modulo by 0." || m == "Floating point overflow." || m == "Invalid floating point operation.";
}

class OperatorTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLanguageState();
    FunctionAdd("test_ident", [](CInstance*, CInstance*, int, RValue& result, RValue* args) { result = args[0]; }, 1);
    ScriptAdd("test_ident_script", "return argument0");
    ASSERT_TRUE(ScriptGet(0)->Compile()) << ErrorText();
  }
  void TearDown() override { SetFastPaths(true); }

  // Runs `expr` (with A, B and the operator's place marked by @) in every
  // context for every pair of sources and compares with the literal form.
  void Check(const std::string& expr, const std::vector<std::string>& values, int operands) {
    const Source& literal = kSources[0];
    for (const char* context : kContexts) {
      for (const std::string& a : values) {
        for (const std::string& b : operands == 2 ? values : std::vector<std::string>{""}) {
          std::string sa, ua, sb, ub;
          Operand(literal, a, 0, sa, ua);
          if (operands == 2) Operand(literal, b, 1, sb, ub);
          const std::string refexpr = Replace(Replace(Replace(expr, "@", ""), "A", ua), "B", ub);
          const Outcome ref = RunProgram(Replace(context, "E", refexpr));
          for (const Source& left : kSources) {
            for (const Source& right : kSources) {
              if (operands == 1 && &right != &literal) continue;
              // Both sides from one kind of source, or one side literal.
              if (&left != &right && &left != &literal && &right != &literal) continue;
              if (!Operand(left, a, 0, sa, ua)) continue;
              if (operands == 2 && !Operand(right, b, 1, sb, ub)) continue;
              if (operands == 2 && left.stringsonly && right.stringsonly) continue;  // one variable
              std::string e = Replace(Replace(expr, "A", ua), "B", ub);
              const std::string program = sa + sb + Replace(context, "E", e);
              // The place an operator error points at: the operator of a
              // unary expression, the right operand of a binary one.
              const size_t at = program.find('@');
              const std::string text = Replace(program, "@", "");
              const std::string where = left.name + std::string(" / ") + right.name + ": " + text;
              const Outcome got = RunProgram(text);
              ASSERT_EQ(got.ok, ref.ok) << where << "\n got: " << (got.ok ? Show(got.value) : got.message)
                                        << "\n want: " << (ref.ok ? Show(ref.value) : ref.message);
              if (ref.ok) {
                ASSERT_EQ(got.value.kind, ref.value.kind) << where;
                if (ref.value.IsString()) {
                  ASSERT_EQ(got.value.str, ref.value.str) << where;
                } else {
                  ASSERT_EQ(got.value.val, ref.value.val) << where;
                }
                continue;
              }
              ASSERT_EQ(got.message, ref.message) << where;
              if (OperatorMessage(ref.message) && std::string(context).find("q + (") == std::string::npos) {
                ASSERT_EQ(got.column, static_cast<int>(at) + 1) << where;
              }
            }
          }
        }
      }
    }
  }
};

const std::vector<std::string> kUnaryValues = {"7.5", "0.25", "0", "3", "\"ab\"", "\"\""};
const std::vector<std::string> kBinaryValues = {"7.5", "0", "\"ab\"", "\"cd\""};

TEST_F(OperatorTable, UnaryOperators) {
  for (bool fast : {true, false}) {
    SetFastPaths(fast);
    for (const char* op : {"!", "-", "+", "~"}) Check(std::string("@") + op + "A", kUnaryValues, 1);
  }
}

TEST_F(OperatorTable, BinaryOperators) {
  for (bool fast : {true, false}) {
    SetFastPaths(fast);
    for (const char* op : {"&&", "||", "^^", "+", "-", "*", "/", "div", "mod", "|", "&", "^", "<<", ">>", "<", "<=",
                           "==", "!=", ">=", ">", "<>"})
      Check(std::string("A ") + op + " @B", kBinaryValues, 2);
  }
}

// 1.7e308 written out: near the largest real, so sums, products and
// quotients of it overflow.
const std::string kHuge = "17" + std::string(307, '0');

TEST_F(OperatorTable, ArithmeticThatLeavesTheRealsIsAnError) {
  for (bool fast : {true, false}) {
    SetFastPaths(fast);
    for (const char* op : {"+", "*", "/", "div", "mod", "-"}) Check(std::string("A ") + op + " @B", {kHuge, "0.25"}, 2);
  }
}

// The in-place forms stop with the same errors and leave the variable as it
// was, whichever path combines them.
TEST_F(OperatorTable, CombiningInPlaceThatOverflowsIsAnError) {
  const std::string h = kHuge;
  struct Case {
    std::string program;
    const char* message;
  } cases[] = {
      {"x = " + h + "; x += x; return x", "Floating point overflow."},
      {"var l; l = " + h + "; l += l; return l", "Floating point overflow."},
      {"a[1] = " + h + "; a[1] *= 8; return a[1]", "Floating point overflow."},
      {"global.g = " + h + "; global.g -= -global.g; return global.g", "Floating point overflow."},
      {"xstart = " + h + "; xstart += xstart; return xstart", "Floating point overflow."},
      {"x = " + h + "; x /= 0.5; return x", "Floating point overflow."},
      {"return 1" + std::string(400, '0'), "Floating point overflow."},
      {"x = " + h + " * 10; return x", "Floating point overflow."},
  };
  for (bool fast : {true, false}) {
    SetFastPaths(fast);
    for (const Case& c : cases) {
      const Outcome o = RunProgram(c.program);
      EXPECT_FALSE(o.ok) << c.program.substr(0, 40) << " fast " << fast;
      EXPECT_EQ(o.message, c.message) << c.program.substr(0, 40) << " fast " << fast;
    }
    // The error leaves the variable with its old value.
    const Outcome kept = RunProgram("global.k = " + h + "; global.k += global.k; return 0");
    EXPECT_FALSE(kept.ok);
    RunOutcome again = RunCode("return global.k / 1" + std::string(300, '0'));
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_NEAR(again.value.val, 1.7e8, 1);
  }
}

// The hole this table was written for: a local named like a built-in
// variable, read by a unary operator, was read as the instance's variable.
TEST_F(OperatorTable, UnaryOperatorOnALocalNamedLikeABuiltin) {
  RunOutcome r = RunCode("local.x = \"a\"; return -local.x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Wrong type of arguments to unary operator."), std::string::npos) << r.error;
  r = RunCode("local.x = 5; return -local.x");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, -5);
}

}  // namespace
