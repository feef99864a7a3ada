// Room transitions: a game changes rooms with two built-in kinds and its own
// transition scripts, frames are taken in the middle of the effects; and the
// quads each of the 21 kinds sends to the device, worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "Fake_Device.h"
#include "graphics/BM32_Bitmap.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transition.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

class TransitionGameTest : public testproc::ScratchDirTest {
 protected:
  TBitmap32 Picture(const fs::path& path) {
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile(path.string())) << path;
    return bm;
  }
};

// rm_yellow (64 x 48, yellow) and rm_quad (grey, the quadrant sprite four
// times as large at (0, 0): red, green / blue, white, 16 x 16 each). Step 2
// goes to rm_quad with stripes (kind 10), step 4 with the counter-clockwise
// turn (kind 18), both in 8 steps; step 6 with the game's own kind 30 in 2 steps
// and step 7 with kind 31, whose script fails; step 8 with kind 20 and
// automatic drawing off.
TEST_F(TransitionGameTest, TwoKindsCapturedMidwayAndTheGamesOwn) {
  ROutput packed = Capture(kBin + "/roompack " + kGames + "transitions -o " + (dir_ / "game.bin").string() + " 2>&1");
  ASSERT_EQ(packed.status, 0) << packed.out;
  std::ofstream(dir_ / "input.txt") << "1 error ignore\n";
  ROutput r = Capture("cd " + dir_.string() +
                      " && " + kBin +
                      "/roomrun --headless --fast --input input.txt --steps 9 --screenshot 2+2:stripes.png "
                      "--screenshot 4+2:turn.png --screenshot 6+1:user.png --screenshot 9:final.png game.bin "
                      "2>stderr.txt");
  const std::string err = testproc::ReadText(dir_ / "stderr.txt");
  ASSERT_EQ(r.status, 0) << r.out << err;
  // transition_define binds scripts only: kind 0, an unknown name and a
  // built-in function are refused with 0. The script gets the two surfaces,
  // the region size and t, once per frame: steps + 1 frames.
  EXPECT_EQ(r.out,
            "define 1 1 0 0 0\n"
            "exists 1 1 0 0 0\n"
            "steps 1\n"
            "user 0 1 64 48 0\n"
            "user 0 1 64 48 0.50\n"
            "user 0 1 64 48 1\n"
            "room 0 kind 0\n"
            "after 00 0\n");
  EXPECT_NE(err.find("ERROR in transition function scr_bad"), std::string::npos) << err;
  EXPECT_NE(err.find("Unknown variable no_such_variable"), std::string::npos) << err;

  // Stripes from the left, frame 2 of 8: stripes 0-2 of rm_quad, 8 pixels
  // wide every 16 (x 0-7, 16-23, 32-39), over rm_yellow.
  const TBitmap32 stripes = Picture(dir_ / "stripes.png");
  struct RCase {
    int x, y, rgb;
  };
  for (const RCase& c : {RCase{0, 0, 0xFF0000}, {7, 20, 0x0000FF}, {8, 0, 0xFFFF00}, {15, 47, 0xFFFF00},
                         {16, 0, 0x00FF00}, {23, 31, 0xFFFFFF}, {20, 40, 0x404040}, {32, 10, 0x404040},
                         {39, 47, 0x404040}, {40, 10, 0xFFFF00}, {50, 10, 0xFFFF00}})
    EXPECT_EQ(Rgb(stripes, c.x, c.y), c.rgb) << c.x << "," << c.y;
  EXPECT_EQ(stripes, Picture(kGames + "transitions/expected/stripes.png"));

  // Turn and grow, frame 2 of 8: t = 0.25, scale 0.25, turned by
  // 2 pi sqrt(0.25) = 180 degrees about the centre (32, 24): rm_quad's
  // point (bx, by) lands on (32 - (bx - 32) / 4, 24 - (by - 24) / 4). The
  // half-pixel offset of every 2D position turns with the picture, so the
  // new room covers 24.5-40.5 by 18.5-30.5, pixels 25-40 by 19-30, upside
  // down: its red corner lower right (37-40 by 27-30).
  const TBitmap32 turn = Picture(dir_ / "turn.png");
  for (const RCase& c : {RCase{37, 27, 0xFF0000}, {40, 30, 0xFF0000}, {36, 26, 0xFFFFFF}, {34, 28, 0x00FF00},
                         {38, 24, 0x0000FF}, {25, 19, 0x404040}, {24, 19, 0xFFFF00}, {25, 18, 0xFFFF00},
                         {41, 30, 0xFFFF00}, {40, 31, 0xFFFF00}, {5, 5, 0xFFFF00}})
    EXPECT_EQ(Rgb(turn, c.x, c.y), c.rgb) << c.x << "," << c.y;
  EXPECT_EQ(turn, Picture(kGames + "transitions/expected/turn.png"));

  // The game's own, t = 0.5: rm_quad squeezed into the left 32 columns.
  const TBitmap32 user = Picture(dir_ / "user.png");
  EXPECT_EQ(Rgb(user, 0, 0), 0xFF0000);
  EXPECT_EQ(Rgb(user, 8, 0), 0x00FF00);
  EXPECT_EQ(Rgb(user, 20, 40), 0x404040);
  EXPECT_EQ(Rgb(user, 32, 0), 0xFFFF00);

  // Step 8 went to rm_quad with automatic drawing off: the transition was
  // dropped, and step 9's frame reached the screen.
  const TBitmap32 final_frame = Picture(dir_ / "final.png");
  EXPECT_EQ(Rgb(final_frame, 0, 0), 0xFF0000);
  EXPECT_EQ(Rgb(final_frame, 40, 40), 0x404040);
}

// A quad as the device got it: which surface, its rectangle (the -0.5 of
// every 2D position taken back) and its alpha byte.
struct RQuad {
  char surface;
  double left, top, right, bottom;
  int alpha = 255;
};

class TransitionKindsTest : public fakedev::FakeDeviceTest {
 protected:
  int a = -1, b = -1;
  void SetUp() override {
    FakeDeviceTest::SetUp();
    a = GR_Surface_Create(64, 48);
    b = GR_Surface_Create(64, 48);
  }
  std::vector<RQuad> Quads(int kind, double t) {
    log.draws.clear();
    GR_Transition_Draw_Builtin(kind, a, b, 64, 48, t, 8);
    std::vector<RQuad> out;
    const unsigned ta = GR_Texture_Device_Handle(GR_Surface_Texture(a));
    for (const fakedev::RDrawCall& d : log.draws) {
      RQuad q{d.tex == ta ? 'A' : 'B', 1e9, 1e9, -1e9, -1e9, int(d.v.at(0).color >> 24)};
      for (const RDeviceVertex& v : d.v) {
        q.left = std::min(q.left, v.x + 0.5);
        q.top = std::min(q.top, v.y + 0.5);
        q.right = std::max(q.right, v.x + 0.5);
        q.bottom = std::max(q.bottom, v.y + 0.5);
      }
      out.push_back(q);
    }
    return out;
  }
};

TEST_F(TransitionKindsTest, EachKindDrawsItsFormula) {
  struct RCase {
    int kind;
    double t;
    std::vector<RQuad> quads;
  };
  const RQuad A{'A', 0, 0, 64, 48};
  // W = 64, H = 48, 8 steps.
  const RCase cases[] = {
      {1, 0.5, {A, {'B', 0, 0, 32, 48}}},
      {2, 0.5, {A, {'B', 32, 0, 64, 48}}},
      {3, 0.5, {A, {'B', 0, 0, 64, 24}}},
      {4, 0.5, {A, {'B', 0, 24, 64, 48}}},
      {5, 0.5, {A, {'B', 16, 12, 48, 36}}},
      {5, 0.3, {A, {'B', 22, 17, 41, 31}}},  // round(22.4), round(16.8), round(19.2) wide, round(14.4) high
      {6, 0.5, {A, {'B', -32, 0, 32, 48}}},
      {7, 0.5, {A, {'B', 32, 0, 96, 48}}},
      {8, 0.5, {A, {'B', 0, -24, 64, 24}}},
      {9, 0.5, {A, {'B', 0, 24, 64, 72}}},
      // Stripes, count 2 of 8 (g = 4): stripes 0-2 from the left, 2-4 from
      // the right; count 6: the wipe of (6 - 4) / 4 and every stripe.
      {10, 0.25, {A, {'B', 0, 0, 8, 48}, {'B', 16, 0, 24, 48}, {'B', 32, 0, 40, 48}}},
      {11, 0.25, {A, {'B', 32, 0, 40, 48}, {'B', 48, 0, 56, 48}, {'B', 64, 0, 72, 48}}},
      {12, 0.25, {A, {'B', 0, 0, 64, 6}, {'B', 0, 12, 64, 18}, {'B', 0, 24, 64, 30}}},
      {13, 0.25, {A, {'B', 0, 24, 64, 30}, {'B', 0, 36, 64, 42}, {'B', 0, 48, 64, 54}}},
      {10, 0.75, {A, {'B', 0, 0, 32, 48}, {'B', 0, 0, 8, 48}, {'B', 16, 0, 24, 48}, {'B', 32, 0, 40, 48},
                  {'B', 48, 0, 56, 48}, {'B', 64, 0, 72, 48}}},
      {10, 1, {{'B', 0, 0, 64, 48}}},
      {14, 0.5, {{'A', 32, 0, 96, 48}, {'B', -32, 0, 32, 48}}},
      {15, 0.5, {{'A', -32, 0, 32, 48}, {'B', 32, 0, 96, 48}}},
      {16, 0.5, {{'A', 0, 24, 64, 72}, {'B', 0, -24, 64, 24}}},
      {17, 0.5, {{'A', 0, -24, 64, 24}, {'B', 0, 24, 64, 72}}},
      // A quarter of the size, half a turn, centred on (32, 24): 24-40 by
      // 18-30, moved by the half pixel that turns with it.
      {18, 0.25, {A, {'B', 25, 19, 41, 31}}},
      {19, 0.25, {A, {'B', 25, 19, 41, 31}}},
      {18, 1, {A, {'B', 0, 0, 64, 48}}},
      {20, 0.5, {A, {'B', 0, 0, 64, 48, 128}}},
      {21, 0.25, {{'A', 0, 0, 64, 48, 128}}},
      {21, 0.75, {{'B', 0, 0, 64, 48, 128}}},
      {22, 0.5, {}},
  };
  for (const RCase& c : cases) {
    const std::vector<RQuad> got = Quads(c.kind, c.t);
    ASSERT_EQ(got.size(), c.quads.size()) << "kind " << c.kind << " t " << c.t;
    for (size_t i = 0; i < got.size(); ++i) {
      const RQuad &g = got[i], &w = c.quads[i];
      const std::string where = "kind " + std::to_string(c.kind) + " t " + std::to_string(c.t) + " quad " +
                                std::to_string(i);
      EXPECT_EQ(g.surface, w.surface) << where;
      EXPECT_NEAR(g.left, w.left, 1e-3) << where;
      EXPECT_NEAR(g.top, w.top, 1e-3) << where;
      EXPECT_NEAR(g.right, w.right, 1e-3) << where;
      EXPECT_NEAR(g.bottom, w.bottom, 1e-3) << where;
      EXPECT_EQ(g.alpha, w.alpha) << where;
    }
  }
}

}  // namespace
