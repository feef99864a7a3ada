// Built-in functions for the game's files, file names, programs, environment, ini file and registry.
#include "library/Function_File.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "library/Support_Ini.h"
#include "library/Support_Path.h"
#include "library/Support_Registry.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
constexpr int kMaxFiles = 32;

void Err(const std::string& text) { ReportError(text, false); }

// ---- opening ---------------------------------------------------------------

// Opens a host path. In secure mode the last component is never followed
// when it is a link, so a link planted in the working folder cannot carry a
// write elsewhere. O_NONBLOCK keeps a FIFO from hanging the game; only
// regular files are accepted.
int OpenFile(const std::string& path, int flags) {
  flags |= O_CLOEXEC | O_NONBLOCK;
  if (SecureMode) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

// ---- binary files ----------------------------------------------------------

std::array<int, kMaxFiles + 1> g_bin = [] {
  std::array<int, kMaxFiles + 1> a;
  a.fill(-1);
  return a;
}();

int BinSlot(const RValue& v) {
  const int i = ArgInt(v);
  return (i >= 1 && i <= kMaxFiles && g_bin[i] >= 0) ? i : 0;
}

void F_file_bin_open(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(-1);
  const std::string& name = ArgString(a[0]);
  const int mode = ArgInt(a[1]);
  int slot = 0;
  for (int i = 1; i <= kMaxFiles && slot == 0; ++i)
    if (g_bin[i] < 0) slot = i;
  if (slot == 0) return Err("Cannot open another file (maximum exceeded).");
  if (mode != 0 && SecureRefuses(name)) return Err("In secure mode you cannot write file " + name);
  // A missing file is created empty in every mode, except that secure mode
  // never creates a file outside the working folder only to read it.
  int flags = mode == 0 ? O_RDONLY : mode == 1 ? O_WRONLY : O_RDWR;
  if (!SecureRefuses(name)) flags |= O_CREAT;
  const int fd = OpenFile(HostPath(name), flags);
  if (fd < 0) return Err("Error opening binary file.");
  g_bin[slot] = fd;
  r.SetReal(slot);
}

void F_file_bin_rewrite(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("Trying to rewrite unopened file.");
  if (::ftruncate(g_bin[s], 0) != 0 || ::lseek(g_bin[s], 0, SEEK_SET) < 0) Err("Error rewriting file.");
}

void F_file_bin_close(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("Trying to close unopened file.");
  ::close(g_bin[s]);
  g_bin[s] = -1;
}

void F_file_bin_position(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("File is not opened.");
  const off_t p = ::lseek(g_bin[s], 0, SEEK_CUR);
  if (p < 0) return Err("Error retrieving file size.");
  r.SetReal(double(p));
}

void F_file_bin_size(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("File is not opened.");
  struct stat st;
  if (::fstat(g_bin[s], &st) != 0) return Err("Error retrieving file size.");
  r.SetReal(double(st.st_size));
}

void F_file_bin_seek(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("File is not opened.");
  const double pos = ArgReal(a[1]);
  if (!std::isfinite(pos) || pos < 0 || pos > 9.0e15 || ::lseek(g_bin[s], off_t(std::nearbyint(pos)), SEEK_SET) < 0)
    Err("Error seeking.");
}

void F_file_bin_read_byte(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("File is not opened.");
  unsigned char b;
  ssize_t n;
  do n = ::read(g_bin[s], &b, 1);
  while (n < 0 && errno == EINTR);
  if (n != 1) return Err("Error reading byte.");
  r.SetReal(b);
}

void F_file_bin_write_byte(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int s = BinSlot(a[0]);
  if (s == 0) return Err("File is not opened.");
  int v = ArgInt(a[1]) % 256;
  if (v < 0) v += 256;
  const unsigned char b = static_cast<unsigned char>(v);
  ssize_t n;
  do n = ::write(g_bin[s], &b, 1);
  while (n < 0 && errno == EINTR);
  if (n != 1) Err("Error writing byte.");
}

// ---- text files ------------------------------------------------------------

struct RTextFile {
  FILE* f = nullptr;
  int state = 0;  // 0 free, 1 reading, 2 writing
};
// Slot 0 is the legacy file of the functions without a file argument.
std::array<RTextFile, kMaxFiles + 1> g_text;

void CloseText(RTextFile& t, bool report) {
  if (t.f != nullptr && std::fclose(t.f) != 0 && report) Err("Error closing file.");
  t.f = nullptr;
  t.state = 0;
}

int FreeTextSlot() {
  for (int i = 1; i <= kMaxFiles; ++i)
    if (g_text[i].state == 0) return i;
  return 0;
}

// Opens name into t for mode 1 (read), 2 (write) or 3 (append). Returns
// false with no message when a file to read is missing.
enum { kRead = 1, kWrite = 2, kAppend = 3 };
bool OpenText(RTextFile& t, const std::string& name, int mode) {
  if (mode != kRead && SecureRefuses(name)) {
    Err((mode == kWrite ? "In secure mode you cannot write file " : "In secure mode you cannot append to file ") +
        name);
    return false;
  }
  const std::string path = HostPath(name);
  int flags = O_RDONLY;
  if (mode == kWrite) flags = O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == kAppend) flags = O_WRONLY | O_CREAT | O_APPEND;
  if (mode == kRead) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
  }
  const int fd = OpenFile(path, flags);
  FILE* f = fd < 0 ? nullptr : ::fdopen(fd, mode == kRead ? "rb" : "ab");
  if (f == nullptr) {
    if (fd >= 0) ::close(fd);
    Err(mode == kRead    ? "Error opening file for reading."
        : mode == kWrite ? "Error opening file for writing."
                         : "Error opening file for appending.");
    return false;
  }
  t.f = f;
  t.state = mode == kRead ? 1 : 2;
  return true;
}

void OpenTextSlot(RValue& r, const std::string& name, int mode) {
  r.SetReal(-1);
  const int slot = FreeTextSlot();
  if (slot == 0) return Err("Cannot open another file (maximum exceeded).");
  if (OpenText(g_text[slot], name, mode)) r.SetReal(slot);
}

// The slot of a text-file argument when it is in state; nullptr otherwise.
RTextFile* TextSlot(const RValue& v, int state) {
  const int i = ArgInt(v);
  if (i < 1 || i > kMaxFiles || g_text[i].state != state) return nullptr;
  return &g_text[i];
}

int Peek(FILE* f) {
  const int c = std::getc(f);
  if (c != EOF) std::ungetc(c, f);
  return c;
}

// The rest of the line, its end left unread.
bool ReadString(FILE* f, std::string& out) {
  out.clear();
  for (;;) {
    const int c = std::getc(f);
    if (c == EOF) return !std::ferror(f);
    if (c == '\r' || c == '\n') {
      std::ungetc(c, f);
      return true;
    }
    out += char(c);
  }
}

// Skips to the start of the next line (CR LF, LF or CR end a line).
bool ReadLn(FILE* f) {
  for (;;) {
    const int c = std::getc(f);
    if (c == EOF) return !std::ferror(f);
    if (c == '\n') return true;
    if (c == '\r') {
      if (Peek(f) == '\n') std::getc(f);
      return true;
    }
  }
}

// Reads a real up to the end of the line; loose: blanks, tabs and "-" are
// taken anywhere (the legacy reader).
bool ReadReal(FILE* f, bool loose, double& result) {
  double value = 0, scale = 10;
  int sign = 1;
  bool frac = false, digit = false;
  for (;;) {
    const int c = std::getc(f);
    if (c == EOF) break;
    if (c == '\r' || c == '\n') {
      std::ungetc(c, f);
      break;
    }
    if ((c == ' ' || c == '\t') && (loose || !digit)) continue;
    if (c == '-' && (loose || !digit)) {
      sign = -1;
      continue;
    }
    if (c >= '0' && c <= '9') {
      if (!frac) {
        value = value * 10 + (c - '0');
      } else {
        value += (c - '0') / scale;
        scale *= 10;
      }
      digit = true;
      continue;
    }
    if ((c == '.' || c == ',') && !frac) {
      frac = true;
      digit = false;
      continue;
    }
    break;  // the character that ends the number is consumed
  }
  result = value * sign;
  return !std::ferror(f);
}

bool WriteText(FILE* f, const std::string& s) {
  return std::fwrite(s.data(), 1, s.size(), f) == s.size() && std::fflush(f) == 0;
}

void T_read_string(RTextFile* t, RValue& r) {
  std::string s;
  if (!ReadString(t->f, s)) return Err("Error reading string.");
  r.SetString(std::move(s));
}
void T_read_real(RTextFile* t, RValue& r, bool loose) {
  double v = 0;
  if (!ReadReal(t->f, loose, v)) return Err("Error reading real.");
  r.SetReal(v);
}
void T_readln(RTextFile* t) {
  if (!ReadLn(t->f)) Err("Error reading line.");
}
void T_eof(RTextFile* t, RValue& r) { r.SetReal(Peek(t->f) == EOF ? 1 : 0); }
void T_eoln(RTextFile* t, RValue& r) {
  const int c = Peek(t->f);
  r.SetReal(c == EOF || c == '\r' || c == '\n' ? 1 : 0);
}

void F_file_text_open_read(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  OpenTextSlot(r, ArgString(a[0]), kRead);
}
void F_file_text_open_write(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  OpenTextSlot(r, ArgString(a[0]), kWrite);
}
void F_file_text_open_append(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  OpenTextSlot(r, ArgString(a[0]), kAppend);
}
void F_file_text_close(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int i = ArgInt(a[0]);
  if (i < 1 || i > kMaxFiles) return Err("Trying to close unexisting text file.");
  if (g_text[i].state != 0) CloseText(g_text[i], true);
}

constexpr const char* kNotRead = "File is not opened for reading.";
constexpr const char* kNotWrite = "File not opened for writing.";

void F_file_text_read_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (RTextFile* t = TextSlot(a[0], 1)) return T_read_string(t, r);
  Err(kNotRead);
}
void F_file_text_read_real(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (RTextFile* t = TextSlot(a[0], 1)) return T_read_real(t, r, false);
  Err(kNotRead);
}
void F_file_text_readln(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (RTextFile* t = TextSlot(a[0], 1)) return T_readln(t);
  Err(kNotRead);
}
void F_file_text_eof(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (RTextFile* t = TextSlot(a[0], 1)) return T_eof(t, r);
  Err(kNotRead);
}
void F_file_text_eoln(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (RTextFile* t = TextSlot(a[0], 1)) return T_eoln(t, r);
  Err(kNotRead);
}
void F_file_text_write_string(CInstance*, CInstance*, int, RValue&, RValue* a) {
  RTextFile* t = TextSlot(a[0], 2);
  if (t == nullptr) return Err(kNotWrite);
  if (!WriteText(t->f, ArgString(a[1]))) Err("Error writing string.");
}
void F_file_text_write_real(CInstance*, CInstance*, int, RValue&, RValue* a) {
  RTextFile* t = TextSlot(a[0], 2);
  if (t == nullptr) return Err(kNotWrite);
  if (!WriteText(t->f, FormatFileReal(ArgReal(a[1])))) Err("Error writing real.");
}
void F_file_text_writeln(CInstance*, CInstance*, int, RValue&, RValue* a) {
  RTextFile* t = TextSlot(a[0], 2);
  if (t == nullptr) return Err(kNotWrite);
  if (!WriteText(t->f, "\r\n")) Err("Error writing line.");
}

// ---- the legacy text file (slot 0) -------------------------------------------

RTextFile& Legacy() { return g_text[0]; }
void LegacyOpen(const std::string& name, int mode) {
  if (Legacy().state != 0) CloseText(Legacy(), false);
  OpenText(Legacy(), name, mode);
}
RTextFile* LegacyIn(const char* error) {
  if (Legacy().state == 1) return &Legacy();
  Err(error);
  return nullptr;
}
RTextFile* LegacyOut() {
  if (Legacy().state == 2) return &Legacy();
  Err(kNotWrite);
  return nullptr;
}

void F_file_open_read(CInstance*, CInstance*, int, RValue&, RValue* a) { LegacyOpen(ArgString(a[0]), kRead); }
void F_file_open_write(CInstance*, CInstance*, int, RValue&, RValue* a) { LegacyOpen(ArgString(a[0]), kWrite); }
void F_file_open_append(CInstance*, CInstance*, int, RValue&, RValue* a) { LegacyOpen(ArgString(a[0]), kAppend); }
void F_file_close(CInstance*, CInstance*, int, RValue&, RValue*) {
  if (Legacy().state != 0) CloseText(Legacy(), true);
}
void F_file_read_string(CInstance*, CInstance*, int, RValue& r, RValue*) {
  if (RTextFile* t = LegacyIn("File not opened for reading.")) T_read_string(t, r);
}
void F_file_read_real(CInstance*, CInstance*, int, RValue& r, RValue*) {
  if (RTextFile* t = LegacyIn("File not opened for reading.")) T_read_real(t, r, true);
}
void F_file_readln(CInstance*, CInstance*, int, RValue&, RValue*) {
  if (RTextFile* t = LegacyIn("File not opened for reading.")) T_readln(t);
}
void F_file_eof(CInstance*, CInstance*, int, RValue& r, RValue*) {
  if (RTextFile* t = LegacyIn(kNotRead)) T_eof(t, r);
}
void F_file_eoln(CInstance*, CInstance*, int, RValue& r, RValue*) {
  if (RTextFile* t = LegacyIn(kNotRead)) T_eoln(t, r);
}
void F_file_write_string(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (RTextFile* t = LegacyOut(); t && !WriteText(t->f, ArgString(a[0]))) Err("Error writing string.");
}
void F_file_write_real(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (RTextFile* t = LegacyOut(); t && !WriteText(t->f, FormatFileReal(ArgReal(a[0])))) Err("Error writing real.");
}
void F_file_writeln(CInstance*, CInstance*, int, RValue&, RValue*) {
  if (RTextFile* t = LegacyOut(); t && !WriteText(t->f, "\r\n")) Err("Error writing line.");
}

// ---- the file system -----------------------------------------------------------

bool IsRegular(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void F_file_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(IsRegular(HostPath(ArgString(a[0]))) ? 1 : 0);
}
void F_directory_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(IsDirectory(HostPath(ArgString(a[0]))) ? 1 : 0);
}

void F_file_delete(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& name = ArgString(a[0]);
  if (SecureRefuses(name)) return Err("In Secure mode you cannot delete file " + name);
  // Files only (a link itself is removed, never what it points to); failure is silent.
  const std::string path = HostPath(name);
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path.c_str());
}

void F_file_rename(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& from = ArgString(a[0]);
  const std::string& to = ArgString(a[1]);
  if (SecureRefuses(from) || SecureRefuses(to))
    return Err("In Secure mode you cannot rename file " + from + " into " + to);
  // Never over an existing file: the kernel refuses atomically.
  ::renameat2(AT_FDCWD, HostPath(from).c_str(), AT_FDCWD, HostPath(to).c_str(), RENAME_NOREPLACE);
}

void F_file_copy(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& from = ArgString(a[0]);
  const std::string& to = ArgString(a[1]);
  if (SecureRefuses(from) || SecureRefuses(to))
    return Err("In Secure mode you cannot copy file " + from + " to " + to);
  const std::string target = HostPath(to);
  struct stat st;
  if (SecureMode && ::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return Err("In Secure mode you cannot copy file " + from + " to " + to);
  const std::string source = HostPath(from);
  if (!IsRegular(source)) return;
  std::vector<uint8_t> bytes;
  // The target is replaced whole or not at all.
  if (ReadWholeFile(source, bytes)) ReplaceFileSafely(target, bytes.data(), bytes.size());
}

void F_directory_create(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& name = ArgString(a[0]);
  if (SecureRefuses(name)) return Err("In Secure mode you cannot create directory " + name);
  std::error_code ec;
  std::filesystem::create_directories(HostPath(name), ec);
}

// Windows attribute bits.
enum { faReadOnly = 1, faHidden = 2, faSysFile = 4, faVolumeID = 8, faDirectory = 16, faArchive = 32 };

int AttributesOf(const std::string& path, const std::string& name, bool& ok) {
  struct stat st;
  ok = ::stat(path.c_str(), &st) == 0;
  if (!ok) return 0;
  int attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= faDirectory;
  else attr |= faArchive;
  if (::access(path.c_str(), W_OK) != 0) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= faHidden;
  return attr;
}

struct RSearch {
  bool open = false;
  std::vector<std::string> names;
  size_t next = 0;
} g_search;

void F_file_find_close(CInstance*, CInstance*, int, RValue&, RValue*) {
  g_search = RSearch();
}

void FindNext(RValue& r) {
  if (!g_search.open || g_search.next >= g_search.names.size()) {
    r.SetString("");
    return;
  }
  r.SetString(g_search.names[g_search.next++]);
}

void F_file_find_first(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  g_search = RSearch();
  r.SetString("");
  std::string mask = ArgString(a[0]);
  const int want = ArgInt(a[1]);
  std::replace(mask.begin(), mask.end(), '\\', '/');
  size_t cut = mask.rfind('/');
  if (cut == std::string::npos && mask.size() >= 2 && mask[1] == ':') cut = 1;
  std::string dir = cut == std::string::npos ? std::string() : mask.substr(0, cut + 1);
  std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
  // "*.*" matches names without a point too, as it always has on Windows.
  if (pattern == "*.*") pattern = "*";
  if (pattern.empty()) return;
  const std::string host = dir.empty() ? std::string(".") : HostPath(dir);
  DIR* d = ::opendir(host.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) != 0) continue;
    bool ok = false;
    const int attr = AttributesOf(host + "/" + name, name, ok);
    if (!ok) continue;
    // Plain files always match; directories and hidden files only when asked.
    if ((attr & faDirectory) && !(want & faDirectory)) continue;
    if ((attr & faHidden) && !(want & faHidden)) continue;
    names.push_back(name);
  }
  ::closedir(d);
  if (names.empty()) return;
  std::sort(names.begin(), names.end());
  g_search.open = true;
  g_search.names = std::move(names);
  FindNext(r);
}

void F_file_find_next(CInstance*, CInstance*, int, RValue& r, RValue*) { FindNext(r); }

void F_file_attributes(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const std::string path = HostPath(ArgString(a[0]));
  bool ok = false;
  const int attr = AttributesOf(path, std::filesystem::path(path).filename().string(), ok);
  r.SetReal(!ok ? -1 : (attr & ArgInt(a[1])) ? 1 : 0);
}

// The folder that stands for a drive letter, or the working folder; walked
// up to the nearest folder that exists so the answer is the file system's.
std::string DiskOf(int argc, RValue* a) {
  std::string p = ".";
  if (argc > 0 && !ArgString(a[0]).empty()) {
    const char letter = ArgString(a[0])[0];
    if (std::isalpha(static_cast<unsigned char>(letter))) p = HostPath(std::string(1, letter) + ":\\");
  }
  std::filesystem::path fp(p);
  while (!IsDirectory(fp.string()) && fp.has_parent_path() && fp.parent_path() != fp) fp = fp.parent_path();
  return fp.string();
}

void F_disk_free(CInstance*, CInstance*, int argc, RValue& r, RValue* a) {
  struct statvfs sv;
  r.SetReal(::statvfs(DiskOf(argc, a).c_str(), &sv) == 0 ? double(sv.f_bavail) * double(sv.f_frsize) : -1);
}
void F_disk_size(CInstance*, CInstance*, int argc, RValue& r, RValue* a) {
  struct statvfs sv;
  r.SetReal(::statvfs(DiskOf(argc, a).c_str(), &sv) == 0 ? double(sv.f_blocks) * double(sv.f_frsize) : -1);
}

// ---- file names ------------------------------------------------------------------

void F_filename_name(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetString(filename::Name(ArgString(a[0])));
}
void F_filename_path(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetString(filename::Path(ArgString(a[0])));
}
void F_filename_dir(CInstance*, CInstance*, int, RValue& r, RValue* a) { r.SetString(filename::Dir(ArgString(a[0]))); }
void F_filename_drive(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetString(filename::Drive(ArgString(a[0])));
}
void F_filename_ext(CInstance*, CInstance*, int, RValue& r, RValue* a) { r.SetString(filename::Ext(ArgString(a[0]))); }
void F_filename_change_ext(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetString(filename::ChangeExt(ArgString(a[0]), ArgString(a[1])));
}

// ---- included files -----------------------------------------------------------------

void F_export_include_file(CInstance*, CInstance*, int, RValue&, RValue* a) {
  CDataFile* f = GetIncludedFile(FindIncludedFile(ArgString(a[0])));
  if (f == nullptr) return Err("Trying to export non-existing file.");
  f->Prepare();
}
void F_export_include_file_location(CInstance*, CInstance*, int, RValue&, RValue* a) {
  CDataFile* f = GetIncludedFile(FindIncludedFile(ArgString(a[0])));
  if (f == nullptr) return Err("Trying to export non-existing file.");
  if (SecureMode) return Err("In secure mode you cannot export a file to a location.");
  f->ExportIt(HostPath(ArgString(a[1])));
}
void F_discard_include_file(CInstance*, CInstance*, int, RValue&, RValue* a) {
  CDataFile* f = GetIncludedFile(FindIncludedFile(ArgString(a[0])));
  if (f == nullptr) return Err("Trying to discard non-existing file.");
  f->Discard();
}

// ---- programs and environment -------------------------------------------------------------

std::vector<std::string> g_parameters;

// A program is looked for as a file first (the working folder comes before
// PATH, as it does on Windows); a bare name that is no file is searched in PATH.
std::string ProgramPath(const std::string& program) {
  std::string path = HostPath(program);
  if (IsRegular(path)) return path.find('/') == std::string::npos ? "./" + path : path;
  return program.find_first_of("/\\:") == std::string::npos ? program : path;
}

void F_execute_program(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& program = ArgString(a[0]);
  if (SecureMode) return Err("In Secure mode you cannot execute program " + program);
  if (!RunProgram(ProgramPath(program), ArgString(a[1]), std::string(), ArgBool(a[2])))
    Err("Cannot execute " + program);
}
void F_execute_shell(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& program = ArgString(a[0]);
  if (SecureMode) return Err("In Secure mode you cannot execute program " + program);
  if (!ShellOpen(ProgramPath(program), ArgString(a[1]), std::string())) Err("Cannot execute " + program);
}

void F_parameter_count(CInstance*, CInstance*, int, RValue& r, RValue*) {
  r.SetReal(g_parameters.empty() ? 0 : double(g_parameters.size() - 1));
}
void F_parameter_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int n = ArgInt(a[0]);
  r.SetString(n >= 0 && size_t(n) < g_parameters.size() ? g_parameters[size_t(n)] : std::string());
}
void F_environment_get_variable(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const char* v = std::getenv(ArgString(a[0]).c_str());
  r.SetString(v ? v : "");
}

// ---- ini files ---------------------------------------------------------------------

struct RIni {
  bool open = false;
  std::string name, path;
  CIniFile file;
  bool dirty = false;  // a change not yet on disk (its write failed)
} g_ini;

// Writes the ini file after a change. In secure mode an ini file named
// outside the working folder is only read, never written.
void IniSave() {
  if (SecureRefuses(g_ini.name)) {
    g_ini.dirty = false;
    return Err("In secure mode you cannot write file " + g_ini.name);
  }
  g_ini.dirty = !g_ini.file.Save(g_ini.path);
}

void IniClose() {
  if (g_ini.open && g_ini.dirty) IniSave();
  g_ini = RIni();
}

void F_ini_open(CInstance*, CInstance*, int, RValue&, RValue* a) {
  IniClose();
  const std::string& name = ArgString(a[0]);
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(HostPath(name), ec);
  const std::filesystem::path parent = full.parent_path();
  if (ec || name.empty() || !IsDirectory(parent.empty() ? std::string(".") : parent.string()))
    return Err("Error directory does not exist when opening ini file - " + full.string());
  g_ini.open = true;
  g_ini.name = name;
  g_ini.path = full.string();
  g_ini.file.Load(g_ini.path);
}

void F_ini_close(CInstance*, CInstance*, int, RValue&, RValue*) { IniClose(); }

bool IniReadable() {
  if (g_ini.open) return true;
  Err("Trying to read from undefined INI file");
  return false;
}

void F_ini_read_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetString(ArgString(a[2]));
  if (!IniReadable()) return;
  if (const std::string* v = g_ini.file.Find(ArgString(a[0]), ArgString(a[1]))) r.SetString(*v);
}

void F_ini_read_real(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(ArgReal(a[2]));
  if (!IniReadable()) return;
  double v = 0;
  if (const std::string* t = g_ini.file.Find(ArgString(a[0]), ArgString(a[1])); t && ParseIniReal(*t, v)) r.SetReal(v);
}

void F_ini_key_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (IniReadable()) r.SetReal(g_ini.file.Find(ArgString(a[0]), ArgString(a[1])) ? 1 : 0);
}
void F_ini_section_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  if (IniReadable()) r.SetReal(g_ini.file.SectionExists(ArgString(a[0])) ? 1 : 0);
}

void IniWrite(const RValue* a, const std::string& value) {
  if (!g_ini.open) return Err("Trying to write to undefined INI file");
  if (g_ini.file.Set(ArgString(a[0]), ArgString(a[1]), value)) IniSave();
}
void F_ini_write_string(CInstance*, CInstance*, int, RValue&, RValue* a) { IniWrite(a, ArgString(a[2])); }
void F_ini_write_real(CInstance*, CInstance*, int, RValue&, RValue* a) { IniWrite(a, ShortestReal(ArgReal(a[2]))); }

void F_ini_key_delete(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (!g_ini.open) return Err("Trying to change undefined INI file");
  if (g_ini.file.DeleteKey(ArgString(a[0]), ArgString(a[1]))) IniSave();
}
void F_ini_section_delete(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (!g_ini.open) return Err("Trying to change undefined INI file");
  if (g_ini.file.DeleteSection(ArgString(a[0]))) IniSave();
}

// ---- the registry ------------------------------------------------------------------

int g_registry_root = 0;

void F_registry_write_string(CInstance*, CInstance*, int, RValue&, RValue* a) {
  RegistryWriteString(RegistryGameKey(), ArgString(a[0]), ArgString(a[1]));
}
void F_registry_write_real(CInstance*, CInstance*, int, RValue&, RValue* a) {
  RegistryWriteReal(RegistryGameKey(), ArgString(a[0]), ArgReal(a[1]));
}
void RegReadString(const std::string& key, const std::string& name, RValue& r) {
  const RRegistryValue v = RegistryRead(key, name);
  r.SetString(v.exists && !v.is_real ? v.text : std::string());
}
void RegReadReal(const std::string& key, const std::string& name, RValue& r) {
  const RRegistryValue v = RegistryRead(key, name);
  r.SetReal(v.exists && v.is_real ? v.real : 0);
}
void F_registry_read_string(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RegReadString(RegistryGameKey(), ArgString(a[0]), r);
}
void F_registry_read_real(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RegReadReal(RegistryGameKey(), ArgString(a[0]), r);
}
void F_registry_exists(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(RegistryRead(RegistryGameKey(), ArgString(a[0])).exists ? 1 : 0);
}
void F_registry_write_string_ext(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& key = ArgString(a[0]);
  if (SecureMode) return Err("In Secure mode you cannot write registry entries in " + key);
  RegistryWriteString(RegistryRootKey(g_registry_root, key), ArgString(a[1]), ArgString(a[2]));
}
void F_registry_write_real_ext(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const std::string& key = ArgString(a[0]);
  if (SecureMode) return Err("In Secure mode you cannot write registry entries in " + key);
  RegistryWriteReal(RegistryRootKey(g_registry_root, key), ArgString(a[1]), ArgReal(a[2]));
}
void F_registry_read_string_ext(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RegReadString(RegistryRootKey(g_registry_root, ArgString(a[0])), ArgString(a[1]), r);
}
void F_registry_read_real_ext(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  RegReadReal(RegistryRootKey(g_registry_root, ArgString(a[0])), ArgString(a[1]), r);
}
void F_registry_exists_ext(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  r.SetReal(RegistryRead(RegistryRootKey(g_registry_root, ArgString(a[0])), ArgString(a[1])).exists ? 1 : 0);
}
void F_registry_set_root(CInstance*, CInstance*, int, RValue&, RValue* a) { g_registry_root = ArgInt(a[0]); }

constexpr RBuiltin kFunctions[] = {
    {"file_bin_open", F_file_bin_open, 2},
    {"file_bin_rewrite", F_file_bin_rewrite, 1},
    {"file_bin_close", F_file_bin_close, 1},
    {"file_bin_position", F_file_bin_position, 1},
    {"file_bin_size", F_file_bin_size, 1},
    {"file_bin_seek", F_file_bin_seek, 2},
    {"file_bin_read_byte", F_file_bin_read_byte, 1},
    {"file_bin_write_byte", F_file_bin_write_byte, 2},
    {"file_text_open_read", F_file_text_open_read, 1},
    {"file_text_open_write", F_file_text_open_write, 1},
    {"file_text_open_append", F_file_text_open_append, 1},
    {"file_text_close", F_file_text_close, 1},
    {"file_text_read_string", F_file_text_read_string, 1},
    {"file_text_read_real", F_file_text_read_real, 1},
    {"file_text_readln", F_file_text_readln, 1},
    {"file_text_eof", F_file_text_eof, 1},
    {"file_text_eoln", F_file_text_eoln, 1},
    {"file_text_write_string", F_file_text_write_string, 2},
    {"file_text_write_real", F_file_text_write_real, 2},
    {"file_text_writeln", F_file_text_writeln, 1},
    {"file_open_read", F_file_open_read, 1},
    {"file_open_write", F_file_open_write, 1},
    {"file_open_append", F_file_open_append, 1},
    {"file_close", F_file_close, 0},
    {"file_read_string", F_file_read_string, 0},
    {"file_read_real", F_file_read_real, 0},
    {"file_readln", F_file_readln, 0},
    {"file_eof", F_file_eof, 0},
    {"file_eoln", F_file_eoln, 0},
    {"file_write_string", F_file_write_string, 1},
    {"file_write_real", F_file_write_real, 1},
    {"file_writeln", F_file_writeln, 0},
    {"file_exists", F_file_exists, 1},
    {"file_delete", F_file_delete, 1},
    {"file_rename", F_file_rename, 2},
    {"file_copy", F_file_copy, 2},
    {"directory_exists", F_directory_exists, 1},
    {"directory_create", F_directory_create, 1},
    {"file_find_first", F_file_find_first, 2},
    {"file_find_next", F_file_find_next, 0},
    {"file_find_close", F_file_find_close, 0},
    {"file_attributes", F_file_attributes, 2},
    {"disk_free", F_disk_free, -1},
    {"disk_size", F_disk_size, -1},
    {"filename_name", F_filename_name, 1},
    {"filename_path", F_filename_path, 1},
    {"filename_dir", F_filename_dir, 1},
    {"filename_drive", F_filename_drive, 1},
    {"filename_ext", F_filename_ext, 1},
    {"filename_change_ext", F_filename_change_ext, 2},
    {"export_include_file", F_export_include_file, 1},
    {"export_include_file_location", F_export_include_file_location, 2},
    {"discard_include_file", F_discard_include_file, 1},
    {"execute_program", F_execute_program, 3},
    {"execute_shell", F_execute_shell, 2},
    {"parameter_count", F_parameter_count, 0},
    {"parameter_string", F_parameter_string, 1},
    {"environment_get_variable", F_environment_get_variable, 1},
    {"registry_write_string", F_registry_write_string, 2},
    {"registry_write_real", F_registry_write_real, 2},
    {"registry_read_string", F_registry_read_string, 1},
    {"registry_read_real", F_registry_read_real, 1},
    {"registry_exists", F_registry_exists, 1},
    {"registry_write_string_ext", F_registry_write_string_ext, 3},
    {"registry_write_real_ext", F_registry_write_real_ext, 3},
    {"registry_read_string_ext", F_registry_read_string_ext, 2},
    {"registry_read_real_ext", F_registry_read_real_ext, 2},
    {"registry_exists_ext", F_registry_exists_ext, 2},
    {"registry_set_root", F_registry_set_root, 1},
    {"ini_open", F_ini_open, 1},
    {"ini_close", F_ini_close, 0},
    {"ini_read_string", F_ini_read_string, 3},
    {"ini_read_real", F_ini_read_real, 3},
    {"ini_write_string", F_ini_write_string, 3},
    {"ini_write_real", F_ini_write_real, 3},
    {"ini_key_exists", F_ini_key_exists, 2},
    {"ini_section_exists", F_ini_section_exists, 1},
    {"ini_key_delete", F_ini_key_delete, 2},
    {"ini_section_delete", F_ini_section_delete, 1},
};
}  // namespace

std::string FormatFileReal(double v) {
  std::string s = " ";
  if (!std::isfinite(v)) return s + (std::isnan(v) ? "nan" : v < 0 ? "-inf" : "inf");
  if (v < 0) s += '-';
  const double a = std::fabs(v);
  const double ip = std::floor(a);
  const double frac = std::floor((a - ip) * 1000000.0);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", ip);
  s += buf;
  if (frac != 0) {
    std::snprintf(buf, sizeof buf, ".%06d", int(frac));
    s += buf;
  }
  return s;
}

namespace filename {
namespace {
size_t NameStart(const std::string& s) {
  const size_t p = s.find_last_of("\\:");
  return p == std::string::npos ? 0 : p + 1;
}
}  // namespace
std::string Name(const std::string& s) { return s.substr(NameStart(s)); }
std::string Path(const std::string& s) { return s.substr(0, NameStart(s)); }
std::string Dir(const std::string& s) {
  std::string p = Path(s);
  if (!p.empty() && p.back() == '\\') {
    // A drive root keeps its backslash; so does a lone one.
    const bool root = p.size() == 1 || (p.size() == 3 && p[1] == ':');
    if (!root) p.pop_back();
  }
  return p;
}
std::string Drive(const std::string& s) {
  if (s.size() >= 2 && s[1] == ':') return s.substr(0, 2);
  if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
    // "\\server\share": up to the separator after the share.
    const size_t server = s.find('\\', 2);
    if (server == std::string::npos) return s;
    const size_t share = s.find('\\', server + 1);
    return share == std::string::npos ? s : s.substr(0, share);
  }
  return std::string();
}
std::string Ext(const std::string& s) {
  const size_t start = NameStart(s);
  const size_t dot = s.rfind('.');
  return dot == std::string::npos || dot < start ? std::string() : s.substr(dot);
}
std::string ChangeExt(const std::string& s, const std::string& ext) {
  const size_t start = NameStart(s);
  const size_t dot = s.rfind('.');
  return (dot == std::string::npos || dot < start ? s : s.substr(0, dot)) + ext;
}
}  // namespace filename

void SetProgramParameters(int argc, char** argv) {
  g_parameters.clear();
  for (int i = 0; i < argc; ++i) g_parameters.emplace_back(argv[i]);
}

void CloseGameFiles() {
  for (int& fd : g_bin) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  for (RTextFile& t : g_text) CloseText(t, false);
  g_search = RSearch();
  IniClose();
  g_registry_root = 0;
}

const RFunctionLibrary kLibrary_File{"File", kFunctions};
