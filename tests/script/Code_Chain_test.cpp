// Long flat chains (operators of one level, ".", else-if): compiled and run
// whatever their length, with the same values and errors as short ones,
// while true nesting stays bounded.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Lang_Helpers.h"

namespace {

class Chains : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ResetLanguageState();
    SetFastPaths(GetParam());
  }
  void TearDown() override { SetFastPaths(true); }
};

// A chain of `terms` joined by `ops` (both taken in turn), after `prelude`.
std::string Chain(const std::string& prelude, const std::vector<std::string>& terms,
                  const std::vector<std::string>& ops, int length) {
  std::string code = prelude + "return " + terms[0];
  for (int i = 1; i < length; ++i) code += " " + ops[(i - 1) % ops.size()] + " " + terms[i % terms.size()];
  return code;
}

// The left-to-right value of such a chain of reals.
double LeftFold(const std::vector<double>& terms, const std::vector<std::string>& ops, int length) {
  double v = terms[0];
  for (int i = 1; i < length; ++i) {
    const std::string& op = ops[(i - 1) % ops.size()];
    double r = terms[i % terms.size()];
    if (op == "+") v += r;
    else if (op == "-") v -= r;
    else if (op == "*") v *= r;
    else if (op == "/") v /= r;
    else if (op == "&&") v = (v >= 0.5 && r >= 0.5) ? 1 : 0;
    else if (op == "||") v = (v >= 0.5 || r >= 0.5) ? 1 : 0;
    else ADD_FAILURE() << op;
  }
  return v;
}

struct RealChain {
  const char* name;
  std::string prelude;
  std::vector<std::string> terms;
  std::vector<double> values;  // of the terms
  std::vector<std::string> ops;
};

// Every kind of term: constants (folded at compile time), plain variables
// (pure arithmetic), calls (the general way), and mixtures of them. The
// operator mixes give a different value when grouped from the right.
TEST_P(Chains, OperatorChainsOfRealsGiveTheLeftToRightValue) {
  const std::string vars = "a = 3; b = 1; c = -2; t = 1; f = 0; ";
  const RealChain cases[] = {
      {"constants", "", {"1"}, {1}, {"+"}},
      {"variables", vars, {"b"}, {1}, {"+"}},
      {"plus and minus", vars, {"a", "b", "abs(c)"}, {3, 1, 2}, {"+", "-", "-"}},
      {"times and divide", vars, {"a", "a"}, {3, 3}, {"*", "/"}},
      {"mixed levels", vars, {"a * b", "abs(c) * a", "b"}, {3, 6, 1}, {"-", "+"}},
      {"and, or", vars, {"f", "f", "t"}, {0, 0, 1}, {"&&", "||"}},
      {"and, or with a call", vars, {"f", "abs(f)", "t"}, {0, 0, 1}, {"&&", "||"}},
  };
  for (const RealChain& k : cases) {
    for (int length : {1000, 100000}) {
      SCOPED_TRACE(std::string(k.name) + " x " + std::to_string(length));
      GlobalClear();
      RunOutcome r = RunCode(Chain(k.prelude, k.terms, k.ops, length));
      ASSERT_TRUE(r.compiled) << r.error;
      ASSERT_TRUE(r.ok) << r.error;
      ASSERT_TRUE(r.value.IsReal()) << Show(r.value);
      EXPECT_EQ(r.value.val, LeftFold(k.values, k.ops, length));
    }
  }
}

TEST_P(Chains, StringChainsConcatenateInOrder) {
  for (int length : {1000, 100000}) {
    SCOPED_TRACE(length);
    std::string want;
    for (int i = 0; i < length; ++i) want += i % 2 == 0 ? "ab" : "c";
    GlobalClear();
    RunOutcome r = RunCode(Chain("s = 'ab'; ", {"s", "'c'"}, {"+"}, length));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.str, want);
    // All constants: folded at compile time.
    r = RunCode(Chain("", {"'ab'", "'c'"}, {"+"}, length));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.str, want);
  }
}

// a.a.a...a: every link reads `a` of the instance the previous link names.
TEST_P(Chains, DotChainsReadAndAssignThroughEveryLink) {
  for (int length : {1000, 100000}) {
    SCOPED_TRACE(length);
    std::string path = "a";
    for (int i = 1; i < length; ++i) path += ".a";
    GlobalClear();
    RunOutcome r = RunCode("a = id; return " + path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.val, 100001);
    r = RunCode("a = id; " + path + ".b[2] = 7; return b[2] + " + path + ".b[2]");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.val, 14);
  }
}

// global.x picks the branch; only that branch runs. Compiled once, run
// for several picks.
TEST_P(Chains, ElseIfChainsTakeTheRightBranch) {
  for (int length : {1000, 10000, 100000}) {
    std::string text = "n = 0; ";
    for (int i = 0; i < length; ++i)
      text += (i ? " else if global.x == " : "if global.x == ") + std::to_string(i) + " { r = " +
              std::to_string(i * 2) + "; n += 1 }";
    text += " else { r = -1; n += 1 } return r * 10 + n";
    CCode code(text, false);
    ASSERT_TRUE(code.Compile()) << ErrorText();
    for (int pick : {0, length / 2, length - 1, length}) {
      SCOPED_TRACE(std::to_string(length) + " pick " + std::to_string(pick));
      GlobalClear();
      ASSERT_TRUE(RunCode("global.x = " + std::to_string(pick)).ok);
      CInstance self(100001, 0);
      RValue result;
      ASSERT_TRUE(ExecuteCode(&self, &self, &code, result)) << ErrorText();
      EXPECT_EQ(result.val, (pick < length ? pick * 2 : -1) * 10 + 1);
    }
  }
}

// An error at one link deep inside a long chain: the message and the
// position of that link, as in a short chain.
TEST_P(Chains, ErrorsInsideLongChainsKeepTheirPosition) {
  struct ErrorCase {
    const char* name;
    std::string start;
    std::function<std::string(int)> link;  // the text of link i
    std::string bad;                       // the text of the failing link
    int at;  // where the error points: into the failing link, or -1 for the chain's start
    const char* message;
  };
  const auto same = [](const char* text) { return [text](int) { return std::string(text); }; };
  const ErrorCase cases[] = {
      {"+", "u = a", same(" + a"), " + s", 3, "Wrong type of arguments to +."},
      {"-", "u = a", same(" - a"), " - s", 3, "Wrong type of arguments to -."},
      {"/", "u = a", same(" / a"), " / z", 3, "Division by 0."},
      // Every link of a dot chain has the position of the chain's start.
      {".", "u = d", same(".d"), ".s", -1, "Wrong type of variable index"},
      {"else if", "if x == 0 r = 1", [](int i) { return " else if x == " + std::to_string(i) + " r = 1"; },
       " else if s r = 1", 9, "Expression expected"},
  };
  const int length = 20000, bad = 12000;
  for (const ErrorCase& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string prelude = "a = 1; d = id; s = 'x'; z = 0; x = -1; r = 0; ";
    std::string code = prelude + k.start;
    int position = static_cast<int>(prelude.size()) + 5;  // the chain's start, after "u = "
    for (int i = 1; i < length; ++i) {
      if (i == bad && k.at >= 0) position = static_cast<int>(code.size()) + k.at + 1;
      code += i == bad ? k.bad : k.link(i);
    }
    GlobalClear();
    RunOutcome r = RunCode(code);
    ASSERT_TRUE(r.compiled) << r.error;
    EXPECT_FALSE(r.ok);
    const std::string tail = "at position " + std::to_string(position) + ": " + k.message;
    ASSERT_GE(r.error.size(), tail.size()) << r.error;
    EXPECT_EQ(r.error.substr(r.error.size() - tail.size()), tail);
  }
}

INSTANTIATE_TEST_SUITE_P(FastAndGeneral, Chains, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Fast" : "General"; });

// Nesting is still bounded, with the same message at the same place:
// brackets, unary operators, blocks and ifs inside ifs.
TEST(ChainNesting, TrueNestingIsStillRefused) {
  ResetLanguageState();
  const std::string open(1000, '('), close(1000, ')');
  struct NestCase {
    std::string code;
    int position;
  };
  const NestCase cases[] = {
      // Each bracket costs seven levels (one per binary level and the
      // operand): the 143rd bracket is the first too deep.
      {"u = " + open + "1" + close, 5 + 142},
      {"u = " + std::string(1000, '-') + "1", 5 + 993},
      // A thousand nested blocks are allowed, not one more.
      {std::string(1001, '{') + std::string(1001, '}'), 1001},
  };
  for (const NestCase& k : cases) {
    SCOPED_TRACE(k.code.substr(0, 12));
    RunOutcome r = RunCode(k.code);
    EXPECT_FALSE(r.compiled);
    const std::string tail = "at position " + std::to_string(k.position) + ": Code is nested too deeply.";
    ASSERT_GE(r.error.size(), tail.size()) << r.error;
    EXPECT_EQ(r.error.substr(r.error.size() - tail.size()), tail);
  }
  std::string ifs;
  for (int i = 0; i < 1000; ++i) ifs += "if 1 ";
  RunOutcome r = RunCode(ifs + "u = 1");
  EXPECT_FALSE(r.compiled);
  EXPECT_NE(r.error.find("Code is nested too deeply."), std::string::npos) << r.error;
  // A chain inside brackets nests once, however long.
  std::string sum = "1";
  for (int i = 0; i < 100000; ++i) sum += "+1";
  r = RunCode("return " + std::string(100, '(') + sum + std::string(100, ')'));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 100001);
}

}  // namespace
