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

// Where a mask stands in the room for one test: the instance's bounding box,
// its rounded position, the mask origin, the scales and the angle (degrees).
struct RMaskPlace {
  TRect bbox;
  int x = 0, y = 0;
  int xo = 0, yo = 0;
  double sx = 1, sy = 1;
  double angle = 0;
};

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
  // Whether a stored mask belongs to frames of w x h: the same size, and a
  // bounding box whose edges lie on the frame (an inverted box, the mark of
  // a frame with nothing solid, is allowed). Collisions trust both.
  bool FitsFrame(int w, int h) const;

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

  // Whether the room pixel (px, py) falls on a solid pixel of this mask
  // placed at p.
  bool SolidAt(const RMaskPlace& p, double px, double py) const;
  // The tests: against another mask (null gives false), a point, a
  // rectangle, the ellipse inside a rectangle, and a line (all corners
  // inclusive integers).
  bool CollisionMask(const RMaskPlace& p, const TMask* other, const RMaskPlace& q) const;
  bool CollisionPoint(const RMaskPlace& p, int x, int y) const;
  bool CollisionRectangle(const RMaskPlace& p, TRect r) const;
  bool CollisionEllipse(const RMaskPlace& p, TRect r) const;
  bool CollisionLine(const RMaskPlace& p, int x1, int y1, int x2, int y2) const;

 private:
  void FillShape(int kind, TRect box, const TBitmap32* bitmap, int tolerance);
};
