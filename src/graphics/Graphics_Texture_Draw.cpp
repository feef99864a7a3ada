// The textured-quad routines: the geometry of every drawn picture (origin,
// scale, rotation, half-pixel offset, texture coordinates, tiling steps).
#include <cmath>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Texture.h"

namespace {
const RTexture* Texture(int tex) {
  if (!GR_Texture_Exists(tex)) return nullptr;
  return &GR_Texture_List()[size_t(tex)];
}

struct RCorner {
  double x, y;
};

// Draws the quad as a fan top-left, top-right, bottom-right, bottom-left;
// the fan's two triangles share the diagonal top-left to bottom-right.
// Addressing is clamped so that coordinates past the image repeat its edge
// rather than wrap around to the other side.
void Quad(int tex, const RCorner (&p)[4], const uint32_t (&col)[4], float u0, float v0, float u1, float v1) {
  const float z = float(GR_D3D_Depth());
  const float u[4] = {u0, u1, u1, u0};
  const float v[4] = {v0, v0, v1, v1};
  RDeviceVertex vert[4];
  for (int i = 0; i < 4; ++i) vert[i] = RDeviceVertex{float(p[i].x), float(p[i].y), z, col[i], u[i], v[i]};
  GR_D3D_Draw(EPrimitive::TriangleFan, vert, 4, tex, true);
}

// The local rectangle (already moved by -0.5) turned by angle radians
// counter-clockwise on the screen about the reference point (x, y).
void Place(RCorner (&p)[4], double x, double y, double left, double top, double right, double bottom,
           double angle) {
  const RCorner local[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  if (std::fabs(angle) < 0.001) {
    for (int i = 0; i < 4; ++i) p[i] = {x + local[i].x, y + local[i].y};
    return;
  }
  const double c = std::cos(angle), s = std::sin(angle);
  for (int i = 0; i < 4; ++i)
    p[i] = {x + local[i].x * c + local[i].y * s, y - local[i].x * s + local[i].y * c};
}

void Uniform(uint32_t (&col)[4], uint32_t c) {
  for (auto& v : col) v = c;
}

// A part of the texture (xo, yo, w, h in image pixels) with a colour per
// corner, its top-left at the reference point.
void Part(const RTexture& t, int tex, const uint32_t (&col)[4], double xo, double yo, double w, double h,
          double x, double y, double xscale, double yscale, double angle) {
  const double left = -0.5, top = -0.5;
  RCorner p[4];
  Place(p, x, y, left, top, left + w * xscale, top + h * yscale, angle);
  Quad(tex, p, col, float(xo / t.wt), float(yo / t.ht), float((xo + w) / t.wt), float((yo + h) / t.ht));
}

// The first tile position on one axis: the start moved by whole steps to
// the last place whose tile still reaches the region's start (or the start
// itself when not tiled).
double FirstTile(double pos, double step, bool tiled, double region_start) {
  double c = std::nearbyint(pos);
  if (!tiled) return c;
  c = std::fmod(c, step);  // truncating remainder
  if (c >= 1) c -= step;
  if (c + step < region_start) {
    // Whole steps at once (a far region would otherwise take a step a loop);
    // then exactly the condition of a step-by-step walk.
    c += std::floor((region_start - c - step) / step) * step;
    while (c + step < region_start) c += step;
  }
  return c;
}
}  // namespace

void GR_Texture_Draw_Simple(int tex, double x, double y) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  const RCorner p[4] = {
      {x - 0.5, y - 0.5}, {x + t->w - 0.5, y - 0.5}, {x + t->w - 0.5, y + t->h - 0.5}, {x - 0.5, y + t->h - 0.5}};
  uint32_t col[4];
  Uniform(col, GR_Color(0xFFFFFF, 1.0));
  Quad(tex, p, col, 0, 0, float(double(t->w) / t->wt), float(double(t->h) / t->ht));
}

void GR_Texture_Draw(int tex, int color, double xorig, double yorig, double x, double y, double xscale,
                     double yscale, double angle, double alpha) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  const double left = -xorig * xscale - 0.5, top = -yorig * yscale - 0.5;
  RCorner p[4];
  Place(p, x, y, left, top, left + t->w * xscale, top + t->h * yscale, angle);
  uint32_t col[4];
  Uniform(col, GR_Color(color, alpha));
  Quad(tex, p, col, 0, 0, float(double(t->w) / t->wt), float(double(t->h) / t->ht));
}

void GR_Texture_Draw_Part(int tex, int color, double xo, double yo, double w, double h, double x, double y,
                          double xscale, double yscale, double angle, double alpha) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  uint32_t col[4];
  Uniform(col, GR_Color(color, alpha));
  Part(*t, tex, col, xo, yo, w, h, x, y, xscale, yscale, angle);
}

void GR_Texture_Draw_General(int tex, int c1, int c2, int c3, int c4, double xo, double yo, double w, double h,
                             double x, double y, double xscale, double yscale, double angle, double alpha) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  const uint32_t col[4] = {GR_Color(c1, alpha), GR_Color(c2, alpha), GR_Color(c3, alpha), GR_Color(c4, alpha)};
  Part(*t, tex, col, xo, yo, w, h, x, y, xscale, yscale, angle);
}

void GR_Texture_Draw_Pos(int tex, double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                         double y4, double alpha) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  const RCorner p[4] = {{x1 - 0.5, y1 - 0.5}, {x2 - 0.5, y2 - 0.5}, {x3 - 0.5, y3 - 0.5}, {x4 - 0.5, y4 - 0.5}};
  uint32_t col[4];
  Uniform(col, GR_Color(0xFFFFFF, alpha));
  Quad(tex, p, col, 0, 0, float(double(t->w) / t->wt), float(double(t->h) / t->ht));
}

void GR_Texture_Draw_Tiled(int tex, double xorig, double yorig, double x, double y, double xscale, double yscale,
                           bool htiled, bool vtiled, double xr, double yr, double wr, double hr, int color,
                           double alpha) {
  const RTexture* t = Texture(tex);
  if (t == nullptr) return;
  // Steps are whole pixels, so that tiles of integral size meet exactly.
  const double tw = std::nearbyint(t->w * xscale), th = std::nearbyint(t->h * yscale);
  if (!(tw >= 1) || !(th >= 1)) return;
  const double left = -xscale * xorig - 0.5, right = t->w * xscale + left;
  const double top = -yscale * yorig - 0.5, bottom = t->h * yscale + top;
  uint32_t col[4];
  Uniform(col, GR_Color(color, alpha));
  const float u1 = float(double(t->w) / t->wt), v1 = float(double(t->h) / t->ht);
  for (double cx = FirstTile(x, tw, htiled, xr); cx < xr + wr; cx += tw) {
    for (double cy = FirstTile(y, th, vtiled, yr); cy < yr + hr; cy += th) {
      const RCorner p[4] = {
          {cx + left, cy + top}, {cx + right, cy + top}, {cx + right, cy + bottom}, {cx + left, cy + bottom}};
      Quad(tex, p, col, 0, 0, u1, v1);
      if (!vtiled) break;
    }
    if (!htiled) break;
  }
}
