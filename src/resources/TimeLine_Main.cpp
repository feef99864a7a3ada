#include "resources/TimeLine_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CTimeLine>& TimeLineList() {
  static CResourceList<CTimeLine> list;
  return list;
}
int TimeLineCount() { return TimeLineList().Count(); }
bool TimeLineExists(int index) { return TimeLineList().Exists(index); }
CTimeLine* GetTimeLine(int index) { return TimeLineList().Get(index); }
std::string GetTimeLineName(int index) { return TimeLineList().Name(index); }
int FindTimeLine(std::string_view name) { return TimeLineList().Find(name); }
int AddTimeLine() { return TimeLineList().Add(std::make_unique<CTimeLine>(), "timeline"); }
int DuplicateTimeLine(int index) { return TimeLineList().Duplicate(index, "timeline"); }
bool AssignTimeLine(int target, int source) { return TimeLineList().Assign(target, source); }
bool DeleteTimeLine(int index) { return TimeLineList().Delete(index); }
void ClearTimeLines() { TimeLineList().Clear(); }

bool LoadSection_TimeLines(CStream& stream) { return LoadResourceSection(stream, TimeLineList()); }
void SaveSection_TimeLines(CStream& stream) { SaveResourceSection(stream, TimeLineList()); }
bool CompileTimeLines() {
  for (int i = 0; i < TimeLineCount(); ++i) {
    CTimeLine* t = GetTimeLine(i);
    if (t == nullptr) continue;
    CompileContext() = RCompileContext{};
    CompileContext().object = i;
    if (!t->Compile()) return false;
  }
  return true;
}
