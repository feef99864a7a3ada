#pragma once
// The object table: objects by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Object_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CObject>& ObjectList();
int ObjectCount();
bool ObjectExists(int index);
CObject* GetObject(int index);
std::string GetObjectName(int index);
int FindObject(std::string_view name);
// Appends an empty object named "__newobject" + index; returns the index.
int AddObject();
int DuplicateObject(int index);
bool AssignObject(int target, int source);
bool DeleteObject(int index);
void ClearObjects();

// The objects section: a resource list of version 800. Fails when a parent
// chain loops.
bool LoadSection_Objects(CStream& stream);
void SaveSection_Objects(CStream& stream);
// Compiles the actions of every object in index order; stops at the first
// failure.
bool CompileObjects();
// True when some object's parent chain comes back to an object of the chain.
bool ObjectParentsLoop();
