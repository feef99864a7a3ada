// The package list, the package function tables, and calling package functions.
#include "script/Extension_Main.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "runner/DataNew_Class.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runtime/Instance_Class.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Constant_Main.h"
#include "script/Extension_Class.h"
#include "script/Support_DLL.h"

namespace {

constexpr const char* kSecureText = "In secure mode you cannot use extension packages.";

struct RPackageFunction {
  const CExtensionFunction* fn = nullptr;  // the first function with this id
  int external = -1;                       // entry of the external function table
  std::unique_ptr<CCode> code;             // a compiled script-file function
};

std::vector<std::unique_ptr<CExtensionPackage>> g_packages;
// Ids may be any non-negative number, so the tables are keyed, not dense.
std::unordered_map<int, RPackageFunction> g_functions;
std::unordered_map<std::string, int> g_byName;  // first function of each name
int g_maxId = 0;

bool Hook_Call(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count) {
  return ExtensionFunctionRun(id, self, other, result, args, count);
}

void InstallHooks() {
  RExtensionHooks& h = ExtensionHooks();
  h.find = ExtensionFunctionFind;
  h.arg_count = ExtensionFunctionArgCount;
  h.call = Hook_Call;
}

void Index() {
  g_functions.clear();
  g_byName.clear();
  g_maxId = 0;
  for (const auto& p : g_packages)
    for (const CExtensionFile& file : p->s_includes)
      for (const CExtensionFunction& f : file.s_functions) {
        if (f.s_id > g_maxId) g_maxId = f.s_id;
        if (f.s_id >= 0) {
          RPackageFunction& e = g_functions[f.s_id];
          if (e.fn == nullptr) e.fn = &f;
        }
        if (!f.s_name.empty()) g_byName.emplace(f.s_name, f.s_id);
      }
}

// Runs the init or final function of every file that names one.
bool RunFileFunctions(bool init) {
  for (const auto& p : g_packages) {
    for (const CExtensionFile& file : p->s_includes) {
      const std::string& name = init ? file.s_init : file.s_final;
      if (name.empty()) continue;
      if (SecureMode) {
        ReportError(kSecureText, true);
        return false;
      }
      const CExtensionFunction* f = file.FunctionFindName(name);
      if (f == nullptr) {
        ReportError(std::string(init ? "Could not locate initialization function " : "Could not locate finalization function ") +
                        name,
                    true);
        return false;
      }
      CInstance dummy;
      dummy.Create(0, 0, 0, 0);
      RValue result;
      ErrorClear();
      if (!ExtensionFunctionRun(f->s_id, &dummy, &dummy, result, nullptr, 0)) {
        const std::string text = ErrorText();
        ErrorClear();
        ReportError(text, true);
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool LoadSection_Extensions(CStream& stream) { return ExtensionsLoad(stream); }

bool ExtensionsLoad(CStream& stream) {
  ExtensionsClear();
  InstallHooks();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionExtensions, count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    auto p = std::make_unique<CExtensionPackage>();
    if (!p->LoadFromExeStream(stream, TempDir)) return false;
    g_packages.push_back(std::move(p));
  }
  Index();
  return true;
}

void ExtensionsClear() {
  g_packages.clear();
  g_functions.clear();
  g_byName.clear();
  g_maxId = 0;
}

void ExtensionsDefineConstants() {
  // A failing constant shows its own message; the rest are still defined.
  for (const auto& p : g_packages)
    for (const CExtensionFile& file : p->s_includes)
      for (const CExtensionConstant& c : file.s_constants) ConstantDefine(c.s_name, c.s_value);
}

bool ExtensionsPrepare() {
  ExtensionsDefineConstants();
  for (const auto& p : g_packages) {
    const std::string dir = TempDir + "/" + p->s_folder + "/";
    for (CExtensionFile& file : p->s_includes) {
      for (CExtensionFunction& f : file.s_functions) {
        auto it = g_functions.find(f.s_id);
        // Only the first function of an id is ever called.
        if (it == g_functions.end() || it->second.fn != &f) continue;
        RPackageFunction& entry = it->second;
        if (file.s_kind == CExtensionFile::kLibrary) {
          // No library is opened in secure mode (its functions cannot be
          // called there), nor one that unpacking did not put in the folder.
          if (SecureMode || TempDir.empty() || !CDataFile::IsPlainName(p->s_folder) ||
              !CDataFile::IsPlainName(file.s_filename))
            continue;
          int types[kDllMaxArgs + 1] = {};
          for (int i = 0; i < kDllMaxArgs; ++i) types[i] = f.s_argtype[i] == 1 ? 1 : 0;
          entry.external = DllDefine(dir + file.s_filename, f.s_extname, f.s_kind == 12 ? 0 : 1,
                                     f.s_returntype == 1 ? 1 : 0, types, f.s_argcount);
        } else if (file.s_kind == CExtensionFile::kScript && !f.s_script.empty()) {
          auto code = std::make_unique<CCode>(f.s_script, false);
          f.s_script.clear();
          ErrorClear();
          if (!code->Compile()) {
            const std::string text = ErrorText();
            ErrorClear();
            ReportError("COMPILATION ERROR in extension package " + p->s_name + "\r" + text, true);
            return false;
          }
          entry.code = std::move(code);
        }
      }
    }
  }
  return true;
}

bool ExtensionsInit() { return RunFileFunctions(true); }
bool ExtensionsFinal() { return RunFileFunctions(false); }

int ExtensionPackageCount() { return int(g_packages.size()); }
const CExtensionPackage& ExtensionPackage(int index) { return *g_packages.at(size_t(index)); }

int ExtensionFunctionFind(std::string_view name) {
  if (g_byName.empty()) return -1;
  auto it = g_byName.find(std::string(name));
  return it == g_byName.end() ? -1 : it->second;
}

int ExtensionFunctionArgCount(int id) {
  auto it = g_functions.find(id);
  return it == g_functions.end() ? -100 : it->second.fn->s_argcount;
}

std::string ExtensionFunctionName(int id) {
  auto it = g_functions.find(id);
  return it == g_functions.end() ? std::string() : it->second.fn->s_name;
}

bool ExtensionFunctionRun(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count) {
  if (id < 0 || id > g_maxId) return false;
  if (SecureMode) {
    RecordErrorText(kSecureText);
    return false;
  }
  if (count < 0) count = 0;
  if (count > 16) count = 16;
  auto it = g_functions.find(id);
  if (it == g_functions.end() || !it->second.code) {
    DllCall(it == g_functions.end() ? -1 : it->second.external, count, args, result);
    return true;
  }
  const CExtensionFunction& f = *it->second.fn;
  // Like a script call without the argument check: the caller's argument
  // slots, count and script name come back afterwards.
  RArgFrame& frame = CurrentArgs();
  const RArgFrame saved = frame;
  frame.count = count;
  frame.name = &f.s_name;
  for (int k = 0; k < 16; ++k) {
    if (k < count) frame.slots[k] = args[k];
    else frame.slots[k].SetReal(0);
  }
  frame.dirty = 16;
  result.SetReal(0);
  const bool ok = ExecuteCodeValue(self, other, it->second.code.get(), result);
  if (!ok) RecordErrorText("In extension function " + f.s_name + ":\r" + ErrorText());
  CurrentArgs() = saved;
  return ok;
}
