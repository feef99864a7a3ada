// The file-backed registry store: its place, its lock, its value encoding.
#include "library/Support_Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "library/Support_Ini.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Various.h"

namespace {
struct RStore {
  std::string path;
  CIniFile ini;
  // What the file was when read: a change on disk means read it again.
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  bool loaded = false;
} g_store;

std::string Escape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Key and value names as ini section and key names: the characters the ini
// format gives a meaning to, and blanks at either end, are percent-encoded.
std::string EncodeName(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const bool edge = (i == 0 || i + 1 == s.size()) && (c == ' ' || c == '\t');
    if (edge || c < 32 || c == '%' || c == '=' || c == '[' || c == ']' || c == ';' || c == '#') {
      static const char* hex = "0123456789ABCDEF";
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

// Reads the store when it is not read yet or the file changed since.
void Refresh() {
  const std::string path = RegistryStorePath();
  struct stat st;
  const bool there = ::stat(path.c_str(), &st) == 0;
  if (g_store.loaded && g_store.path == path &&
      (there ? (st.st_dev == g_store.dev && st.st_ino == g_store.ino && st.st_size == g_store.size &&
                st.st_mtim.tv_sec == g_store.mtime.tv_sec && st.st_mtim.tv_nsec == g_store.mtime.tv_nsec)
             : g_store.size == -1))
    return;
  g_store.path = path;
  g_store.ini.Load(path);
  g_store.loaded = true;
  g_store.dev = there ? st.st_dev : 0;
  g_store.ino = there ? st.st_ino : 0;
  g_store.size = there ? st.st_size : -1;
  g_store.mtime = there ? st.st_mtim : timespec{};
}

// Holds the store's lock file (beside the store) for one change.
class CStoreLock {
 public:
  explicit CStoreLock(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~CStoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool Write(const std::string& key, const std::string& name, const std::string& encoded) {
  const std::string path = RegistryStorePath();
  CStoreLock lock(path);
  if (!lock.ok()) {
    TraceWrite("Registry store " + path + " cannot be locked");
    return false;
  }
  Refresh();
  if (!g_store.ini.Set(EncodeName(key), EncodeName(name), encoded)) return true;
  const bool ok = g_store.ini.Save(path);
  g_store.loaded = false;  // read our own write back next time
  return ok;
}
}  // namespace

std::string RegistryStorePath() {
  std::string base;
  if (const char* e = std::getenv("ROOMRUN_CONFIG_HOME"); e && *e) {
    base = e;
  } else if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = std::string(x) + "/roomrun";
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "/tmp") + "/.config/roomrun";
  }
  return base + "/registry-" + std::to_string(GameId) + ".ini";
}

std::string RegistryGameKey() { return "HKCU\\Software\\Orrin\\" + std::to_string(GameId); }

std::string RegistryRootKey(int root, const std::string& key) {
  const char* prefix = root == 1 ? "HKLM" : root == 2 ? "HKCR" : root == 3 ? "HKU" : "HKCU";
  size_t b = 0;
  while (b < key.size() && key[b] == '\\') ++b;
  return std::string(prefix) + "\\" + key.substr(b);
}

RRegistryValue RegistryRead(const std::string& key, const std::string& name) {
  Refresh();
  RRegistryValue v;
  const std::string* raw = g_store.ini.Find(EncodeName(key), EncodeName(name));
  if (raw == nullptr || raw->size() < 2 || (*raw)[1] != ':') return v;
  if ((*raw)[0] == 's') {
    v.exists = true;
    v.text = Unescape(raw->substr(2));
  } else if ((*raw)[0] == 'r') {
    char* end = nullptr;
    const std::string num = raw->substr(2);
    v.real = std::strtod(num.c_str(), &end);
    v.exists = end != num.c_str() && std::isfinite(v.real);
    v.is_real = true;
    if (!v.exists) v.real = 0;
  }
  return v;
}

bool RegistryWriteString(const std::string& key, const std::string& name, const std::string& text) {
  return Write(key, name, "s:" + Escape(text));
}

bool RegistryWriteReal(const std::string& key, const std::string& name, double value) {
  return Write(key, name, "r:" + ShortestReal(value));
}

void RegistryForget() { g_store = RStore(); }
