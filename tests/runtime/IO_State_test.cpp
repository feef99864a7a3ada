// The input state: what the handlers do between steps, what the step's
// keyboard phase raises from it, the language's functions and variables over
// it, and the scripted input that feeds it in headless runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "resources/Object_Class.h"
#include "runner/Option_Main.h"
#include "runtime/IO_Joystick.h"
#include "runtime/IO_Main.h"
#include "runtime/IO_Script.h"
#include "runtime/Event_Main.h"
#include "runtime/Run_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "Runtime_Code.h"
#include "../Test_Process.h"

namespace {

class InputTest : public testproc::ScratchDirTest {
 protected:
  // In a scratch folder: F5 in a step writes a saved game to the current one.
  void SetUp() override {
    ScratchDirTest::SetUp();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    RegisterBuiltins();
    IO_ResetForTests();
    SetHeadlessErrorChoice(false);
  }
  void TearDown() override {
    IO_ResetForTests();
    std::filesystem::current_path(old_cwd_);
    ScratchDirTest::TearDown();
  }
  std::filesystem::path old_cwd_;

  // Runs code on a throw-away instance; the result as text or "error: ...".
  std::string Run(const std::string& text) {
    CInstance inst(100001, 0);
    return RunCodeOn(inst, text);
  }
};

// What one step's keyboard phase raises, as "type:number" words.
std::vector<std::string> g_raised;
void Record(int type, int number) { g_raised.push_back(std::to_string(type) + ":" + std::to_string(number)); }
std::string Phase() {
  g_raised.clear();
  IO_KeyboardPhase(Record);
  std::string out;
  for (const std::string& s : g_raised) out += (out.empty() ? "" : " ") + s;
  return out;
}

TEST_F(InputTest, HandlersBetweenStepsAndTheFlagsTheStepSees) {
  const RInputState& s = IO_State();
  // Held down with auto-repeat: one press, then held only.
  IO_KeyDown(37);
  IO_KeyDown(37);
  EXPECT_TRUE(s.key_pressed[37] && s.key_held[37]);
  IO_ClearStep();
  IO_KeyDown(37);
  EXPECT_FALSE(s.key_pressed[37]);
  EXPECT_TRUE(s.key_held[37]);

  // Pressed and released between two steps: pressed and released, not held.
  IO_KeyDown(65);
  IO_KeyUp(65);
  EXPECT_TRUE(s.key_pressed[65] && s.key_released[65]);
  EXPECT_FALSE(s.key_held[65]);

  // Releasing another key leaves keyboard_key alone.
  IO_KeyDown(38);
  IO_KeyUp(37);
  EXPECT_EQ(keyboard_key, 38);
  EXPECT_EQ(keyboard_lastkey, 38);
  IO_KeyUp(38);
  EXPECT_EQ(keyboard_key, 0);
  EXPECT_EQ(keyboard_lastkey, 38);

  // Codes outside 0..255 and buttons outside 1..3 are ignored.
  IO_KeyDown(256);
  IO_KeyDown(-1);
  IO_MouseDown(0);
  IO_MouseDown(4);
  EXPECT_EQ(keyboard_lastkey, 38);
  EXPECT_EQ(mouse_lastbutton, 0);

  // A click within one step.
  IO_MouseDown(2);
  IO_MouseUp(2);
  EXPECT_TRUE(s.button_pressed[2] && s.button_released[2]);
  EXPECT_FALSE(s.button_held[2]);
  EXPECT_EQ(mouse_button, 0);
  EXPECT_EQ(mouse_lastbutton, 2);

  IO_Wheel(true);
  IO_ClearStep();
  EXPECT_FALSE(s.key_pressed[65] || s.key_released[65] || s.button_pressed[2] || s.wheel_up);

  // io_clear forgets everything but the key map and the cursor position.
  IO_KeyDown(40);
  IO_KeyPress(u'x');
  IO_MouseDown(1);
  IO_MouseMove(7, 8);
  IO_State().key_map[10] = 11;
  IO_Clear();
  EXPECT_FALSE(s.key_held[40] || s.button_held[1]);
  EXPECT_EQ(keyboard_key + keyboard_lastkey + mouse_button + mouse_lastbutton, 0);
  EXPECT_EQ(keyboard_lastchar, 0);
  EXPECT_TRUE(keyboard_string.empty());
  EXPECT_EQ(s.key_map[10], 11);
  EXPECT_EQ(s.window_x, 7);
}

TEST_F(InputTest, KeyboardPhaseRaisesKeyEventsThenAnyOrNoKey) {
  struct {
    const char* what;
    std::vector<std::pair<int, bool>> keys;  // code, down (false: up)
    bool clear_before;                       // a step has passed since the keys
    const char* raised;
  } cases[] = {
      {"nothing", {}, false, "5:0 9:0 10:0"},
      {"held and pressed", {{37, true}}, false, "5:37 5:1 9:37 9:1 10:0"},
      {"held only", {{37, true}}, true, "5:37 5:1 9:0 10:0"},
      {"press and release between steps", {{65, true}, {65, false}}, false, "5:65 5:1 9:65 9:1 10:65 10:1"},
      // Numbers above 128 have no receivers in the event index; the phase
      // still offers them and the any-key event follows.
      {"code 200", {{200, true}}, false, "5:200 5:1 9:200 9:1 10:0"},
      // Codes below 8 raise no event of their own, only the any-key one.
      {"code 3", {{3, true}}, false, "5:0 9:0 10:0"},
  };
  for (auto& c : cases) {
    IO_ResetForTests();
    for (auto [k, down] : c.keys) down ? IO_KeyDown(k) : IO_KeyUp(k);
    if (c.clear_before) IO_ClearStep();
    EXPECT_EQ(Phase(), c.raised) << c.what;
  }
}

TEST_F(InputTest, KeyMap) {
  EXPECT_EQ(Run("keyboard_set_map(65, 37); return keyboard_get_map(65)"), "37");
  IO_KeyDown(65);
  EXPECT_TRUE(IO_State().key_held[37]);
  EXPECT_EQ(keyboard_key, 37);
  EXPECT_EQ(Run("return keyboard_check(65)"), "0");
  EXPECT_EQ(Run("return keyboard_check(vk_left)"), "1");
  EXPECT_EQ(Phase(), "5:37 5:1 9:37 9:1 10:0");
  IO_KeyUp(65);
  EXPECT_FALSE(IO_State().key_held[37]);
  EXPECT_EQ(keyboard_key, 0);

  // io_clear keeps the map; keyboard_unset_map restores the identity.
  EXPECT_EQ(Run("io_clear(); return keyboard_get_map(65)"), "37");
  EXPECT_EQ(Run("keyboard_unset_map(); return keyboard_get_map(65)"), "65");
  // Outside 0..255: get_map answers the key itself, set_map does nothing;
  // a map to a code outside 0..255 makes the key do nothing.
  EXPECT_EQ(Run("keyboard_set_map(300, 1); return keyboard_get_map(300)"), "300");
  EXPECT_EQ(Run("keyboard_set_map(66, 999); return keyboard_get_map(66)"), "999");
  IO_KeyDown(66);
  EXPECT_EQ(keyboard_lastkey, 0);
}

TEST_F(InputTest, CheckFunctions) {
  IO_KeyDown(200);
  IO_MouseDown(3);
  struct {
    const char* code;
    const char* result;
  } cases[] = {
      {"return keyboard_check(200)", "1"},
      {"return keyboard_check(vk_anykey)", "1"},
      {"return keyboard_check(vk_nokey)", "0"},
      {"return keyboard_check(256) + keyboard_check(-1)", "0"},
      {"return keyboard_check(199.6)", "1"},
      {"return keyboard_check_pressed(200)", "1"},
      {"return keyboard_check_released(vk_anykey)", "0"},
      {"return keyboard_check_released(vk_nokey)", "1"},
      {"return mouse_check_button(mb_middle)", "1"},
      {"return mouse_check_button(-1)", "1"},
      {"return mouse_check_button(0)", "0"},
      {"return mouse_check_button(4)", "0"},
      {"return mouse_check_button_pressed(3)", "1"},
      {"return mouse_check_button_released(-1)", "0"},
      {"return mouse_wheel_up() + mouse_wheel_down()", "0"},
      {"keyboard_clear(200); return keyboard_check(200) + keyboard_check_pressed(200)", "0"},
      {"mouse_clear(3); return mouse_check_button(-1)", "0"},
  };
  for (auto c : cases) EXPECT_EQ(Run(c.code), c.result) << c.code;
}

TEST_F(InputTest, TypedText) {
  // 1100 characters: the buffer keeps the last 1025.
  std::u16string typed;
  for (int i = 0; i < 1100; ++i) {
    const char16_t c = static_cast<char16_t>(u'a' + i % 26);
    typed.push_back(c);
    IO_KeyPress(c);
    ASSERT_LE(keyboard_string.size(), kKeyboardStringLimit + 1);
  }
  EXPECT_EQ(keyboard_string, typed.substr(1100 - 1025));

  struct {
    const char* what;
    std::u16string keys;
    const char* text;      // keyboard_string afterwards
    const char* lastchar;  // keyboard_lastchar afterwards
  } cases[] = {
      {"backspace deletes the last character", u"abc\b", "ab", "\b"},
      {"backspace on an empty buffer", u"\b\b", "", "\b"},
      {"control characters only become the last character", u"a\t\x1b", "a", "\x1b"},
      {"a character beyond the BMP is deleted whole", u"a\U0001F600\b", "a", "\b"},
      {"non-ASCII", u"\u00e9", "\u00e9", "\u00e9"},
  };
  for (auto& c : cases) {
    IO_Clear();
    for (char16_t k : c.keys) IO_KeyPress(k);
    EXPECT_EQ(Run("return keyboard_string"), c.text) << c.what;
    EXPECT_EQ(Run("return keyboard_lastchar"), c.lastchar) << c.what;
  }

  // A written text is stored whole; the limit applies at the next character.
  EXPECT_EQ(Run("keyboard_string = string_repeat('z', 2000); return string_length(keyboard_string)"), "2000");
  IO_KeyPress(u'q');
  EXPECT_EQ(keyboard_string.size(), kKeyboardStringLimit + 1);
  EXPECT_EQ(keyboard_string.back(), u'q');
}

TEST_F(InputTest, InputVariables) {
  struct {
    const char* code;
    const char* result;
  } cases[] = {
      {"keyboard_key = 65.4; return keyboard_key", "65"},
      {"keyboard_key = 65; keyboard_key = 256; return keyboard_key", "65"},
      {"keyboard_lastkey = 27; keyboard_lastkey = -1; return keyboard_lastkey", "27"},
      {"mouse_button = 3; mouse_button = 4; return mouse_button", "3"},
      {"mouse_lastbutton = 2; return mouse_lastbutton", "2"},
      {"return keyboard_lastchar", ""},
      {"keyboard_lastchar = 'xyz'; return keyboard_lastchar", "x"},
      {"keyboard_lastchar = '\u00e9t\u00e9'; return keyboard_lastchar", "\u00e9"},
      {"keyboard_lastchar = ''; return keyboard_lastchar", "\u00e9"},
      {"keyboard_string = 'abc'; return keyboard_string", "abc"},
      {"return mouse_x + mouse_y", "0"},
      {"mouse_x = 3", "error: "},
  };
  for (auto c : cases) {
    const std::string got = Run(c.code);
    if (std::string(c.result) == "error: ") EXPECT_EQ(got.substr(0, 7), "error: ") << c.code;
    else EXPECT_EQ(got, c.result) << c.code;
  }
  // Without views the window position is the room position.
  IO_MouseMove(12, -3);
  EXPECT_EQ(Run("return string(mouse_x) + ',' + string(mouse_y)"), "12,-3");
}

TEST_F(InputTest, CloseButton) {
  const bool saved = opt_closeasesc;
  opt_closeasesc = true;
  IO_CloseQuery();
  // An Esc press and release: the special keys see it, nothing stays held.
  EXPECT_EQ(keyboard_lastkey, 27);
  EXPECT_EQ(keyboard_key, 0);
  EXPECT_TRUE(IO_State().key_pressed[27] && IO_State().key_released[27]);
  EXPECT_FALSE(IO_State().key_held[27]);
  opt_closeasesc = saved;
}

TEST_F(InputTest, SpecialKeys) {
  const bool saved = opt_keyesc, saved_f5 = opt_keyf5;
  opt_keyf5 = false;  // F5/F6 save and load: played in IO_Game_test
  struct {
    bool keyesc;
    int lastkey;
    int pending;     // New_Room afterwards
    int lastkey_after;
  } cases[] = {
      {true, 27, -100, 0},   // Esc ends the game and is consumed
      {false, 27, -1, 27},   // not with the setting off
      {true, 37, -1, 37},    // other keys are left alone
      {true, 116, -1, 116},  // F5 with its own setting off
  };
  for (auto c : cases) {
    opt_keyesc = c.keyesc;
    New_Room = -1;
    keyboard_lastkey = c.lastkey;
    HandleSpecialKeys();
    EXPECT_EQ(New_Room, c.pending) << c.lastkey << " " << c.keyesc;
    EXPECT_EQ(keyboard_lastkey, c.lastkey_after) << c.lastkey << " " << c.keyesc;
  }
  New_Room = -1;
  opt_keyesc = saved;
  opt_keyf5 = saved_f5;
}

TEST_F(InputTest, InjectedKeysArriveAtTheNextPumpThroughTheMap) {
  EXPECT_EQ(Run("keyboard_set_map(vk_space, vk_enter); keyboard_key_press(vk_space); return keyboard_check(vk_enter)"),
            "0");
  EXPECT_EQ(Run("io_handle(); return keyboard_check(vk_enter)"), "1");
  EXPECT_EQ(Run("keyboard_key_release(vk_space); keyboard_key_press(300); io_handle(); "
                "return keyboard_check_released(vk_enter) * 10 + keyboard_check(vk_enter)"),
            "10");
  // Queued injections also reach the state just before the next step.
  Run("keyboard_key_press(vk_left)");
  IO_DeliverQueued();
  EXPECT_TRUE(IO_State().key_held[37]);
}

TEST_F(InputTest, WaitsTakeTheScriptsNextEventsOrEndWithoutInput) {
  std::vector<RInputEvent> events;
  std::string error;
  ASSERT_TRUE(IO_ScriptParse("50 mouse move 1 1\n60 key down B\n70 mouse down right\n", "t", events, error));
  IO_ScriptInstall(events);
  // keyboard_wait returns after the key event, which comes after the move.
  EXPECT_EQ(Run("keyboard_wait(); return keyboard_lastkey"), "66");
  EXPECT_EQ(IO_State().window_x, 1);
  EXPECT_EQ(Run("mouse_wait(); return mouse_lastbutton"), "2");
  // Nothing left to come and no window: the wait ends at once.
  EXPECT_EQ(Run("keyboard_wait(); return keyboard_lastkey"), "0");
  EXPECT_EQ(Run("mouse_wait(); return mouse_lastbutton"), "0");
}

TEST_F(InputTest, ScriptLines) {
  struct {
    const char* line;
    RInputEvent::Kind kind;
    int a, b;
    std::u16string text;
  } good[] = {
      {"1 key down 37", RInputEvent::KeyDown, 37, 0, u""},
      {"  2\tkey up vk_left", RInputEvent::KeyUp, 37, 0, u""},
      {"3 key tap Escape", RInputEvent::KeyTap, 27, 0, u""},
      {"3 KEY DOWN a", RInputEvent::KeyDown, 65, 0, u""},
      {"3 key down '7'", RInputEvent::KeyDown, 55, 0, u""},
      {"3 key down f5", RInputEvent::KeyDown, 116, 0, u""},
      {"4 char a b#c", RInputEvent::Char, 0, 0, u"a b#c"},
      {"4 char \\s\\\\\\b\\u00e9x", RInputEvent::Char, 0, 0, u" \\\b\u00e9x"},
      {"5 mouse move -4 9", RInputEvent::MouseMove, -4, 9, u""},
      {"5 mouse down middle", RInputEvent::MouseDown, 3, 0, u""},
      {"5 mouse up 2", RInputEvent::MouseUp, 2, 0, u""},
      {"6 wheel down", RInputEvent::WheelDown, 0, 0, u""},
      {"6 close", RInputEvent::Close, 0, 0, u""},
      {"7 error abort", RInputEvent::ErrorChoice, 1, 0, u""},
      {"7 error ignore\r", RInputEvent::ErrorChoice, 0, 0, u""},
      {"8 numlock ON", RInputEvent::NumLock, 1, 0, u""},
      {"8 joystick 2 connect", RInputEvent::JoyConnect, 2, 2, u"Joystick"},
      {"8 joystick 1 connect pov axes 6 name  Big  Stick 3 ", RInputEvent::JoyConnect, 1, 6, u"Big  Stick 3"},
      {"8 joystick 1 disconnect", RInputEvent::JoyDisconnect, 1, 0, u""},
      {"8 joystick 1 axis V 65535", RInputEvent::JoyAxis, 1, 5, u""},
      {"8 joystick 2 button 32 down", RInputEvent::JoyButtonDown, 2, 32, u""},
      {"8 joystick 2 button 1 up", RInputEvent::JoyButtonUp, 2, 1, u""},
      {"8 joystick 1 pov 359.99", RInputEvent::JoyPov, 1, 0, u""},
  };
  for (auto& g : good) {
    std::vector<RInputEvent> ev;
    std::string error;
    ASSERT_TRUE(IO_ScriptParse(std::string("# comment\n\n") + g.line, "in.txt", ev, error)) << g.line << ": " << error;
    ASSERT_EQ(ev.size(), 1u) << g.line;
    EXPECT_EQ(ev[0].kind, g.kind) << g.line;
    EXPECT_EQ(ev[0].a, g.a) << g.line;
    EXPECT_EQ(ev[0].b, g.b) << g.line;
    EXPECT_EQ(ev[0].text, g.text) << g.line;
    EXPECT_EQ(ev[0].line, 3) << g.line;
  }

  const char* bad[] = {
      "0 key down 37",         "x key down 37",    "-1 close",          "1",
      "1 key down",            "1 key down 256",   "1 key down nokey_x", "1 key press 37",
      "1 key down 37 38",      "1 char",           "1 char \\q",        "1 char \\u12",
      "1 mouse move 1",        "1 mouse move a b", "1 mouse down 4",    "1 wheel sideways",
      "1 close now",           "1 error maybe",    "1 jump",            "99999999999999 close",
      "1 numlock",             "1 numlock maybe",  "1 joystick",        "1 joystick 3 connect",
      "1 joystick 0 disconnect", "1 joystick 1",   "1 joystick 1 connect axes 7",
      "1 joystick 1 connect buttons 33",           "1 joystick 1 connect rumble",
      "1 joystick 1 axis w 5", "1 joystick 1 axis x 65536", "1 joystick 1 axis x -1",
      "1 joystick 1 button 0 down", "1 joystick 1 button 33 down", "1 joystick 1 button 1 held",
      "1 joystick 1 pov 360",  "1 joystick 1 pov -1", "1 joystick 1 pov up", "1 joystick 1 disconnect now",
  };
  for (const char* b : bad) {
    std::vector<RInputEvent> ev;
    std::string error;
    EXPECT_FALSE(IO_ScriptParse(std::string("1 close\n") + b + "\n", "in.txt", ev, error)) << b;
    EXPECT_EQ(error.rfind("in.txt:2: ", 0), 0u) << b << " -> " << error;
    EXPECT_TRUE(ev.empty());
  }
}

// The values a script line carries beyond a and b.
TEST_F(InputTest, ScriptJoystickValues) {
  std::vector<RInputEvent> ev;
  std::string error;
  ASSERT_TRUE(IO_ScriptParse("1 joystick 1 connect buttons 12 pov\n1 joystick 1 connect\n2 joystick 1 axis y 123\n"
                             "3 joystick 1 pov 90.5\n3 joystick 2 pov centre\n",
                             "t", ev, error))
      << error;
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[0].c, 12);
  EXPECT_EQ(ev[0].d, 1);
  EXPECT_EQ(ev[1].c, 8);  // the defaults: 2 axes, 8 buttons, no hat
  EXPECT_EQ(ev[1].d, 0);
  EXPECT_EQ(ev[2].c, 123);
  EXPECT_EQ(ev[3].c, 9050);
  EXPECT_EQ(ev[4].c, kJoyPovCentred);
}

// What the joystick functions answer for a stick plugged in, moved and
// unplugged, and for ids, buttons and values out of range.
TEST_F(InputTest, JoystickFunctions) {
  EXPECT_EQ(Run("return joystick_exists(1) + joystick_axes(1) + joystick_buttons(2) + joystick_has_pov(1)"), "0");
  EXPECT_EQ(Run("return joystick_direction(1)"), "101");
  EXPECT_EQ(Run("return joystick_pov(1)"), "-1");
  EXPECT_EQ(Run("return joystick_name(2)"), "");
  EXPECT_EQ(Run("return joystick_check_button(1, 1)"), "0");

  IO_JoyConnect(1, "Pad", 4, 12, true);
  // Every id but 2 names the first stick.
  EXPECT_EQ(Run("return joystick_name(0) + joystick_name(7) + joystick_name(-1)"), "PadPadPad");
  EXPECT_EQ(Run("return joystick_exists(2)"), "0");
  EXPECT_EQ(Run("return joystick_axes(1) * 100 + joystick_buttons(1)"), "412");
  // The direction table: horizontal 1 below 20000, 3 above 44000; vertical
  // 6 at or below 19999, 0 above 44000.
  struct {
    int x, y, direction;
  } dirs[] = {
      {0, 0, 103},         {19999, 19999, 103}, {20000, 20000, 101}, {32767, 0, 104},
      {65535, 0, 105},     {0, 32767, 100},     {44000, 44000, 101}, {44001, 32767, 102},
      {0, 44001, 97},      {32767, 65535, 98},  {65535, 65535, 99},
  };
  for (auto d : dirs) {
    IO_JoyAxis(1, 0, d.x);
    IO_JoyAxis(1, 1, d.y);
    EXPECT_EQ(IO_JoystickDirection(1), d.direction) << d.x << "," << d.y;
  }
  // Axes as value / 32767 - 1; values beyond the range are held to it.
  IO_JoyAxis(1, 2, 0);
  IO_JoyAxis(1, 5, 99999);
  IO_JoyAxis(1, 6, 0);   // no seventh axis
  IO_JoyAxis(1, -1, 0);
  EXPECT_EQ(Run("return joystick_zpos(1)"), "-1");
  EXPECT_EQ(Run("return joystick_vpos(1) > 1 && joystick_vpos(1) < 1.0001"), "1");
  EXPECT_EQ(Run("return joystick_rpos(1) + joystick_upos(1)"), "0");
  // Buttons 1..32 only.
  IO_JoyButton(1, 32, true);
  IO_JoyButton(1, 33, true);
  IO_JoyButton(1, 0, true);
  EXPECT_EQ(Run("return joystick_check_button(1, 32)"), "1");
  EXPECT_EQ(Run("return joystick_check_button(1, 33) + joystick_check_button(1, 0) + joystick_check_button(1, 1)"),
            "0");
  // The hat in degrees; centred (above 360) is -1.
  IO_JoyPov(1, 27000);
  EXPECT_EQ(Run("return joystick_pov(1)"), "270");
  IO_JoyPov(1, kJoyPovCentred);
  EXPECT_EQ(Run("return joystick_pov(1)"), "-1");

  // Unplugged with the button down and the stick pushed: nothing is left.
  IO_JoyDisconnect(1);
  EXPECT_EQ(Run("return joystick_exists(1) + joystick_check_button(1, 32) + joystick_zpos(1)"), "0");
  EXPECT_EQ(Run("return joystick_direction(1)"), "101");
  // Events for a stick that is not there, or a slot that does not exist,
  // change nothing.
  IO_JoyButton(1, 3, true);
  IO_JoyConnect(3, "Third", 2, 2, false);
  IO_JoyConnect(0, "None", 2, 2, false);
  EXPECT_EQ(Run("return joystick_exists(1) + joystick_exists(2)"), "0");
  IO_JoyConnect(1, "Again", 99, 99, false);
  EXPECT_EQ(Run("return joystick_axes(1) * 100 + joystick_buttons(1) + joystick_check_button(1, 3)"), "632");
}

// The joystick phase: directions then buttons 1..8, stick 1 then stick 2.
TEST_F(InputTest, JoystickPhase) {
  g_raised.clear();
  IO_JoystickPhase(Record);
  EXPECT_TRUE(g_raised.empty());
  IO_JoyConnect(1, "A", 2, 16, false);
  IO_JoyConnect(2, "B", 2, 16, false);
  IO_JoyAxis(1, 0, 65535);
  IO_JoyAxis(1, 1, 0);
  IO_JoyButton(1, 8, true);
  IO_JoyButton(1, 9, true);  // beyond the eight that have events
  IO_JoyAxis(2, 0, 19999);
  IO_JoyAxis(2, 1, 44001);
  IO_JoyButton(2, 1, true);
  g_raised.clear();
  IO_JoystickPhase(Record);
  std::string out;
  for (const std::string& s : g_raised) out += (out.empty() ? "" : " ") + s;
  EXPECT_EQ(out, "6:17 6:18 6:28 6:31 6:34 6:36");
}

// Key codes out of range in the functions, and the direct key state: not
// mapped, not cleared by io_clear, fed by injected keys as by real ones.
TEST_F(InputTest, DirectKeysNumLockAndBadCodes) {
  struct {
    const char* code;
    const char* result;
  } cases[] = {
      {"return keyboard_check_direct(-1) + keyboard_check_direct(256) + keyboard_check_direct(1000000000000)", "0"},
      {"keyboard_set_map(300, 65); keyboard_set_map(-1, 65); return keyboard_get_map(300) + keyboard_get_map(-1)", "299"},
      {"keyboard_key_press(256); keyboard_key_press(-5); io_handle(); return keyboard_lastkey", "0"},
      {"keyboard_clear(999); mouse_clear(0); mouse_clear(4); return 1", "1"},
  };
  for (auto c : cases) EXPECT_EQ(Run(c.code), c.result) << c.code;

  IO_State().key_map[65] = 37;
  IO_KeyDown(65);
  EXPECT_EQ(Run("return keyboard_check_direct(ord('A')) * 10 + keyboard_check_direct(vk_left)"), "10");
  EXPECT_EQ(Run("io_clear(); return keyboard_check_direct(ord('A')) * 10 + keyboard_check(vk_left)"), "10");
  IO_KeyUp(65);
  EXPECT_EQ(Run("return keyboard_check_direct(ord('A'))"), "0");
  EXPECT_EQ(Run("keyboard_key_press(ord('B')); io_handle(); return keyboard_check_direct(ord('B'))"), "1");

  // Num Lock flips on a press, not on its auto-repeat; the platform's word
  // sets it; keyboard_set_numlock presses the key only when it must.
  EXPECT_EQ(Run("return keyboard_get_numlock()"), "0");
  IO_KeyDown(144);
  IO_KeyDown(144);
  EXPECT_EQ(Run("return keyboard_get_numlock()"), "1");
  IO_KeyUp(144);
  IO_NumLock(false);
  EXPECT_EQ(Run("return keyboard_get_numlock()"), "0");
  EXPECT_EQ(Run("keyboard_set_numlock(true); return keyboard_get_numlock()"), "0");  // arrives when pumped
  EXPECT_EQ(Run("io_handle(); return keyboard_get_numlock() * 1000 + keyboard_lastkey"), "1144");
  EXPECT_EQ(Run("keyboard_lastkey = 0; keyboard_set_numlock(true); io_handle(); return keyboard_lastkey"), "0");
}

// A byte-order mark is skipped only where editors put it: before line 1.
TEST_F(InputTest, ScriptByteOrderMark) {
  std::vector<RInputEvent> ev;
  std::string error;
  ASSERT_TRUE(IO_ScriptParse("\xEF\xBB\xBF" "1 char a\n2 close\n", "in.txt", ev, error)) << error;
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].kind, RInputEvent::Char);
  EXPECT_EQ(ev[0].text, u"a");
  EXPECT_EQ(ev[0].line, 1);
  EXPECT_EQ(ev[1].line, 2);
  // A file of only the mark, or the mark before a comment, holds no events.
  EXPECT_TRUE(IO_ScriptParse("\xEF\xBB\xBF", "in.txt", ev, error));
  EXPECT_TRUE(ev.empty());
  EXPECT_TRUE(IO_ScriptParse("\xEF\xBB\xBF# note\r\n", "in.txt", ev, error));
  EXPECT_TRUE(ev.empty());
  // Anywhere else it is still a stray character.
  EXPECT_FALSE(IO_ScriptParse("1 close\n\xEF\xBB\xBF" "2 close\n", "in.txt", ev, error));
  EXPECT_EQ(error.rfind("in.txt:2: ", 0), 0u) << error;
  EXPECT_FALSE(IO_ScriptParse("\xEF\xBB\xBF\xEF\xBB\xBF" "1 close\n", "in.txt", ev, error));
  EXPECT_EQ(error.rfind("in.txt:1: ", 0), 0u) << error;
}

TEST_F(InputTest, ScriptDeliveryByStepInFileOrder) {
  std::vector<RInputEvent> events;
  std::string error;
  ASSERT_TRUE(IO_ScriptParse("3 char b\n1 char a\n3 char c\n2 key down 9\n", "t", events, error));
  IO_ScriptInstall(events);
  IO_ScriptDeliver(1);
  EXPECT_EQ(keyboard_string, u"a");
  IO_ScriptDeliver(2);
  EXPECT_TRUE(IO_State().key_held[9]);
  IO_ScriptDeliver(3);
  EXPECT_EQ(keyboard_string, u"abc");
  EXPECT_FALSE(IO_ScriptActive());
}

}  // namespace
