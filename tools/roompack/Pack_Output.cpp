#include "Pack_Output.h"

#include <stdexcept>
#include <string>

#include "runner/DataNew_Write.h"
#include "runner/Support_File.h"

namespace fs = std::filesystem;

void WriteOutputFile(const fs::path& path, const std::vector<uint8_t>& bytes, bool executable,
                     const fs::path& project_dir) {
  std::string error;
  if (!ReplaceFileSafely(path.string(), bytes.data(), bytes.size(), executable, &error, project_dir.string()))
    throw std::runtime_error(path.string() + ": " + error);
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
