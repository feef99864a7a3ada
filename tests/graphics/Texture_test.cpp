// The texture list: slot reuse, sizes and fractions, uploads, and the
// textures that sprites and backgrounds own.
#include <gtest/gtest.h>

#include <algorithm>

#include "Fake_Device.h"
#include "graphics/Graphics_Texture.h"
#include "resources/Background_Class.h"
#include "resources/Sprite_Class.h"

namespace {

using fakedev::FakeDeviceTest;

TEST(TextureNoDeviceTest, NothingIsMadeOrDrawnWithoutADevice) {
  const TColor32 px[4] = {};
  EXPECT_EQ(GR_Texture_Create_And_Fill(2, 2, px), -1);
  EXPECT_EQ(GR_Texture_Create_Empty(2, 2, true), -1);
  EXPECT_FALSE(GR_Texture_Exists(0));
  EXPECT_EQ(GR_Texture_Width(0), 1.0);
  GR_Texture_Draw_Simple(0, 1, 1);  // does nothing, and does not fail
  CSprite s;
  s.CreateFromBitmap(TBitmap32(4, 4, 0xFFFFFFFF), 0, false, 0, 0);
  EXPECT_EQ(s.GetTexture(0), -1);
}

TEST_F(FakeDeviceTest, FreedSlotsAreReusedLowestFirst) {
  const TBitmap32 bm(3, 3, 0xFF0000FF);
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(bm), 0);
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(bm), 1);
  EXPECT_EQ(GR_Texture_Create_Empty(8, 8, true), 2);
  const unsigned handle1 = GR_Texture_Device_Handle(1);
  GR_Texture_Free(1);
  EXPECT_FALSE(GR_Texture_Exists(1));
  EXPECT_EQ(log.freed, std::vector<unsigned>{handle1});
  GR_Texture_Free(1);  // already free: ignored
  GR_Texture_Free(-1);
  GR_Texture_Free(99);
  EXPECT_EQ(log.freed.size(), 1u);
  EXPECT_EQ(GR_Texture_Device_Handle(1), 0u);
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(bm), 1);
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(bm), 3);
  EXPECT_TRUE(log.textures.at(GR_Texture_Device_Handle(2)).target);
  EXPECT_FALSE(log.textures.at(GR_Texture_Device_Handle(1)).target);
}

TEST_F(FakeDeviceTest, ImageSitsUnscaledAtTheTopLeftOfAPowerOfTwoTexture) {
  TBitmap32 bm(100, 60, C32_Make(1, 2, 3, 4));
  bm.SetPixel(99, 59, C32_Make(9, 9, 9, 9));
  const int t = GR_Texture_Create_From_Bitmap(bm);
  ASSERT_EQ(t, 0);
  const RTexture& r = GR_Texture_List()[0];
  EXPECT_EQ(r.w, 100);
  EXPECT_EQ(r.h, 60);
  EXPECT_EQ(r.wt, 128);
  EXPECT_EQ(r.ht, 64);
  EXPECT_EQ(GR_Texture_Width(t), 0.78125);
  EXPECT_EQ(GR_Texture_Height(t), 0.9375);
  EXPECT_EQ(GR_Texture_Width(-1), 1.0);
  EXPECT_EQ(GR_Texture_Height(7), 1.0);
  const fakedev::RFakeTexture& ft = log.textures.at(r.tex);
  EXPECT_EQ(ft.texels[0], C32_Make(1, 2, 3, 4));
  EXPECT_EQ(ft.texels[59 * 128 + 99], C32_Make(9, 9, 9, 9));
  EXPECT_EQ(ft.texels[59 * 128 + 100], 0u);  // outside the image
}

TEST_F(FakeDeviceTest, CoverageBecomesWhiteTexelsWithThatAlpha) {
  const uint8_t cov[3] = {0, 128, 255};
  const int t = GR_Texture_Create_From_Coverage(3, 1, cov);
  ASSERT_GE(t, 0);
  const auto& tx = log.textures.at(GR_Texture_Device_Handle(t)).texels;
  EXPECT_EQ(tx[0], C32_Make(255, 255, 255, 0));
  EXPECT_EQ(tx[1], C32_Make(255, 255, 255, 128));
  EXPECT_EQ(tx[2], C32_Make(255, 255, 255, 255));
}

TEST_F(FakeDeviceTest, AFailedCreationGivesMinusOneAndLeavesTheSlotFree) {
  log.fail_create = true;
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(TBitmap32(2, 2)), -1);
  EXPECT_EQ(GR_Texture_Create_Empty(2, 2, false), -1);
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(TBitmap32()), -1);
  log.fail_create = false;
  EXPECT_EQ(GR_Texture_Create_From_Bitmap(TBitmap32(2, 2)), 0);
}

// Every texture a resource made is freed exactly once, whichever way the
// resource goes: cleared, reloaded, copied over, moved or destroyed.
TEST_F(FakeDeviceTest, SpritesAndBackgroundsOwnTheirTextures) {
  const TBitmap32 frame(4, 4, 0xFFFFFFFF);
  {
    CSprite s;
    s.CreateFromBitmap(frame, 0, false, 0, 0);
    s.AddFromBitmap(frame, 0, false);
    ASSERT_EQ(s.i_tex, (std::vector<int>{0, 1}));  // the old frame's texture was remade
    EXPECT_EQ(log.textures.size(), 2u);

    CSprite copy(s);
    EXPECT_EQ(log.textures.size(), 4u);
    EXPECT_NE(copy.GetTexture(0), s.GetTexture(0));

    CSprite moved(std::move(copy));
    EXPECT_EQ(log.textures.size(), 4u);
    EXPECT_EQ(copy.i_tex.size(), 0u);

    s.Clear();
    EXPECT_EQ(log.textures.size(), 2u);
    EXPECT_EQ(s.GetTexture(0), -1);
    s = moved;  // copy-assign: new textures of its own
    EXPECT_EQ(log.textures.size(), 4u);

    CBackground b;
    b.CreateColor(5, 5, 255);
    ASSERT_GE(b.i_tex, 0);
    CBackground b2;
    b2.Assign(b);
    EXPECT_NE(b2.i_tex, b.i_tex);
    EXPECT_EQ(log.textures.size(), 6u);
    b2.CreateGradient(3, 3, 0, 255, 0);  // new pixels: the old texture goes
    EXPECT_EQ(log.textures.size(), 6u);
    CBackground empty;
    b2 = std::move(empty);
    EXPECT_EQ(log.textures.size(), 5u);
    EXPECT_EQ(b2.i_tex, -1);
  }
  EXPECT_TRUE(log.textures.empty());
  std::vector<unsigned> freed = log.freed;
  std::sort(freed.begin(), freed.end());
  EXPECT_EQ(std::adjacent_find(freed.begin(), freed.end()), freed.end()) << "a texture was freed twice";
}

}  // namespace
