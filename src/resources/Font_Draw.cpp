// Fonts on the screen: the atlas texture and the drawing of one line of
// character codes, glyph by glyph, through the textured quads or the frames
// of a sprite font's sprite.
#include <cmath>
#include <numbers>

#include "graphics/Graphics_Texture.h"
#include "resources/Font_Class.h"
#include "resources/Sprite_Main.h"

namespace {
// merge_color's rule: each channel (1 - amount) x first + amount x second,
// rounded to the nearest integer.
int Merge(int c1, int c2, double amount) {
  int out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double a = (c1 >> shift) & 0xFF, b = (c2 >> shift) & 0xFF;
    const double v = std::nearbyint((1 - amount) * a + amount * b);
    out |= (v < 0 ? 0 : v > 255 ? 255 : int(v)) << shift;
  }
  return out;
}
}  // namespace

void CFont::InitTexture() {
  FreeTexture();
  if (IsSpriteFont() || s_name.empty() || s_bw <= 0 || s_bh <= 0) return;
  if (s_bytes.size() != size_t(s_bw) * size_t(s_bh)) return;
  s_tex = GR_Texture_Create_From_Coverage(s_bw, s_bh, s_bytes.data());
}

void CFont::FreeTexture() {
  if (s_tex >= 0) GR_Texture_Free(s_tex);
  s_tex = -1;
}

void CFont::DrawLine(double x, double y, const std::string& codes, double xsc, double ysc, double angle, int col,
                     const int* corners, double alpha) const {
  const CSprite* spr = nullptr;
  if (IsSpriteFont()) {
    spr = GetSprite(s_spr);
    if (spr == nullptr) return;  // the sprite went: the font has no glyphs
  } else if (!GR_Texture_Exists(s_tex)) {
    return;
  }
  const double rad = angle * std::numbers::pi / 180;
  const double c = std::cos(rad), s = std::sin(rad);
  // The gradient runs over the line's whole advance; a line that does not
  // advance keeps the left colours.
  const double width = corners ? TextWidthCodes(codes) : 0;
  auto at = [&](double p) { return width > 0 ? p / width : 0.0; };
  double pen = 0;
  for (unsigned char ch : codes) {
    const int adv = CharShift(ch);
    if (ch >= s_first && ch <= s_last) {
      const double d = (pen + s_offset[ch]) * xsc;
      const double gx = x + d * c, gy = y - d * s;
      if (spr != nullptr) {
        const int frame = ch - s_first;
        if (corners) {
          const double f0 = at(pen), f1 = at(pen + adv);
          spr->DrawGeneral(frame, 0, 0, spr->GetWidth(), spr->GetHeight(), gx, gy, xsc, ysc, angle,
                           Merge(corners[0], corners[1], f0), Merge(corners[0], corners[1], f1),
                           Merge(corners[3], corners[2], f1), Merge(corners[3], corners[2], f0), alpha);
        } else {
          spr->Draw(frame, gx, gy, xsc, ysc, angle, col, alpha);
        }
      } else if (corners) {
        const double f0 = at(pen), f1 = at(pen + adv);
        GR_Texture_Draw_General(s_tex, Merge(corners[0], corners[1], f0), Merge(corners[0], corners[1], f1),
                                Merge(corners[3], corners[2], f1), Merge(corners[3], corners[2], f0), s_x[ch],
                                s_y[ch], s_w[ch], s_h[ch], gx, gy, xsc, ysc, rad, alpha);
      } else {
        GR_Texture_Draw_Part(s_tex, col, s_x[ch], s_y[ch], s_w[ch], s_h[ch], gx, gy, xsc, ysc, rad, alpha);
      }
    }
    pen += adv;
  }
}

void CFont::Draw_String(double x, double y, const std::string& codes, int col, double alpha) const {
  DrawLine(x, y, codes, 1, 1, 0, col, nullptr, alpha);
}

void CFont::Draw_String_Transformed(double x, double y, const std::string& codes, double xsc, double ysc,
                                    double angle, int col, double alpha) const {
  DrawLine(x, y, codes, xsc, ysc, angle, col, nullptr, alpha);
}

void CFont::Draw_String_Color(double x, double y, const std::string& codes, int c1, int c2, int c3, int c4,
                              double alpha) const {
  const int corners[4] = {c1, c2, c3, c4};
  DrawLine(x, y, codes, 1, 1, 0, 0, corners, alpha);
}

void CFont::Draw_String_Transformed_Color(double x, double y, const std::string& codes, double xsc, double ysc,
                                          double angle, int c1, int c2, int c3, int c4, double alpha) const {
  const int corners[4] = {c1, c2, c3, c4};
  DrawLine(x, y, codes, xsc, ysc, angle, 0, corners, alpha);
}
