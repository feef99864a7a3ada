#include "resources/Path_Follow.h"

#include <cmath>
#include <numbers>

#include "resources/Path_Main.h"

namespace {
const CPath* Followable(int index) {
  const CPath* p = GetPath(index);
  return (p != nullptr && p->PathLength() > 0) ? p : nullptr;
}
}  // namespace

void PathAssign(RPathFollow& f, int path, bool relative, int endaction, double orientation, double scale,
                double speed, double& x, double& y) {
  f.i_pathindex = path;
  if (path < 0) return;
  const CPath* p = Followable(path);
  if (p == nullptr) {
    f.i_pathindex = -1;
    return;
  }
  f.i_pathspeed = speed;
  f.i_pathposition = f.i_pathpositionprevious = speed >= 0 ? 0 : 1;
  f.i_pathscale = scale;
  if (scale < 0) {
    f.i_pathindex = -1;
    return;
  }
  f.i_pathorientation = orientation;
  f.i_pathend = endaction;
  if (!relative) {
    const RPathPos start = p->GetPosition(f.i_pathposition);
    x = start.x;
    y = start.y;
  }
  f.i_pathxstart = x;
  f.i_pathystart = y;
}

RPathStep PathAdapt(RPathFollow& f) {
  RPathStep step;
  const CPath* p = f.i_pathindex >= 0 ? Followable(f.i_pathindex) : nullptr;
  if (p == nullptr || f.i_pathspeed == 0) return step;
  const double a = f.i_pathorientation * std::numbers::pi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  const double len = p->PathLength();
  // A scale of 0 shrinks the path to its start point: nothing moves.
  const double factor = f.i_pathscale != 0 ? p->GetPosition(f.i_pathposition).speed / (100 * f.i_pathscale) : 0;
  f.i_pathposition += f.i_pathspeed * factor / len;
  if (f.i_pathposition >= 1 || f.i_pathposition <= 0) {
    step.ended = true;
    switch (f.i_pathend) {
      case 1:
        f.i_pathposition += f.i_pathposition < 0 ? 1 : -1;
        break;
      case 2: {
        const RPathPos p0 = p->GetPosition(0), p1 = p->GetPosition(1);
        const double dx = p1.x - p0.x, dy = p1.y - p0.y;
        const double ddx = (c * dx + s * dy) * f.i_pathscale, ddy = (c * dy - s * dx) * f.i_pathscale;
        if (f.i_pathposition < 0) {
          f.i_pathxstart -= ddx;
          f.i_pathystart -= ddy;
          f.i_pathposition += 1;
        } else {
          f.i_pathxstart += ddx;
          f.i_pathystart += ddy;
          f.i_pathposition -= 1;
        }
        break;
      }
      case 3:
        if (f.i_pathposition < 0) {
          f.i_pathposition = -f.i_pathposition;
          f.i_pathspeed = std::fabs(f.i_pathspeed);
        } else {
          f.i_pathposition = 2 - f.i_pathposition;
          f.i_pathspeed = -std::fabs(f.i_pathspeed);
        }
        break;
      default:
        f.i_pathposition = 1;
        f.i_pathindex = -1;
        break;
    }
  }
  const RPathPos p0 = p->GetPosition(0), q = p->GetPosition(f.i_pathposition);
  const double qx = q.x - p0.x, qy = q.y - p0.y;
  step.moved = true;
  step.nx = (c * qx + s * qy) * f.i_pathscale + f.i_pathxstart;
  step.ny = (c * qy - s * qx) * f.i_pathscale + f.i_pathystart;
  return step;
}
