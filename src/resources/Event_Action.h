#pragma once
// Running an event's action list: blocks, questions with else, repeat, exit
// and the applies-to targets. What a single action does (calling a function,
// running code with its arguments) and which instances exist belong to the
// language and the runtime; they reach the action list through this
// interface.
#include <string>
#include <vector>

#include "resources/Event_Class.h"
#include "script/RValue.h"

class CInstance;
class CCode;

class IActionHost {
 public:
  virtual ~IActionHost() = default;
  // True once a room change, restart or end is pending.
  virtual bool RoomChangePending() = 0;
  // The active instances of object obj and its descendants, in the room's
  // per-object list order (empty when obj names no object).
  virtual std::vector<CInstance*> InstancesOf(int obj) = 0;
  virtual bool IsMarked(CInstance* inst) = 0;
  // Performs one action of execution type 1 or 2 for (self, other) and
  // returns its result (a question's answer is result >= 0.5).
  virtual RValue PerformAction(CAction& act, CInstance* self, CInstance* other) = 0;
  // Value of argument i: its constant, or its expression evaluated.
  virtual RValue EvaluateArgument(CAction& act, int i, CInstance* self, CInstance* other) = 0;
  // The action about to run, for error messages.
  virtual void SetCurrentAction(int /*index*/) {}
};

// The host used by RunActionList; null selects the interpreter host below.
void SetActionHost(IActionHost* host);
IActionHost* GetActionHost();

// The host that runs actions with the language's interpreter: functions by
// id (built-ins, scripts, extension functions), code with its arguments in
// argument0.. and argument_relative, instances from the language's instance
// source. Whether a room change is pending is asked from the hook below,
// which the room runtime installs (none: never pending).
class CInterpreterActionHost : public IActionHost {
 public:
  bool RoomChangePending() override;
  std::vector<CInstance*> InstancesOf(int obj) override;
  bool IsMarked(CInstance* inst) override;
  RValue PerformAction(CAction& act, CInstance* self, CInstance* other) override;
  RValue EvaluateArgument(CAction& act, int i, CInstance* self, CInstance* other) override;

 private:
  // Functions, and code with arguments or inside code that has some.
  __attribute__((noinline)) void PerformActionGeneral(CAction& act, CInstance* self, CInstance* other,
                                                      RValue& result);
};
void SetRoomChangePendingHook(bool (*pending)());

void RunActionList(CInstance* self, CInstance* other, CEvent* event);

// The list's only action when the list is one action performed on self (no
// block, question, repeat or exit, no other target), else null. Running such
// a list is RunSingleAction of that action, which a step phase uses for every
// receiving instance instead of walking the list each time.
inline CAction* SingleSelfAction(CEvent* event) {
  if (event == nullptr || event->e_number != 1 || event->e_actions.empty()) return nullptr;
  CAction& a = event->e_actions[0];
  switch (a.act_kind) {
    case kActBeginBlock:
    case kActEndBlock:
    case kActElse:
    case kActExit:
    case kActRepeat:
      return nullptr;
    default:
      break;
  }
  if (a.act_isquestion || a.act_exetype == kExeNone) return nullptr;
  if (a.act_useapplyto && a.act_who != -1) return nullptr;
  return &a;
}
void RunSingleAction(CAction& act, CInstance* self, CInstance* other);

// The interpreter host's PerformAction of one code action without arguments
// for many instances in a row, as a step phase runs it: the argument frame's
// count and name and argument_relative are kept once for the whole run
// instead of once per instance, and what each code wrote to the frame is
// cleared after it, so every instance starts as PerformAction would start
// it. Usable only while the frame is clean (Ready); the caller keeps the
// pending check and the action's place, as RunSingleAction does.
class CPlainCodeRun {
 public:
  explicit CPlainCodeRun(const CAction& act);
  ~CPlainCodeRun();
  CPlainCodeRun(const CPlainCodeRun&) = delete;
  CPlainCodeRun& operator=(const CPlainCodeRun&) = delete;

  // False when the action has arguments or is no compiled code, or the
  // frame holds something: then PerformAction is the way.
  bool Ready() const { return code_ != nullptr; }
  void Perform(CInstance* self, CInstance* other);
  // The last code's result.
  RValue& Result() { return result_; }

 private:
  const CCode* code_ = nullptr;
  double relative_ = 0;
  int savedcount_ = 0;
  const std::string* savedname_ = nullptr;
  double savedrel_ = 0;
  RValue result_;
};
