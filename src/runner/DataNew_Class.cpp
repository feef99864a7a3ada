#include "runner/DataNew_Class.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"

namespace {
bool HasPathSeparator(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }
}  // namespace

void CDataFile::Clear() {
  s_filename.clear();
  s_origname.clear();
  s_exists = false;
  s_size = 0;
  s_store = false;
  s_data.clear();
  s_data.shrink_to_fit();
  s_exportaction = 2;
  s_exportdir.clear();
  s_overwrite = false;
  s_freedata = true;
  s_removeend = true;
}

void CDataFile::Assign(const CDataFile& other) {
  if (this == &other) return;
  s_filename = other.s_filename;
  s_origname = other.s_origname;
  s_exists = other.s_exists;
  s_size = other.s_size;
  s_store = other.s_store;
  if (other.s_exists && other.s_store) {
    s_data = other.s_data;
  } else {
    s_data.clear();
  }
  s_exportaction = other.s_exportaction;
  s_exportdir = other.s_exportdir;
  s_overwrite = other.s_overwrite;
  s_freedata = other.s_freedata;
  s_removeend = other.s_removeend;
}

bool CDataFile::LoadFromStream(CStream& stream) {
  Clear();
  if (stream.ReadInteger() != kVersion) return false;
  s_filename = stream.ReadString();
  s_origname = stream.ReadString();
  s_exists = stream.ReadBoolean();
  s_size = stream.ReadInteger();
  s_store = stream.ReadBoolean();
  if (s_exists && s_store) {
    int32_t n = stream.ReadInteger();
    if (n < 0) throw EStreamError("Stream read error: negative length");
    const uint8_t* p = stream.ReadSpan(size_t(n));
    s_data.assign(p, p + n);
  }
  s_exportaction = stream.ReadInteger();
  s_exportdir = stream.ReadString();
  s_overwrite = stream.ReadBoolean();
  s_freedata = stream.ReadBoolean();
  s_removeend = stream.ReadBoolean();
  return true;
}

bool CDataFile::LoadFromBlock(CInflateReader& in) {
  Clear();
  if (in.ReadInteger() != kVersion) return false;
  s_filename = in.ReadString();
  s_origname = in.ReadString();
  s_exists = in.ReadBoolean();
  s_size = in.ReadInteger();
  s_store = in.ReadBoolean();
  if (s_exists && s_store) {
    int32_t n = in.ReadInteger();
    if (n < 0) throw EStreamError("Stream read error: negative length");
    if (size_t(n) > in.Allowance()) throw EStreamError("Stream read error: compressed block too large");
    // Large files are taken in growing steps, so that a false length cannot
    // claim much more memory than the block really holds.
    constexpr size_t kStep = size_t(64) << 20;
    size_t done = 0;
    while (done < size_t(n)) {
      size_t step = std::min(size_t(n) - done, std::max(done, kStep));
      s_data.resize(done + step);
      in.Read(s_data.data() + done, step);
      done += step;
    }
  }
  s_exportaction = in.ReadInteger();
  s_exportdir = in.ReadString();
  s_overwrite = in.ReadBoolean();
  s_freedata = in.ReadBoolean();
  s_removeend = in.ReadBoolean();
  return true;
}

void CDataFile::SaveToStream(CStream& stream) const {
  stream.WriteInteger(kVersion);
  stream.WriteString(s_filename);
  stream.WriteString(s_origname);
  stream.WriteBoolean(s_exists);
  stream.WriteInteger(s_size);
  stream.WriteBoolean(s_store);
  if (s_exists && s_store) {
    stream.WriteInteger(int32_t(s_data.size()));
    stream.WriteBuffer(s_data.data(), s_data.size());
  }
  stream.WriteInteger(s_exportaction);
  stream.WriteString(s_exportdir);
  stream.WriteBoolean(s_overwrite);
  stream.WriteBoolean(s_freedata);
  stream.WriteBoolean(s_removeend);
}

bool CDataFile::IsPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
  // "C:name" means a drive on some systems; refused so a name stays a name.
  if (name.size() >= 2 && name[1] == ':') return false;
  return true;
}

bool CDataFile::ExportIt(const std::string& target) {
  if (!s_exists || target.empty()) return false;
  // O_EXCL and O_NOFOLLOW: neither creating nor replacing ever goes through
  // a link planted at the target; O_NONBLOCK so a FIFO there cannot hang us.
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (s_overwrite ? 0 : O_EXCL);
  const int fd = ::open(target.c_str(), flags, 0666);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) == 0;
  if (ok) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  }
  for (size_t done = 0; ok && done < s_data.size();) {
    const ssize_t n = ::write(fd, s_data.data() + done, s_data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += size_t(n);
  }
  if (ok && ::fstat(fd, &st) == 0) {
    s_writtenPath = target;
    s_writtenDev = st.st_dev;
    s_writtenIno = st.st_ino;
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

std::string CDataFile::Target() const {
  switch (s_exportaction) {
    case 1:
      return TempDir.empty() ? std::string() : TempDir + "/" + s_filename;
    case 2:
      return s_filename;
    case 3:
      // An empty folder is the working folder, never the root.
      return s_exportdir.empty() ? s_filename : s_exportdir + "/" + s_filename;
    default:
      return std::string();
  }
}

bool CDataFile::Prepare() {
  if (!s_exists) return false;
  if (s_exportaction == 0) return true;
  if (SecureMode && HasPathSeparator(s_filename)) {
    ReportError("In secure mode you cannot export a data file to " + s_filename, false);
    return false;
  }
  if (!IsPlainName(s_filename)) {
    TraceWrite("Included file not exported: \"" + s_filename + "\" is not a plain file name");
    return false;
  }
  bool ok = false;
  switch (s_exportaction) {
    case 1:
    case 2:
      ok = ExportIt(Target());
      break;
    case 3:
      if (SecureMode) {
        ReportError("In secure mode you cannot export a data file to an indicated directory.", false);
        return false;
      }
      {
        std::error_code ec;
        if (!s_exportdir.empty()) std::filesystem::create_directories(s_exportdir, ec);
      }
      ok = ExportIt(Target());
      break;
    default:
      return false;
  }
  if (s_freedata) {
    s_data.clear();
    s_data.shrink_to_fit();
    s_exists = false;
  }
  return ok;
}

void CDataFile::Discard() {
  if (s_exists) {
    s_data.clear();
    s_data.shrink_to_fit();
    s_exists = false;
  }
}

bool CDataFile::Remove() {
  if (!s_removeend) return true;
  if (SecureMode && HasPathSeparator(s_filename)) return false;
  if (s_exportaction == 0) return true;
  if (s_exportaction == 3 && SecureMode) return false;
  // Only the file this run wrote, and only while it is still that file: a
  // game file must not be able to delete what it did not make.
  const std::string target = Target();
  if (target.empty() || s_writtenPath.empty() || target != s_writtenPath) return false;
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != s_writtenDev ||
      st.st_ino != s_writtenIno)
    return false;
  const bool ok = ::unlink(target.c_str()) == 0;
  s_writtenPath.clear();
  return ok;
}
