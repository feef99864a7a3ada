#pragma once
// Room transitions: the old room's last picture and the new room's first
// frame, shown as one of the built-in effects or a game's own transition
// script over steps + 1 frames.

// Kinds 1-21 are built in; a kind bound by transition_define takes
// precedence over a built-in one of the same number.
inline constexpr int kTransitionBuiltinKinds = 21;
bool GR_Transition_Exists(int kind);

// Leaving a room with transition_kind: the room is drawn once into surface
// A, and surface B becomes the target for the new room's first frame.
void GR_Transition_Prepare(int kind);
// Entering the new room: its first frame is drawn into B and the effect is
// played; without a prepared transition nothing happens. When the frame is
// not to be drawn now (a further room change is pending, or automatic
// drawing is off) the prepared surfaces are let go instead.
void GR_Transition_Enter_Room();

// One frame of a built-in kind: a and b are the two surfaces, t the fraction
// of the effect (0 first frame, 1 last), drawn into the current target of
// the w x h region.
void GR_Transition_Draw_Builtin(int kind, int a, int b, int w, int h, double t, int steps);

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Transition;
