#pragma once
// Scripted input for runs without a window: a text file of input events, each
// tagged with the step before which it is delivered, fed to the same handlers
// a window's messages would reach.
//
// One event per line; blank lines and lines whose first non-blank character
// is '#' are skipped. STEP counts the main loop's steps from 1; the events of
// step k are delivered just before step k runs, in file order.
//
//   STEP key down KEY        KEY: a code 0..255, a letter A-Z, a quoted
//   STEP key up KEY               character ('7'), or a key constant name
//   STEP key tap KEY              with or without its vk_ prefix (vk_left,
//                                 left, escape); tap is down then up
//   STEP char TEXT           each character of TEXT typed; TEXT is the rest
//                            of the line; escapes \\ \b \t \n \r \e \s (space)
//                            and \uXXXX
//   STEP mouse move X Y      cursor at window position (X, Y)
//   STEP mouse down BUTTON   BUTTON: left, right, middle or 1, 2, 3
//   STEP mouse up BUTTON
//   STEP wheel up|down
//   STEP close               the window's close button
//   STEP error ignore|abort  the answer to run-time error messages from then on
//   STEP numlock on|off      the Num Lock toggle as the keyboard has it
//   STEP joystick J connect [axes N] [buttons N] [pov] [name TEXT]
//                            joystick J (1 or 2) plugged in: N axes 0..6
//                            (default 2), N buttons 0..32 (default 8), a
//                            point-of-view hat; the name is the rest of the
//                            line (default "Joystick"); all centred, no
//                            button down
//   STEP joystick J disconnect
//   STEP joystick J axis x|y|z|r|u|v VALUE    VALUE 0..65535, 32767 centred
//   STEP joystick J button N down|up          N 1..32
//   STEP joystick J pov DEGREES|centre        the hat, DEGREES 0 to below 360
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Input_Event.h"

// A key as the script names it (a code 0..255, a letter, a quoted character
// or a key constant's name with or without vk_); false when it is none.
bool IO_ParseKeyName(const std::string& text, int& code);

// Largest step number a line may name.
inline constexpr int64_t kMaxInputStep = 1000000000000LL;

// Reads the events of a script text. On a bad line returns false with
// error = name + ":" + line + ": " + what is wrong.
bool IO_ScriptParse(const std::string& text, const std::string& name, std::vector<RInputEvent>& out,
                    std::string& error);
// Reads a script file and makes it the run's scripted input.
bool IO_ScriptLoad(const std::string& file, std::string& error);
// Makes the events (ordered by step, stably) the run's scripted input.
void IO_ScriptInstall(std::vector<RInputEvent> events);
// Delivers every waiting event whose step is at most `step`.
void IO_ScriptDeliver(int64_t step);
// Delivers the next waiting event whatever its step (a wait for input takes
// the script's next event early). False when none is left.
bool IO_ScriptDeliverNext();
bool IO_ScriptActive();
// After the game: "FILE:LINE: N events were never delivered: ..." naming the
// first event the game did not reach, or "" when every event was delivered.
std::string IO_ScriptLeftOverWarning();
void IO_ScriptClear();
// Hands one event to the input handlers.
void IO_DeliverEvent(const RInputEvent& e);
