#include "script/Variable_Main.h"

#include <cstdio>
#include <vector>

#include "runner/Support_Stream.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Variable.h"
#include "script/Name_Index.h"

std::vector<char> g_globalDeclared(10000, 0);

namespace {
CVariableList g_globals;


std::vector<RBuiltinVariable>& Builtins() { return BuiltinVariableTable(); }
CNameIndex& BuiltinIndex() {
  static CNameIndex index;
  return index;
}

// Room-list positions of the last two instances found by id.
int g_lastPos[2] = {-1, -1};
}  // namespace

CVariableList& GlobalVars() { return g_globals; }

bool GlobalGetVar(int id, int index, RValue& out) { return g_globals.GetVar(id, index, out); }

void GlobalSetVar(int id, int index, const RValue& value) { g_globals.SetVar(id, index, value); }

void GlobalDeclare(int id) {
  if (id < kUserVarBase) return;
  size_t p = static_cast<size_t>(id - kUserVarBase);
  if (p >= g_globalDeclared.size()) g_globalDeclared.resize(p + 1000, 0);
  g_globalDeclared[p] = 1;
  g_globals.Init(id);
}


int GlobalDeclaredLength() { return static_cast<int>(g_globalDeclared.size()); }

void GlobalClear() {
  g_globals.Clear();
  g_globalDeclared.assign(10000, 0);
}

int BuiltinVariableAdd(std::string_view name, BuiltinGetter getter, BuiltinSetter setter, bool writable) {
  auto& table = Builtins();
  if (table.size() >= kMaxBuiltinVariables) {
    std::fprintf(stderr, "INTERNAL ERROR: Adding too many variables\n");
    return 0;
  }
  int id = static_cast<int>(table.size());
  if (table.empty()) {
    table.reserve(kMaxBuiltinVariables);
    BuiltinIndex().Reserve(kMaxBuiltinVariables);
  }
  table.push_back(RBuiltinVariable{name, getter, setter, writable});
  BuiltinIndex().Insert(name, id);  // the first entry of a name wins, as a linear search would
  return id;
}

int BuiltinVariableFind(std::string_view name) { return BuiltinIndex().Find(name); }

int BuiltinVariableCount() { return static_cast<int>(Builtins().size()); }

const RBuiltinVariable& BuiltinVariableGet(int id) { return Builtins().at(static_cast<size_t>(id)); }

bool InstanceGetVar(CInstance* inst, int id, int index, RValue& out) {
  if (id > 9999) return inst->i_vars.GetVar(id, index, out);
  return BuiltinGetVar(inst, id, index, out);
}

bool InstanceSetVar(CInstance* inst, int id, int index, const RValue& value) {
  if (id > 9999) {
    inst->i_vars.SetVar(id, index, value);
    return true;
  }
  return BuiltinSetVar(inst, id, index, value);
}

CInstance* FindInstanceById(int id) {
  IInstanceSource& src = Instances();
  int n = src.Count();
  for (int k = 0; k < 2; ++k) {
    int pos = g_lastPos[k];
    if (pos >= 0 && pos < n) {
      CInstance* inst = src.At(pos);
      if (inst && inst->i_id == id) return inst;
    }
  }
  for (int pos = n - 1; pos >= 0; --pos) {
    CInstance* inst = src.At(pos);
    if (inst && inst->i_id == id) {
      g_lastPos[1] = g_lastPos[0];
      g_lastPos[0] = pos;
      return inst;
    }
  }
  return nullptr;
}

bool OwnerGetVar(int owner, int id, int index, RValue& out) {
  IInstanceSource& src = Instances();
  CInstance* found = nullptr;
  if (owner == -3) {
    int n = src.Count();
    for (int pos = 0; pos < n && !found; ++pos) {
      CInstance* inst = src.At(pos);
      if (inst && !inst->i_marked) found = inst;
    }
  } else if (owner >= 0 && owner <= 99999) {
    int n = src.ObjCount(owner);
    for (int k = 0; k < n && !found; ++k) {
      CInstance* inst = src.ObjAt(owner, k);
      if (inst && !inst->i_marked) found = inst;
    }
  } else if (owner > 99999) {
    found = FindInstanceById(owner);
    if (found && found->i_marked) found = nullptr;
  }
  if (!found) return false;
  return InstanceGetVar(found, id, index, out);
}

bool OwnerSetVar(int owner, int id, int index, const RValue& value) {
  IInstanceSource& src = Instances();
  if (owner == -3) {
    bool ok = true;
    int n = src.Count();
    for (int pos = 0; pos < n; ++pos) {
      CInstance* inst = src.At(pos);
      if (inst && !inst->i_marked) ok = InstanceSetVar(inst, id, index, value);
    }
    return ok;
  }
  if (owner >= 0 && owner <= 99999) {
    bool ok = true;
    int n = src.ObjCount(owner);
    for (int k = 0; k < n; ++k) {
      CInstance* inst = src.ObjAt(owner, k);
      if (inst && !inst->i_marked) ok = InstanceSetVar(inst, id, index, value);
    }
    return ok;
  }
  if (owner > 99999) {
    CInstance* inst = FindInstanceById(owner);
    if (!inst || inst->i_marked) return true;
    return InstanceSetVar(inst, id, index, value);
  }
  return false;
}

namespace {
constexpr int kGlobalMarker = 700;
}

void GlobalSaveToStream(CStream& stream) {
  stream.WriteInteger(kGlobalMarker);
  g_globals.SaveToStream(stream);
  stream.WriteInteger(static_cast<int32_t>(g_globalDeclared.size()));
  for (char flag : g_globalDeclared) stream.WriteBoolean(flag != 0);
}

namespace {
void ReadDeclared(CStream& stream, std::vector<char>& declared) {
  int32_t n = stream.ReadInteger();
  if (n < 0 || static_cast<size_t>(n) > stream.Remaining() / 4) throw EStreamError("Stream read error: bad count");
  declared.assign(static_cast<size_t>(n), 0);
  for (char& flag : declared) flag = stream.ReadBoolean() ? 1 : 0;
}
}  // namespace

void GlobalLoadFromStream(CStream& stream) {
  if (stream.ReadInteger() != kGlobalMarker) return;
  g_globals.LoadFromStream(stream);
  ReadDeclared(stream, g_globalDeclared);
}

bool GlobalParseFromStream(CStream& stream, CVariableList& vars, std::vector<char>& declared) {
  if (stream.ReadInteger() != kGlobalMarker || !vars.LoadFromStream(stream)) return false;
  ReadDeclared(stream, declared);
  return true;
}
