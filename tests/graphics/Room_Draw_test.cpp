// End-to-end drawing: small games packed and played headless, their frames
// taken with --screenshot and compared with reference pictures, and a few
// pixels worked out by hand from the drawing rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../Test_Process.h"
#include "graphics/BM32_Bitmap.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kSource = ROOMRUN_SOURCE_DIR;
const std::string kGames = kSource + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

// Largest difference allowed per colour channel against a reference: the
// software rasteriser rounds blended colours by at most one step.
constexpr int kTolerance = 1;

// Colour of a frame pixel as 0xRRGGBB.
int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

// Every pixel within the tolerance; the first differences are listed.
::testing::AssertionResult SamePicture(const TBitmap32& got, const TBitmap32& want) {
  if (got.s_w != want.s_w || got.s_h != want.s_h)
    return ::testing::AssertionFailure() << "size " << got.s_w << "x" << got.s_h << ", expected " << want.s_w << "x"
                                         << want.s_h;
  int bad = 0;
  std::string where;
  for (int y = 0; y < got.s_h; ++y)
    for (int x = 0; x < got.s_w; ++x) {
      const TColor32 a = got.GetPixel(x, y), b = want.GetPixel(x, y);
      const int d = std::max({std::abs(C32_Red(a) - C32_Red(b)), std::abs(C32_Green(a) - C32_Green(b)),
                              std::abs(C32_Blue(a) - C32_Blue(b))});
      if (d > kTolerance && ++bad <= 5) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels differ, first at" << where;
}

class RoomDrawTest : public testproc::ScratchDirTest {
 protected:
  std::string Pack(const std::string& folder) {
    const std::string out = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + folder + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }
  // Plays the game with the given switches and loads the named frames.
  TBitmap32 Frame(const std::string& name) {
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile((dir_ / name).string())) << name;
    return bm;
  }
  TBitmap32 Reference(const std::string& path) {
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile(kGames + path)) << path;
    return bm;
  }
  ROutput Play(const std::string& runner_prefix, const std::string& game, const std::string& switches) {
    return Capture("cd " + dir_.string() + " && " + runner_prefix + kBin + "/roomrun --fast " + switches + " " +
                   game + " 2>&1");
  }
};

TEST_F(RoomDrawTest, SpritesBackgroundsTilesAndViewsMatchTheirReferences) {
  const std::string game = Pack(kGames + "draw_basic");
  ROutput r = Play("", game, "--headless --steps 3 --screenshot 1:main.png --screenshot 3:views.png");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "16777215 255\n");  // draw_getpixel: white, red

  const TBitmap32 main = Frame("main.png");
  ASSERT_EQ(main.s_w, 96);
  ASSERT_EQ(main.s_h, 64);
  // draw_sprite with origin (4, 4) at (10, 10): the image's top-left texel
  // (white) lands on (6, 6); the frame ends at (13, 13).
  EXPECT_EQ(Rgb(main, 6, 6), 0xFFFFFF);
  EXPECT_EQ(Rgb(main, 13, 13), 0xFF0000);
  EXPECT_EQ(Rgb(main, 14, 14), 0x606060);  // the tiled background again
  EXPECT_EQ(Rgb(main, 27, 7), 0x00FF00);   // subimage 1
  // Twice as wide: columns 42..57, the white texel two pixels wide.
  EXPECT_EQ(Rgb(main, 43, 6), 0xFFFFFF);
  EXPECT_EQ(Rgb(main, 44, 6), 0xFF0000);
  EXPECT_EQ(Rgb(main, 57, 13), 0xFF0000);
  // Turned 90 degrees counter-clockwise about the origin: the top-left
  // texel goes to the bottom-left corner, (10 - 4.5, 30 + 4.5) = (5.5, 34.5).
  EXPECT_EQ(Rgb(main, 6, 34), 0xFFFFFF);
  EXPECT_EQ(Rgb(main, 6, 27), 0xFF0000);
  // Blended with blue: red becomes black, white becomes blue.
  EXPECT_EQ(Rgb(main, 27, 27), 0x000000);
  EXPECT_EQ(Rgb(main, 26, 26), 0x0000FF);
  // Alpha 0.5 (alpha byte 128) green over the dark squares (48, 48, 48).
  EXPECT_NEAR((Rgb(main, 47, 27) >> 8) & 0xFF, 152, kTolerance);
  EXPECT_NEAR(Rgb(main, 47, 27) >> 16, 24, kTolerance);
  // Tiles and the instance by depth: blue tile (100), the box (75), the
  // yellow tile (50) over it.
  EXPECT_EQ(Rgb(main, 65, 41), 0x0000FF);
  EXPECT_EQ(Rgb(main, 68, 44), 0xFFFFFF);
  EXPECT_EQ(Rgb(main, 69, 45), 0xFF0000);
  EXPECT_EQ(Rgb(main, 73, 49), 0xFFFF00);
  // The 8 x 8 background stretched to 16 x 16 at (4, 44): 8-pixel squares.
  EXPECT_EQ(Rgb(main, 4, 44), 0x606060);
  EXPECT_EQ(Rgb(main, 12, 44), 0x303030);
  EXPECT_TRUE(SamePicture(main, Reference("draw_basic/expected/main.png")));
  // screen_save in the next step: the same frame, as PNG and as a part in a
  // Windows bitmap.
  EXPECT_TRUE(SamePicture(Frame("saved.png"), main));
  const TBitmap32 part = Frame("part.bmp");
  ASSERT_EQ(part.s_w, 10);
  EXPECT_EQ(Rgb(part, 2, 2), 0xFFFFFF);  // region (6, 6)

  // Two views: the region is as large as their ports together (96 x 64).
  const TBitmap32 views = Frame("views.png");
  ASSERT_EQ(views.s_w, 96);
  ASSERT_EQ(views.s_h, 64);
  // View 0 shows room (0..31, 0..31) twice as large: the box at (12, 12)
  // covers room pixels 8..15, so region (20, 20) is inside its red.
  EXPECT_EQ(Rgb(views, 20, 20), 0xFF0000);
  // View 1 shows room (32..63, 32..63) at port (64, 0): the second box
  // covers room 40..47, region 72..79 by 8..15.
  EXPECT_EQ(Rgb(views, 72, 8), 0xFFFFFF);
  EXPECT_EQ(Rgb(views, 75, 12), 0xFF0000);
  // Below view 1's port nothing is drawn: the window colour (black).
  EXPECT_EQ(Rgb(views, 80, 50), 0x000000);
  EXPECT_TRUE(SamePicture(views, Reference("draw_basic/expected/views.png")));
}

// The demo drawn in a real window on an X server (Xvfb) gives the same
// frame as headless.
TEST_F(RoomDrawTest, DemoInARealWindowUnderXvfb) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  const std::string game = Pack(kSource + "/examples/demo");
  ROutput headless = Play("", game, "--headless --steps 40 --screenshot 40:headless.png");
  ASSERT_EQ(headless.status, 0) << headless.out;
  ROutput windowed = Play("env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1024x768x24' ", game,
                          "--steps 40 --screenshot 40:window.png");
  ASSERT_EQ(windowed.status, 0) << windowed.out;
  EXPECT_EQ(windowed.out.find("playing headless"), std::string::npos) << windowed.out;
  const TBitmap32 a = Frame("headless.png"), b = Frame("window.png");
  EXPECT_EQ(a.s_w, 640);
  EXPECT_EQ(a.s_h, 480);
  EXPECT_TRUE(SamePicture(b, a));
}
// A frame asked for on the command line that cannot be saved is the runner's
// failure (exit status 4), not the game's.
TEST_F(RoomDrawTest, AScreenshotThatCannotBeWrittenFailsTheRun) {
  const std::string game = Pack(kGames + "draw_basic");
  ROutput r = Play("", game, "--headless --steps=3 --screenshot=1:nodir/main.png --screenshot=1:main.png");
  EXPECT_EQ(r.status, 4) << r.out;
  EXPECT_NE(r.out.find("roomrun: cannot write the screenshot to nodir/main.png\n"), std::string::npos) << r.out;
  EXPECT_TRUE(SamePicture(Frame("main.png"), Reference("draw_basic/expected/main.png")));
}

// No display and no --headless: one line says so and the game plays
// headless; a system without OpenGL 3.3 stops with a message naming it.
TEST_F(RoomDrawTest, NoDisplayFallsBackAndNoOpenGlStops) {
  const std::string game = Pack(kGames + "draw_basic");
  ROutput r = Play("env -u DISPLAY -u WAYLAND_DISPLAY ", game, "--steps 3 --screenshot 1:main.png");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("roomrun: no display found"), std::string::npos) << r.out;
  EXPECT_TRUE(SamePicture(Frame("main.png"), Reference("draw_basic/expected/main.png")));

  r = Play("env MESA_GL_VERSION_OVERRIDE=2.1 ", game, "--headless --steps 3");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("OpenGL 3.3"), std::string::npos) << r.out;
}
}  // namespace
