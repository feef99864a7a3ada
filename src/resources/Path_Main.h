#pragma once
// The path table: paths by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Path_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CPath>& PathList();
int PathCount();
bool PathExists(int index);
CPath* GetPath(int index);
std::string GetPathName(int index);
int FindPath(std::string_view name);
// Appends an empty path named "__newpath" + index; returns the index.
int AddPath();
int DuplicatePath(int index);
bool AssignPath(int target, int source);
bool DeletePath(int index);
void ClearPaths();

// The paths section of the game file: a resource list of version 800.
bool LoadSection_Paths(CStream& stream);
void SaveSection_Paths(CStream& stream);
