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
// Writes (replacing) a whole file; false on any error.
bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size);
// Replaces a file without ever leaving it partial or damaged: the bytes go to
// a fresh temporary file beside it, are flushed to the disk, and the temporary
// file is renamed over path. On failure the old file is untouched, nothing is
// left behind, and error (when given) says what failed with the system's
// reason. With executable the file gets execute permission.
bool ReplaceFileSafely(const std::string& path, const uint8_t* bytes, size_t size, bool executable = false,
                       std::string* error = nullptr);
// Removes the temporary files that ReplaceFileSafely left beside path when
// its process was killed mid-write: names "." + file name + "." + 6
// characters, ours, not written for kStaleTempSeconds (so a write in progress
// elsewhere is never disturbed).
inline constexpr int kStaleTempSeconds = 10;
void RemoveStaleReplaceTemps(const std::string& path);
