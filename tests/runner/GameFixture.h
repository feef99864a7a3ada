#pragma once
// Shared helpers of the runner tests: small game files made with the writer,
// and loading them in-process with the messages captured.
#include <string>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/DataNew_Write.h"
#include "runner/Support_Various.h"

namespace fixture {

// A writer holding a complete, valid set of sections with no resources.
inline CGameWriter MinimalWriter() {
  CGameWriter w;
  w.game_id = 4321;
  w.WriteEmptyResourceSections();
  w.WriteIncludedFiles({});
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  return w;
}

inline std::vector<uint8_t> MinimalGame() { return MinimalWriter().Finish(); }

struct RLoadOutcome {
  bool ok = false;
  std::vector<std::string> messages;
};

// Loads bytes in-process, capturing the messages instead of printing them.
inline RLoadOutcome LoadCaptured(std::vector<uint8_t> bytes) {
  RLoadOutcome out;
  ClearGameData();
  SetMessageSink([&](const std::string& m) { out.messages.push_back(m); });
  out.ok = LoadGameFromBuffer(std::move(bytes));
  SetMessageSink(nullptr);
  return out;
}

}  // namespace fixture
