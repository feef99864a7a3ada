// Untextured drawing end to end: tests/games/draw_prims packed and played
// headless, its two frames (every primitive kind; the blend modes) compared
// with reference pictures and checked at pixels worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "../Test_Process.h"
#include "graphics/BM32_Bitmap.h"

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

struct RRgb {
  int r, g, b;
};

RRgb At(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return {C32_Red(c), C32_Green(c), C32_Blue(c)};
}

// Blended channels are rounded by the rasteriser: one step either way.
::testing::AssertionResult Near(const TBitmap32& bm, int x, int y, RRgb want, int tolerance = 1) {
  const RRgb got = At(bm, x, y);
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << got.r << "," << got.g << "," << got.b
                                       << ", expected " << want.r << "," << want.g << "," << want.b;
}

::testing::AssertionResult SamePicture(const TBitmap32& got, const TBitmap32& want) {
  if (got.s_w != want.s_w || got.s_h != want.s_h)
    return ::testing::AssertionFailure() << "size " << got.s_w << "x" << got.s_h << ", expected " << want.s_w << "x"
                                         << want.s_h;
  int bad = 0;
  std::string where;
  for (int y = 0; y < got.s_h; ++y)
    for (int x = 0; x < got.s_w; ++x)
      if (!Near(got, x, y, At(want, x, y)) && ++bad <= 5) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels differ, first at" << where;
}

class PrimitiveFramesTest : public testproc::ScratchDirTest {
 protected:
  TBitmap32 Load(const std::string& path) {
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile(path)) << path;
    return bm;
  }
};

constexpr RRgb kBack{0, 0, 64};  // the room colour
constexpr RRgb kRed{255, 0, 0}, kLime{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

TEST_F(PrimitiveFramesTest, ShapesAndBlendModesMatchTheirReferences) {
  const std::string game = (dir_ / "game.bin").string();
  ROutput packed = Capture(kBin + "/roompack " + kGames + "draw_prims -o " + game + " 2>&1");
  ASSERT_EQ(packed.status, 0) << packed.out;
  ROutput r = Capture("cd " + dir_.string() + " && " + kBin +
                      "/roomrun --fast --headless --steps 2 --screenshot 1:shapes.png --screenshot 2:blend.png " +
                      game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;

  const TBitmap32 s = Load((dir_ / "shapes.png").string());
  ASSERT_EQ(s.s_w, 128);
  ASSERT_EQ(s.s_h, 96);
  // draw_rectangle(23, 23, 4, 4): sorted, the maximum 23.01 covers the
  // pixels 4 ... 23 and no more.
  EXPECT_TRUE(Near(s, 4, 4, kRed));
  EXPECT_TRUE(Near(s, 23, 23, kRed));
  EXPECT_TRUE(Near(s, 24, 12, kBack));
  EXPECT_TRUE(Near(s, 3, 12, kBack));
  // Corner colours c1 ... c4 at top-left, top-right, bottom-right,
  // bottom-left; pixel centres on the corners take their colour whole.
  EXPECT_TRUE(Near(s, 28, 4, kRed));
  EXPECT_TRUE(Near(s, 47, 4, kLime));
  EXPECT_TRUE(Near(s, 47, 23, kBlue));
  EXPECT_TRUE(Near(s, 28, 23, kWhite));
  // The outline leaves the inside alone.
  EXPECT_TRUE(Near(s, 60, 4, kWhite));
  EXPECT_TRUE(Near(s, 52, 12, kWhite));
  EXPECT_TRUE(Near(s, 60, 12, kBack));
  // Circle: white centre, nothing beyond the radius; the outline circle is
  // empty inside.
  EXPECT_TRUE(Near(s, 90, 14, kWhite));
  EXPECT_TRUE(Near(s, 101, 14, kBack));
  EXPECT_TRUE(Near(s, 114, 14, kBack));
  // Triangle: red first corner; beyond the hypotenuse nothing.
  EXPECT_TRUE(Near(s, 4, 28, kRed));
  EXPECT_TRUE(Near(s, 20, 40, kBack));
  // Wide line, 6 wide about y = 38 (rows 35 ... 40), red to blue: half way
  // (x = 44) each is 127.5.
  EXPECT_TRUE(Near(s, 28, 38, kRed));
  EXPECT_TRUE(Near(s, 44, 38, {128, 0, 128}));
  EXPECT_TRUE(Near(s, 44, 34, kBack));
  EXPECT_TRUE(Near(s, 44, 41, kBack));
  // Yellow ellipse at alpha 0.5 (byte 128) over (0, 0, 64).
  EXPECT_TRUE(Near(s, 80, 38, {128, 128, 32}));
  // Rounded rectangle: white centre, the corner pixel cut off.
  EXPECT_TRUE(Near(s, 112, 38, kWhite));
  EXPECT_TRUE(Near(s, 100, 28, kBack));
  // A line at y = 54 (+ 0.01) lights row 54 only.
  EXPECT_TRUE(Near(s, 20, 54, kWhite));
  EXPECT_TRUE(Near(s, 20, 53, kBack));
  EXPECT_TRUE(Near(s, 20, 55, kBack));
  // Points, and the colour line red to lime: at x = 20, t = 15.99 / 36.
  EXPECT_TRUE(Near(s, 44, 54, kWhite));
  EXPECT_TRUE(Near(s, 46, 54, kRed));
  EXPECT_TRUE(Near(s, 45, 54, kBack));
  EXPECT_TRUE(Near(s, 20, 58, {142, 113, 0}, 2));
  // Arrow: the line and the head (70, 63.3), (80, 60), (70, 56.7).
  EXPECT_TRUE(Near(s, 75, 60, kLime));
  EXPECT_TRUE(Near(s, 72, 58, kLime));
  EXPECT_TRUE(Near(s, 72, 64, kBack));
  // Button: maroon face, white top-left bevel, grey bottom-right bevel.
  EXPECT_TRUE(Near(s, 94, 60, {128, 0, 0}));
  EXPECT_TRUE(Near(s, 85, 53, kWhite));
  EXPECT_TRUE(Near(s, 103, 67, {128, 128, 128}));
  // Health bar at 75 from red to lime: (64, 192, 0), on its black back.
  EXPECT_TRUE(Near(s, 20, 76, {64, 192, 0}));
  EXPECT_TRUE(Near(s, 50, 76, {0, 0, 0}));
  // Primitive builder: a coloured fan, and a 2 x 2 texture (red, lime /
  // blue, white) over 16 x 16 pixels without interpolation.
  EXPECT_TRUE(Near(s, 64, 72, kRed));
  EXPECT_TRUE(Near(s, 106, 76, kRed));
  EXPECT_TRUE(Near(s, 116, 76, kLime));
  EXPECT_TRUE(Near(s, 106, 84, kBlue));
  EXPECT_TRUE(Near(s, 116, 84, kWhite));
  EXPECT_TRUE(SamePicture(s, Load(kGames + "draw_prims/expected/shapes.png")));

  // Blend modes: source S = (100, 100, 200) at alpha a = 128 / 255 over the
  // cleared D = (128, 64, 32).
  const TBitmap32 b = Load((dir_ / "blend.png").string());
  const double a = 128.0 / 255;
  const double S[3] = {100, 100, 200}, D[3] = {128, 64, 32};
  auto mix = [&](double fs_alpha, bool inv_src_colour_dest, bool zero_src) {
    int out[3];
    for (int i = 0; i < 3; ++i) {
      const double src = zero_src ? 0 : S[i] * fs_alpha;
      const double dst = inv_src_colour_dest ? D[i] * (1 - S[i] / 255) : D[i];
      out[i] = int(std::lround(std::min(255.0, src + dst)));
    }
    return RRgb{out[0], out[1], out[2]};
  };
  RRgb normal{};
  {
    int out[3];
    for (int i = 0; i < 3; ++i) out[i] = int(std::lround(S[i] * a + D[i] * (1 - a)));
    normal = {out[0], out[1], out[2]};
  }
  EXPECT_TRUE(Near(b, 1, 1, {128, 64, 32}));               // draw_clear
  EXPECT_TRUE(Near(b, 10, 20, normal));                    // bm_normal
  EXPECT_TRUE(Near(b, 34, 20, mix(a, false, false)));      // bm_add: S a + D
  EXPECT_TRUE(Near(b, 58, 20, mix(a, true, false)));       // bm_max: S a + D (1 - S)
  EXPECT_TRUE(Near(b, 82, 20, mix(a, true, true)));        // bm_subtract: D (1 - S)
  EXPECT_TRUE(Near(b, 106, 20, normal));                   // 7: normal
  EXPECT_TRUE(Near(b, 10, 60, {50, 25, 25}));              // dest colour, zero: S D / 255
  EXPECT_TRUE(Near(b, 34, 60, kWhite));                    // adding white saturates
  EXPECT_TRUE(Near(b, 80, 64, kWhite));                    // the precision 4 diamond's centre
  EXPECT_TRUE(Near(b, 70, 54, {128, 64, 32}));             // and outside its edge
  EXPECT_TRUE(SamePicture(b, Load(kGames + "draw_prims/expected/blend.png")));
}

}  // namespace
