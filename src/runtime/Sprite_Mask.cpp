#include "runtime/Sprite_Mask.h"

#include <algorithm>
#include <cmath>

#include "runner/Support_Stream.h"

namespace {
bool InShape(int kind, const TRect& b, int x, int y) {
  const double cx = (b.left + b.right) / 2.0, rx = cx - b.left + 0.5;
  const double cy = (b.top + b.bottom) / 2.0, ry = cy - b.top + 0.5;
  const double dx = (x - cx) / rx, dy = (y - cy) / ry;
  if (kind == kMaskEllipse) return dx * dx + dy * dy < 1.0;
  return std::fabs(dx) + std::fabs(dy) < 1.0;  // diamond
}
}  // namespace

TMask::TMask(const TBitmap32* bitmap, int tolerance, int kind, TRect bbox, int bbmode) {
  if (bitmap == nullptr || bitmap->Empty()) return;
  i_w = bitmap->s_w;
  i_h = bitmap->s_h;
  i_mask.assign(size_t(i_w) * size_t(i_h), 0);
  switch (bbmode) {
    case kBBoxAutomatic:
      i_bbox = bitmap->BoundingBox(tolerance);
      break;
    case kBBoxFull:
      i_bbox = {0, 0, i_w - 1, i_h - 1};
      break;
    default:  // manual, clipped to the frame
      i_bbox = {std::max(bbox.left, 0), std::max(bbox.top, 0), std::min(bbox.right, i_w - 1),
                std::min(bbox.bottom, i_h - 1)};
      // A box wholly off the frame clips to nothing; it becomes the empty
      // frame's box so that the stored record still fits its frames.
      if (!FitsFrame(i_w, i_h)) i_bbox = {i_w - 1, i_h - 1, 0, 0};
      break;
  }
  FillShape(kind, i_bbox, bitmap, tolerance);
}

void TMask::FillShape(int kind, TRect b, const TBitmap32* bitmap, int tolerance) {
  const int l = std::max(b.left, 0), t = std::max(b.top, 0);
  const int r = std::min(b.right, i_w - 1), bo = std::min(b.bottom, i_h - 1);
  for (int x = l; x <= r; ++x) {
    for (int y = t; y <= bo; ++y) {
      bool v = false;
      switch (kind) {
        case kMaskPrecise:
          v = bitmap != nullptr && C32_Alpha(bitmap->GetPixel(x, y)) > tolerance;
          break;
        case kMaskRectangle:
          v = true;
          break;
        case kMaskEllipse:
        case kMaskDiamond:
          v = InShape(kind, b, x, y);
          break;
        default:
          break;
      }
      i_mask[size_t(x) * i_h + y] = v;
    }
  }
}

void TMask::Merge(const TBitmap32* bitmap, int bbmode, int tolerance, int kind, TRect bbox) {
  TMask other(bitmap, tolerance, kind, bbox, bbmode);
  if (i_w == 0 || i_h == 0) {
    *this = std::move(other);
    return;
  }
  TRect u{std::min(i_bbox.left, other.i_bbox.left), std::min(i_bbox.top, other.i_bbox.top),
          std::max(i_bbox.right, other.i_bbox.right),
          std::max(i_bbox.bottom, other.i_bbox.bottom)};
  i_bbox = u;
  if (kind == kMaskPrecise) {
    const int w = std::min(i_w, other.i_w), h = std::min(i_h, other.i_h);
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        if (other.Get(x, y)) Set(x, y, true);
  } else if (kind == kMaskRectangle || kind == kMaskEllipse || kind == kMaskDiamond) {
    FillShape(kind, u, nullptr, tolerance);
  }
}

bool TMask::LoadFromStream(CStream& str) {
  *this = TMask();
  if (str.ReadInteger() != 800) return false;
  const int w = str.ReadInteger();
  const int h = str.ReadInteger();
  TRect b;
  b.left = str.ReadInteger();
  b.right = str.ReadInteger();
  b.bottom = str.ReadInteger();
  b.top = str.ReadInteger();
  if (w < 0 || h < 0) return false;
  const uint64_t cells = uint64_t(w) * uint64_t(h);
  if (cells * 4 > str.Remaining()) return false;
  std::vector<uint8_t> m(cells, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m[size_t(x) * h + y] = str.ReadBoolean() ? 1 : 0;
  i_w = w;
  i_h = h;
  i_bbox = b;
  i_mask = std::move(m);
  return true;
}

bool TMask::FitsFrame(int w, int h) const {
  if (i_w != w || i_h != h) return false;
  if (w == 0 || h == 0) return i_bbox == TRect{0, 0, 0, 0};
  auto in = [](int v, int size) { return v >= 0 && v < size; };
  return in(i_bbox.left, w) && in(i_bbox.right, w) && in(i_bbox.top, h) && in(i_bbox.bottom, h);
}

void TMask::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteInteger(i_w);
  str.WriteInteger(i_h);
  str.WriteInteger(i_bbox.left);
  str.WriteInteger(i_bbox.right);
  str.WriteInteger(i_bbox.bottom);
  str.WriteInteger(i_bbox.top);
  for (int y = 0; y < i_h; ++y)
    for (int x = 0; x < i_w; ++x) str.WriteBoolean(Get(x, y));
}

// ---------------------------------------------------------------- tests

namespace {
// floor() of a mapped coordinate as an int; false when it cannot be a pixel
// (not a number, or far outside any mask).
bool ToPixel(double v, int& out) {
  const double f = std::floor(v);
  if (!(f > -1e9 && f < 1e9)) return false;
  out = int(f);
  return true;
}
}  // namespace

bool TMask::SolidAt(const RMaskPlace& p, double px, double py) const {
  if (i_w <= 0 || i_h <= 0 || p.sx == 0 || p.sy == 0) return false;
  const double dx = px - p.x, dy = py - p.y;
  double mx, my;
  if (p.angle == 0) {
    mx = dx / p.sx + p.xo;
    my = dy / p.sy + p.yo;
  } else {
    const double a = p.angle * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    mx = p.xo + (dx * c - dy * s) / p.sx;
    my = p.yo + (dy * c + dx * s) / p.sy;
  }
  int ix, iy;
  if (!ToPixel(mx, ix) || !ToPixel(my, iy)) return false;
  return Get(ix, iy);
}

bool TMask::CollisionMask(const RMaskPlace& p, const TMask* other, const RMaskPlace& q) const {
  if (other == nullptr) return false;
  const int l = std::max(p.bbox.left, q.bbox.left), r = std::min(p.bbox.right, q.bbox.right);
  const int t = std::max(p.bbox.top, q.bbox.top), b = std::min(p.bbox.bottom, q.bbox.bottom);
  for (int x = l; x <= r; ++x)
    for (int y = t; y <= b; ++y)
      if (SolidAt(p, x, y) && other->SolidAt(q, x, y)) return true;
  return false;
}

bool TMask::CollisionPoint(const RMaskPlace& p, int x, int y) const { return SolidAt(p, x, y); }

bool TMask::CollisionRectangle(const RMaskPlace& p, TRect rc) const {
  const int l = std::max(rc.left, p.bbox.left), r = std::min(rc.right, p.bbox.right);
  const int t = std::max(rc.top, p.bbox.top), b = std::min(rc.bottom, p.bbox.bottom);
  for (int x = l; x <= r; ++x)
    for (int y = t; y <= b; ++y)
      if (SolidAt(p, x, y)) return true;
  return false;
}

bool TMask::CollisionEllipse(const RMaskPlace& p, TRect rc) const {
  const double ex = (rc.left + rc.right) / 2.0, rx = (rc.right - rc.left) / 2.0;
  const double ey = (rc.top + rc.bottom) / 2.0, ry = (rc.bottom - rc.top) / 2.0;
  if (rx == 0 || ry == 0) return CollisionRectangle(p, rc);
  const int l = std::max(rc.left, p.bbox.left), r = std::min(rc.right, p.bbox.right);
  const int t = std::max(rc.top, p.bbox.top), b = std::min(rc.bottom, p.bbox.bottom);
  for (int x = l; x <= r; ++x)
    for (int y = t; y <= b; ++y) {
      const double u = (x - ex) / rx, v = (y - ey) / ry;
      if (u * u + v * v <= 1 && SolidAt(p, x, y)) return true;
    }
  return false;
}

bool TMask::CollisionLine(const RMaskPlace& p, int x1, int y1, int x2, int y2) const {
  if (x1 == x2 || y1 == y2)
    return CollisionRectangle(p, TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2),
                                       std::max(y1, y2)});
  const double ddx = double(x2) - x1, ddy = double(y2) - y1;
  if (std::fabs(ddx) < std::fabs(ddy)) {
    const int lo = std::max(std::min(y1, y2), p.bbox.top);
    const int hi = std::min(std::max(y1, y2), p.bbox.bottom);
    for (int y = lo; y <= hi; ++y)
      if (SolidAt(p, x1 + (y - y1) * ddx / ddy, y)) return true;
  } else {
    const int lo = std::max(std::min(x1, x2), p.bbox.left);
    const int hi = std::min(std::max(x1, x2), p.bbox.right);
    for (int x = lo; x <= hi; ++x)
      if (SolidAt(p, x, y1 + (x - x1) * ddy / ddx)) return true;
  }
  return false;
}
