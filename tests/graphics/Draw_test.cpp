// Textured drawing of sprites and backgrounds: the quads every drawing
// function sends to the device, worked out by hand, the frame chosen, tiling,
// the texture functions and the errors for missing resources.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Fake_Device.h"
#include "resources/Background_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Main.h"
#include "runtime/Instance_Class.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

namespace {

struct RPoint {
  double x, y;
};

// Sprite 0: 32 x 32, origin (16, 16), three frames. Sprite 1: 32 x 32,
// origin (0, 0). Background 0: 100 x 60 (texture 128 x 64). Room 100 x 70.
class DrawTest : public fakedev::FakeDeviceTest {
 protected:
  CRoom room;
  CInstance inst;

  void SetUp() override {
    FakeDeviceTest::SetUp();
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ErrorResetForTests();
    ClearSprites();
    ClearBackgrounds();
    CSprite* s = SpriteList().Ensure(AddSprite());
    for (int i = 0; i < 3; ++i) s->AddFromBitmap(TBitmap32(32, 32, C32_Make(i, 0, 0, 255)), 0, false);
    s->i_xorig = s->i_yorig = 16;
    SpriteList().Ensure(AddSprite())->CreateFromBitmap(TBitmap32(32, 32, 0xFFFFFFFF), 0, false, 0, 0);
    BackgroundList().Ensure(AddBackground())->CreateColor(100, 60, 0x808080);
    room.r_width = 100;
    room.r_height = 70;
    SetRoomCurrent(&room);
    log.draws.clear();
  }
  void TearDown() override {
    SetRoomCurrent(nullptr);
    ClearSprites();
    ClearBackgrounds();
    ErrorResetForTests();
    FakeDeviceTest::TearDown();
  }

  RValue Call(const std::string& name, const std::vector<double>& reals) {
    return CallBuiltin(name, std::vector<RValue>(reals.begin(), reals.end()), &inst);
  }
  unsigned FrameHandle(int frame) { return GR_Texture_Device_Handle(GetSprite(0)->i_tex[size_t(frame)]); }
  unsigned BackHandle() { return GR_Texture_Device_Handle(GetBackground(0)->i_tex); }
};

void ExpectCorners(const fakedev::RDrawCall& d, const std::vector<RPoint>& want) {
  ASSERT_EQ(d.v.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(d.v[i].x, want[i].x, 1e-3) << "corner " << i;
    EXPECT_NEAR(d.v[i].y, want[i].y, 1e-3) << "corner " << i;
  }
}

TEST_F(DrawTest, RotatedSpriteTurnsCounterClockwiseAboutItsOrigin) {
  Call("draw_sprite_ext", {0, 0, 100, 100, 1, 1, 90, 255, 0.5});
  ASSERT_EQ(log.draws.size(), 1u);
  const fakedev::RDrawCall& d = log.draws[0];
  EXPECT_EQ(d.kind, EPrimitive::TriangleFan);
  EXPECT_TRUE(d.clamp);
  EXPECT_EQ(d.tex, FrameHandle(0));
  // Top-left, top-right, bottom-right, bottom-left of the picture.
  ExpectCorners(d, {{83.5, 116.5}, {83.5, 84.5}, {115.5, 84.5}, {115.5, 116.5}});
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(d.v[i].u, uv[i][0]);
    EXPECT_EQ(d.v[i].v, uv[i][1]);
    EXPECT_EQ(d.v[i].color, 0x80FF0000u);  // red, alpha 0.5 -> 128
    EXPECT_EQ(d.v[i].z, float(GR_D3D_Depth()));
  }
}

TEST_F(DrawTest, EachDrawingFunctionPlacesItsQuadAsWorkedOut) {
  const double kRed = 255, kGreen = 65280, kBlue = 16711680;
  struct RCase {
    const char* fn;
    std::vector<double> args;
    int frame;  // -1: the background
    std::vector<RPoint> corners;
    float u0, v0, u1, v1;
    std::vector<uint32_t> colors;
  };
  const uint32_t W = 0xFFFFFFFF;
  const RCase cases[] = {
      {"draw_sprite", {0, 1, 50, 60}, 1, {{33.5, 43.5}, {65.5, 43.5}, {65.5, 75.5}, {33.5, 75.5}}, 0, 0, 1, 1,
       {W, W, W, W}},
      {"draw_sprite", {0, 4, 50, 60}, 1, {{33.5, 43.5}, {65.5, 43.5}, {65.5, 75.5}, {33.5, 75.5}}, 0, 0, 1, 1,
       {W, W, W, W}},  // frames wrap around
      {"draw_sprite", {0, 1.5, 50, 60}, 2, {{33.5, 43.5}, {65.5, 43.5}, {65.5, 75.5}, {33.5, 75.5}}, 0, 0, 1, 1,
       {W, W, W, W}},  // the frame is rounded, ties to even
      {"draw_sprite_stretched", {0, 0, 10, 20, 64, 16}, 0, {{9.5, 19.5}, {73.5, 19.5}, {73.5, 35.5}, {9.5, 35.5}},
       0, 0, 1, 1, {W, W, W, W}},
      {"draw_sprite_stretched_ext", {0, 0, 10, 20, 64, 16, kGreen, 1}, 0,
       {{9.5, 19.5}, {73.5, 19.5}, {73.5, 35.5}, {9.5, 35.5}}, 0, 0, 1, 1,
       {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00}},
      {"draw_sprite_part", {0, 0, 8, 4, 16, 8, 10, 20}, 0, {{9.5, 19.5}, {25.5, 19.5}, {25.5, 27.5}, {9.5, 27.5}},
       0.25, 0.125, 0.75, 0.375, {W, W, W, W}},
      {"draw_sprite_part_ext", {0, 0, 8, 4, 16, 8, 10, 20, 2, -1, kRed, 1}, 0,
       {{9.5, 19.5}, {41.5, 19.5}, {41.5, 11.5}, {9.5, 11.5}}, 0.25, 0.125, 0.75, 0.375,
       {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000}},
      {"draw_sprite_general", {0, 0, 0, 0, 32, 32, 100, 100, 1, 1, 90, kRed, kGreen, kBlue, 0, 1}, 0,
       {{99.5, 100.5}, {99.5, 68.5}, {131.5, 68.5}, {131.5, 100.5}}, 0, 0, 1, 1,
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000}},
      {"draw_sprite_pos", {0, 0, 0, 0, 10, 0, 12, 8, -2, 9, 0.5}, 0,
       {{-0.5, -0.5}, {9.5, -0.5}, {11.5, 7.5}, {-2.5, 8.5}}, 0, 0, 1, 1,
       {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF}},
      {"draw_background", {0, 5, 6}, -1, {{4.5, 5.5}, {104.5, 5.5}, {104.5, 65.5}, {4.5, 65.5}}, 0, 0, 0.78125,
       0.9375, {W, W, W, W}},
      {"draw_background_ext", {0, 5, 6, 0.5, 2, 0, kGreen, 1}, -1,
       {{4.5, 5.5}, {54.5, 5.5}, {54.5, 125.5}, {4.5, 125.5}}, 0, 0, 0.78125, 0.9375,
       {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00}},
      {"draw_background_stretched", {0, 0, 0, 50, 30}, -1, {{-0.5, -0.5}, {49.5, -0.5}, {49.5, 29.5}, {-0.5, 29.5}},
       0, 0, 0.78125, 0.9375, {W, W, W, W}},
      {"draw_background_stretched_ext", {0, 0, 0, 50, 30, kBlue, 0}, -1,
       {{-0.5, -0.5}, {49.5, -0.5}, {49.5, 29.5}, {-0.5, 29.5}}, 0, 0, 0.78125, 0.9375,
       {0x000000FF, 0x000000FF, 0x000000FF, 0x000000FF}},
      {"draw_background_part", {0, 10, 20, 30, 40, 1, 2}, -1, {{0.5, 1.5}, {30.5, 1.5}, {30.5, 41.5}, {0.5, 41.5}},
       0.078125, 0.3125, 0.3125, 0.9375, {W, W, W, W}},
      {"draw_background_part_ext", {0, 10, 20, 30, 40, 1, 2, 1, 0.5, kRed, 1}, -1,
       {{0.5, 1.5}, {30.5, 1.5}, {30.5, 21.5}, {0.5, 21.5}}, 0.078125, 0.3125, 0.3125, 0.9375,
       {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000}},
      {"draw_background_general", {0, 0, 0, 100, 60, 0, 0, 1, 1, 180, kRed, kGreen, kBlue, 0, 1}, -1,
       {{0.5, 0.5}, {-99.5, 0.5}, {-99.5, -59.5}, {0.5, -59.5}}, 0, 0, 0.78125, 0.9375,
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.fn);
    log.draws.clear();
    Call(c.fn, c.args);
    ASSERT_EQ(log.draws.size(), 1u);
    const fakedev::RDrawCall& d = log.draws[0];
    EXPECT_EQ(d.tex, c.frame < 0 ? BackHandle() : FrameHandle(c.frame));
    EXPECT_TRUE(d.clamp);
    ExpectCorners(d, c.corners);
    EXPECT_FLOAT_EQ(d.v[0].u, c.u0);
    EXPECT_FLOAT_EQ(d.v[0].v, c.v0);
    EXPECT_FLOAT_EQ(d.v[2].u, c.u1);
    EXPECT_FLOAT_EQ(d.v[2].v, c.v1);
    EXPECT_FLOAT_EQ(d.v[1].u, c.u1);
    EXPECT_FLOAT_EQ(d.v[3].v, c.v1);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(d.v[i].color, c.colors[i]) << "corner " << i;
  }
}

TEST_F(DrawTest, NegativeFrameMeansTheInstancesCurrentFrame) {
  inst.i_imageindex = 2.7;
  Call("draw_sprite", {0, -1, 50, 60});
  Call("draw_sprite_stretched", {0, -1, 0, 0, 10, 10});
  inst.i_imageindex = 1.2;
  Call("draw_sprite_ext", {0, -1, 0, 0, 1, 1, 0, 0, 1});
  ASSERT_EQ(log.draws.size(), 3u);
  EXPECT_EQ(log.draws[0].tex, FrameHandle(2));
  EXPECT_EQ(log.draws[1].tex, FrameHandle(2));
  EXPECT_EQ(log.draws[2].tex, FrameHandle(1));
  EXPECT_EQ(Call("sprite_get_texture", {0, -1}).val, GetSprite(0)->i_tex[1]);
  // The methods themselves reduce -1 to the last frame.
  log.draws.clear();
  GetSprite(0)->DrawStretched(-1, 0, 0, 5, 5, 0xFFFFFF, 1);
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].tex, FrameHandle(2));
}

TEST_F(DrawTest, DrawSelfUsesTheInstancesSpriteFrameAndTransform) {
  inst.i_spriteindex = 0;
  inst.i_imageindex = 1.9;
  inst.i_x = inst.i_y = 100;
  inst.i_imageangle = 90;
  inst.i_imageblend = 255;
  inst.i_imagealpha = 0.5;
  Call("draw_self", {});
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].tex, FrameHandle(1));
  ExpectCorners(log.draws[0], {{83.5, 116.5}, {83.5, 84.5}, {115.5, 84.5}, {115.5, 116.5}});
  EXPECT_EQ(log.draws[0].v[0].color, 0x80FF0000u);
}

TEST_F(DrawTest, TilingStartsAtTheLastStepBeforeTheRegionAndCoversIt) {
  // x = 40 with 32-pixel steps starts at -24; y = 10 at -22; the room is
  // 100 x 70, so 4 columns and 3 rows.
  Call("draw_sprite_tiled", {1, 0, 40, 10});
  std::vector<RPoint> tl;
  for (const auto& d : log.draws) tl.push_back({d.v[0].x, d.v[0].y});
  ASSERT_EQ(tl.size(), 12u);
  size_t i = 0;
  for (double x : {-24.5, 7.5, 39.5, 71.5})
    for (double y : {-22.5, 9.5, 41.5}) {
      EXPECT_EQ(tl[i].x, x) << i;
      EXPECT_EQ(tl[i].y, y) << i;
      ++i;
    }
  ExpectCorners(log.draws[0], {{-24.5, -22.5}, {7.5, -22.5}, {7.5, 9.5}, {-24.5, 9.5}});

  struct RCase {
    const char* what;
    double x, y, xscale, yscale;
    size_t quads;
    RPoint first;
  };
  const RCase cases[] = {
      {"negative start stays", -40, 0, 1, 1, 4 * 3, {-8.5, -0.5}},
      {"scale 0.01 gives steps of 0: nothing", 40, 10, 0.01, 1, 0, {0, 0}},
      {"mirrored scale gives negative steps: nothing", 40, 10, -1, 1, 0, {0, 0}},
      {"scale 1.5: steps of 48", 0, 0, 1.5, 1, 3 * 3, {-0.5, -0.5}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.what);
    log.draws.clear();
    Call("draw_sprite_tiled_ext", {1, 0, c.x, c.y, c.xscale, c.yscale, 16777215, 1});
    ASSERT_EQ(log.draws.size(), c.quads);
    if (c.quads == 0) continue;
    EXPECT_EQ(log.draws[0].v[0].x, c.first.x);
    EXPECT_EQ(log.draws[0].v[0].y, c.first.y);
  }

  // A region far away is reached in whole steps at once, landing exactly
  // where a step-by-step walk would.
  log.draws.clear();
  GetSprite(1)->DrawTiled(0, 40, 10, 1, 1, true, false, 1000000, 0, 1, 70, 0xFFFFFF, 1);
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].v[0].x, 999975.5f);
}

TEST_F(DrawTest, UntiledBackgroundIsDrawnOnceWhenItStartsBeforeTheRegionEnds) {
  const CBackground* b = GetBackground(0);
  b->DrawTiled(-200, 60, 1, 1, false, false, 0, 0, 100, 70, 0xFFFFFF, 1);
  b->DrawTiled(99, 69, 1, 1, false, false, 0, 0, 100, 70, 0xFFFFFF, 1);
  b->DrawTiled(100, 0, 1, 1, false, false, 0, 0, 100, 70, 0xFFFFFF, 1);
  b->DrawTiled(0, 70, 1, 1, false, false, 0, 0, 100, 70, 0xFFFFFF, 1);
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_EQ(log.draws[0].v[0].x, -200.5f);
  EXPECT_EQ(log.draws[1].v[0].x, 98.5f);
  log.draws.clear();
  Call("draw_background_tiled", {0, 0, 5});
  EXPECT_EQ(log.draws.size(), 1u * 3u);  // one column at 0, rows at -55, 5 and 65
  log.draws.clear();
  Call("draw_background_tiled_ext", {0, 30, 5, 0.5, 0.5, 255, 1});
  EXPECT_EQ(log.draws.size(), 3u * 4u);  // 50 x 30 steps from (-20, -25)
}

TEST_F(DrawTest, StretchedDrawsNeedAPositiveSizeAndAnImage) {
  Call("draw_sprite_stretched", {0, 0, 0, 0, 0, 10});
  Call("draw_sprite_stretched", {0, 0, 0, 0, 10, -1});
  Call("draw_background_stretched", {0, 0, 0, 0, 10});
  GR_Texture_Draw_Simple(-1, 0, 0);
  GR_Texture_Draw(42, 0, 0, 0, 0, 0, 1, 1, 0, 1);
  EXPECT_TRUE(log.draws.empty());
  CBackground empty;
  empty.DrawStretched(0, 0, 10, 10, 0xFFFFFF, 1);
  empty.DrawSimple(0, 0);
  EXPECT_TRUE(log.draws.empty());
}

TEST_F(DrawTest, MissingSpritesAndBackgroundsReportAndDrawNothing) {
  const std::string kSprite = "Trying to draw non-existing sprite.";
  const std::string kBack = "Trying to draw non-existing background.";
  DeleteSprite(1);
  const struct {
    const char* fn;
    std::vector<double> args;
    const std::string& error;
  } cases[] = {
      {"draw_sprite", {5, 0, 0, 0}, kSprite},
      {"draw_sprite", {1, 0, 0, 0}, kSprite},  // deleted
      {"draw_sprite", {-1, 0, 0, 0}, kSprite},
      {"draw_sprite_ext", {5, 0, 0, 0, 1, 1, 0, 0, 1}, kSprite},
      {"draw_sprite_pos", {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, kSprite},
      {"draw_sprite_stretched", {5, 0, 0, 0, 1, 1}, kSprite},
      {"draw_sprite_stretched_ext", {5, 0, 0, 0, 1, 1, 0, 1}, kSprite},
      {"draw_sprite_part", {5, 0, 0, 0, 1, 1, 0, 0}, kSprite},
      {"draw_sprite_part_ext", {5, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 1}, kSprite},
      {"draw_sprite_general", {5, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1}, kSprite},
      {"draw_sprite_tiled", {5, 0, 0, 0}, kSprite},
      {"draw_sprite_tiled_ext", {5, 0, 0, 0, 1, 1, 0, 1}, kSprite},
      {"draw_self", {}, kSprite},  // the instance has no sprite
      {"draw_background", {3, 0, 0}, kBack},
      {"draw_background_ext", {3, 0, 0, 1, 1, 0, 0, 1}, kBack},
      {"draw_background_stretched", {3, 0, 0, 1, 1}, kBack},
      {"draw_background_stretched_ext", {3, 0, 0, 1, 1, 0, 1}, kBack},
      {"draw_background_part", {3, 0, 0, 1, 1, 0, 0}, kBack},
      {"draw_background_part_ext", {3, 0, 0, 1, 1, 0, 0, 1, 1, 0, 1}, kBack},
      {"draw_background_general", {3, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1}, kBack},
      {"draw_background_tiled", {3, 0, 0}, kBack},
      {"draw_background_tiled_ext", {3, 0, 0, 1, 1, 0, 1}, kBack},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fn);
    ErrorResetForTests();
    error_last.clear();
    Call(c.fn, c.args);
    EXPECT_NE(error_last.find(c.error), std::string::npos) << error_last;
  }
  EXPECT_TRUE(log.draws.empty());

  ErrorResetForTests();
  error_last.clear();
  EXPECT_EQ(Call("sprite_get_texture", {5, 0}).val, -1);
  EXPECT_NE(error_last.find("Trying to get texture from non-existing sprite."), std::string::npos);
  error_last.clear();
  EXPECT_EQ(Call("background_get_texture", {5}).val, -1);
  EXPECT_NE(error_last.find("Trying to get texture from non-existing background."), std::string::npos);
}

TEST_F(DrawTest, TextureFunctionsReportTheResourcesTextures) {
  const int frame2 = GetSprite(0)->i_tex[2];
  const int back = GetBackground(0)->i_tex;
  EXPECT_EQ(Call("sprite_get_texture", {0, 2}).val, frame2);
  EXPECT_EQ(Call("sprite_get_texture", {0, 5}).val, frame2);
  EXPECT_EQ(Call("background_get_texture", {0}).val, back);
  EXPECT_EQ(Call("texture_exists", {double(back)}).val, 1);
  EXPECT_EQ(Call("texture_exists", {-1}).val, 0);
  EXPECT_EQ(Call("texture_exists", {99}).val, 0);
  EXPECT_EQ(Call("texture_get_width", {double(back)}).val, 0.78125);
  EXPECT_EQ(Call("texture_get_height", {double(back)}).val, 0.9375);
  EXPECT_EQ(Call("texture_get_width", {-1}).val, 1);
  EXPECT_EQ(Call("texture_get_height", {-1}).val, 1);
  Call("texture_preload", {double(back)});
  Call("texture_set_priority", {double(back), 3});
  EXPECT_TRUE(GR_Texture_Exists(back));
  // A sprite without frames has no texture.
  CSprite* none = SpriteList().Ensure(AddSprite());
  EXPECT_EQ(Call("sprite_get_texture", {double(SpriteCount() - 1), 0}).val, -1);
  EXPECT_EQ(none->GetTexture(0), -1);
  EXPECT_FALSE(error_occurred);
}

TEST_F(DrawTest, SettingsFunctionsReachTheDevice) {
  Call("texture_set_repeat", {1});
  EXPECT_TRUE(log.states.repeat);
  Call("texture_set_interpolation", {0});
  EXPECT_FALSE(log.states.interpolate);
  Call("texture_set_blending", {0});
  EXPECT_FALSE(log.states.texture_blend);
  Call("draw_set_blend_mode_ext", {2, 9});
  EXPECT_EQ(log.states.blend_src, 2);
  EXPECT_EQ(log.states.blend_dst, 9);
  Call("draw_set_blend_mode", {0});
  EXPECT_EQ(log.states.blend_src, 5);
  EXPECT_EQ(log.states.blend_dst, 6);
  // Drawing clamps whatever the repeat setting says.
  Call("draw_sprite", {0, 0, 0, 0});
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_TRUE(log.draws[0].clamp);
  // The settings outlive the device: put them back for the next tests.
  Call("texture_set_repeat", {0});
  Call("texture_set_interpolation", {1});
  Call("texture_set_blending", {1});
}

}  // namespace
