// Running code asked from another thread to let the host look in: the handler
// is called at loop passes and script calls, may let the code go on, or stop
// it (and all code after it) for good; a budget still counts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Lang_Helpers.h"
#include "script/Code_Interrupt.h"
#include "script/Code_Main.h"
#include "script/Script_Main.h"

namespace {
std::atomic<int> g_calls{0};
int g_stopAt = 0;  // the call that stops the code, 0 never

bool Handler() {
  const int n = ++g_calls;
  return g_stopAt == 0 || n < g_stopAt;
}

class InterruptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLanguageState();
    CodeStopResetForTests();
    g_calls = 0;
    g_stopAt = 0;
    CodeSetAttentionHandler(Handler);
  }
  void TearDown() override {
    CodeSetAttentionHandler(nullptr);
    CodeStopResetForTests();
    SetExecutionBudget(-1);
  }
};

// Another thread asks every millisecond; the loop and the recursion go on
// while the handler lets them, and end when it says no.
TEST_F(InterruptTest, AnEndlessLoopStopsWhenTheHandlerSaysSo) {
  std::atomic<bool> done{false};
  std::thread asker([&] {
    while (!done) {
      CodeRequestAttention();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  // A loop that ends by itself is only looked in on.
  RunOutcome r = RunCode("n = 0; repeat (2000000) n += 1; return n");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 2000000);
  EXPECT_FALSE(CodeStopped());

  g_stopAt = g_calls + 3;
  const auto start = std::chrono::steady_clock::now();
  r = RunCode("while (true) {}");
  done = true;
  asker.join();
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(CodeStopped());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // Stopped for good: not even straight code runs, and its failure is no
  // error shown to anyone.
  r = RunCode("return 7");
  EXPECT_FALSE(r.ok);
}

// A script that calls itself without a loop is looked in on at its calls.
TEST_F(InterruptTest, CallsAreLookedInOn) {
  ScriptAdd("deep", "if (argument0 <= 0) return 0; return deep(argument0 - 1) + 1");
  ASSERT_TRUE(ScriptGet(0)->Compile());
  CodeRequestAttention();
  RunOutcome r = RunCode("return deep(50)");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, 50);
  EXPECT_EQ(g_calls, 1);

  g_stopAt = 2;
  CodeRequestAttention();
  r = RunCode("return deep(50)");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(CodeStopped());
}

// A budget set for tests still counts; a request that comes meanwhile waits
// for the budget to go.
TEST_F(InterruptTest, ABudgetStillCounts) {
  SetExecutionBudget(100);
  CodeRequestAttention();
  RunOutcome r = RunCode("while (1) {}");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Execution step limit reached."), std::string::npos);
  EXPECT_EQ(g_calls, 0);
  SetExecutionBudget(-1);
  r = RunCode("repeat (3) u = 1");
  EXPECT_TRUE(r.ok);
  EXPECT_FALSE(CodeStopped());
}
}  // namespace
