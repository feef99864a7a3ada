// The shape tests of an instance: its bounding box rejects, then the mask of
// its shape sprite decides pixel by pixel.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "resources/Sprite_Main.h"
#include "runtime/Instance_Class.h"

namespace {
// Nearest integer, ties to even, saturated; coordinates reach here already
// checked against a box, so NaN cannot arrive.
int RoundCoord(double v) {
  const double r = std::nearbyint(v);
  if (!(r > -2147483648.0)) return INT32_MIN;
  if (r > 2147483647.0) return INT32_MAX;
  return static_cast<int>(r);
}

int Frame(double imageindex) {
  const double f = std::floor(imageindex);
  if (!(f > -2147483648.0 && f < 2147483647.0)) return 0;
  return static_cast<int>(f);
}

const CSprite* ShapeSprite(const CInstance& i) { return GetSprite(i.i_maskindex >= 0 ? i.i_maskindex : i.i_spriteindex); }

// The box edges as doubles: Right + 1 of a saturated box must not overflow.
double L(const CInstance& i) { return i.i_bbox.left; }
double T(const CInstance& i) { return i.i_bbox.top; }
double R1(const CInstance& i) { return double(i.i_bbox.right) + 1; }
double B1(const CInstance& i) { return double(i.i_bbox.bottom) + 1; }

// A shapeless instance sits at the far-away box; no test may find it there.
bool Testable(const CInstance& i) { return !i.i_marked && ShapeSprite(i) != nullptr; }

// The box rejection shared by the rectangle and ellipse tests.
bool RectMeetsBox(const CInstance& i, double x1, double y1, double x2, double y2) {
  const double xl = std::min(x1, x2), xr = std::max(x1, x2), yt = std::min(y1, y2), yb = std::max(y1, y2);
  return xl < R1(i) && xr >= L(i) && yt < B1(i) && yb >= T(i);
}
}  // namespace

bool CInstance::Collision_Point(bool prec, double x, double y) const {
  if (!Testable(*this)) return false;
  if (!(L(*this) <= x && x < R1(*this) && T(*this) <= y && y < B1(*this))) return false;
  if (!prec) return true;
  const CSprite* spr = ShapeSprite(*this);
  if (spr->i_numb <= 0) return false;
  return spr->CheckCollisionPoint(Frame(i_imageindex), i_bbox, RoundCoord(i_x), RoundCoord(i_y), i_imagescalex,
                                  i_imagescaley, i_imageangle, RoundCoord(x), RoundCoord(y));
}

bool CInstance::Collision_Rectangle(bool prec, double x1, double y1, double x2, double y2) const {
  if (!Testable(*this) || !RectMeetsBox(*this, x1, y1, x2, y2)) return false;
  if (!prec) return true;
  const CSprite* spr = ShapeSprite(*this);
  if (spr->i_numb <= 0) return false;
  const TRect r{RoundCoord(std::min(x1, x2)), RoundCoord(std::min(y1, y2)), RoundCoord(std::max(x1, x2)),
                RoundCoord(std::max(y1, y2))};
  return spr->CheckCollisionRectangle(Frame(i_imageindex), i_bbox, RoundCoord(i_x), RoundCoord(i_y), i_imagescalex,
                                      i_imagescaley, i_imageangle, r);
}

bool CInstance::Collision_Ellipse(bool prec, double x1, double y1, double x2, double y2) const {
  if (!Testable(*this) || !RectMeetsBox(*this, x1, y1, x2, y2)) return false;
  const TRect r{RoundCoord(std::min(x1, x2)), RoundCoord(std::min(y1, y2)), RoundCoord(std::max(x1, x2)),
                RoundCoord(std::max(y1, y2))};
  if (r.left == r.right || r.top == r.bottom) return Collision_Rectangle(prec, x1, y1, x2, y2);
  const double ex = (x1 + x2) / 2, ey = (y1 + y2) / 2;
  if ((ex < L(*this) || ex > i_bbox.right) && (ey < T(*this) || ey > i_bbox.bottom)) {
    // The centre is off both spans: only a box corner inside the ellipse
    // can make them meet.
    const double cx = (double(r.left) + r.right) / 2, rx = (double(r.right) - r.left) / 2;
    const double cy = (double(r.top) + r.bottom) / 2, ry = (double(r.bottom) - r.top) / 2;
    auto in = [&](double px, double py) {
      const double u = (px - cx) / rx, v = (py - cy) / ry;
      return u * u + v * v <= 1;
    };
    if (!in(L(*this), T(*this)) && !in(L(*this), i_bbox.bottom) && !in(i_bbox.right, T(*this)) &&
        !in(i_bbox.right, i_bbox.bottom))
      return false;
  }
  if (!prec) return true;
  const CSprite* spr = ShapeSprite(*this);
  if (spr->i_numb <= 0) return false;
  return spr->CheckCollisionEllipse(Frame(i_imageindex), i_bbox, RoundCoord(i_x), RoundCoord(i_y), i_imagescalex,
                                    i_imagescaley, i_imageangle, r);
}

bool CInstance::Collision_Line(bool prec, double x1, double y1, double x2, double y2) const {
  if (!Testable(*this)) return false;
  if (!(std::min(x1, x2) < R1(*this) && std::max(x1, x2) >= L(*this) && std::min(y1, y2) < B1(*this) &&
        std::max(y1, y2) >= T(*this)))
    return false;
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  // Clip to the box's columns; x1 < Left implies x2 >= Left > x1, so the
  // line is not vertical there.
  if (x1 < L(*this)) {
    y1 = y1 + (L(*this) - x1) * (y2 - y1) / (x2 - x1);
    x1 = L(*this);
  }
  if (x2 > R1(*this)) {
    y2 = y1 + (R1(*this) - x1) * (y2 - y1) / (x2 - x1);
    x2 = R1(*this);
  }
  if ((y1 < T(*this) && y2 < T(*this)) || (y1 >= B1(*this) && y2 >= B1(*this))) return false;
  if (!prec) return true;
  const CSprite* spr = ShapeSprite(*this);
  if (spr->i_numb <= 0) return false;
  return spr->CheckCollisionLine(Frame(i_imageindex), i_bbox, RoundCoord(i_x), RoundCoord(i_y), i_imagescalex,
                                 i_imagescaley, i_imageangle, RoundCoord(x1), RoundCoord(y1), RoundCoord(x2),
                                 RoundCoord(y2));
}

bool CInstance::Collision_Instance(const CInstance* other, bool prec) const {
  if (other == nullptr || other == this || !Testable(*this) || !Testable(*other)) return false;
  if (L(*other) >= R1(*this) || L(*this) >= R1(*other) || T(*other) >= B1(*this) || T(*this) >= B1(*other))
    return false;
  if (!prec) return true;
  const CSprite* a = ShapeSprite(*this);
  const CSprite* b = ShapeSprite(*other);
  if (a->i_numb <= 0 || b->i_numb <= 0) return false;
  return a->CheckCollision(Frame(i_imageindex), i_bbox, RoundCoord(i_x), RoundCoord(i_y), i_imagescalex, i_imagescaley,
                           i_imageangle, b, Frame(other->i_imageindex), other->i_bbox, RoundCoord(other->i_x),
                           RoundCoord(other->i_y), other->i_imagescalex, other->i_imagescaley, other->i_imageangle);
}
