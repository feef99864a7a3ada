// Untextured drawing through the language's functions: the vertices each
// shape sends to the device worked out by hand, the draw colour and alpha,
// the colour arithmetic, the primitive builder, and what absurd sizes and
// counts are turned into.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Fake_Device.h"
#include "graphics/Graphics_Draw.h"
#include "resources/Path_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

namespace {

constexpr double kRed = 255, kLime = 65280, kBlue = 16711680, kWhite = 16777215;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct RPoint {
  double x, y;
};

class PrimitiveTest : public fakedev::FakeDeviceTest {
 protected:
  void SetUp() override {
    FakeDeviceTest::SetUp();
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ErrorResetForTests();
    GR_Draw_Reset_State();
  }
  void TearDown() override {
    GR_Draw_Reset_State();
    ErrorResetForTests();
    FakeDeviceTest::TearDown();
  }

  RValue Call(const std::string& name, const std::vector<double>& reals) {
    return CallBuiltin(name, std::vector<RValue>(reals.begin(), reals.end()));
  }
  double Real(const std::string& name, const std::vector<double>& reals) { return Call(name, reals).val; }
  // Draws and gives the one device call it made.
  fakedev::RDrawCall One(const std::string& name, const std::vector<double>& reals) {
    log.draws.clear();
    Call(name, reals);
    EXPECT_EQ(log.draws.size(), 1u) << name;
    return log.draws.empty() ? fakedev::RDrawCall{} : log.draws[0];
  }
};

void ExpectPoints(const fakedev::RDrawCall& d, const std::vector<RPoint>& want) {
  ASSERT_EQ(d.v.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(d.v[i].x, want[i].x, 1e-4) << "vertex " << i;
    EXPECT_NEAR(d.v[i].y, want[i].y, 1e-4) << "vertex " << i;
  }
}

TEST_F(PrimitiveTest, ColourFunctionsFollowTheirArithmetic) {
  struct RCase {
    const char* fn;
    std::vector<double> args;
    double want;
  };
  const RCase cases[] = {
      {"make_color_rgb", {255, 128, 0}, 255 + 128 * 256},
      {"make_color", {1.5, 2.5, 0}, 2 + 2 * 256},   // ties to even
      {"make_color_rgb", {300, 0, 0}, 300},         // no clamping: spills into green
      {"make_color_rgb", {0, 0, 256}, 256 * 65536},  // nor beyond 24 bits
      {"make_color_hsv", {0, 255, 255}, kRed},
      {"make_color_hsv", {256, 255, 255}, kRed},  // only the low 8 bits
      {"make_color_hsv", {255, 255, 255}, kRed},  // 360 degrees is 0
      {"make_color_hsv", {85, 255, 255}, kLime},
      {"make_color_hsv", {170, 255, 255}, kBlue},
      {"make_color_hsv", {0, 0, 128}, 128 * 65793},  // grey
      // 42.5 rounds to 42 (ties to even): 59.3 degrees, i = 0, green =
      // trunc(255 x f) = 252.
      {"make_color_hsv", {42.5, 255, 255}, 255 + 252 * 256},
      {"color_get_red", {0x123456}, 0x56},
      {"color_get_green", {0x123456}, 0x34},
      {"color_get_blue", {0x123456}, 0x12},
      {"color_get_red", {-1}, -1},  // truncating remainder
      {"color_get_blue", {0x1123456}, 0x12},
      {"color_get_hue", {kLime}, 85},
      {"color_get_hue", {kBlue}, 170},
      {"color_get_hue", {255 + 0 * 256 + 255 * 65536}, 212},  // magenta: 300 degrees
      {"color_get_saturation", {128 + 64 * 256 + 64 * 65536}, 127},
      {"color_get_value", {128 + 64 * 256 + 64 * 65536}, 128},
      {"color_get_saturation", {0}, 0},
      {"merge_color", {kRed, kBlue, 0.5}, 128 + 128 * 65536},
      {"merge_color", {kRed, kBlue, 0}, kRed},
      {"merge_color", {0, kWhite, 2}, 510 + 510 * 256 + 510 * 65536},  // amount not clamped
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.fn + std::string(" ") + std::to_string(c.args[0]));
    EXPECT_EQ(Real(c.fn, c.args), c.want);
  }
  // Each HSV channel survives a round trip for a saturated colour.
  const double orange = Real("make_color_hsv", {20, 255, 255});
  EXPECT_NEAR(Real("color_get_hue", {orange}), 20, 1);
}

TEST_F(PrimitiveTest, DrawColourAndAlphaReachEveryVertex) {
  EXPECT_EQ(Real("draw_get_color", {}), 0);
  EXPECT_EQ(Real("draw_get_alpha", {}), 1);
  Call("draw_set_color", {kRed});
  Call("draw_set_alpha", {0.5});
  EXPECT_EQ(Real("draw_get_color", {}), kRed);
  EXPECT_EQ(Real("draw_get_alpha", {}), 0.5);
  EXPECT_EQ(One("draw_point", {3, 4}).v[0].color, 0x80FF0000u);
  // Explicit colours take the draw alpha too.
  const fakedev::RDrawCall line = One("draw_line_color", {0, 0, 5, 5, kLime, kBlue});
  EXPECT_EQ(line.v[0].color, 0x8000FF00u);
  EXPECT_EQ(line.v[1].color, 0x800000FFu);
  EXPECT_EQ(line.tex, 0u);  // shapes are untextured
  // Alpha is clamped; the colour set before keeps its channels.
  Call("draw_set_alpha", {7});
  EXPECT_EQ(Real("draw_get_alpha", {}), 1);
  Call("draw_set_alpha", {-1});
  EXPECT_EQ(One("draw_point", {0, 0}).v[0].color, 0x00FF0000u);
  Call("draw_set_alpha", {kNaN});
  EXPECT_EQ(Real("draw_get_alpha", {}), 0);
}

TEST_F(PrimitiveTest, CirclePrecisionIsAMultipleOfFourFromFourTo64) {
  const std::pair<double, int> cases[] = {{30, 28}, {2, 4}, {100, 64}, {24, 24}, {-5, 4}, {1e300, 64}, {kNaN, 4}};
  for (auto [arg, want] : cases) {
    Call("draw_set_circle_precision", {arg});
    EXPECT_EQ(GR_Draw_Get_Circle_Precision(), want) << arg;
    // A filled circle: the centre and P(0) ... P(n), n triangles.
    const fakedev::RDrawCall d = One("draw_circle", {50, 50, 10, 0});
    EXPECT_EQ(d.kind, EPrimitive::TriangleFan);
    EXPECT_EQ(d.v.size(), size_t(want + 2));
  }
}

TEST_F(PrimitiveTest, ShapesSendTheWorkedOutVertices) {
  Call("draw_set_circle_precision", {8});
  const double h = std::sqrt(0.5);  // cos 45 degrees
  struct RCase {
    const char* fn;
    std::vector<double> args;
    EPrimitive kind;
    std::vector<RPoint> v;
  };
  const RCase cases[] = {
      {"draw_point", {3, 4}, EPrimitive::PointList, {{3, 4}}},
      {"draw_point_color", {3, 4, kRed}, EPrimitive::PointList, {{3.01, 4.01}}},
      {"draw_line", {1, 2, 3, 4}, EPrimitive::LineList, {{1.01, 2.01}, {3.01, 4.01}}},
      // The corners sorted, a whole maximum moved by 0.01.
      {"draw_rectangle",
       {10, 10, 5, 5, 0},
       EPrimitive::TriangleFan,
       {{5, 5}, {10.01, 5}, {10.01, 10.01}, {5, 10.01}}},
      {"draw_rectangle",
       {5, 5, 10, 10, 0},
       EPrimitive::TriangleFan,
       {{5, 5}, {10.01, 5}, {10.01, 10.01}, {5, 10.01}}},
      {"draw_rectangle", {5, 5, 10.5, 10, 0}, EPrimitive::TriangleFan, {{5, 5}, {10.5, 5}, {10.5, 10.01}, {5, 10.01}}},
      {"draw_rectangle",
       {5, 5, 10.5, 10, 1},
       EPrimitive::LineStrip,
       {{5, 5}, {10.5, 5}, {10.5, 10.01}, {5, 10.01}, {5, 5}}},
      {"draw_triangle", {0, 0, 10, 0, 0, 10, 0}, EPrimitive::TriangleList, {{0, 0}, {10, 0}, {0, 10}}},
      {"draw_triangle", {0, 0, 10, 0, 0, 10, 1}, EPrimitive::LineStrip, {{0, 0}, {10, 0}, {0, 10}, {0, 0}}},
      // Width 2 along x: the quad one unit above and below.
      {"draw_line_width", {0, 0, 10, 0, 2}, EPrimitive::TriangleFan, {{0, 1}, {10, 1}, {10, -1}, {0, -1}}},
      {"draw_circle",
       {20, 30, 10, 0},
       EPrimitive::TriangleFan,
       {{20, 30},
        {30, 30},
        {20 + 10 * h, 30 + 10 * h},
        {20, 40},
        {20 - 10 * h, 30 + 10 * h},
        {10, 30},
        {20 - 10 * h, 30 - 10 * h},
        {20, 20},
        {20 + 10 * h, 30 - 10 * h},
        {30, 30}}},
      // Outline: P(n - 1), P(0), ..., P(n - 1).
      {"draw_circle",
       {20, 30, 10, 1},
       EPrimitive::LineStrip,
       {{20 + 10 * h, 30 - 10 * h},
        {30, 30},
        {20 + 10 * h, 30 + 10 * h},
        {20, 40},
        {20 - 10 * h, 30 + 10 * h},
        {10, 30},
        {20 - 10 * h, 30 - 10 * h},
        {20, 20},
        {20 + 10 * h, 30 - 10 * h}}},
      // The box's corners in any order; radii 20 and 5.
      {"draw_ellipse", {40, 10, 0, 0, 1}, EPrimitive::LineStrip,
       {{20 + 20 * h, 5 - 5 * h}, {40, 5}, {20 + 20 * h, 5 + 5 * h}, {20, 10}, {20 - 20 * h, 5 + 5 * h}, {0, 5},
        {20 - 20 * h, 5 - 5 * h}, {20, 0}, {20 + 20 * h, 5 - 5 * h}}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.fn + std::string(" ") + std::to_string(c.args.back()));
    const fakedev::RDrawCall d = One(c.fn, c.args);
    EXPECT_EQ(d.kind, c.kind);
    ExpectPoints(d, c.v);
  }
}

TEST_F(PrimitiveTest, RoundedRectangleHasFourQuarterArcsOfTenPixelCorners) {
  Call("draw_set_circle_precision", {4});
  // (0, 0) - (40.01, 20.01): corners 10 x 10, arc centres 15 / 5 from the
  // middle (20.005, 10.005). With n = 4 each arc is its two end points.
  const double mx = 20.005, my = 10.005, ox = 15.005, oy = 5.005;
  const fakedev::RDrawCall d = One("draw_roundrect_color", {0, 0, 40, 20, kRed, kBlue, 0});
  EXPECT_EQ(d.kind, EPrimitive::TriangleFan);
  ExpectPoints(d, {{mx, my},
                   {mx + ox + 5, my + oy},
                   {mx + ox, my + oy + 5},  // bottom-right
                   {mx - ox, my + oy + 5},
                   {mx - ox - 5, my + oy},  // bottom-left
                   {mx - ox - 5, my - oy},
                   {mx - ox, my - oy - 5},  // top-left
                   {mx + ox, my - oy - 5},
                   {mx + ox + 5, my - oy},  // top-right
                   {mx + ox + 5, my + oy}});
  EXPECT_EQ(d.v[0].color, 0xFFFF0000u);  // col1 at the centre
  EXPECT_EQ(d.v[1].color, 0xFF0000FFu);  // col2 on the edge
  // n + 4 triangles for any precision; the outline drops the centre.
  Call("draw_set_circle_precision", {24});
  EXPECT_EQ(One("draw_roundrect", {0, 0, 40, 20, 0}).v.size(), 24u + 6);
  const fakedev::RDrawCall outline = One("draw_roundrect", {0, 0, 40, 20, 1});
  EXPECT_EQ(outline.kind, EPrimitive::LineStrip);
  EXPECT_EQ(outline.v.size(), 24u + 5);
  // A box smaller than the corners: corners as large as the box.
  const fakedev::RDrawCall tiny = One("draw_roundrect", {0, 0, 4.5, 4.5, 0});
  for (const RDeviceVertex& v : tiny.v) {
    EXPECT_GE(v.x, -1e-4);
    EXPECT_LE(v.x, 4.5 + 1e-4);
  }
}

TEST_F(PrimitiveTest, ArrowButtonAndHealthBar) {
  // Arrow along x, size 6: the line then the head (4, 2), (10, 0), (4, -2).
  log.draws.clear();
  Call("draw_arrow", {0, 0, 10, 0, 6});
  ASSERT_EQ(log.draws.size(), 2u);
  ExpectPoints(log.draws[0], {{0.01, 0.01}, {10.01, 0.01}});
  ExpectPoints(log.draws[1], {{4, 2}, {10, 0}, {4, -2}});
  // The head is never longer than the arrow.
  log.draws.clear();
  Call("draw_arrow", {0, 0, 3, 0, 20});
  ASSERT_EQ(log.draws.size(), 2u);
  ExpectPoints(log.draws[1], {{0, 1}, {3, 0}, {0, -1}});

  // Button up: light top-left, dark bottom-right, the face in the draw colour.
  Call("draw_set_color", {kRed});
  log.draws.clear();
  Call("draw_button", {0, 0, 20, 10, 1});
  ASSERT_EQ(log.draws.size(), 3u);
  EXPECT_EQ(log.draws[0].v[0].color, 0xFFFFFFFFu);
  EXPECT_EQ(log.draws[1].v[0].color, 0xFF808080u);
  ExpectPoints(log.draws[2], {{2, 2}, {18.01, 2}, {18.01, 8.01}, {2, 8.01}});
  EXPECT_EQ(log.draws[2].v[0].color, 0xFFFF0000u);
  log.draws.clear();
  Call("draw_button", {0, 0, 20, 10, 0});
  EXPECT_EQ(log.draws[0].v[0].color, 0xFF808080u);

  // Health bar, amount 75, red to lime: mid = (128, 128, 0); merged with lime
  // by 0.5 -> (64, 192, 0). Back, back border, bar, bar border.
  log.draws.clear();
  Call("draw_healthbar", {0, 0, 100, 10, 75, kBlue, kRed, kLime, 0, 1, 1});
  ASSERT_EQ(log.draws.size(), 4u);
  EXPECT_EQ(log.draws[0].v[0].color, 0xFF0000FFu);
  EXPECT_EQ(log.draws[1].kind, EPrimitive::LineStrip);
  EXPECT_EQ(log.draws[1].v[0].color, 0xFF000000u);
  EXPECT_EQ(log.draws[2].v[0].color, 0xFF40C000u);
  EXPECT_NEAR(log.draws[2].v[1].x, 75.01, 1e-4);  // right edge moved (and, whole, + 0.01)
  // Each direction moves its own edge; the amount is clamped to 100.
  struct RDir {
    int direction;
    RPoint first, third;  // sorted corners (min, max)
  };
  const RDir dirs[] = {{1, {75, 0}, {100.01, 10.01}},
                       {2, {0, 0}, {100.01, 2.5}},
                       {3, {0, 7.5}, {100.01, 10.01}},
                       {7, {0, 0}, {25.01, 10.01}}};
  for (const RDir& r : dirs) {
    SCOPED_TRACE(r.direction);
    log.draws.clear();
    Call("draw_healthbar", {0, 0, 100, 10, 25, 0, kRed, kLime, double(r.direction), 0, 0});
    ASSERT_EQ(log.draws.size(), 1u);
    EXPECT_NEAR(log.draws[0].v[0].x, r.first.x, 1e-4);
    EXPECT_NEAR(log.draws[0].v[0].y, r.first.y, 1e-4);
    EXPECT_NEAR(log.draws[0].v[2].x, r.third.x, 1e-4);
    EXPECT_NEAR(log.draws[0].v[2].y, r.third.y, 1e-4);
  }
  log.draws.clear();
  Call("draw_healthbar", {0, 0, 100, 10, 500, 0, kRed, kLime, 0, 0, 0});
  EXPECT_EQ(log.draws[0].v[0].color, 0xFF00FF00u);
  EXPECT_NEAR(log.draws[0].v[1].x, 100.01, 1e-4);
}

TEST_F(PrimitiveTest, DegenerateAndAbsurdShapesStayBounded) {
  // Zero-length wide lines and arrows draw nothing; other degenerate shapes
  // are sent as they are.
  log.draws.clear();
  Call("draw_line_width", {5, 5, 5, 5, 3});
  Call("draw_arrow", {5, 5, 5, 5, 3});
  EXPECT_TRUE(log.draws.empty());
  EXPECT_EQ(One("draw_circle", {5, 5, 0, 0}).v.size(), 26u);
  // A negative radius is the same circle.
  const fakedev::RDrawCall neg = One("draw_circle", {5, 5, -3, 0});
  EXPECT_NEAR(neg.v[1].x, 8, 1e-4);
  // NaN or overflowing sizes give no vertices to the device at all.
  log.draws.clear();
  Call("draw_circle", {5, 5, kNaN, 0});
  Call("draw_line_width", {0, 0, 10, 0, kNaN});
  Call("draw_rectangle", {0, 0, kNaN, 10, 0});
  Call("draw_ellipse", {0, 0, 1e300, 10, 1});
  Call("draw_roundrect", {0, 0, -1e300, 10, 0});
  Call("draw_line", {0, 0, std::numeric_limits<double>::infinity(), 0});
  EXPECT_TRUE(log.draws.empty());
  // Huge precision is clamped: the largest circle is 66 vertices.
  Call("draw_set_circle_precision", {1e9});
  EXPECT_EQ(One("draw_circle", {5, 5, 3, 0}).v.size(), 66u);
}

TEST_F(PrimitiveTest, PrimitiveBuilderDrawsWhatWasAdded) {
  Call("draw_set_color", {kRed});
  Call("draw_primitive_begin", {4});
  Call("draw_vertex", {0, 0});
  Call("draw_vertex_color", {10, 0, kBlue, 0.5});
  Call("draw_vertex_texture", {0, 10, 0.25, 0.75});
  Call("draw_vertex_texture_color", {10, 10, 1, 1, kLime, 1});
  const fakedev::RDrawCall d = One("draw_primitive_end", {});
  EXPECT_EQ(d.kind, EPrimitive::TriangleList);
  EXPECT_EQ(d.tex, 0u);
  ASSERT_EQ(d.v.size(), 4u);  // the device keeps whole triangles
  EXPECT_EQ(d.v[0].color, 0xFFFF0000u);
  EXPECT_EQ(d.v[1].color, 0x800000FFu);
  EXPECT_EQ(d.v[2].color, 0xFFFF0000u);
  EXPECT_FLOAT_EQ(d.v[2].u, 0.25f);
  EXPECT_FLOAT_EQ(d.v[2].v, 0.75f);
  EXPECT_EQ(d.v[3].color, 0xFF00FF00u);
  // No offsets on the builder's vertices.
  EXPECT_EQ(d.v[1].x, 10.0f);

  // The vertices stay after the end: ending again draws them again.
  EXPECT_EQ(One("draw_primitive_end", {}).v.size(), 4u);

  // Too few vertices for one primitive, or an unknown kind: nothing.
  struct RCase {
    double kind;
    int vertices;
    bool drawn;
  };
  const RCase cases[] = {{5, 2, false}, {5, 3, true}, {6, 2, false}, {1, 1, true}, {2, 1, false},
                         {3, 2, true},  {0, 5, false}, {7, 5, false}};
  for (const RCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.vertices));
    Call("draw_primitive_begin", {c.kind});
    for (int i = 0; i < c.vertices; ++i) Call("draw_vertex", {double(i), double(i * i)});
    log.draws.clear();
    Call("draw_primitive_end", {});
    EXPECT_EQ(log.draws.size(), c.drawn ? 1u : 0u);
  }
}

TEST_F(PrimitiveTest, PrimitiveBuilderKeepsAtMost1001VerticesAndItsTexture) {
  Call("draw_primitive_begin", {1});
  for (int i = 0; i < 5000; ++i) Call("draw_vertex", {double(i), 0});
  EXPECT_EQ(GR_Draw_Primitive_Count(), 1001);
  const fakedev::RDrawCall d = One("draw_primitive_end", {});
  ASSERT_EQ(d.v.size(), 1001u);
  EXPECT_EQ(d.v.back().x, 1000.0f);

  // A texture that exists is bound; one that does not draws untextured.
  const int tex = GR_Texture_Create_From_Bitmap(TBitmap32(4, 4, 0xFFFFFFFF));
  ASSERT_GE(tex, 0);
  Call("draw_primitive_begin_texture", {5, double(tex)});
  for (int i = 0; i < 4; ++i) Call("draw_vertex_texture", {double(i % 2), double(i / 2), 0, 0});
  EXPECT_EQ(One("draw_primitive_end", {}).tex, GR_Texture_Device_Handle(tex));
  Call("draw_primitive_begin_texture", {5, 999});
  for (int i = 0; i < 4; ++i) Call("draw_vertex", {double(i % 2), double(i / 2)});
  EXPECT_EQ(One("draw_primitive_end", {}).tex, 0u);

  // A vertex that is not a number leaves the primitive undrawn.
  Call("draw_primitive_begin", {4});
  Call("draw_vertex", {0, 0});
  Call("draw_vertex", {kNaN, 0});
  Call("draw_vertex", {0, 5});
  log.draws.clear();
  Call("draw_primitive_end", {});
  EXPECT_TRUE(log.draws.empty());
}

TEST_F(PrimitiveTest, DrawPathJoinsPointsEveryFourPixels) {
  ClearPaths();
  CPath* p = PathList().Ensure(AddPath());
  p->i_closed = false;
  p->AddPoint(10, 10, 100);
  p->AddPoint(50, 10, 100);  // length 40: n = 10, 11 points
  log.draws.clear();
  Call("draw_path", {0, 100, 200, 0});  // relative: starts at (100, 200)
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].kind, EPrimitive::LineStrip);
  ASSERT_EQ(log.draws[0].v.size(), 11u);
  EXPECT_NEAR(log.draws[0].v[0].x, 100, 1e-4);
  EXPECT_NEAR(log.draws[0].v[10].x, 140, 1e-4);
  EXPECT_NEAR(log.draws[0].v[10].y, 200, 1e-4);
  log.draws.clear();
  Call("draw_path", {0, 100, 200, 1});  // absolute: the path's own places plus (x, y)
  EXPECT_NEAR(log.draws[0].v[0].x, 110, 1e-4);
  // A long path goes in strips of 500 points, each starting where the last
  // ended.
  p->ChangePoint(1, 10 + 4 * 1200, 10, 100);
  log.draws.clear();
  Call("draw_path", {0, 0, 0, 1});
  ASSERT_EQ(log.draws.size(), 3u);
  EXPECT_EQ(log.draws[0].v.size(), 500u);
  EXPECT_EQ(log.draws[1].v[0].x, log.draws[0].v[499].x);
  EXPECT_EQ(log.draws[0].v.size() + log.draws[1].v.size() + log.draws[2].v.size(), 1201u + 2);
  // A missing path is an error and draws nothing.
  log.draws.clear();
  error_last.clear();
  Call("draw_path", {5, 0, 0, 0});
  EXPECT_TRUE(log.draws.empty());
  EXPECT_NE(error_last.find("Trying to drawn non-existing path."), std::string::npos) << error_last;
  ClearPaths();
}

}  // namespace
