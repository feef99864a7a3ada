// Motion built-ins and the motion planners: linear and potential steppers,
// the paths they trace, and the grid functions.
#include "runtime/Function_Motion.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "graphics/Graphics_Draw.h"
#include "library/Function_Math.h"
#include "resources/Path_Main.h"
#include "runtime/Function_Collision.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Motion_Grid.h"
#include "runtime/Run_Global.h"
#include "script/Code_Error.h"
#include "script/Code_Spaces.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;

struct RPotential {
  double maxrot = 30, rotstep = 10, ahead = 3;
  bool onspot = true;
} g_pot;

double RoomWidth() {
  CRunRoom* r = Run_Room();
  return r ? r->room.r_width : 0;
}
double RoomHeight() {
  CRunRoom* r = Run_Room();
  return r ? r->room.r_height : 0;
}

// Direction in degrees from one point to another, 0 when they coincide.
double PointDirection(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  if (dx != 0) {
    const double a = std::atan2(dy, dx) / kDeg;
    return a > 0 ? 360 - a : -a;
  }
  return dy > 0 ? 270 : (dy < 0 ? 90 : 0);
}

// What counts as an obstacle for a stepper: solid instances, all instances,
// or the instances of one object.
struct RObstacles {
  int obj = OWNER_ALL;  // OWNER_ALL: solid or all by checkall
  bool checkall = false;
  bool Free(CInstance* self, double x, double y) const {
    if (obj == OWNER_ALL) return checkall ? PlaceEmpty(self, x, y) : PlaceFree(self, x, y);
    return !PlaceMeeting(self, nullptr, x, y, obj);
  }
};

bool LinearStep(CInstance* self, double xg, double yg, double s, const RObstacles& ob) {
  if (self->i_x == xg && self->i_y == yg) return true;
  const double dx = xg - self->i_x, dy = yg - self->i_y, d = std::sqrt(dx * dx + dy * dy);
  double cx = xg, cy = yg;
  bool result = true;
  if (d > s) {
    cx = self->i_x + dx * s / d;
    cy = self->i_y + dy * s / d;
    result = false;
  }
  if (ob.Free(self, cx, cy)) {
    self->SetDirection(PointDirection(self->i_x, self->i_y, cx, cy));
    self->SetPosition(cx, cy);
  }
  return result;
}

double Reduce360(double a) {
  a = std::fmod(a, 360);
  return a < 0 ? a + 360 : a;
}

bool PotentialStep(CInstance* self, double xg, double yg, double s, const RObstacles& ob) {
  if (self->i_x == xg && self->i_y == yg) return true;
  const double dx = xg - self->i_x, dy = yg - self->i_y;
  if (std::sqrt(dx * dx + dy * dy) <= s) {
    if (ob.Free(self, xg, yg)) {
      self->SetDirection(PointDirection(self->i_x, self->i_y, xg, yg));
      self->SetPosition(xg, yg);
    }
    return true;
  }
  const double g = PointDirection(self->i_x, self->i_y, xg, yg);
  auto attempt = [&](double a) {
    double diff = std::fabs(Reduce360(self->i_direction) - Reduce360(a));
    if (diff > 180) diff = 360 - diff;
    if (diff > g_pot.maxrot) return false;
    const double c = std::cos(a * kDeg), sn = -std::sin(a * kDeg);
    if (!ob.Free(self, self->i_x + c * s * g_pot.ahead, self->i_y + sn * s * g_pot.ahead)) return false;
    if (!ob.Free(self, self->i_x + c * s, self->i_y + sn * s)) return false;
    self->SetDirection(a);
    self->SetPosition(self->i_x + c * s, self->i_y + sn * s);
    return true;
  };
  for (double k = 0; k < 180; k += g_pot.rotstep)
    if (attempt(g - k) || attempt(g + k)) return false;
  if (g_pot.onspot) self->SetDirection(self->i_direction + g_pot.maxrot);
  return false;
}

CPath* PlannerPath(int index) {
  CPath* p = GetPath(index);
  if (p == nullptr) ReportError("Trying to assign to a non-existing path.", false);
  return p;
}

void StartPath(CPath& p) {
  p.Clear();
  p.i_kind = 0;
  p.i_closed = false;
  p.ComputeInternal();
}

bool Finite(std::initializer_list<double> vs) {
  for (double v : vs)
    if (!std::isfinite(v)) return false;
  return true;
}

// The stepper's trace as a path; position and direction are restored.
// A stepsize that is not positive, or a goal or position that is not a
// number, fails at once: the trace could never end.
bool LinearPath(CInstance* self, int path, double xg, double yg, double s, const RObstacles& ob) {
  CPath* p = PlannerPath(path);
  if (p == nullptr || !(s > 0) || !Finite({xg, yg, self->i_x, self->i_y})) return false;
  StartPath(*p);
  const double ox = self->i_x, oy = self->i_y, odir = self->i_direction;
  bool ok = false;
  for (;;) {
    p->AddPoint(self->i_x, self->i_y, 100);
    const double bx = self->i_x, by = self->i_y;
    if (LinearStep(self, xg, yg, s, ob)) {
      ok = true;
      break;
    }
    if (self->i_x == bx && self->i_y == by) break;
  }
  if (ok) p->AddPoint(xg, yg, 100);
  self->SetPosition(ox, oy);
  self->SetDirection(odir);
  return ok;
}

bool PotentialPath(CInstance* self, int path, double xg, double yg, double s, double f, const RObstacles& ob) {
  CPath* p = PlannerPath(path);
  if (p == nullptr || f < 1 || !(s > 0) || !Finite({xg, yg, f, self->i_x, self->i_y})) return false;
  const double e = std::hypot(xg - self->i_x, yg - self->i_y);
  StartPath(*p);
  const double ox = self->i_x, oy = self->i_y, odir = self->i_direction;
  p->AddPoint(self->i_x, self->i_y, 100);
  bool ok = false;
  // A step that does not move only turns on the spot; a full turn of such
  // steps in a row (or one, without turning) means the instance is shut in
  // and the length limit would never be reached.
  const int stuck_limit = g_pot.onspot ? int(std::ceil(360 / g_pot.maxrot)) + 1 : 1;
  int stuck = 0;
  for (;;) {
    const double bx = self->i_x, by = self->i_y;
    if (PotentialStep(self, xg, yg, s, ob)) {
      ok = true;
      break;
    }
    stuck = (self->i_x == bx && self->i_y == by) ? stuck + 1 : 0;
    if (stuck >= stuck_limit) break;
    p->AddPoint(self->i_x, self->i_y, 100);
    if (p->PathLength() > f * e) break;
  }
  if (ok) p->AddPoint(xg, yg, 100);
  self->SetPosition(ox, oy);
  self->SetDirection(odir);
  return ok;
}

// ---------------------------------------------------------------- motion

void F_motion_set(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  self->SetDirection(ArgReal(a[0]));
  self->SetSpeed(ArgReal(a[1]));
}
void F_motion_add(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self) self->AddTo_Speed(ArgReal(a[1]), ArgReal(a[0]));
}
void F_move_towards_point(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  self->SetHSpeed(ArgReal(a[0]) - self->i_x);
  self->SetVSpeed(ArgReal(a[1]) - self->i_y);
  self->SetSpeed(ArgReal(a[2]));
}
void F_move_snap(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  const double hs = ArgReal(a[0]), vs = ArgReal(a[1]);
  double x = self->i_x, y = self->i_y;
  if (hs > 0) x = hs * std::nearbyint(x / hs);
  if (vs > 0) y = vs * std::nearbyint(y / vs);
  self->SetPosition(x, y);
}
void F_place_snapped(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self == nullptr) return;
  const double hs = ArgReal(a[0]), vs = ArgReal(a[1]);
  auto on = [](double c, double s) { return !(s > 0) || std::fabs(c - s * std::nearbyint(c / s)) < 0.001; };
  r.SetReal(on(self->i_x, hs) && on(self->i_y, vs));
}
void F_move_wrap(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  const double margin = ArgReal(a[2]), w = RoomWidth(), h = RoomHeight();
  double x = self->i_x, y = self->i_y;
  if (ArgBool(a[0])) {
    if (x < -margin) x += w + 2 * margin;
    if (x > w + margin) x -= w + 2 * margin;
  }
  if (ArgBool(a[1])) {
    if (y < -margin) y += h + 2 * margin;
    if (y > h + margin) y -= h + 2 * margin;
  }
  self->SetPosition(x, y);
}

int RandomBelow(double n) {
  if (!(n >= 1)) return 0;
  return RandomInt(n > 2147483647.0 ? INT32_MAX : int(n));
}

void F_move_random(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  const double hs = ArgReal(a[0]), vs = ArgReal(a[1]);
  const bool shape = self->HasShape();
  const double ax = shape ? std::nearbyint(self->i_x - self->i_bbox.left) : 0;
  const double wx = shape ? std::nearbyint(self->i_x + RoomWidth() - self->i_bbox.right) : RoomWidth();
  const double ay = shape ? std::nearbyint(self->i_y - self->i_bbox.top) : 0;
  const double hy = shape ? std::nearbyint(self->i_y + RoomHeight() - self->i_bbox.bottom) : RoomHeight();
  for (int t = 0; t < 100; ++t) {
    double x = ax + RandomBelow(wx - ax);
    double y = ay + RandomBelow(hy - ay);
    if (hs > 0) x = hs * std::floor(x / hs);
    if (vs > 0) y = vs * std::floor(y / vs);
    if (PlaceFree(self, x, y)) {
      self->SetPosition(x, y);
      return;
    }
  }
}

double BoxGap(double lo1, double hi1, double lo2, double hi2) {
  if (hi1 < lo2) return lo2 - hi1;
  if (hi2 < lo1) return lo1 - hi2;
  return 0;
}

void F_distance_to_point(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self == nullptr) return;
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  const TRect& b = self->i_bbox;
  const double gx = BoxGap(b.left, b.right, x, x), gy = BoxGap(b.top, b.bottom, y, y);
  r.SetReal(std::sqrt(gx * gx + gy * gy));
}

void F_distance_to_object(CInstance* self, CInstance* other, int, RValue& r, RValue* a) {
  r.SetReal(1000000);
  if (self == nullptr) return;
  const int obj = ArgInt(a[0]);
  double best = 1000000;
  auto consider = [&](CInstance* i) {
    if (i == nullptr || i == self || i->i_marked) return;
    const double gx = BoxGap(self->i_bbox.left, self->i_bbox.right, i->i_bbox.left, i->i_bbox.right);
    const double gy = BoxGap(self->i_bbox.top, self->i_bbox.bottom, i->i_bbox.top, i->i_bbox.bottom);
    best = std::min(best, std::sqrt(gx * gx + gy * gy));
  };
  IInstanceSource& src = Instances();
  if (obj == OWNER_OTHER) {
    consider(other);
  } else if (obj == OWNER_ALL || obj > kMaxObjectIndex) {
    const int n = src.Count();
    for (int k = 0; k < n; ++k)
      if (CInstance* i = src.At(k); i && (obj == OWNER_ALL || i->i_id == obj)) consider(i);
  } else if (obj >= 0) {
    const int n = src.ObjCount(obj);
    for (int k = 0; k < n; ++k) consider(src.ObjAt(obj, k));
  }
  r.SetReal(best);
}

// ---------------------------------------------------------------- planners

RObstacles Solid(const RValue& checkall) { return RObstacles{OWNER_ALL, ArgBool(checkall)}; }
RObstacles Object(const RValue& obj) {
  const int o = ArgInt(obj);
  // -3 as an object means every instance, not the solid ones.
  return o == OWNER_ALL ? RObstacles{OWNER_ALL, true} : RObstacles{o, false};
}

void F_mp_linear_step(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(LinearStep(self, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), Solid(a[3])));
}
void F_mp_linear_step_object(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(LinearStep(self, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), Object(a[3])));
}
void F_mp_potential_step(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(PotentialStep(self, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), Solid(a[3])));
}
void F_mp_potential_step_object(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(PotentialStep(self, ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), Object(a[3])));
}
void F_mp_potential_settings(CInstance*, CInstance*, int, RValue&, RValue* a) {
  auto atleast1 = [](double v) { return v < 1 || std::isnan(v) ? 1.0 : v; };
  g_pot.maxrot = atleast1(ArgReal(a[0]));
  g_pot.rotstep = atleast1(ArgReal(a[1]));
  g_pot.ahead = atleast1(ArgReal(a[2]));
  g_pot.onspot = ArgBool(a[3]);
}
void F_mp_linear_path(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(LinearPath(self, ArgInt(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), Solid(a[4])));
}
void F_mp_linear_path_object(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) r.SetReal(LinearPath(self, ArgInt(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), Object(a[4])));
}
void F_mp_potential_path(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self)
    r.SetReal(PotentialPath(self, ArgInt(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), Solid(a[5])));
}
void F_mp_potential_path_object(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self)
    r.SetReal(PotentialPath(self, ArgInt(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), Object(a[5])));
}

// ---------------------------------------------------------------- grids

void F_mp_grid_create(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const int left = ArgInt(a[0]), top = ArgInt(a[1]), hc = ArgInt(a[2]), vc = ArgInt(a[3]);
  const int cw = ArgInt(a[4]), ch = ArgInt(a[5]);
  r.SetReal(-1);
  if (hc < 0 || vc < 0 || int64_t(hc) * int64_t(vc) > CGrid::kMaxCells) {
    ReportError("Cannot create a grid of " + std::to_string(hc) + " x " + std::to_string(vc) +
                    " cells (at most " + std::to_string(CGrid::kMaxCells) + " cells).",
                false);
    return;
  }
  if (cw < 1 || ch < 1) {
    ReportError("Cannot create a grid with cells of " + std::to_string(cw) + " x " + std::to_string(ch) + " pixels.",
                false);
    return;
  }
  r.SetReal(GridCreate(left, top, hc, vc, cw, ch));
}
void F_mp_grid_destroy(CInstance*, CInstance*, int, RValue&, RValue* a) { GridDestroy(ArgInt(a[0])); }
void F_mp_grid_clear_all(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (CGrid* g = GetGrid(ArgInt(a[0]))) g->ClearAll();
}
void F_mp_grid_clear_cell(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (CGrid* g = GetGrid(ArgInt(a[0]))) g->SetCell(ArgInt(a[1]), ArgInt(a[2]), 0);
}
void F_mp_grid_add_cell(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (CGrid* g = GetGrid(ArgInt(a[0]))) g->SetCell(ArgInt(a[1]), ArgInt(a[2]), -1);
}
void F_mp_grid_clear_rectangle(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (CGrid* g = GetGrid(ArgInt(a[0]))) g->SetRectangle(ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), 0);
}
void F_mp_grid_add_rectangle(CInstance*, CInstance*, int, RValue&, RValue* a) {
  if (CGrid* g = GetGrid(ArgInt(a[0]))) g->SetRectangle(ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), -1);
}

void AddInstanceCells(CGrid& g, const CInstance& inst, bool prec) {
  if (inst.i_marked || !inst.HasShape()) return;
  const TRect& b = inst.i_bbox;
  // The cells the box covers, clamped to the grid; a box off the grid
  // covers none.
  const int64_t c0 = std::max<int64_t>(0, (int64_t(b.left) - g.i_left) / g.i_cellw);
  const int64_t c1 = std::min<int64_t>(g.i_hcells - 1, (int64_t(b.right) - g.i_left) / g.i_cellw);
  const int64_t r0 = std::max<int64_t>(0, (int64_t(b.top) - g.i_top) / g.i_cellh);
  const int64_t r1 = std::min<int64_t>(g.i_vcells - 1, (int64_t(b.bottom) - g.i_top) / g.i_cellh);
  if (int64_t(b.right) < g.i_left || int64_t(b.bottom) < g.i_top) return;
  for (int64_t i = c0; i <= c1; ++i)
    for (int64_t j = r0; j <= r1; ++j) {
      int& cell = g.Cell(int(i), int(j));
      if (!prec) {
        cell = -1;
        continue;
      }
      if (cell < 0) continue;
      const double x = g.i_left + double(i) * g.i_cellw, y = g.i_top + double(j) * g.i_cellh;
      if (inst.Collision_Rectangle(true, x, y, x + g.i_cellw - 1, y + g.i_cellh - 1)) cell = -1;
    }
}

void F_mp_grid_add_instances(CInstance* self, CInstance* other, int, RValue&, RValue* a) {
  CGrid* g = GetGrid(ArgInt(a[0]));
  if (g == nullptr) return;
  const int obj = ArgInt(a[1]);
  const bool prec = ArgBool(a[2]);
  IInstanceSource& src = Instances();
  if (obj == OWNER_SELF) {
    if (self) AddInstanceCells(*g, *self, prec);
  } else if (obj == OWNER_OTHER) {
    if (other) AddInstanceCells(*g, *other, prec);
  } else if (obj == OWNER_ALL || obj > kMaxObjectIndex) {
    const int n = src.Count();
    for (int k = 0; k < n; ++k)
      if (CInstance* i = src.At(k); i && (obj == OWNER_ALL || i->i_id == obj)) AddInstanceCells(*g, *i, prec);
  } else if (obj >= 0) {
    const int n = src.ObjCount(obj);
    for (int k = 0; k < n; ++k)
      if (CInstance* i = src.ObjAt(obj, k)) AddInstanceCells(*g, *i, prec);
  }
}

// Each cell filled: red when forbidden, dark green when free, in the draw
// alpha; a cell covers its own pixels only, so neighbours do not overlap.
void F_mp_grid_draw(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const CGrid* g = GetGrid(ArgInt(a[0]));
  if (g == nullptr) return;
  constexpr int kForbidden = 255, kFree = 32768;
  for (int i = 0; i < g->i_hcells; ++i)
    for (int j = 0; j < g->i_vcells; ++j) {
      const double x1 = double(g->i_left) + double(i) * g->i_cellw, y1 = double(g->i_top) + double(j) * g->i_cellh;
      const int c = g->Cell(i, j) < 0 ? kForbidden : kFree;
      GR_Draw_Rectangle_Color(x1, y1, x1 + g->i_cellw - 1, y1 + g->i_cellh - 1, c, c, c, c, false);
    }
}
void F_mp_grid_path(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  CGrid* g = GetGrid(ArgInt(a[0]));
  if (g == nullptr) return;
  CPath* p = PlannerPath(ArgInt(a[1]));
  if (p == nullptr) return;
  r.SetReal(g->FindPath(*p, ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), ArgReal(a[5]), ArgBool(a[6])));
}

constexpr RBuiltin kFunctions[] = {
    {"motion_set", F_motion_set, 2},
    {"motion_add", F_motion_add, 2},
    {"move_towards_point", F_move_towards_point, 3},
    {"move_snap", F_move_snap, 2},
    {"place_snapped", F_place_snapped, 2},
    {"move_wrap", F_move_wrap, 3},
    {"move_random", F_move_random, 2},
    {"distance_to_point", F_distance_to_point, 2},
    {"distance_to_object", F_distance_to_object, 1},
    {"mp_linear_step", F_mp_linear_step, 4},
    {"mp_linear_path", F_mp_linear_path, 5},
    {"mp_linear_step_object", F_mp_linear_step_object, 4},
    {"mp_linear_path_object", F_mp_linear_path_object, 5},
    {"mp_potential_settings", F_mp_potential_settings, 4},
    {"mp_potential_step", F_mp_potential_step, 4},
    {"mp_potential_path", F_mp_potential_path, 6},
    {"mp_potential_step_object", F_mp_potential_step_object, 4},
    {"mp_potential_path_object", F_mp_potential_path_object, 6},
    {"mp_grid_create", F_mp_grid_create, 6},
    {"mp_grid_destroy", F_mp_grid_destroy, 1},
    {"mp_grid_clear_all", F_mp_grid_clear_all, 1},
    {"mp_grid_clear_cell", F_mp_grid_clear_cell, 3},
    {"mp_grid_clear_rectangle", F_mp_grid_clear_rectangle, 5},
    {"mp_grid_add_cell", F_mp_grid_add_cell, 3},
    {"mp_grid_add_rectangle", F_mp_grid_add_rectangle, 5},
    {"mp_grid_add_instances", F_mp_grid_add_instances, 3},
    {"mp_grid_path", F_mp_grid_path, 7},
    {"mp_grid_draw", F_mp_grid_draw, 1},
};
}  // namespace

void ResetPotentialSettings() { g_pot = RPotential{}; }

const RFunctionLibrary kLibrary_Motion{"Motion", kFunctions};
