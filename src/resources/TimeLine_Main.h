#pragma once
// The timeline table: timelines by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/TimeLine_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CTimeLine>& TimeLineList();
int TimeLineCount();
bool TimeLineExists(int index);
CTimeLine* GetTimeLine(int index);
std::string GetTimeLineName(int index);
int FindTimeLine(std::string_view name);
// Appends an empty timeline named "__newtimeline" + index; returns the index.
int AddTimeLine();
int DuplicateTimeLine(int index);
bool AssignTimeLine(int target, int source);
bool DeleteTimeLine(int index);
void ClearTimeLines();

// The timelines section of the game file: a resource list of version 800.
bool LoadSection_TimeLines(CStream& stream);
void SaveSection_TimeLines(CStream& stream);
// Compiles every time line in index order; stops at the first failure.
bool CompileTimeLines();
