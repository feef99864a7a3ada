// Extension packages: extensions/NAME/package.json names the package's files,
// their functions and constants; the files' bytes come from the project folder.
#include <set>

#include "Pack.h"
#include "Pack_Resource.h"
#include "runner/DataNew_Write.h"
#include "script/Extension_Class.h"

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

bool IsIdentifier(const std::string& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!(letter || (i > 0 && c >= '0' && c <= '9'))) return false;
  }
  return true;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
  return true;
}

int KindOf(const JsonField& file, const std::string& name) {
  if (!file.Has("kind")) {
    if (EndsWith(name, ".dll") || EndsWith(name, ".so")) return CExtensionFile::kLibrary;
    if (EndsWith(name, ".gml")) return CExtensionFile::kScript;
    return CExtensionFile::kOther;
  }
  const std::string kind = file.GetString("kind", "");
  if (kind == "library") return CExtensionFile::kLibrary;
  if (kind == "script") return CExtensionFile::kScript;
  if (kind == "other") return CExtensionFile::kOther;
  if (kind == "not_stored") return CExtensionFile::kNotStored;
  file.Member("kind").Fail("expected \"library\", \"script\", \"other\" or \"not_stored\"");
}

// The runner splits script files at CR and drops LF, so every line end is
// stored as CR LF whatever the project file uses.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// The 0-based line where each section's body starts (the last section of a
// name wins, as in the runner).
std::map<std::string, int> SectionLines(const std::string& crlf_text) {
  std::map<std::string, int> at;
  int line = 0;
  size_t start = 0;
  while (start <= crlf_text.size()) {
    size_t end = crlf_text.find("\r\n", start);
    if (end == std::string::npos) end = crlf_text.size();
    const std::string text = crlf_text.substr(start, end - start);
    if (text.compare(0, 7, "#define") == 0) {
      std::string name = text.substr(7);
      while (!name.empty() && static_cast<unsigned char>(name.front()) <= 32) name.erase(0, 1);
      while (!name.empty() && static_cast<unsigned char>(name.back()) <= 32) name.pop_back();
      at[name] = line + 1;
    }
    ++line;
    start = end + 2;
  }
  return at;
}

void ReadFunction(const JsonField& f, CExtensionFunction& fn, int kind) {
  f.CheckKeys({"name", "external", "args", "returns", "convention"});
  fn.s_name = f.Member("name").AsString();
  if (!IsIdentifier(fn.s_name))
    f.Member("name").Fail(Quoted(fn.s_name) + " is not a valid function name (a letter or _ followed by letters, digits or _)");
  fn.s_extname = f.GetString("external", fn.s_name);
  if (fn.s_extname.empty()) f.Member("external").Fail("empty name");
  const std::string returns = f.GetString("returns", "real");
  if (returns == "real") fn.s_returntype = 2;
  else if (returns == "string") fn.s_returntype = 1;
  else f.Member("returns").Fail("expected \"real\" or \"string\"");
  const std::string convention = f.GetString("convention", "cdecl");
  if (convention == "cdecl") fn.s_kind = 12;
  else if (convention == "stdcall") fn.s_kind = 11;
  else f.Member("convention").Fail("expected \"cdecl\" or \"stdcall\"");
  auto args = f.Find("args");
  if (!args || (args->Value().is_string() && args->AsString() == "any")) {
    if (kind == CExtensionFile::kLibrary) f.Fail("a library function needs its argument list (\"args\")");
    fn.s_argcount = -1;
    return;
  }
  const size_t n = args->Size();
  if (n > 16) args->Fail("at most 16 arguments");
  fn.s_argcount = int(n);
  bool strings = false;
  for (size_t i = 0; i < n; ++i) {
    const std::string t = args->At(i).AsString();
    if (t == "real") fn.s_argtype[i] = 2;
    else if (t == "string") {
      fn.s_argtype[i] = 1;
      strings = true;
    } else args->At(i).Fail("expected \"real\" or \"string\"");
  }
  if (n > 4 && strings && kind == CExtensionFile::kLibrary)
    args->Fail("a library function with more than 4 arguments takes reals only");
}

struct RPackedPackage {
  CExtensionPackage package;
  std::vector<std::vector<uint8_t>> contents;
};

RPackedPackage ReadPackage(const Project& project, const std::string& name, int& next_id,
                           std::set<std::string>& function_names) {
  RPackedPackage out;
  CExtensionPackage& pkg = out.package;
  const std::string dir = "extensions/" + name + "/";
  const std::string file = dir + "package.json";
  const nlohmann::json doc = ReadResourceJson(project, file, true);
  const JsonField root(doc, file, "");
  root.CheckKeys({"folder", "files"});
  pkg.s_name = name;
  pkg.s_folder = root.GetString("folder", name);
  if (!CDataFile::IsPlainName(pkg.s_folder))
    root.Member("folder").Fail(Quoted(pkg.s_folder) + " is not a plain folder name (no /, \\, . or .., no drive)");
  const JsonField files = root.Member("files");
  std::set<std::string> file_names;
  for (size_t i = 0; i < files.Size(); ++i) {
    const JsonField f = files.At(i);
    f.CheckKeys({"name", "kind", "path", "init", "final", "functions", "constants"});
    CExtensionFile ef;
    ef.s_filename = f.Member("name").AsString();
    if (!CDataFile::IsPlainName(ef.s_filename))
      f.Member("name").Fail(Quoted(ef.s_filename) + " is not a plain file name (no /, \\, . or .., no drive)");
    if (!file_names.insert(ef.s_filename).second) f.Member("name").Fail("the file " + Quoted(ef.s_filename) + " is named twice");
    ef.s_kind = KindOf(f, ef.s_filename);
    if (auto fns = f.Find("functions")) {
      for (size_t k = 0; k < fns->Size(); ++k) {
        CExtensionFunction fn;
        ReadFunction(fns->At(k), fn, ef.s_kind);
        if (!function_names.insert(fn.s_name).second)
          fns->At(k).Member("name").Fail("the function " + Quoted(fn.s_name) + " is defined twice");
        fn.s_id = next_id++;
        ef.s_functions.push_back(fn);
      }
    }
    if (auto cs = f.Find("constants")) {
      for (size_t k = 0; k < cs->Size(); ++k) {
        const JsonField c = cs->At(k);
        c.CheckKeys({"name", "value"});
        CExtensionConstant ec;
        ec.s_name = c.Member("name").AsString();
        if (!IsIdentifier(ec.s_name))
          c.Member("name").Fail(Quoted(ec.s_name) + " is not a valid constant name (a letter or _ followed by letters, digits or _)");
        const JsonField v = c.Member("value");
        if (v.Value().is_number_integer()) ec.s_value = std::to_string(v.Value().get<int64_t>());
        else if (v.Value().is_number()) ec.s_value = std::to_string(v.Value().get<double>());
        else ec.s_value = v.AsString();
        if (v.Value().is_string()) project.NoteCode(v, false, "constant " + ec.s_name + " of extension package " + name, ec.s_value, true);
        ef.s_constants.push_back(ec);
      }
    }
    for (const char* which : {"init", "final"}) {
      const std::string fname = f.GetString(which, "");
      if (!fname.empty() && ef.FunctionFindName(fname) == nullptr)
        f.Member(which).Fail("no function " + Quoted(fname) + " in this file");
      (std::string(which) == "init" ? ef.s_init : ef.s_final) = fname;
    }
    std::vector<uint8_t> bytes;
    if (ef.HasContents()) {
      const std::string path = f.GetString("path", dir + ef.s_filename);
      const JsonField from = f.Find("path") ? f.Member("path") : f.Member("name");
      if (ef.s_kind == CExtensionFile::kScript) {
        const std::string text = WithCrLf(project.ReadText(path, from));
        bytes.assign(text.begin(), text.end());
        const std::map<std::string, int> lines = SectionLines(text);
        ef.CreateScripts(bytes);
        for (const CExtensionFunction& fn : ef.s_functions) {
          auto at = lines.find(fn.s_extname);
          if (at == lines.end()) from.Fail("no section \"#define " + fn.s_extname + "\" for the function " + fn.s_name);
          // Leading line ends keep the compiler's line numbers those of the file.
          RCodeSite site;
          site.file = path;
          site.place = "function " + fn.s_name + " of extension package " + name;
          site.text = std::string(size_t(at->second), '\n') + fn.s_script;
          project.code_sites.push_back(std::move(site));
        }
        for (CExtensionFunction& fn : ef.s_functions) fn.s_script.clear();
      } else {
        bytes = project.ReadFile(path, from);
      }
    }
    pkg.s_includes.push_back(std::move(ef));
    out.contents.push_back(std::move(bytes));
  }
  return out;
}

}  // namespace

void PackExtensionPackages(const Project& project, CGameWriter& out) {
  const ResourceList& list = project.Resources("extensions");
  std::vector<RPackedPackage> packages;
  int next_id = 0;
  std::set<std::string> function_names;
  for (size_t i = 0; i < list.names.size(); ++i) {
    if (!list.names[i]) {
      JsonField(project.doc, "game.json", "").Member("extensions").At(i).Fail("expected a package name");
    }
    packages.push_back(ReadPackage(project, *list.names[i], next_id, function_names));
  }
  out.BeginList(kSectionVersionExtensions, int32_t(packages.size()));
  int32_t key = 0x2F1E3;
  for (const RPackedPackage& p : packages) p.package.SaveToExeStream(out.Sections(), p.contents, key++);
}
