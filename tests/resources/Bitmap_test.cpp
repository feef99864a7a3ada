// 32-bit bitmaps: the stream record, Windows bitmap files, stretching and the
// pixel operations of picture import.
#include <gtest/gtest.h>

#include "graphics/BM32_Bitmap.h"
#include "runner/Support_Stream.h"

namespace {

TBitmap32 Sample() {
  TBitmap32 bm(3, 2);
  bm.SetPixel(0, 0, C32_Make(255, 0, 0, 255));
  bm.SetPixel(1, 0, C32_Make(0, 255, 0, 128));
  bm.SetPixel(2, 1, C32_Make(1, 2, 3, 4));
  return bm;
}

TEST(BitmapTest, StreamRecordRoundTripAndLayout) {
  const TBitmap32 bm = Sample();
  CStream s;
  ASSERT_TRUE(bm.SaveToStream(s));
  EXPECT_EQ(s.Size(), 16u + 3 * 2 * 4);
  s.Seek(16);
  // Memory order: blue, green, red, alpha.
  EXPECT_EQ(s.ReadByte(), 0);
  EXPECT_EQ(s.ReadByte(), 0);
  EXPECT_EQ(s.ReadByte(), 255);
  EXPECT_EQ(s.ReadByte(), 255);
  s.Seek(0);
  TBitmap32 back;
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(back, bm);

  // An empty bitmap has no pixel block.
  CStream e;
  TBitmap32().SaveToStream(e);
  EXPECT_EQ(e.Size(), 12u);
  e.Seek(0);
  ASSERT_TRUE(back.LoadFromStream(e));
  EXPECT_TRUE(back.Empty());
}

TEST(BitmapTest, BadStreamRecords) {
  TBitmap32 keep = Sample();
  CStream wrong;
  wrong.WriteInteger(700);
  wrong.Seek(0);
  EXPECT_FALSE(keep.LoadFromStream(wrong));
  EXPECT_EQ(keep, Sample());  // unchanged on a wrong version

  // A block whose length disagrees with the size, and a size far beyond the
  // data, are both refused.
  CStream mismatch;
  for (int v : {800, 2, 2, 12}) mismatch.WriteInteger(v);
  for (int i = 0; i < 12; ++i) mismatch.WriteByte(0);
  mismatch.Seek(0);
  EXPECT_FALSE(keep.LoadFromStream(mismatch));
  CStream huge;
  for (int v : {800, 60000, 60000, 4}) huge.WriteInteger(v);
  huge.Seek(0);
  EXPECT_FALSE(keep.LoadFromStream(huge));
}

TEST(BitmapTest, BmpRoundTripKeepsAlpha) {
  const TBitmap32 bm = Sample();
  const std::vector<uint8_t> file = bm.SaveToBMP();
  TBitmap32 back;
  ASSERT_TRUE(back.LoadFromBMP(file.data(), file.size()));
  EXPECT_EQ(back, bm);
  EXPECT_FALSE(back.LoadFromBMP(file.data(), 30));  // truncated
}

TEST(BitmapTest, Bmp24BitBottomUpIsOpaque) {
  // 2 x 2, 24 bits, rows bottom-up and padded to 4 bytes.
  std::vector<uint8_t> f = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                            40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                            0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0, 0};
  // Bottom row: blue, green. Top row: red, white.
  const uint8_t rows[] = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 0};
  f.insert(f.end(), rows, rows + 16);
  TBitmap32 bm;
  ASSERT_TRUE(bm.LoadFromBMP(f.data(), f.size()));
  EXPECT_EQ(bm.GetPixel(0, 0), C32_Make(255, 0, 0, 255));
  EXPECT_EQ(bm.GetPixel(1, 0), C32_Make(255, 255, 255, 255));
  EXPECT_EQ(bm.GetPixel(0, 1), C32_Make(0, 0, 255, 255));
  EXPECT_EQ(bm.GetPixel(1, 1), C32_Make(0, 255, 0, 255));
  // A claimed size the file cannot hold is refused.
  f[18] = 0xFF;
  f[19] = 0x7F;
  EXPECT_FALSE(bm.LoadFromBMP(f.data(), f.size()));
}

TEST(BitmapTest, StretchAveragesOnlyVisibleColours) {
  TBitmap32 bm(2, 1);
  bm.SetPixel(0, 0, C32_Make(255, 0, 0, 255));
  bm.Stretch(1, 1, 2);
  // Alpha 255 * 2 / 4 = 127.5 rounds to even 128; red likewise.
  EXPECT_EQ(C32_Alpha(bm.GetPixel(0, 0)), 128);
  EXPECT_EQ(C32_Red(bm.GetPixel(0, 0)), 128);

  TBitmap32 nn(2, 2);
  nn.SetPixel(1, 1, 0xFFFFFFFF);
  nn.Stretch(4, 4, 1);
  EXPECT_EQ(nn.GetPixel(3, 3), 0xFFFFFFFFu);
  EXPECT_EQ(nn.GetPixel(2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(nn.GetPixel(1, 1), 0u);
}

TEST(BitmapTest, BoundingBoxAndPixelOperations) {
  EXPECT_EQ(TBitmap32(4, 3).BoundingBox(0), (TRect{3, 2, 0, 0}));
  EXPECT_EQ(Sample().BoundingBox(0), (TRect{0, 0, 2, 1}));
  EXPECT_EQ(Sample().BoundingBox(4), (TRect{0, 0, 1, 0}));

  // The bottom-left colour becomes transparent; its colour is then taken
  // from the first visible neighbour (left, right, above, below).
  TBitmap32 bm(3, 1, C32_Make(9, 9, 9, 255));
  bm.SetPixel(1, 0, C32_Make(200, 100, 50, 255));
  BM32_RemoveBackground(bm, 0);
  EXPECT_EQ(C32_Alpha(bm.GetPixel(0, 0)), 0);
  EXPECT_EQ(C32_Alpha(bm.GetPixel(1, 0)), 255);
  BM32_FixTransparentColors(bm);
  EXPECT_EQ(bm.GetPixel(0, 0), C32_Make(200, 100, 50, 0));
  EXPECT_EQ(bm.GetPixel(2, 0), C32_Make(200, 100, 50, 0));

  TBitmap32 sm(3, 1, C32_Make(0, 0, 0, 40));
  sm.SetPixel(0, 0, 0);
  BM32_SmoothEdges(sm);
  // Pixel 1 drops to 8 (below 32: it is not treated as transparent).
  EXPECT_EQ(C32_Alpha(sm.GetPixel(1, 0)), 8);
  EXPECT_EQ(C32_Alpha(sm.GetPixel(2, 0)), 40);

  TBitmap32 a(2, 1, C32_Make(0, 0, 0, 0));
  BM32_AlphaFromBrightness(a, TBitmap32(1, 1, C32_Make(30, 60, 91, 0)));
  EXPECT_EQ(C32_Alpha(a.GetPixel(0, 0)), 60);
  EXPECT_EQ(C32_Alpha(a.GetPixel(1, 0)), 0);
  BM32_MakeOpaque(a);
  EXPECT_EQ(C32_Alpha(a.GetPixel(1, 0)), 255);
}

}  // namespace
