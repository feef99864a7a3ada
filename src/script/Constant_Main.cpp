#include "script/Constant_Main.h"

#include "runner/DataNew_Main.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "runtime/Instance_Class.h"
#include "script/Code_Constant.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"

std::vector<std::pair<std::string, std::string>>& UserConstants() {
  static std::vector<std::pair<std::string, std::string>> list;
  return list;
}

namespace {
bool ValidName(const std::string& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    bool digit = c >= '0' && c <= '9';
    if (!(letter || (i > 0 && digit))) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}
}  // namespace

bool ConstantDefine(const std::string& rawname, const std::string& valuetext) {
  std::string name = Trim(rawname);
  if (!ValidName(name)) {
    ShowMessage("Constant name " + name + "  is not valid.");
    return false;
  }
  CCode code(valuetext, true);
  RValue value;
  bool ok = code.Compile();
  if (ok) {
    CInstance temp;
    ok = ExecuteCode(&temp, &temp, &code, value);
  }
  if (!ok) {
    ShowMessage("Value for constant " + name + "  is not valid.");
    return false;
  }
  ConstantAdd(name, value);
  return true;
}

bool ConstantsDefine() {
  for (const auto& [name, value] : UserConstants())
    if (!ConstantDefine(name, value)) return false;
  return true;
}

bool LoadSection_Constants(CStream& stream) {
  auto& list = UserConstants();
  list.clear();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionConstants, count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    std::string name = stream.ReadString();
    std::string value = stream.ReadString();
    list.emplace_back(std::move(name), std::move(value));
  }
  return true;
}
