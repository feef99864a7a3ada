#include "runtime/Event_Main.h"

#include <array>
#include <string>

#include "resources/Event_Action.h"
#include "resources/Event_Class.h"
#include "resources/Event_Name.h"
#include "resources/Object_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Run_Handle_Collision.h"
#include "script/Code_Spaces.h"
#include "script/Code_Error.h"

int event_type = 0;
int event_number = 0;
int event_object = 0;
int event_action = 0;
int New_Room = ROOM_NONE;

namespace {
std::array<std::vector<std::vector<int>>, kEventTypes> g_index;
const std::vector<int> kNone;

// Highest indexed number per type (collision: none).
int IndexedMax(int type) {
  switch (type) {
    case ev_create:
    case ev_destroy:
    case ev_draw:
      return 0;
    case ev_alarm:
      return 12;
    case ev_step:
      return 16;
    case ev_collision:
      return -1;
    case ev_trigger:
      return TriggerCount() - 1;
    default:
      return 128;
  }
}

class CRuntimeActionHost final : public CInterpreterActionHost {
 public:
  void SetCurrentAction(int index) override { event_action = index; }
};
CRuntimeActionHost g_host;

std::string ActionPlace() {
  std::string s = "ERROR in\r\naction number " + std::to_string(event_action + 1) + "\r\n";
  if (event_type == kTimelineEventType) {
    s += "at time step " + std::to_string(event_number) + "\r\nof time line " + GetTimeLineName(event_object);
  } else {
    s += "of " + GetEventName(event_type, event_number) + "\r\nfor object " + GetObjectName(event_object);
  }
  return s + ":\r\n\r\n";
}

struct ContextGuard {
  int t = event_type, n = event_number, o = event_object;
  ~ContextGuard() {
    event_type = t;
    event_number = n;
    event_object = o;
  }
};
}  // namespace

CEvent* FindEventWithSupplier(int o, int type, int number, int& supplier) {
  const int count = ObjectCount();
  auto chain = [&](int start, int num) -> CEvent* {
    int cur = start;
    for (int guard = 0; guard <= count && cur >= 0; ++guard) {
      const CObject* obj = GetObject(cur);
      if (obj == nullptr) return nullptr;
      if (CEvent* ev = obj->GetEventDirect(type, num)) {
        supplier = cur;
        return ev;
      }
      cur = obj->o_parent;
    }
    return nullptr;
  };
  if (CEvent* ev = chain(o, number)) return ev;
  if (type == ev_collision) {
    const CObject* other = GetObject(number);
    int anc = other ? other->o_parent : -1;
    for (int guard = 0; guard <= count && anc >= 0; ++guard) {
      const CObject* a = GetObject(anc);
      if (a == nullptr) break;
      if (CEvent* ev = chain(o, anc)) return ev;
      anc = a->o_parent;
    }
  }
  return nullptr;
}

void Perform_ObjectEvent(CInstance* inst, CInstance* other, int object, int type, int number) {
  if (RoomChangePending() || inst == nullptr) return;
  int supplier = -1;
  CEvent* ev = FindEventWithSupplier(object, type, number, supplier);
  if (ev == nullptr) return;
  Perform_FoundEvent(inst, other, ev, supplier, type, number);
}

void Perform_FoundEvent(CInstance* inst, CInstance* other, CEvent* ev, int supplier, int type, int number) {
  if (RoomChangePending() || inst == nullptr) return;
  ContextGuard guard;
  event_object = supplier;
  event_type = type;
  event_number = number;
  RunActionList(inst, other, ev);
}

void Perform_Event(CInstance* inst, CInstance* other, int type, int number) {
  if (RoomChangePending() || inst == nullptr) return;
  Perform_ObjectEvent(inst, other, inst->i_objectindex, type, number);
}

void Perform_AllEvent(int type, int number) {
  if (RoomChangePending()) return;
  IInstanceSource& src = Instances();
  const int n = src.Count();
  for (int i = 0; i < n; ++i) {
    CInstance* inst = src.At(i);
    if (inst == nullptr || inst->i_marked) continue;
    Perform_ObjectEvent(inst, inst, inst->i_objectindex, type, number);
  }
}

void Perform_TimelineMoment(CInstance* inst, CInstance* other, int timeline, int moment) {
  if (RoomChangePending()) return;
  const CTimeLine* tl = GetTimeLine(timeline);
  if (tl == nullptr) return;
  CEvent* ev = tl->Event(moment);
  if (ev == nullptr) return;
  ContextGuard guard;
  event_object = timeline;
  event_type = kTimelineEventType;
  event_number = tl->Step(moment);
  RunActionList(inst, other, ev);
}

void ClearEventIndex() {
  for (auto& t : g_index) t.clear();
}

void BuildEventIndex() {
  ClearEventIndex();
  const int count = ObjectCount();
  for (int type = 0; type < kEventTypes; ++type) {
    const int max = IndexedMax(type);
    if (max < 0) continue;
    g_index[size_t(type)].resize(size_t(max) + 1);
    for (int num = 0; num <= max; ++num) {
      auto& list = g_index[size_t(type)][size_t(num)];
      for (int o = 0; o < count; ++o) {
        int supplier;
        if (ObjectExists(o) && FindEventWithSupplier(o, type, num, supplier)) list.push_back(o);
      }
    }
  }
  BuildCollisionPairs();
}

const std::vector<int>& EventReceivers(int type, int number) {
  if (type < 0 || type >= kEventTypes) return kNone;
  const auto& t = g_index[size_t(type)];
  if (number < 0 || size_t(number) >= t.size()) return kNone;
  return t[size_t(number)];
}

bool RuntimeActionHostInstalled() { return GetActionHost() == &g_host; }

void InstallEventDispatch() {
  SetActionHost(&g_host);
  SetRoomChangePendingHook([] { return RoomChangePending(); });
  ErrorHooks().action_place = ActionPlace;
  ErrorHooks().fatal = [] { New_Room = ROOM_ABORT; };
}
