// The draw state, the colour arithmetic, the untextured shapes and the
// primitive builder.
#include "graphics/Graphics_Draw.h"

#include <algorithm>
#include <cmath>

#include "graphics/BM32_Color.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Text.h"
#include "graphics/Graphics_Texture.h"

namespace {

constexpr int kBlack = 0;
constexpr int kWhite = 16777215;
constexpr int kGrey = 8421504;
constexpr int kMaxPrecision = 64;

struct RDrawState {
  int color = kBlack;
  double alpha = 1;
  uint32_t vertex_color = 0xFF000000u;
  int precision = 24;
  double cos_table[kMaxPrecision + 1] = {};
  double sin_table[kMaxPrecision + 1] = {};
  int prim_kind = 0;
  int prim_tex = -1;
  int prim_count = 0;
  RDeviceVertex prim[kMaxPrimitiveVertices];
};
RDrawState g;

void BuildCircleTable() {
  for (int k = 0; k <= g.precision; ++k) {
    const double a = 2 * M_PI * k / g.precision;
    g.cos_table[k] = std::cos(a);
    g.sin_table[k] = std::sin(a);
  }
}

void CurrentTextColor(int& color, double& alpha) {
  color = g.color;
  alpha = g.alpha;
}

// The table is built before the first shape needs it, and plain text takes
// its colour from here before the first text is drawn.
struct RTableInit {
  RTableInit() {
    BuildCircleTable();
    TextColorProvider = CurrentTextColor;
  }
} g_table_init;

uint32_t Col(int color) { return GR_Color(color, g.alpha); }

// Sends the shape unless one of its corners is not a finite number (a NaN
// or overflowing size): such a shape has no place on the screen, and a
// rasteriser is better not asked.
void Send(EPrimitive kind, const RDeviceVertex* v, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y)) return;
  GR_D3D_Draw(kind, v, n);
}

RDeviceVertex V(double x, double y, uint32_t c) {
  return RDeviceVertex{float(x), float(y), float(GR_D3D_Depth()), c, 0, 0};
}

bool Whole(double v) { return std::isfinite(v) && v == std::floor(v); }

// The rectangle's corners sorted, the maximum moved by 0.01 when it is a
// whole number (so that the last row and column are covered).
void SortCorners(double& x1, double& y1, double& x2, double& y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (Whole(x2)) x2 += 0.01;
  if (Whole(y2)) y2 += 0.01;
}

void Rectangle(double x1, double y1, double x2, double y2, const uint32_t (&c)[4], bool outline) {
  SortCorners(x1, y1, x2, y2);
  RDeviceVertex v[5] = {V(x1, y1, c[0]), V(x2, y1, c[1]), V(x2, y2, c[2]), V(x1, y2, c[3]), V(x1, y1, c[0])};
  if (outline)
    Send(EPrimitive::LineStrip, v, 5);
  else
    Send(EPrimitive::TriangleFan, v, 4);
}

void RectangleOne(double x1, double y1, double x2, double y2, uint32_t c, bool outline) {
  const uint32_t cs[4] = {c, c, c, c};
  Rectangle(x1, y1, x2, y2, cs, outline);
}

void Triangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1, uint32_t c2,
              uint32_t c3, bool outline) {
  RDeviceVertex v[4] = {V(x1, y1, c1), V(x2, y2, c2), V(x3, y3, c3), V(x1, y1, c1)};
  if (outline)
    Send(EPrimitive::LineStrip, v, 4);
  else
    Send(EPrimitive::TriangleList, v, 3);
}

void Ellipse(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t edge, bool outline) {
  const int n = g.precision;
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const double rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
  RDeviceVertex v[kMaxPrecision + 2];
  if (outline) {
    // P(n - 1), P(0), ..., P(n - 1): n segments.
    v[0] = V(cx + rx * g.cos_table[n - 1], cy + ry * g.sin_table[n - 1], edge);
    for (int k = 0; k < n; ++k) v[k + 1] = V(cx + rx * g.cos_table[k], cy + ry * g.sin_table[k], edge);
    Send(EPrimitive::LineStrip, v, n + 1);
    return;
  }
  v[0] = V(cx, cy, centre);
  for (int k = 0; k <= n; ++k) v[k + 1] = V(cx + rx * g.cos_table[k], cy + ry * g.sin_table[k], edge);
  Send(EPrimitive::TriangleFan, v, n + 2);
}

void Roundrect(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t edge, bool outline) {
  SortCorners(x1, y1, x2, y2);
  const int n = g.precision, q = n / 4;
  const double w = x2 - x1, h = y2 - y1;
  const double cw = std::min(10.0, w), ch = std::min(10.0, h);
  const double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
  const double ox = (w - cw) / 2, oy = (h - ch) / 2;
  // Arc centres: bottom-right, bottom-left, top-left, top-right.
  const double ax[4] = {mx + ox, mx - ox, mx - ox, mx + ox};
  const double ay[4] = {my + oy, my + oy, my - oy, my - oy};
  RDeviceVertex v[kMaxPrecision + 6];
  int m = 0;
  v[m++] = V(mx, my, centre);
  for (int arc = 0; arc < 4; ++arc)
    for (int k = arc * q; k <= (arc + 1) * q; ++k)
      v[m++] = V(ax[arc] + cw / 2 * g.cos_table[k], ay[arc] + ch / 2 * g.sin_table[k], edge);
  v[m++] = v[1];
  if (outline)
    Send(EPrimitive::LineStrip, v + 1, m - 1);
  else
    Send(EPrimitive::TriangleFan, v, m);
}

void WideLine(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2) {
  const double len = std::hypot(x2 - x1, y2 - y1);
  if (!(len > 0)) return;
  const double ex = (y2 - y1) * (w / 2) / len, ey = (x2 - x1) * (w / 2) / len;
  RDeviceVertex v[4] = {V(x1 - ex, y1 + ey, c1), V(x2 - ex, y2 + ey, c2), V(x2 + ex, y2 - ey, c2),
                        V(x1 + ex, y1 - ey, c1)};
  Send(EPrimitive::TriangleFan, v, 4);
}

void Line(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2) {
  RDeviceVertex v[2] = {V(x1 + 0.01, y1 + 0.01, c1), V(x2 + 0.01, y2 + 0.01, c2)};
  Send(EPrimitive::LineList, v, 2);
}

int Red(int c) { return c & 255; }
int Green(int c) { return (c >> 8) & 255; }
int Blue(int c) { return (c >> 16) & 255; }

struct RHsv {
  double h, s, v;  // h in degrees 0 ... 360, s and v 0 ... 1
};

RHsv ToHsv(int color) {
  const double r = Red(color) / 255.0, gr = Green(color) / 255.0, b = Blue(color) / 255.0;
  const double mx = std::max({r, gr, b}), mn = std::min({r, gr, b}), d = mx - mn;
  const double s = mx == 0 ? 0 : d / mx;
  double h = 0;
  if (s != 0) {
    if (r == mx)
      h = (gr - b) * 60 / d;
    else if (gr == mx)
      h = (b - r) * 60 / d + 120;
    else
      h = (r - gr) * 60 / d + 240;
    if (h < 0) h += 360;
  }
  return {h, s, mx};
}

// Integer rounding of a real that may be anything: NaN gives 0, the far
// ends saturate.
int RoundInt(double v) {
  if (!std::isfinite(v)) return 0;
  const double r = std::nearbyint(v);
  return r > 2147483647.0 ? INT32_MAX : r < -2147483648.0 ? INT32_MIN : int(r);
}

}  // namespace

void GR_Draw_Set_Color(int color) {
  g.color = color & 0xFFFFFF;
  g.vertex_color = GR_Color(g.color, g.alpha);
}

int GR_Draw_Get_Color() { return g.color; }

void GR_Draw_Set_Alpha(double alpha) {
  g.alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
  g.vertex_color = GR_Color(g.color, g.alpha);
}

double GR_Draw_Get_Alpha() { return g.alpha; }
uint32_t GR_Draw_Vertex_Color() { return g.vertex_color; }

void GR_Draw_Set_Circle_Precision(int precision) {
  precision = std::clamp(precision, 4, kMaxPrecision);
  g.precision = precision - precision % 4;
  BuildCircleTable();
}

int GR_Draw_Get_Circle_Precision() { return g.precision; }

void GR_Draw_Reset_State() {
  g.color = kBlack;
  g.alpha = 1;
  g.vertex_color = 0xFF000000u;
  g.precision = 24;
  BuildCircleTable();
  g.prim_kind = 0;
  g.prim_tex = -1;
  g.prim_count = 0;
}

double GR_Color_Make_RGB(double r, double gr, double b) {
  return std::nearbyint(r) + std::nearbyint(gr) * 256 + std::nearbyint(b) * 65536;
}

int GR_Color_Make_HSV(int h, int s, int v) {
  h &= 255;
  s &= 255;
  v &= 255;
  double hh = h * 360.0 / 255;
  if (hh >= 360) hh = 0;
  const double ss = s / 255.0, vv = v / 255.0;
  double r, gr, b;
  if (ss == 0) {
    r = gr = b = vv;
  } else {
    const double m = hh / 60;
    const int i = int(m);
    const double f = m - i;
    const double p = vv * (1 - ss), q = vv * (1 - ss * f), t = vv * (1 - ss * (1 - f));
    switch (i) {
      case 0: r = vv, gr = t, b = p; break;
      case 1: r = q, gr = vv, b = p; break;
      case 2: r = p, gr = vv, b = t; break;
      case 3: r = p, gr = q, b = vv; break;
      case 4: r = t, gr = p, b = vv; break;
      default: r = vv, gr = p, b = q; break;
    }
  }
  return int(r * 255) + int(gr * 255) * 256 + int(b * 255) * 65536;
}

int GR_Color_Get_Hue(int color) { return int(ToHsv(color).h * 255 / 360); }
int GR_Color_Get_Saturation(int color) { return int(ToHsv(color).s * 255); }
int GR_Color_Get_Value(int color) { return int(ToHsv(color).v * 255); }

double GR_Color_Merge(int c1, int c2, double amount) {
  auto mix = [amount](int a, int b) { return double(RoundInt((1 - amount) * a + amount * b)); };
  return mix(Red(c1), Red(c2)) + mix(Green(c1), Green(c2)) * 256 + mix(Blue(c1), Blue(c2)) * 65536;
}

void GR_Draw_Clear(int color, double alpha) {
  GR_D3D_Clear(color, alpha);
  GR_D3D_Clear_Depth();
}

void GR_Draw_Point(double x, double y) {
  const RDeviceVertex v = V(x, y, g.vertex_color);
  Send(EPrimitive::PointList, &v, 1);
}

void GR_Draw_Point_Color(double x, double y, int col) {
  const RDeviceVertex v = V(x + 0.01, y + 0.01, Col(col));
  Send(EPrimitive::PointList, &v, 1);
}

void GR_Draw_Line(double x1, double y1, double x2, double y2) {
  Line(x1, y1, x2, y2, g.vertex_color, g.vertex_color);
}

void GR_Draw_Line_Color(double x1, double y1, double x2, double y2, int col1, int col2) {
  Line(x1, y1, x2, y2, Col(col1), Col(col2));
}

void GR_Draw_Line_Width(double x1, double y1, double x2, double y2, double w) {
  WideLine(x1, y1, x2, y2, w, g.vertex_color, g.vertex_color);
}

void GR_Draw_Line_Width_Color(double x1, double y1, double x2, double y2, double w, int col1, int col2) {
  WideLine(x1, y1, x2, y2, w, Col(col1), Col(col2));
}

void GR_Draw_Rectangle(double x1, double y1, double x2, double y2, bool outline) {
  RectangleOne(x1, y1, x2, y2, g.vertex_color, outline);
}

void GR_Draw_Rectangle_Color(double x1, double y1, double x2, double y2, int c1, int c2, int c3, int c4,
                             bool outline) {
  const uint32_t cs[4] = {Col(c1), Col(c2), Col(c3), Col(c4)};
  Rectangle(x1, y1, x2, y2, cs, outline);
}

void GR_Draw_Roundrect(double x1, double y1, double x2, double y2, bool outline) {
  Roundrect(x1, y1, x2, y2, g.vertex_color, g.vertex_color, outline);
}

void GR_Draw_Roundrect_Color(double x1, double y1, double x2, double y2, int col1, int col2, bool outline) {
  Roundrect(x1, y1, x2, y2, Col(col1), Col(col2), outline);
}

void GR_Draw_Triangle(double x1, double y1, double x2, double y2, double x3, double y3, bool outline) {
  Triangle(x1, y1, x2, y2, x3, y3, g.vertex_color, g.vertex_color, g.vertex_color, outline);
}

void GR_Draw_Triangle_Color(double x1, double y1, double x2, double y2, double x3, double y3, int c1, int c2, int c3,
                            bool outline) {
  Triangle(x1, y1, x2, y2, x3, y3, Col(c1), Col(c2), Col(c3), outline);
}

void GR_Draw_Ellipse(double x1, double y1, double x2, double y2, bool outline) {
  Ellipse(x1, y1, x2, y2, g.vertex_color, g.vertex_color, outline);
}

void GR_Draw_Ellipse_Color(double x1, double y1, double x2, double y2, int col1, int col2, bool outline) {
  Ellipse(x1, y1, x2, y2, Col(col1), Col(col2), outline);
}

void GR_Draw_Circle(double x, double y, double r, bool outline) {
  Ellipse(x - r, y - r, x + r, y + r, g.vertex_color, g.vertex_color, outline);
}

void GR_Draw_Circle_Color(double x, double y, double r, int col1, int col2, bool outline) {
  Ellipse(x - r, y - r, x + r, y + r, Col(col1), Col(col2), outline);
}

void GR_Draw_Arrow(double x1, double y1, double x2, double y2, double size) {
  const double len = std::hypot(x2 - x1, y2 - y1);
  if (!(len > 0)) return;
  GR_Draw_Line(x1, y1, x2, y2);
  const double s = std::min(size, len);
  const double dx = (x2 - x1) * s / len, dy = (y2 - y1) * s / len;
  Triangle(x2 - dx - dy / 3, y2 - dy + dx / 3, x2, y2, x2 - dx + dy / 3, y2 - dy - dx / 3, g.vertex_color,
           g.vertex_color, g.vertex_color, false);
}

void GR_Draw_Button(double x1, double y1, double x2, double y2, bool up) {
  uint32_t light = Col(kWhite), dark = Col(kGrey);
  if (!up) std::swap(light, dark);
  Triangle(x1, y1, x2, y1, x1, y2, light, light, light, false);
  Triangle(x1, y2, x2, y1, x2, y2, dark, dark, dark, false);
  RectangleOne(x1 + 2, y1 + 2, x2 - 2, y2 - 2, g.vertex_color, false);
}

void GR_Draw_Healthbar(double x1, double y1, double x2, double y2, double amount, int backcol, int mincol,
                       int maxcol, int direction, bool showback, bool showborder) {
  if (showback) {
    RectangleOne(x1, y1, x2, y2, Col(backcol), false);
    if (showborder) RectangleOne(x1, y1, x2, y2, Col(kBlack), true);
  }
  amount = std::isnan(amount) ? 0 : std::clamp(amount, 0.0, 100.0);
  double bx1 = x1, by1 = y1, bx2 = x2, by2 = y2;
  switch (direction) {
    case 1: bx1 = x2 - (x2 - x1) * amount / 100; break;
    case 2: by2 = y1 + (y2 - y1) * amount / 100; break;
    case 3: by1 = y2 - (y2 - y1) * amount / 100; break;
    default: bx2 = x1 + (x2 - x1) * amount / 100; break;
  }
  const int mid = RoundInt(GR_Color_Merge(mincol, maxcol, 0.5));
  const double col = amount > 50 ? GR_Color_Merge(mid, maxcol, (amount - 50) / 50)
                                 : GR_Color_Merge(mincol, mid, amount / 50);
  RectangleOne(bx1, by1, bx2, by2, Col(RoundInt(col)), false);
  if (showborder) RectangleOne(bx1, by1, bx2, by2, Col(kBlack), true);
}

void GR_Draw_Primitive_Begin(int kind, int tex) {
  g.prim_kind = kind;
  g.prim_tex = tex;
  g.prim_count = 0;
}

void GR_Draw_Vertex(double x, double y, uint32_t color, double u, double v) {
  if (g.prim_count >= kMaxPrimitiveVertices) return;
  g.prim[g.prim_count++] = RDeviceVertex{float(x), float(y), float(GR_D3D_Depth()), color, float(u), float(v)};
}

void GR_Draw_Primitive_End() {
  static const EPrimitive kKinds[] = {EPrimitive::PointList,     EPrimitive::LineList,
                                      EPrimitive::LineStrip,     EPrimitive::TriangleList,
                                      EPrimitive::TriangleStrip, EPrimitive::TriangleFan};
  if (g.prim_kind < 1 || g.prim_kind > 6) return;
  const int n = g.prim_count;
  const int minimum[] = {1, 2, 2, 3, 3, 3};
  if (n < minimum[g.prim_kind - 1]) return;
  // A texture that is gone draws untextured.
  const int tex = GR_Texture_Exists(g.prim_tex) ? g.prim_tex : -1;
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(g.prim[i].x) || !std::isfinite(g.prim[i].y)) return;
  GR_D3D_Draw(kKinds[g.prim_kind - 1], g.prim, n, tex);
}

int GR_Draw_Primitive_Count() { return g.prim_count; }
