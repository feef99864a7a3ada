// Room transitions: preparing the two pictures, the 21 built-in effects, the
// game's own transition scripts, and the frames played between two rooms.
#include "graphics/Graphics_Transition.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Window.h"
#include "graphics/Room_Draw.h"
#include "platform/Platform.h"
#include "runtime/Event_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Spaces.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {

constexpr int kWhite = 16777215;
constexpr int kMaxUserKind = 999999;

struct RUserTransition {
  int function = -1;  // a script (from kScriptFunctionBase) or an extension function
  std::string name;
};
// Bindings made by transition_define; they last for the whole run.
std::unordered_map<int, RUserTransition> g_user;

int g_prepared = 0;  // the kind being played, -1 when preparing failed
int g_a = -1, g_b = -1;

int Round(double v) { return int(std::nearbyint(v)); }

void FreeSurfaces() {
  if (GR_Surface_Target() == g_a || GR_Surface_Target() == g_b) GR_Surface_Reset_Target();
  GR_Surface_Free(g_a);
  GR_Surface_Free(g_b);
  g_a = g_b = -1;
}

// draw_surface and draw_surface_part of the effects, at the same place.
void Whole(int s, double x, double y) { GR_Texture_Draw_Simple(GR_Surface_Texture(s), x, y); }
void Part(int s, double l, double t, double w, double h) {
  GR_Texture_Draw_Part(GR_Surface_Texture(s), kWhite, l, t, w, h, l, t, 1, 1, 0, 1);
}
void Faded(int s, double alpha) { GR_Texture_Draw(GR_Surface_Texture(s), kWhite, 0, 0, 0, 0, 1, 1, 0, alpha); }

void Wipe(int dx, int dy, int a, int b, int W, int H, double t) {
  Whole(a, 0, 0);
  const int ws = Round(W * t), hs = Round(H * t);
  if (dx > 0) Part(b, 0, 0, ws, H);
  if (dx < 0) Part(b, W - ws, 0, ws, H);
  if (dy > 0) Part(b, 0, 0, W, hs);
  if (dy < 0) Part(b, 0, H - hs, W, hs);
}

// Every second stripe appears, one per step, during the first half; the
// rest of the new room is wiped in from the same side in the second.
void Stripes(int dx, int dy, int a, int b, int W, int H, double t, int steps) {
  const int count = Round(t * steps), g = steps / 2;
  if (count == steps) {
    Whole(b, 0, 0);
    return;
  }
  if (g < count) Wipe(dx, dy, a, b, W, H, double(count - g) / g);
  else Whole(a, 0, 0);
  const auto shown = [&](int d, int i) { return d == 1 ? i <= count : i >= g - count; };
  for (int i = 0; i <= g; ++i) {
    if (dx != 0 && shown(dx, i)) Part(b, Round(2.0 * i * W / steps), 0, Round(double(W) / steps), H);
    if (dy != 0 && shown(dy, i)) Part(b, 0, Round(2.0 * i * H / steps), W, Round(double(H) / steps));
  }
}

// B grows from nothing to full size while turning about the region's centre.
void Turn(int sign, int a, int b, int W, int H, double t) {
  Whole(a, 0, 0);
  const double e = sign * 2 * M_PI * std::sqrt(t);
  const double x = W / 2.0 - (W * t / 2) * std::cos(e) - (H * t / 2) * std::sin(e);
  const double y = H / 2.0 + (W * t / 2) * std::sin(e) - (H * t / 2) * std::cos(e);
  GR_Texture_Draw(GR_Surface_Texture(b), kWhite, 0, 0, x, y, t, t, e, 1);
}

// The game's transition: a script or extension function called with A, B,
// the region size and t, by a throw-away instance.
void DrawUser(const RUserTransition& u, int W, int H, double t) {
  if (u.function < kScriptFunctionBase) return;
  CInstance dummy;
  dummy.Create(0, 0, 0, 0);
  RValue args[5];
  args[0].SetReal(g_a);
  args[1].SetReal(g_b);
  args[2].SetReal(W);
  args[3].SetReal(H);
  args[4].SetReal(t);
  RValue result;
  ErrorClear();
  const bool ok = u.function < kExtensionFunctionBase
                      ? ExecuteScript(u.function - kScriptFunctionBase, &dummy, &dummy, result, false, args, 5)
                      : ExtensionFunctionCall(u.function - kExtensionFunctionBase, &dummy, &dummy, result, args, 5);
  if (!ok) {
    const std::string error = ErrorText();
    ErrorClear();
    ReportError("ERROR in transition function " + u.name + "\r" + error, false);
  }
}

// The frames of the effect, each presented, with the window's messages
// pumped in between so that a long transition leaves the window alive.
void Play() {
  GR_Surface_Reset_Target();
  const int W = GR_D3D_Region_Width(), H = GR_D3D_Region_Height();
  GR_D3D_Set_Viewport(0, 0, W, H);
  GR_D3D_Set_View(0, 0, W, H, 0);
  const int steps = std::max(Transition_Steps, 1);
  const auto user = g_user.find(g_prepared);
  for (int count = 0; count <= steps; ++count) {
    GR_D3D_Start_Frame();
    const double t = double(count) / steps;
    if (user != g_user.end()) DrawUser(user->second, W, H, t);
    else GR_Transition_Draw_Builtin(g_prepared, g_a, g_b, W, H, t, steps);
    TakeScreenshots(StepCount, count);
    PumpMessages();
    ScreenWaitVsync();
    GR_D3D_Set_Placement(WindowPlacement());
    GR_D3D_End_Frame();
    // The player closed the window (or a message ended the game) meanwhile:
    // the rest of the effect is not waited for.
    if (New_Room == ROOM_END || New_Room == ROOM_ABORT || ErrorTerminating()) break;
  }
}

}  // namespace

bool GR_Transition_Exists(int kind) {
  return (kind >= 1 && kind <= kTransitionBuiltinKinds) || g_user.count(kind) > 0;
}

void GR_Transition_Draw_Builtin(int kind, int a, int b, int W, int H, double t, int steps) {
  const int wt = Round(W * t), ht = Round(H * t);
  switch (kind) {
    case 1: Wipe(1, 0, a, b, W, H, t); break;
    case 2: Wipe(-1, 0, a, b, W, H, t); break;
    case 3: Wipe(0, 1, a, b, W, H, t); break;
    case 4: Wipe(0, -1, a, b, W, H, t); break;
    case 5:
      Whole(a, 0, 0);
      Part(b, Round((W - W * t) * 0.5), Round((H - H * t) * 0.5), wt, ht);
      break;
    case 6: Whole(a, 0, 0); Whole(b, wt - W, 0); break;
    case 7: Whole(a, 0, 0); Whole(b, W - wt, 0); break;
    case 8: Whole(a, 0, 0); Whole(b, 0, ht - H); break;
    case 9: Whole(a, 0, 0); Whole(b, 0, H - ht); break;
    case 10: Stripes(1, 0, a, b, W, H, t, steps); break;
    case 11: Stripes(-1, 0, a, b, W, H, t, steps); break;
    case 12: Stripes(0, 1, a, b, W, H, t, steps); break;
    case 13: Stripes(0, -1, a, b, W, H, t, steps); break;
    case 14: Whole(a, wt, 0); Whole(b, wt - W, 0); break;
    case 15: Whole(a, -wt, 0); Whole(b, W - wt, 0); break;
    case 16: Whole(a, 0, ht); Whole(b, 0, ht - H); break;
    case 17: Whole(a, 0, -ht); Whole(b, 0, H - ht); break;
    case 18: Turn(1, a, b, W, H, t); break;
    case 19: Turn(-1, a, b, W, H, t); break;
    case 20: Whole(a, 0, 0); Faded(b, t); break;
    case 21:
      GR_D3D_Clear(0, 1);
      if (t > 0.5) Faded(b, 2 * t - 1);
      else Faded(a, 1 - 2 * t);
      break;
    default: break;
  }
}

void GR_Transition_Prepare(int kind) {
  // A transition prepared but never played (its room was left at once).
  FreeSurfaces();
  g_prepared = kind;
  if (!GR_Transition_Exists(kind) || !GR_D3D_Exists()) return;
  const int W = GR_D3D_Region_Width(), H = GR_D3D_Region_Height();
  g_a = GR_Surface_Create(W, H);
  if (g_a < 0) {
    g_prepared = -1;
    return;
  }
  GR_Surface_Set_Target(g_a);
  // The draw events run: nothing is pending while the room is drawn.
  const int pending = New_Room;
  New_Room = ROOM_NONE;
  DrawScreen();
  New_Room = pending;
  g_b = GR_Surface_Create(W, H);
  if (g_b < 0) {
    g_prepared = -1;
    FreeSurfaces();
    return;
  }
  GR_Surface_Set_Target(g_b);
}

void GR_Transition_Enter_Room() {
  if (g_a < 0 || g_b < 0) return;
  // A device reset in between took the surfaces; otherwise B would stay the
  // drawing target for good when the frame is not drawn now.
  if (!GR_Surface_Exists(g_a) || !GR_Surface_Exists(g_b) || RoomChangePending() || !Automatic_Draw) {
    FreeSurfaces();
    return;
  }
  if (GR_Surface_Target() != g_b) GR_Surface_Set_Target(g_b);
  DrawScreen();
  Play();
  FreeSurfaces();
  GR_D3D_Start_Frame();
}

namespace {

// Binds kind to a script or extension function. Nothing bound, nothing
// claimed: a name that is no script, or a kind outside 1-999999, gives 0.
void F_transition_define(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const int kind = ArgInt(args[0]);
  const std::string& name = ArgString(args[1]);
  const int function = FunctionFind(name);
  if (function < kScriptFunctionBase || kind < 1 || kind > kMaxUserKind) {
    result.SetReal(0);
    return;
  }
  g_user[kind] = RUserTransition{function, name};
  result.SetReal(1);
}

void F_transition_exists(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  result.SetReal(GR_Transition_Exists(ArgInt(args[0])) ? 1 : 0);
}

constexpr RBuiltin kFunctions[] = {
    {"transition_define", F_transition_define, 2},
    {"transition_exists", F_transition_exists, 1},
};

void Install() {
  DrawHooks().transition_prepare = [] { GR_Transition_Prepare(Transition_Kind); };
  DrawHooks().transition_enter = GR_Transition_Enter_Room;
}

}  // namespace

const RFunctionLibrary kLibrary_Transition{"Transition", kFunctions, Install};
