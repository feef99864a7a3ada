#pragma once
// The seam through which the script language finds instances: the current
// room's active list (for "all" and instance ids) and the per-object lists that
// include descendants (for object indices). The room runtime installs its own
// source with SetInstanceSource; until then a plain list serves (tests, --eval).
//
// Loops over a source take the count once and then fetch by position; At and
// ObjAt return nullptr for a position that is no longer valid, and every
// caller skips instances whose i_marked is set.
#include <vector>

class CInstance;

class IInstanceSource {
 public:
  virtual ~IInstanceSource() = default;
  // Active instances of the current room, in room order.
  virtual int Count() = 0;
  virtual CInstance* At(int pos) = 0;
  // Instances of an object and of its descendants (Obj_Number_Recursive /
  // Obj_Instance_Recursive of the room).
  virtual int ObjCount(int objectindex) = 0;
  virtual CInstance* ObjAt(int objectindex, int k) = 0;
};

// The source in use (never null).
IInstanceSource& Instances();
// Installs a source; nullptr restores the built-in simple list.
void SetInstanceSource(IInstanceSource* source);

// The built-in source: a list of instances, objects without parents.
class CSimpleInstanceList : public IInstanceSource {
 public:
  std::vector<CInstance*> list;  // not owned
  int Count() override { return static_cast<int>(list.size()); }
  CInstance* At(int pos) override;
  int ObjCount(int objectindex) override;
  CInstance* ObjAt(int objectindex, int k) override;
};
CSimpleInstanceList& SimpleInstanceList();
