#include "resources/Path_Class.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "runner/Support_Stream.h"

void CPath::Assign(const CPath& path) {
  if (&path == this) return;
  i_kind = path.i_kind;
  i_closed = path.i_closed;
  i_precision = path.i_precision;
  i_points.assign(path.i_points.begin(), path.i_points.begin() + path.i_count);
  i_count = path.i_count;
  ComputeInternal();
}

void CPath::Clear() {
  i_points.clear();
  i_count = 0;
  i_intpoints.clear();
  i_intcount = 0;
  i_length = 0;
}

bool CPath::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 530) return false;
  i_kind = str.ReadInteger();
  i_closed = str.ReadBoolean();
  i_precision = str.ReadInteger();
  const int n = str.ReadInteger();
  // Each point takes 24 bytes; a count the data cannot hold is corrupt.
  if (n < 0 || uint64_t(n) * 24 > str.Remaining()) return false;
  i_points.resize(size_t(n));
  for (auto& p : i_points) {
    p.x = str.ReadReal();
    p.y = str.ReadReal();
    p.speed = str.ReadReal();
  }
  i_count = n;
  ComputeInternal();
  return true;
}

void CPath::SaveToStream(CStream& str) const {
  str.WriteInteger(530);
  str.WriteInteger(i_kind);
  str.WriteBoolean(i_closed);
  str.WriteInteger(i_precision);
  str.WriteInteger(i_count);
  for (int i = 0; i < i_count; ++i) {
    str.WriteReal(i_points[size_t(i)].x);
    str.WriteReal(i_points[size_t(i)].y);
    str.WriteReal(i_points[size_t(i)].speed);
  }
}

void CPath::SetKind(int kind) {
  i_kind = (kind == 1) ? 1 : 0;
  ComputeInternal();
}

void CPath::SetClosed(bool closed) {
  i_closed = closed;
  ComputeInternal();
}

void CPath::SetPrecision(int precision) {
  i_precision = std::clamp(precision, 0, 8);
  ComputeInternal();
}

int CPath::AddPoint(double x, double y, double speed) {
  i_points.resize(size_t(i_count));
  i_points.push_back({x, y, speed});
  ++i_count;
  ComputeInternal();
  return i_count - 1;
}

void CPath::InsertPoint(int ind, double x, double y, double speed) {
  if (ind < 0 || ind > i_count) return;
  i_points.resize(size_t(i_count));
  i_points.insert(i_points.begin() + ind, RWayPoint{x, y, speed});
  ++i_count;
  ComputeInternal();
}

void CPath::ChangePoint(int ind, double x, double y, double speed) {
  if (ind < 0 || ind >= i_count) return;
  i_points[size_t(ind)] = {x, y, speed};
  ComputeInternal();
}

void CPath::DeletePoint(int ind) {
  if (ind < 0 || ind >= i_count) return;
  i_points.erase(i_points.begin() + ind);
  --i_count;
  ComputeInternal();
}

void CPath::AddInt(double x, double y, double speed) {
  i_intpoints.push_back({x, y, speed, 0});
}

namespace {
RWayPoint Mid(const RWayPoint& a, const RWayPoint& b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}
double Dist2(const RWayPoint& a, const RWayPoint& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}
}  // namespace

void CPath::Subdivide(int depth, const RWayPoint& s, const RWayPoint& k, const RWayPoint& e) {
  if (depth <= 0) return;
  const RWayPoint m{(s.x + 2 * k.x + e.x) / 4, (s.y + 2 * k.y + e.y) / 4,
                    (s.speed + 2 * k.speed + e.speed) / 4};
  if (Dist2(k, s) > 16) Subdivide(depth - 1, s, Mid(s, k), m);
  AddInt(m.x, m.y, m.speed);
  if (Dist2(k, e) > 16) Subdivide(depth - 1, m, Mid(k, e), e);
}

void CPath::ComputeInternal() {
  i_intpoints.clear();
  const int n = i_count;
  if (i_kind == 1) {
    if (n >= 1) {
      if (!i_closed) AddInt(i_points[0].x, i_points[0].y, i_points[0].speed);
      const int last = i_closed ? n - 1 : n - 3;
      for (int k = 0; k <= last; ++k) {
        const RWayPoint& a = i_points[size_t(k % n)];
        const RWayPoint& b = i_points[size_t((k + 1) % n)];
        const RWayPoint& c = i_points[size_t((k + 2) % n)];
        // The stored precision is kept as read, but subdivision never goes
        // deeper than 8 levels: each level can double the point count.
        Subdivide(std::clamp(i_precision, 0, 8), Mid(a, b), b, Mid(b, c));
      }
      if (i_closed) {
        // A closed path whose pieces produced no point stays empty.
        if (!i_intpoints.empty()) i_intpoints.push_back(i_intpoints.front());
      } else {
        AddInt(i_points[size_t(n - 1)].x, i_points[size_t(n - 1)].y,
               i_points[size_t(n - 1)].speed);
      }
    }
  } else {
    for (int i = 0; i < n; ++i) AddInt(i_points[size_t(i)].x, i_points[size_t(i)].y,
                                       i_points[size_t(i)].speed);
    if (i_closed && n > 0) AddInt(i_points[0].x, i_points[0].y, i_points[0].speed);
  }
  i_intcount = int(i_intpoints.size());
  for (int i = 1; i < i_intcount; ++i) {
    RIntPoint& p = i_intpoints[size_t(i)];
    const RIntPoint& q = i_intpoints[size_t(i - 1)];
    p.l = q.l + std::hypot(p.x - q.x, p.y - q.y);
  }
  if (i_intcount > 0) i_intpoints[0].l = 0;
  i_length = i_intcount >= 2 ? i_intpoints.back().l : 0;
}

RPathPos CPath::GetPosition(double t) const {
  if (i_intcount == 0) return {0, 0, 100};
  const RIntPoint& first = i_intpoints[0];
  if (i_intcount == 1 || i_length == 0) return {first.x, first.y, first.speed};
  if (!(t > 0)) return {first.x, first.y, first.speed};  // also NaN
  if (t >= 1) {
    const RIntPoint& last = i_intpoints.back();
    return {last.x, last.y, last.speed};
  }
  const double L = t * i_length;
  // The lengths never decrease, so the segment is found by bisection: the
  // first point after the start whose length exceeds L ends it.
  const auto lo = i_intpoints.begin() + 1, hi = i_intpoints.begin() + (i_intcount - 1);
  const auto k = std::upper_bound(lo, hi, L, [](double v, const RIntPoint& pt) { return v < pt.l; });
  const int i = int(k - i_intpoints.begin()) - 1;
  const RIntPoint& a = i_intpoints[size_t(i)];
  const RIntPoint& b = i_intpoints[size_t(i + 1)];
  const double d = b.l - a.l;
  if (d == 0) return {a.x, a.y, a.speed};
  const double f = (L - a.l) / d;
  return {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.speed + f * (b.speed - a.speed)};
}

void CPath::Center(double& x, double& y) const {
  if (i_count == 0) {
    x = y = 0;
    return;
  }
  double minx = i_points[0].x, maxx = minx, miny = i_points[0].y, maxy = miny;
  for (int i = 1; i < i_count; ++i) {
    minx = std::min(minx, i_points[size_t(i)].x);
    maxx = std::max(maxx, i_points[size_t(i)].x);
    miny = std::min(miny, i_points[size_t(i)].y);
    maxy = std::max(maxy, i_points[size_t(i)].y);
  }
  x = (minx + maxx) / 2;
  y = (miny + maxy) / 2;
}

void CPath::Reverse() {
  std::reverse(i_points.begin(), i_points.begin() + i_count);
  ComputeInternal();
}

void CPath::Mirror() {
  double cx, cy;
  Center(cx, cy);
  for (int i = 0; i < i_count; ++i) i_points[size_t(i)].x = 2 * cx - i_points[size_t(i)].x;
  ComputeInternal();
}

void CPath::Flip() {
  double cx, cy;
  Center(cx, cy);
  for (int i = 0; i < i_count; ++i) i_points[size_t(i)].y = 2 * cy - i_points[size_t(i)].y;
  ComputeInternal();
}

void CPath::Rotate(double angle) {
  double cx, cy;
  Center(cx, cy);
  const double a = angle * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
  for (int i = 0; i < i_count; ++i) {
    RWayPoint& p = i_points[size_t(i)];
    const double dx = p.x - cx, dy = p.y - cy;
    p.x = cx + c * dx + s * dy;
    p.y = cy + c * dy - s * dx;
  }
  ComputeInternal();
}

void CPath::Scale(double xscale, double yscale) {
  double cx, cy;
  Center(cx, cy);
  for (int i = 0; i < i_count; ++i) {
    RWayPoint& p = i_points[size_t(i)];
    p.x = cx + (p.x - cx) * xscale;
    p.y = cy + (p.y - cy) * yscale;
  }
  ComputeInternal();
}

void CPath::Shift(double dx, double dy) {
  for (int i = 0; i < i_count; ++i) {
    i_points[size_t(i)].x += dx;
    i_points[size_t(i)].y += dy;
  }
  ComputeInternal();
}

void CPath::Append(const CPath& path) {
  i_points.resize(size_t(i_count));
  const std::vector<RWayPoint> other(path.i_points.begin(), path.i_points.begin() + path.i_count);
  i_points.insert(i_points.end(), other.begin(), other.end());
  i_count = int(i_points.size());
  ComputeInternal();
}
