#pragma once
// Paths: control points with a relative speed, interpolated (straight or
// smoothed) into a dense polyline that position lookups walk.
#include <cstddef>
#include <vector>

class CStream;

struct RWayPoint {
  double x = 0, y = 0, speed = 100;
};

struct RIntPoint {
  double x = 0, y = 0, speed = 100, l = 0;
};

struct RPathPos {
  double x = 0, y = 0, speed = 100;
};

class CPath {
 public:
  std::vector<RWayPoint> i_points;
  int i_count = 0;
  int i_kind = 0;  // 0 straight, 1 smooth
  bool i_closed = true;
  int i_precision = 4;  // 0..8
  std::vector<RIntPoint> i_intpoints;
  int i_intcount = 0;
  double i_length = 0;

  void Assign(const CPath& path);
  void Clear();
  // Record: version 530, kind, closed, precision, count, count x (x, y, speed).
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;

  double PathLength() const { return i_length; }
  int Count() const { return i_count; }
  int Kind() const { return i_kind; }
  bool Closed() const { return i_closed; }
  int Precision() const { return i_precision; }
  void SetKind(int kind);
  void SetClosed(bool closed);
  void SetPrecision(int precision);

  int AddPoint(double x, double y, double speed);
  void InsertPoint(int ind, double x, double y, double speed);
  void ChangePoint(int ind, double x, double y, double speed);
  void DeletePoint(int ind);
  const RWayPoint* Point(int ind) const {
    return (ind >= 0 && ind < i_count) ? &i_points[size_t(ind)] : nullptr;
  }

  RPathPos GetPosition(double t) const;
  double XPosition(double t) const { return GetPosition(t).x; }
  double YPosition(double t) const { return GetPosition(t).y; }
  double Speed(double t) const { return GetPosition(t).speed; }

  void Center(double& x, double& y) const;
  void Reverse();
  void Mirror();
  void Flip();
  void Rotate(double angle);
  void Scale(double xscale, double yscale);
  void Shift(double dx, double dy);
  void Append(const CPath& path);

  // Recomputes the interpolated points and the length.
  void ComputeInternal();

 private:
  void AddInt(double x, double y, double speed);
  void Subdivide(int depth, const RWayPoint& s, const RWayPoint& k, const RWayPoint& e);
};
