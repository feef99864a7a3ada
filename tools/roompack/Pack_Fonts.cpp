// Fonts: fonts/NAME.json and a picture holding the glyphs in a grid of equal
// cells, characters first, first + 1, ... left to right, row by row. The
// picture's alpha (or, for an opaque picture, its brightness) is the glyph
// coverage. Proportional fonts advance by each glyph's ink width.
#include <algorithm>

#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Font_Class.h"
#include "runner/DataNew_Write.h"

namespace {
CFont ReadFont(const Project& project, const std::string& name) {
  const std::string file = "fonts/" + name + ".json";
  const nlohmann::json doc = ReadResourceJson(project, file, true);
  const JsonField root(doc, file, "");
  root.CheckKeys({"picture", "cell", "first", "name", "size", "bold", "italic", "proportional", "spacing"});
  const std::string picfile = root.GetString("picture", "fonts/" + name + ".png");
  const TBitmap32 pic =
      LoadPicture(project, picfile, root.Find("picture") ? root.Member("picture") : root);
  const JsonField cell = root.Member("cell");
  if (cell.Size() != 2) cell.Fail("expected [width, height]");
  const int cw = cell.At(0).AsInt(), ch = cell.At(1).AsInt();
  if (cw < 1 || ch < 1 || cw > pic.s_w || ch > pic.s_h) cell.Fail("cells must fit the picture");
  const int first = root.GetInt("first", 32);
  if (first < 0 || first > 255) root.Member("first").Fail("expected 0 to 255");
  const int cols = pic.s_w / cw, rows = pic.s_h / ch;
  const int count = std::min(cols * rows, 256 - first);
  const bool prop = root.GetBool("proportional", false);
  const int spacing = root.GetInt("spacing", prop ? 1 : 0);

  bool opaque = true;
  for (TColor32 c : pic.s_data) opaque = opaque && C32_Alpha(c) == 255;
  CFont f;
  f.s_name = root.GetString("name", name);
  if (f.s_name.empty()) root.Member("name").Fail("a font needs a name");
  f.s_size = root.GetInt("size", ch);
  f.s_bold = root.GetBool("bold", false);
  f.s_italic = root.GetBool("italic", false);
  f.s_first = first;
  f.s_last = first + count - 1;
  f.s_charset = 1;
  f.s_AntiAlias = 3;
  f.s_bw = pic.s_w;
  f.s_bh = pic.s_h;
  f.s_bytes.resize(size_t(pic.s_w) * size_t(pic.s_h));
  for (size_t i = 0; i < f.s_bytes.size(); ++i) {
    const TColor32 c = pic.s_data[i];
    f.s_bytes[i] = opaque ? uint8_t((C32_Red(c) + C32_Green(c) + C32_Blue(c)) / 3) : C32_Alpha(c);
  }
  for (int k = 0; k < count; ++k) {
    const int c = first + k, x0 = (k % cols) * cw, y0 = (k / cols) * ch;
    int left = cw, right = -1;
    for (int x = 0; x < cw; ++x)
      for (int y = 0; y < ch; ++y)
        if (f.s_bytes[size_t(y0 + y) * size_t(pic.s_w) + size_t(x0 + x)] != 0) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
    if (!prop || right < 0) {
      left = 0;
      right = prop ? cw / 3 - 1 : cw - 1;  // an empty glyph in a proportional font: a third of a cell
    }
    f.s_x[size_t(c)] = x0 + left;
    f.s_y[size_t(c)] = y0;
    f.s_w[size_t(c)] = right - left + 1;
    f.s_h[size_t(c)] = ch;
    f.s_shift[size_t(c)] = right - left + 1 + spacing;
    f.s_offset[size_t(c)] = 0;
  }
  f.s_FontHeight = ch;
  return f;
}
}  // namespace

void PackFonts(const Project& project, CGameWriter& out) {
  PackResourceList(project, "fonts", kSectionVersionFonts, out,
                   [&](int, const std::string& name, CStream& rec) { ReadFont(project, name).SaveToStream(rec); });
}
