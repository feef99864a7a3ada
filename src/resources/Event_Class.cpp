#include "resources/Event_Class.h"

#include <algorithm>

#include "runner/Support_Stream.h"

RCompileContext& CompileContext() {
  static RCompileContext ctx;
  return ctx;
}

bool CEvent::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 400) return false;
  const int n = str.ReadInteger();
  // An action record takes at least 60 bytes; actions are added as they
  // are read, so memory follows the data actually present.
  if (n < 0 || uint64_t(n) * 60 > str.Remaining()) return false;
  for (int i = 0; i < n; ++i) {
    CAction a;
    if (!a.LoadFromStream(str)) {
      Clear();
      return false;
    }
    e_actions.push_back(std::move(a));
  }
  e_number = n;
  if (NestingDepth(kMaxActionNesting) > kMaxActionNesting) {
    Clear();
    return false;
  }
  return true;
}

namespace {

// Follows the action runner's walk without performing anything: a question's
// next action (and its else branch), a repeat's next action and a block's
// contents each run one level deeper.
class CNestingWalk {
 public:
  CNestingWalk(const CEvent& ev, int limit) : ev_(ev), n_(ev.e_number), limit_(limit) {}
  int Deepest() {
    int i = 0;
    while (i < n_ && deepest_ <= limit_) i = Walk(i, 1);
    return deepest_;
  }

 private:
  int Kind(int i) const { return ev_.e_actions[size_t(i)].act_kind; }
  bool Question(int i) const { return ev_.e_actions[size_t(i)].act_isquestion; }

  int Walk(int i, int depth) {
    if (i >= n_) return n_;
    deepest_ = std::max(deepest_, depth);
    if (depth > limit_) return n_;
    if (Kind(i) == kActBeginBlock) {
      int j = i + 1;
      while (j < n_ && Kind(j) != kActEndBlock && deepest_ <= limit_) j = Walk(j, depth + 1);
      return j < n_ ? j + 1 : n_;
    }
    if (Kind(i) == kActRepeat) {
      Walk(i + 1, depth + 1);
      return Skip(i + 1);
    }
    if (Question(i)) {
      int r = Walk(i + 1, depth + 1);
      if (r < n_ && Kind(r) == kActElse) r = Walk(r + 1, depth + 1);
      return r;
    }
    return i + 1;
  }

  // The same skip as the runner's: a question or repeat with what follows it.
  int Skip(int i) const {
    while (i < n_ && (Question(i) || Kind(i) == kActRepeat) && Kind(i) != kActBeginBlock) ++i;
    if (i >= n_) return n_;
    if (Kind(i) == kActBeginBlock) {
      int depth = 1;
      for (int j = i + 1; j < n_; ++j) {
        if (Kind(j) == kActBeginBlock) ++depth;
        else if (Kind(j) == kActEndBlock && --depth == 0) return j + 1;
      }
      return n_;
    }
    return i + 1;
  }

  const CEvent& ev_;
  const int n_;
  const int limit_;
  int deepest_ = 0;
};

}  // namespace

int CEvent::NestingDepth(int limit) const { return CNestingWalk(*this, limit).Deepest(); }

void CEvent::SaveToStream(CStream& str) const {
  str.WriteInteger(400);
  str.WriteInteger(e_number);
  for (int i = 0; i < e_number; ++i) e_actions[size_t(i)].SaveToStream(str);
}

bool CEvent::Compile() {
  for (int i = 0; i < e_number; ++i) {
    CompileContext().action = i;
    if (!e_actions[size_t(i)].Compile()) return false;
  }
  return true;
}
