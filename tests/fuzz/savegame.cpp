// Feeds bytes to the saved-game check: the whole parse of a load, without
// replacing anything of a running game. The game checked against has the id
// and the three objects of the run_save test game that wrote the seed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/Object_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Various.h"
#include "runtime/Run_Global.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    SetMessageSink([](const std::string&) {});
    TraceEnabled = false;
    GameId = 4242;
    while (ObjectCount() < 3) AddObject();
    return true;
  }();
  (void)ready;
  std::string error;
  CheckSavedGame(data, size, "fuzz.sav", error);
  return 0;
}
