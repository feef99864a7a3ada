// Sprites: masks and bounding boxes over frames, the game-file record, the
// sprite file, and the sprite table.
#include <gtest/gtest.h>

#include "resources/Resource_Section.h"
#include "resources/Sprite_Main.h"
#include "runner/Support_Stream.h"

namespace {

// A 4 x 3 frame with one opaque pixel at (x, y).
TBitmap32 Dot(int x, int y) {
  TBitmap32 bm(4, 3);
  bm.SetPixel(x, y, C32_Make(255, 255, 255, 255));
  return bm;
}

CSprite TwoFrames() {
  CSprite s;
  s.i_bitmap = {Dot(1, 0), Dot(2, 2)};
  s.i_numb = 2;
  s.i_xorig = 2;
  s.i_yorig = 1;
  return s;
}

TEST(SpriteTest, SeparateMasksGiveUnionBox) {
  CSprite s = TwoFrames();
  s.ComputeMask(true, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  ASSERT_EQ(s.i_mask.size(), 2u);
  EXPECT_EQ(s.i_mask[0].BoundingBox(), (TRect{1, 0, 1, 0}));
  EXPECT_EQ(s.i_mask[1].BoundingBox(), (TRect{2, 2, 2, 2}));
  EXPECT_EQ(s.i_bbox, (TRect{1, 0, 2, 2}));
  // Frame -1 collides with the last frame's mask.
  EXPECT_EQ(s.MaskForFrame(-1), &s.i_mask[1]);
  EXPECT_EQ(s.MaskForFrame(4), &s.i_mask[0]);
}

TEST(SpriteTest, SharedMaskMergesFrames) {
  CSprite s = TwoFrames();
  s.ComputeMask(false, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  ASSERT_EQ(s.i_mask.size(), 1u);
  EXPECT_TRUE(s.i_mask[0].Get(1, 0));
  EXPECT_TRUE(s.i_mask[0].Get(2, 2));
  EXPECT_FALSE(s.i_mask[0].Get(0, 0));
  EXPECT_EQ(s.i_bbox, (TRect{1, 0, 2, 2}));
  EXPECT_EQ(s.MaskForFrame(1), &s.i_mask[0]);

  s.ComputeMask(false, kBBoxFull, TRect{}, kMaskRectangle, 0);
  EXPECT_EQ(s.i_bbox, (TRect{0, 0, 3, 2}));
  EXPECT_TRUE(s.i_mask[0].Get(0, 0));

  s.ComputeMask(false, kBBoxManual, TRect{1, 1, 2, 9}, kMaskRectangle, 0);
  EXPECT_EQ(s.i_bbox, (TRect{1, 1, 2, 2}));
}

TEST(SpriteTest, CollisionsUseTheFramesMaskAndOrigin) {
  CSprite s = TwoFrames();  // origin (2, 1); dots at (1, 0) and (2, 2)
  s.ComputeMask(true, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  const TRect box{0, 0, 100, 100};
  // Frame 0 at (10, 10): its dot is at room (9, 9); frame 1's at (10, 11).
  EXPECT_TRUE(s.CheckCollisionPoint(0, box, 10, 10, 1, 1, 0, 9, 9));
  EXPECT_FALSE(s.CheckCollisionPoint(1, box, 10, 10, 1, 1, 0, 9, 9));
  EXPECT_TRUE(s.CheckCollisionPoint(-1, box, 10, 10, 1, 1, 0, 10, 11));
  EXPECT_TRUE(s.CheckCollisionRectangle(1, box, 10, 10, 1, 1, 0, TRect{10, 11, 20, 20}));
  EXPECT_FALSE(s.CheckCollisionLine(0, box, 10, 10, 1, 1, 0, 0, 20, 30, 20));
  // Frame 0 of one instance at (10, 10) meets frame 1 of another at (9, 8).
  EXPECT_TRUE(s.CheckCollision(0, box, 10, 10, 1, 1, 0, &s, 1, box, 9, 8, 1, 1, 0));
  EXPECT_FALSE(s.CheckCollision(0, box, 10, 10, 1, 1, 0, &s, 1, box, 9, 9, 1, 1, 0));
  CSprite none;
  EXPECT_FALSE(s.CheckCollision(0, box, 10, 10, 1, 1, 0, &none, 0, box, 9, 8, 1, 1, 0));
  EXPECT_FALSE(none.CheckCollisionPoint(0, box, 0, 0, 1, 1, 0, 0, 0));
}

TEST(SpriteTest, NoFramesMeansNoMaskAndUnitSize) {
  CSprite s;
  s.ComputeMask(true, kBBoxFull, TRect{}, kMaskPrecise, 0);
  EXPECT_TRUE(s.i_mask.empty());
  EXPECT_EQ(s.i_bbox, (TRect{0, 0, 0, 0}));
  EXPECT_EQ(s.GetWidth(), 1);
  EXPECT_EQ(s.GetHeight(), 1);
  EXPECT_EQ(s.GetTexture(0), -1);
  EXPECT_EQ(s.MaskForFrame(0), nullptr);
  EXPECT_TRUE(s.GetBitmap(0).Empty());
}

TEST(SpriteTest, AddingFramesStretchesToTheFirst) {
  CSprite s = TwoFrames();
  s.ComputeMask(true, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  s.AddFromBitmap(TBitmap32(8, 6, C32_Make(1, 1, 1, 255)), 0, false);
  ASSERT_EQ(s.i_numb, 3);
  EXPECT_EQ(s.i_bitmap[2].s_w, 4);
  EXPECT_EQ(s.i_bitmap[2].s_h, 3);
  EXPECT_EQ(s.i_mask.size(), 3u);  // separate masks are kept separate
  EXPECT_EQ(s.i_bbox, (TRect{0, 0, 3, 2}));
  s.AddFromSprite(s);  // merging a sprite with itself doubles its frames
  EXPECT_EQ(s.i_numb, 6);
  EXPECT_EQ(s.i_tex.size(), 6u);
}

TEST(SpriteTest, RecordRoundTripBothVersions) {
  CSprite s = TwoFrames();
  s.ComputeMask(true, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  CStream st;
  s.SaveToStream(st);
  st.Seek(0);
  CSprite back;
  ASSERT_TRUE(back.LoadFromStream(st));
  EXPECT_EQ(back.i_numb, 2);
  EXPECT_EQ(back.i_xorig, 2);
  EXPECT_EQ(back.i_yorig, 1);
  EXPECT_EQ(back.i_bitmap[1], s.i_bitmap[1]);
  EXPECT_TRUE(back.i_sepmasks);
  EXPECT_EQ(back.i_mask, s.i_mask);
  EXPECT_EQ(back.i_bbox, s.i_bbox);
  EXPECT_EQ(back.i_tex, (std::vector<int>{-1, -1}));

  // Version 810 has one more integer before the mask flag.
  CStream v810;
  for (int v : {810, 0, 0, 1}) v810.WriteInteger(v);
  Dot(0, 0).SaveToStream(v810);
  v810.WriteInteger(12345);
  v810.WriteBoolean(false);
  TMask(&s.i_bitmap[0], 0, kMaskPrecise, TRect{}, kBBoxAutomatic).SaveToStream(v810);
  v810.Seek(0);
  ASSERT_TRUE(back.LoadFromStream(v810));
  EXPECT_EQ(back.i_numb, 1);
  EXPECT_EQ(back.i_bbox, (TRect{1, 0, 1, 0}));
}

TEST(SpriteTest, BadRecordsFail) {
  auto load = [](CStream& st) {
    st.Seek(0);
    CSprite s;
    return s.LoadFromStream(st);
  };
  CStream version;
  version.WriteInteger(700);
  EXPECT_FALSE(load(version));

  // A second frame of another size.
  CStream sizes;
  for (int v : {800, 0, 0, 2}) sizes.WriteInteger(v);
  Dot(0, 0).SaveToStream(sizes);
  TBitmap32(5, 3).SaveToStream(sizes);
  sizes.WriteBoolean(false);
  TMask().SaveToStream(sizes);
  EXPECT_FALSE(load(sizes));

  // A frame count the data cannot hold.
  CStream count;
  for (int v : {800, 0, 0, 50000000}) count.WriteInteger(v);
  EXPECT_FALSE(load(count));

  // Masks that do not fit the 4 x 3 frames: another size, or a box with an
  // edge off the frame. Collisions would read past them.
  struct {
    const char* what;
    int w, h;
    TRect box;
  } unfit[] = {
      {"1 x 1 mask", 1, 1, {0, 0, 0, 0}},
      {"8 x 8 mask", 8, 8, {0, 0, 3, 2}},
      {"wider box", 4, 3, {-100, -100, 5000, 5000}},
      {"right edge off", 4, 3, {0, 0, 4, 2}},
      {"bottom edge off", 4, 3, {0, 0, 3, 3}},
      {"inverted box off", 4, 3, {7, 5, 0, 0}},
  };
  const TBitmap32 frame = Dot(0, 0);
  const TMask fits(&frame, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  auto record = [&](const TMask& second, bool sepmasks) {
    CStream st;
    for (int v : {800, 0, 0, 2}) st.WriteInteger(v);
    frame.SaveToStream(st);
    Dot(1, 1).SaveToStream(st);
    st.WriteBoolean(sepmasks);
    if (sepmasks) fits.SaveToStream(st);  // the second mask is the one tried
    second.SaveToStream(st);
    return st;
  };
  for (bool sepmasks : {false, true}) {
    CStream ok = record(fits, sepmasks);
    EXPECT_TRUE(load(ok));
    for (const auto& u : unfit) {
      TMask bad;
      bad.i_w = u.w;
      bad.i_h = u.h;
      bad.i_mask.assign(size_t(u.w) * size_t(u.h), 1);
      bad.i_bbox = u.box;
      CStream st = record(bad, sepmasks);
      EXPECT_FALSE(load(st)) << u.what << (sepmasks ? ", separate masks" : "");
    }
  }

  // A mask record of another version.
  CStream mask;
  for (int v : {800, 0, 0, 1}) mask.WriteInteger(v);
  Dot(0, 0).SaveToStream(mask);
  mask.WriteBoolean(false);
  mask.WriteInteger(799);
  EXPECT_FALSE(load(mask));
}

TEST(SpriteTest, SpriteFileComputesItsMask) {
  CStream inner;
  for (int v : {800, 3, 4, 1}) inner.WriteInteger(v);
  Dot(2, 1).SaveToStream(inner);
  inner.WriteInteger(kMaskRectangle);  // kind
  inner.WriteInteger(0);               // tolerance
  inner.WriteBoolean(false);           // separate masks
  inner.WriteInteger(kBBoxManual);
  for (int v : {1, 3, 2, 0}) inner.WriteInteger(v);  // left, right, bottom, top
  CStream file;
  file.WriteInteger(1234321);
  file.WriteStreamC(inner);
  file.Seek(0);
  CSprite s;
  ASSERT_TRUE(s.LoadFromSpriteData(file));
  EXPECT_EQ(s.i_xorig, 3);
  EXPECT_EQ(s.i_yorig, 4);
  EXPECT_EQ(s.i_bbox, (TRect{1, 0, 3, 2}));
  EXPECT_TRUE(s.i_mask[0].Get(1, 0));

  CStream magic;
  magic.WriteInteger(4321);
  magic.Seek(0);
  EXPECT_FALSE(s.LoadFromSpriteData(magic));
  EXPECT_FALSE(s.LoadFromSpriteFile("/nonexistent/file.spr"));
}

TEST(SpriteTableTest, NamesIndicesAndCopies) {
  ClearSprites();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(AddSprite(), i);
  EXPECT_EQ(GetSpriteName(3), "__newsprite3");
  SpriteList().Set(1, std::make_unique<CSprite>(TwoFrames()), "spr_player");
  EXPECT_EQ(FindSprite("spr_player"), 1);
  EXPECT_EQ(FindSprite("SPR_PLAYER"), -1);

  EXPECT_TRUE(DeleteSprite(2));
  EXPECT_FALSE(DeleteSprite(2));
  EXPECT_FALSE(SpriteExists(2));
  EXPECT_EQ(GetSpriteName(2), "<undefined>");
  EXPECT_EQ(GetSprite(99), nullptr);
  EXPECT_EQ(GetSpriteName(-1), "<undefined>");
  EXPECT_EQ(AddSprite(), 5);
  EXPECT_EQ(GetSpriteName(5), "__newsprite5");

  EXPECT_EQ(DuplicateSprite(2), -1);
  const int d = DuplicateSprite(1);
  EXPECT_EQ(d, 6);
  EXPECT_EQ(GetSpriteName(6), "__newsprite6");
  EXPECT_EQ(GetSprite(6)->i_numb, 2);
  // Assign into the empty entry 2 creates it; assigning from it fails.
  EXPECT_TRUE(AssignSprite(2, 1));
  EXPECT_EQ(GetSprite(2)->i_xorig, 2);
  EXPECT_FALSE(AssignSprite(3, 42));
  EXPECT_FALSE(AssignSprite(42, 1));
  ClearSprites();
}

TEST(SpriteTableTest, SectionRoundTripKeepsEmptyEntries) {
  ClearSprites();
  AddSprite();
  AddSprite();
  AddSprite();
  SpriteList().Set(0, std::make_unique<CSprite>(TwoFrames()), "a");
  DeleteSprite(1);
  CStream st;
  SaveSection_Sprites(st);
  ClearSprites();
  st.Seek(0);
  ASSERT_TRUE(LoadSection_Sprites(st));
  EXPECT_EQ(SpriteCount(), 3);
  EXPECT_TRUE(SpriteExists(0));
  EXPECT_FALSE(SpriteExists(1));
  EXPECT_TRUE(SpriteExists(2));
  EXPECT_EQ(GetSpriteName(0), "a");
  EXPECT_EQ(GetSprite(0)->i_numb, 2);

  CStream bad;
  bad.WriteInteger(810);
  bad.Seek(0);
  EXPECT_FALSE(LoadSection_Sprites(bad));
  ClearSprites();
}

}  // namespace
