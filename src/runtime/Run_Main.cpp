#include "runtime/Run_Main.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Window.h"
#include "platform/Platform.h"
#include "resources/Event_Action.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runner/Runner_Load.h"
#include "runner/Option_Main.h"
#include "runner/Support_File.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Joystick.h"
#include "runtime/IO_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Handle_Collision.h"
#include "runtime/Run_Stop.h"
#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Variable.h"
#include "script/Variable_Main.h"

bool Running = false;
namespace {
bool g_stoppedByError = false;
}  // namespace
bool GameStoppedByError() { return g_stoppedByError || ErrorTerminating(); }
bool Paused = false;
int Fps = 0;
long long StepCount = 0;

namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point g_origin = Clock::now();
int64_t g_virtual = 0;  // fast runs: the game clock, advanced by the waits

// Phases stop as soon as a room change is pending.
#define PHASE_END_IF_PENDING() \
  do {                         \
    if (RoomChangePending()) return; \
  } while (0)

CRoomInstances* Lists() {
  CRunRoom* r = Run_Room();
  return r ? &r->inst : nullptr;
}

// Calls fn for every unmarked instance in object o's direct list; fn returns
// false to stop, and so does the walk.
template <typename F>
bool ForEachInstanceOf(int o, F&& fn) {
  CRoomInstances* l = Lists();
  if (l == nullptr) return false;
  const int n = l->Obj_Number(o);
  for (int k = 0; k < n; ++k) {
    CInstance* inst = l->Obj_Instance(o, k);
    if (inst == nullptr || inst->i_marked) continue;
    if (!fn(inst)) return false;
  }
  return true;
}

// The same for every object that has (type, number).
template <class F>
void ForEachReceiver(int type, int number, F&& fn) {
  for (int o : EventReceivers(type, number))
    if (!ForEachInstanceOf(o, fn)) return;
}

// The direct lists hold only instances of their own object, so the event
// is found once per object, and its context is published once for all of
// them. An event that is one code action on self (the usual step event)
// runs through one CPlainCodeRun for all of them: what RunSingleAction does
// per instance with the runtime's host, the pending check, the action's
// place and the action, with the argument frame kept once. Events are
// fixed once loaded, so the action found for the first instance is the
// action of every one.
void PerformPhase(int type, int number) {
  for (int o : EventReceivers(type, number)) {
    int supplier = -1;
    CEvent* ev = FindEventWithSupplier(o, type, number, supplier);
    if (ev == nullptr) continue;
    CEventContextScope context(supplier, type, number);
    CAction* single = SingleSelfAction(ev);
    bool go_on;
    if (single == nullptr) {
      go_on = ForEachInstanceOf(o, [&](CInstance* inst) {
        RunActionList(inst, inst, ev);
        return !RoomChangePending();
      });
    } else if (CPlainCodeRun plain(*single); plain.Ready() && RuntimeActionHostInstalled()) {
      go_on = ForEachInstanceOf(o, [&](CInstance* inst) {
        if (RoomChangePending()) return false;
        event_action = 0;
        plain.Perform(inst, inst);
        return !RoomChangePending();
      });
    } else {
      go_on = ForEachInstanceOf(o, [&](CInstance* inst) {
        RunSingleAction(*single, inst, inst);
        return !RoomChangePending();
      });
    }
    if (!go_on) return;
  }
}

// The phase procedure for the instances that pass test (the mouse events
// under the cursor, entering and leaving).
void PerformPhaseWhere(int type, int number, IO_InstanceTest test) {
  for (int o : EventReceivers(type, number)) {
    int supplier = -1;
    CEvent* ev = FindEventWithSupplier(o, type, number, supplier);
    if (ev == nullptr) continue;
    const bool go_on = ForEachInstanceOf(o, [&](CInstance* inst) {
      if (test(*inst)) Perform_FoundEvent(inst, inst, ev, supplier, type, number);
      return !RoomChangePending();
    });
    if (!go_on) return;
  }
}

void PerformTriggers(int moment) {
  const int count = TriggerCount();
  for (int t = 0; t < count; ++t) {
    const std::vector<int>& objs = EventReceivers(ev_trigger, t);
    CTrigger* trig = GetTrigger(t);
    if (objs.empty() || trig == nullptr || trig->i_moment != moment || !trig->i_code) continue;
    ForEachReceiver(ev_trigger, t, [&](CInstance* inst) {
      ErrorClear();
      if (trig->Evaluate(inst)) Perform_Event(inst, inst, ev_trigger, t);
      return !RoomChangePending();
    });
    if (RoomChangePending()) return;
  }
}

void StepEvents(int moment) {
  PerformTriggers(moment);
  if (RoomChangePending()) return;
  PerformPhase(ev_step, moment);
}

void TimeLines() {
  CRoomInstances* l = Lists();
  if (l == nullptr) return;
  const int n = l->Count();
  for (int i = 0; i < n && !RoomChangePending(); ++i) {
    CInstance* inst = l->At(i);
    // The time line first: it shares its cache line with the position the
    // pass before wrote.
    if (inst == nullptr || inst->i_timelineindex < 0 || inst->i_marked || !inst->i_timelinerunning ||
        inst->i_timelinespeed == 0)
      continue;
    const CTimeLine* tl = GetTimeLine(inst->i_timelineindex);
    if (tl == nullptr || tl->s_count <= 0) continue;
    const int tlindex = inst->i_timelineindex;
    const double p = inst->i_timelineposition, s = inst->i_timelinespeed, np = p + s;
    const int count = tl->s_count;
    inst->i_timelineposition = np;
    if (s > 0) {
      int a = 0;
      while (a < count && tl->Step(a) < p) ++a;
      int b = a;
      while (b < count && tl->Step(b) < np) ++b;
      for (int m = a; m < b; ++m) Perform_TimelineMoment(inst, inst, tlindex, m);
      if (inst->i_timelineloop && np > tl->Step(count - 1)) inst->i_timelineposition = 0;
    } else {
      int a = count - 1;
      while (a >= 0 && tl->Step(a) > p) --a;
      int b = a;
      while (b >= 0 && tl->Step(b) > np) --b;
      for (int m = a; m > b; --m) Perform_TimelineMoment(inst, inst, tlindex, m);
      if (inst->i_timelineloop && np < 0) inst->i_timelineposition = tl->Step(count - 1);
    }
  }
}

void Alarms() {
  for (int k = 0; k < 12; ++k) {
    ForEachReceiver(ev_alarm, k, [k](CInstance* inst) {
      int& t = inst->i_timer[size_t(k)];
      if (t >= 0) {
        --t;
        if (t == 0) Perform_Event(inst, inst, ev_alarm, k);
      }
      return !RoomChangePending();
    });
    if (RoomChangePending()) return;
  }
}

void Motion() {
  CRoomInstances* l = Lists();
  if (l == nullptr) return;
  const int n = l->Count();
  for (int i = 0; i < n; ++i) {
    CInstance* inst = l->At(i);
    if (inst == nullptr || inst->i_marked) continue;
    // At rest (no speed, friction, gravity or path) nothing below changes
    // the instance: the same position is no change and keeps the box.
    if (inst->i_hspeed == 0 && inst->i_vspeed == 0 && inst->i_friction == 0 && inst->i_gravity == 0 &&
        inst->i_pathindex < 0)
      continue;
    inst->Adapt_Speed();
    if (inst->Adapt_Path()) Perform_Event(inst, inst, ev_other, 8);
    inst->SetPosition(inst->i_x + inst->i_hspeed, inst->i_y + inst->i_vspeed);
  }
}

// The rules of the outside and boundary events for one rectangle.
bool Outside(const CInstance& i, double l, double t, double r, double b) {
  if (i.HasShape()) return !(i.i_bbox.right >= l && i.i_bbox.left <= r && i.i_bbox.bottom >= t && i.i_bbox.top <= b);
  return !(l <= i.i_x && i.i_x <= r && t <= i.i_y && i.i_y <= b);
}
bool Boundary(const CInstance& i, double l, double t, double r, double b) {
  if (i.HasShape()) return !(i.i_bbox.left >= l && i.i_bbox.right <= r && i.i_bbox.top >= t && i.i_bbox.bottom <= b);
  return !(l <= i.i_x && i.i_x <= r && t <= i.i_y && i.i_y <= b);
}

void OutsideEvent(int number, bool boundary, double l, double t, double r, double b) {
  ForEachReceiver(ev_other, number, [&](CInstance* inst) {
    if (boundary ? Boundary(*inst, l, t, r, b) : Outside(*inst, l, t, r, b)) Perform_Event(inst, inst, ev_other, number);
    return true;
  });
}

void OutsideAndBoundary() {
  CRunRoom* room = Run_Room();
  if (room == nullptr) return;
  const double w = room->room.r_width, h = room->room.r_height;
  OutsideEvent(0, false, 0, 0, w, h);
  OutsideEvent(1, true, 0, 0, w, h);
  for (int pass = 0; pass < 2; ++pass) {
    for (int v = 0; v < 8; ++v) {
      room = Run_Room();
      if (room == nullptr || RoomChangePending()) return;
      const CView& view = room->room.r_view[size_t(v)];
      if (!room->room.r_enableviews || !view.visible) continue;
      OutsideEvent((pass == 0 ? 40 : 50) + v, pass == 1, view.xview, view.yview, view.xview + view.wview,
                   view.yview + view.hview);
    }
  }
}

void Animation() {
  CRoomInstances* l = Lists();
  if (l == nullptr) return;
  // Without a receiver of animation end nothing is performed; instances
  // without a sprite would otherwise look the event up every step.
  const bool received = !EventReceivers(ev_other, 7).empty();
  const int n = l->Count();
  for (int i = 0; i < n; ++i) {
    CInstance* inst = l->At(i);
    if (inst == nullptr || inst->i_marked) continue;
    inst->i_imageindex += inst->i_imagespeed;
    // Without frames floor(index) >= 0 is index >= 0, for every double.
    const int frames = inst->ImageNumber();
    if (frames == 0 ? inst->i_imageindex >= 0 : std::floor(inst->i_imageindex) >= frames) {
      inst->i_imageindex -= frames;
      if (received) Perform_Event(inst, inst, ev_other, 7);
    }
  }
}
}  // namespace

RRunSettings& RunSettings() {
  static RRunSettings s;
  return s;
}

RDrawHooks& DrawHooks() {
  static RDrawHooks h;
  return h;
}

int64_t MicroTime() {
  if (RunSettings().fast) return g_virtual;
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - g_origin).count();
}

int64_t MicroTimeNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

void WaitMicroseconds(int64_t w) {
  if (w <= 0) return;
  if (RunSettings().fast) {
    g_virtual += w;
    PumpMessages();
    return;
  }
  const int64_t start = MicroTime(), target = start + w;
  // The sleep is cut into slices so that a termination signal is served
  // within one of them even at a room speed of 1.
  for (int64_t left = (w - 1000) / 1000; w >= 2000 && left > 0 && RunStopSignal() == 0; left -= 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 50)));
  for (;;) {
    const int64_t now = MicroTime();
    if (now >= target || now < start || RunStopSignal() != 0) break;
    PumpMessages();
  }
}

void HandleRoomChange() {
  if (ErrorTerminating()) New_Room = ROOM_ABORT;  // nothing undoes a fatal error
  switch (New_Room) {
    case ROOM_NONE:
      return;
    case ROOM_END:
      Running = false;
      return;
    case ROOM_ABORT:
      g_stoppedByError = true;
      Running = false;
      return;
    case ROOM_RESTART:
      EndGame();
      StartGame();
      return;
    case ROOM_LOAD:
      LoadPendingGame();
      return;
    default:
      if (RoomExists(New_Room)) GotoRoom(New_Room);
      else New_Room = ROOM_ABORT;
      return;
  }
}

// F9: "screenshot" + n + ".png" for the smallest n from 100 whose file does
// not exist yet.
static void SaveScreenshot() {
  std::optional<TBitmap32> frame = GR_D3D_Capture_Screen();
  if (!frame) return;
  for (int n = 100;; ++n) {
    const std::string name = "screenshot" + std::to_string(n) + ".png";
    std::error_code ec;
    if (std::filesystem::exists(name, ec) || ec) continue;
    frame->SaveToImageFile(name);
    return;
  }
}

void HandleSpecialKeys() {
  // Only the first matching key acts.
  if (opt_keyesc && keyboard_lastkey == VK_ESCAPE) {
    keyboard_lastkey = 0;
    New_Room = ROOM_END;  // as game_end
    return;
  }
  if (opt_keyf4 && keyboard_lastkey == VK_F4) {
    keyboard_lastkey = 0;
    WindowSetFullscreen(!WindowState().fullscreen);
    return;
  }
  // F5 / F6 save and load at once, inside the step.
  if (opt_keyf5 && keyboard_lastkey == VK_F5) {
    keyboard_lastkey = 0;
    SaveGame(SpecialKeySaveFile());
    return;
  }
  if (opt_keyf5 && keyboard_lastkey == VK_F6) {
    keyboard_lastkey = 0;
    LoadGame(SpecialKeySaveFile());
    return;
  }
  if (opt_keyf9 && keyboard_lastkey == VK_F9) {
    keyboard_lastkey = 0;
    SaveScreenshot();
  }
}

void TakeScreenshots(long long step, int transition_frame) {
  for (const RRunSettings::RScreenshot& shot : RunSettings().screenshots) {
    if (shot.step != step || shot.frame != transition_frame) continue;
    std::optional<TBitmap32> frame = GR_D3D_Capture_Screen();
    // Asked for on the command line, so a failure is the runner's, like
    // --dump-state's: said on stderr and in the exit status.
    if (!frame || !frame->SaveToImageFile(shot.file)) {
      std::fprintf(stderr, "roomrun: cannot write the screenshot to %s\n", shot.file.c_str());
      NoteOutputFailure();
    }
  }
}

// The frame cycle after a step's wait: present what was drawn, serve a
// display reset, and open the next frame.
// A repaint or resize the window system asked for while the loop waited.
static void ServeWindowRequests() {
  IGameWindow* w = GameWindow();
  if (w == nullptr || !w->TakeRepaintRequest()) return;
  WindowOnResize();
  WindowPaint();
}

static void NextFrame() {
  if (!Automatic_Draw || New_Room != ROOM_NONE) return;
  // The window may have been resized or switched to full screen since.
  GR_D3D_Set_Placement(WindowPlacement());
  GR_D3D_End_Frame();
  if (GR_D3D_Reset_Requested()) {
    if (IGameWindow* w = GameWindow()) w->RestoreDisplay();
    GR_D3D_Reset();
  }
  GR_D3D_Start_Frame();
}

// Whether the game window is the active window (always, without a window
// and offscreen, where nothing can take the focus away).
static bool WindowActive() {
  IGameWindow* w = GameWindow();
  return w == nullptr || w->HasFocus();
}

void DoStep() {
  if (opt_freeze && !WindowActive()) return;
  // Input that arrived since the last step (injected keys, scripted input).
  IO_DeliverQueued();
  // Before the room's lists are taken: F6 may replace the room.
  HandleSpecialKeys();
  if (!WindowActive()) IO_Clear();
  CRoomInstances* l = Lists();
  if (l == nullptr) return;
  // Nothing runs in this pass, so the list can be walked in place.
  for (const std::unique_ptr<CInstance>& inst : l->r_instance) {
    inst->i_xprevious = inst->i_x;
    inst->i_yprevious = inst->i_y;
    inst->i_pathpositionprevious = inst->i_pathposition;
  }
  StepEvents(1);
  PHASE_END_IF_PENDING();
  TimeLines();
  PHASE_END_IF_PENDING();
  Alarms();
  PHASE_END_IF_PENDING();
  IO_KeyboardPhase(PerformPhase);
  PHASE_END_IF_PENDING();
  IO_JoystickPhase(PerformPhase);
  PHASE_END_IF_PENDING();
  IO_MousePhase(PerformPhase, PerformPhaseWhere);
  PHASE_END_IF_PENDING();
  StepEvents(0);
  PHASE_END_IF_PENDING();
  Motion();
  OutsideAndBoundary();
  PHASE_END_IF_PENDING();
  CollisionEvents();
  PHASE_END_IF_PENDING();
  StepEvents(2);
  PHASE_END_IF_PENDING();
  if (CRoomInstances* lists = Lists()) lists->RemoveMarked();
  if (Automatic_Draw && DrawHooks().draw) {
    DrawHooks().draw();
    TakeScreenshots(StepCount + 1);
    PHASE_END_IF_PENDING();
  }
  if (CRunRoom* room = Run_Room()) room->room.ScrollBackground();
  Animation();
  ++Cursor_Subimage;
  IO_ClearStep();
}

void MainLoop() {
  HandleRoomChange();
  g_origin = Clock::now();
  g_virtual = 0;
  int64_t T = MicroTime(), S = T;
  Fps = 0;
  int c = 0;
  PumpMessages();
  while (Running && !Paused) {
    try {
      DoStep();
      ++StepCount;
      // Every step counts, even one with a room change pending.
      if (RunSettings().max_steps >= 0 && StepCount >= RunSettings().max_steps && New_Room != ROOM_ABORT) New_Room = ROOM_END;
      const int64_t N0 = MicroTime();
      if (N0 < T) T = N0;
      CRunRoom* room = Run_Room();
      if (room && room->room.r_speed < 1) room->room.r_speed = 1;
      const int64_t D = 1000000 / (room ? room->room.r_speed : 30);
      int64_t W = D - (N0 - T);
      W = std::clamp<int64_t>(W, 0, 1000000);
      WaitMicroseconds(W);
      // Without a device clock the mix advances by one step's length.
      if (IAudioOutput* audio = AudioOutput()) audio->Advance(D);
      NextFrame();
      T = N0 + W;
      if (T < S) S = T;
      if (T / 1000000 > S / 1000000) {
        Fps = c;
        c = 0;
        S = T;
      }
      ++c;
      // A termination signal that came while no code ran.
      if (RunStopSignal() != 0) RunAttend();
      HandleRoomChange();
      PumpMessages();
      ServeWindowRequests();
    } catch (...) {
      // A half-run step leaves the interpreter's state broken: never step
      // again. The runner ends the game with its message and a failure.
      Running = false;
      throw;
    }
  }
}

void StepOnce() {
  PumpMessages();
  DoStep();
  NextFrame();
  HandleRoomChange();
  PumpMessages();
}

void RunMainLoop() {
  // A signal that came while the game was loading: nothing of it runs.
  if (RunStopSignal() != 0 && !RunAttend()) return;
  if (!Running) {
    Running = true;
    StepCount = 0;
    g_stoppedByError = false;
    StartGame();
  }
  Running = true;
  Paused = false;
  MainLoop();
  if (!Running) {
    // A file the runner was asked for, not the game's: its failure is no
    // game error but shows in the exit status.
    std::string error;
    if (!RunSettings().dump_state.empty() && !DumpState(RunSettings().dump_state, &error)) {
      std::fprintf(stderr, "roomrun: cannot write the state to %s: %s\n", RunSettings().dump_state.c_str(),
                   error.c_str());
      NoteOutputFailure();
    }
    // Stopped from outside: no further game code, so no game end either.
    if (!RunStopped()) EndGame();
  }
}

void StopGame() {
  if (Paused) EndGame();
  Running = false;
  Paused = false;
}

void PauseGame() { Paused = true; }

void StepWhenPaused() {
  if (Running && Paused) StepOnce();
}

namespace {
// Whole numbers are written without a fraction.
nlohmann::json Number(double v) {
  if (!std::isfinite(v)) return nullptr;
  if (v == std::floor(v) && std::fabs(v) < 9e15) return static_cast<int64_t>(v);
  return v;
}
nlohmann::json ValueJson(const RValue& v) {
  if (v.kind == RValue::kString) return v.str;
  return Number(v.val);
}
nlohmann::json VariablesJson(const CVariableList& list) {
  nlohmann::json out = nlohmann::json::object();
  for (const RVariable& var : list.v_vars) {
    if (var.value.empty()) {
      out[VariableGetName(var.ind)] = ValueJson(var.simplevalue);
      continue;
    }
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : var.value) {
      nlohmann::json r = nlohmann::json::array();
      for (const RValue& e : row) r.push_back(ValueJson(e));
      rows.push_back(std::move(r));
    }
    out[VariableGetName(var.ind)] = {{"value", ValueJson(var.simplevalue)}, {"array", std::move(rows)}};
  }
  return out;
}
}  // namespace

bool DumpState(const std::string& file, std::string* error) {
  nlohmann::json doc;
  doc["room"] = Current_Room >= 0 ? nlohmann::json(GetRoomName(Current_Room)) : nlohmann::json(nullptr);
  doc["steps"] = StepCount;
  const auto records = [](const auto& list) {
    nlohmann::json out = nlohmann::json::array();
    for (auto& p : list) {
      if (p->i_marked) continue;
      out.push_back({{"id", p->i_id},
                     {"object", GetObjectName(p->i_objectindex)},
                     {"x", Number(p->i_x)},
                     {"y", Number(p->i_y)},
                     {"depth", Number(p->i_depth)},
                     {"variables", VariablesJson(p->i_vars)}});
    }
    return out;
  };
  CRoomInstances* l = Lists();
  doc["instances"] = l ? records(l->r_instance) : nlohmann::json::array();
  doc["deactivated"] = l ? records(l->r_instance_deact) : nlohmann::json::array();
  doc["globals"] = VariablesJson(GlobalVars());
  const std::string text = doc.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  return ReplaceFileSafely(file, reinterpret_cast<const uint8_t*>(text.data()), text.size(), false, error);
}
