#pragma once
// Time lines: moments (step numbers in increasing order), each with an
// action list.
#include <memory>
#include <vector>

#include "resources/Event_Class.h"

class CStream;

class CTimeLine {
 public:
  std::vector<std::unique_ptr<CEvent>> s_event;
  std::vector<int> s_step;
  int s_count = 0;

  void Clear();
  void Assign(const CTimeLine& tl);
  // Record: version 500, moment count, then per moment its step and event.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  bool Compile();

  int Find(double step) const;
  int FindLarger(double position) const;
  int FindSmaller(double position) const;
  void AddMoment(int step);
  void DeleteMoment(int step);
  CEvent* Event(int pos) const {
    return (pos >= 0 && pos < s_count) ? s_event[size_t(pos)].get() : nullptr;
  }
  int Step(int pos) const { return (pos >= 0 && pos < s_count) ? s_step[size_t(pos)] : 0; }
};
