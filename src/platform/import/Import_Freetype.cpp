// FreeType's functions, opened when the first font is rasterised.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

static_assert(FREETYPE_MAJOR == 2, "the soname below is FreeType 2's");

#include "platform/Library_Loader.h"

#define RR_FREETYPE_FUNCTIONS(X) \
  X(FT_Error, FT_Done_Face, FT_Err_Cannot_Open_Resource, (FT_Face a0), (a0)) \
  X(FT_Error, FT_Done_FreeType, FT_Err_Cannot_Open_Resource, (FT_Library a0), (a0)) \
  X(void, FT_GlyphSlot_Embolden, void(), (FT_GlyphSlot a0), (a0)) \
  X(void, FT_GlyphSlot_Oblique, void(), (FT_GlyphSlot a0), (a0)) \
  X(FT_Error, FT_Init_FreeType, FT_Err_Cannot_Open_Resource, (FT_Library* a0), (a0)) \
  X(FT_Error, FT_Load_Char, FT_Err_Cannot_Open_Resource, (FT_Face a0, FT_ULong a1, FT_Int32 a2), (a0, a1, a2)) \
  X(FT_Error, FT_New_Face, FT_Err_Cannot_Open_Resource, (FT_Library a0, const char* a1, FT_Long a2, FT_Face* a3), (a0, a1, a2, a3)) \
  X(FT_Error, FT_Render_Glyph, FT_Err_Cannot_Open_Resource, (FT_GlyphSlot a0, FT_Render_Mode a1), (a0, a1)) \
  X(FT_Error, FT_Set_Char_Size, FT_Err_Cannot_Open_Resource, (FT_Face a0, FT_F26Dot6 a1, FT_F26Dot6 a2, FT_UInt a3, FT_UInt a4), (a0, a1, a2, a3, a4))

RR_IMPORT_LIBRARY(FreetypeLibrary, "libfreetype.so.6", "drawing text", RR_FREETYPE_FUNCTIONS)
