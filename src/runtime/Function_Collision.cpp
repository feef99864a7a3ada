// Collision built-ins: queries by shape, place and position, searches, and
// the contact, outside and bounce moves of self.
#include "runtime/Function_Collision.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "resources/Object_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Run_Global.h"
#include "script/Code_Error.h"
#include "script/Code_Spaces.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;

// The candidates an object argument names: -3 every active instance in room
// order, an id above 99999 that instance, an object index the object and
// its descendants; anything else (self and other untranslated) nothing.
// Marked instances are skipped. fn returns true to stop; so does the walk.
template <class F>
bool ForCandidates(int obj, F fn) {
  IInstanceSource& src = Instances();
  if (obj == OWNER_ALL || obj > kMaxObjectIndex) {
    const int n = src.Count();
    for (int k = 0; k < n; ++k) {
      CInstance* inst = src.At(k);
      if (inst == nullptr || inst->i_marked) continue;
      if (obj > kMaxObjectIndex && inst->i_id != obj) continue;
      if (fn(inst)) return true;
      if (obj > kMaxObjectIndex) return false;
    }
  } else if (obj >= 0) {
    const int n = src.ObjCount(obj);
    for (int k = 0; k < n; ++k) {
      CInstance* inst = src.ObjAt(obj, k);
      if (inst == nullptr || inst->i_marked) continue;
      if (fn(inst)) return true;
    }
  }
  return false;
}

// -1 and -2 stand for the ids of self and other where a function says so.
int SelfOtherId(CInstance* self, CInstance* other, int obj) {
  if (obj == OWNER_SELF) return self ? self->i_id : OWNER_NOONE;
  if (obj == OWNER_OTHER) return other ? other->i_id : OWNER_NOONE;
  return obj;
}

// Self at (x, y) for the length of a test, then back where it was.
template <class F>
bool AtPlace(CInstance* self, double x, double y, F test) {
  const double ox = self->i_x, oy = self->i_y;
  self->SetPosition(x, y);
  const bool r = test();
  self->SetPosition(ox, oy);
  return r;
}

// The first candidate the test accepts, or noone.
template <class F>
int FirstId(int obj, CInstance* skip, F test) {
  int found = OWNER_NOONE;
  ForCandidates(obj, [&](CInstance* inst) {
    if (inst == skip || !test(inst)) return false;
    found = inst->i_id;
    return true;
  });
  return found;
}

void Set(RValue& r, double v) { r.SetReal(v); }

// ---------------------------------------------------------------- shapes

void F_collision_point(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  const bool prec = ArgBool(a[3]);
  Set(r, FirstId(ArgInt(a[2]), ArgBool(a[4]) ? self : nullptr,
                 [&](CInstance* i) { return i->Collision_Point(prec, x, y); }));
}
void F_collision_rectangle(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const double x1 = ArgReal(a[0]), y1 = ArgReal(a[1]), x2 = ArgReal(a[2]), y2 = ArgReal(a[3]);
  const bool prec = ArgBool(a[5]);
  Set(r, FirstId(ArgInt(a[4]), ArgBool(a[6]) ? self : nullptr,
                 [&](CInstance* i) { return i->Collision_Rectangle(prec, x1, y1, x2, y2); }));
}
void F_collision_ellipse(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const double x1 = ArgReal(a[0]), y1 = ArgReal(a[1]), x2 = ArgReal(a[2]), y2 = ArgReal(a[3]);
  const bool prec = ArgBool(a[5]);
  Set(r, FirstId(ArgInt(a[4]), ArgBool(a[6]) ? self : nullptr,
                 [&](CInstance* i) { return i->Collision_Ellipse(prec, x1, y1, x2, y2); }));
}
void F_collision_circle(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const double xc = ArgReal(a[0]), yc = ArgReal(a[1]), rad = ArgReal(a[2]);
  const bool prec = ArgBool(a[4]);
  Set(r, FirstId(ArgInt(a[3]), ArgBool(a[5]) ? self : nullptr,
                 [&](CInstance* i) { return i->Collision_Ellipse(prec, xc - rad, yc - rad, xc + rad, yc + rad); }));
}
void F_collision_line(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  const double x1 = ArgReal(a[0]), y1 = ArgReal(a[1]), x2 = ArgReal(a[2]), y2 = ArgReal(a[3]);
  const bool prec = ArgBool(a[5]);
  Set(r, FirstId(ArgInt(a[4]), ArgBool(a[6]) ? self : nullptr,
                 [&](CInstance* i) { return i->Collision_Line(prec, x1, y1, x2, y2); }));
}

// ---------------------------------------------------------------- places

void F_place_free(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) Set(r, PlaceFree(self, ArgReal(a[0]), ArgReal(a[1])));
}
void F_place_empty(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) Set(r, PlaceEmpty(self, ArgReal(a[0]), ArgReal(a[1])));
}
void F_place_meeting(CInstance* self, CInstance* other, int, RValue& r, RValue* a) {
  if (self) Set(r, PlaceMeeting(self, other, ArgReal(a[0]), ArgReal(a[1]), ArgInt(a[2])));
}
void F_instance_place(CInstance* self, CInstance* other, int, RValue& r, RValue* a) {
  Set(r, OWNER_NOONE);
  if (self == nullptr) return;
  const int obj = SelfOtherId(self, other, ArgInt(a[2]));
  int found = OWNER_NOONE;
  AtPlace(self, ArgReal(a[0]), ArgReal(a[1]), [&] {
    found = FirstId(obj, nullptr, [&](CInstance* i) { return i->Collision_Instance(self, true); });
    return true;
  });
  Set(r, found);
}

// ---------------------------------------------------------------- positions

void F_position_empty(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  Set(r, FirstId(OWNER_ALL, nullptr, [&](CInstance* i) { return i->Collision_Point(true, x, y); }) == OWNER_NOONE);
}
void F_position_meeting(CInstance* self, CInstance* other, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  const int obj = SelfOtherId(self, other, ArgInt(a[2]));
  Set(r, FirstId(obj, nullptr, [&](CInstance* i) { return i->Collision_Point(true, x, y); }) != OWNER_NOONE);
}
void F_instance_position(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  Set(r, FirstId(ArgInt(a[2]), nullptr, [&](CInstance* i) { return i->Collision_Point(true, x, y); }));
}

// The active instances whose shape holds the point, taken before any of
// them is destroyed or changed.
std::vector<CInstance*> AtPoint(double x, double y) {
  std::vector<CInstance*> hit;
  ForCandidates(OWNER_ALL, [&](CInstance* i) {
    if (i->Collision_Point(true, x, y)) hit.push_back(i);
    return false;
  });
  return hit;
}

void F_position_destroy(CInstance*, CInstance*, int, RValue&, RValue* a) {
  for (CInstance* i : AtPoint(ArgReal(a[0]), ArgReal(a[1])))
    if (!i->i_marked) DestroyInstance(i);
}

void F_position_change(CInstance*, CInstance*, int, RValue&, RValue* a) {
  const int obj = ArgInt(a[2]);
  const bool perf = ArgBool(a[3]);
  if (!ObjectExists(obj)) {
    ReportActionError("Asking to change into non-existing object: " + std::to_string(obj), false);
    return;
  }
  for (CInstance* i : AtPoint(ArgReal(a[0]), ArgReal(a[1]))) {
    CRunRoom* room = Run_Room();
    if (room == nullptr || i->i_marked) continue;
    if (perf) Perform_Event(i, i, ev_destroy, 0);
    CInstance* inst = room->inst.AddInstance(obj, i->i_x, i->i_y);
    inst->Assign(*i);
    inst->i_deactivated = false;
    inst->SetObjectIndex(obj);
    i->i_marked = true;
    if (perf) Perform_Event(inst, inst, ev_create, 0);
  }
}

// ---------------------------------------------------------------- searches

void F_instance_nearest(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  const int obj = ArgInt(a[2]);
  double best = 1e10;
  int found = OWNER_NOONE;
  if (obj <= kMaxObjectIndex)
    ForCandidates(obj, [&](CInstance* i) {
      const double d = (i->i_x - x) * (i->i_x - x) + (i->i_y - y) * (i->i_y - y);
      if (d < best) {
        best = d;
        found = i->i_id;
      }
      return false;
    });
  Set(r, found);
}
void F_instance_furthest(CInstance*, CInstance*, int, RValue& r, RValue* a) {
  const double x = ArgReal(a[0]), y = ArgReal(a[1]);
  const int obj = ArgInt(a[2]);
  double best = -1;
  int found = OWNER_NOONE;
  if (obj <= kMaxObjectIndex)
    ForCandidates(obj, [&](CInstance* i) {
      const double d = (i->i_x - x) * (i->i_x - x) + (i->i_y - y) * (i->i_y - y);
      if (d > best) {
        best = d;
        found = i->i_id;
      }
      return false;
    });
  Set(r, found);
}

// ---------------------------------------------------------------- moves

using FreeTest = bool (*)(CInstance*, double, double);

int MaxSteps(double maxdist) {
  if (!(maxdist > 0)) return 1000;
  return maxdist >= 2147483647.0 ? INT32_MAX : int(std::nearbyint(maxdist));
}

// Whether self's box lies beyond the box around every other instance and
// keeps going away from it along (dx, dy): then no later step can meet one.
bool PastEveryone(CInstance* self, double dx, double dy) {
  bool any = false;
  double l = 0, t = 0, r = 0, b = 0;
  ForCandidates(OWNER_ALL, [&](CInstance* i) {
    if (i == self) return false;
    const TRect& bb = i->i_bbox;
    if (!any) {
      l = bb.left, t = bb.top, r = bb.right, b = bb.bottom;
      any = true;
    }
    l = std::min<double>(l, bb.left), t = std::min<double>(t, bb.top);
    r = std::max<double>(r, bb.right), b = std::max<double>(b, bb.bottom);
    return false;
  });
  if (!any) return true;
  const TRect& me = self->i_bbox;
  return (me.left > r && dx >= 0) || (me.right < l && dx <= 0) || (me.top > b && dy >= 0) ||
         (me.bottom < t && dy <= 0);
}

// A step count this large is gone through only while something may still
// be in the way; past everyone, the rest of the way is taken at once (a
// huge maximum would otherwise keep the step busy for minutes).
constexpr int kStepsBeforeShortcut = 10000;

void MoveContact(CInstance* self, double dir, double maxdist, FreeTest free) {
  if (!free(self, self->i_x, self->i_y)) return;
  const double dx = std::cos(dir * kDeg), dy = -std::sin(dir * kDeg);
  const int n = MaxSteps(maxdist);
  for (int k = 0; k < n; ++k) {
    if (n - k > kStepsBeforeShortcut && k % kStepsBeforeShortcut == 0 && PastEveryone(self, dx, dy)) {
      const double rest = n - k;
      self->SetPosition(self->i_x + dx * rest, self->i_y + dy * rest);
      return;
    }
    const double nx = self->i_x + dx, ny = self->i_y + dy;
    if (!free(self, nx, ny)) return;
    self->SetPosition(nx, ny);
  }
}

bool MoveOutside(CInstance* self, double dir, double maxdist, FreeTest free) {
  const double dx = std::cos(dir * kDeg), dy = -std::sin(dir * kDeg);
  const int n = MaxSteps(maxdist);
  for (int k = 0; k < n && !free(self, self->i_x, self->i_y); ++k)
    self->SetPosition(self->i_x + dx, self->i_y + dy);
  return free(self, self->i_x, self->i_y);
}

void MoveBounce(CInstance* self, bool adv, FreeTest free) {
  bool hit = false;
  if (!free(self, self->i_x, self->i_y)) {
    self->SetPosition(self->i_xprevious, self->i_yprevious);
    hit = true;
  }
  if (adv) {
    const double m = 10 * std::nearbyint(self->i_direction / 10);
    const double sp = self->i_speed;
    auto find = [&](double sign) {
      double d = m;
      for (int k = 1; k <= 35; ++k) {
        d = m + sign * 10 * k;
        if (free(self, self->i_x + std::cos(d * kDeg) * sp, self->i_y - std::sin(d * kDeg) * sp)) return d;
        hit = true;
      }
      return d;
    };
    const double d1 = find(-1), d2 = find(+1);
    if (hit) self->SetDirection(d1 + d2 + 180 - m);
    return;
  }
  const double x = self->i_x, y = self->i_y, hs = self->i_hspeed, vs = self->i_vspeed;
  const bool h = free(self, x + hs, y), v = free(self, x, y + vs), d = free(self, x + hs, y + vs);
  if ((!h && !v) || (h && v && !d)) {
    self->SetHSpeed(-self->i_hspeed);
    self->SetVSpeed(-self->i_vspeed);
  } else if (!h) {
    self->SetHSpeed(-self->i_hspeed);
  } else if (!v) {
    self->SetVSpeed(-self->i_vspeed);
  }
}

void F_move_contact_solid(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self) MoveContact(self, ArgReal(a[0]), ArgReal(a[1]), PlaceFree);
}
void F_move_contact_all(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self) MoveContact(self, ArgReal(a[0]), ArgReal(a[1]), PlaceEmpty);
}
void F_move_outside_solid(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) Set(r, MoveOutside(self, ArgReal(a[0]), ArgReal(a[1]), PlaceFree));
}
void F_move_outside_all(CInstance* self, CInstance*, int, RValue& r, RValue* a) {
  if (self) Set(r, MoveOutside(self, ArgReal(a[0]), ArgReal(a[1]), PlaceEmpty));
}
void F_move_contact(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self == nullptr) return;
  if (PlaceFree(self, self->i_x, self->i_y)) MoveContact(self, ArgReal(a[0]), -1, PlaceFree);
  else MoveOutside(self, ArgReal(a[0]), -1, PlaceFree);
}
void F_move_bounce_solid(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self) MoveBounce(self, ArgBool(a[0]), PlaceFree);
}
void F_move_bounce_all(CInstance* self, CInstance*, int, RValue&, RValue* a) {
  if (self) MoveBounce(self, ArgBool(a[0]), PlaceEmpty);
}

constexpr RBuiltin kFunctions[] = {
    {"collision_point", F_collision_point, 5},
    {"collision_rectangle", F_collision_rectangle, 7},
    {"collision_circle", F_collision_circle, 6},
    {"collision_ellipse", F_collision_ellipse, 7},
    {"collision_line", F_collision_line, 7},
    {"place_free", F_place_free, 2},
    {"place_empty", F_place_empty, 2},
    {"place_meeting", F_place_meeting, 3},
    {"instance_place", F_instance_place, 3},
    {"position_empty", F_position_empty, 2},
    {"position_meeting", F_position_meeting, 3},
    {"instance_position", F_instance_position, 3},
    {"position_destroy", F_position_destroy, 2},
    {"position_change", F_position_change, 4},
    {"instance_nearest", F_instance_nearest, 3},
    {"instance_furthest", F_instance_furthest, 3},
    {"move_contact", F_move_contact, 1},
    {"move_contact_solid", F_move_contact_solid, 2},
    {"move_contact_all", F_move_contact_all, 2},
    {"move_outside_solid", F_move_outside_solid, 2},
    {"move_outside_all", F_move_outside_all, 2},
    {"move_bounce", F_move_bounce_solid, 1},
    {"move_bounce_solid", F_move_bounce_solid, 1},
    {"move_bounce_all", F_move_bounce_all, 1},
};
}  // namespace

bool PlaceFree(CInstance* self, double x, double y) {
  return AtPlace(self, x, y, [&] {
    return FirstId(OWNER_ALL, nullptr, [&](CInstance* i) { return i->i_solid && i->Collision_Instance(self, true); }) ==
           OWNER_NOONE;
  });
}

bool PlaceEmpty(CInstance* self, double x, double y) {
  return AtPlace(self, x, y, [&] {
    return FirstId(OWNER_ALL, nullptr, [&](CInstance* i) { return i->Collision_Instance(self, true); }) == OWNER_NOONE;
  });
}

bool PlaceMeeting(CInstance* self, CInstance* other, double x, double y, int obj) {
  obj = SelfOtherId(self, other, obj);
  return AtPlace(self, x, y, [&] {
    return FirstId(obj, nullptr, [&](CInstance* i) { return i->Collision_Instance(self, true); }) != OWNER_NOONE;
  });
}

const RFunctionLibrary kLibrary_Collision{"Collision", kFunctions};
