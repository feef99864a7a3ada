#include "script/Code_Function.h"

#include <deque>

#include "script/Code_Constant.h"
#include "script/Function_Library.h"
#include "script/Code_Main.h"
#include "script/Name_Index.h"
#include "script/Script_Main.h"
#include "script/Variable_BuiltIn.h"

void InstallLanguageHooks();  // Code_Install.cpp

namespace {
std::vector<RFunction>& Table() {
  static std::vector<RFunction> table;
  return table;
}
CNameIndex& Index() {
  static CNameIndex index;
  return index;
}
RExtensionHooks g_ext;

// The libraries' names are static text; a name added on its own is copied
// here once, for the rest of the run.
void AddEntry(std::string_view name, BuiltinRoutine routine, int argnumb, const char* library) {
  auto& table = Table();
  // The first registration of a name wins, as a linear search from the start would find it.
  Index().Insert(name, static_cast<int>(table.size()));
  table.push_back(RFunction{name, routine, argnumb, library});
  g_builtinTable = table.data();
  g_builtinCount = static_cast<int>(table.size());
}
}  // namespace

const RFunction* g_builtinTable = nullptr;
int g_builtinCount = 0;

void FunctionAdd(std::string_view name, BuiltinRoutine routine, int argnumb) {
  static std::deque<std::string> copies;
  AddEntry(copies.emplace_back(name), routine, argnumb, "");
}

void FunctionReserve(size_t count) {
  Table().reserve(Table().size() + count);
  Index().Reserve(Index().Size() + count);
}

int FunctionFindBuiltin(std::string_view name) { return Index().Find(name); }

int FunctionCount() { return static_cast<int>(Table().size()); }

const RFunction& FunctionGet(int id) { return Table().at(static_cast<size_t>(id)); }

RExtensionHooks& ExtensionHooks() { return g_ext; }

int FunctionFind(std::string_view name) {
  int index = ScriptFind(name);
  if (index >= 0) return kScriptFunctionBase + index;
  if (g_ext.find) {
    int id = g_ext.find(name);
    if (id >= 0) return kExtensionFunctionBase + id;
  }
  return FunctionFindBuiltin(name);
}

int FunctionArgCount(int id) {
  if (id >= kExtensionFunctionBase) return g_ext.arg_count ? g_ext.arg_count(id - kExtensionFunctionBase) : -100;
  if (id >= kScriptFunctionBase) return -1;
  if (id >= 0 && id < FunctionCount()) return FunctionGet(id).f_argnumb;
  return -100;
}

bool ExtensionFunctionCall(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count) {
  if (!g_ext.call) return false;
  return g_ext.call(id, self, other, result, args, count);
}

void FunctionAddLibrary(const RFunctionLibrary& library) {
  for (const RBuiltin& f : library.functions) AddEntry(f.name, f.routine, f.argc, library.name);
  if (library.install) library.install();
}

void RegisterLanguage() {
  RegisterBuiltinVariables();
  ConstantsAddBuiltins();
  InstallLanguageHooks();
}
