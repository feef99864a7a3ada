// External functions in shared libraries: finding and loading them, and calling them through libffi.
#include "script/Support_DLL.h"

#include <dlfcn.h>
#include <ffi.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "library/Support_Path.h"
#include "runner/Support_Various.h"

namespace {
struct RDllFunction {
  std::string dll_name;
  void* dll_handle = nullptr;
  std::string function_name;
  void* function_addr = nullptr;
  int calltype = 0;
  int argnumb = 0;
  int argtype[kDllMaxArgs + 1] = {};
  int resulttype = 0;
  // One call interface per definition, prepared once.
  ffi_cif cif{};
  ffi_type* atypes[kDllMaxArgs] = {};
};
std::vector<std::unique_ptr<RDllFunction>> g_table;

bool SameName(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

bool IsWindowsLibrary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char mz[2] = {};
  return in.read(mz, 2) && mz[0] == 'M' && mz[1] == 'Z';
}

// The names a library is tried under, in order.
std::vector<std::string> Candidates(const std::string& library) {
  std::vector<std::string> names;
  auto add = [&](const std::string& n) {
    // A bare name is a file of the working folder when one is there.
    const std::string host = HostPath(n);
    if (host.find('/') == std::string::npos) {
      if (::access(host.c_str(), F_OK) == 0) names.push_back("./" + host);
      names.push_back(n);
    } else {
      names.push_back(host);
    }
  };
  add(library);
  std::string so = library;
  const size_t sep = so.find_last_of("/\\");
  const bool has_ext = so.find('.', sep == std::string::npos ? 0 : sep + 1) != std::string::npos;
  if (so.size() >= 4 && SameName(so.substr(so.size() - 4), ".dll")) so = so.substr(0, so.size() - 4) + ".so";
  else if (!has_ext) so += ".so";  // as a name without extension meant name.dll
  if (so != library) add(so);
  std::string path = so;
  for (char& c : path)
    if (c == '\\') c = '/';
  const size_t slash = path.rfind('/');
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  if (file.compare(0, 3, "lib") != 0) add((slash == std::string::npos ? "" : path.substr(0, slash + 1)) + "lib" + file);
  return names;
}

void* Load(const std::string& library) {
  std::string why;
  for (const std::string& name : Candidates(library)) {
    if (void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    if (why.empty() || why.find("No such file") != std::string::npos) {
      const char* e = ::dlerror();
      why = e ? e : "unknown";
    }
    if (why.find("invalid ELF header") != std::string::npos || IsWindowsLibrary(name)) {
      why = "a Windows library cannot be loaded on this system";
      break;
    }
  }
  TraceWrite("LoadLibrary on DLL " + library + " failed - error - " + why);
  return nullptr;
}
}  // namespace

int DllDefine(const std::string& library, const std::string& name, int calltype, int resulttype, const int* types,
              int count) {
  if (count < 0 || count > kDllMaxArgs) return -1;
  if (count > 4)
    for (int i = 0; i < count; ++i)
      if (types[i] != 0) return -1;
  void* handle = nullptr;
  for (const auto& f : g_table)
    if (SameName(f->dll_name, library)) handle = f->dll_handle;
  if (handle == nullptr) handle = Load(library);
  if (handle == nullptr) return -1;
  ::dlerror();
  void* addr = ::dlsym(handle, name.c_str());
  if (addr == nullptr) {
    const char* e = ::dlerror();
    TraceWrite("GetProcAddress for " + name + " on DLL " + library + " failed - error - " + (e ? e : "not found"));
    return -1;
  }
  auto f = std::make_unique<RDllFunction>();
  f->dll_name = library;
  f->dll_handle = handle;
  f->function_name = name;
  f->function_addr = addr;
  f->calltype = calltype;
  f->argnumb = count;
  f->resulttype = resulttype == 1 ? 1 : 0;
  for (int i = 0; i < count; ++i) {
    f->argtype[i] = types[i] == 1 ? 1 : 0;
    f->atypes[i] = f->argtype[i] == 1 ? &ffi_type_pointer : &ffi_type_double;
  }
  if (ffi_prep_cif(&f->cif, FFI_DEFAULT_ABI, unsigned(count), f->resulttype == 1 ? &ffi_type_pointer : &ffi_type_double,
                   f->atypes) != FFI_OK) {
    TraceWrite("GetProcAddress for " + name + " on DLL " + library + " failed - error - no call interface");
    return -1;
  }
  g_table.push_back(std::move(f));
  return int(g_table.size()) - 1;
}

void DllCall(int id, int count, const RValue* args, RValue& result) {
  result.SetReal(0);
  if (id < 0 || size_t(id) >= g_table.size()) {
    TraceWrite("Unable to find DLL function with id=" + std::to_string(id));
    return;
  }
  RDllFunction& f = *g_table[size_t(id)];
  if (count != f.argnumb) {
    TraceWrite("Calling DLL function with wrong number of arguments.");
    return;
  }
  if (f.dll_handle == nullptr) {
    TraceWrite("Calling DLL function - unable to load DLL");
    return;
  }
  double reals[kDllMaxArgs];
  const char* texts[kDllMaxArgs];
  void* values[kDllMaxArgs];
  for (int i = 0; i < count; ++i) {
    // The declared type decides which field goes: a real passes its number,
    // a string its text (a real's text is empty, passed as "" and never null).
    if (f.argtype[i] == 1) {
      texts[i] = args[i].str.c_str();
      values[i] = &texts[i];
    } else {
      reals[i] = args[i].val;
      values[i] = &reals[i];
    }
  }
  if (f.resulttype == 1) {
    const char* out = nullptr;
    ffi_call(&f.cif, FFI_FN(f.function_addr), &out, values);
    result.SetString(out ? out : "");
  } else {
    double out = 0;
    ffi_call(&f.cif, FFI_FN(f.function_addr), &out, values);
    result.SetReal(out);
  }
}

void DllFree(const std::string& library) {
  void* freed = nullptr;
  for (auto& f : g_table) {
    if (f->dll_handle == nullptr || !SameName(f->dll_name, library)) continue;
    if (freed == nullptr) {
      freed = f->dll_handle;
      ::dlclose(freed);
    }
    f->dll_handle = nullptr;
  }
}
