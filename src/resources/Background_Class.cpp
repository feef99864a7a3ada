#include "resources/Background_Class.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

#include "graphics/Graphics_Texture.h"
#include "runner/Support_Stream.h"

CBackground::CBackground(const CBackground& back) { Assign(back); }

CBackground::CBackground(CBackground&& back) noexcept : i_bitmap(std::move(back.i_bitmap)), i_tex(back.i_tex) {
  back.i_tex = -1;
  back.i_bitmap.Clear();
}

CBackground& CBackground::operator=(const CBackground& back) {
  Assign(back);
  return *this;
}

CBackground& CBackground::operator=(CBackground&& back) noexcept {
  if (&back == this) return *this;
  FreeTexture();
  i_bitmap = std::move(back.i_bitmap);
  i_tex = back.i_tex;
  back.i_tex = -1;
  back.i_bitmap.Clear();
  return *this;
}

CBackground::~CBackground() { FreeTexture(); }

void CBackground::Clear() {
  i_bitmap.Clear();
  FreeTexture();
}

void CBackground::Assign(const CBackground& back) {
  if (&back == this) return;
  i_bitmap = back.i_bitmap;
  InitTexture();
}

void CBackground::InitTexture() {
  FreeTexture();
  i_tex = GR_Texture_Create_From_Bitmap(i_bitmap);
  GR_Texture_Preload(i_tex);
}

void CBackground::FreeTexture() {
  if (i_tex >= 0) GR_Texture_Free(i_tex);
  i_tex = -1;
}

bool CBackground::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 710) return false;
  return i_bitmap.LoadFromStream(str);
}

void CBackground::SaveToStream(CStream& str) const {
  str.WriteInteger(710);
  i_bitmap.SaveToStream(str);
}

bool CBackground::LoadFromBackgroundFile(const std::string& fname) {
  std::ifstream f(fname, std::ios::binary);
  if (!f) return false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  CStream s(std::move(bytes));
  try {
    return LoadFromBackgroundData(s);
  } catch (const std::exception&) {
    Clear();
    return false;
  }
}

bool CBackground::LoadFromBackgroundData(CStream& s) {
  if (s.ReadInteger() != 1234321) return false;
  CStream str = s.ReadStreamC();
  if (str.ReadInteger() != 710) return false;
  str.ReadBoolean();
  for (int i = 0; i < 6; ++i) str.ReadInteger();
  TBitmap32 bm;
  if (!bm.LoadFromStream(str)) return false;
  BM32_FixTransparentColors(bm);
  Clear();
  i_bitmap = std::move(bm);
  InitTexture();
  return true;
}

void CBackground::CreateFromBitmap(const TBitmap32& bbb, bool removeback, bool smooth) {
  Clear();
  i_bitmap = bbb;
  if (removeback) BM32_RemoveBackground(i_bitmap, 0);
  if (smooth) BM32_SmoothEdges(i_bitmap);
  if (removeback) BM32_FixTransparentColors(i_bitmap);
  InitTexture();
}

void CBackground::CreateColor(int w, int h, int col) {
  Clear();
  i_bitmap = TBitmap32(w, h, C32_FromColor(col, 255));
  InitTexture();
}

namespace {
int Mix(int col1, int col2, double t) {
  int out = 0;
  for (int sh = 0; sh <= 16; sh += 8) {
    const int a = (col1 >> sh) & 0xFF, b = (col2 >> sh) & 0xFF;
    const int v = int(std::nearbyint((1 - t) * a + t * b));
    out |= std::clamp(v, 0, 255) << sh;
  }
  return out;
}
}  // namespace

void CBackground::CreateGradient(int w, int h, int col1, int col2, int kind) {
  Clear();
  w = std::max(w, 1);
  h = std::max(h, 1);
  TBitmap32 bm(w, h, C32_FromColor(col1, 255));
  if (bm.Empty()) return;  // too large to hold
  auto hline = [&](int y, int col) {
    for (int x = 0; x < w; ++x) bm.SetPixel(x, y, C32_FromColor(col, 255));
  };
  auto vline = [&](int x, int col) {
    for (int y = 0; y < h; ++y) bm.SetPixel(x, y, C32_FromColor(col, 255));
  };
  const int m = std::min(w, h) / 2;
  switch (kind) {
    case 0:
      for (int i = 0; i < w; ++i) vline(i, Mix(col1, col2, double(i) / w));
      break;
    case 1:
      for (int i = 0; i < h; ++i) hline(i, Mix(col1, col2, double(i) / h));
      break;
    case 2:
    case 3: {
      // Nested boxes from (i, i) to (w - i, h - i), right and bottom
      // exclusive; each pixel takes the colour of the innermost box (or
      // ellipse in that box) that covers it.
      const double cx = w / 2.0, cy = h / 2.0;
      auto inside = [&](int i, int x, int y) {
        if (x < i || y < i || x >= w - i || y >= h - i) return false;
        if (kind == 2) return true;
        const double rx = (w - 2.0 * i) / 2, ry = (h - 2.0 * i) / 2;
        const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
        return dx * dx + dy * dy <= 1;
      };
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          if (!inside(0, x, y)) continue;
          int lo = 0, hi = m;  // inside(lo) holds; find the largest such i
          while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (inside(mid, x, y)) lo = mid;
            else hi = mid - 1;
          }
          bm.SetPixel(x, y, C32_FromColor(Mix(col1, col2, m > 0 ? double(lo) / m : 0), 255));
        }
      break;
    }
    case 4: {
      const int n = w / 2;
      for (int i = 0; i <= n; ++i) {
        const int col = Mix(col1, col2, n > 0 ? double(i) / n : 0);
        vline(i, col);
        vline(w - i, col);
      }
      break;
    }
    case 5: {
      const int n = h / 2;
      for (int i = 0; i <= n; ++i) {
        const int col = Mix(col1, col2, n > 0 ? double(i) / n : 0);
        hline(i, col);
        hline(h - i, col);
      }
      break;
    }
    case 6:
    case 7:
      // Diagonal sweeps: line i runs from the left edge at row i to the top
      // edge (kind 6) or from the left edge at row h - i to the bottom (7).
      for (int i = 0; i <= h; ++i) {
        const int col = Mix(col1, col2, double(i) / h);
        for (int x = 0; x < w; ++x) {
          const int y = kind == 6 ? i - x * h / std::max(w, 1) : h - i + x * h / std::max(w, 1);
          bm.SetPixel(x, y, C32_FromColor(col, 255));
        }
      }
      break;
    case 8:
    case 9:
    case 10:
    case 11: {
      const int n = std::min(w, h);
      const int cx = (kind == 8 || kind == 10) ? 0 : w - 1;
      const int cy = (kind == 8 || kind == 9) ? 0 : h - 1;
      // Quarter discs of radius n down to 1: a pixel keeps the colour of
      // the smallest disc that covers it.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int64_t dx = x - cx, dy = y - cy, d2 = dx * dx + dy * dy;
          int64_t f = int64_t(std::sqrt(double(d2)));
          while (f * f < d2) ++f;
          while (f > 0 && (f - 1) * (f - 1) >= d2) --f;
          if (f < 1) f = 1;
          if (f > n) continue;
          const double t = double(f) / n;
          bm.SetPixel(x, y, C32_FromColor(Mix(col2, col1, t), 255));
        }
      break;
    }
    default:
      break;
  }
  i_bitmap = std::move(bm);
  InitTexture();
}

void CBackground::SetAlphaFromBackground(const CBackground& back) {
  const TBitmap32 src = back.i_bitmap;
  BM32_AlphaFromBrightness(i_bitmap, src);
  InitTexture();
}

namespace {
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
}  // namespace

void CBackground::DrawSimple(double x, double y) const { GR_Texture_Draw_Simple(i_tex, x, y); }

void CBackground::Draw(double x, double y, double xscale, double yscale, double angle, int color,
                       double alpha) const {
  GR_Texture_Draw(i_tex, color, 0, 0, x, y, xscale, yscale, angle * kDegToRad, alpha);
}

void CBackground::DrawStretched(double x, double y, double w, double h, int color, double alpha) const {
  if (i_bitmap.Empty() || !(w > 0) || !(h > 0)) return;
  GR_Texture_Draw(i_tex, color, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CBackground::DrawPart(double xo, double yo, double w, double h, double x, double y, double xscale,
                           double yscale, int color, double alpha) const {
  GR_Texture_Draw_Part(i_tex, color, xo, yo, w, h, x, y, xscale, yscale, 0, alpha);
}

void CBackground::DrawGeneral(double xo, double yo, double w, double h, double x, double y, double xscale,
                              double yscale, double angle, int c1, int c2, int c3, int c4, double alpha) const {
  GR_Texture_Draw_General(i_tex, c1, c2, c3, c4, xo, yo, w, h, x, y, xscale, yscale, angle * kDegToRad, alpha);
}

void CBackground::DrawTiled(double x, double y, double xscale, double yscale, bool htiled, bool vtiled, double xr,
                            double yr, double wr, double hr, int color, double alpha) const {
  GR_Texture_Draw_Tiled(i_tex, 0, 0, x, y, xscale, yscale, htiled, vtiled, xr, yr, wr, hr, color, alpha);
}
