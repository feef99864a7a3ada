#include "resources/TimeLine_Class.h"

#include "runner/Support_Stream.h"
#include "script/Code_Spaces.h"

void CTimeLine::Clear() {
  s_event.clear();
  s_step.clear();
  s_count = 0;
}

void CTimeLine::Assign(const CTimeLine& tl) {
  if (&tl == this) return;
  Clear();
  for (int i = 0; i < tl.s_count; ++i) {
    s_event.push_back(std::make_unique<CEvent>(*tl.s_event[size_t(i)]));
    s_step.push_back(tl.s_step[size_t(i)]);
  }
  s_count = tl.s_count;
}

bool CTimeLine::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 500) return false;
  const int n = str.ReadInteger();
  // A moment takes at least 12 bytes (step, event version and count).
  if (n < 0 || uint64_t(n) * 12 > str.Remaining()) return false;
  for (int i = 0; i < n; ++i) {
    const int step = str.ReadInteger();
    auto ev = std::make_unique<CEvent>();
    if (!ev->LoadFromStream(str)) {
      Clear();
      return false;
    }
    s_step.push_back(step);
    s_event.push_back(std::move(ev));
  }
  s_count = n;
  return true;
}

void CTimeLine::SaveToStream(CStream& str) const {
  str.WriteInteger(500);
  str.WriteInteger(s_count);
  for (int i = 0; i < s_count; ++i) {
    str.WriteInteger(s_step[size_t(i)]);
    s_event[size_t(i)]->SaveToStream(str);
  }
}

bool CTimeLine::Compile() {
  for (int i = 0; i < s_count; ++i) {
    CompileContext().type = kTimelineEventType;
    CompileContext().number = s_step[size_t(i)];
    if (!s_event[size_t(i)]->Compile()) return false;
  }
  return true;
}

int CTimeLine::Find(double step) const {
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] == step) return i;
  return -1;
}

int CTimeLine::FindLarger(double position) const {
  if (s_count == 0) return -1;
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] >= position) return i;
  return s_count;
}

int CTimeLine::FindSmaller(double position) const {
  if (s_count == 0 || s_step[0] > position) return -1;
  int r = -1;
  for (int i = 0; i < s_count; ++i)
    if (s_step[size_t(i)] <= position) r = i;
  return r;
}

void CTimeLine::AddMoment(int step) {
  int i = 0;
  while (i < s_count && s_step[size_t(i)] < step) ++i;
  if (i < s_count && s_step[size_t(i)] == step) return;
  s_step.insert(s_step.begin() + i, step);
  s_event.insert(s_event.begin() + i, std::make_unique<CEvent>());
  ++s_count;
}

void CTimeLine::DeleteMoment(int step) {
  const int i = Find(step);
  if (i < 0) return;
  s_step.erase(s_step.begin() + i);
  s_event.erase(s_event.begin() + i);
  --s_count;
}
