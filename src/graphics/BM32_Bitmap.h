#pragma once
// 32-bit bitmaps in main memory: the editable form of every picture (frames,
// backgrounds, masks are computed from them). No render device is involved;
// textures are made from these pixels elsewhere.
#include <cstddef>
#include <cstdint>
#include <vector>

class CStream;

// A pixel: bytes blue, green, red, alpha in memory; as an integer alpha is in
// bits 24-31, red 16-23, green 8-15, blue 0-7.
using TColor32 = uint32_t;

inline constexpr uint8_t C32_Alpha(TColor32 c) { return uint8_t(c >> 24); }
inline constexpr uint8_t C32_Red(TColor32 c) { return uint8_t(c >> 16); }
inline constexpr uint8_t C32_Green(TColor32 c) { return uint8_t(c >> 8); }
inline constexpr uint8_t C32_Blue(TColor32 c) { return uint8_t(c); }
inline constexpr TColor32 C32_Make(int r, int g, int b, int a) {
  return (TColor32(uint8_t(a)) << 24) | (TColor32(uint8_t(r)) << 16) |
         (TColor32(uint8_t(g)) << 8) | TColor32(uint8_t(b));
}
// From a colour integer (red in bits 0-7, green 8-15, blue 16-23) and alpha.
inline constexpr TColor32 C32_FromColor(int col, int a = 255) {
  return C32_Make(col & 0xFF, (col >> 8) & 0xFF, (col >> 16) & 0xFF, a);
}

// An inclusive integer rectangle.
struct TRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TRect&) const = default;
};

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
