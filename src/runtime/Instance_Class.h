#pragma once
// A running instance of an object: position, motion, sprite and image state,
// alarms, path and time-line following, and its own variables. Writes that
// must keep invariants (motion vector, bounding box) go through the setters.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "graphics/BM32_Bitmap.h"
#include "script/Variable_Class.h"

class CObject;
class CSprite;
class CStream;

class CInstance;
// While set, every instance whose bounding box is recomputed is appended to
// it: the collision phase keeps its broad phase current this way.
extern std::vector<CInstance*>* g_bboxChanges;

class alignas(64) CInstance {
 public:
  CInstance();
  // A bare instance (identity only), used by the language's tools and tests;
  // every other field keeps its creation value.
  CInstance(int id, int objectindex);
  ~CInstance();
  CInstance(const CInstance&) = delete;
  CInstance& operator=(const CInstance&) = delete;

  // The fields every step reads or writes for every instance come first,
  // grouped by the passes over all instances that touch them, so that each
  // pass loads one cache line per instance: the first line serves the
  // previous-position and time-line passes (and the position the step code
  // reads and writes), the second the removal, motion and animation passes
  // (and the check for destroyed instances in every phase); the third holds
  // the bounding box and the variables.
  int i_maskindex = -1;
  int i_timelineindex = -1;
  bool i_deactivated = false;
  bool i_visible = true, i_solid = false, i_persistent = false;
  bool i_timelinerunning = false, i_timelineloop = false;
  double i_x = 0, i_y = 0;
  double i_xprevious = 0, i_yprevious = 0;
  double i_pathposition = 0, i_pathpositionprevious = 0;

  bool i_marked = false;  // destroyed, waiting for removal at the end of the step
  int i_spriteindex = -1;
  int i_pathindex = -1;
  int i_id = 0;
  double i_hspeed = 0, i_vspeed = 0;
  double i_friction = 0;
  double i_gravity = 0;
  double i_imageindex = 0;
  double i_imagespeed = 1;

  TRect i_bbox{-100000, -100000, -100000, -100000};
  CVariableList i_vars;
  CObject* i_object = nullptr;  // not owned
  int i_objectindex = -1;

  double i_imagescalex = 1;
  double i_imagescaley = 1;
  double i_imageangle = 0;
  double i_imagealpha = 1;
  unsigned i_imageblend = 0xFFFFFF;
  double i_depth = 0;
  double i_xstart = 0, i_ystart = 0;
  double i_direction = 0;
  double i_speed = 0;
  double i_gravitydir = 270;
  std::array<int, 12> i_timer{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  double i_pathspeed = 0;
  double i_pathscale = 1, i_pathorientation = 0;
  int i_pathend = 0;
  double i_pathxstart = 0, i_pathystart = 0;
  double i_timelineposition = 0, i_timelinespeed = 1;
  std::string i_initcode;

  // Sets the object (with its sprite, mask, depth and flags), position, id
  // and every other field to its creation value.
  void Create(int id, int objectindex, double x, double y);
  // Copies every field of other, the id and the variables included.
  void Assign(const CInstance& other);

  // The instance's record in a saved game. Loading sets the fields as stored
  // (no bounding box or motion recomputation) and looks the object up again;
  // it fails on truncated data, a variable list in another format, and an
  // object index that names no object. Sprite, path and time-line indices are
  // kept as they are: the runtime tolerates missing ones.
  void SaveToStream(CStream& str) const;
  bool LoadFromStream(CStream& str);

  // Inline: every write of x or y comes here.
  void SetPosition(double x, double y) {
    if (x == i_x && y == i_y) return;
    i_x = x;
    i_y = y;
    Compute_BoundingBox();
  }
  void SetObjectIndex(int v);
  void SetSpriteIndex(int v);
  void SetMaskIndex(int v);
  void SetImageScaleX(double v);
  void SetImageScaleY(double v);
  void SetImageAngle(double v);
  void SetDirection(double v);
  void SetSpeed(double v);
  void SetHSpeed(double v);
  void SetVSpeed(double v);
  void AddTo_Speed(double amount, double dir);
  void Adapt_Speed();
  // Starts following a path (a negative path stops); Adapt_Path moves one
  // step along it and returns true when the end was reached in this step.
  void Assign_Path(int path, bool relative, int endaction, double orientation, double scale, double speed);
  bool Adapt_Path();
  // Inline for the shapeless case (no sprite and no mask), which every
  // position write of such an instance takes.
  void Compute_BoundingBox() {
    if (g_bboxChanges) NoteBoxChange();
    if (i_maskindex < 0 && i_spriteindex < 0) i_bbox = TRect{-100000, -100000, -100000, -100000};
    else Compute_ShapeBox();
  }
  void Compute_DirectionSpeed();
  void Compute_HVSpeed();
  int Get_Alarm(int i) const { return (i >= 0 && i < 12) ? i_timer[size_t(i)] : -1; }
  void Set_Alarm(int i, int v) {
    if (i >= 0 && i < 12) i_timer[size_t(i)] = v;
  }
  // Frame count of the instance's sprite, 0 without one.
  int ImageNumber() const { return i_spriteindex < 0 ? 0 : SpriteFrames(); }
  // True when the sprite or the mask sprite exists.
  bool HasShape() const;

  // Shape tests (Instance_Collision.cpp), all false for a marked instance.
  // With prec false the bounding box alone decides; otherwise the mask of
  // the shape sprite (the mask sprite, else the sprite) for the current
  // frame, placed at the rounded position with the scales and the angle.
  bool Collision_Point(bool prec, double x, double y) const;
  bool Collision_Rectangle(bool prec, double x1, double y1, double x2, double y2) const;
  bool Collision_Ellipse(bool prec, double x1, double y1, double x2, double y2) const;
  bool Collision_Line(bool prec, double x1, double y1, double x2, double y2) const;
  bool Collision_Instance(const CInstance* other, bool prec) const;

 private:
  __attribute__((noinline)) void Compute_SpriteBox(const CSprite& sprite);
  // Out of line: the vector's growth would otherwise make every box
  // computation save and restore registers.
  __attribute__((noinline)) void NoteBoxChange();
  void Compute_ShapeBox();
  int SpriteFrames() const;
};
