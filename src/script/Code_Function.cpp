#include "script/Code_Function.h"

#include <unordered_map>

namespace {
std::vector<RFunction>& Table() {
  static std::vector<RFunction> table;
  return table;
}
std::unordered_map<std::string, int>& Index() {
  static std::unordered_map<std::string, int> index;
  return index;
}
}  // namespace

void FunctionAdd(const std::string& name, BuiltinRoutine routine, int argnumb) {
  auto& table = Table();
  // The first registration of a name wins, as a linear search from the start would find it.
  Index().emplace(name, static_cast<int>(table.size()));
  table.push_back(RFunction{name, routine, argnumb});
}

int FunctionFindBuiltin(std::string_view name) {
  auto& index = Index();
  auto it = index.find(std::string(name));
  return it == index.end() ? -1 : it->second;
}

int FunctionCount() { return static_cast<int>(Table().size()); }

const RFunction& FunctionGet(int id) { return Table().at(static_cast<size_t>(id)); }
