#pragma once
// The rasteriser of installed fonts: fontconfig finds the font file by name
// and style, FreeType renders the glyphs.
#include <memory>

#include "resources/Font_Atlas.h"

std::unique_ptr<IFontRasteriser> MakeInstalledFontRasteriser();
