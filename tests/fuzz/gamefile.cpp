// Feeds bytes to the game-file reader. The first byte picks the form of the
// rest: even - a whole game file as it is; odd - a plain payload that is
// sealed first (marker, keys, checksum), so that mutations reach the header,
// the settings and the sections instead of stopping at the checksum.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/DataNew_Write.h"
#include "runner/Support_Various.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetMessageSink([](const std::string&) {});
    TraceEnabled = false;
    return true;
  }();
  (void)quiet;
  if (size == 0) return 0;
  std::vector<uint8_t> rest(data + 1, data + size);
  ClearGameData();
  if (data[0] & 1) {
    const uint32_t k1 = 12345;
    LoadGameFromBuffer(SealGameFile(rest, kGameFileVersion, &k1));
  } else {
    LoadGameFromBuffer(std::move(rest));
  }
  return 0;
}
