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
  };
  for (const char* b : bad) {
    std::vector<RInputEvent> ev;
    std::string error;
    EXPECT_FALSE(IO_ScriptParse(std::string("1 close\n") + b + "\n", "in.txt", ev, error)) << b;
    EXPECT_EQ(error.rfind("in.txt:2: ", 0), 0u) << b << " -> " << error;
    EXPECT_TRUE(ev.empty());
  }
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
