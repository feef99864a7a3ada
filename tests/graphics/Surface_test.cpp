// Surfaces: a game draws into one and draws it back in every form (frame
// compared with its reference, pixels worked out by hand), copies, reads and
// saves it; and the surface list on a recording device: slots, targets and
// what a device reset leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../Test_Process.h"
#include "Fake_Device.h"
#include "graphics/BM32_Bitmap.h"
#include "graphics/Graphics_Surface.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

// Colour of a picture pixel as 0xRRGGBB.
int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

// Every pixel within one step per channel (the rasteriser's rounding).
::testing::AssertionResult SamePicture(const TBitmap32& got, const TBitmap32& want) {
  if (got.s_w != want.s_w || got.s_h != want.s_h) return ::testing::AssertionFailure() << "size differs";
  for (int y = 0; y < got.s_h; ++y)
    for (int x = 0; x < got.s_w; ++x) {
      const TColor32 a = got.GetPixel(x, y), b = want.GetPixel(x, y);
      if (std::abs(C32_Red(a) - C32_Red(b)) > 1 || std::abs(C32_Green(a) - C32_Green(b)) > 1 ||
          std::abs(C32_Blue(a) - C32_Blue(b)) > 1)
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") differs";
    }
  return ::testing::AssertionSuccess();
}

class SurfaceGameTest : public testproc::ScratchDirTest {
 protected:
  ROutput Play(const std::string& game, const std::string& switches) {
    const std::string bin = (dir_ / "game.bin").string();
    ROutput packed = Capture(kBin + "/roompack " + kGames + game + " -o " + bin + " 2>&1");
    EXPECT_EQ(packed.status, 0) << packed.out;
    std::ofstream(dir_ / "input.txt") << "1 error ignore\n";
    return Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --input input.txt " + switches +
                   " game.bin 2>stderr.txt");
  }
  TBitmap32 Picture(const fs::path& path) {
    TBitmap32 bm;
    EXPECT_TRUE(bm.LoadFromImageFile(path.string())) << path;
    return bm;
  }
};

TEST_F(SurfaceGameTest, DrawnIntoAndDrawnBackInEveryForm) {
  ROutput r = Play("surf_draw", "--steps 2 --screenshot 1:main.png");
  ASSERT_EQ(r.status, 0) << r.out << testproc::ReadText(dir_ / "stderr.txt");
  const TBitmap32 main = Picture(dir_ / "main.png");
  ASSERT_EQ(main.s_w, 96);
  ASSERT_EQ(main.s_h, 64);
  // The surface (20 x 12): the 8 x 8 quadrant sprite (red, green / blue,
  // white) stretched over its left 16 x 12, so 8 x 6 quadrants; columns
  // 16-19 never drawn.
  struct RCase {
    const char* what;
    int x, y, rgb;
  };
  const RCase cases[] = {
      {"draw_surface at (2, 2): red quadrant", 2, 2, 0xFF0000},
      {"draw_surface: white quadrant ends at (17, 13)", 17, 13, 0xFFFFFF},
      {"draw_surface: the undrawn columns show the room", 19, 5, 0x202020},
      {"stretched to 40 x 24 at (24, 2): green from x 40", 40, 2, 0x00FF00},
      {"stretched: red up to x 39", 39, 13, 0xFF0000},
      {"stretched: blue from y 14", 24, 14, 0x0000FF},
      {"stretched: white ends at (55, 25)", 55, 25, 0xFFFFFF},
      // Turned 90 degrees counter-clockwise about (80, 30): surface pixel
      // (bx, by) lands on (80 + by, 30 - bx).
      {"turned: red below", 82, 27, 0xFF0000},
      {"turned: green above", 82, 17, 0x00FF00},
      {"turned: blue to the right", 89, 27, 0x0000FF},
      {"turned: undrawn columns at the top", 82, 12, 0x202020},
      {"part (8, 6, 8, 6) at (2, 40): white", 9, 45, 0xFFFFFF},
      {"part_ext twice as large at (12, 40): red to (27, 51)", 27, 51, 0xFF0000},
      {"stretched_ext blended red: red stays", 32, 40, 0xFF0000},
      {"stretched_ext blended red: green goes black", 44, 42, 0x000000},
      {"stretched_ext blended red: white turns red", 44, 48, 0xFF0000},
  };
  for (const RCase& c : cases) EXPECT_EQ(Rgb(main, c.x, c.y), c.rgb) << c.what;
  // draw_surface_general with alpha 0.5 over the room colour (32 grey):
  // red (255 + 32) / 2.
  EXPECT_NEAR(Rgb(main, 62, 42) >> 16, 144, 1);
  EXPECT_NEAR(Rgb(main, 62, 42) & 0xFF, 16, 1);
  EXPECT_TRUE(SamePicture(main, Picture(kGames + "surf_draw/expected/main.png")));

  // Copies worked out in step.code: d(2, 2) red and d(9, 2) green from the
  // whole copy; the part copy from source column -2 is shifted right by 2:
  // d(6, 4) = s(0, 3) red, d(6, 7) = s(0, 6) blue; d(5, 7) = s(5, 7) blue
  // from the first copy; a negative x reads column 0; s(12, 9) white.
  EXPECT_EQ(r.out,
            "size 20 12\n"
            "copy 255 65280 255 16711680 16711680 255 16777215\n"
            "targets 1 1 1 0\n"
            "freed 0 0 -1 1\n"
            "refused -1 -1 -1\n");
  const std::string err = testproc::ReadText(dir_ / "stderr.txt");
  for (const char* message :
       {"Trying to save surface to empty image file name.", "Trying to use non-existing surface.",
        "Cannot create a surface of 100000 x 100000 pixels: the largest is 8192 pixels a side",
        "Cannot create a surface of 0 x 5 pixels: both sides must be 1 or more."})
    EXPECT_NE(err.find(message), std::string::npos) << message << "\n" << err;

  // A PNG keeps the surface's alpha; any other name gets a Windows bitmap.
  const TBitmap32 saved = Picture(dir_ / "surf.png");
  ASSERT_EQ(saved.s_w, 20);
  ASSERT_EQ(saved.s_h, 12);
  EXPECT_EQ(saved.GetPixel(2, 2), C32_Make(255, 0, 0, 255));
  EXPECT_EQ(C32_Alpha(saved.GetPixel(18, 5)), 0);
  EXPECT_EQ(testproc::ReadText(dir_ / "part.jpg").substr(0, 2), "BM");
  const TBitmap32 part = Picture(dir_ / "part.jpg");
  ASSERT_EQ(part.s_w, 8);
  ASSERT_EQ(part.s_h, 6);
  EXPECT_EQ(Rgb(part, 0, 0), 0x00FF00);
  // screen_save_part far past the region's edge: the 6 x 4 corner.
  const TBitmap32 corner = Picture(dir_ / "corner.png");
  EXPECT_EQ(corner.s_w, 6);
  EXPECT_EQ(corner.s_h, 4);
  EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
  // A folder that does not exist: nothing written, not even a temporary file.
  EXPECT_FALSE(fs::exists(dir_ / "nodir"));
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find(".surf.png"), std::string::npos) << e.path();
}

// A picture that cannot be written is refused whole: a folder under the
// name stays a folder, and no temporary file is left beside it.
TEST_F(SurfaceGameTest, AFailedSaveLeavesNothingBehind) {
  fs::create_directory(dir_ / "shot.png");
  EXPECT_FALSE(GR_Picture_Save((dir_ / "shot.png").string(), TBitmap32(5, 5, C32_Make(9, 9, 9, 255))));
  EXPECT_FALSE(GR_Picture_Save((dir_ / "nodir" / "shot.bmp").string(), TBitmap32(5, 5, C32_Make(9, 9, 9, 255))));
  EXPECT_TRUE(fs::is_directory(dir_ / "shot.png"));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1);
}

class SurfaceListTest : public fakedev::FakeDeviceTest {};

TEST_F(SurfaceListTest, SlotsAreReusedAndSizesChecked) {
  const int a = GR_Surface_Create(100, 50), b = GR_Surface_Create(1, 1);
  ASSERT_EQ(a, 0);
  ASSERT_EQ(b, 1);
  EXPECT_EQ(GR_Surface_Width(a), 100);
  EXPECT_EQ(GR_Surface_Height(a), 50);
  // Its texture, and the depth buffer that comes with it, are 128 x 64.
  const unsigned handle = GR_Texture_Device_Handle(GR_Surface_Texture(a));
  EXPECT_EQ(log.textures[handle].wt, 128);
  EXPECT_EQ(log.textures[handle].ht, 64);
  EXPECT_TRUE(log.textures[handle].target);
  GR_Surface_Free(a);
  EXPECT_FALSE(GR_Surface_Exists(a));
  EXPECT_EQ(log.freed.back(), handle);
  EXPECT_EQ(GR_Surface_Create(8, 8), a);
  // Refused before anything is allocated.
  const size_t textures = log.textures.size();
  for (auto [w, h] : {std::pair{0, 10}, {-1, 5}, {8193, 1}, {8192, 4097}, {INT32_MAX, INT32_MAX}}) {
    EXPECT_FALSE(GR_Surface_Size_Error(w, h).empty()) << w << " x " << h;
    EXPECT_EQ(GR_Surface_Create(w, h), -1) << w << " x " << h;
  }
  EXPECT_EQ(log.textures.size(), textures);
  EXPECT_TRUE(GR_Surface_Size_Error(8192, 2048).empty());
  log.fail_create = true;
  EXPECT_EQ(GR_Surface_Create(4, 4), -1);
}

// A device reset takes every surface with it, the target first.
TEST_F(SurfaceListTest, ADeviceResetLosesEverySurface) {
  const int a = GR_Surface_Create(16, 16), b = GR_Surface_Create(32, 8);
  ASSERT_TRUE(GR_Surface_Set_Target(b));
  EXPECT_EQ(GR_Surface_Target(), b);
  ASSERT_TRUE(GR_D3D_Reset());
  EXPECT_FALSE(GR_Surface_Exists(a));
  EXPECT_FALSE(GR_Surface_Exists(b));
  EXPECT_EQ(GR_Surface_Target(), -1);
  EXPECT_TRUE(log.textures.empty());
  EXPECT_FALSE(GR_Surface_Reset_Target());
  EXPECT_EQ(GR_Surface_Create(4, 4), 0);
}

}  // namespace
