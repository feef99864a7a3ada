#pragma once
// Objects: the templates of instances, with their events by (type, number).
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "resources/Event_Class.h"

class CStream;

inline constexpr int kEventTypes = 12;
// Event numbers address keys, alarms, objects or triggers; object indices
// stay below 100000, so larger numbers are not valid events.
inline constexpr int kMaxEventNumber = 99999;

enum : int {
  ev_create = 0,
  ev_destroy = 1,
  ev_alarm = 2,
  ev_step = 3,
  ev_collision = 4,
  ev_keyboard = 5,
  ev_mouse = 6,
  ev_other = 7,
  ev_draw = 8,
  ev_keypress = 9,
  ev_keyrelease = 10,
  ev_trigger = 11,
};

class CObject {
 public:
  int o_spriteindex = -1;
  bool o_solid = false;
  bool o_visible = true;
  int o_depth = 0;
  bool o_persistent = false;
  int o_parent = -1;
  int o_mask = -1;
  // Per event type, the events by number. Kept sparse: numbers go up to
  // 99999 (key codes, object indices) and most are unused.
  std::array<std::map<int, std::unique_ptr<CEvent>>, kEventTypes> o_events;

  void Clear();
  void Assign(const CObject& obj);
  // The event at (type, number), created on demand; null for a type outside
  // 0-11 or a number outside 0-99999.
  CEvent* CreateEvent(int type, int number);

  // Record: version 430, fields, then the event lists of types 0..L.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  bool Compile();

  // Direct lookups count only events with at least one action.
  CEvent* GetEventDirect(int type, int number) const;
  bool HasEventDirect(int type) const;
  // Along the parent chain; collisions also try the other object's ancestors.
  CEvent* GetEventRecursive(int type, int number) const;
  bool HasEventRecursive(int type) const;
  bool IsDecendentOf(int index) const;
};
