// Game file names to host paths and the secure-mode name test.
#include "library/Support_Path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "runner/DataNew_Class.h"
#include "runner/DataNew_Main.h"

namespace {
bool Exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// The entry of folder dir whose name equals want ignoring case; empty when none.
std::string FindCaseless(const std::string& dir, const std::string& want) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return std::string();
  std::vector<std::string> hits;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, want.c_str()) == 0) hits.emplace_back(e->d_name);
  }
  ::closedir(d);
  if (hits.empty()) return std::string();
  std::sort(hits.begin(), hits.end());
  return hits.front();
}
}  // namespace

std::string GameDataDir() {
  std::string base;
  if (const char* e = std::getenv("ROOMRUN_DATA_HOME"); e && *e) {
    base = e;
  } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
    base = std::string(x) + "/roomrun";
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "/tmp") + "/.local/share/roomrun";
  }
  return base + "/" + std::to_string(GameId);
}

std::string HostPath(const std::string& name) {
  std::string p = name;
  std::replace(p.begin(), p.end(), '\\', '/');
  std::string root;  // the part that is never matched case-insensitively
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    root = GameDataDir() + "/drive_" + char(std::tolower(static_cast<unsigned char>(p[0])));
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    p = p.substr(2);
    while (!p.empty() && p[0] == '/') p.erase(0, 1);
  } else if (p.size() >= 2 && p[0] == '/' && p[1] == '/') {
    root = GameDataDir() + "/unc";
    p = p.substr(2);
  } else if (!p.empty() && p[0] == '/') {
    root = "/";
    p = p.substr(1);
  }
  auto join = [](const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    return a.back() == '/' ? a + b : a + "/" + b;
  };
  const std::string exact = p.empty() ? root : join(root, p);
  if (exact.empty() || Exists(exact)) return exact;

  std::string cur = root;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string comp = p.substr(i, j - i);
    i = j + 1;
    if (comp.empty()) continue;
    std::string next = join(cur, comp);
    if (comp != "." && comp != ".." && !Exists(next)) {
      const std::string hit = FindCaseless(cur.empty() ? "." : cur, comp);
      if (!hit.empty()) next = join(cur, hit);
    }
    cur = next;
  }
  if (!p.empty() && p.back() == '/') cur += '/';
  return cur;
}

bool SecureRefuses(const std::string& name) { return SecureMode && !CDataFile::IsPlainName(name); }
