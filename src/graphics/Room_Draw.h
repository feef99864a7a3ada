#pragma once
// Drawing the room once per step or on request, and sizing the region from
// the room's views.
#include "graphics/Graphics_Rect.h"

// The whole per-frame draw: views follow, then each visible view (or the
// whole room) is drawn, and the caption is set.
void DrawScreen();
void DrawRoomRect(const TRect& rect);
void UpdateViews();
// At room start, before the first draw.
void SetRegionFromRoom();
// Waits for the start of the display's next refresh (not in fast runs).
void ScreenWaitVsync();
// screen_redraw: draw, present, begin the next frame.
void ScreenRedraw();

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Room_Draw;
