#pragma once
// Writing the packer's output safely.
#include <cstdint>
#include <filesystem>
#include <vector>

// Writes the bytes to a fresh temporary file beside `path` (or the end of its
// symbolic links) and renames it over it, so that a failed run never leaves a
// partial or damaged game file. Devices, FIFOs, folders and anything inside
// the project folder are refused. With `executable` the file gets execute
// permission. Throws std::runtime_error.
void WriteOutputFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, bool executable,
                     const std::filesystem::path& project_dir);

// The runner program's bytes with the game appended where the runner finds it.
// Throws std::runtime_error when the runner cannot be read.
std::vector<uint8_t> MakeRunnableFile(const std::filesystem::path& runner, const std::vector<uint8_t>& game);
