// Objects, events and actions: records, event lookup along parents, event
// names, action compilation and the running order of action lists.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "resources/Event_Action.h"
#include "resources/Event_Name.h"
#include "resources/Object_Main.h"
#include "resources/Trigger_Main.h"
#include "runner/Support_Stream.h"
#include "script/Code_Function.h"

namespace {

// --- action list running ----------------------------------------------------

// Labels actions by act_id; questions answer from a table; every performed
// action is logged as "id" or "id@self".
class FakeHost : public IActionHost {
 public:
  std::vector<std::string> log;
  std::map<int, double> answers;
  std::map<int, std::vector<CInstance*>> instances;
  std::vector<CInstance*> marked;
  int pending_after = -1;  // a room change becomes pending after this action

  bool RoomChangePending() override { return pending_; }
  std::vector<CInstance*> InstancesOf(int obj) override { return instances[obj]; }
  bool IsMarked(CInstance* inst) override {
    return std::find(marked.begin(), marked.end(), inst) != marked.end();
  }
  RValue PerformAction(CAction& act, CInstance* self, CInstance*) override {
    std::string e = std::to_string(act.act_id);
    if (self != nullptr) e += "@" + std::to_string(reinterpret_cast<uintptr_t>(self));
    log.push_back(e);
    if (act.act_id == pending_after) pending_ = true;
    auto it = answers.find(act.act_id);
    return RValue(it == answers.end() ? 0.0 : it->second);
  }
  RValue EvaluateArgument(CAction& act, int i, CInstance*, CInstance*) override {
    return act.act_argvalue[size_t(i)];
  }

 private:
  bool pending_ = false;
};

CInstance* Inst(uintptr_t n) { return reinterpret_cast<CInstance*>(n); }

CAction Act(int id) {
  CAction a(kActNormal);
  a.act_id = id;
  a.act_exetype = kExeFunction;
  return a;
}
CAction Ask(int id, bool isnot = false) {
  CAction a = Act(id);
  a.act_isquestion = true;
  a.act_isnot = isnot;
  return a;
}
CAction Ctl(int kind) { return CAction(kind); }
CAction Repeat(double n) {
  CAction a(kActRepeat);
  a.act_argvalue[0] = RValue(n);
  a.act_argumentcount = 1;
  return a;
}

std::vector<std::string> RunList(FakeHost& host, std::vector<CAction> acts,
                             CInstance* self = nullptr) {
  CEvent ev;
  for (auto& a : acts) ev.AddAction(a);
  SetActionHost(&host);
  RunActionList(self, nullptr, &ev);
  SetActionHost(nullptr);
  return host.log;
}

using Log = std::vector<std::string>;

TEST(ActionListTest, QuestionWithElse) {
  const std::vector<CAction> list = {Ask(1), Act(2), Ctl(kActElse), Act(3), Act(4)};
  FakeHost yes;
  yes.answers[1] = 1;
  EXPECT_EQ(RunList(yes, list), (Log{"1", "2", "4"}));
  FakeHost no;
  EXPECT_EQ(RunList(no, list), (Log{"1", "3", "4"}));
  // "not" inverts the answer.
  FakeHost inv;
  EXPECT_EQ(RunList(inv, {Ask(1, true), Act(2), Ctl(kActElse), Act(3)}), (Log{"1", "2"}));
}

TEST(ActionListTest, NestedQuestionsShareAnElse) {
  const std::vector<CAction> list = {Ask(1), Ask(2), Act(3), Ctl(kActElse), Act(4)};
  // Question 1 true: the else belongs to question 2.
  FakeHost a;
  a.answers[1] = 1;
  EXPECT_EQ(RunList(a, list), (Log{"1", "2", "4"}));
  FakeHost b;
  b.answers[1] = 1;
  b.answers[2] = 1;
  EXPECT_EQ(RunList(b, list), (Log{"1", "2", "3"}));
  // Question 1 false: question 2 and its action are skipped and the else
  // is taken up by question 1.
  FakeHost c;
  EXPECT_EQ(RunList(c, list), (Log{"1", "4"}));
}

TEST(ActionListTest, BlocksRunAndSkipAsWholes) {
  const std::vector<CAction> list = {Ask(1), Ctl(kActBeginBlock), Act(2), Ctl(kActBeginBlock),
                                     Act(3), Ctl(kActEndBlock), Act(4), Ctl(kActEndBlock),
                                     Ctl(kActElse), Act(5), Act(6)};
  FakeHost yes;
  yes.answers[1] = 1;
  EXPECT_EQ(RunList(yes, list), (Log{"1", "2", "3", "4", "6"}));
  FakeHost no;
  EXPECT_EQ(RunList(no, list), (Log{"1", "5", "6"}));
}

TEST(ActionListTest, ExitInsideABlockEndsTheList) {
  FakeHost h;
  EXPECT_EQ(RunList(h, {Ctl(kActBeginBlock), Act(1), Ctl(kActExit), Act(2), Ctl(kActEndBlock), Act(3)}),
            (Log{"1"}));
}

TEST(ActionListTest, RepeatRoundsHalvesToEven) {
  FakeHost h1;
  EXPECT_EQ(RunList(h1, {Repeat(2.5), Act(1), Act(2)}), (Log{"1", "1", "2"}));
  FakeHost h2;
  EXPECT_EQ(RunList(h2, {Repeat(3.5), Act(1)}), (Log{"1", "1", "1", "1"}));
  FakeHost h3;
  EXPECT_EQ(RunList(h3, {Repeat(-1), Act(1), Act(2)}), (Log{"2"}));
  // A block counts as one action.
  FakeHost h4;
  EXPECT_EQ(RunList(h4, {Repeat(2), Ctl(kActBeginBlock), Act(1), Act(2), Ctl(kActEndBlock), Act(3)}),
            (Log{"1", "2", "1", "2", "3"}));
  // A skipped repeat takes its action with it.
  FakeHost h5;
  EXPECT_EQ(RunList(h5, {Ask(9), Repeat(3), Act(1), Act(2)}), (Log{"9", "2"}));
}

TEST(ActionListTest, AppliesToTargets) {
  CAction toObj = Act(1);
  toObj.act_useapplyto = true;
  toObj.act_who = 4;
  FakeHost h;
  h.instances[4] = {Inst(10), Inst(11), Inst(12)};
  h.marked = {Inst(11)};
  EXPECT_EQ(RunList(h, {toObj}), (Log{"1@10", "1@12"}));

  // "other" swaps the roles.
  CAction toOther = Act(2);
  toOther.act_useapplyto = true;
  toOther.act_who = -2;
  FakeHost o;
  CEvent ev;
  ev.AddAction(toOther);
  SetActionHost(&o);
  RunActionList(Inst(1), Inst(2), &ev);
  SetActionHost(nullptr);
  EXPECT_EQ(o.log, (Log{"2@2"}));

  // A question on an object with no instances is true; with "not" false.
  CAction q = Ask(3);
  q.act_useapplyto = true;
  q.act_who = 7;
  FakeHost e1;
  EXPECT_EQ(RunList(e1, {q, Act(4)}), (Log{"4"}));
  q.act_isnot = true;
  FakeHost e2;
  EXPECT_EQ(RunList(e2, {q, Act(4)}), (Log{}));

  // All instances must answer true; evaluation stops at the first false.
  q.act_isnot = false;
  FakeHost all;
  all.instances[7] = {Inst(20), Inst(21), Inst(22)};
  all.answers[3] = 0;
  EXPECT_EQ(RunList(all, {q, Act(4)}), (Log{"3@20"}));
}

TEST(ActionListTest, PendingRoomChangeStopsEverything) {
  FakeHost h;
  h.pending_after = 2;
  EXPECT_EQ(RunList(h, {Act(1), Act(2), Act(3)}), (Log{"1", "2"}));
  CAction toObj = Act(2);
  toObj.act_useapplyto = true;
  toObj.act_who = 1;
  FakeHost loop;
  loop.pending_after = 2;
  loop.instances[1] = {Inst(5), Inst(6)};
  EXPECT_EQ(RunList(loop, {toObj, Act(3)}), (Log{"2@5"}));
}

TEST(ActionListTest, ControlActionsAndNoneDoNothing) {
  CAction none = Act(5);
  none.act_exetype = kExeNone;
  CAction noneQ = Ask(6);
  noneQ.act_exetype = kExeNone;
  noneQ.act_isnot = true;  // still false
  FakeHost h;
  EXPECT_EQ(RunList(h, {Ctl(kActEndBlock), none, noneQ, Act(7), Ctl(kActElse), Act(8)}), (Log{"8"}));
  // A long chain of questions is cut off rather than exhausting the stack.
  std::vector<CAction> chain(100000, Ask(1));
  FakeHost deep;
  deep.answers[1] = 1;
  EXPECT_LT(RunList(deep, chain).size(), chain.size());
}

// --- compiling actions -------------------------------------------------------

// Compiled code is stood in for by numbered handles that own nothing.
struct CompilerFixture : ::testing::Test {
  std::vector<std::string> compiled;
  std::vector<std::string> errors;
  std::map<const CCode*, std::string> texts;
  std::string TextOf(const CodeHandle& h) { return texts[h.get()]; }
  void SetUp() override {
    auto& c = ActionCompiler();
    c.compile = [this](const std::string& text, bool expr, std::string& err) -> CodeHandle {
      compiled.push_back((expr ? "expr:" : "prog:") + text);
      if (text == "bad(") {
        err = "unexpected end";
        return nullptr;
      }
      CodeHandle h(std::shared_ptr<void>(), reinterpret_cast<CCode*>(uintptr_t(compiled.size())));
      texts[h.get()] = text;
      return h;
    };
    c.constant = [this](const CodeHandle& code, RValue& v) {
      if (TextOf(code) == "3") {
        v = RValue(3.0);
        return true;
      }
      return false;
    };
    c.report_fatal = [this](const std::string& t) { errors.push_back(t); };
  }
  void TearDown() override { ActionCompiler() = RActionCompiler(); }
};

TEST_F(CompilerFixture, VariableAndCodeActionsBecomeCode) {
  CAction v(kActVariable);
  v.act_exetype = kExeCode;
  v.act_argumentcount = 2;
  v.act_argstring = {"x", "1"};
  v.act_relative = true;
  ASSERT_TRUE(v.Compile());
  CAction w = v;
  w.act_kind = kActVariable;
  w.act_relative = false;
  w.act_argstring = {"x", "1"};
  ASSERT_TRUE(w.Compile());
  CAction c = CAction::CreateCode("y = 2");
  ASSERT_TRUE(c.Compile());
  EXPECT_EQ(compiled, (std::vector<std::string>{"prog:x += 1", "prog:x = 1", "prog:y = 2"}));
  EXPECT_EQ(c.act_kind, kActNormal);
  EXPECT_EQ(c.act_argumentcount, 0);
  EXPECT_TRUE(c.act_argstring[0].empty());
}

TEST_F(CompilerFixture, ArgumentKinds) {
  CAction a = Act(1);
  a.act_argumentcount = 5;
  a.act_argtype = {2, 2, 1, 0, 0};
  a.act_argstring = {"hello", "'hello'", "text", "3", "x + 1"};
  ASSERT_TRUE(a.Compile());
  EXPECT_EQ(a.act_argtype[0], -1);
  EXPECT_EQ(a.act_argvalue[0].str, "hello");
  EXPECT_EQ(a.act_argtype[1], 0);  // quoted: an expression
  EXPECT_EQ(TextOf(a.act_argcode[1]), "'hello'");
  EXPECT_EQ(a.act_argvalue[2].str, "text");
  EXPECT_EQ(a.act_argtype[3], -1);  // constant expression folded
  EXPECT_EQ(a.act_argvalue[3].val, 3.0);
  EXPECT_EQ(a.act_argcode[3], nullptr);
  EXPECT_EQ(a.act_argtype[4], 0);
  for (const auto& s : a.act_argstring) EXPECT_TRUE(s.empty());
}

TEST_F(CompilerFixture, CompileErrorsAreFatalWithTheirPlace) {
  CAction c = CAction::CreateCode("bad(");
  EXPECT_FALSE(c.Compile());
  CAction a = Act(1);
  a.act_argumentcount = 2;
  a.act_argtype = {0, 0};
  a.act_argstring = {"1", "bad("};
  EXPECT_FALSE(a.Compile());
  EXPECT_EQ(errors, (std::vector<std::string>{"COMPILATION ERROR in code action\runexpected end",
                                              "COMPILATION ERROR in argument 1\runexpected end"}));
}

// --- objects -----------------------------------------------------------------

// Objects 0..n-1 with the given parents; an event (type, number) gets one
// action labelled id.
void MakeObjects(const std::vector<int>& parents) {
  ClearObjects();
  for (int p : parents) {
    const int i = AddObject();
    GetObject(i)->o_parent = p;
  }
}
void Give(int obj, int type, int number, int id) {
  GetObject(obj)->CreateEvent(type, number)->AddAction(Act(id));
}
int IdOf(const CEvent* ev) { return ev ? ev->e_actions[0].act_id : -1; }

TEST(ObjectTest, EventsInheritAlongParents) {
  MakeObjects({-1, 0, 1});  // 2 -> 1 -> 0
  Give(0, ev_step, 0, 100);
  Give(1, ev_alarm, 3, 101);
  GetObject(2)->CreateEvent(ev_step, 0);  // empty: counts as absent
  EXPECT_EQ(GetObject(2)->GetEventDirect(ev_step, 0), nullptr);
  EXPECT_EQ(IdOf(GetObject(2)->GetEventRecursive(ev_step, 0)), 100);
  EXPECT_EQ(IdOf(GetObject(2)->GetEventRecursive(ev_alarm, 3)), 101);
  EXPECT_EQ(GetObject(0)->GetEventRecursive(ev_alarm, 3), nullptr);
  EXPECT_TRUE(GetObject(2)->HasEventRecursive(ev_alarm));
  EXPECT_FALSE(GetObject(2)->HasEventDirect(ev_step));
  EXPECT_TRUE(GetObject(2)->IsDecendentOf(0));
  EXPECT_FALSE(GetObject(0)->IsDecendentOf(0));
  EXPECT_EQ(GetObject(0)->CreateEvent(12, 0), nullptr);
  EXPECT_EQ(GetObject(0)->CreateEvent(0, -1), nullptr);
}

TEST(ObjectTest, CollisionWithAParentOfTheOther) {
  // 0: player; 1: wall base; 2: brick (child of 1); 3: special brick (child of 2).
  MakeObjects({-1, -1, 1, 2});
  Give(0, ev_collision, 1, 200);
  EXPECT_EQ(IdOf(GetObject(0)->GetEventRecursive(ev_collision, 3)), 200);
  Give(0, ev_collision, 2, 201);
  EXPECT_EQ(IdOf(GetObject(0)->GetEventRecursive(ev_collision, 3)), 201);
  Give(0, ev_collision, 3, 202);
  EXPECT_EQ(IdOf(GetObject(0)->GetEventRecursive(ev_collision, 3)), 202);
  EXPECT_EQ(GetObject(1)->GetEventRecursive(ev_collision, 0), nullptr);
}

TEST(ObjectTest, RecordRoundTripAndSectionChecks) {
  MakeObjects({-1, 0});
  CObject* o = GetObject(1);
  o->o_spriteindex = 3;
  o->o_solid = true;
  o->o_depth = -7;
  o->o_mask = 2;
  Give(1, ev_create, 0, 1);
  Give(1, ev_keypress, 37, 2);
  CAction rich = Ask(3, true);
  rich.act_useapplyto = true;
  rich.act_who = -2;
  rich.act_argumentcount = 2;
  rich.act_argtype = {0, 2};
  rich.act_argstring = {"x", "hi"};
  rich.act_functionname = "action_if";
  o->CreateEvent(ev_trigger, 5)->AddAction(rich);

  CStream s;
  SaveSection_Objects(s);
  ClearObjects();
  s.Seek(0);
  ASSERT_TRUE(LoadSection_Objects(s));
  ASSERT_EQ(ObjectCount(), 2);
  const CObject* b = GetObject(1);
  EXPECT_EQ(b->o_spriteindex, 3);
  EXPECT_TRUE(b->o_solid);
  EXPECT_TRUE(b->o_visible);
  EXPECT_EQ(b->o_depth, -7);
  EXPECT_EQ(b->o_parent, 0);
  EXPECT_EQ(b->o_mask, 2);
  EXPECT_EQ(IdOf(b->GetEventDirect(ev_keypress, 37)), 2);
  const CAction& r = b->GetEventDirect(ev_trigger, 5)->e_actions[0];
  EXPECT_TRUE(r.act_isquestion);
  EXPECT_TRUE(r.act_isnot);
  EXPECT_TRUE(r.act_useapplyto);
  EXPECT_EQ(r.act_who, -2);
  EXPECT_EQ(r.act_argumentcount, 2);
  EXPECT_EQ(r.act_argtype[1], 2);
  EXPECT_EQ(r.act_argstring[1], "hi");
  EXPECT_EQ(r.act_functionname, "action_if");
  // The name is looked up in the function registry when loaded: unknown
  // here unless another test of this program installed the libraries.
  EXPECT_EQ(r.act_functionid, FunctionFind("action_if"));

  // A parent chain that loops fails the section.
  MakeObjects({1, 0});
  CStream loop;
  SaveSection_Objects(loop);
  loop.Seek(0);
  EXPECT_FALSE(LoadSection_Objects(loop));
  ClearObjects();
}

TEST(ObjectTest, ParentLoopsAreFoundInLongChains) {
  std::vector<int> chain(20000);
  for (int i = 0; i < 20000; ++i) chain[size_t(i)] = i + 1;  // 0 -> 1 -> ... -> 19999 -> none
  MakeObjects(chain);
  EXPECT_FALSE(ObjectParentsLoop());
  EXPECT_TRUE(GetObject(0)->IsDecendentOf(19999));
  GetObject(19999)->o_parent = 10000;
  EXPECT_TRUE(ObjectParentsLoop());
  MakeObjects({-1, 1});  // an object that is its own parent
  EXPECT_TRUE(ObjectParentsLoop());
  ClearObjects();
}

TEST(ObjectTest, BadObjectRecords) {
  auto load = [](CStream& st) {
    st.Seek(0);
    CObject o;
    return o.LoadFromStream(st);
  };
  auto head = [](CStream& st, int version, int last) {
    st.WriteInteger(version);
    for (int v : {-1, 0, 1, 0, 0, -1, -1}) st.WriteInteger(v);
    st.WriteInteger(last);
  };
  CStream version;
  head(version, 420, -1);
  EXPECT_FALSE(load(version));
  CStream none;
  head(none, 430, -1);
  EXPECT_TRUE(load(none));
  CStream types;
  head(types, 430, 12);
  EXPECT_FALSE(load(types));
  CStream number;  // an event number no event can have
  head(number, 430, 0);
  number.WriteInteger(2000000000);
  number.WriteInteger(400);
  number.WriteInteger(0);
  number.WriteInteger(-1);
  EXPECT_FALSE(load(number));
  CStream action;  // an action of another version
  head(action, 430, 0);
  for (int v : {0, 400, 1, 441}) action.WriteInteger(v);
  for (int i = 0; i < 20; ++i) action.WriteInteger(0);
  EXPECT_FALSE(load(action));
  CStream args;  // more argument kinds than an action holds
  head(args, 430, 0);
  for (int v : {0, 400, 1, 440, 1, 2, 0, 0, 0, 0, 1, 0, 0, 0, 9}) args.WriteInteger(v);
  for (int i = 0; i < 20; ++i) args.WriteInteger(0);
  EXPECT_FALSE(load(args));
}

TEST(ObjectTest, EventNames) {
  MakeObjects({-1});
  ObjectList().Set(0, std::make_unique<CObject>(), "obj_wall");
  ClearTriggers();
  TriggerList().Reset(2);
  auto t = std::make_unique<CTrigger>();
  t->i_name = "door_open";
  TriggerList().Set(0, std::move(t), "door_open");
  const std::vector<std::pair<std::pair<int, int>, std::string>> cases = {
      {{0, 0}, "Create Event"},
      {{2, 5}, "Alarm Event for alarm 5"},
      {{3, 0}, "Step Event"},
      {{3, 1}, "Begin Step Event"},
      {{3, 7}, "<unknown> Step Event"},
      {{4, 0}, "Collision Event with object obj_wall"},
      {{4, 9}, "Collision Event with object <undefined>"},
      {{5, 65}, "Keyboard Event for A-key Key"},
      {{9, 32}, "Key Press Event for <Space> Key"},
      {{10, 100}, "Key Release Event for Keypad 4 Key"},
      {{5, 115}, "Keyboard Event for F4 Key"},
      {{5, 200}, "Keyboard Event for <unknown> Key"},
      {{6, 4}, "Mouse Event for Left Pressed"},
      {{6, 23}, "Mouse Event for Joystick 1 Button 3"},
      {{6, 33}, "Mouse Event for Joystick 2 Up"},
      {{6, 58}, "Mouse Event for Glob Middle Released"},
      {{6, 20}, "Mouse Event for <unknown>"},
      {{7, 8}, "Other Event: End Of Path"},
      {{7, 25}, "Other Event: User Defined 15"},
      {{7, 47}, "Other Event: Outside View 7"},
      {{7, 52}, "Other Event: Boundary View 2"},
      {{8, 0}, "Draw Event"},
      {{11, 0}, "Trigger Event: door_open"},
      {{11, 1}, "Trigger Event: <Deleted>"},
      {{12, 0}, "<Unknown Event>"},
  };
  for (const auto& [ev, name] : cases)
    EXPECT_EQ(GetEventName(ev.first, ev.second), name) << ev.first << "," << ev.second;
  ClearTriggers();
  ClearObjects();
}

}  // namespace

// An action list nested deeper than the runner follows is refused as it is
// read, instead of silently running nothing below the limit; the depth is
// counted the way the runner walks (questions, their else branches, repeats
// and blocks each one level).
TEST(ActionListTest, ListsNestedTooDeeplyAreRefusedWhenRead) {
  auto reload = [](const CEvent& ev) {
    CStream s;
    ev.SaveToStream(s);
    s.Seek(0);
    CEvent back;
    return back.LoadFromStream(s);
  };
  auto chain = [](int questions, int kind_after) {
    CEvent ev;
    for (int i = 0; i < questions; ++i) ev.AddAction(Ask(1));
    ev.AddAction(CAction(kind_after));
    return ev;
  };
  // n questions in a row put the action after them at depth n + 1.
  EXPECT_EQ(chain(kMaxActionNesting - 1, kActNormal).NestingDepth(kMaxActionNesting), kMaxActionNesting);
  EXPECT_TRUE(reload(chain(kMaxActionNesting - 1, kActNormal)));
  EXPECT_FALSE(reload(chain(kMaxActionNesting, kActNormal)));

  CEvent blocks;
  for (int i = 0; i < kMaxActionNesting; ++i) blocks.AddAction(CAction(kActBeginBlock));
  blocks.AddAction(CAction(kActNormal));
  EXPECT_EQ(blocks.NestingDepth(kMaxActionNesting), kMaxActionNesting + 1);
  EXPECT_FALSE(reload(blocks));

  // Flat lists, a question with an else and a repeat of a block stay shallow.
  CEvent flat;
  flat.AddAction(Ask(1));
  flat.AddAction(CAction(kActNormal));
  flat.AddAction(CAction(kActElse));
  flat.AddAction(CAction(kActRepeat));
  flat.AddAction(CAction(kActBeginBlock));
  flat.AddAction(CAction(kActNormal));
  flat.AddAction(CAction(kActEndBlock));
  for (int i = 0; i < 5000; ++i) flat.AddAction(CAction(kActNormal));
  EXPECT_EQ(flat.NestingDepth(kMaxActionNesting), 4);  // the else branch's repeated block
  EXPECT_TRUE(reload(flat));
}
