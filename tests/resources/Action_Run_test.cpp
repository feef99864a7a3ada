// Action lists compiled and run by the language's interpreter, observed
// through what their code actions append to a global text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/Event_Action.h"
#include "resources/Object_Main.h"
#include "resources/Trigger_Class.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"

namespace {

class ActionRunTest : public ::testing::Test {
 protected:
  std::vector<std::unique_ptr<CInstance>> owned;
  CInstance* self = nullptr;

  void SetUp() override {
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ClearObjects();
    AddObject();  // 0: the object of self
    AddObject();  // 1: the object of the instances actions apply to
    self = Make(100001, 0);
    Exec("global.log = \"\"; global.flag = 0;");
  }
  void TearDown() override {
    SimpleInstanceList().list.clear();
    ClearObjects();
  }
  CInstance* Make(int id, int obj) {
    owned.push_back(std::make_unique<CInstance>(id, obj));
    SimpleInstanceList().list.push_back(owned.back().get());
    return owned.back().get();
  }
  void Exec(const std::string& text, CInstance* who = nullptr) {
    CCode code(text, false);
    ASSERT_TRUE(code.Compile()) << ErrorText();
    RValue r;
    ASSERT_TRUE(ExecuteCode(who ? who : self, who ? who : self, &code, r)) << ErrorText();
  }
  std::string Log() {
    CCode code("global.log", true);
    EXPECT_TRUE(code.Compile());
    RValue r;
    ExecuteCode(self, self, &code, r);
    return r.str;
  }
  // Compiles the list as the create event of object 0 and runs it.
  std::string Run(std::vector<CAction> acts) {
    CEvent* ev = GetObject(0)->CreateEvent(0, 0);
    ev->Clear();
    for (auto& a : acts) ev->AddAction(a);
    EXPECT_TRUE(CompileObjects());
    RunActionList(self, self, ev);
    return Log();
  }
};

CAction Code(const std::string& text) { return CAction::CreateCode(text); }
CAction Say(const std::string& s) { return Code("global.log += \"" + s + "\""); }
CAction Ask(const std::string& expr, bool isnot = false) {
  CAction a = Code("return " + expr);
  a.act_isquestion = true;
  a.act_isnot = isnot;
  return a;
}
CAction Ctl(int kind) { return CAction(kind); }
CAction Repeat(const std::string& expr) {
  CAction a(kActRepeat);
  a.act_argumentcount = 1;
  a.act_argstring[0] = expr;
  return a;
}

TEST_F(ActionRunTest, NestedBlocksQuestionsAndElse) {
  const std::vector<CAction> list = {
      Say("a"), Ask("global.flag > 0"), Ctl(kActBeginBlock), Say("b"), Ask("1", true), Say("x"),
      Ctl(kActElse), Say("c"), Ctl(kActEndBlock), Ctl(kActElse), Say("d"), Say("e")};
  EXPECT_EQ(Run(list), "ade");
  Exec("global.log = \"\"; global.flag = 1;");
  EXPECT_EQ(Run(list), "abce");
}

TEST_F(ActionRunTest, RepeatEvaluatesItsCountOnce) {
  Exec("global.n = 2.5;");
  EXPECT_EQ(Run({Repeat("global.n + 1"), Ctl(kActBeginBlock), Say("r"), Code("global.n = 10"),
                 Ctl(kActEndBlock), Say(".")}),
            "rrrr.");  // 3.5 rounds to 4
}

TEST_F(ActionRunTest, AppliesToRunsForEveryInstanceOfTheObject) {
  CInstance* a = Make(100002, 1);
  CInstance* b = Make(100003, 1);
  Exec("tag = \"A\";", a);
  Exec("tag = \"B\";", b);
  CAction each = Code("global.log += tag");
  each.act_useapplyto = true;
  each.act_who = 1;
  CAction all = Ask("tag == \"A\"");
  all.act_useapplyto = true;
  all.act_who = 1;
  EXPECT_EQ(Run({each, all, Say("!"), Ctl(kActElse), Say("?")}), "AB?");
  b->i_marked = true;
  Exec("global.log = \"\";");
  EXPECT_EQ(Run({each, all, Say("!")}), "A!");
}

TEST_F(ActionRunTest, CodeActionArgumentsAreRestored) {
  // A library action whose code reads its arguments.
  CAction withargs(kActNormal);
  withargs.act_exetype = kExeCode;
  withargs.act_codestring = "global.log += argument0 + argument1";
  withargs.act_argumentcount = 2;
  withargs.act_argtype = {2, 0};
  withargs.act_argstring = {"p", "\"q\" + \"r\""};
  EXPECT_EQ(Run({Code("global.log += \"<\""), withargs, Ctl(kActExit), Say("never")}), "<pqr");
  EXPECT_EQ(CurrentArgs().slots[0].kind, RValue::kReal);
}

TEST_F(ActionRunTest, CodeActionsRunInsideCodeKeepItsArguments) {
  // As when a script's code performs an event: the frame in use holds the
  // script's arguments. The actions see them, and what they write (inside
  // and beyond the script's slots) is undone after each action.
  RArgFrame& frame = CurrentArgs();
  frame.slots[0] = RValue("outer");
  frame.slots[1] = RValue("seven");
  frame.count = 2;
  frame.dirty = 2;
  CAction withargs(kActNormal);
  withargs.act_exetype = kExeCode;
  withargs.act_codestring = "global.log += \"(\" + argument0 + argument2 + \")\"; argument3 = \"w\"";
  withargs.act_argumentcount = 3;
  withargs.act_argtype = {2, 2, 2};
  withargs.act_argstring = {"p", "q", "r"};
  EXPECT_EQ(Run({Code("global.log += argument0 + argument1; argument1 = \"changed\"; argument6 = \"nine\""),
                 Code("global.log += argument1; if (argument6 == 0) global.log += \"z\""), withargs,
                 Code("if (argument0 == \"outer\" && argument2 == 0 && argument3 == 0) global.log += \"k\"")}),
            "outersevensevenz(pr)k");
  EXPECT_EQ(frame.slots[0].str, "outer");
  EXPECT_EQ(frame.slots[1].str, "seven");
  for (int i = 2; i < 16; ++i) {
    EXPECT_EQ(frame.slots[i].kind, RValue::kReal) << i;
    EXPECT_EQ(frame.slots[i].val, 0) << i;
  }
  EXPECT_EQ(frame.count, 2);
  EXPECT_EQ(frame.dirty, 2);
  frame.slots[0] = RValue();
  frame.slots[1] = RValue();
  frame.count = 0;
  frame.dirty = 0;
}

TEST_F(ActionRunTest, CompileErrorsStopTheObjects) {
  GetObject(1)->CreateEvent(3, 0)->AddAction(Code("x = = 1"));
  SetHeadlessErrorChoice(false);
  EXPECT_FALSE(CompileObjects());
  ErrorResetForTests();
}

TEST_F(ActionRunTest, TriggersFireOnTheirCondition) {
  CTrigger t;
  t.i_name = "low";
  t.i_condition = "return hp < 10";
  ASSERT_TRUE(t.Prepare());
  Exec("hp = 3;");
  EXPECT_TRUE(t.Evaluate(self));
  Exec("hp = 30;");
  EXPECT_FALSE(t.Evaluate(self));
  // A condition that fails to run is reported and does not fire.
  CTrigger bad;
  bad.i_name = "broken";
  bad.i_condition = "return missing_variable";
  ASSERT_TRUE(bad.Prepare());
  ErrorResetForTests();
  EXPECT_FALSE(bad.Evaluate(self));
  EXPECT_NE(error_last.find("ERROR in trigger broken"), std::string::npos) << error_last;
  CTrigger nocode;
  EXPECT_FALSE(nocode.Evaluate(self));
  ErrorResetForTests();
}

}  // namespace
