// Collision masks from frames: shapes, bounding box modes, tolerance,
// merging of frames and the stored record.
#include <gtest/gtest.h>

#include <string>

#include "runner/Support_Stream.h"
#include "runtime/Sprite_Mask.h"

namespace {

// A bitmap from rows of characters: '.' alpha 0, 'a' alpha 100, '#' alpha 255.
TBitmap32 FromRows(const std::vector<std::string>& rows) {
  TBitmap32 bm(int(rows[0].size()), int(rows.size()));
  for (int y = 0; y < bm.s_h; ++y)
    for (int x = 0; x < bm.s_w; ++x) {
      const char c = rows[size_t(y)][size_t(x)];
      bm.SetPixel(x, y, C32_Make(10, 20, 30, c == '#' ? 255 : c == 'a' ? 100 : 0));
    }
  return bm;
}

std::vector<std::string> ToRows(const TMask& m) {
  std::vector<std::string> rows;
  for (int y = 0; y < m.i_h; ++y) {
    std::string r;
    for (int x = 0; x < m.i_w; ++x) r += m.Get(x, y) ? '#' : '.';
    rows.push_back(r);
  }
  return rows;
}

const std::vector<std::string> kFrame = {
    ".....",
    ".a#..",
    "..##.",
    ".....",
};

TEST(MaskTest, PreciseAutomaticHonoursTolerance) {
  const TBitmap32 bm = FromRows(kFrame);
  TMask m0(&bm, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  EXPECT_EQ(m0.BoundingBox(), (TRect{1, 1, 3, 2}));
  EXPECT_EQ(ToRows(m0), (std::vector<std::string>{".....", ".##..", "..##.", "....."}));

  // Alpha 100 is not above tolerance 100: that pixel drops out of both the
  // box and the mask.
  TMask m100(&bm, 100, kMaskPrecise, TRect{}, kBBoxAutomatic);
  EXPECT_EQ(m100.BoundingBox(), (TRect{2, 1, 3, 2}));
  EXPECT_EQ(ToRows(m100), (std::vector<std::string>{".....", "..#..", "..##.", "....."}));
}

TEST(MaskTest, EmptyFrameKeepsInvertedBoxAndNoPixels) {
  const TBitmap32 bm(4, 3);
  TMask m(&bm, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  EXPECT_EQ(m.BoundingBox(), (TRect{3, 2, 0, 0}));
  EXPECT_EQ(ToRows(m), (std::vector<std::string>{"....", "....", "...."}));
  TMask none(nullptr, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  EXPECT_EQ(none.Width(), 0);
  EXPECT_FALSE(none.Get(0, 0));
}

TEST(MaskTest, FullAndManualBoxes) {
  const TBitmap32 bm = FromRows(kFrame);
  TMask full(&bm, 0, kMaskRectangle, TRect{}, kBBoxFull);
  EXPECT_EQ(full.BoundingBox(), (TRect{0, 0, 4, 3}));
  EXPECT_EQ(ToRows(full), (std::vector<std::string>{"#####", "#####", "#####", "#####"}));

  // A manual box reaching outside the frame is clipped to it.
  TMask manual(&bm, 0, kMaskRectangle, TRect{-3, 1, 10, 2}, kBBoxManual);
  EXPECT_EQ(manual.BoundingBox(), (TRect{0, 1, 4, 2}));
  EXPECT_EQ(ToRows(manual), (std::vector<std::string>{".....", "#####", "#####", "....."}));

  // One wholly off the frame clips to nothing, and its box still fits.
  TMask off(&bm, 0, kMaskRectangle, TRect{10, 1, 20, 2}, kBBoxManual);
  EXPECT_EQ(off.BoundingBox(), (TRect{4, 3, 0, 0}));
  EXPECT_EQ(ToRows(off), (std::vector<std::string>{".....", ".....", ".....", "....."}));
  EXPECT_TRUE(off.FitsFrame(5, 4));

  // Precise inside a manual box only keeps the solid pixels within it.
  TMask precise(&bm, 0, kMaskPrecise, TRect{2, 0, 4, 3}, kBBoxManual);
  EXPECT_EQ(ToRows(precise), (std::vector<std::string>{".....", "..#..", "..##.", "....."}));
}

TEST(MaskTest, EllipseAndDiamondShapes) {
  const TBitmap32 bm(5, 5);
  TMask ell(&bm, 0, kMaskEllipse, TRect{}, kBBoxFull);
  EXPECT_EQ(ToRows(ell), (std::vector<std::string>{".###.", "#####", "#####", "#####", ".###."}));
  TMask dia(&bm, 0, kMaskDiamond, TRect{}, kBBoxFull);
  EXPECT_EQ(ToRows(dia), (std::vector<std::string>{"..#..", ".###.", "#####", ".###.", "..#.."}));
  // An unknown shape leaves the mask empty but keeps the box.
  TMask odd(&bm, 0, 7, TRect{}, kBBoxFull);
  EXPECT_EQ(ToRows(odd), (std::vector<std::string>{".....", ".....", ".....", ".....", "....."}));
  EXPECT_EQ(odd.BoundingBox(), (TRect{0, 0, 4, 4}));
}

TEST(MaskTest, MergeUnitesPixelsAndBoxes) {
  const TBitmap32 a = FromRows({"#....", ".....", "....."});
  const TBitmap32 b = FromRows({".....", ".....", "...#."});
  TMask precise(&a, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  precise.Merge(&b, kBBoxAutomatic, 0, kMaskPrecise, TRect{});
  EXPECT_EQ(precise.BoundingBox(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(ToRows(precise), (std::vector<std::string>{"#....", ".....", "...#."}));

  // Shapes are redrawn over the union box.
  TMask rect(&a, 0, kMaskRectangle, TRect{}, kBBoxAutomatic);
  rect.Merge(&b, kBBoxAutomatic, 0, kMaskRectangle, TRect{});
  EXPECT_EQ(ToRows(rect), (std::vector<std::string>{"####.", "####.", "####."}));
}

TEST(MaskTest, RecordRoundTripAndBadRecords) {
  const TBitmap32 bm = FromRows(kFrame);
  TMask m(&bm, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  CStream s;
  m.SaveToStream(s);
  // Box order in the record is left, right, bottom, top.
  s.Seek(12);
  EXPECT_EQ(s.ReadInteger(), 1);
  EXPECT_EQ(s.ReadInteger(), 3);
  EXPECT_EQ(s.ReadInteger(), 2);
  EXPECT_EQ(s.ReadInteger(), 1);
  s.Seek(0);
  TMask back;
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(back, m);
  EXPECT_EQ(s.Remaining(), 0u);

  CStream wrong;
  wrong.WriteInteger(700);
  wrong.Seek(0);
  EXPECT_FALSE(back.LoadFromStream(wrong));
  EXPECT_EQ(back.Width(), 0);

  // A huge size with no data behind it is refused before allocating.
  CStream huge;
  for (int v : {800, 100000, 100000, 0, 0, 0, 0}) huge.WriteInteger(v);
  huge.Seek(0);
  EXPECT_FALSE(back.LoadFromStream(huge));
}

}  // namespace

namespace {

// A 32 x 32 fully solid mask at position (x, 0) with origin 0.
RMaskPlace Square(int x) {
  RMaskPlace p;
  p.x = x;
  p.bbox = {x, 0, x + 31, 31};
  return p;
}

TEST(MaskCollisionTest, TouchingBoxesDoNotCollide) {
  const TBitmap32 full(32, 32, 0xFF000000u);
  const TMask m(&full, 0, kMaskPrecise, TRect{}, kBBoxAutomatic);
  EXPECT_FALSE(m.CollisionMask(Square(68), &m, Square(100)));  // 68..99 and 100..131
  EXPECT_TRUE(m.CollisionMask(Square(69), &m, Square(100)));
  EXPECT_FALSE(m.CollisionMask(Square(69), nullptr, Square(100)));

  // Overlapping by one column collides only if that column is solid in both.
  TBitmap32 hollow = full;
  for (int y = 0; y < 32; ++y) hollow.SetPixel(0, y, 0);
  const TMask h(&hollow, 0, kMaskPrecise, TRect{}, kBBoxFull);
  EXPECT_FALSE(m.CollisionMask(Square(69), &h, Square(100)));
}

TEST(MaskCollisionTest, RotationAndScaleMapRoomPixels) {
  // A 3 x 3 mask whose only solid pixel lies below the origin (1, 1).
  TBitmap32 bm(3, 3);
  bm.SetPixel(1, 2, 0xFF000000u);
  const TMask m(&bm, 0, kMaskPrecise, TRect{}, kBBoxFull);
  RMaskPlace p;
  p.x = 50;
  p.y = 50;
  p.xo = 1;
  p.yo = 1;
  EXPECT_TRUE(m.CollisionPoint(p, 50, 51));
  EXPECT_FALSE(m.CollisionPoint(p, 51, 50));
  // Turned by 90 degrees it appears to the right of the origin.
  p.angle = 90;
  EXPECT_TRUE(m.CollisionPoint(p, 51, 50));
  EXPECT_FALSE(m.CollisionPoint(p, 50, 51));
  // With scale 2 every mask pixel covers 2 x 2 room pixels.
  p.angle = 0;
  p.sx = p.sy = 2;
  EXPECT_TRUE(m.CollisionPoint(p, 50, 52));
  EXPECT_TRUE(m.CollisionPoint(p, 51, 53));
  EXPECT_FALSE(m.CollisionPoint(p, 49, 52));
  EXPECT_FALSE(m.CollisionPoint(p, 50, 54));
  p.sx = 0;  // a zero scale has no solid pixels
  EXPECT_FALSE(m.CollisionPoint(p, 50, 52));
}

TEST(MaskCollisionTest, RectangleEllipseAndLine) {
  // Solid only at (0, 0) and (9, 9) of a 10 x 10 mask placed at (0, 0).
  TBitmap32 bm(10, 10);
  bm.SetPixel(0, 0, 0xFF000000u);
  bm.SetPixel(9, 9, 0xFF000000u);
  const TMask m(&bm, 0, kMaskPrecise, TRect{}, kBBoxFull);
  RMaskPlace p;
  p.bbox = {0, 0, 9, 9};
  EXPECT_TRUE(m.CollisionRectangle(p, TRect{-5, -5, 0, 0}));
  EXPECT_FALSE(m.CollisionRectangle(p, TRect{1, 1, 8, 8}));
  // The ellipse in (0, 0)-(9, 9) misses both corners.
  EXPECT_FALSE(m.CollisionEllipse(p, TRect{0, 0, 9, 9}));
  EXPECT_TRUE(m.CollisionEllipse(p, TRect{-9, -9, 9, 9}));
  // A degenerate ellipse is a rectangle test.
  EXPECT_TRUE(m.CollisionEllipse(p, TRect{9, 0, 9, 9}));
  // A diagonal line samples one point per column inside the box.
  EXPECT_TRUE(m.CollisionLine(p, -10, -10, 20, 20));
  EXPECT_FALSE(m.CollisionLine(p, -10, 5, 20, -25));
  EXPECT_TRUE(m.CollisionLine(p, -10, 10, 20, -20));  // through (0, 0)
  EXPECT_TRUE(m.CollisionLine(p, 9, 0, 9, 30));  // vertical: a one-pixel column
}

}  // namespace
