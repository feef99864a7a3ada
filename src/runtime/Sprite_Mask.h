#pragma once
// Collision masks: one boolean per pixel of a frame plus the bounding box of
// the solid part. Masks are built from frames (precise, rectangle, ellipse or
// diamond shape) or read from their stored record.
#include <cstdint>
#include <vector>

#include "graphics/BM32_Bitmap.h"

class CStream;

// Bounding box modes and mask shapes.
enum : int { kBBoxAutomatic = 0, kBBoxFull = 1, kBBoxManual = 2 };
enum : int { kMaskPrecise = 0, kMaskRectangle = 1, kMaskEllipse = 2, kMaskDiamond = 3 };

class TMask {
 public:
  int i_w = 0;
  int i_h = 0;
  std::vector<uint8_t> i_mask;  // column-major: i_mask[x * i_h + y]
  TRect i_bbox{0, 0, 0, 0};

  TMask() = default;
  // From one frame; a null bitmap gives the empty mask.
  TMask(const TBitmap32* bitmap, int tolerance, int kind, TRect bbox, int bbmode);

  // Merges a further frame into a mask shared by all frames.
  void Merge(const TBitmap32* bitmap, int bbmode, int tolerance, int kind, TRect bbox);

  // Record: version 800, width, height, Left, Right, Bottom, Top, then
  // width*height booleans row by row. False (and an empty mask) for another
  // version or counts that do not fit the data left in the stream.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;

  int Width() const { return i_w; }
  int Height() const { return i_h; }
  TRect BoundingBox() const { return i_bbox; }
  bool Get(int x, int y) const {
    if (x < 0 || y < 0 || x >= i_w || y >= i_h) return false;
    return i_mask[size_t(x) * i_h + y] != 0;
  }
  void Set(int x, int y, bool v) {
    if (x < 0 || y < 0 || x >= i_w || y >= i_h) return;
    i_mask[size_t(x) * i_h + y] = v ? 1 : 0;
  }
  bool operator==(const TMask&) const = default;

 private:
  void FillShape(int kind, TRect box, const TBitmap32* bitmap, int tolerance);
};
