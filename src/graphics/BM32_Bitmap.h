#pragma once
// 32-bit bitmaps in main memory: the editable form of every picture (frames,
// backgrounds, masks are computed from them). No render device is involved;
// textures are made from these pixels elsewhere.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/BM32_Color.h"
#include "graphics/Graphics_Rect.h"

class CStream;

// The largest picture any file or record may hold: 64 Mi pixels (256 MiB of
// pixels), and no side above 16384 for picture files (the largest texture a
// device is asked for). Sizes beyond are refused before anything is allocated.
inline constexpr int64_t kBM32_MaxPixels = int64_t(1) << 26;
inline constexpr int kBM32_MaxPictureSide = 16384;
inline bool BM32_PictureSizeOk(int64_t w, int64_t h) {
  return w > 0 && h > 0 && w <= kBM32_MaxPictureSide && h <= kBM32_MaxPictureSide && w * h <= kBM32_MaxPixels;
}

struct TBitmap32 {
  int s_w = 0;
  int s_h = 0;
  std::vector<TColor32> s_data;  // rows top to bottom, each left to right

  TBitmap32() = default;
  TBitmap32(int w, int h);                // transparent black
  TBitmap32(int w, int h, TColor32 col);  // filled with col

  void Clear();
  bool Empty() const { return s_w <= 0 || s_h <= 0; }
  // Nothing if a side is <= 0 or the size is unchanged; else new pixels
  // (cleared to 0 here rather than left undefined).
  void Resize(int neww, int newh);
  void Resize(int neww, int newh, TColor32 col);
  // Supersampling resample; quality <= 0 counts as 1.
  void Stretch(int neww, int newh, int quality);

  TColor32 GetPixel(int x, int y) const;  // 0 outside
  void SetPixel(int x, int y, TColor32 col);  // ignored outside
  void Fill(TColor32 col);
  // Plain copy of the wo x ho part of bm at (xo, yo) to (x, y), clipped
  // against both bitmaps.
  void DrawPart(int x, int y, const TBitmap32& bm, int xo, int yo, int wo, int ho);
  void Draw(int x, int y, const TBitmap32& bm) { DrawPart(x, y, bm, 0, 0, bm.s_w, bm.s_h); }

  // Smallest rectangle of pixels with alpha > tolerance; (w-1, h-1, 0, 0)
  // when there is none.
  TRect BoundingBox(int tolerance) const;

  // Stream record: version 800, width, height, then (when there are pixels)
  // a length-prefixed block of width*height*4 bytes.
  bool LoadFromStream(CStream& str);
  bool SaveToStream(CStream& str) const;

  // Windows bitmap files (with file header). Decodes 1/4/8-bit palette,
  // 16, 24 and 32-bit, uncompressed or bit-field images, bottom-up or
  // top-down. 32-bit images keep their alpha; all others are opaque.
  bool LoadFromBMP(const uint8_t* data, size_t size);
  std::vector<uint8_t> SaveToBMP() const;  // 32-bit, top-down rows

  // Picture files, told apart by their content: PNG, JPEG, GIF (its first
  // frame) and Windows bitmaps. A picture in which no pixel has alpha above
  // 0 becomes opaque. False (and the bitmap unchanged) for a missing,
  // damaged, unknown or oversized picture.
  bool LoadFromImageFile(const std::string& fname);
  bool LoadFromImageData(const uint8_t* data, size_t size);
  bool LoadFromPNG(const uint8_t* data, size_t size);
  bool LoadFromJPEG(const uint8_t* data, size_t size);
  bool LoadFromGIF(const uint8_t* data, size_t size);
  // Always a PNG (8-bit RGBA, unfiltered rows, one IDAT chunk), whatever
  // the name says. False for an empty bitmap or a file that cannot be
  // written.
  bool SaveToImageFile(const std::string& fname) const;
  std::vector<uint8_t> SaveToPNG() const;  // empty when it cannot be made

  bool operator==(const TBitmap32& o) const {
    return s_w == o.s_w && s_h == o.s_h && s_data == o.s_data;
  }
};

// Pixel operations used when pictures are imported.
void BM32_RemoveBackground(TBitmap32& bm, int tolerance);
void BM32_SmoothEdges(TBitmap32& bm);
void BM32_FixTransparentColors(TBitmap32& bm);
void BM32_MakeOpaque(TBitmap32& bm);
void BM32_AlphaFromBrightness(TBitmap32& bm, const TBitmap32& src);
