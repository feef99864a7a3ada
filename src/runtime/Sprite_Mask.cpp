#include "runtime/Sprite_Mask.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

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
// A value within 1e-9 below an integer is that integer: cos 90 is not
// exactly 0, and a turned mask must not lose a row to it.
bool ToPixel(double v, int& out) {
  const double f = std::floor(v + 1e-9);
  if (!(f > -1e9 && f < 1e9)) return false;
  out = int(f);
  return true;
}
}  // namespace

namespace {
// The room-to-mask mapping of one placed mask, with the sine and cosine
// worked out once per test; unscaled, unturned masks map by integer offsets.
class CMapper {
 public:
  CMapper(const TMask& m, const RMaskPlace& p) : m_(m), p_(p) {
    usable_ = m.i_w > 0 && m.i_h > 0 && p.sx != 0 && p.sy != 0;
    plain_ = p.angle == 0 && p.sx == 1 && p.sy == 1;
    if (p.angle != 0) {
      const double a = p.angle * 3.14159265358979323846 / 180.0;
      c_ = std::cos(a);
      s_ = std::sin(a);
    }
  }
  bool Solid(double px, double py) const {
    if (!usable_) return false;
    if (plain_ && px == std::floor(px) && py == std::floor(py) && std::fabs(px) < 1e15 && std::fabs(py) < 1e15) {
      const int64_t mx = int64_t(px) - p_.x + p_.xo, my = int64_t(py) - p_.y + p_.yo;
      if (mx < 0 || my < 0 || mx >= m_.i_w || my >= m_.i_h) return false;
      return m_.Get(int(mx), int(my));
    }
    const double dx = px - p_.x, dy = py - p_.y;
    double mx, my;
    if (p_.angle == 0) {
      mx = dx / p_.sx + p_.xo;
      my = dy / p_.sy + p_.yo;
    } else {
      mx = p_.xo + (dx * c_ - dy * s_) / p_.sx;
      my = p_.yo + (dy * c_ + dx * s_) / p_.sy;
    }
    int ix, iy;
    if (!ToPixel(mx, ix) || !ToPixel(my, iy)) return false;
    return m_.Get(ix, iy);
  }

 private:
  const TMask& m_;
  const RMaskPlace& p_;
  bool usable_ = false, plain_ = false;
  double c_ = 1, s_ = 0;
};
}  // namespace

bool TMask::SolidAt(const RMaskPlace& p, double px, double py) const { return CMapper(*this, p).Solid(px, py); }

namespace {
// Regions up to this many pixels are walked pixel by pixel; larger ones
// (huge scales, saturated boxes) are walked by cells so that a test ends.
constexpr int64_t kPlainWalk = int64_t(1) << 22;

struct RRegion {
  int64_t l, t, r, b;
  bool Empty() const { return l > r || t > b; }
  int64_t Area() const { return (r - l + 1) * (b - t + 1); }
};

RRegion Intersect(const TRect& a, const TRect& c) {
  return {std::max<int64_t>(a.left, c.left), std::max<int64_t>(a.top, c.top), std::min<int64_t>(a.right, c.right),
          std::min<int64_t>(a.bottom, c.bottom)};
}

// The room columns (or rows) within [lo, hi] at which the mask pixel an
// unrotated mask maps to may change: one per mask pixel edge, with its
// neighbours so that rounding cannot put an edge one pixel off.
void AddEdges(std::vector<int64_t>& out, int pos, int origin, double scale, int size, int64_t lo, int64_t hi) {
  for (int k = 0; k <= size; ++k) {
    const double v = std::ceil(pos + (k - origin) * scale);
    if (!(v > double(lo) - 2 && v < double(hi) + 2)) continue;
    for (int64_t e = int64_t(v) - 1; e <= int64_t(v) + 1; ++e)
      if (e > lo && e <= hi) out.push_back(e);
  }
}

// Starts of the cells [edges[k], edges[k+1]) covering [lo, hi].
std::vector<int64_t> Cells(std::vector<int64_t> edges, int64_t lo) {
  edges.push_back(lo);
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  return edges;
}

// Calls fn(x0, y0, x1, y1) for every cell of a big region within which the
// given unrotated masks map every pixel to one mask pixel each; fn returns
// true to stop. Gives true when fn did.
template <class F>
bool WalkCells(const RRegion& g, std::initializer_list<std::pair<const TMask*, const RMaskPlace*>> masks, F fn) {
  std::vector<int64_t> xe, ye;
  for (const auto& [m, p] : masks) {
    AddEdges(xe, p->x, p->xo, p->sx, m->i_w, g.l, g.r);
    AddEdges(ye, p->y, p->yo, p->sy, m->i_h, g.t, g.b);
  }
  const std::vector<int64_t> xs = Cells(std::move(xe), g.l), ys = Cells(std::move(ye), g.t);
  for (size_t i = 0; i < xs.size(); ++i) {
    const int64_t x1 = i + 1 < xs.size() ? xs[i + 1] - 1 : g.r;
    for (size_t j = 0; j < ys.size(); ++j) {
      const int64_t y1 = j + 1 < ys.size() ? ys[j + 1] - 1 : g.b;
      if (fn(xs[i], ys[j], x1, y1)) return true;
    }
  }
  return false;
}

// A rotated mask over a big region: one sample every `step` pixels, chosen
// so that at most about kPlainWalk samples are taken.
int64_t SampleStep(const RRegion& g) {
  const double s = std::ceil(std::sqrt(double(g.r - g.l + 1) * double(g.b - g.t + 1) / double(kPlainWalk)));
  return std::max<int64_t>(1, int64_t(s));
}

template <class F>
bool WalkPixels(const RRegion& g, int64_t step, F fn) {
  for (int64_t x = g.l; x <= g.r; x += step)
    for (int64_t y = g.t; y <= g.b; y += step)
      if (fn(x, y)) return true;
  return false;
}
}  // namespace

bool TMask::CollisionMask(const RMaskPlace& p, const TMask* other, const RMaskPlace& q) const {
  if (other == nullptr) return false;
  const RRegion g = Intersect(p.bbox, q.bbox);
  if (g.Empty()) return false;
  const CMapper ma(*this, p), mb(*other, q);
  auto both = [&](int64_t x, int64_t y) { return ma.Solid(double(x), double(y)) && mb.Solid(double(x), double(y)); };
  if (g.Area() <= kPlainWalk) return WalkPixels(g, 1, both);
  if (p.angle == 0 && q.angle == 0)
    return WalkCells(g, {{this, &p}, {other, &q}}, [&](int64_t x0, int64_t y0, int64_t, int64_t) { return both(x0, y0); });
  return WalkPixels(g, SampleStep(g), both);
}

bool TMask::CollisionPoint(const RMaskPlace& p, int x, int y) const { return SolidAt(p, x, y); }

bool TMask::CollisionRectangle(const RMaskPlace& p, TRect rc) const {
  const RRegion g = Intersect(rc, p.bbox);
  if (g.Empty()) return false;
  const CMapper map(*this, p);
  auto solid = [&](int64_t x, int64_t y) { return map.Solid(double(x), double(y)); };
  if (g.Area() <= kPlainWalk) return WalkPixels(g, 1, solid);
  if (p.angle == 0)
    return WalkCells(g, {{this, &p}}, [&](int64_t x0, int64_t y0, int64_t, int64_t) { return solid(x0, y0); });
  return WalkPixels(g, SampleStep(g), solid);
}

bool TMask::CollisionEllipse(const RMaskPlace& p, TRect rc) const {
  const double ex = (double(rc.left) + rc.right) / 2.0, rx = (double(rc.right) - rc.left) / 2.0;
  const double ey = (double(rc.top) + rc.bottom) / 2.0, ry = (double(rc.bottom) - rc.top) / 2.0;
  if (rx == 0 || ry == 0) return CollisionRectangle(p, rc);
  const RRegion g = Intersect(rc, p.bbox);
  if (g.Empty()) return false;
  auto inside = [&](double x, double y) {
    const double u = (x - ex) / rx, v = (y - ey) / ry;
    return u * u + v * v <= 1;
  };
  const CMapper map(*this, p);
  auto hit = [&](int64_t x, int64_t y) { return inside(double(x), double(y)) && map.Solid(double(x), double(y)); };
  if (g.Area() <= kPlainWalk) return WalkPixels(g, 1, hit);
  if (p.angle == 0)
    // Within a cell the mask is uniform; the cell's pixel nearest the centre
    // decides whether the ellipse reaches it.
    return WalkCells(g, {{this, &p}}, [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
      const double nx = std::clamp(std::nearbyint(ex), double(x0), double(x1));
      const double ny = std::clamp(std::nearbyint(ey), double(y0), double(y1));
      return inside(nx, ny) && map.Solid(double(x0), double(y0));
    });
  return WalkPixels(g, SampleStep(g), hit);
}

bool TMask::CollisionLine(const RMaskPlace& p, int x1, int y1, int x2, int y2) const {
  if (x1 == x2 || y1 == y2)
    return CollisionRectangle(p, TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2),
                                       std::max(y1, y2)});
  const double ddx = double(x2) - x1, ddy = double(y2) - y1;
  const bool by_rows = std::fabs(ddx) < std::fabs(ddy);
  const int64_t lo = by_rows ? std::max<int64_t>(std::min(y1, y2), p.bbox.top)
                             : std::max<int64_t>(std::min(x1, x2), p.bbox.left);
  const int64_t hi = by_rows ? std::min<int64_t>(std::max(y1, y2), p.bbox.bottom)
                             : std::min<int64_t>(std::max(x1, x2), p.bbox.right);
  // A line through a huge box is sampled at most about kPlainWalk times.
  const int64_t step = hi - lo + 1 > kPlainWalk ? (hi - lo + 1) / kPlainWalk + 1 : 1;
  const CMapper map(*this, p);
  for (int64_t v = lo; v <= hi; v += step) {
    const bool hit = by_rows ? map.Solid(x1 + (double(v) - y1) * ddx / ddy, double(v))
                             : map.Solid(double(v), y1 + (double(v) - x1) * ddy / ddx);
    if (hit) return true;
  }
  return false;
}
