// The language's untextured drawing functions: argument reading and error
// reports on top of the shapes, colours and primitive builder of
// Graphics_Draw.
#include "graphics/Function_Draw.h"

#include <algorithm>
#include <cmath>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Draw.h"
#include "resources/Path_Main.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {

#define ROUTINE(name) \
  void name(CInstance*, CInstance*, int, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

double R(const RValue* args, int i) { return ArgReal(args[i]); }
int I(const RValue* args, int i) { return ArgInt(args[i]); }
int C(const RValue* args, int i) { return ArgColor(args[i]); }
bool B(const RValue* args, int i) { return ArgBool(args[i]); }

// A path is drawn in strips of this many points, each starting where the
// last ended.
constexpr int kPathStrip = 500;
// A path is drawn with a point every 4 pixels of its length, but never more
// points than this: a path of absurd length still takes bounded time.
constexpr double kMaxPathPoints = 100000;

ROUTINE(F_draw_set_color) { GR_Draw_Set_Color(C(args, 0)); }
ROUTINE(F_draw_set_alpha) { GR_Draw_Set_Alpha(R(args, 0)); }
ROUTINE(F_draw_get_color) { result.SetReal(GR_Draw_Get_Color()); }
ROUTINE(F_draw_get_alpha) { result.SetReal(GR_Draw_Get_Alpha()); }
ROUTINE(F_make_color_rgb) { result.SetReal(GR_Color_Make_RGB(R(args, 0), R(args, 1), R(args, 2))); }
ROUTINE(F_make_color_hsv) { result.SetReal(GR_Color_Make_HSV(I(args, 0), I(args, 1), I(args, 2))); }
ROUTINE(F_color_get_red) { result.SetReal(I(args, 0) % 256); }
ROUTINE(F_color_get_green) { result.SetReal((I(args, 0) / 256) % 256); }
ROUTINE(F_color_get_blue) { result.SetReal((I(args, 0) / 65536) % 256); }
ROUTINE(F_color_get_hue) { result.SetReal(GR_Color_Get_Hue(C(args, 0))); }
ROUTINE(F_color_get_saturation) { result.SetReal(GR_Color_Get_Saturation(C(args, 0))); }
ROUTINE(F_color_get_value) { result.SetReal(GR_Color_Get_Value(C(args, 0))); }
ROUTINE(F_merge_color) { result.SetReal(GR_Color_Merge(C(args, 0), C(args, 1), R(args, 2))); }
ROUTINE(F_draw_set_circle_precision) { GR_Draw_Set_Circle_Precision(I(args, 0)); }
ROUTINE(F_draw_clear) { GR_Draw_Clear(C(args, 0), 1); }
ROUTINE(F_draw_clear_alpha) { GR_Draw_Clear(C(args, 0), R(args, 1)); }

ROUTINE(F_draw_point) { GR_Draw_Point(R(args, 0), R(args, 1)); }
ROUTINE(F_draw_point_color) { GR_Draw_Point_Color(R(args, 0), R(args, 1), C(args, 2)); }
ROUTINE(F_draw_line) { GR_Draw_Line(R(args, 0), R(args, 1), R(args, 2), R(args, 3)); }
ROUTINE(F_draw_line_color) {
  GR_Draw_Line_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), C(args, 4), C(args, 5));
}
ROUTINE(F_draw_line_width) { GR_Draw_Line_Width(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4)); }
ROUTINE(F_draw_line_width_color) {
  GR_Draw_Line_Width_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4), C(args, 5), C(args, 6));
}
ROUTINE(F_draw_rectangle) { GR_Draw_Rectangle(R(args, 0), R(args, 1), R(args, 2), R(args, 3), B(args, 4)); }
ROUTINE(F_draw_rectangle_color) {
  GR_Draw_Rectangle_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), C(args, 4), C(args, 5), C(args, 6),
                          C(args, 7), B(args, 8));
}
ROUTINE(F_draw_roundrect) { GR_Draw_Roundrect(R(args, 0), R(args, 1), R(args, 2), R(args, 3), B(args, 4)); }
ROUTINE(F_draw_roundrect_color) {
  GR_Draw_Roundrect_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), C(args, 4), C(args, 5), B(args, 6));
}
ROUTINE(F_draw_triangle) {
  GR_Draw_Triangle(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), B(args, 6));
}
ROUTINE(F_draw_triangle_color) {
  GR_Draw_Triangle_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4), R(args, 5), C(args, 6),
                         C(args, 7), C(args, 8), B(args, 9));
}
ROUTINE(F_draw_circle) { GR_Draw_Circle(R(args, 0), R(args, 1), R(args, 2), B(args, 3)); }
ROUTINE(F_draw_circle_color) {
  GR_Draw_Circle_Color(R(args, 0), R(args, 1), R(args, 2), C(args, 3), C(args, 4), B(args, 5));
}
ROUTINE(F_draw_ellipse) { GR_Draw_Ellipse(R(args, 0), R(args, 1), R(args, 2), R(args, 3), B(args, 4)); }
ROUTINE(F_draw_ellipse_color) {
  GR_Draw_Ellipse_Color(R(args, 0), R(args, 1), R(args, 2), R(args, 3), C(args, 4), C(args, 5), B(args, 6));
}
ROUTINE(F_draw_arrow) { GR_Draw_Arrow(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4)); }
ROUTINE(F_draw_button) { GR_Draw_Button(R(args, 0), R(args, 1), R(args, 2), R(args, 3), B(args, 4)); }
ROUTINE(F_draw_healthbar) {
  GR_Draw_Healthbar(R(args, 0), R(args, 1), R(args, 2), R(args, 3), R(args, 4), C(args, 5), C(args, 6), C(args, 7),
                    I(args, 8), B(args, 9), B(args, 10));
}

ROUTINE(F_draw_path) {
  const CPath* path = GetPath(I(args, 0));
  if (path == nullptr) {
    ReportActionError("Trying to drawn non-existing path.", false);
    return;
  }
  const double n = std::min(std::nearbyint(path->PathLength() / 4), kMaxPathPoints);
  if (!(n >= 1)) return;
  double dx = R(args, 1), dy = R(args, 2);
  if (!B(args, 3)) {
    const RPathPos start = path->GetPosition(0);
    dx -= start.x;
    dy -= start.y;
  }
  const uint32_t color = GR_Draw_Vertex_Color();
  const float z = float(GR_D3D_Depth());
  RDeviceVertex strip[kPathStrip];
  int m = 0;
  const int count = int(n);
  for (int k = 0; k <= count; ++k) {
    const RPathPos p = path->GetPosition(k / n);
    strip[m++] = RDeviceVertex{float(p.x + dx), float(p.y + dy), z, color, 0, 0};
    if (m == kPathStrip || k == count) {
      GR_D3D_Draw(EPrimitive::LineStrip, strip, m);
      strip[0] = strip[m - 1];
      m = 1;
    }
  }
}

ROUTINE(F_draw_primitive_begin) { GR_Draw_Primitive_Begin(I(args, 0), -1); }
ROUTINE(F_draw_primitive_begin_texture) { GR_Draw_Primitive_Begin(I(args, 0), I(args, 1)); }
ROUTINE(F_draw_primitive_end) { GR_Draw_Primitive_End(); }
ROUTINE(F_draw_vertex) { GR_Draw_Vertex(R(args, 0), R(args, 1), GR_Draw_Vertex_Color(), 0, 0); }
ROUTINE(F_draw_vertex_color) {
  GR_Draw_Vertex(R(args, 0), R(args, 1), GR_Color(C(args, 2), R(args, 3)), 0, 0);
}
ROUTINE(F_draw_vertex_texture) {
  GR_Draw_Vertex(R(args, 0), R(args, 1), GR_Draw_Vertex_Color(), R(args, 2), R(args, 3));
}
ROUTINE(F_draw_vertex_texture_color) {
  GR_Draw_Vertex(R(args, 0), R(args, 1), GR_Color(C(args, 4), R(args, 5)), R(args, 2), R(args, 3));
}

constexpr RBuiltin kFunctions[] = {
    {"draw_set_color", F_draw_set_color, 1},
    {"draw_set_alpha", F_draw_set_alpha, 1},
    {"draw_get_color", F_draw_get_color, 0},
    {"draw_get_alpha", F_draw_get_alpha, 0},
    {"make_color", F_make_color_rgb, 3},
    {"make_color_rgb", F_make_color_rgb, 3},
    {"make_color_hsv", F_make_color_hsv, 3},
    {"color_get_red", F_color_get_red, 1},
    {"color_get_green", F_color_get_green, 1},
    {"color_get_blue", F_color_get_blue, 1},
    {"color_get_hue", F_color_get_hue, 1},
    {"color_get_saturation", F_color_get_saturation, 1},
    {"color_get_value", F_color_get_value, 1},
    {"merge_color", F_merge_color, 3},
    {"draw_clear", F_draw_clear, 1},
    {"draw_clear_alpha", F_draw_clear_alpha, 2},
    {"draw_point", F_draw_point, 2},
    {"draw_line", F_draw_line, 4},
    {"draw_line_width", F_draw_line_width, 5},
    {"draw_rectangle", F_draw_rectangle, 5},
    {"draw_roundrect", F_draw_roundrect, 5},
    {"draw_triangle", F_draw_triangle, 7},
    {"draw_circle", F_draw_circle, 4},
    {"draw_ellipse", F_draw_ellipse, 5},
    {"draw_arrow", F_draw_arrow, 5},
    {"draw_button", F_draw_button, 5},
    {"draw_healthbar", F_draw_healthbar, 11},
    {"draw_path", F_draw_path, 4},
    {"draw_point_color", F_draw_point_color, 3},
    {"draw_line_color", F_draw_line_color, 6},
    {"draw_line_width_color", F_draw_line_width_color, 7},
    {"draw_rectangle_color", F_draw_rectangle_color, 9},
    {"draw_roundrect_color", F_draw_roundrect_color, 7},
    {"draw_triangle_color", F_draw_triangle_color, 10},
    {"draw_circle_color", F_draw_circle_color, 6},
    {"draw_ellipse_color", F_draw_ellipse_color, 7},
    {"draw_set_circle_precision", F_draw_set_circle_precision, 1},
    {"draw_primitive_begin", F_draw_primitive_begin, 1},
    {"draw_primitive_begin_texture", F_draw_primitive_begin_texture, 2},
    {"draw_primitive_end", F_draw_primitive_end, 0},
    {"draw_vertex", F_draw_vertex, 2},
    {"draw_vertex_color", F_draw_vertex_color, 4},
    {"draw_vertex_texture", F_draw_vertex_texture, 4},
    {"draw_vertex_texture_color", F_draw_vertex_texture_color, 6},
};
}  // namespace

const RFunctionLibrary kLibrary_Draw{"Draw", kFunctions};
