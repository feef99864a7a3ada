#pragma once
// The main loop: steps at the room's speed, the phases of one step in their
// fixed order, the frame-rate count and the carrying out of room changes.
#include <cstdint>
#include <string>
#include <vector>

// How the runner was asked to play (switches of roomrun).
struct RRunSettings {
  bool fast = false;           // steps back to back; the game clock still advances one slice per step
  long long max_steps = -1;    // end the game after this many steps (negative: no limit)
  bool seeded = false;
  uint32_t seed = 0;
  std::string dump_state;      // file for the state dump when the game ends
  struct RScreenshot {
    long long step;            // the step whose drawn frame is saved
    std::string file;          // PNG
    int frame = -1;            // else that frame of the room transition played after the step
  };
  std::vector<RScreenshot> screenshots;
};
RRunSettings& RunSettings();
// Saves the frame just drawn for every screenshot asked for: the frame of
// step `step` (frame -1) or a frame of the transition played after it.
void TakeScreenshots(long long step, int transition_frame = -1);

// What the loop asks of the room drawing above it, installed by that module.
struct RDrawHooks {
  void (*draw)() = nullptr;        // draw the room (the frame of this step)
  void (*room_start)() = nullptr;  // a room was entered: size the region
  void (*transition_prepare)() = nullptr;  // leaving a room: capture it for transition_kind
  void (*transition_enter)() = nullptr;    // the room's start events ran: play the transition
};
RDrawHooks& DrawHooks();

extern bool Running;
// The game ended after a fatal error or an abort answer, not by game_end.
bool GameStoppedByError();
extern bool Paused;
extern int Fps;
extern long long StepCount;  // steps performed since the loop started

// Microseconds since the loop's clock origin (the virtual clock in fast runs).
int64_t MicroTime();
// Wall clock in microseconds, for seeding.
int64_t MicroTimeNow();
void WaitMicroseconds(int64_t w);

void RunMainLoop();
void StopGame();
void PauseGame();
void StepWhenPaused();
void MainLoop();
void DoStep();
void StepOnce();
void HandleRoomChange();
// Esc ends the game when opt_keyesc is set (first thing of a step).
void HandleSpecialKeys();

// Writes the instances and global variables as JSON; false with the reason
// when the file cannot be written.
bool DumpState(const std::string& file, std::string* error = nullptr);
