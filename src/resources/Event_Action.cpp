#include "resources/Event_Action.h"

#include <cmath>

#include "resources/Event_Class.h"

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
    // Questions nest one level per action; a list deeper than any real one
    // is cut off instead of exhausting the stack.
    if (depth_ >= kMaxDepth) return kStop;
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
  static constexpr int kMaxDepth = 2000;
};
}  // namespace

void SetActionHost(IActionHost* host) { g_host = host; }
IActionHost* GetActionHost() { return g_host; }

void RunActionList(CInstance* self, CInstance* other, CEvent* event) {
  if (g_host == nullptr || event == nullptr) return;
  CActionRun(*g_host, self, other, *event).RunAll();
}
