#pragma once
// The load and prepare phases of a run, the loading window's progress, and
// the clean-up after the game.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"  // PumpMessages

class CStream;

// Shows progress (0-100) and the step's text: writes the text to the trace
// and, once the loading window exists, updates it and lets it repaint.
void SetLoadProgress(int percent, const std::string& text);
// The last progress reported (for tests and the loading window).
int LoadProgress();
// Prepares the loading window from the loading settings (nothing when
// headless or without a display), then reports progress 0 "Loading".
void SetupLoadForm(bool debug_mode);
// Closes the loading window, if any.
void CloseLoadForm();
// Writes the graphics helper library carried in the game file to the temp
// dir under its stored name (a plain file name only; anything else is not
// written). Never fails the load: the library is not used on this platform.
void WriteHelperLibrary(const std::string& name, const CStream& bytes);

// The prepare phase: progress 50 to 100. Returns false after showing the
// failing step's message.
bool PrepareGame();
// The whole run of the game file at path: load, prepare, play. Returns
// success; failure messages have been shown.
bool RunGame(const std::string& path);
// The same for a game already in memory (a project folder packed at start).
bool RunGameFromBytes(std::vector<uint8_t> game);
// Clean-up after a successful run: removes the included files marked for
// removal.
void FinishGame();

// Exit statuses of roomrun, one meaning each so that scripted checks can tell.
enum ERunExit {
  kExitNormal = 0,        // the game ended normally (game_end, Esc, --steps, close)
  kExitLoadFailed = 1,    // the game file could not be read, loaded or prepared
  kExitUsage = 2,         // a wrong command line or input script
  kExitGameError = 3,     // ended by a fatal error or an abort answer
  kExitOutputFailed = 4,  // a file the runner writes (--dump-state, logs) failed
};
// The status after a game that was played: a game error wins over an
// output failure.
int GameExitStatus();
