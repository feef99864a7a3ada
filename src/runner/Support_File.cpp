#include "runner/Support_File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "runner/Support_Various.h"

namespace fs = std::filesystem;

std::string TempDir;
std::string TempBase;

std::string ExecutablePath() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string ExecutableDir() {
  static const std::string dir = [] {
    std::string exe = ExecutablePath();
    return exe.empty() ? std::string() : fs::path(exe).parent_path().string();
  }();
  return dir;
}

namespace {

std::mt19937& TempRandom() {
  static std::mt19937 rng(std::random_device{}());
  return rng;
}

// The start time of a process (field 22 of /proc/PID/stat), empty when the
// process is gone; with the id it names one process even when ids are reused.
std::string ProcessStartTime(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!in || !std::getline(in, stat)) return std::string();
  // The command name may hold spaces and parentheses: count from the last ")".
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::string();
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) return field;
  return std::string();
}

constexpr const char* kOwnerFile = "/.owner";

// Each temporary folder names its process; a folder whose process has ended
// without removing it (killed) is removed by the next run that uses the same
// base. Folders of other users, links and folders without an owner line are
// left alone.
void RemoveStaleTempDirs(const std::string& base) {
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("or_ttt_", 0) != 0) continue;
    struct stat st;
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
    std::ifstream owner(it->path().string() + kOwnerFile);
    long pid = 0;
    std::string started;
    if (!(owner >> pid >> started) || pid <= 0) continue;
    if (ProcessStartTime(pid) == started) continue;
    std::error_code rm;
    fs::remove_all(it->path(), rm);
  }
}

void WriteTempDirOwner(const std::string& dir) {
  std::ofstream(dir + kOwnerFile) << ::getpid() << ' ' << ProcessStartTime(::getpid()) << '\n';
}

// Tries to make base + "/or_ttt_" + number. mkdir fails on an existing name,
// so a new number is drawn until a directory is made (or creation fails for
// another reason).
bool TryCreateUnder(const std::string& base) {
  if (base.empty()) return false;
  std::error_code ec;
  fs::create_directories(base, ec);
  if (!fs::is_directory(base, ec)) return false;
  RemoveStaleTempDirs(base);
  std::uniform_int_distribution<int> pick(0, 99999);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string dir = base + (base.back() == '/' ? "" : "/") + "or_ttt_" + std::to_string(pick(TempRandom()));
    if (mkdir(dir.c_str(), 0700) == 0) {
      TempBase = base;
      TempDir = dir;
      WriteTempDirOwner(dir);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::string();
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  return line;
}

std::string EnvBase() {
  for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return std::string();
}

}  // namespace

bool CreateTempDir() {
  TempDir.clear();
  TempBase.clear();
  std::string base;
  std::string dir = ExecutableDir();
  if (!dir.empty()) {
    std::error_code ec;
    if (fs::exists(dir + "/tempdir.txt", ec)) base = FirstLine(dir + "/tempdir.txt");
  }
  if (base.empty()) base = EnvBase();
  if (base.empty()) base = "/tmp";
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  if (TryCreateUnder(base) || TryCreateUnder("/tmp") || TryCreateUnder(cwd)) return true;
  ShowMessage("Failed to create temp dir. This can cause serious problems with sounds, etc.");
  return false;
}

void RemoveTempDir() {
  if (TempDir.empty()) return;
  std::error_code ec;
  // Only a directory we made: a real directory (not a link) named or_ttt_N.
  if (fs::path(TempDir).filename().string().rfind("or_ttt_", 0) == 0 &&
      fs::is_directory(fs::symlink_status(TempDir, ec))) {
    // remove_all removes links themselves and never descends through them.
    fs::remove_all(TempDir, ec);
  }
  TempDir.clear();
}

std::string GetTempDir() { return TempDir; }

std::string MakeTempFileName(const std::string& extension) {
  std::uniform_int_distribution<int> pick(0, 99999);
  std::string name;
  std::error_code ec;
  do {
    name = TempDir + "/a" + std::to_string(pick(TempRandom())) + extension;
  } while (fs::exists(fs::symlink_status(name, ec)));
  return name;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; only a regular
  // file is read.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  bytes.resize(size_t(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  close(fd);
  bytes.resize(got);
  return true;
}

namespace {

bool g_outputFailed = false;

const char* KindOfNonRegular(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
  if (S_ISFIFO(mode)) return "is a FIFO";
  if (S_ISSOCK(mode)) return "is a socket";
  return "is not a regular file";
}

// True when path lies in folder or below it, both made absolute and free of
// links and dot components as far as they exist.
bool IsInside(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return false;
  const fs::path f = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  if (ec) return false;
  auto pi = p.begin();
  for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
    if (fi->empty()) continue;  // a trailing separator
    if (pi == p.end() || *pi != *fi) return false;
  }
  return true;
}

}  // namespace

void NoteOutputFailure() { g_outputFailed = true; }
bool OutputFailed() { return g_outputFailed; }

bool ResolveOutputFile(const std::string& path, std::string& target, std::string* error,
                       const std::string& refuse_inside) {
  const auto refuse = [&](const std::string& why) {
    if (error) *error = why + "; nothing was written";
    return false;
  };
  if (path.empty()) return refuse("no file name");
  fs::path p(path);
  // Follow the chain of links by hand: the written file must be the end of
  // the chain, and a loop must not hang the program.
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) {
      if (errno == ENOENT) break;  // a new file
      return refuse(std::string("cannot look at the file: ") + std::strerror(errno));
    }
    if (S_ISLNK(st.st_mode)) {
      if (hops >= 40) return refuse("too many levels of symbolic links");
      std::error_code ec;
      const fs::path link = fs::read_symlink(p, ec);
      if (ec) return refuse("cannot read the symbolic link: " + ec.message());
      p = link.is_absolute() ? link : p.parent_path() / link;
      continue;
    }
    if (!S_ISREG(st.st_mode)) return refuse(KindOfNonRegular(st.st_mode) + std::string(", not a regular file"));
    break;
  }
  if (!refuse_inside.empty() && IsInside(p, refuse_inside))
    return refuse("is inside the project folder " + refuse_inside);
  target = p.string();
  return true;
}

bool ReplaceFileSafely(const std::string& path, const uint8_t* bytes, size_t size, bool executable,
                       std::string* error, const std::string& refuse_inside) {
  const auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return false;
  };
  std::string resolved;
  if (!ResolveOutputFile(path, resolved, error, refuse_inside)) return false;
  const fs::path target(resolved);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return fail("cannot create the file");
  const auto abandon = [&](const char* what) {
    const int saved = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    errno = saved;
    return fail(what);
  };
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return abandon("cannot write the file");
    done += size_t(n);
  }
  // mkstemp makes the file private; give it the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, (executable ? 0777 : 0666) & ~mask) != 0 || ::fsync(fd) != 0)
    return abandon("cannot write the file");
  if (::close(fd) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return fail("cannot write the file");
  }
  // Renaming over a name that became a folder meanwhile fails, never empties it.
  if (std::rename(temp.c_str(), resolved.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return fail("cannot replace the file");
  }
  return true;
}

bool AppendFileSafely(const std::string& path, const std::string& text, bool fresh, std::string* error) {
  std::string resolved;
  if (!ResolveOutputFile(path, resolved, error)) return false;
  // O_NOFOLLOW: the name was resolved above; a link put there since is refused.
  const int fd = ::open(resolved.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (fresh ? O_TRUNC : O_APPEND),
                        0666);
  if (fd < 0) {
    if (error) *error = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += size_t(n);
  }
  if (!ok && error) *error = std::string("cannot write the file: ") + std::strerror(errno);
  ok = ::close(fd) == 0 && ok;
  return ok;
}

bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size) {
  return ReplaceFileSafely(path, bytes, size);
}

void RemoveStaleReplaceTemps(const std::string& path) {
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string prefix = "." + target.filename().string() + ".";
  const auto now = fs::file_time_type::clock::now();
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat st;
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) continue;
    std::error_code tec;
    const auto written = fs::last_write_time(it->path(), tec);
    if (tec || now - written < std::chrono::seconds(kStaleTempSeconds)) continue;
    std::error_code rm;
    fs::remove(it->path(), rm);
  }
}
