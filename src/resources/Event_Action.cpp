#include "resources/Event_Action.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "resources/Event_Class.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Spaces.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Variable_BuiltIn.h"

namespace {
IActionHost* g_host = nullptr;

constexpr int kStop = -1;

class CActionRun {
 public:
  CActionRun(IActionHost& host, CInstance* self, CInstance* other, CEvent& ev)
      : host_(host), self_(self), other_(other), ev_(ev), n_(ev.e_number) {}

  void RunAll() {
    int i = 0;
    while (i != kStop && i < n_) i = Run(i);
  }

 private:
  CAction& At(int i) { return ev_.e_actions[size_t(i)]; }
  int Kind(int i) { return At(i).act_kind; }

  int Run(int i) {
    if (i >= n_ || host_.RoomChangePending()) return kStop;
    // Questions nest one level per action; lists deeper than this are
    // refused when loaded, and one built in memory is cut off here instead
    // of exhausting the stack.
    if (depth_ >= kMaxActionNesting) return kStop;
    struct Guard {
      int& d;
      explicit Guard(int& x) : d(++x) {}
      ~Guard() { --d; }
    } guard(depth_);
    int r;
    CAction& a = At(i);
    if (a.act_kind == kActBeginBlock) r = Block(i);
    else if (a.act_kind == kActRepeat) r = Repeat(i);
    else if (a.act_isquestion) r = Question(i);
    else r = Normal(i);
    if (host_.RoomChangePending()) return kStop;
    return r;
  }

  int Normal(int i) {
    CAction& a = At(i);
    if (a.act_kind == kActExit) return kStop;
    if (a.act_kind == kActEndBlock || a.act_kind == kActElse || a.act_exetype == kExeNone)
      return i + 1;
    host_.SetCurrentAction(i);
    PerformForTargets(a);
    return i + 1;
  }

  int Question(int i) {
    host_.SetCurrentAction(i);
    const bool ans = Ask(At(i));
    int r = i + 1;
    if (ans) {
      r = Run(r);
      if (r == kStop) return kStop;
    } else {
      r = Skip(r);
    }
    if (r < n_ && Kind(r) == kActElse) {
      if (ans) r = Skip(r + 1);
      else {
        r = Run(r + 1);
        if (r == kStop) return kStop;
      }
    }
    return r;
  }

  int Block(int i) {
    int j = i + 1;
    while (j < n_ && Kind(j) != kActEndBlock) {
      j = Run(j);
      if (j == kStop) return kStop;
    }
    return j < n_ ? j + 1 : n_;
  }

  int Repeat(int i) {
    host_.SetCurrentAction(i);
    const RValue v = host_.EvaluateArgument(At(i), 0, self_, other_);
    const double count = v.IsReal() ? std::nearbyint(v.val) : 0;
    for (double k = 0; k < count; ++k) {
      if (Run(i + 1) == kStop) return kStop;
    }
    return Skip(i + 1);
  }

  int Skip(int i) {
    // A question or a repeat is skipped together with the action after it.
    while (i < n_ && (At(i).act_isquestion || Kind(i) == kActRepeat) && Kind(i) != kActBeginBlock)
      ++i;
    if (i >= n_) return n_;
    CAction& a = At(i);
    if (a.act_kind == kActBeginBlock) {
      int depth = 1;
      for (int j = i + 1; j < n_; ++j) {
        if (Kind(j) == kActBeginBlock) ++depth;
        else if (Kind(j) == kActEndBlock && --depth == 0) return j + 1;
      }
      return n_;
    }
    return i + 1;
  }

  static bool Truth(const RValue& v) { return v.IsReal() && v.val >= 0.5; }

  void PerformForTargets(CAction& a) {
    if (!a.act_useapplyto || a.act_who == -1) {
      host_.PerformAction(a, self_, other_);
    } else if (a.act_who == -2) {
      host_.PerformAction(a, other_, self_);
    } else if (a.act_who >= 0) {
      for (CInstance* inst : host_.InstancesOf(a.act_who)) {
        if (host_.IsMarked(inst)) continue;
        host_.PerformAction(a, inst, other_);
        if (host_.RoomChangePending()) break;
      }
    }
  }

  bool Ask(CAction& a) {
    if (a.act_exetype == kExeNone) return false;
    bool ans = true;
    if (!a.act_useapplyto || a.act_who == -1) {
      ans = Truth(host_.PerformAction(a, self_, other_));
    } else if (a.act_who == -2) {
      ans = Truth(host_.PerformAction(a, other_, self_));
    } else if (a.act_who >= 0) {
      for (CInstance* inst : host_.InstancesOf(a.act_who)) {
        if (host_.IsMarked(inst)) continue;
        if (!Truth(host_.PerformAction(a, inst, other_))) {
          ans = false;
          break;
        }
        if (host_.RoomChangePending()) break;
      }
    } else {
      return true;  // no target: nothing asked
    }
    return a.act_isnot ? !ans : ans;
  }

  IActionHost& host_;
  CInstance* self_;
  CInstance* other_;
  CEvent& ev_;
  const int n_;
  int depth_ = 0;
};
}  // namespace

namespace {
bool (*g_roomChangePending)() = nullptr;
constexpr int kExtensionBase = 500000;
}  // namespace

void SetRoomChangePendingHook(bool (*pending)()) { g_roomChangePending = pending; }

bool CInterpreterActionHost::RoomChangePending() { return g_roomChangePending && g_roomChangePending(); }

std::vector<CInstance*> CInterpreterActionHost::InstancesOf(int obj) {
  std::vector<CInstance*> out;
  if (obj < 0) return out;
  IInstanceSource& src = Instances();
  const int n = src.ObjCount(obj);
  for (int k = 0; k < n; ++k)
    if (CInstance* inst = src.ObjAt(obj, k)) out.push_back(inst);
  return out;
}

bool CInterpreterActionHost::IsMarked(CInstance* inst) { return inst == nullptr || inst->i_marked; }

RValue CInterpreterActionHost::EvaluateArgument(CAction& act, int i, CInstance* self, CInstance* other) {
  if (i < 0 || i >= kMaxActionArgs) return RValue();
  const size_t k = size_t(i);
  if (act.act_argtype[k] == 0 && act.act_argcode[k]) {
    RValue v;
    ExecuteCodeReport(self, other, act.act_argcode[k].get(), v);
    return v;
  }
  return act.act_argvalue[k];
}

CPlainCodeRun::CPlainCodeRun(const CAction& act) {
  if (act.act_exetype != kExeCode || !act.act_codecode || act.act_argumentcount > 0) return;
  const RArgFrame& frame = CurrentArgs();
  if (frame.dirty > 0) return;
  code_ = act.act_codecode.get();
  relative_ = (act.act_userelative && act.act_relative) ? 1 : 0;
  savedcount_ = frame.count;
  savedname_ = frame.name;
  savedrel_ = argument_relative;
}

CPlainCodeRun::~CPlainCodeRun() {
  if (code_ != nullptr) argument_relative = savedrel_;
}

namespace {
// Out of line: the rare code that writes its arguments would otherwise make
// every plain perform save and restore registers.
__attribute__((noinline)) void ClearSlots(RArgFrame& frame) {
  const int touched = std::min(frame.dirty, 16);
  for (int i = 0; i < touched; ++i) frame.slots[i] = RValue();
}
}  // namespace

// No arguments and a clean frame (every slot real 0): nothing is kept but
// the frame's count and name, and the slots the code wrote go back to 0.
void CPlainCodeRun::Perform(CInstance* self, CInstance* other) {
  // Each code starts from real 0, as PerformAction's fresh result; a real
  // may keep stale text, which is never observed.
  result_.SetReal(0);
  argument_relative = relative_;
  ExecuteCodeReport(self, other, code_, result_);
  RArgFrame& after = CurrentArgs();
  if (after.dirty > 0) ClearSlots(after);
  after.count = savedcount_;
  after.dirty = 0;
  after.name = savedname_;
}

RValue CInterpreterActionHost::PerformAction(CAction& act, CInstance* self, CInstance* other) {
  RValue result;
  {
    CPlainCodeRun plain(act);
    if (plain.Ready()) {
      plain.Perform(self, other);
      result = std::move(plain.Result());
      return result;
    }
  }
  PerformActionGeneral(act, self, other, result);
  return result;
}

void CInterpreterActionHost::PerformActionGeneral(CAction& act, CInstance* self, CInstance* other, RValue& result) {
  const int n = std::clamp(act.act_argumentcount, 0, kMaxActionArgs);
  if (act.act_exetype == kExeFunction) {
    argument_relative = (act.act_userelative && act.act_relative) ? 1 : 0;
    RValue args[kMaxActionArgs];
    for (int i = 0; i < n; ++i) args[i] = EvaluateArgument(act, i, self, other);
    const int id = act.act_functionid;
    if (id >= kExtensionBase) {
      ExtensionFunctionCall(id - kExtensionBase, self, other, result, args, n);
    } else if (id >= kScriptFunctionBase) {
      ExecuteScript(id - kScriptFunctionBase, self, other, result, true, args, n);
    } else if (id >= 0 && id < FunctionCount()) {
      if (BuiltinRoutine r = FunctionGet(id).f_routine) r(self, other, n, result, args);
    }
  } else if (act.act_exetype == kExeCode && act.act_codecode) {
    // The action's arguments are argument0.. while its code runs; what the
    // surrounding code had there comes back afterwards. Slots at and above
    // the frame's `dirty` mark hold real 0, so only the slots below it are
    // kept: an event run from the main loop (mark 0, the usual case) saves
    // nothing.
    RArgFrame& frame = CurrentArgs();
    const int savedcount = frame.count, saveddirty = std::clamp(frame.dirty, 0, 16);
    const std::string* savedname = frame.name;
    std::vector<RValue> savedslots;
    if (saveddirty > 0) savedslots.assign(frame.slots, frame.slots + saveddirty);
    const double savedrel = argument_relative;
    argument_relative = (act.act_userelative && act.act_relative) ? 1 : 0;
    for (int i = 0; i < n; ++i) {
      frame.slots[i] = EvaluateArgument(act, i, self, other);
      frame.count = std::max(frame.count, i + 1);
      frame.dirty = std::max(frame.dirty, i + 1);
    }
    ExecuteCodeReport(self, other, act.act_codecode.get(), result);
    RArgFrame& after = CurrentArgs();
    const int touched = std::clamp(after.dirty, 0, 16);
    for (int i = 0; i < saveddirty; ++i) after.slots[i] = std::move(savedslots[size_t(i)]);
    for (int i = saveddirty; i < touched; ++i) after.slots[i] = RValue();
    after.count = savedcount;
    after.dirty = saveddirty;
    after.name = savedname;
    argument_relative = savedrel;
  }
}

void SetActionHost(IActionHost* host) { g_host = host; }
IActionHost* GetActionHost() { return g_host; }

namespace {
CInterpreterActionHost g_interpreter;
IActionHost& Host() { return g_host ? *g_host : g_interpreter; }
}  // namespace

void RunActionList(CInstance* self, CInstance* other, CEvent* event) {
  if (event == nullptr) return;
  CActionRun(Host(), self, other, *event).RunAll();
}

// What CActionRun does for a one-action list: the pending check, the
// action's place for error messages, the action on self.
void RunSingleAction(CAction& act, CInstance* self, CInstance* other) {
  IActionHost& host = Host();
  if (host.RoomChangePending()) return;
  host.SetCurrentAction(0);
  host.PerformAction(act, self, other);
}
