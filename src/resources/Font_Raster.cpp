#include "resources/Font_Raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "resources/Font_Class.h"

namespace {
// Point sizes are taken at 96 dots per inch, as on the desktop the games
// were made for.
constexpr int kDpi = 96;

class CInstalledFontRasteriser : public IFontRasteriser {
 public:
  ~CInstalledFontRasteriser() override {
    Close();
    if (lib_) FT_Done_FreeType(lib_);
  }

  bool Select(const std::string& name, int size, bool bold, bool italic, int charset) override {
    Close();
    if (!lib_ && FT_Init_FreeType(&lib_) != 0) {
      lib_ = nullptr;
      return false;
    }
    std::string file;
    int index = 0;
    if (!Find(name, bold, italic, file, index)) return false;
    if (FT_New_Face(lib_, file.c_str(), index, &face_) != 0) {
      face_ = nullptr;
      return false;
    }
    if (FT_Set_Char_Size(face_, 0, FT_F26Dot6(std::clamp(size, 1, 1000)) * 64, kDpi, kDpi) != 0) {
      Close();
      return false;
    }
    // Styles the file lacks are made up from the regular outlines.
    embolden_ = bold && !(face_->style_flags & FT_STYLE_FLAG_BOLD);
    oblique_ = italic && !(face_->style_flags & FT_STYLE_FLAG_ITALIC);
    const std::string page = "CP" + std::to_string(CharsetCodePage(charset));
    cd_ = iconv_open("UTF-32LE", page.c_str());
    return true;
  }

  RFontMetrics Metrics() override {
    RFontMetrics m;
    if (!face_) return m;
    const FT_Size_Metrics& sm = face_->size->metrics;
    m.ascent = int((sm.ascender + 63) >> 6);
    m.height = int((sm.height + 63) >> 6);
    m.maxwidth = int((sm.max_advance + 63) >> 6);
    const RGlyph x = Glyph('x');
    m.avgwidth = x.advance > 0 ? x.advance : m.maxwidth / 2;
    return m;
  }

  RGlyph Glyph(int code) override {
    RGlyph g;
    if (!face_) return g;
    const uint32_t ucs = ToUnicode(code);
    if (ucs == 0) return g;
    if (FT_Load_Char(face_, ucs, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return g;
    FT_GlyphSlot slot = face_->glyph;
    if (oblique_) FT_GlyphSlot_Oblique(slot);
    if (embolden_) FT_GlyphSlot_Embolden(slot);
    g.advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0 || bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.has_bitmap = true;
    g.w = int(bm.width);
    g.h = int(bm.rows);
    g.ox = slot->bitmap_left;
    g.oy = slot->bitmap_top;
    const size_t stride = size_t((g.w + 3) & ~3);
    g.bits.assign(stride * size_t(g.h), 0);
    const int levels = bm.num_grays > 1 ? int(bm.num_grays) - 1 : 255;
    for (int y = 0; y < g.h; ++y) {
      const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
      for (int x = 0; x < g.w; ++x) g.bits[size_t(y) * stride + size_t(x)] = uint8_t((row[x] * 64 + levels / 2) / levels);
    }
    return g;
  }

 private:
  static bool Find(const std::string& name, bool bold, bool italic, std::string& file, int& index) {
    if (!FcInit()) return false;
    // fontconfig keeps its configuration until told to let go.
    static const bool fini_at_exit = (std::atexit([] { FcFini(); }), true);
    (void)fini_at_exit;
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    FcPatternDestroy(pat);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
      file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return ok;
  }

  // A character code of the font's code page as a Unicode code point; 0 for
  // a code that stands for no character by itself (a lead byte).
  uint32_t ToUnicode(int code) {
    if (code < 0x80 || cd_ == iconv_t(-1)) return uint32_t(code);
    char in = char(code);
    uint32_t out = 0;
    char* ip = &in;
    char* op = reinterpret_cast<char*>(&out);
    size_t il = 1, ol = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &ip, &il, &op, &ol) == size_t(-1) || ol != 0) return 0;
    return out;
  }

  void Close() {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    if (cd_ != iconv_t(-1)) iconv_close(cd_);
    cd_ = iconv_t(-1);
  }

  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
  iconv_t cd_ = iconv_t(-1);
  bool embolden_ = false, oblique_ = false;
};
}  // namespace

std::unique_ptr<IFontRasteriser> MakeInstalledFontRasteriser() {
  return std::make_unique<CInstalledFontRasteriser>();
}
