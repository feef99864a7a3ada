#pragma once
// Global variables, the globalvar table, the built-in variable table and
// variable access through instances and owner codes.
#include <string>
#include <string_view>
#include <vector>

#include "script/Variable_Class.h"

class CInstance;
class CStream;

// ---- global variables ----
CVariableList& GlobalVars();
bool GlobalGetVar(int id, int index, RValue& out);
void GlobalSetVar(int id, int index, const RValue& value);
void GlobalDeclare(int id);
extern std::vector<char> g_globalDeclared;  // the globalvar table
inline bool GlobalIsDeclared(int id) {
  // An id below 100000 wraps around to a position far beyond the table.
  size_t p = static_cast<size_t>(id) - 100000u;
  return p < g_globalDeclared.size() && g_globalDeclared[p] != 0;
}
int GlobalDeclaredLength();  // current length of the globalvar table
void GlobalClear();
void GlobalSaveToStream(CStream& stream);
void GlobalLoadFromStream(CStream& stream);
// Reads a global block into vars and declared (the globalvar table) without
// touching the live globals. False when the block or its variable list does
// not carry its format marker; broken contents throw.
bool GlobalParseFromStream(CStream& stream, CVariableList& vars, std::vector<char>& declared);

// ---- built-in variables ----
using BuiltinGetter = bool (*)(CInstance* inst, int index, RValue& out);
using BuiltinSetter = bool (*)(CInstance* inst, int index, const RValue& value);

struct RBuiltinVariable {
  std::string_view name;  // static text: the table of names
  BuiltinGetter getter = nullptr;
  BuiltinSetter setter = nullptr;
  bool writable = false;
  // Set when the getter reads nothing but this real field of the instance,
  // so that arithmetic can read the field in place.
  double CInstance::* field = nullptr;
};

constexpr int kMaxBuiltinVariables = 500;

// The table itself (entries in id order). Inline so that the interpreter's
// reads of built-in variables do not pay a call to find a getter, and a
// variable rather than a function-local static so that they do not pay a
// guard check either (an empty vector is constant-initialised, so no order
// of initialisation can find it unmade).
inline constinit std::vector<RBuiltinVariable> g_builtinVariableTable;
inline std::vector<RBuiltinVariable>& BuiltinVariableTable() { return g_builtinVariableTable; }

// Appends an entry and returns its id; a full table gives id 0 and the
// message "INTERNAL ERROR: Adding too many variables".
// The name is static text (it is kept, not copied).
int BuiltinVariableAdd(std::string_view name, BuiltinGetter getter, BuiltinSetter setter, bool writable);
int BuiltinVariableFind(std::string_view name);
int BuiltinVariableCount();
const RBuiltinVariable& BuiltinVariableGet(int id);

// ---- access through instances and owners ----
bool InstanceGetVar(CInstance* inst, int id, int index, RValue& out);
// InstanceGetVar for a built-in id (below 10000).
inline bool BuiltinGetVar(CInstance* inst, int id, int index, RValue& out) {
  const std::vector<RBuiltinVariable>& table = BuiltinVariableTable();
  if (id < 0 || static_cast<size_t>(id) >= table.size()) return false;
  const BuiltinGetter get = table[static_cast<size_t>(id)].getter;
  return get != nullptr && get(inst, index, out);
}
bool InstanceSetVar(CInstance* inst, int id, int index, const RValue& value);
// InstanceSetVar for a built-in id (below 10000).
inline bool BuiltinSetVar(CInstance* inst, int id, int index, const RValue& value) {
  const std::vector<RBuiltinVariable>& table = BuiltinVariableTable();
  if (id < 0 || static_cast<size_t>(id) >= table.size()) return false;
  const RBuiltinVariable& var = table[static_cast<size_t>(id)];
  return var.writable && var.setter != nullptr && var.setter(inst, index, value);
}
bool OwnerGetVar(int owner, int id, int index, RValue& out);
bool OwnerSetVar(int owner, int id, int index, const RValue& value);
// The first active instance with that id (remembering the last two found).
CInstance* FindInstanceById(int id);
