#include "runtime/Instance_Class.h"

#include <algorithm>
#include <cmath>

#include "resources/Object_Main.h"
#include "resources/Path_Follow.h"
#include "resources/Sprite_Main.h"
#include "runner/Support_Stream.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kSnap = 0.0001;

double SnapInteger(double v) {
  const double r = std::round(v);
  return std::fabs(v - r) < kSnap ? r : v;
}
int RoundEven(double v) {
  const double r = std::nearbyint(v);  // default rounding mode: ties to even
  if (!(r > -2147483648.0)) return INT32_MIN;
  if (r > 2147483647.0) return INT32_MAX;
  return static_cast<int>(r);
}
}  // namespace

CInstance::CInstance() = default;
CInstance::CInstance(int id, int objectindex) : i_id(id), i_objectindex(objectindex) {}
CInstance::~CInstance() = default;

void CInstance::Create(int id, int objectindex, double x, double y) {
  SetObjectIndex(objectindex);
  i_x = x;
  i_y = y;
  i_id = id;
  i_imageindex = 0;
  i_imagespeed = 1;
  i_imagescalex = i_imagescaley = 1;
  i_imageangle = 0;
  i_imagealpha = 1;
  i_imageblend = 0xFFFFFF;
  i_xstart = i_xprevious = x;
  i_ystart = i_yprevious = y;
  i_direction = i_speed = i_friction = i_gravity = i_hspeed = i_vspeed = 0;
  i_gravitydir = 270;
  i_timer.fill(-1);
  i_vars.Clear();
  i_marked = i_deactivated = false;
  i_pathindex = -1;
  i_pathposition = i_pathpositionprevious = i_pathspeed = 0;
  i_pathscale = 1;
  i_pathorientation = 0;
  i_pathend = 0;
  i_pathxstart = i_pathystart = 0;
  i_timelineindex = -1;
  i_timelineposition = 0;
  i_timelinespeed = 1;
  i_timelinerunning = i_timelineloop = false;
  i_initcode.clear();
  Compute_BoundingBox();
}

void CInstance::Assign(const CInstance& o) {
  if (this == &o) return;
  i_id = o.i_id;
  i_spriteindex = o.i_spriteindex;
  i_imageindex = o.i_imageindex;
  i_imagespeed = o.i_imagespeed;
  i_imagescalex = o.i_imagescalex;
  i_imagescaley = o.i_imagescaley;
  i_imageangle = o.i_imageangle;
  i_imagealpha = o.i_imagealpha;
  i_imageblend = o.i_imageblend;
  i_maskindex = o.i_maskindex;
  i_depth = o.i_depth;
  i_x = o.i_x;
  i_y = o.i_y;
  i_xstart = o.i_xstart;
  i_ystart = o.i_ystart;
  i_xprevious = o.i_xprevious;
  i_yprevious = o.i_yprevious;
  i_direction = o.i_direction;
  i_speed = o.i_speed;
  i_friction = o.i_friction;
  i_gravitydir = o.i_gravitydir;
  i_gravity = o.i_gravity;
  i_hspeed = o.i_hspeed;
  i_vspeed = o.i_vspeed;
  i_bbox = o.i_bbox;
  i_visible = o.i_visible;
  i_solid = o.i_solid;
  i_persistent = o.i_persistent;
  i_objectindex = o.i_objectindex;
  i_object = o.i_object;
  i_timer = o.i_timer;
  i_vars.Assign(o.i_vars);
  i_marked = o.i_marked;
  i_deactivated = o.i_deactivated;
  i_pathindex = o.i_pathindex;
  i_pathposition = o.i_pathposition;
  i_pathpositionprevious = o.i_pathpositionprevious;
  i_pathspeed = o.i_pathspeed;
  i_pathscale = o.i_pathscale;
  i_pathorientation = o.i_pathorientation;
  i_pathend = o.i_pathend;
  i_pathxstart = o.i_pathxstart;
  i_pathystart = o.i_pathystart;
  i_timelineindex = o.i_timelineindex;
  i_timelineposition = o.i_timelineposition;
  i_timelinespeed = o.i_timelinespeed;
  i_timelinerunning = o.i_timelinerunning;
  i_timelineloop = o.i_timelineloop;
  i_initcode = o.i_initcode;
}

void CInstance::SaveToStream(CStream& str) const {
  str.WriteInteger(i_id);
  str.WriteInteger(i_spriteindex);
  for (double v : {i_imageindex, i_imagespeed, i_imagescalex, i_imagescaley, i_imageangle, i_imagealpha})
    str.WriteReal(v);
  str.WriteInteger(static_cast<int32_t>(i_imageblend));
  str.WriteInteger(i_maskindex);
  for (double v : {i_depth, i_x, i_y, i_xstart, i_ystart, i_xprevious, i_yprevious, i_direction, i_speed,
                   i_friction, i_gravitydir, i_gravity, i_hspeed, i_vspeed})
    str.WriteReal(v);
  for (int v : {i_bbox.left, i_bbox.right, i_bbox.top, i_bbox.bottom}) str.WriteInteger(v);
  str.WriteBoolean(i_visible);
  str.WriteBoolean(i_solid);
  str.WriteBoolean(i_persistent);
  str.WriteInteger(i_objectindex);
  for (int t : i_timer) str.WriteInteger(t);
  str.WriteBoolean(i_marked);
  str.WriteBoolean(i_deactivated);
  str.WriteInteger(i_pathindex);
  for (double v : {i_pathposition, i_pathpositionprevious, i_pathspeed, i_pathscale, i_pathorientation})
    str.WriteReal(v);
  str.WriteInteger(i_pathend);
  str.WriteReal(i_pathxstart);
  str.WriteReal(i_pathystart);
  str.WriteInteger(i_timelineindex);
  str.WriteReal(i_timelineposition);
  str.WriteReal(i_timelinespeed);
  str.WriteBoolean(i_timelinerunning);
  str.WriteBoolean(i_timelineloop);
  str.WriteString(i_initcode);
  i_vars.SaveToStream(str);
}

bool CInstance::LoadFromStream(CStream& str) {
  try {
    i_id = str.ReadInteger();
    i_spriteindex = str.ReadInteger();
    for (double* v : {&i_imageindex, &i_imagespeed, &i_imagescalex, &i_imagescaley, &i_imageangle, &i_imagealpha})
      *v = str.ReadReal();
    i_imageblend = static_cast<unsigned>(str.ReadInteger());
    i_maskindex = str.ReadInteger();
    for (double* v : {&i_depth, &i_x, &i_y, &i_xstart, &i_ystart, &i_xprevious, &i_yprevious, &i_direction,
                      &i_speed, &i_friction, &i_gravitydir, &i_gravity, &i_hspeed, &i_vspeed})
      *v = str.ReadReal();
    for (int* v : {&i_bbox.left, &i_bbox.right, &i_bbox.top, &i_bbox.bottom}) *v = str.ReadInteger();
    i_visible = str.ReadBoolean();
    i_solid = str.ReadBoolean();
    i_persistent = str.ReadBoolean();
    i_objectindex = str.ReadInteger();
    i_object = GetObject(i_objectindex);
    if (i_object == nullptr) return false;
    for (int& t : i_timer) t = str.ReadInteger();
    i_marked = str.ReadBoolean();
    i_deactivated = str.ReadBoolean();
    i_pathindex = str.ReadInteger();
    for (double* v : {&i_pathposition, &i_pathpositionprevious, &i_pathspeed, &i_pathscale, &i_pathorientation})
      *v = str.ReadReal();
    i_pathend = str.ReadInteger();
    i_pathxstart = str.ReadReal();
    i_pathystart = str.ReadReal();
    i_timelineindex = str.ReadInteger();
    i_timelineposition = str.ReadReal();
    i_timelinespeed = str.ReadReal();
    i_timelinerunning = str.ReadBoolean();
    i_timelineloop = str.ReadBoolean();
    i_initcode = str.ReadString();
    // A list in another format would read as empty and leave the rest of
    // the record misread.
    if (!i_vars.LoadFromStream(str)) return false;
  } catch (const EStreamError&) {
    return false;
  }
  return true;
}

void CInstance::SetObjectIndex(int v) {
  i_objectindex = v;
  i_object = GetObject(v);
  if (i_object) {
    SetSpriteIndex(i_object->o_spriteindex);
    i_maskindex = i_object->o_mask;
    i_depth = i_object->o_depth;
    i_solid = i_object->o_solid;
    i_visible = i_object->o_visible;
    i_persistent = i_object->o_persistent;
  }
  Compute_BoundingBox();
}

void CInstance::SetSpriteIndex(int v) {
  i_spriteindex = v;
  if (std::floor(i_imageindex) >= ImageNumber()) i_imageindex = 0;
  Compute_BoundingBox();
}

void CInstance::SetMaskIndex(int v) {
  i_maskindex = v;
  Compute_BoundingBox();
}

void CInstance::SetImageScaleX(double v) {
  if (v == i_imagescalex) return;
  i_imagescalex = v;
  Compute_BoundingBox();
}
void CInstance::SetImageScaleY(double v) {
  if (v == i_imagescaley) return;
  i_imagescaley = v;
  Compute_BoundingBox();
}
void CInstance::SetImageAngle(double v) {
  if (v == i_imageangle) return;
  i_imageangle = v;
  Compute_BoundingBox();
}

void CInstance::SetDirection(double v) {
  if (v == i_direction) return;
  if (!std::isfinite(v)) v = 0;
  i_direction = v - 360.0 * std::floor(v / 360.0);
  if (i_direction >= 360.0) i_direction = 0;  // -tiny gives 360 after rounding
  Compute_HVSpeed();
}
void CInstance::SetSpeed(double v) {
  if (v == i_speed) return;
  i_speed = v;
  Compute_HVSpeed();
}
void CInstance::SetHSpeed(double v) {
  if (v == i_hspeed) return;
  i_hspeed = v;
  Compute_DirectionSpeed();
}
void CInstance::SetVSpeed(double v) {
  if (v == i_vspeed) return;
  i_vspeed = v;
  Compute_DirectionSpeed();
}

void CInstance::Compute_HVSpeed() {
  const double d = i_direction * kPi / 180.0;
  i_hspeed = SnapInteger(std::cos(d) * i_speed);
  i_vspeed = SnapInteger(-std::sin(d) * i_speed);
}

void CInstance::Compute_DirectionSpeed() {
  if (i_hspeed == 0) {
    i_direction = i_vspeed > 0 ? 270 : (i_vspeed < 0 ? 90 : 0);
  } else {
    const double a = std::atan2(i_vspeed, i_hspeed) * 180.0 / kPi;
    i_direction = a > 0 ? 360.0 - a : -a;
  }
  i_direction = SnapInteger(i_direction);
  if (std::isfinite(i_direction)) i_direction -= 360.0 * std::floor(i_direction / 360.0);
  i_speed = SnapInteger(std::sqrt(i_hspeed * i_hspeed + i_vspeed * i_vspeed));
}

void CInstance::AddTo_Speed(double amount, double dir) {
  const double d = dir * kPi / 180.0;
  i_hspeed += amount * std::cos(d);
  i_vspeed -= amount * std::sin(d);
  Compute_DirectionSpeed();
}

void CInstance::Adapt_Speed() {
  if (i_friction != 0) {
    const double n = i_speed > 0 ? i_speed - i_friction : i_speed + i_friction;
    if ((i_speed > 0 && n < 0) || (i_speed < 0 && n > 0)) SetSpeed(0);
    else if (i_speed != 0) SetSpeed(n);
  }
  if (i_gravity != 0) AddTo_Speed(i_gravity, i_gravitydir);
}

int CInstance::SpriteFrames() const {
  const CSprite* spr = GetSprite(i_spriteindex);
  return spr ? spr->i_numb : 0;
}

bool CInstance::HasShape() const { return SpriteExists(i_spriteindex) || SpriteExists(i_maskindex); }

std::vector<CInstance*>* g_bboxChanges = nullptr;

void CInstance::NoteBoxChange() { g_bboxChanges->push_back(this); }

void CInstance::Compute_ShapeBox() {
  const int shape = i_maskindex >= 0 ? i_maskindex : i_spriteindex;
  const CSprite* spr = shape >= 0 ? GetSprite(shape) : nullptr;
  if (spr == nullptr) {
    i_bbox = TRect{-100000, -100000, -100000, -100000};
    return;
  }
  Compute_SpriteBox(*spr);
}

// Kept apart so that the cheap cases of the box (no shape, or a shape index
// naming no sprite) stay short functions.
void CInstance::Compute_SpriteBox(const CSprite& sprite) {
  const CSprite* spr = &sprite;
  const double L = spr->i_bbox.left, T = spr->i_bbox.top, R = spr->i_bbox.right, B = spr->i_bbox.bottom;
  const double xo = spr->i_xorig, yo = spr->i_yorig, sx = i_imagescalex, sy = i_imagescaley;
  TRect b;
  if (i_imageangle == 0) {
    b.left = RoundEven((L - xo) * sx + i_x);
    b.right = RoundEven((R - xo + 1) * sx + i_x - 1);
    if (b.right < b.left) std::swap(b.left, b.right);
    b.top = RoundEven((T - yo) * sy + i_y);
    b.bottom = RoundEven(i_y + sy * (B - yo + 1) - 1);
    if (b.bottom < b.top) std::swap(b.top, b.bottom);
  } else {
    const double xl = (std::min(L, R) - xo) * sx, xr = (std::max(L, R) - xo + 1) * sx - 1;
    const double yt = sy * (std::min(T, B) - yo), yb = sy * (std::max(T, B) - yo + 1) - 1;
    const double a = i_imageangle * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    b.left = RoundEven(i_x + std::min(c * xl, c * xr) + std::min(s * yt, s * yb));
    b.right = RoundEven(i_x + std::max(c * xl, c * xr) + std::max(s * yt, s * yb));
    b.top = RoundEven(i_y + std::min(c * yt, c * yb) - std::max(s * xl, s * xr));
    b.bottom = RoundEven(i_y + std::max(c * yt, c * yb) - std::min(s * xl, s * xr));
  }
  i_bbox = b;
}

namespace {
RPathFollow PathState(const CInstance& i) {
  RPathFollow f;
  f.i_pathindex = i.i_pathindex;
  f.i_pathposition = i.i_pathposition;
  f.i_pathpositionprevious = i.i_pathpositionprevious;
  f.i_pathspeed = i.i_pathspeed;
  f.i_pathscale = i.i_pathscale;
  f.i_pathorientation = i.i_pathorientation;
  f.i_pathend = i.i_pathend;
  f.i_pathxstart = i.i_pathxstart;
  f.i_pathystart = i.i_pathystart;
  return f;
}
void StorePathState(CInstance& i, const RPathFollow& f) {
  i.i_pathindex = f.i_pathindex;
  i.i_pathposition = f.i_pathposition;
  i.i_pathpositionprevious = f.i_pathpositionprevious;
  i.i_pathspeed = f.i_pathspeed;
  i.i_pathscale = f.i_pathscale;
  i.i_pathorientation = f.i_pathorientation;
  i.i_pathend = f.i_pathend;
  i.i_pathxstart = f.i_pathxstart;
  i.i_pathystart = f.i_pathystart;
}
}  // namespace

void CInstance::Assign_Path(int path, bool relative, int endaction, double orientation, double scale, double speed) {
  RPathFollow f = PathState(*this);
  double x = i_x, y = i_y;
  PathAssign(f, path, relative, endaction, orientation, scale, speed, x, y);
  StorePathState(*this, f);
  SetPosition(x, y);
}

bool CInstance::Adapt_Path() {
  if (i_pathindex < 0) return false;  // most instances follow no path
  RPathFollow f = PathState(*this);
  const RPathStep step = PathAdapt(f);
  StorePathState(*this, f);
  if (step.moved) {
    SetHSpeed(step.nx - i_x);
    SetVSpeed(step.ny - i_y);
    SetSpeed(0);
    SetPosition(step.nx, step.ny);
  }
  return step.ended;
}
