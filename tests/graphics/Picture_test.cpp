// Picture files: the PNG saver's layout, loading of every format by content,
// the alpha rule, and damaged or oversized pictures refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "Picture_Fixtures.h"
#include "graphics/BM32_Bitmap.h"

namespace {

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

struct RChunk {
  std::string type;
  std::vector<uint8_t> data;
  bool crc_ok;
  size_t offset;  // of the length field
};

std::vector<RChunk> Chunks(const std::vector<uint8_t>& png) {
  std::vector<RChunk> out;
  size_t p = 8;
  while (p + 12 <= png.size()) {
    const uint32_t len = Be32(&png[p]);
    if (p + 12 + len > png.size()) break;
    RChunk c{std::string(png.begin() + long(p) + 4, png.begin() + long(p) + 8),
             std::vector<uint8_t>(png.begin() + long(p) + 8, png.begin() + long(p) + 8 + len), false, p};
    const uLong crc = crc32(0, &png[p + 4], uInt(len + 4));
    c.crc_ok = crc == Be32(&png[p + 8 + len]);
    out.push_back(std::move(c));
    p += 12 + len;
  }
  return out;
}

// A copy of the PNG claiming another size, with a correct CRC so that only
// the size can make it fail.
std::vector<uint8_t> WithPngSize(std::vector<uint8_t> png, uint32_t w, uint32_t h) {
  PutBe32(&png[16], w);
  PutBe32(&png[20], h);
  PutBe32(&png[29], uint32_t(crc32(0, &png[12], 17)));
  return png;
}

// A copy of the JPEG whose frame header claims another size.
std::vector<uint8_t> WithJpegSize(std::vector<uint8_t> jpg, int w, int h) {
  for (size_t i = 2; i + 9 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) {
      jpg[i + 5] = uint8_t(h >> 8), jpg[i + 6] = uint8_t(h);
      jpg[i + 7] = uint8_t(w >> 8), jpg[i + 8] = uint8_t(w);
      break;
    }
  return jpg;
}

TBitmap32 Noise(int w, int h, bool alpha) {
  TBitmap32 bm(w, h);
  uint32_t s = 12345;
  for (auto& c : bm.s_data) {
    s = s * 1103515245 + 12345;
    c = alpha ? s : (s | 0xFF000000u);
  }
  return bm;
}

class PictureTest : public testproc::ScratchDirTest {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    return path;
  }
  std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
};

TEST_F(PictureTest, SavedFileIsOneChunkRgbaPngWithUnfilteredRowsAndLoadsBackUnchanged) {
  TBitmap32 bm = Noise(37, 11, true);
  bm.s_data[0] = C32_Make(1, 2, 3, 4);
  const std::string path = (dir_ / "shot.bmp").string();  // the name does not choose the format
  ASSERT_TRUE(bm.SaveToImageFile(path));
  const std::vector<uint8_t> png = Read(path);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));

  const std::vector<RChunk> chunks = Chunks(png);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  for (const auto& c : chunks) EXPECT_TRUE(c.crc_ok) << c.type;
  const std::vector<uint8_t>& ih = chunks[0].data;
  ASSERT_EQ(ih.size(), 13u);
  EXPECT_EQ(Be32(&ih[0]), 37u);
  EXPECT_EQ(Be32(&ih[4]), 11u);
  EXPECT_EQ(std::vector<uint8_t>(ih.begin() + 8, ih.end()), (std::vector<uint8_t>{8, 6, 0, 0, 0}));

  // Rows: filter byte 0, then red, green, blue, alpha.
  std::vector<uint8_t> raw(11 * (1 + 37 * 4));
  uLongf rawlen = uLongf(raw.size());
  ASSERT_EQ(uncompress(raw.data(), &rawlen, chunks[1].data.data(), uLong(chunks[1].data.size())), Z_OK);
  ASSERT_EQ(rawlen, raw.size());
  for (int y = 0; y < 11; ++y) EXPECT_EQ(raw[size_t(y) * (1 + 37 * 4)], 0) << "row " << y;
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 1, raw.begin() + 5), (std::vector<uint8_t>{1, 2, 3, 4}));

  TBitmap32 back;
  ASSERT_TRUE(back.LoadFromImageFile(path));
  EXPECT_EQ(back, bm);
}

TEST_F(PictureTest, EveryFormatLoadsByContentWhateverItsName) {
  // A Windows bitmap written by the bitmap writer, named as a PNG.
  TBitmap32 small = Noise(5, 3, false);
  TBitmap32 bmp;
  ASSERT_TRUE(bmp.LoadFromImageFile(Write("really_a_bitmap.png", small.SaveToBMP())));
  EXPECT_EQ(bmp, small);

  // JPEG: lossy, so only the colours of the two halves away from the edge.
  TBitmap32 jpg;
  ASSERT_TRUE(jpg.LoadFromImageFile(Write("picture.gif", picfix::Jpeg(32, 16))));
  ASSERT_EQ(jpg.s_w, 32);
  ASSERT_EQ(jpg.s_h, 16);
  const TColor32 red = jpg.GetPixel(4, 8), blue = jpg.GetPixel(27, 8);
  EXPECT_GT(C32_Red(red), 240);
  EXPECT_LT(C32_Blue(red), 16);
  EXPECT_GT(C32_Blue(blue), 240);
  EXPECT_LT(C32_Red(blue), 16);
  for (TColor32 c : jpg.s_data) ASSERT_EQ(C32_Alpha(c), 255);

  // GIF, plain and interlaced: palette colours, the transparent index
  // transparent, the screen outside the image transparent as well.
  const std::vector<uint8_t> idx = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 0, 0, 0, 0,
                                    1, 2, 3, 0, 2, 3, 0, 1, 3, 0, 1, 2, 0, 1, 2, 3};
  for (bool interlace : {false, true}) {
    SCOPED_TRACE(interlace ? "interlaced" : "plain");
    TBitmap32 gif;
    ASSERT_TRUE(gif.LoadFromImageFile(Write("anim.jpg", picfix::Gif(5, 11, 1, 0, 4, 10, idx, 0, interlace))));
    ASSERT_EQ(gif.s_w, 5);
    ASSERT_EQ(gif.s_h, 11);
    const TColor32 pal[4] = {0, C32_Make(255, 0, 0, 255), C32_Make(0, 255, 0, 255), C32_Make(0, 0, 255, 255)};
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 4; ++x)
        ASSERT_EQ(gif.GetPixel(x + 1, y), pal[idx[size_t(y * 4 + x)]]) << x << "," << y;
    EXPECT_EQ(C32_Alpha(gif.GetPixel(0, 0)), 0);   // left of the image
    EXPECT_EQ(C32_Alpha(gif.GetPixel(4, 10)), 0);  // below it
  }
}

TEST_F(PictureTest, PicturesWithoutAlphaInUseLoadOpaque) {
  struct RCase {
    const char* what;
    std::vector<uint8_t> file;
    TColor32 first;  // expected first pixel
  };
  TBitmap32 clear(3, 2, C32_Make(10, 20, 30, 0));
  const RCase cases[] = {
      {"RGB PNG", picfix::Png(2, 1, PNG_FORMAT_RGB, {10, 20, 30, 40, 50, 60}), C32_Make(10, 20, 30, 255)},
      {"grey PNG", picfix::Png(2, 1, PNG_FORMAT_GRAY, {77, 200}), C32_Make(77, 77, 77, 255)},
      {"RGBA PNG, every alpha 0", clear.SaveToPNG(), C32_Make(10, 20, 30, 255)},
      {"GIF without a transparent colour", picfix::Gif(2, 1, 0, 0, 2, 1, {1, 2}, -1), C32_Make(255, 0, 0, 255)},
      {"GIF whose every pixel is transparent", picfix::Gif(2, 1, 0, 0, 2, 1, {1, 1}, 1), C32_Make(0, 0, 0, 255)},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.file.empty());
    TBitmap32 bm;
    ASSERT_TRUE(bm.LoadFromImageData(c.file.data(), c.file.size()));
    EXPECT_EQ(bm.s_data[0], c.first);
    for (TColor32 p : bm.s_data) ASSERT_EQ(C32_Alpha(p), 255);
  }
  // One pixel with alpha keeps everyone's alpha.
  TBitmap32 some(2, 1, C32_Make(1, 1, 1, 0));
  some.s_data[1] = C32_Make(1, 1, 1, 9);
  TBitmap32 bm;
  const std::vector<uint8_t> png = some.SaveToPNG();
  ASSERT_TRUE(bm.LoadFromImageData(png.data(), png.size()));
  EXPECT_EQ(bm, some);
}

TEST_F(PictureTest, DamagedUnknownAndOversizedPicturesAreRefusedAndLeaveTheBitmapAlone) {
  const std::vector<uint8_t> png = Noise(64, 64, true).SaveToPNG();
  const std::vector<uint8_t> bmp = Noise(64, 64, false).SaveToBMP();
  const std::vector<uint8_t> jpg = picfix::Jpeg(64, 64);
  std::vector<uint8_t> idx(64 * 64);
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t((i * 7 + i / 3) % 4);
  const std::vector<uint8_t> gif = picfix::Gif(64, 64, 0, 0, 64, 64, idx, -1);
  auto cut = [](const std::vector<uint8_t>& v, size_t n) { return std::vector<uint8_t>(v.begin(), v.begin() + long(n)); };
  std::vector<uint8_t> huge_gif = gif;  // screen 65535 x 65535
  huge_gif[6] = huge_gif[7] = huge_gif[8] = huge_gif[9] = 0xFF;
  std::vector<uint8_t> huge_frame = picfix::Gif(4, 4, 0, 0, 4, 4, std::vector<uint8_t>(16, 1), -1);
  // The image descriptor follows the 13-byte header and the 4-entry palette.
  ASSERT_EQ(huge_frame[13 + 12], 0x2C);
  huge_frame[13 + 12 + 5] = huge_frame[13 + 12 + 6] = huge_frame[13 + 12 + 7] = huge_frame[13 + 12 + 8] = 0xFF;

  const struct {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"empty", {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
      {"PNG signature only", cut(png, 8)},
      {"PNG cut in its pixels", cut(png, png.size() / 2)},
      {"PNG of 100000 x 100000", WithPngSize(png, 100000, 100000)},
      {"PNG of 20000 x 1", WithPngSize(png, 20000, 1)},
      {"PNG of 16384 x 16384", WithPngSize(png, 16384, 16384)},
      {"PNG of width 0", WithPngSize(png, 0, 64)},
      {"bitmap cut in its pixels", cut(bmp, bmp.size() / 2)},
      {"JPEG cut in its scan", cut(jpg, jpg.size() / 2)},
      {"JPEG header only", cut(jpg, 20)},
      {"JPEG of 60000 x 60000", WithJpegSize(jpg, 60000, 60000)},
      {"JPEG of 16000 x 16000", WithJpegSize(jpg, 16000, 16000)},
      {"GIF cut in its pixels", cut(gif, gif.size() / 2)},
      {"GIF header only", cut(gif, 13)},
      {"GIF with a 65535 x 65535 screen", huge_gif},
      {"GIF with a 65535 x 65535 frame", huge_frame},
  };
  const TBitmap32 before(2, 2, C32_Make(9, 8, 7, 255));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TBitmap32 bm = before;
    EXPECT_FALSE(bm.LoadFromImageData(c.file.data(), c.file.size()));
    EXPECT_EQ(bm, before);
    EXPECT_FALSE(bm.LoadFromImageFile(Write("bad", c.file)));
    EXPECT_EQ(bm, before);
  }
  TBitmap32 bm = before;
  EXPECT_FALSE(bm.LoadFromImageFile((dir_ / "missing.png").string()));
  EXPECT_FALSE(bm.LoadFromImageFile(dir_.string()));  // a folder
  EXPECT_EQ(bm, before);
}

TEST_F(PictureTest, SavingFailsForAnEmptyBitmapOrAnUnwritablePlace) {
  EXPECT_FALSE(TBitmap32().SaveToImageFile((dir_ / "empty.png").string()));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "empty.png"));
  EXPECT_FALSE(TBitmap32(2, 2).SaveToImageFile((dir_ / "no_such_folder" / "a.png").string()));
}

}  // namespace
