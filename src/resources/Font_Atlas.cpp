#include "resources/Font_Atlas.h"

#include <algorithm>
#include <numeric>

#include "resources/Font_Class.h"
#include "resources/Font_Raster.h"

namespace {
std::unique_ptr<IFontRasteriser>& Slot() {
  static std::unique_ptr<IFontRasteriser> r;
  return r;
}
constexpr int kGap = 2;
constexpr int kMaxAtlas = 2048;
}  // namespace

IFontRasteriser* FontRasteriser() {
  if (!Slot()) Slot() = MakeInstalledFontRasteriser();
  return Slot().get();
}
void SetFontRasteriser(std::unique_ptr<IFontRasteriser> r) { Slot() = std::move(r); }

bool LayoutGlyphs(const std::vector<std::pair<int, int>>& sizes, int w, int h, std::vector<int>* xs,
                  std::vector<int>* ys) {
  int x = 0, y = 0, rowh = 0;
  for (const auto& [gw, gh] : sizes) {
    if (x > 0 && x + gw >= w) {
      y += rowh + kGap;
      x = 0;
      rowh = 0;
    }
    if (xs) xs->push_back(x);
    if (ys) ys->push_back(y);
    x += gw + kGap;
    rowh = std::max(rowh, gh);
  }
  return y + rowh <= h && (sizes.empty() || std::all_of(sizes.begin(), sizes.end(), [&](const auto& s) {
                             return s.first <= w;
                           }));
}

void ChooseAtlasSize(const std::vector<std::pair<int, int>>& sizes, int& w, int& h) {
  w = h = kMaxAtlas;
  int tw = kMaxAtlas, th = kMaxAtlas;
  bool height_next = true;
  while (tw >= 1 && th >= 1 && LayoutGlyphs(sizes, tw, th)) {
    w = tw;
    h = th;
    if (height_next) th /= 2;
    else tw /= 2;
    height_next = !height_next;
  }
}

void CFont::CreateFont(const std::string& name, int size, bool bold, bool italic, int first, int last) {
  Clear();
  s_name = name;
  s_size = size;
  s_bold = bold;
  s_italic = italic;
  s_first = std::max(first, 0);
  s_last = std::min(last, 255);
  s_charset = 1;
  s_AntiAlias = 3;
  IFontRasteriser* r = FontRasteriser();
  if (r == nullptr || !r->Select(name, size, bold, italic, s_charset)) return;
  const RFontMetrics fm = r->Metrics();
  s_FontHeight = -1;
  int spacewidth = 99999;
  std::vector<RGlyph> glyphs(256);
  auto measure = [&](int c) {
    RGlyph g = r->Glyph(c);
    if (c == 32) spacewidth = g.advance != 0 ? g.advance : std::min(fm.avgwidth, fm.maxwidth);
    if (g.has_bitmap) {
      s_w[size_t(c)] = g.w;
      s_h[size_t(c)] = fm.ascent + g.h - g.oy;
      s_shift[size_t(c)] = g.advance - std::min(g.ox, 0);
      s_offset[size_t(c)] = g.ox;
    } else {
      s_w[size_t(c)] = s_h[size_t(c)] = s_shift[size_t(c)] = s_offset[size_t(c)] = 0;
    }
    s_x[size_t(c)] = s_y[size_t(c)] = 0;
    glyphs[size_t(c)] = std::move(g);
  };
  for (int c = s_first; c <= s_last; ++c) {
    measure(c);
    s_FontHeight = std::max(s_FontHeight, s_h[size_t(c)]);
  }
  // A range without the space still needs its width for unknown characters.
  if (spacewidth == 99999) {
    const RGlyph g = r->Glyph(32);
    spacewidth = g.advance != 0 ? g.advance : std::min(fm.avgwidth, fm.maxwidth);
  }
  if (s_h[32] == 0) s_h[32] = s_FontHeight;
  if (s_w[32] == 0) s_w[32] = s_shift[32] = spacewidth;

  std::vector<int> order;
  for (int c = s_first; c <= s_last; ++c) order.push_back(c);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return int64_t(s_w[size_t(a)]) * s_h[size_t(a)] > int64_t(s_w[size_t(b)]) * s_h[size_t(b)];
  });
  std::vector<std::pair<int, int>> sizes;
  for (int c : order) sizes.emplace_back(std::max(s_w[size_t(c)], 0), std::max(s_h[size_t(c)], 0));
  ChooseAtlasSize(sizes, s_bw, s_bh);
  std::vector<int> xs, ys;
  LayoutGlyphs(sizes, s_bw, s_bh, &xs, &ys);
  s_bytes.assign(size_t(s_bw) * size_t(s_bh), 0);
  for (size_t k = 0; k < order.size(); ++k) {
    const int c = order[k];
    s_x[size_t(c)] = xs[k];
    s_y[size_t(c)] = ys[k];
    const RGlyph& g = glyphs[size_t(c)];
    if (c == 32 || !g.has_bitmap) continue;
    const size_t stride = size_t((g.w + 3) & ~3);
    const int top = ys[k] + fm.ascent - g.oy;
    for (int row = 0; row < g.h; ++row) {
      const int ty = top + row;
      if (ty < 0 || ty >= s_bh || (size_t(row) + 1) * stride > g.bits.size()) continue;
      for (int col = 0; col < g.w; ++col) {
        const int tx = xs[k] + col;
        if (tx < 0 || tx >= s_bw) continue;
        s_bytes[size_t(ty) * size_t(s_bw) + size_t(tx)] =
            uint8_t(std::min(g.bits[size_t(row) * stride + size_t(col)] * 4, 255));
      }
    }
  }
  if (s_FontHeight < 0) s_FontHeight = 0;
  InitTexture();
}
