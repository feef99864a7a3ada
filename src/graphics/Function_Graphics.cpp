// The drawing functions of the language for sprites and backgrounds, the
// texture functions and the blend-mode settings: argument reading and error
// reports on top of the sprites', backgrounds' and device's routines.
#include "graphics/Function_Graphics.h"

#include <cmath>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Texture.h"
#include "resources/Background_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Main.h"
#include "runtime/Instance_Class.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
constexpr const char* kNoSpriteDraw = "Trying to draw non-existing sprite.";
constexpr const char* kNoBackgroundDraw = "Trying to draw non-existing background.";
constexpr const char* kNoSpriteTexture = "Trying to get texture from non-existing sprite.";
constexpr const char* kNoBackgroundTexture = "Trying to get texture from non-existing background.";

#define ROUTINE(name)                                                                                  \
  void name([[maybe_unused]] CInstance* self, CInstance*, int, [[maybe_unused]] RValue& result, \
            [[maybe_unused]] RValue* args)

const CSprite* SpriteOr(const RValue& v, const char* error) {
  const CSprite* s = GetSprite(ArgInt(v));
  if (s == nullptr) ReportActionError(error, false);
  return s;
}

const CBackground* BackgroundOr(const RValue& v, const char* error) {
  const CBackground* b = GetBackground(ArgInt(v));
  if (b == nullptr) ReportActionError(error, false);
  return b;
}

// The instance's current frame: image_index rounded down.
int CurrentFrame(const CInstance* self) {
  if (self == nullptr || !std::isfinite(self->i_imageindex)) return 0;
  const double f = std::floor(self->i_imageindex);
  return f > 2147483647.0 ? INT32_MAX : f < -2147483648.0 ? INT32_MIN : int(f);
}

// A frame argument: rounded, negative meaning the instance's current frame.
int Frame(const CInstance* self, const RValue& v) {
  const int ind = ArgInt(v);
  return ind < 0 ? CurrentFrame(self) : ind;
}

// The region the tiled functions cover: the whole room.
void RoomRegion(double& w, double& h) {
  const CRoom* room = RoomCurrent();
  w = room ? room->r_width : 0;
  h = room ? room->r_height : 0;
}

double R(const RValue* args, int i) { return ArgReal(args[i]); }
int C(const RValue* args, int i) { return ArgColor(args[i]); }

constexpr int kWhite = 16777215;

ROUTINE(F_draw_self) {
  if (self == nullptr) return;
  const CSprite* s = GetSprite(self->i_spriteindex);
  if (s == nullptr) {
    ReportActionError(kNoSpriteDraw, false);
    return;
  }
  s->Draw(CurrentFrame(self), self->i_x, self->i_y, self->i_imagescalex, self->i_imagescaley, self->i_imageangle,
          int(self->i_imageblend), self->i_imagealpha);
}

ROUTINE(F_draw_sprite) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw)) s->DrawSimple(Frame(self, args[1]), R(args, 2), R(args, 3));
}
ROUTINE(F_draw_sprite_ext) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->Draw(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), C(args, 7),
            R(args, 8));
}
ROUTINE(F_draw_sprite_pos) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawSpritePos(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7),
                     R(args, 8), R(args, 9), R(args, 10));
}
ROUTINE(F_draw_sprite_stretched) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawStretched(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), kWhite, 1);
}
ROUTINE(F_draw_sprite_stretched_ext) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawStretched(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), C(args, 6), R(args, 7));
}
ROUTINE(F_draw_sprite_part) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawPart(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7), 1, 1,
                kWhite, 1);
}
ROUTINE(F_draw_sprite_part_ext) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawPart(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7),
                R(args, 8), R(args, 9), C(args, 10), R(args, 11));
}
ROUTINE(F_draw_sprite_general) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw))
    s->DrawGeneral(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7),
                   R(args, 8), R(args, 9), R(args, 10), C(args, 11), C(args, 12), C(args, 13), C(args, 14),
                   R(args, 15));
}
ROUTINE(F_draw_sprite_tiled) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw)) {
    double w, h;
    RoomRegion(w, h);
    s->DrawTiled(Frame(self, args[1]), R(args, 2), R(args, 3), 1, 1, true, true, 0, 0, w, h, kWhite, 1);
  }
}
ROUTINE(F_draw_sprite_tiled_ext) {
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteDraw)) {
    double w, h;
    RoomRegion(w, h);
    s->DrawTiled(Frame(self, args[1]), R(args, 2), R(args, 3), R(args, 4), R(args, 5), true, true, 0, 0, w, h,
                 C(args, 6), R(args, 7));
  }
}

ROUTINE(F_draw_background) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw)) b->DrawSimple(R(args, 1), R(args, 2));
}
ROUTINE(F_draw_background_ext) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->Draw(R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), C(args, 6), R(args, 7));
}
ROUTINE(F_draw_background_stretched) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->DrawStretched(R(args, 1), R(args, 2), R(args, 3), R(args, 4), kWhite, 1);
}
ROUTINE(F_draw_background_stretched_ext) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->DrawStretched(R(args, 1), R(args, 2), R(args, 3), R(args, 4), C(args, 5), R(args, 6));
}
ROUTINE(F_draw_background_part) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->DrawPart(R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), 1, 1, kWhite, 1);
}
ROUTINE(F_draw_background_part_ext) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->DrawPart(R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7), R(args, 8),
                C(args, 9), R(args, 10));
}
ROUTINE(F_draw_background_general) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw))
    b->DrawGeneral(R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), R(args, 6), R(args, 7), R(args, 8),
                   R(args, 9), C(args, 10), C(args, 11), C(args, 12), C(args, 13), R(args, 14));
}
ROUTINE(F_draw_background_tiled) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw)) {
    double w, h;
    RoomRegion(w, h);
    b->DrawTiled(R(args, 1), R(args, 2), 1, 1, true, true, 0, 0, w, h, kWhite, 1);
  }
}
ROUTINE(F_draw_background_tiled_ext) {
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundDraw)) {
    double w, h;
    RoomRegion(w, h);
    b->DrawTiled(R(args, 1), R(args, 2), R(args, 3), R(args, 4), true, true, 0, 0, w, h, C(args, 5), R(args, 6));
  }
}

ROUTINE(F_sprite_get_texture) {
  result.SetReal(-1);
  if (const CSprite* s = SpriteOr(args[0], kNoSpriteTexture)) result.SetReal(s->GetTexture(Frame(self, args[1])));
}
ROUTINE(F_background_get_texture) {
  result.SetReal(-1);
  if (const CBackground* b = BackgroundOr(args[0], kNoBackgroundTexture)) result.SetReal(b->GetTexture());
}
ROUTINE(F_texture_exists) { result.SetReal(GR_Texture_Exists(ArgInt(args[0])) ? 1 : 0); }
ROUTINE(F_texture_get_width) { result.SetReal(GR_Texture_Width(ArgInt(args[0]))); }
ROUTINE(F_texture_get_height) { result.SetReal(GR_Texture_Height(ArgInt(args[0]))); }
ROUTINE(F_texture_preload) { GR_Texture_Preload(ArgInt(args[0])); }
ROUTINE(F_texture_set_priority) { GR_Texture_Set_Priority(ArgInt(args[0]), ArgInt(args[1])); }
ROUTINE(F_texture_set_interpolation) { GR_D3D_Set_Interpolation(ArgBool(args[0])); }
ROUTINE(F_texture_set_blending) { GR_D3D_Set_Texture_Blending(ArgBool(args[0])); }
ROUTINE(F_texture_set_repeat) { GR_D3D_Set_Texture_Repeat(ArgBool(args[0])); }
ROUTINE(F_draw_set_blend_mode) { GR_D3D_Set_Blend_Mode(ArgInt(args[0])); }
ROUTINE(F_draw_set_blend_mode_ext) { GR_D3D_Set_Blend(ArgInt(args[0]), ArgInt(args[1])); }

constexpr RBuiltin kFunctions[] = {
    {"draw_self", F_draw_self, 0},
    {"draw_sprite", F_draw_sprite, 4},
    {"draw_sprite_ext", F_draw_sprite_ext, 9},
    {"draw_sprite_pos", F_draw_sprite_pos, 11},
    {"draw_sprite_stretched", F_draw_sprite_stretched, 6},
    {"draw_sprite_stretched_ext", F_draw_sprite_stretched_ext, 8},
    {"draw_sprite_part", F_draw_sprite_part, 8},
    {"draw_sprite_part_ext", F_draw_sprite_part_ext, 12},
    {"draw_sprite_general", F_draw_sprite_general, 16},
    {"draw_sprite_tiled", F_draw_sprite_tiled, 4},
    {"draw_sprite_tiled_ext", F_draw_sprite_tiled_ext, 8},
    {"draw_background", F_draw_background, 3},
    {"draw_background_ext", F_draw_background_ext, 8},
    {"draw_background_stretched", F_draw_background_stretched, 5},
    {"draw_background_stretched_ext", F_draw_background_stretched_ext, 7},
    {"draw_background_part", F_draw_background_part, 7},
    {"draw_background_part_ext", F_draw_background_part_ext, 11},
    {"draw_background_general", F_draw_background_general, 15},
    {"draw_background_tiled", F_draw_background_tiled, 3},
    {"draw_background_tiled_ext", F_draw_background_tiled_ext, 7},
    {"sprite_get_texture", F_sprite_get_texture, 2},
    {"background_get_texture", F_background_get_texture, 1},
    {"texture_exists", F_texture_exists, 1},
    {"texture_get_width", F_texture_get_width, 1},
    {"texture_get_height", F_texture_get_height, 1},
    {"texture_preload", F_texture_preload, 1},
    {"texture_set_priority", F_texture_set_priority, 2},
    {"texture_set_interpolation", F_texture_set_interpolation, 1},
    {"texture_set_blending", F_texture_set_blending, 1},
    {"texture_set_repeat", F_texture_set_repeat, 1},
    {"draw_set_blend_mode", F_draw_set_blend_mode, 1},
    {"draw_set_blend_mode_ext", F_draw_set_blend_mode_ext, 2},
};
}  // namespace

const RFunctionLibrary kLibrary_Graphics{"Graphics", kFunctions};
