#include "script/Code_Constant.h"

#include <deque>
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
#include "script/Name_Index.h"
#include "script/Script_Main.h"

namespace {
struct Table {
  std::vector<RValue> values;
  CNameIndex newest;  // name -> newest position
  std::deque<std::string> copies;  // the names of the game's own constants
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

namespace {
// `name` is static text or a copy the table keeps.
template <class Value>
void AddEntry(std::string_view name, const Value& value) {
  Table& t = Constants();
  t.newest.Assign(name, static_cast<int>(t.values.size()));
  t.values.emplace_back(value);
}
}  // namespace

void ConstantAdd(const std::string& name, const RValue& value) {
  Table& t = Constants();
  // A name defined again needs no second copy: the index keeps the first.
  const std::string_view* key = t.newest.FindKey(name);
  AddEntry(key ? *key : std::string_view(t.copies.emplace_back(name)), value);
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
  const int at = t.newest.Find(name);
  if (at < 0) return false;
  out = t.values[static_cast<size_t>(at)];
  return true;
}

int ConstantCount() { return static_cast<int>(Constants().values.size()); }

void ConstantsAddBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  Table& t = Constants();
  t.values.reserve(t.values.size() + size_t(kBuiltinConstantCount));
  t.newest.Reserve(t.newest.Size() + size_t(kBuiltinConstantCount));
  for (int i = 0; i < kBuiltinConstantCount; ++i) AddEntry(kBuiltinConstants[i].name, kBuiltinConstants[i].value);
}
