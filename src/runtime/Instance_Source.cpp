#include "runtime/Instance_Source.h"

#include "runtime/Instance_Class.h"

namespace {
IInstanceSource* g_source = nullptr;
}

CSimpleInstanceList& SimpleInstanceList() {
  static CSimpleInstanceList list;
  return list;
}

IInstanceSource& Instances() { return g_source ? *g_source : SimpleInstanceList(); }

void SetInstanceSource(IInstanceSource* source) { g_source = source; }

CInstance* CSimpleInstanceList::At(int pos) {
  if (pos < 0 || pos >= Count()) return nullptr;
  return list[static_cast<size_t>(pos)];
}

int CSimpleInstanceList::ObjCount(int objectindex) {
  int n = 0;
  for (CInstance* inst : list)
    if (inst->i_objectindex == objectindex) ++n;
  return n;
}

CInstance* CSimpleInstanceList::ObjAt(int objectindex, int k) {
  if (k < 0) return nullptr;
  for (CInstance* inst : list)
    if (inst->i_objectindex == objectindex && k-- == 0) return inst;
  return nullptr;
}
