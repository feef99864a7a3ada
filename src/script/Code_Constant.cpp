#include "script/Code_Constant.h"

#include <unordered_map>
#include <vector>

#include "resources/Background_Main.h"
#include "resources/Font_Main.h"
#include "resources/Object_Main.h"
#include "resources/Path_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sound_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "script/Script_Main.h"

namespace {
struct Table {
  std::vector<std::string> names;
  std::vector<RValue> values;
  std::unordered_map<std::string, int> newest;  // name -> newest position
};
Table& Constants() {
  static Table t;
  return t;
}
ResourceNameLookup g_resourceLookup = nullptr;

// The resource tables in their lookup order.
int FindResource(std::string_view name) {
  int (*const finders[])(std::string_view) = {FindObject, FindSprite,   FindSound, FindBackground, FindPath,
                                               FindFont,   FindTimeLine, ScriptFind, FindRoom, FindTriggerConstant};
  for (auto find : finders) {
    int index = find(name);
    if (index >= 0) return index;
  }
  return -1;
}
}  // namespace

void SetResourceNameLookup(ResourceNameLookup lookup) { g_resourceLookup = lookup; }

void ConstantAdd(const std::string& name, const RValue& value) {
  Table& t = Constants();
  t.newest[name] = static_cast<int>(t.names.size());
  t.names.push_back(name);
  t.values.push_back(value);
}

void ConstantAddReal(const std::string& name, double value) { ConstantAdd(name, RValue(value)); }

bool ConstantFind(std::string_view name, RValue& out) {
  int index = -1;
  if (g_resourceLookup) {
    if (g_resourceLookup(name, index)) {
      out.SetReal(index);
      return true;
    }
  } else if ((index = FindResource(name)) >= 0) {
    out.SetReal(index);
    return true;
  }
  Table& t = Constants();
  auto it = t.newest.find(std::string(name));
  if (it == t.newest.end()) return false;
  out = t.values[static_cast<size_t>(it->second)];
  return true;
}

int ConstantCount() { return static_cast<int>(Constants().names.size()); }

void ConstantsAddBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int i = 0; i < kBuiltinConstantCount; ++i) ConstantAddReal(kBuiltinConstants[i].name, kBuiltinConstants[i].value);
}
