// Extension package records: reading and writing them, unpacking a package's files and splitting its script files.
#include "script/Extension_Class.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "runner/DataNew_Class.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// A count read from the stream; each item takes at least min_bytes, so a
// count the remaining bytes cannot hold is corrupt data, not a reason to
// allocate.
size_t ReadCount(CStream& s, size_t min_bytes) {
  const int32_t n = s.ReadInteger();
  if (n <= 0) return 0;
  if (size_t(n) > s.Remaining() / min_bytes) throw EStreamError("Stream read error: extension count too large");
  return size_t(n);
}

bool Utf8Valid(const std::vector<uint8_t>& b) {
  size_t i = 0;
  while (i < b.size()) {
    const uint8_t c = b[i];
    size_t n;
    if (c < 0x80) n = 0;
    else if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 2;
    else if (c >= 0xF0 && c <= 0xF4) n = 3;
    else return false;
    if (n > 0 && i + n >= b.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((b[i + k] & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

bool StartsWithDefine(const std::string& line) { return line.compare(0, 7, "#define") == 0; }

// A folder for the package's files inside tempdir, made when missing; empty
// when it cannot be had without leaving tempdir.
std::string PackageFolder(const std::string& tempdir, const std::string& folder) {
  if (!CDataFile::IsPlainName(folder)) {
    TraceWrite("Extension package folder not used: \"" + folder + "\" is not a plain folder name");
    return std::string();
  }
  const std::string path = tempdir + "/" + folder;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    TraceWrite("Extension package folder " + path + " cannot be made");
    return std::string();
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    TraceWrite("Extension package folder " + path + " is not a folder");
    return std::string();
  }
  return path;
}

void WritePackageFile(const std::string& folder, const std::string& name, const CStream& bytes) {
  if (!CDataFile::IsPlainName(name)) {
    TraceWrite("Extension file not written: \"" + name + "\" is not a plain file name");
    return;
  }
  // The included-file writer: never through a link, only over a regular file.
  CDataFile file;
  file.s_filename = name;
  file.s_exists = true;
  file.s_overwrite = true;
  file.s_data.assign(bytes.Data(), bytes.Data() + bytes.Size());
  if (!file.ExportIt(folder + "/" + name)) TraceWrite("Extension file " + folder + "/" + name + " cannot be written");
}

}  // namespace

std::string ExtensionScriptText(const std::vector<uint8_t>& bytes) {
  if (Utf8Valid(bytes)) return std::string(bytes.begin(), bytes.end());
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (uint8_t c : bytes) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// ---- constants ----

void CExtensionConstant::Clear() {
  s_name.clear();
  s_value.clear();
}

bool CExtensionConstant::LoadFromExeStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kExtensionMarker) return false;
  s_name = s.ReadString();
  s_value = s.ReadString();
  return true;
}

void CExtensionConstant::SaveToExeStream(CStream& s) const {
  s.WriteInteger(kExtensionMarker);
  s.WriteString(s_name);
  s.WriteString(s_value);
}

// ---- functions ----

void CExtensionFunction::Clear() {
  s_name.clear();
  s_extname.clear();
  s_kind = 0;
  s_argcount = -1;
  for (int& t : s_argtype) t = 2;
  s_returntype = 2;
  s_script.clear();
}

bool CExtensionFunction::LoadFromExeStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kExtensionMarker) return false;
  s_name = s.ReadString();
  s_extname = s.ReadString();
  s_kind = s.ReadInteger();
  s_id = s.ReadInteger();
  s_argcount = s.ReadInteger();
  for (int& t : s_argtype) t = s.ReadInteger();
  s_returntype = s.ReadInteger();
  if (s_returntype <= 0 || s_returntype > 2) s_returntype = 2;
  return true;
}

void CExtensionFunction::SaveToExeStream(CStream& s) const {
  s.WriteInteger(kExtensionMarker);
  s.WriteString(s_name);
  s.WriteString(s_extname);
  s.WriteInteger(s_kind);
  s.WriteInteger(s_id);
  s.WriteInteger(s_argcount);
  for (int t : s_argtype) s.WriteInteger(t);
  s.WriteInteger(s_returntype);
}

// ---- files ----

void CExtensionFile::Clear() {
  s_filename.clear();
  s_kind = 0;
  s_init.clear();
  s_final.clear();
  s_functions.clear();
  s_constants.clear();
}

bool CExtensionFile::LoadFromExeStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kExtensionMarker) return false;
  s_filename = s.ReadString();
  s_kind = s.ReadInteger();
  s_init = s.ReadString();
  s_final = s.ReadString();
  s_functions.resize(ReadCount(s, 4));
  for (CExtensionFunction& f : s_functions) f.LoadFromExeStream(s);
  s_constants.resize(ReadCount(s, 4));
  for (CExtensionConstant& c : s_constants) c.LoadFromExeStream(s);
  return true;
}

void CExtensionFile::SaveToExeStream(CStream& s) const {
  s.WriteInteger(kExtensionMarker);
  s.WriteString(s_filename);
  s.WriteInteger(s_kind);
  s.WriteString(s_init);
  s.WriteString(s_final);
  s.WriteInteger(int32_t(s_functions.size()));
  for (const CExtensionFunction& f : s_functions) f.SaveToExeStream(s);
  s.WriteInteger(int32_t(s_constants.size()));
  for (const CExtensionConstant& c : s_constants) c.SaveToExeStream(s);
}

const CExtensionFunction* CExtensionFile::FunctionFindName(const std::string& name) const {
  for (const CExtensionFunction& f : s_functions)
    if (f.s_name == name) return &f;
  return nullptr;
}

const CExtensionFunction* CExtensionFile::FunctionFindId(int id) const {
  for (const CExtensionFunction& f : s_functions)
    if (f.s_id == id) return &f;
  return nullptr;
}

const CExtensionConstant* CExtensionFile::ConstantFindName(const std::string& name) const {
  for (const CExtensionConstant& c : s_constants)
    if (c.s_name == name) return &c;
  return nullptr;
}

void CExtensionFile::CreateScripts(const std::vector<uint8_t>& bytes) {
  for (CExtensionFunction& f : s_functions) f.s_script.clear();
  if (s_kind != kScript) return;
  // CR ends a line; LF is dropped wherever it stands.
  std::vector<std::string> lines(1);
  for (char c : ExtensionScriptText(bytes)) {
    if (c == '\r') lines.emplace_back();
    else if (c != '\n') lines.back() += c;
  }
  size_t i = 0;
  while (i < lines.size() && !StartsWithDefine(lines[i])) ++i;
  while (i < lines.size()) {
    const std::string section = Trim(lines[i].substr(7));
    std::string body;
    for (++i; i < lines.size() && !StartsWithDefine(lines[i]); ++i) {
      body += lines[i];
      body += "\r\n";
    }
    // Lines joined with CR LF between them, none after the last.
    if (!body.empty()) body.resize(body.size() - 2);
    for (CExtensionFunction& f : s_functions)
      if (f.s_extname == section) f.s_script = body;
  }
}

// ---- packages ----

void CExtensionPackage::Clear() {
  s_name.clear();
  s_folder = "temp" + std::to_string(std::rand() % 999);
  s_includes.clear();
}

bool CExtensionPackage::LoadFromExeStream(CStream& s, const std::string& tempdir) {
  Clear();
  if (s.ReadInteger() != kExtensionMarker) return false;
  s_name = s.ReadString();
  s_folder = s.ReadString();
  s_includes.resize(ReadCount(s, 4));
  for (CExtensionFile& f : s_includes) f.LoadFromExeStream(s);
  for (CExtensionFile& file : s_includes) {
    for (CExtensionFunction& f : file.s_functions) {
      f.s_name = Trim(f.s_name);
      f.s_extname = Trim(f.s_extname);
      if (f.s_extname.empty()) f.s_extname = f.s_name;
      if (f.s_argcount > 4)
        for (int& t : f.s_argtype) t = 2;
    }
  }
  CStream contents = s.ReadStream();
  bool any = false;
  for (const CExtensionFile& f : s_includes) any = any || f.HasContents();
  if (contents.Size() < 4) {
    if (any) throw EStreamError("Stream read error: package contents missing");
    return true;
  }
  const int32_t key = contents.ReadInteger();
  contents.Decrypt(key, 5, 0);
  std::string folder;
  bool folder_tried = false;
  for (CExtensionFile& file : s_includes) {
    if (!file.HasContents()) continue;
    CStream bytes = contents.ReadStreamC();
    if (file.s_kind == CExtensionFile::kScript) {
      file.CreateScripts(bytes.Bytes());
    } else if ((file.s_kind == CExtensionFile::kLibrary || file.s_kind == CExtensionFile::kOther) &&
               !tempdir.empty()) {
      if (!folder_tried) {
        folder = PackageFolder(tempdir, s_folder);
        folder_tried = true;
      }
      if (!folder.empty()) WritePackageFile(folder, file.s_filename, bytes);
    }
  }
  return true;
}

void CExtensionPackage::SaveToExeStream(CStream& s, const std::vector<std::vector<uint8_t>>& contents,
                                        int32_t key) const {
  s.WriteInteger(kExtensionMarker);
  s.WriteString(s_name);
  s.WriteString(s_folder);
  s.WriteInteger(int32_t(s_includes.size()));
  for (const CExtensionFile& f : s_includes) f.SaveToExeStream(s);
  CStream block;
  block.WriteInteger(key);
  for (size_t i = 0; i < s_includes.size(); ++i) {
    if (!s_includes[i].HasContents()) continue;
    static const std::vector<uint8_t> kNone;
    const std::vector<uint8_t>& bytes = i < contents.size() ? contents[i] : kNone;
    block.WriteStreamC(bytes.data(), bytes.size());
  }
  block.Encrypt(key, 5, 0);
  s.WriteStream(block);
}

const CExtensionFunction* CExtensionPackage::FunctionFindName(const std::string& name) const {
  for (const CExtensionFile& f : s_includes)
    if (const CExtensionFunction* fn = f.FunctionFindName(name)) return fn;
  return nullptr;
}

const CExtensionFunction* CExtensionPackage::FunctionFindId(int id) const {
  for (const CExtensionFile& f : s_includes)
    if (const CExtensionFunction* fn = f.FunctionFindId(id)) return fn;
  return nullptr;
}

const CExtensionConstant* CExtensionPackage::ConstantFindName(const std::string& name) const {
  for (const CExtensionFile& f : s_includes)
    if (const CExtensionConstant* c = f.ConstantFindName(name)) return c;
  return nullptr;
}
