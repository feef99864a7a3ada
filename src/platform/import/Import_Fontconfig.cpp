// fontconfig's functions, opened when the first font is looked up by name.
#include <fontconfig/fontconfig.h>

static_assert(FC_MAJOR == 2, "the soname below is fontconfig 2's");

#include "platform/Library_Loader.h"

#define RR_FONTCONFIG_FUNCTIONS(X) \
  X(FcBool, FcConfigSubstitute, {}, (FcConfig* a0, FcPattern* a1, FcMatchKind a2), (a0, a1, a2)) \
  X(void, FcDefaultSubstitute, void(), (FcPattern* a0), (a0)) \
  X(void, FcFini, void(), (void), ()) \
  X(FcPattern*, FcFontMatch, {}, (FcConfig* a0, FcPattern* a1, FcResult* a2), (a0, a1, a2)) \
  X(FcBool, FcInit, {}, (void), ()) \
  X(FcBool, FcPatternAddBool, {}, (FcPattern* a0, const char* a1, FcBool a2), (a0, a1, a2)) \
  X(FcBool, FcPatternAddInteger, {}, (FcPattern* a0, const char* a1, int a2), (a0, a1, a2)) \
  X(FcBool, FcPatternAddString, {}, (FcPattern* a0, const char* a1, const FcChar8* a2), (a0, a1, a2)) \
  X(FcPattern*, FcPatternCreate, {}, (void), ()) \
  X(void, FcPatternDestroy, void(), (FcPattern* a0), (a0)) \
  X(FcResult, FcPatternGetInteger, FcResultNoMatch, (const FcPattern* a0, const char* a1, int a2, int* a3), (a0, a1, a2, a3)) \
  X(FcResult, FcPatternGetString, FcResultNoMatch, (const FcPattern* a0, const char* a1, int a2, FcChar8 **a3), (a0, a1, a2, a3))

RR_IMPORT_LIBRARY(FontconfigLibrary, "libfontconfig.so.1", "finding fonts", RR_FONTCONFIG_FUNCTIONS)
