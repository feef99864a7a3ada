#include "script/Code_Variable.h"

#include <unordered_map>
#include <vector>

#include "script/Variable_Main.h"

namespace {
struct NameTable {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> index;
};
NameTable& Names() {
  static NameTable t;
  return t;
}
int g_argsCount = 0;
bool g_argsArray = false;

// argumentN for N in 0..15 gives N, `argument` gives -2, anything else -1.
int ArgumentNumber(std::string_view name) {
  constexpr std::string_view kArg = "argument";
  if (name.substr(0, kArg.size()) != kArg) return -1;
  std::string_view rest = name.substr(kArg.size());
  if (rest.empty()) return -2;
  if (rest.size() > 2 || rest[0] < '0' || rest[0] > '9') return -1;
  int n = rest[0] - '0';
  if (rest.size() == 2) {
    if (rest[0] == '0' || rest[1] < '0' || rest[1] > '9') return -1;
    n = n * 10 + (rest[1] - '0');
  }
  return n <= 15 ? n : -1;
}
}  // namespace

void CompileArgsReset() {
  g_argsCount = 0;
  g_argsArray = false;
}
int CompileArgsCount() { return g_argsCount; }
bool CompileArgsArray() { return g_argsArray; }

int VariableFind(std::string_view name) {
  int id = BuiltinVariableFind(name);
  if (id >= 0) {
    int n = ArgumentNumber(name);
    if (n == -2) g_argsArray = true;
    else if (n >= 0 && n + 1 > g_argsCount) g_argsCount = n + 1;
    return id;
  }
  auto& t = Names();
  std::string key(name);
  auto it = t.index.find(key);
  if (it != t.index.end()) return kUserVarBase + it->second;
  int pos = static_cast<int>(t.names.size());
  t.names.push_back(key);
  t.index.emplace(std::move(key), pos);
  return kUserVarBase + pos;
}

int UserVariableFind(std::string_view name) {
  auto& t = Names();
  auto it = t.index.find(std::string(name));
  return it == t.index.end() ? -1 : kUserVarBase + it->second;
}

int UserVariableCount() { return static_cast<int>(Names().names.size()); }

std::string VariableGetName(int id) {
  if (id < kUserVarBase) {
    if (id >= 0 && id < BuiltinVariableCount()) return std::string(BuiltinVariableGet(id).name);
    return "<unknown built-in variable>";
  }
  auto& t = Names();
  size_t pos = static_cast<size_t>(id - kUserVarBase);
  if (pos >= t.names.size()) return "<unknown variable>";
  return t.names[pos];
}
