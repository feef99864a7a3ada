#include "Pack_Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "runner/DataNew_Write.h"
#include "runner/Support_File.h"

namespace fs = std::filesystem;

namespace {
std::runtime_error SysError(const std::string& what, const fs::path& path) {
  return std::runtime_error(path.string() + ": " + what + ": " + std::strerror(errno));
}
}  // namespace

void WriteOutputFile(const fs::path& path, const std::vector<uint8_t>& bytes, bool executable) {
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::string pattern = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) throw SysError("cannot create the output file", path);
  fs::path temp(name.data());
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      auto err = SysError("cannot write the output file", path);
      close(fd);
      unlink(temp.c_str());
      throw err;
    }
    done += size_t(n);
  }
  // mkstemp makes the file private; give it the usual permissions.
  mode_t mask = umask(0);
  umask(mask);
  mode_t mode = (executable ? 0777 : 0666) & ~mask;
  bool ok = fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    auto err = SysError("cannot write the output file", path);
    unlink(temp.c_str());
    throw err;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    auto err = SysError("cannot replace the output file", path);
    unlink(temp.c_str());
    throw err;
  }
}

std::vector<uint8_t> MakeRunnableFile(const fs::path& runner, const std::vector<uint8_t>& game) {
  std::error_code ec;
  if (!fs::is_regular_file(runner, ec)) {
    throw std::runtime_error("runner program " + runner.string() + " not found (give it with --runner PATH)");
  }
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(runner.string(), bytes)) {
    throw std::runtime_error("cannot read the runner program " + runner.string());
  }
  return MakeRunnableGame(bytes, game);
}
