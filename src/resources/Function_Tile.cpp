#include "resources/Function_Tile.h"

#include <cmath>
#include <cstdint>

#include "resources/Background_Main.h"
#include "resources/Room_Main.h"
#include "script/Function_Library.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Operator.h"

namespace {
constexpr const char* kNoTile = "Tile does not exist.";
constexpr const char* kNoBackground = "Background does not exist.";

#define ROUTINE(name) \
  void name(CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)


// The tile with the id in args[0] in the current room, or null after
// reporting that it does not exist.
RTile* TileOf(const RValue& id) {
  CRoom* room = RoomCurrent();
  const int ind = room ? room->FindTile(ArgInt(id)) : -1;
  if (ind < 0) {
    ReportActionError(kNoTile, false);
    return nullptr;
  }
  return &room->r_tile[size_t(ind)];
}

template <class F>
void Get(RValue& result, RValue* args, F field) {
  if (const RTile* t = TileOf(args[0])) result.SetReal(field(*t));
}

ROUTINE(F_tile_get_x) { Get(result, args, [](const RTile& t) { return t.x; }); }
ROUTINE(F_tile_get_y) { Get(result, args, [](const RTile& t) { return t.y; }); }
ROUTINE(F_tile_get_left) { Get(result, args, [](const RTile& t) { return double(t.xo); }); }
ROUTINE(F_tile_get_top) { Get(result, args, [](const RTile& t) { return double(t.yo); }); }
ROUTINE(F_tile_get_width) { Get(result, args, [](const RTile& t) { return double(t.w); }); }
ROUTINE(F_tile_get_height) { Get(result, args, [](const RTile& t) { return double(t.h); }); }
ROUTINE(F_tile_get_depth) { Get(result, args, [](const RTile& t) { return t.depth; }); }
ROUTINE(F_tile_get_visible) { Get(result, args, [](const RTile& t) { return t.visible ? 1.0 : 0.0; }); }
ROUTINE(F_tile_get_xscale) { Get(result, args, [](const RTile& t) { return t.xscale; }); }
ROUTINE(F_tile_get_yscale) { Get(result, args, [](const RTile& t) { return t.yscale; }); }
ROUTINE(F_tile_get_blend) { Get(result, args, [](const RTile& t) { return double(t.blend); }); }
ROUTINE(F_tile_get_alpha) { Get(result, args, [](const RTile& t) { return t.alpha; }); }
ROUTINE(F_tile_get_background) {
  result.SetReal(-1);
  Get(result, args, [](const RTile& t) { return double(t.index); });
}

ROUTINE(F_tile_set_position) {
  if (RTile* t = TileOf(args[0])) {
    t->x = ArgReal(args[1]);
    t->y = ArgReal(args[2]);
  }
}
ROUTINE(F_tile_set_visible) {
  if (RTile* t = TileOf(args[0])) t->visible = ArgReal(args[1]) >= 0.5;
}
ROUTINE(F_tile_set_background) {
  RTile* t = TileOf(args[0]);
  if (t == nullptr) return;
  const int b = ArgInt(args[1]);
  if (!BackgroundExists(b)) {
    ReportActionError(kNoBackground, false);
    return;
  }
  t->index = b;
}
ROUTINE(F_tile_set_region) {
  if (RTile* t = TileOf(args[0])) {
    t->xo = ArgInt(args[1]);
    t->yo = ArgInt(args[2]);
    t->w = ArgInt(args[3]);
    t->h = ArgInt(args[4]);
  }
}
ROUTINE(F_tile_set_depth) {
  if (RTile* t = TileOf(args[0])) t->depth = ArgReal(args[1]);
}
ROUTINE(F_tile_set_scale) {
  if (RTile* t = TileOf(args[0])) {
    t->xscale = ArgReal(args[1]);
    t->yscale = ArgReal(args[2]);
  }
}
ROUTINE(F_tile_set_blend) {
  if (RTile* t = TileOf(args[0])) t->blend = ArgInt(args[1]);
}
ROUTINE(F_tile_set_alpha) {
  if (RTile* t = TileOf(args[0])) t->alpha = ArgReal(args[1]);
}

ROUTINE(F_tile_add) {
  result.SetReal(-1);
  const int b = ArgInt(args[0]);
  if (!BackgroundExists(b)) {
    ReportActionError(kNoBackground, false);
    return;
  }
  CRoom* room = RoomCurrent();
  if (room == nullptr) return;
  RTile t;
  t.index = b;
  t.xo = ArgInt(args[1]);
  t.yo = ArgInt(args[2]);
  t.w = ArgInt(args[3]);
  t.h = ArgInt(args[4]);
  t.x = ArgReal(args[5]);
  t.y = ArgReal(args[6]);
  t.depth = ArgReal(args[7]);
  const int ind = room->AddTile(t);
  result.SetReal(room->r_tile[size_t(ind)].id);
}

ROUTINE(F_tile_delete) {
  if (TileOf(args[0]) == nullptr) return;
  CRoom* room = RoomCurrent();
  room->DeleteTile(room->FindTile(ArgInt(args[0])));
}

ROUTINE(F_tile_exists) {
  CRoom* room = RoomCurrent();
  result.SetReal(room && room->FindTile(ArgInt(args[0])) >= 0 ? 1 : 0);
}

ROUTINE(F_tile_find) {
  result.SetReal(-1);
  CRoom* room = RoomCurrent();
  if (room == nullptr) return;
  const int ind = room->FindTileAt(ArgInt(args[0]), ArgInt(args[1]), ArgReal(args[2]) >= 0.5);
  if (ind >= 0) result.SetReal(room->r_tile[size_t(ind)].id);
}

ROUTINE(F_tile_delete_at) {
  if (CRoom* room = RoomCurrent()) room->DeleteTilesAt(ArgInt(args[0]), ArgInt(args[1]), ArgReal(args[2]) >= 0.5);
}

ROUTINE(F_tile_layer_hide) {
  if (CRoom* room = RoomCurrent()) room->HideTilesDepth(ArgReal(args[0]));
}
ROUTINE(F_tile_layer_show) {
  if (CRoom* room = RoomCurrent()) room->ShowTilesDepth(ArgReal(args[0]));
}
ROUTINE(F_tile_layer_delete) {
  if (CRoom* room = RoomCurrent()) room->DeleteTilesDepth(ArgReal(args[0]));
}
ROUTINE(F_tile_layer_shift) {
  if (CRoom* room = RoomCurrent()) room->ShiftTilesDepth(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]));
}
ROUTINE(F_tile_layer_find) {
  result.SetReal(-1);
  CRoom* room = RoomCurrent();
  if (room == nullptr) return;
  const int ind = room->FindTileAtDepth(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[0]));
  if (ind >= 0) result.SetReal(room->r_tile[size_t(ind)].id);
}
ROUTINE(F_tile_layer_delete_at) {
  if (CRoom* room = RoomCurrent()) room->DeleteTilesAtDepth(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[0]));
}
ROUTINE(F_tile_layer_depth) {
  if (CRoom* room = RoomCurrent()) room->ChangeTilesDepth(ArgReal(args[0]), ArgReal(args[1]));
}

#undef ROUTINE
}  // namespace

namespace {
constexpr RBuiltin kFunctions[] = {
    {"tile_add", F_tile_add, 8},
    {"tile_delete", F_tile_delete, 1},
    {"tile_exists", F_tile_exists, 1},
    {"tile_get_x", F_tile_get_x, 1},
    {"tile_get_y", F_tile_get_y, 1},
    {"tile_get_left", F_tile_get_left, 1},
    {"tile_get_top", F_tile_get_top, 1},
    {"tile_get_width", F_tile_get_width, 1},
    {"tile_get_height", F_tile_get_height, 1},
    {"tile_get_depth", F_tile_get_depth, 1},
    {"tile_get_visible", F_tile_get_visible, 1},
    {"tile_get_xscale", F_tile_get_xscale, 1},
    {"tile_get_yscale", F_tile_get_yscale, 1},
    {"tile_get_background", F_tile_get_background, 1},
    {"tile_get_blend", F_tile_get_blend, 1},
    {"tile_get_alpha", F_tile_get_alpha, 1},
    {"tile_set_position", F_tile_set_position, 3},
    {"tile_set_region", F_tile_set_region, 5},
    {"tile_set_background", F_tile_set_background, 2},
    {"tile_set_visible", F_tile_set_visible, 2},
    {"tile_set_depth", F_tile_set_depth, 2},
    {"tile_set_scale", F_tile_set_scale, 3},
    {"tile_set_blend", F_tile_set_blend, 2},
    {"tile_set_alpha", F_tile_set_alpha, 2},
    {"tile_find", F_tile_find, 3},
    {"tile_delete_at", F_tile_delete_at, 3},
    {"tile_layer_hide", F_tile_layer_hide, 1},
    {"tile_layer_show", F_tile_layer_show, 1},
    {"tile_layer_delete", F_tile_layer_delete, 1},
    {"tile_layer_shift", F_tile_layer_shift, 3},
    {"tile_layer_find", F_tile_layer_find, 3},
    {"tile_layer_delete_at", F_tile_layer_delete_at, 3},
    {"tile_layer_depth", F_tile_layer_depth, 2},
};
}  // namespace

const RFunctionLibrary kLibrary_Tile{"Tile", kFunctions};
