// Drawing the room: views following their instances, backgrounds, tiles and
// instances by depth, foregrounds and the cursor sprite, view by view.
#include "graphics/Room_Draw.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <cmath>
#include <vector>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "platform/Platform.h"
#include "resources/Background_Main.h"
#include "resources/Object_Main.h"
#include "resources/Room_Class.h"
#include "runner/Support_File.h"
#include "resources/Sprite_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Object_Lists.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Spaces.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"
#include "script/Variable_BuiltIn.h"

namespace {

constexpr double kBackDepth = 12000, kMaxDepth = 11000, kForeDepth = -12000, kCursorDepth = -13000;

int Div(int a, int b) { return a / b; }  // truncating, as the rules ask

// The first unmarked instance a view follows, or null.
CInstance* Followed(CRunRoom& r, int index) {
  if (index > kMaxObjectIndex) {
    for (auto& p : r.inst.r_instance)
      if (p->i_id == index && !p->i_marked) return p.get();
    return nullptr;
  }
  if (!ObjectExists(index)) return nullptr;
  for (int k = 0;; ++k) {
    CInstance* inst = r.inst.Obj_Instance_Recursive(index, k);
    if (inst == nullptr) return nullptr;
    if (!inst->i_marked) return inst;
  }
}

// One axis of view following.
int Follow(int pos, int view, int size, int border, int speed, int room) {
  int n;
  if (2 * border < size) {
    n = pos - border;
    if (n >= view) n = (view + size < pos + border) ? pos + border - size : view;
  } else {
    n = pos - Div(size, 2);
  }
  if (n < 0) n = 0;
  if (n + size > room) n = room - size;
  if (speed >= 0 && std::abs(n - view) > speed) n = view + (n > view ? speed : -speed);
  return n;
}

void DrawLayers(const CRoom& room, bool foreground, const TRect& rect) {
  for (const CBack& b : room.r_background) {
    if (!b.visible || b.foreground != foreground) continue;
    const CBackground* bg = GetBackground(b.index);
    if (bg == nullptr) continue;
    bg->DrawTiled(b.x, b.y, b.xscale, b.yscale, b.htiled, b.vtiled, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, b.blend, b.alpha);
  }
}

bool TileTouches(const RTile& t, const TRect& r) {
  double x1 = t.x, x2 = t.x + t.w * t.xscale, y1 = t.y, y2 = t.y + t.h * t.yscale;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  return x2 >= r.left && x1 <= r.right && y2 >= r.top && y1 <= r.bottom;
}

void DrawInstance(CInstance* inst) {
  int supplier = -1;
  if (FindEventWithSupplier(inst->i_objectindex, ev_draw, 0, supplier) != nullptr) {
    Perform_Event(inst, inst, ev_draw, 0);
    return;
  }
  const CSprite* spr = GetSprite(inst->i_spriteindex);
  if (spr == nullptr) return;
  const int frame = int(std::floor(inst->i_imageindex));
  if (inst->i_imagescalex == 1 && inst->i_imagescaley == 1 && inst->i_imageangle == 0 &&
      inst->i_imageblend == 16777215 && inst->i_imagealpha == 1)
    spr->DrawSimple(frame, inst->i_x, inst->i_y);
  else
    spr->Draw(frame, inst->i_x, inst->i_y, inst->i_imagescalex, inst->i_imagescaley, inst->i_imageangle,
              int(inst->i_imageblend), inst->i_imagealpha);
}

// Instances in depth order, highest first, equal depths in list order. A
// view of the room's list: the list's own order is the order events run in.
std::vector<CInstance*> SortedInstances(CRunRoom& r) {
  std::vector<CInstance*> out;
  out.reserve(r.inst.r_instance.size());
  for (auto& p : r.inst.r_instance) out.push_back(p.get());
  const auto higher = [](CInstance* a, CInstance* b) { return a->i_depth > b->i_depth; };
  if (!std::is_sorted(out.begin(), out.end(), higher)) std::stable_sort(out.begin(), out.end(), higher);
  return out;
}

}  // namespace

void UpdateViews() {
  CRunRoom* r = Run_Room();
  if (r == nullptr) return;
  CRoom& room = r->room;
  if (!room.r_enableviews) {
    for (int i = 0; i < 8; ++i) ViewMappingClear(i);
    return;
  }
  for (CView& v : room.r_view) {
    if (!v.visible || v.index < 0) continue;
    CInstance* inst = Followed(*r, v.index);
    if (inst == nullptr) continue;
    const int ix = int(std::nearbyint(inst->i_x)), iy = int(std::nearbyint(inst->i_y));
    v.xview = Follow(ix, v.xview, v.wview, v.hborder, v.hspeed, room.r_width);
    v.yview = Follow(iy, v.yview, v.hview, v.vborder, v.vspeed, room.r_height);
  }
  for (int i = 0; i < 8; ++i) {
    ViewMappingClear(i);
    const CView& v = room.r_view[size_t(i)];
    if (v.visible) ViewMappingSet(i, v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport, v.angle);
  }
}

void DrawRoomRect(const TRect& rect) {
  CRunRoom* r = Run_Room();
  if (r == nullptr) return;
  const CRoom& room = r->room;
  if (GR_D3D_Get_3D()) GR_D3D_Clear_Depth();
  if (room.r_showcolor) GR_D3D_Clear(room.r_color, 1);
  GR_D3D_Set_Depth(kBackDepth);
  DrawLayers(room, false, rect);

  // Tiles (sorted by DrawScreen) and instances merged by depth; at equal
  // depths the instance first. Instances a draw event creates wait for the
  // next frame.
  const std::vector<CInstance*> insts = SortedInstances(*r);
  const std::vector<RTile>& tiles = room.r_tile;
  const size_t ninst = insts.size(), tile_count = tiles.size();
  size_t n = 0, t = 0;
  for (;;) {
    // A draw event may delete tiles, shortening the list.
    const size_t ntile = std::min(tile_count, tiles.size());
    while (n < ninst && (insts[n]->i_marked || !insts[n]->i_visible)) ++n;
    while (t < ntile && !tiles[t].visible) ++t;
    if (n >= ninst && t >= ntile) break;
    if (n >= ninst || (t < ntile && tiles[t].depth > insts[n]->i_depth)) {
      const RTile& tile = tiles[t++];
      const CBackground* bg = GetBackground(tile.index);
      if (bg == nullptr || !TileTouches(tile, rect)) continue;
      GR_D3D_Set_Depth(std::min(tile.depth, kMaxDepth));
      bg->DrawPart(tile.xo, tile.yo, tile.w, tile.h, tile.x, tile.y, tile.xscale, tile.yscale, tile.blend,
                   tile.alpha);
    } else {
      CInstance* inst = insts[n++];
      GR_D3D_Set_Depth(std::min(inst->i_depth, kMaxDepth));
      DrawInstance(inst);
      // A draw event may end the room; the lists are gone then.
      if (Run_Room() != r) return;
    }
  }

  GR_D3D_Set_Depth(kForeDepth);
  DrawLayers(room, true, rect);
  GR_D3D_Set_Depth(kCursorDepth);
  if (const CSprite* cursor = GetSprite(Cursor_Sprite))
    cursor->Draw(Cursor_Subimage, WindowViewsMouseX(), WindowViewsMouseY(), 1, 1, 0, 16777215, 1);
}

void DrawScreen() {
  CRunRoom* r = Run_Room();
  if (r == nullptr || !GR_D3D_Exists()) return;
  UpdateViews();
  CRoom& room = r->room;
  room.SortTiles();
  if (room.r_enableviews) {
    if (room.r_clearViewBackground) GR_D3D_Clear(WindowGetColor(), 1);
    for (int i = 0; i < 8; ++i) {
      if (Run_Room() != r) break;
      const CView& v = room.r_view[size_t(i)];
      View_Current = i;
      if (!v.visible) continue;
      GR_D3D_Set_Viewport(v.xport, v.yport, v.wport, v.hport);
      GR_D3D_Set_View(v.xview, v.yview, v.wview, v.hview, v.angle);
      TRect rect{v.xview, v.yview, v.xview + v.wview, v.yview + v.hview};
      if (std::fabs(v.angle) >= 0.01)
        rect = TRect{v.xview - Div(v.hview, 2), v.yview - Div(v.wview, 2), v.xview + v.wview + Div(v.hview, 2),
                     v.yview + v.hview + Div(v.wview, 2)};
      DrawRoomRect(rect);
    }
    GR_D3D_Set_Viewport(0, 0, GR_D3D_Region_Width(), GR_D3D_Region_Height());
    GR_D3D_Set_View(0, 0, GR_D3D_Region_Width(), GR_D3D_Region_Height(), 0);
  } else {
    View_Current = 0;
    GR_D3D_Set_Viewport(0, 0, room.r_width, room.r_height);
    GR_D3D_Set_View(0, 0, room.r_width, room.r_height, 0);
    DrawRoomRect(TRect{0, 0, room.r_width, room.r_height});
  }
  if (Run_Room() == r) WindowSetCaption(CaptionWithScores(room.r_caption));
  View_Current = 0;
}

void SetRegionFromRoom() {
  CRunRoom* r = Run_Room();
  if (r == nullptr) return;
  const CRoom& room = r->room;
  int w = room.r_width, h = room.r_height;
  if (room.r_enableviews) {
    w = h = 8;
    for (const CView& v : room.r_view) {
      if (!v.visible) continue;
      w = std::max(w, v.xport + v.wport);
      h = std::max(h, v.yport + v.hport);
    }
  }
  WindowFitRegion(w, h);
}

// There is no vertical-blank signal to wait on: the wait ends where the next
// refresh of the display would begin, by the clock. Fast runs do not wait.
void ScreenWaitVsync() {
  if (RunSettings().fast) return;
  const int hz = GameWindow() ? std::max(GameWindow()->Display().frequency, 1) : 60;
  const int64_t period = 1000000 / hz;
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  std::this_thread::sleep_for(std::chrono::microseconds(period - now % period));
}

void ScreenRedraw() {
  DrawScreen();
  GR_D3D_End_Frame();
  GR_D3D_Start_Frame();
}

namespace {
// screen_save and screen_save_part; a failure to write is not reported.
void SaveScreen(const std::string& fname, std::optional<TBitmap32> picture) {
  if (fname.empty()) {
    ReportError("Trying to save screen to empty image file name.", false);
    return;
  }
  if (picture) GR_Picture_Save(fname, *picture);
}

void F_screen_save(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const std::string& fname = ArgString(args[0]);
  SaveScreen(fname, fname.empty() ? std::nullopt : GR_D3D_Capture_Screen());
}
void F_screen_save_part(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const std::string& fname = ArgString(args[0]);
  SaveScreen(fname, fname.empty() ? std::nullopt
                                  : GR_D3D_Capture(ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]),
                                                   ArgInt(args[4])));
}
void F_set_synchronization(CInstance*, CInstance*, int, RValue&, RValue* args) {
  GR_D3D_Set_Synchronization(ArgBool(args[0]));
}
void F_screen_wait_vsync(CInstance*, CInstance*, int, RValue&, RValue*) { ScreenWaitVsync(); }

// The colour of a room point as drawn so far, through the view being drawn.
void F_draw_getpixel(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  double x = ArgReal(args[0]), y = ArgReal(args[1]);
  CRunRoom* r = Run_Room();
  if (r && r->room.r_enableviews && ViewMappingInUse(View_Current)) ViewRoomToRegion(View_Current, x, y, x, y);
  result.SetReal(GR_D3D_Get_Pixel(int(std::nearbyint(x)), int(std::nearbyint(y))));
}

void F_screen_redraw(CInstance*, CInstance*, int, RValue&, RValue*) { ScreenRedraw(); }
void F_screen_refresh(CInstance*, CInstance*, int, RValue&, RValue*) { GR_D3D_Refresh(); }
void F_set_automatic_draw(CInstance*, CInstance*, int, RValue&, RValue* args) { Automatic_Draw = ArgBool(args[0]); }

constexpr RBuiltin kFunctions[] = {
    {"screen_redraw", F_screen_redraw, 0},
    {"screen_refresh", F_screen_refresh, 0},
    {"set_automatic_draw", F_set_automatic_draw, 1},
    {"set_synchronization", F_set_synchronization, 1},
    {"screen_wait_vsync", F_screen_wait_vsync, 0},
    {"screen_save", F_screen_save, 1},
    {"draw_getpixel", F_draw_getpixel, 2},
    {"screen_save_part", F_screen_save_part, 5},
};

void Install() {
  DrawHooks().draw = DrawScreen;
  DrawHooks().room_start = SetRegionFromRoom;
}
}  // namespace

const RFunctionLibrary kLibrary_Room_Draw{"Room_Draw", kFunctions, Install};
