#pragma once
// Files and directories of the runner: its own executable, the game's private
// temporary directory, whole-file reads and writes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The game's private temporary directory ("" when none could be created) and
// the base it was created under.
extern std::string TempDir;
extern std::string TempBase;

// The running executable and its directory (no trailing slash).
std::string ExecutablePath();
std::string ExecutableDir();

// Creates TempDir under the base from "tempdir.txt" beside the executable,
// else TMPDIR / TEMP / TMP, else "/tmp"; then "/tmp", then the current
// directory. The directory is base + "/or_ttt_" + a number 0-99999. Shows
// "Failed to create temp dir. ..." and returns false when all fail.
bool CreateTempDir();
// Removes TempDir and everything in it. Symbolic links inside are removed,
// never followed. Safe to call more than once.
void RemoveTempDir();
// Removes the temporary directory when destroyed (also on error paths).
struct TempDirGuard {
  ~TempDirGuard() { RemoveTempDir(); }
};
std::string GetTempDir();
// A fresh file name TempDir + "/a" + number + extension that does not exist.
std::string MakeTempFileName(const std::string& extension);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Writes (replacing) a whole file through ReplaceFileSafely; false on any error.
bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size);

// The one rule for every file the programs write. Follows path through its
// symbolic links to the file that is really written (a new name is fine) and
// refuses a target that exists but is not a regular file (a device, FIFO,
// socket or folder) and, when refuse_inside is given, a target inside that
// folder. On refusal returns false with error (when given) saying why,
// without the path.
bool ResolveOutputFile(const std::string& path, std::string& target, std::string* error = nullptr,
                       const std::string& refuse_inside = std::string());
// Replaces a file without ever leaving it partial or damaged: the target is
// found by ResolveOutputFile, the bytes go to a fresh temporary file beside
// it, are flushed to the disk, and the temporary file is renamed over the
// target (so a symbolic link stays a link). On failure the old file is
// untouched, nothing is left behind, and error (when given) says what failed
// with the system's reason. With executable the file gets execute permission.
bool ReplaceFileSafely(const std::string& path, const uint8_t* bytes, size_t size, bool executable = false,
                       std::string* error = nullptr, const std::string& refuse_inside = std::string());
// Appends text to a log file under the same rule (fresh: start it anew).
bool AppendFileSafely(const std::string& path, const std::string& text, bool fresh, std::string* error = nullptr);

// Output files that could not be written (--dump-state, logs, screenshots):
// noted when they fail so that the run's exit status can tell.
void NoteOutputFailure();
bool OutputFailed();
// Removes the temporary files that ReplaceFileSafely left beside path when
// its process was killed mid-write: names "." + file name + "." + 6
// characters, ours, not written for kStaleTempSeconds (so a write in progress
// elsewhere is never disturbed).
inline constexpr int kStaleTempSeconds = 10;
void RemoveStaleReplaceTemps(const std::string& path);
