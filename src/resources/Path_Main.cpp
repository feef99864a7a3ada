#include "resources/Path_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CPath>& PathList() {
  static CResourceList<CPath> list;
  return list;
}
int PathCount() { return PathList().Count(); }
bool PathExists(int index) { return PathList().Exists(index); }
CPath* GetPath(int index) { return PathList().Get(index); }
std::string GetPathName(int index) { return PathList().Name(index); }
int FindPath(std::string_view name) { return PathList().Find(name); }
int AddPath() { return PathList().Add(std::make_unique<CPath>(), "path"); }
int DuplicatePath(int index) { return PathList().Duplicate(index, "path"); }
bool AssignPath(int target, int source) { return PathList().Assign(target, source); }
bool DeletePath(int index) { return PathList().Delete(index); }
void ClearPaths() { PathList().Clear(); }

bool LoadSection_Paths(CStream& stream) { return LoadResourceSection(stream, PathList()); }
void SaveSection_Paths(CStream& stream) { SaveResourceSection(stream, PathList()); }
