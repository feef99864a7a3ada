// The text and font functions of the language: argument reading, the text a
// real argument stands for, and the error reports of the font functions, on
// top of the text module and the font table.
#include "graphics/Function_Text.h"

#include "graphics/Graphics_Text.h"
#include "library/Function_Math.h"
#include "resources/Font_Main.h"
#include "resources/Sprite_Main.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
#define ROUTINE(name) \
  void name(CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

double R(const RValue* args, int i) { return ArgReal(args[i]); }
int I(const RValue* args, int i) { return ArgInt(args[i]); }

// The text a drawing function shows: a real as string() gives it (a whole
// number as an integer, any other with two decimals).
std::string Shown(const RValue& v) { return v.kind == RValue::kString ? v.str : mathlib::RealToString(v.val); }

RTextColors Gradient(const RValue* args, int first) {
  RTextColors c;
  c.gradient = true;
  for (int k = 0; k < 4; ++k) c.c[k] = ArgColor(args[first + k]);
  c.alpha = ArgReal(args[first + 4]);
  return c;
}

ROUTINE(F_draw_set_font) { GR_Text_Set_Font(I(args, 0)); }
ROUTINE(F_draw_set_halign) { GR_Text_Set_Halign(I(args, 0)); }
ROUTINE(F_draw_set_valign) { GR_Text_Set_Valign(I(args, 0)); }

ROUTINE(F_string_width) { result.SetReal(GR_Text_Width(ArgString(args[0]), -1, -1)); }
ROUTINE(F_string_height) { result.SetReal(GR_Text_Height(ArgString(args[0]), -1, -1)); }
ROUTINE(F_string_width_ext) { result.SetReal(GR_Text_Width(ArgString(args[0]), I(args, 1), I(args, 2))); }
ROUTINE(F_string_height_ext) { result.SetReal(GR_Text_Height(ArgString(args[0]), I(args, 1), I(args, 2))); }

ROUTINE(F_draw_text) { GR_Text_Draw(R(args, 0), R(args, 1), Shown(args[2]), -1, -1, GR_Text_Draw_Colors()); }
ROUTINE(F_draw_text_ext) {
  GR_Text_Draw(R(args, 0), R(args, 1), Shown(args[2]), I(args, 3), I(args, 4), GR_Text_Draw_Colors());
}
ROUTINE(F_draw_text_transformed) {
  GR_Text_Draw_Transformed(R(args, 0), R(args, 1), Shown(args[2]), -1, -1, R(args, 3), R(args, 4), R(args, 5),
                           GR_Text_Draw_Colors());
}
ROUTINE(F_draw_text_ext_transformed) {
  GR_Text_Draw_Transformed(R(args, 0), R(args, 1), Shown(args[2]), I(args, 3), I(args, 4), R(args, 5), R(args, 6),
                           R(args, 7), GR_Text_Draw_Colors());
}
ROUTINE(F_draw_text_color) { GR_Text_Draw(R(args, 0), R(args, 1), Shown(args[2]), -1, -1, Gradient(args, 3)); }
ROUTINE(F_draw_text_transformed_color) {
  GR_Text_Draw_Transformed(R(args, 0), R(args, 1), Shown(args[2]), -1, -1, R(args, 3), R(args, 4), R(args, 5),
                           Gradient(args, 6));
}
ROUTINE(F_draw_text_ext_color) {
  GR_Text_Draw(R(args, 0), R(args, 1), Shown(args[2]), I(args, 3), I(args, 4), Gradient(args, 5));
}
ROUTINE(F_draw_text_ext_transformed_color) {
  GR_Text_Draw_Transformed(R(args, 0), R(args, 1), Shown(args[2]), I(args, 3), I(args, 4), R(args, 5), R(args, 6),
                           R(args, 7), Gradient(args, 8));
}

// --- the font table ------------------------------------------------------

ROUTINE(F_font_exists) { result.SetReal(FontExists(I(args, 0)) ? 1 : 0); }
ROUTINE(F_font_get_name) { result.SetString(GetFontName(I(args, 0))); }
ROUTINE(F_font_get_fontname) {
  const CFont* f = GetFont(I(args, 0));
  result.SetString(f ? f->s_name : std::string());
}

// The numeric getters: -1 for a font that does not exist.
template <int (*Field)(const CFont&)>
void FontGetter(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const CFont* f = GetFont(I(args, 0));
  result.SetReal(f ? Field(*f) : -1);
}
int Size(const CFont& f) { return f.s_size; }
int Bold(const CFont& f) { return f.s_bold ? 1 : 0; }
int Italic(const CFont& f) { return f.s_italic ? 1 : 0; }
int First(const CFont& f) { return f.s_first; }
int Last(const CFont& f) { return f.s_last; }

ROUTINE(F_font_add) {
  const int ind = AddFont();
  GetFont(ind)->CreateFont(ArgString(args[0]), I(args, 1), ArgBool(args[2]), ArgBool(args[3]), I(args, 4),
                           I(args, 5));
  result.SetReal(ind);
}
ROUTINE(F_font_add_sprite) {
  if (!SpriteExists(I(args, 0))) {
    ReportActionError("Trying to create font from non-existing sprite.", false);
    return;
  }
  const int ind = AddFont();
  GetFont(ind)->CreateFromSprite(I(args, 0), I(args, 1), ArgBool(args[2]), I(args, 3));
  result.SetReal(ind);
}
// Replacing keeps the entry and its name; the old glyphs and texture go.
ROUTINE(F_font_replace) {
  CFont* f = GetFont(I(args, 0));
  if (f == nullptr) {
    ReportActionError("Trying to replace non-existing font.", false);
    return;
  }
  f->CreateFont(ArgString(args[1]), I(args, 2), ArgBool(args[3]), ArgBool(args[4]), I(args, 5), I(args, 6));
  result.SetReal(1);
}
ROUTINE(F_font_replace_sprite) {
  CFont* f = GetFont(I(args, 0));
  if (f == nullptr) {
    ReportActionError("Trying to replace non-existing font.", false);
    return;
  }
  if (!SpriteExists(I(args, 1))) {
    ReportActionError("Trying to replace font from non-existing sprite.", false);
    return;
  }
  f->CreateFromSprite(I(args, 1), I(args, 2), ArgBool(args[3]), I(args, 4));
  result.SetReal(1);
}
ROUTINE(F_font_delete) {
  if (!DeleteFont(I(args, 0))) {
    ReportActionError("Trying to delete non-existing font.", false);
    return;
  }
  result.SetReal(1);
}

// chr() gives characters of the code page of the font text is drawn with.
int CurrentCodePage() {
  const CFont* f = GetFont(GR_Text_Get_Font());
  return CharsetCodePage(f ? f->s_charset : 1);
}
void Install() { ChrCodePageProvider = CurrentCodePage; }

constexpr RBuiltin kFunctions[] = {
    {"draw_set_font", F_draw_set_font, 1},
    {"draw_set_halign", F_draw_set_halign, 1},
    {"draw_set_valign", F_draw_set_valign, 1},
    {"string_width", F_string_width, 1},
    {"string_height", F_string_height, 1},
    {"string_width_ext", F_string_width_ext, 3},
    {"string_height_ext", F_string_height_ext, 3},
    {"draw_text", F_draw_text, 3},
    {"draw_text_ext", F_draw_text_ext, 5},
    {"draw_text_transformed", F_draw_text_transformed, 6},
    {"draw_text_ext_transformed", F_draw_text_ext_transformed, 8},
    {"draw_text_color", F_draw_text_color, 8},
    {"draw_text_transformed_color", F_draw_text_transformed_color, 11},
    {"draw_text_ext_color", F_draw_text_ext_color, 10},
    {"draw_text_ext_transformed_color", F_draw_text_ext_transformed_color, 13},
    {"font_name", F_font_get_name, 1},
    {"font_exists", F_font_exists, 1},
    {"font_get_name", F_font_get_name, 1},
    {"font_get_fontname", F_font_get_fontname, 1},
    {"font_get_size", FontGetter<Size>, 1},
    {"font_get_bold", FontGetter<Bold>, 1},
    {"font_get_italic", FontGetter<Italic>, 1},
    {"font_get_first", FontGetter<First>, 1},
    {"font_get_last", FontGetter<Last>, 1},
    {"font_add", F_font_add, 6},
    {"font_replace", F_font_replace, 7},
    {"font_add_sprite", F_font_add_sprite, 4},
    {"font_replace_sprite", F_font_replace_sprite, 5},
    {"font_delete", F_font_delete, 1},
};
}  // namespace

const RFunctionLibrary kLibrary_Text{"Text", kFunctions, Install};
