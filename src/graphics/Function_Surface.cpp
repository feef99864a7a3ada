// The surface functions of the language: argument reading and error reports
// on top of the surface list and the textured-quad routines.
#include "graphics/Function_Surface.h"

#include <cmath>

#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "resources/Room_Main.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
constexpr const char* kNoSurface = "Trying to use non-existing surface.";
constexpr int kWhite = 16777215;
constexpr double kDegToRad = M_PI / 180;

#define ROUTINE(name) \
  void name(CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

double R(const RValue* args, int i) { return ArgReal(args[i]); }
int I(const RValue* args, int i) { return ArgInt(args[i]); }

// The texture of an existing surface, or -1 after the error report.
int TextureOr(const RValue& v) {
  const int id = ArgInt(v);
  if (!GR_Surface_Exists(id)) {
    ReportActionError(kNoSurface, false);
    return -1;
  }
  return GR_Surface_Texture(id);
}

ROUTINE(F_surface_create) {
  const int w = I(args, 0), h = I(args, 1);
  const std::string error = GR_Surface_Size_Error(w, h);
  if (!error.empty()) {
    ReportActionError(error, false);
    result.SetReal(-1);
    return;
  }
  result.SetReal(GR_Surface_Create(w, h));
}
// Kept for games that call it: it never makes a surface.
ROUTINE(F_surface_create_ext) { result.SetReal(-1); }
ROUTINE(F_surface_free) { GR_Surface_Free(I(args, 0)); }
ROUTINE(F_surface_exists) { result.SetReal(GR_Surface_Exists(I(args, 0)) ? 1 : 0); }
ROUTINE(F_surface_get_width) { result.SetReal(GR_Surface_Width(I(args, 0))); }
ROUTINE(F_surface_get_height) { result.SetReal(GR_Surface_Height(I(args, 0))); }
ROUTINE(F_surface_get_texture) { result.SetReal(GR_Surface_Texture(I(args, 0))); }
ROUTINE(F_surface_set_target) { result.SetReal(GR_Surface_Set_Target(I(args, 0)) ? 1 : 0); }
ROUTINE(F_surface_reset_target) { result.SetReal(GR_Surface_Reset_Target() ? 1 : 0); }

ROUTINE(F_draw_surface) {
  const int tex = TextureOr(args[0]);
  if (tex >= 0) GR_Texture_Draw_Simple(tex, R(args, 1), R(args, 2));
}
ROUTINE(F_draw_surface_ext) {
  const int tex = TextureOr(args[0]);
  if (tex >= 0)
    GR_Texture_Draw(tex, ArgColor(args[6]), 0, 0, R(args, 1), R(args, 2), R(args, 3), R(args, 4),
                    R(args, 5) * kDegToRad, R(args, 7));
}
void Stretched(const RValue* args, int color, double alpha) {
  const int id = ArgInt(args[0]);
  const int tex = TextureOr(args[0]);
  const double w = R(args, 3), h = R(args, 4);
  const int sw = GR_Surface_Width(id), sh = GR_Surface_Height(id);
  if (tex < 0 || !(w > 0) || !(h > 0) || sw <= 0 || sh <= 0) return;
  GR_Texture_Draw(tex, color, 0, 0, R(args, 1), R(args, 2), w / sw, h / sh, 0, alpha);
}
ROUTINE(F_draw_surface_stretched) { Stretched(args, kWhite, 1); }
ROUTINE(F_draw_surface_stretched_ext) { Stretched(args, ArgColor(args[5]), R(args, 6)); }
ROUTINE(F_draw_surface_part) {
  const int tex = TextureOr(args[0]);
  if (tex >= 0)
    GR_Texture_Draw_Part(tex, kWhite, R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), 1, 1,
                         0, 1);
}
ROUTINE(F_draw_surface_part_ext) {
  const int tex = TextureOr(args[0]);
  if (tex >= 0)
    GR_Texture_Draw_Part(tex, ArgColor(args[9]), R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5),
                         R(args, 6), R(args, 7), R(args, 8), 0, R(args, 10));
}
ROUTINE(F_draw_surface_general) {
  const int tex = TextureOr(args[0]);
  if (tex >= 0)
    GR_Texture_Draw_General(tex, ArgColor(args[10]), ArgColor(args[11]), ArgColor(args[12]), ArgColor(args[13]),
                            R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7),
                            R(args, 8), R(args, 9) * kDegToRad, R(args, 14));
}
// Tiled both ways over the whole room.
void Tiled(const RValue* args, double xscale, double yscale, int color, double alpha) {
  const int tex = TextureOr(args[0]);
  if (tex < 0) return;
  const CRoom* room = RoomCurrent();
  const double w = room ? room->r_width : 0, h = room ? room->r_height : 0;
  GR_Texture_Draw_Tiled(tex, 0, 0, R(args, 1), R(args, 2), xscale, yscale, true, true, 0, 0, w, h, color, alpha);
}
ROUTINE(F_draw_surface_tiled) { Tiled(args, 1, 1, kWhite, 1); }
ROUTINE(F_draw_surface_tiled_ext) { Tiled(args, R(args, 3), R(args, 4), ArgColor(args[5]), R(args, 6)); }

// A failure to write is not reported: the game goes on.
void Save(const RValue* args, int x, int y, int w, int h) {
  const int id = ArgInt(args[0]);
  const std::string& fname = ArgString(args[1]);
  if (!GR_Surface_Exists(id)) {
    ReportActionError(kNoSurface, false);
    return;
  }
  if (fname.empty()) {
    ReportActionError("Trying to save surface to empty image file name.", false);
    return;
  }
  if (std::optional<TBitmap32> picture = GR_Surface_Get_Picture(id, x, y, w, h)) GR_Picture_Save(fname, *picture);
}
ROUTINE(F_surface_save) {
  const int id = I(args, 0);
  Save(args, 0, 0, GR_Surface_Width(id), GR_Surface_Height(id));
}
ROUTINE(F_surface_save_part) { Save(args, I(args, 2), I(args, 3), I(args, 4), I(args, 5)); }

ROUTINE(F_surface_getpixel) {
  const int id = I(args, 0);
  if (!GR_Surface_Exists(id)) {
    ReportActionError(kNoSurface, false);
    return;
  }
  std::optional<TBitmap32> px = GR_Surface_Get_Picture(id, I(args, 1), I(args, 2), 1, 1);
  if (!px) return;
  const TColor32 c = px->s_data[0];
  result.SetReal(C32_Red(c) | (C32_Green(c) << 8) | (C32_Blue(c) << 16));
}

bool BothExist(int dest, int src) {
  if (GR_Surface_Exists(dest) && GR_Surface_Exists(src)) return true;
  ReportActionError(kNoSurface, false);
  return false;
}
ROUTINE(F_surface_copy) {
  const int dest = I(args, 0), src = I(args, 3);
  if (BothExist(dest, src))
    GR_Surface_Copy_Part(dest, I(args, 1), I(args, 2), src, 0, 0, GR_Surface_Width(src), GR_Surface_Height(src));
}
ROUTINE(F_surface_copy_part) {
  const int dest = I(args, 0), src = I(args, 3);
  if (BothExist(dest, src))
    GR_Surface_Copy_Part(dest, I(args, 1), I(args, 2), src, I(args, 4), I(args, 5), I(args, 6), I(args, 7));
}

constexpr RBuiltin kFunctions[] = {
    {"surface_create", F_surface_create, 2},
    {"surface_create_ext", F_surface_create_ext, 2},
    {"surface_free", F_surface_free, 1},
    {"surface_exists", F_surface_exists, 1},
    {"surface_get_width", F_surface_get_width, 1},
    {"surface_get_height", F_surface_get_height, 1},
    {"surface_get_texture", F_surface_get_texture, 1},
    {"surface_set_target", F_surface_set_target, 1},
    {"surface_reset_target", F_surface_reset_target, 0},
    {"draw_surface", F_draw_surface, 3},
    {"draw_surface_ext", F_draw_surface_ext, 8},
    {"draw_surface_stretched", F_draw_surface_stretched, 5},
    {"draw_surface_stretched_ext", F_draw_surface_stretched_ext, 7},
    {"draw_surface_part", F_draw_surface_part, 7},
    {"draw_surface_part_ext", F_draw_surface_part_ext, 11},
    {"draw_surface_general", F_draw_surface_general, 15},
    {"draw_surface_tiled", F_draw_surface_tiled, 3},
    {"draw_surface_tiled_ext", F_draw_surface_tiled_ext, 7},
    {"surface_save", F_surface_save, 2},
    {"surface_save_part", F_surface_save_part, 6},
    {"surface_getpixel", F_surface_getpixel, 3},
    {"surface_copy", F_surface_copy, 4},
    {"surface_copy_part", F_surface_copy_part, 8},
};
}  // namespace

const RFunctionLibrary kLibrary_Surface{"Surface", kFunctions};
