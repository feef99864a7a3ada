// The game window as the X server shows it: a game played under Xvfb, its
// window found by its class, its geometry asked of the server (xwininfo) and
// its pixels read back from the screen (xwd), never from our framebuffer.
// Every case runs once on a bare X server and once with a window manager
// (openbox); both must give the same sizes and pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "graphics/BM32_Bitmap.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kSource = ROOMRUN_SOURCE_DIR;
const std::string kFixture = kSource + "/tests/games/window_frame";
#ifdef ROOMRUN_X11_CLOSE
const std::string kClose = ROOMRUN_X11_CLOSE;
#else
const std::string kClose;
#endif

using testproc::Capture;
using testproc::ROutput;

// The screen of the X server the tests start.
constexpr int kScreenW = 1024, kScreenH = 768;
// The fixture's window colour (#204060).
constexpr int kWindowColor = 0x204060;

// Reads an xwd dump of a TrueColor screen (24 or 32 bits a pixel).
bool ReadXwd(const fs::path& file, TBitmap32& out) {
  const std::string d = testproc::ReadText(file);
  if (d.size() < 100) return false;
  const auto field = [&](int i) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.data()) + 4 * i;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  };
  const uint32_t header = field(0), width = field(4), height = field(5), byte_order = field(7);
  const uint32_t bits = field(11), line = field(12), colors = field(19);
  const size_t start = size_t(header) + size_t(colors) * 12;
  const uint32_t bytes = bits / 8;
  if ((bytes != 3 && bytes != 4) || width == 0 || height == 0 || start + size_t(line) * height > d.size())
    return false;
  out = TBitmap32(int(width), int(height));
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(d.data()) + start + size_t(y) * line + size_t(x) * bytes;
      uint32_t v = 0;
      for (uint32_t k = 0; k < bytes; ++k) v |= uint32_t(p[byte_order == 0 ? k : bytes - 1 - k]) << (8 * k);
      out.SetPixel(int(x), int(y), C32_Make(int(v >> 16) & 255, int(v >> 8) & 255, int(v) & 255, 255));
    }
  return true;
}

int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

bool Near(int a, int b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(((a >> shift) & 255) - ((b >> shift) & 255)) > tolerance) return false;
  return true;
}

// A window as the server reports it.
struct RGeometry {
  int x = -1, y = -1, w = 0, h = 0;
};

RGeometry ReadGeometry(const fs::path& file) {
  const std::string text = testproc::ReadText(file);
  RGeometry g;
  const auto number = [&](const std::string& label) {
    const size_t at = text.find(label + ":");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size() + 1);
  };
  g.x = number("Absolute upper-left X");
  g.y = number("Absolute upper-left Y");
  g.w = number("Width");
  g.h = number("Height");
  return g;
}

// One play of the fixture under Xvfb: the actions are shell lines run once
// the window is up, with `shot NAME` taking the server's view of the window
// and the screen, `$wid` the window and `$close` the close button.
struct RPlay {
  int status = -1;
  std::string out, err, script_out;
  std::map<std::string, RGeometry> geometry;
  std::map<std::string, TBitmap32> screen;
};

class WindowXvfbTest : public testproc::ScratchDirTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    testproc::ScratchDirTest::SetUp();
    if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1 && "
                    "command -v xwd >/dev/null 2>&1 && command -v xwininfo >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "xvfb-run, xdotool, xwd or xwininfo is not installed";
    if (GetParam() && std::system("command -v openbox >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "openbox is not installed";
  }

  const char* Manager() const { return GetParam() ? "openbox" : "none"; }

  // The fixture packed with its settings and the room's caption changed.
  std::string Pack(const std::string& settings, const std::string& caption = "window-frame") {
    const fs::path project = dir_ / "project";
    fs::remove_all(project);
    fs::copy(kFixture, project, fs::copy_options::recursive);
    std::string game = testproc::ReadText(project / "game.json");
    const std::string key = "\"settings\": { ";
    game.replace(game.find(key), key.size(), key + settings + (settings.empty() ? "" : ", "));
    std::ofstream(project / "game.json") << game;
    std::string room = testproc::ReadText(project / "rooms/rm_frame.json");
    const std::string cap = "\"caption\": \"window-frame\"";
    room.replace(room.find(cap), cap.size(), "\"caption\": \"" + caption + "\"");
    std::ofstream(project / "rooms/rm_frame.json") << room;
    const std::string out = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + project.string() + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }

  // The frame the game draws, as the headless runner draws it.
  TBitmap32 HeadlessFrame(const std::string& game) {
    ROutput r = Capture("cd " + dir_.string() + " && ASAN_OPTIONS=detect_leaks=0 " + kBin +
                        "/roomrun --headless --fast --steps 3 --screenshot 3:headless.png " + game + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile((dir_ / "headless.png").string()));
    return bm;
  }

  RPlay Play(const std::string& game, const std::string& actions, const std::string& env = "") {
    const std::string script = R"(#!/bin/sh
dir=$1; game=$2; manager=$3; close=$4
if [ "$manager" = openbox ]; then
  openbox >/dev/null 2>&1 &
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi
# However a case goes, the game cannot outlive it.
)" + env + R"( ASAN_OPTIONS=detect_leaks=0 TMPDIR="$dir/tmp" timeout -s KILL 120 "$ROOMRUN" --steps 3000 "$game" > "$dir/out.txt" 2> "$dir/err.txt" &
pid=$!
# The first step has run once the game says something: the loading window is
# gone and the game window shown.
for i in $(seq 300); do [ -s "$dir/out.txt" ] && break; sleep 0.1; done
wid=$(timeout 30 xdotool search --sync --onlyvisible --class roomrun | head -n 1)
if [ -z "$wid" ]; then kill $pid; exit 3; fi
shot() {
  sleep 0.8
  xwininfo -id "$wid" > "$dir/$1.geom"
  xwd -root -silent > "$dir/$1.xwd"
}
)" + actions + R"(
wait $pid
echo $? > "$dir/status"
)";
    std::ofstream(dir_ / "play.sh") << script;
    fs::create_directories(dir_ / "tmp");
    RPlay p;
    ROutput r = Capture("ROOMRUN=" + kBin + "/roomrun env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 " +
                        std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24' sh " +
                        (dir_ / "play.sh").string() + " " + dir_.string() + " " + game + " " + Manager() + " " +
                        (kClose.empty() ? "false" : kClose) + " 2>&1");
    p.script_out = r.out;
    EXPECT_EQ(r.status, 0) << r.out;
    p.out = testproc::ReadText(dir_ / "out.txt");
    p.err = testproc::ReadText(dir_ / "err.txt");
    const std::string status = testproc::ReadText(dir_ / "status");
    p.status = status.empty() ? -1 : std::stoi(status);
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().extension() != ".xwd") continue;
      const std::string name = entry.path().stem().string();
      p.geometry[name] = ReadGeometry(dir_ / (name + ".geom"));
      TBitmap32 bm;
      EXPECT_TRUE(ReadXwd(entry.path(), bm)) << name;
      Keep(bm, name);
      p.screen[name] = std::move(bm);
    }
    return p;
  }

  // Screens are kept as PNG files where ROOMRUN_KEEP_SHOTS names a folder,
  // for looking at them.
  void Keep(const TBitmap32& bm, const std::string& name) {
    const char* keep = std::getenv("ROOMRUN_KEEP_SHOTS");
    if (keep == nullptr || *keep == '\0') return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info->name();
    for (char& c : test)
      if (c == '/') c = '_';
    fs::create_directories(keep);
    bm.SaveToImageFile((fs::path(keep) / (test + "_" + Manager() + "_" + name + ".png")).string());
  }

  // The frame shown at (left, top) of the screen scaled by `scale`: checked
  // at points inside each of its areas, away from their edges, where scaling
  // cannot blend colours.
  ::testing::AssertionResult ShowsFrame(const TBitmap32& screen, const TBitmap32& frame, int left, int top,
                                        double scale) {
    static constexpr int kPoints[][2] = {{8, 8},     {160, 120}, {300, 8},   {340, 8},   {631, 8},   {480, 120},
                                         {8, 250},   {160, 360}, {8, 471},   {631, 471}, {480, 360}, {290, 210},
                                         {319, 239}, {349, 269}, {270, 190}, {369, 289}};
    std::string bad;
    for (const auto& p : kPoints) {
      const int sx = left + int(p[0] * scale + scale / 2), sy = top + int(p[1] * scale + scale / 2);
      const int want = Rgb(frame, p[0], p[1]), got = Rgb(screen, sx, sy);
      if (!Near(got, want, 2))
        bad += " frame (" + std::to_string(p[0]) + "," + std::to_string(p[1]) + ") at (" + std::to_string(sx) + "," +
               std::to_string(sy) + ") is " + Hex(got) + ", not " + Hex(want) + ";";
    }
    if (bad.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad;
  }

  // Every pixel of the window's client area equal to the frame's.
  ::testing::AssertionResult ShowsFrameExactly(const TBitmap32& screen, const TBitmap32& frame, int left, int top) {
    int bad = 0;
    std::string first;
    for (int y = 0; y < frame.s_h; ++y)
      for (int x = 0; x < frame.s_w; ++x)
        if (!Near(Rgb(screen, left + x, top + y), Rgb(frame, x, y), 1) && ++bad == 1)
          first = "(" + std::to_string(x) + "," + std::to_string(y) + ") " + Hex(Rgb(screen, left + x, top + y)) +
                  " not " + Hex(Rgb(frame, x, y));
    if (bad == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " pixels differ, first " << first;
  }

  static std::string Hex(int rgb) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", rgb);
    return buf;
  }
};

// A 640 x 480 room opens a 640 x 480 window showing the headless frame, at a
// fixed scale or keeping the aspect ratio, with a caption or without.
TEST_P(WindowXvfbTest, OpensAtTheRoomSizeShowingTheFrame) {
  struct Case {
    const char* settings;
    const char* caption;
  };
  for (const Case& c : {Case{"\"scale\": 100", "window-frame"}, Case{"\"scale\": 100", ""},
                        Case{"\"scale\": -1", "window-frame"}, Case{"\"scale\": -1", ""}}) {
    SCOPED_TRACE(std::string(c.settings) + " caption '" + c.caption + "'");
    const std::string game = Pack(c.settings, c.caption);
    const TBitmap32 frame = HeadlessFrame(game);
    ASSERT_EQ(frame.s_w, 640);
    RPlay p = Play(game, "shot open\n\"$close\" \"$wid\"\n");
    EXPECT_EQ(p.status, 0) << p.err;
    const RGeometry g = p.geometry["open"];
    EXPECT_EQ(g.w, 640);
    EXPECT_EQ(g.h, 480);
    EXPECT_TRUE(ShowsFrameExactly(p.screen["open"], frame, g.x, g.y));
    EXPECT_NE(p.out.find("window 640x480 full 0 region 640x480"), std::string::npos) << p.out;
    // Nothing but our one line about the missing sound device.
    EXPECT_EQ(p.err.find("ALSA"), std::string::npos) << p.err;
  }
}

// A sizeable window keeping the aspect ratio, resized: the frame follows at
// 1.5 times; wider than that, the window colour fills both sides, and the
// game's window, region and mouse numbers agree with what is shown.
TEST_P(WindowXvfbTest, AResizedWindowShowsTheFrameScaled) {
  const std::string game = Pack("\"scale\": -1, \"sizeable\": true");
  const TBitmap32 frame = HeadlessFrame(game);
  RPlay p = Play(game,
                 "xdotool windowmove \"$wid\" 0 0\nxdotool windowsize \"$wid\" 960 720\nshot big\n"
                 "xdotool windowsize \"$wid\" 1000 720\nshot wide\n"
                 "xdotool mousemove --window \"$wid\" 500 360\nsleep 0.5\n\"$close\" \"$wid\"\n");
  EXPECT_EQ(p.status, 0) << p.err;
  RGeometry g = p.geometry["big"];
  EXPECT_EQ(g.w, 960);
  EXPECT_EQ(g.h, 720);
  EXPECT_TRUE(ShowsFrame(p.screen["big"], frame, g.x, g.y, 1.5));
  g = p.geometry["wide"];
  ASSERT_EQ(g.w, 1000);
  ASSERT_EQ(g.h, 720);
  EXPECT_TRUE(ShowsFrame(p.screen["wide"], frame, g.x + 20, g.y, 1.5));
  for (int x : {0, 10, 19, 980, 990, 999})
    EXPECT_EQ(Rgb(p.screen["wide"], g.x + x, g.y + 360), kWindowColor) << "window column " << x;
  EXPECT_NE(p.out.find("window 960x720 full 0 region 640x480"), std::string::npos) << p.out;
  // (500 - 20) / 1.5 and 360 / 1.5.
  EXPECT_NE(p.out.find("window 1000x720 full 0 region 640x480 mouse 500,360 room 320,240"), std::string::npos)
      << p.out;
}

// F4 covers the screen with the frame scaled to it; F4 again brings back the
// window as it was.
TEST_P(WindowXvfbTest, F4FillsTheScreenAndComesBack) {
  const std::string game = Pack("\"scale\": -1");
  const TBitmap32 frame = HeadlessFrame(game);
  RPlay p = Play(game, "shot open\nxdotool key F4\nshot full\nxdotool key F4\nshot back\n\"$close\" \"$wid\"\n");
  EXPECT_EQ(p.status, 0) << p.err;
  const RGeometry open = p.geometry["open"], full = p.geometry["full"], back = p.geometry["back"];
  EXPECT_EQ(full.x, 0);
  EXPECT_EQ(full.y, 0);
  EXPECT_EQ(full.w, kScreenW);
  EXPECT_EQ(full.h, kScreenH);
  // 1024 x 768 is 1.6 times 640 x 480.
  EXPECT_TRUE(ShowsFrame(p.screen["full"], frame, 0, 0, 1.6));
  EXPECT_EQ(back.w, 640);
  EXPECT_EQ(back.h, 480);
  EXPECT_EQ(back.x, open.x);
  EXPECT_EQ(back.y, open.y);
  EXPECT_TRUE(ShowsFrameExactly(p.screen["back"], frame, back.x, back.y));
  EXPECT_NE(p.out.find("window 1024x768 full 1 region 640x480"), std::string::npos) << p.out;
}

// A step stuck in an endless loop: the close button, and Esc where it ends
// the game, end the process within two seconds; no further game code runs
// and the temporary folder is gone.
TEST_P(WindowXvfbTest, AStuckGameEndsWhenClosed) {
  if (kClose.empty()) GTEST_SKIP() << "x11_close was not built (no X11 headers)";
  const std::string game = Pack("");
  for (const char* how : {"\"$close\" \"$wid\"", "xdotool key Escape"}) {
    SCOPED_TRACE(how);
    RPlay p = Play(game,
                   "for i in $(seq 100); do grep -q hanging \"$dir/out.txt\" && break; sleep 0.1; done\n"
                   "sleep 0.5\nstart=$(date +%s%N)\n" +
                       std::string(how) +
                       "\nwait $pid\necho $? > \"$dir/status\"\n"
                       "echo $(( ($(date +%s%N) - start) / 1000000 )) > \"$dir/ms\"\nexit 0\n",
                   "ROOMRUN_TEST_HANG=1");
    EXPECT_EQ(p.status, 0) << p.err;
    const std::string ms = testproc::ReadText(dir_ / "ms");
    ASSERT_FALSE(ms.empty()) << p.script_out;
    EXPECT_LT(std::stoi(ms), 2000);
    // The last thing the game said is that it hangs: no step, no game end.
    const std::string tail = "hanging\n";
    EXPECT_TRUE(p.out.size() >= tail.size() && p.out.compare(p.out.size() - tail.size(), tail.size(), tail) == 0)
        << p.out;
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
  }
}

// Another window takes the focus: the game goes on unless its freeze setting
// asks it to stop; with the focus back it goes on and shows its picture.
TEST_P(WindowXvfbTest, LosingTheFocusFreezesOnlyWhenAsked) {
  for (bool freeze : {true, false}) {
    SCOPED_TRACE(freeze ? "freeze" : "no freeze");
    const std::string game = Pack(freeze ? "\"freeze\": true" : "");
    const TBitmap32 frame = HeadlessFrame(game);
    RPlay p = Play(game,
                   "xmessage -geometry 300x200+300+300 other >/dev/null 2>&1 &\nother=$!\n"
                   "xm=$(timeout 10 xdotool search --sync --onlyvisible --class xmessage | head -n 1)\n"
                   "xdotool windowfocus --sync \"$xm\"\nsleep 0.5\n"
                   "grep -c '^step' \"$dir/out.txt\" > \"$dir/away1\"\nsleep 1.5\n"
                   "grep -c '^step' \"$dir/out.txt\" > \"$dir/away2\"\n"
                   "kill $other\nxdotool windowfocus --sync \"$wid\"\nsleep 1.5\n"
                   "grep -c '^step' \"$dir/out.txt\" > \"$dir/back\"\nshot back\n\"$close\" \"$wid\"\n");
    EXPECT_EQ(p.status, 0) << p.err;
    const int away1 = std::atoi(testproc::ReadText(dir_ / "away1").c_str());
    const int away2 = std::atoi(testproc::ReadText(dir_ / "away2").c_str());
    const int back = std::atoi(testproc::ReadText(dir_ / "back").c_str());
    // 30 steps a second, one line every ten steps.
    if (freeze) EXPECT_EQ(away2, away1) << p.out;
    else EXPECT_GE(away2, away1 + 3) << p.out;
    EXPECT_GE(back, away2 + 3) << p.out;
    const RGeometry g = p.geometry["back"];
    EXPECT_TRUE(ShowsFrameExactly(p.screen["back"], frame, g.x, g.y));
  }
}

// The demo plays in a window of its room's size; its sky, which does not
// move, is that of the headless frame.
TEST_P(WindowXvfbTest, TheDemoPlaysAtItsRoomSize) {
  const std::string game = (dir_ / "game.bin").string();
  ROutput r = Capture(kBin + "/roompack " + kSource + "/examples/demo -o " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  const TBitmap32 frame = HeadlessFrame(game);
  RPlay p = Play(game, "shot open\n\"$close\" \"$wid\"\n");
  EXPECT_EQ(p.status, 0) << p.err;
  const RGeometry g = p.geometry["open"];
  EXPECT_EQ(g.w, 640);
  EXPECT_EQ(g.h, 480);
  for (const auto& pt : {std::pair{620, 40}, std::pair{40, 320}, std::pair{600, 300}, std::pair{10, 100}})
    EXPECT_TRUE(Near(Rgb(p.screen["open"], g.x + pt.first, g.y + pt.second), Rgb(frame, pt.first, pt.second), 2))
        << pt.first << "," << pt.second;
}

INSTANTIATE_TEST_SUITE_P(WindowManager, WindowXvfbTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "NoWindowManager"; });
}  // namespace
