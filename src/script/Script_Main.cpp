#include "script/Script_Main.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/Support_Stream.h"
#include "script/Code_Error.h"
#include "script/Script_Class.h"

namespace {
struct List {
  std::vector<std::unique_ptr<CScript>> scripts;
  std::vector<std::string> names;
  std::unordered_map<std::string, int> first;  // name -> lowest present index
};
List g_scripts;
inline List& Scripts() { return g_scripts; }
const std::string kUndefined = "<undefined>";
}  // namespace

// Starts above 0, the epoch of a call node that was never resolved.
unsigned g_scriptEpoch = 1;

int ScriptCount() { return static_cast<int>(Scripts().scripts.size()); }

void ScriptsClear() {
  List& l = Scripts();
  ScriptsChanged();
  l.scripts.clear();
  l.names.clear();
  l.first.clear();
}

static int ScriptAppend(const std::string& name, std::unique_ptr<CScript> script) {
  List& l = Scripts();
  int index = static_cast<int>(l.scripts.size());
  ScriptsChanged();
  if (script) l.first.emplace(name, index);
  l.scripts.push_back(std::move(script));
  l.names.push_back(name);
  return index;
}

int ScriptAdd(const std::string& name, const std::string& text) {
  auto script = std::make_unique<CScript>();
  script->s_text = text;
  return ScriptAppend(name, std::move(script));
}

int ScriptFind(std::string_view name) {
  List& l = Scripts();
  if (l.first.empty()) return -1;
  auto it = l.first.find(std::string(name));
  return it == l.first.end() ? -1 : it->second;
}

const std::string& ScriptGetName(int index) {
  List& l = Scripts();
  if (index < 0 || index >= ScriptCount() || !l.scripts[static_cast<size_t>(index)]) return kUndefined;
  return l.names[static_cast<size_t>(index)];
}

CScript* ScriptGet(int index) {
  if (index < 0 || index >= ScriptCount()) return nullptr;
  return Scripts().scripts[static_cast<size_t>(index)].get();
}

CScript* ScriptGetNamed(int index, const std::string*& name) {
  const List& l = Scripts();
  if (static_cast<size_t>(index) >= l.scripts.size()) return nullptr;
  name = &l.names[static_cast<size_t>(index)];
  return l.scripts[static_cast<size_t>(index)].get();
}

bool ScriptsCompileAll() {
  List& l = Scripts();
  for (size_t i = 0; i < l.scripts.size(); ++i) {
    CScript* s = l.scripts[i].get();
    if (!s) continue;
    if (!s->Compile()) {
      ReportError("COMPILATION ERROR in Script: " + l.names[i] + "\r" + ErrorText(), true);
      return false;
    }
  }
  return true;
}

bool LoadSection_Scripts(CStream& stream) {
  ScriptsClear();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionScripts, count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    CStream block = stream.ReadStreamC();
    if (!block.ReadBoolean()) {
      ScriptAppend("", nullptr);
      continue;
    }
    std::string name = block.ReadString();
    auto script = std::make_unique<CScript>();
    if (!script->LoadFromStream(block)) return false;
    ScriptAppend(name, std::move(script));
  }
  return true;
}
