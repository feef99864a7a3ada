#pragma once
// Event dispatch: finding an event along the parent chain, the event context
// that scripts read, and the event index telling each step phase which
// objects have an event.
#include <vector>

#include "resources/Object_Class.h"  // the event types

class CInstance;
class CEvent;

// The event being performed (built-in variables event_type, event_number,
// event_object, event_action).
extern int event_type;
extern int event_number;
extern int event_object;
extern int event_action;

// The pending room change: -1 none, a room index, or -100 end, -200 restart,
// -300 load, -400 stop after a fatal error.
extern int New_Room;
inline bool RoomChangePending() { return New_Room != -1; }


// Looks (type, number) up starting at object o; supplier gets the index of
// the object whose table holds it. Null when absent.
CEvent* FindEventWithSupplier(int o, int type, int number, int& supplier);

void Perform_Event(CInstance* inst, CInstance* other, int type, int number);
void Perform_ObjectEvent(CInstance* inst, CInstance* other, int object, int type, int number);
// Performs an event already found (with its supplier) by FindEventWithSupplier;
// a step phase finds it once per object instead of once per instance.
void Perform_FoundEvent(CInstance* inst, CInstance* other, CEvent* ev, int supplier, int type, int number);
void Perform_AllEvent(int type, int number);

// Publishes an event's context for a run of performs of one found event and
// restores the outer context when it ends, as Perform_FoundEvent does around
// each single perform.
class CEventContextScope {
 public:
  CEventContextScope(int supplier, int type, int number) {
    event_object = supplier;
    event_type = type;
    event_number = number;
  }
  ~CEventContextScope() {
    event_type = t_;
    event_number = n_;
    event_object = o_;
  }
  CEventContextScope(const CEventContextScope&) = delete;
  CEventContextScope& operator=(const CEventContextScope&) = delete;

 private:
  int t_ = event_type, n_ = event_number, o_ = event_object;
};
void Perform_TimelineMoment(CInstance* inst, CInstance* other, int timeline, int moment);

// The event index: per type and number, the objects that have the event.
void BuildEventIndex();
void ClearEventIndex();
const std::vector<int>& EventReceivers(int type, int number);

// Installs the action host and the error-place hook of the dispatcher.
void InstallEventDispatch();
// True while that host is the installed one: it performs actions as the
// interpreter host does, so a step phase may run a plain code action with
// CPlainCodeRun instead.
bool RuntimeActionHostInstalled();
