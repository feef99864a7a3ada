#include "script/Code_Command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <charconv>
#include <filesystem>
#include <vector>

#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "script/Variable_Main.h"

namespace {
// On failure why says what is wrong, for a "roomrun: PATH: why" line.
bool ReadFile(const std::string& path, std::string& text, std::string& why) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    why = "is a folder";
    return false;
  }
  // stdio rather than a stream: a stream would set up the C++ locale, a
  // tenth of what an empty --eval costs.
  errno = 0;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    why = errno != 0 ? std::strerror(errno) : "cannot be read";
    return false;
  }
  text.clear();
  char buf[16384];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
  const bool failed = std::ferror(in) != 0;
  const int error = errno;
  std::fclose(in);
  if (failed) {
    why = error != 0 ? std::strerror(error) : "cannot be read";
    return false;
  }
  return true;
}

// Error texts separate lines with CR; a terminal wants LF.
void PrintError(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += '\n';
    else if (c != '\n') out += c;
  }
  std::printf("%s\n", out.c_str());
  std::fflush(stdout);
}
}  // namespace

std::string FormatValue(const RValue& value) {
  if (value.kind == RValue::kString) return "\"" + value.str + "\"";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value.val);
  return std::string(buf, res.ptr);
}

void ListFunctions(std::FILE* out) {
  RegisterBuiltins();
  for (int id = 0; id < FunctionCount(); ++id) {
    const RFunction& f = FunctionGet(id);
    std::fprintf(out, "%.*s %d %s\n", int(f.f_name.size()), f.f_name.data(), f.f_argnumb, f.f_library);
  }
}

void ListVariables(std::FILE* out) {
  RegisterBuiltins();
  for (int id = 0; id < BuiltinVariableCount(); ++id) {
    const RBuiltinVariable& v = BuiltinVariableGet(id);
    std::fprintf(out, "%.*s%s\n", int(v.name.size()), v.name.data(), v.writable ? "" : " (read-only)");
  }
}

int RunEvalCommand(const char* path, const char* scriptsdir) {
  RegisterBuiltins();
  GlobalClear();
  if (scriptsdir) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(scriptsdir, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file()) files.push_back(it->path());
    if (ec) {
      std::fprintf(stderr, "roomrun: %s: %s\n", scriptsdir, ec.message().c_str());
      return 1;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::string text, name = file.filename().string();
      name = name.substr(0, name.find('.'));
      std::string why;
      if (!ReadFile(file.string(), text, why)) {
        std::fprintf(stderr, "roomrun: %s: %s\n", file.string().c_str(), why.c_str());
        return 1;
      }
      ScriptAdd(name, text);
    }
    SetHeadlessErrorChoice(true);
    bool ok = true;
    for (int i = 0; i < ScriptCount() && ok; ++i) {
      if (!ScriptGet(i)->Compile()) {
        PrintError("COMPILATION ERROR in Script: " + ScriptGetName(i) + "\r" + ErrorText());
        ok = false;
      }
    }
    if (!ok) return 1;
  }
  std::string text;
  if (std::string why; !ReadFile(path, text, why)) {
    std::fprintf(stderr, "roomrun: %s: %s\n", path, why.c_str());
    return 1;
  }
  CCode code(text, false);
  if (!code.Compile()) {
    PrintError(ErrorText());
    return 1;
  }
  CInstance self(100001, 0);
  SimpleInstanceList().list.push_back(&self);
  RValue result;
  bool ok = ExecuteCode(&self, &self, &code, result);
  SimpleInstanceList().list.clear();
  if (!ok) {
    PrintError(ErrorText());
    return 1;
  }
  std::printf("%s\n", FormatValue(result).c_str());
  return 0;
}
