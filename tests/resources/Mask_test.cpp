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
