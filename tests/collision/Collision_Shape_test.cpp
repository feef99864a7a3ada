// Shape tests of instances and the collision and motion built-ins, on small
// masks whose answers are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "resources/Object_Main.h"
#include "resources/Path_Main.h"
#include "resources/Sprite_Main.h"
#include "runtime/Function_Motion.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Motion_Grid.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"

namespace {

constexpr TColor32 kInk = 0xFF000000u;

// Sprites: 0 block (8 x 8 solid), 1 dot (8 x 8, solid only at (0, 0) and
// (7, 7), full box), 2 bar (8 x 2 solid), 3 without frames; all with the
// origin at the top-left. Objects: 0 wall (block, solid), 1 dot, 2 mover
// (block), 3 shapeless, 4 bar.
class CollisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ClearSprites();
    ClearObjects();
    ClearPaths();
    ClearGrids();
    ResetPotentialSettings();
    TBitmap32 dot(8, 8);
    dot.SetPixel(0, 0, kInk);
    dot.SetPixel(7, 7, kInk);
    const TBitmap32 frames[] = {TBitmap32(8, 8, kInk), dot, TBitmap32(8, 2, kInk)};
    for (const TBitmap32& f : frames) {
      CSprite* s = GetSprite(AddSprite());
      s->i_numb = 1;
      s->i_bitmap = {f};
      s->ComputeMask(false, kBBoxFull, TRect{}, kMaskPrecise, 0);
    }
    GetSprite(AddSprite());  // no frames
    const int sprite_of[] = {0, 1, 0, -1, 2};
    for (int o = 0; o < 5; ++o) {
      CObject* obj = GetObject(AddObject());
      obj->o_spriteindex = sprite_of[o];
      obj->o_solid = o == 0;
    }
  }
  void TearDown() override {
    SimpleInstanceList().list.clear();
    ClearSprites();
    ClearObjects();
    ClearPaths();
    ClearGrids();
  }

  CInstance& Make(int obj, double x, double y) {
    owned_.push_back(std::make_unique<CInstance>());
    CInstance& i = *owned_.back();
    i.Create(100001 + int(owned_.size()), obj, x, y);
    SimpleInstanceList().list.push_back(&i);
    return i;
  }

  // Runs code with self (and other) and gives the result as text.
  std::string Eval(CInstance& self, const std::string& text, CInstance* other = nullptr) {
    ErrorClear();
    CCode code(text, false);
    if (!code.Compile()) return "compile: " + ErrorText();
    RValue r;
    if (!ExecuteCode(&self, other ? other : &self, &code, r)) return "error: " + ErrorText();
    if (r.kind == RValue::kString) return r.str;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", r.val);
    return buf;
  }

  std::vector<std::unique_ptr<CInstance>> owned_;
};

struct RPairCase {
  const char* what;
  int obj_a;
  double ax, ay, sxa, aa;
  int obj_b;
  double bx, by;
  bool hit;
};

TEST_F(CollisionTest, InstancePairs) {
  const RPairCase cases[] = {
      {"touching edges (0..7 and 8..15)", 2, 0, 0, 1, 0, 2, 8, 0, false},
      {"one column of overlap, solid in both", 2, 0, 0, 1, 0, 2, 7, 0, true},
      {"one column of overlap at the dot's solid corner", 2, 0, 0, 1, 0, 1, 7, 0, true},
      // The dot at (7, -7) overlaps the block only in pixel (7, 0), which is
      // its mask pixel (0, 7): not solid.
      {"one pixel of overlap, solid in one only", 2, 0, 0, 1, 0, 1, 7, -7, false},
      {"scale 2 covers 0..15, touching 16", 2, 0, 0, 2, 0, 2, 16, 0, false},
      {"scale 2 covers 0..15, overlapping 15", 2, 0, 0, 2, 0, 2, 15, 0, true},
      // Mirrored at x = 8 the block covers 1..8.
      {"mirrored, overlapping column 8", 2, 8, 0, -1, 0, 2, 8, 0, true},
      // Its box is -1..8 (the rounding of the mirrored edges), so a block at
      // -8 meets the box in column -1, where nothing is solid.
      {"mirrored, the box reaches -1 but no solid pixel", 2, 8, 0, -1, 0, 2, -8, 0, false},
      // The bar turned by 90 degrees at (20, 20) covers x 20..21, y 13..20.
      {"turned bar, top pixel", 4, 20, 20, 1, 90, 2, 14, 6, true},
      {"turned bar, above its top", 4, 20, 20, 1, 90, 2, 14, 5, false},
      {"turned bar, its origin row reaches x 21", 4, 20, 20, 1, 90, 2, 21, 20, true},
      {"zero scale has no solid pixel", 2, 0, 0, 0, 0, 2, 0, 0, false},
      {"shapeless instances never collide", 3, 0, 0, 1, 0, 3, 0, 0, false},
  };
  for (const RPairCase& c : cases) {
    CInstance& a = Make(c.obj_a, c.ax, c.ay);
    a.SetImageScaleX(c.sxa);
    a.SetImageScaleY(c.sxa < 0 ? 1 : c.sxa);
    a.SetImageAngle(c.aa);
    CInstance& b = Make(c.obj_b, c.bx, c.by);
    EXPECT_EQ(a.Collision_Instance(&b, true), c.hit) << c.what;
    EXPECT_EQ(b.Collision_Instance(&a, true), c.hit) << c.what << " (other way round)";
  }
}

TEST_F(CollisionTest, ShapeTestsOfOneInstance) {
  CInstance& dot = Make(1, 120, 100);  // solid at (120, 100) and (127, 107)
  CInstance& bar = Make(4, 20, 20);
  bar.SetImageAngle(90);  // x 20..21, y 13..20
  struct {
    const char* what;
    bool got, want;
  } cases[] = {
      {"point on a solid pixel", dot.Collision_Point(true, 127, 107), true},
      {"point on a hole", dot.Collision_Point(true, 126, 107), false},
      {"point on a hole, box only", dot.Collision_Point(false, 126, 107), true},
      {"point rounded onto the solid pixel", dot.Collision_Point(true, 126.6, 107.4), true},
      {"point just right of the box", dot.Collision_Point(false, 128, 107), false},
      {"rectangle inside the holes", dot.Collision_Rectangle(true, 121, 101, 126, 106), false},
      {"rectangle with corners swapped", dot.Collision_Rectangle(true, 130, 110, 127, 107), true},
      {"diagonal line through both corners", dot.Collision_Line(true, 110, 90, 130, 110), true},
      {"diagonal line one row lower", dot.Collision_Line(true, 110, 91, 130, 111), false},
      {"vertical line on column 120", dot.Collision_Line(true, 120, 90, 120, 100), true},
      {"line ending left of the box", dot.Collision_Line(false, 100, 100, 119, 100), false},
      {"ellipse whose top point is (127, 107)", dot.Collision_Ellipse(true, 122, 107, 132, 117), true},
      {"ellipse off both spans, its edge short of the corner", dot.Collision_Ellipse(false, 127, 107, 137, 117), false},
      {"ellipse missing both corners", dot.Collision_Ellipse(true, 120, 100, 127, 107), false},
      {"ellipse with its centre off both spans, no corner inside", dot.Collision_Ellipse(false, 128, 108, 140, 120), false},
      {"turned bar: left column (room 20, 19)", bar.Collision_Point(true, 20, 19), true},
      {"turned bar: (21, 20), the origin row to the right", bar.Collision_Point(true, 21, 20), true},
      {"turned bar: below the origin", bar.Collision_Point(true, 20, 21), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  dot.i_marked = true;
  EXPECT_FALSE(dot.Collision_Point(true, 127, 107));
}

TEST_F(CollisionTest, BadShapesAnswerWithoutHangingOrCrashing) {
  // Huge scales: boxes of millions of pixels a side; the walk must still
  // end and find the overlap (and its absence) exactly.
  CInstance& a = Make(2, 0, 0);
  a.SetImageScaleX(1e7);
  a.SetImageScaleY(1e7);
  CInstance& b = Make(2, 5e7, 5e7);
  b.SetImageScaleX(3e6);
  b.SetImageScaleY(3e6);
  CInstance& dot = Make(1, -4e7, 0);
  dot.SetImageScaleX(1e7);
  dot.SetImageScaleY(1e7);  // solid 8e7 x 8e7 squares only at two corners
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(a.Collision_Instance(&b, true));
  EXPECT_TRUE(a.Collision_Rectangle(true, -1e9, -1e9, 1e9, 1e9));
  EXPECT_TRUE(a.Collision_Ellipse(true, 7.9e7, 7.9e7, 8.1e7, 8.1e7));
  EXPECT_FALSE(a.Collision_Ellipse(true, 8.1e7, 8.1e7, 8.3e7, 8.3e7));
  // The dot covers -4e7..4e7 with solid squares at its top-left and
  // bottom-right; the block a starts at 0, so only the bottom-right square
  // (3e7..4e7, 7e7..8e7) meets it.
  EXPECT_TRUE(dot.Collision_Instance(&a, true));
  EXPECT_FALSE(dot.Collision_Rectangle(true, -2e7, 0, 2e7, 6e7));
  a.SetImageAngle(30);
  EXPECT_TRUE(a.Collision_Instance(&b, true));
  EXPECT_TRUE(a.Collision_Line(true, -1e9, 1, 1e9, 2));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // Not-a-number positions and scales: no answer is true, nothing breaks.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CInstance& n = Make(2, nan, nan);
  CInstance& m = Make(2, 0, 0);
  m.SetImageScaleX(nan);
  for (CInstance* i : {&n, &m}) {
    EXPECT_FALSE(i->Collision_Point(true, 0, 0));
    EXPECT_FALSE(i->Collision_Rectangle(true, nan, 0, 5, 5));
    EXPECT_FALSE(i->Collision_Line(true, 0, 0, nan, 5));
    EXPECT_FALSE(i->Collision_Ellipse(true, 0, 0, 5, 5));
    EXPECT_FALSE(i->Collision_Instance(&a, true));
  }
  // A sprite without frames has a box but no mask.
  CInstance& f = Make(3, 0, 0);
  f.SetSpriteIndex(3);
  EXPECT_TRUE(f.Collision_Point(false, 0, 0));
  EXPECT_FALSE(f.Collision_Point(true, 0, 0));
  EXPECT_FALSE(f.Collision_Instance(&m, true));
}

TEST_F(CollisionTest, QueriesPlacesAndSearches) {
  CInstance& self = Make(2, 0, 0);
  CInstance& wall = Make(0, 100, 100);
  CInstance& dot = Make(1, 120, 100);
  CInstance& ghost = Make(3, 50, 50);  // no shape
  const std::string W = std::to_string(wall.i_id), D = std::to_string(dot.i_id), S = std::to_string(self.i_id),
                    G = std::to_string(ghost.i_id);
  struct {
    std::string code;
    std::string want;
  } cases[] = {
      {"return place_free(93, 100)", "0"},  // self 93..100 meets the wall's column 100
      {"return place_free(92, 100)", "1"},
      {"return place_free(113, 100)", "1"},  // the dot is not solid
      {"return place_empty(113, 100)", "0"},  // self 113..120 holds (120, 100)
      {"return place_empty(113, 101)", "1"},  // rows 101..108 miss both solid corners
      {"return place_meeting(113, 100, 1)", "1"},
      {"return place_meeting(113, 100, -1)", "0"},  // self never meets itself
      {"return instance_place(113, 100, 1)", D},
      {"return instance_place(92, 100, 0)", "-4"},
      {"return x", "0"},  // every place test put self back
      {"return collision_point(127, 107, 1, true, false)", D},
      {"return collision_point(126, 107, 1, true, false)", "-4"},
      {"return collision_point(126, 107, 1, false, false)", D},
      {"return collision_point(3, 3, 2, true, true)", "-4"},  // notme
      {"return collision_point(3, 3, 2, true, false)", S},
      {"return collision_point(3, 3, -1, true, false)", "-4"},  // self is not translated
      {"return collision_point(-100000, -100000, 3, false, false)", "-4"},
      {"return collision_rectangle(121, 101, 126, 106, -3, true, false)", "-4"},
      {"return collision_rectangle(121, 101, 126, 106, -3, false, false)", D},
      {"return collision_line(110, 90, 130, 110, 1, true, false)", D},
      {"return collision_line(110, 91, 130, 111, 1, true, false)", "-4"},
      {"return collision_circle(104, 104, 0, 0, true, false)", W},
      {"return collision_circle(90, 104, 9.9, -3, true, false)", "-4"},
      {"return collision_circle(90, 104, 10, -3, true, false)", W},
      {"return collision_ellipse(95, 95, 112, 112, " + W + ", true, false)", W},
      {"return position_empty(103, 103)", "0"},
      {"return position_empty(110, 103)", "1"},
      {"return position_meeting(120, 100, 1)", "1"},
      {"return instance_position(120, 100, -3)", D},
      {"return instance_position(121, 100, -3)", "-4"},
      {"return instance_nearest(130, 100, -3)", D},
      {"return instance_nearest(130, 100, " + D + ")", "-4"},  // an id finds nothing
      {"return instance_nearest(50, 50, 3)", G},  // by position, shape or not
      {"return instance_furthest(0, 0, -3)", D},
      {"return instance_nearest(0, 0, 4)", "-4"},
  };
  for (const auto& c : cases) EXPECT_EQ(Eval(self, c.code), c.want) << c.code;
  // Equal distances: the first in the list wins.
  CInstance& twin = Make(1, 120, 100);
  EXPECT_EQ(Eval(self, "return instance_nearest(130, 100, 1)"), D);
  EXPECT_EQ(Eval(self, "return instance_furthest(130, 100, 1)"), D);
  twin.i_marked = true;
  dot.i_marked = true;
  EXPECT_EQ(Eval(self, "return instance_nearest(130, 100, 1)"), "-4");
}

TEST_F(CollisionTest, ContactOutsideAndBounce) {
  CInstance& self = Make(2, 0, 100);
  Make(0, 100, 100);  // the solid wall at 100..107
  Make(1, 120, 100);  // the non-solid dot
  struct {
    const char* code;
    const char* want;
  } cases[] = {
      {"move_contact_solid(0, 0); return x", "92"},  // right edge 99 touches 100
      {"move_contact_solid(0, 50); return x", "50"},
      {"x = 93; move_contact_solid(0, 0); return x", "93"},  // not free: no move
      {"x = 95; return string(move_outside_solid(180, -1)) + ' ' + string(x)", "1 92"},
      {"x = 95; return string(move_outside_solid(180, 2)) + ' ' + string(x)", "0 93"},
      {"x = 95; move_contact(180); return x", "92"},  // inside: moves outside
      {"x = 0; move_contact(0); return x", "92"},
      // Contact with all instances stops at the wall before the dot: from
      // 108 the dot's (120, 100) is met by self 113..120.
      {"x = 108; move_contact_all(0, 0); return x", "112"},
      {"x = 108; move_contact_solid(0, 0); return x", "1108"},
      // Simple bounce against the wall: only the horizontal move is blocked.
      {"x = 92; hspeed = 3; vspeed = 1; move_bounce_solid(false); return string(hspeed) + ' ' + string(vspeed)", "-3 1"},
      // Precise bounce: from direction 0, the first free tries are -90 and
      // 90, so the direction becomes -90 + 90 + 180 - 0.
      {"x = 92; direction = 0; speed = 3; move_bounce_solid(true); return direction", "180"},
      // Free around: nothing noted, the direction stays.
      {"x = 0; y = 0; direction = 45; speed = 3; move_bounce_solid(true); return direction", "45"},
      // The dot counts for bouncing off all instances only.
      {"x = 110; y = 100; hspeed = 3; vspeed = 0; move_bounce_all(false); return hspeed", "-3"},
      {"x = 110; y = 100; hspeed = 3; vspeed = 0; move_bounce_solid(false); return hspeed", "3"},
      // Not free now: back to the previous position first.
      {"xprevious = 40; yprevious = 100; x = 95; hspeed = 2; vspeed = 0; move_bounce(false); return string(x) + ' ' + string(hspeed)", "40 2"},
  };
  for (const auto& c : cases) {
    self.SetPosition(0, 100);
    self.SetSpeed(0);
    EXPECT_EQ(Eval(self, c.code), c.want) << c.code;
  }
}

TEST_F(CollisionTest, PositionDestroyAndChange) {
  CInstance& self = Make(2, 0, 0);
  CInstance& dot = Make(1, 120, 100);
  CInstance& wall = Make(0, 100, 100);
  Eval(self, "position_destroy(121, 100)");  // a hole of the dot
  EXPECT_FALSE(dot.i_marked);
  Eval(self, "position_destroy(120, 100)");
  EXPECT_TRUE(dot.i_marked);
  Eval(self, "position_change(105, 100, 99, false)");
  EXPECT_EQ(error_last.find("Asking to change into non-existing object: 99") != std::string::npos, true) << error_last;
  EXPECT_FALSE(wall.i_marked);
}

TEST_F(CollisionTest, MotionFunctions) {
  CInstance& self = Make(2, 0, 100);
  Make(0, 100, 100);
  struct {
    const char* code;
    const char* want;
  } cases[] = {
      {"motion_set(90, 2); return vspeed", "-2"},
      {"motion_set(0, 2); motion_add(90, 2); return string(direction) + ' ' + string(speed)", "45 2.83"},
      {"move_towards_point(x, y, 3); return string(direction) + ' ' + string(hspeed)", "0 3"},
      {"move_towards_point(x, y - 10, 3); return vspeed", "-3"},
      {"x = 23; y = 9; move_snap(16, 16); return string(x) + ' ' + string(y)", "16 16"},
      {"x = 23; y = 9; move_snap(0, 4); return string(x) + ' ' + string(y)", "23 8"},
      {"x = 32.0005; y = 7; return place_snapped(16, 0)", "1"},
      {"x = 32.002; return place_snapped(16, 0)", "0"},
      {"x = 10; y = 11; return distance_to_point(20, 22)", "5"},  // box 10..17 x 11..18: gaps 3 and 4
      {"return distance_to_object(0)", "93"},  // box 0..7 to 100..107 in x, same rows
      {"return distance_to_object(4)", "1e+06"},
      // Ten pixels to the goal in steps of four.
      {"x = 0; y = 0; a = mp_linear_step(10, 0, 4, false); b = mp_linear_step(10, 0, 4, false); c = "
       "mp_linear_step(10, 0, 4, false); return string(a) + string(b) + string(c) + ' ' + string(x)",
       "001 10"},
      // Blocked goal within one step: true, and nothing moves.
      {"x = 88; y = 100; return string(mp_linear_step(93, 100, 8, false)) + ' ' + string(x)", "1 88"},
      {"x = 88; y = 100; return string(mp_linear_step_object(93, 100, 8, 1)) + ' ' + string(x)", "1 93"},
  };
  for (const auto& c : cases) {
    self.SetPosition(0, 100);
    self.SetSpeed(0);
    self.SetDirection(0);
    EXPECT_EQ(Eval(self, c.code), c.want) << c.code;
  }
}

TEST_F(CollisionTest, PotentialStepTurnsWithinItsLimit) {
  CInstance& self = Make(2, 0, 0);
  // Facing up, goal to the right: only directions within 30 degrees of 90
  // may be taken, and the first in the order g - k, g + k is 60.
  self.SetDirection(90);
  EXPECT_EQ(Eval(self, "return mp_potential_step(200, 0, 4, false)"), "0");
  EXPECT_EQ(self.i_direction, 60);
  EXPECT_NEAR(self.i_x, 2, 1e-9);
  EXPECT_NEAR(self.i_y, -4 * std::sin(60 * 3.14159265358979323846 / 180), 1e-9);
  // Shut in by solid walls: every try fails and it turns on the spot.
  self.SetPosition(50, 50);
  self.SetDirection(0);
  for (auto [x, y] : {std::pair{58, 50}, std::pair{42, 50}, std::pair{50, 58}, std::pair{50, 42}, std::pair{58, 58},
                      std::pair{42, 42}, std::pair{58, 42}, std::pair{42, 58}})
    Make(0, x, y);
  EXPECT_EQ(Eval(self, "return mp_potential_step(200, 50, 4, false)"), "0");
  EXPECT_EQ(self.i_direction, 30);
  EXPECT_EQ(self.i_x, 50);
  Eval(self, "mp_potential_settings(45, 0, 0, false)");
  EXPECT_EQ(Eval(self, "return mp_potential_step(200, 50, 4, false)"), "0");
  EXPECT_EQ(self.i_direction, 30);
  // A path planned from inside the walls fails instead of running forever.
  const int p = AddPath();
  Eval(self, "mp_potential_settings(30, 10, 3, true)");
  EXPECT_EQ(Eval(self, "return mp_potential_path(" + std::to_string(p) + ", 200, 50, 4, 4, false)"), "0");
  EXPECT_EQ(Eval(self, "return mp_linear_path(" + std::to_string(p) + ", 200, 50, -4, false)"), "0");
  EXPECT_EQ(self.i_x, 50);
  EXPECT_EQ(self.i_direction, 30);  // restored
}

TEST_F(CollisionTest, StraightPathsAroundNothing) {
  CInstance& self = Make(2, 0, 0);
  const int p = AddPath();
  const std::string P = std::to_string(p);
  EXPECT_EQ(Eval(self, "return mp_linear_path(" + P + ", 10, 0, 4, false)"), "1");
  const CPath* path = GetPath(p);
  ASSERT_EQ(path->Count(), 4);  // 0, 4, 8 and the goal 10
  EXPECT_EQ(path->Point(3)->x, 10);
  EXPECT_FALSE(path->Closed());
  EXPECT_EQ(self.i_x, 0);
  EXPECT_EQ(Eval(self, "return mp_potential_path(" + P + ", 40, 0, 8, 2, false)"), "1");
  EXPECT_EQ(path->Count(), 6);  // 0, 8, 16, 24, 32 and the goal
  EXPECT_EQ(Eval(self, "return mp_potential_path(" + P + ", 40, 0, 8, 0.5, false)"), "0");
  EXPECT_EQ(Eval(self, "return mp_linear_path(99, 10, 0, 4, false)"), "0");
  EXPECT_NE(error_last.find("Trying to assign to a non-existing path."), std::string::npos);
}

// Grids: the hand-worked searches of a 3 x 1 and a 3 x 3 grid of 10-pixel
// cells, and the bounds of a grid.
TEST_F(CollisionTest, GridSearch) {
  CInstance& self = Make(2, 0, 0);
  const int p = AddPath();
  const std::string P = std::to_string(p);
  EXPECT_EQ(Eval(self, "g = mp_grid_create(0, 0, 3, 1, 10, 10); mp_grid_add_cell(g, 1, 0); return mp_grid_path(g, " + P +
                           ", 5, 5, 25, 5, true)"),
            "0");
  // Centre forbidden, diagonals allowed: no corner is cut beside it, so the
  // path goes down the left column and along the bottom row.
  EXPECT_EQ(Eval(self, "g = mp_grid_create(0, 0, 3, 3, 10, 10); mp_grid_add_cell(g, 1, 1); return mp_grid_path(g, " +
                           P + ", 5, 5, 27, 26, true)"),
            "1");
  const CPath* path = GetPath(p);
  const double want[][2] = {{5, 5}, {5, 15}, {5, 25}, {15, 25}, {27, 26}};
  ASSERT_EQ(path->Count(), 5);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(path->Point(k)->x, want[k][0]) << k;
    EXPECT_EQ(path->Point(k)->y, want[k][1]) << k;
  }
  EXPECT_EQ(Eval(self, "return mp_grid_path(1, " + P + ", 2, 3, 8, 7, false)"), "1");  // one cell
  EXPECT_EQ(path->Count(), 2);
  EXPECT_EQ(GetGrid(1)->Cell(0, 0), 0);  // search marks are cleared
  EXPECT_EQ(Eval(self, "return mp_grid_path(1, " + P + ", 30, 5, 5, 5, false)"), "0");  // start outside
  EXPECT_EQ(Eval(self, "return mp_grid_path(1, " + P + ", 15, 15, 5, 5, false)"), "0");  // start forbidden

  // Absurd sizes: refused with a message, nothing allocated.
  EXPECT_EQ(Eval(self, "return mp_grid_create(0, 0, 100000, 100000, 16, 16)"), "-1");
  EXPECT_NE(error_last.find("Cannot create a grid of 100000 x 100000 cells"), std::string::npos) << error_last;
  EXPECT_EQ(Eval(self, "return mp_grid_create(0, 0, 100000 * 100000, -5, 16, 16)"), "-1");
  EXPECT_EQ(Eval(self, "return mp_grid_create(0, 0, 4, 4, 0, 16)"), "-1");
  // Ids are reused; unknown ids are ignored.
  EXPECT_EQ(Eval(self, "mp_grid_destroy(0); mp_grid_clear_all(7); return mp_grid_create(0, 0, 1, 1, 1, 1)"), "0");
}

TEST_F(CollisionTest, GridRectanglesAndInstances) {
  CInstance& self = Make(2, 0, 0);
  Make(1, 20, 0);  // the dot: solid only at (20, 0) and (27, 7)
  Make(3, 10, 10);  // shapeless
  Make(0, 36, 12);  // the wall block at 36..43 x 12..19
  ASSERT_EQ(Eval(self, "g = mp_grid_create(0, 0, 6, 3, 8, 8); return g"), "0");
  CGrid* g = GetGrid(0);
  auto forbidden = [&] {
    std::string s;
    for (int j = 0; j < g->i_vcells; ++j) {
      for (int i = 0; i < g->i_hcells; ++i) s += g->Cell(i, j) < 0 ? '#' : '.';
      s += '/';
    }
    return s;
  };
  // The dot's box 20..27 x 0..7 spans columns 2 and 3, row 0; its solid
  // pixels (20, 0) and (27, 7) lie in columns 2 and 3.
  Eval(self, "mp_grid_add_instances(g, 1, true)");
  EXPECT_EQ(forbidden(), "..##../....../....../");
  Eval(self, "mp_grid_clear_all(g); mp_grid_add_instances(g, 0, true)");
  EXPECT_EQ(forbidden(), "....../....##/....##/");  // 36..43 -> columns 4, 5; 12..19 -> rows 1, 2
  Eval(self, "mp_grid_clear_all(g); mp_grid_add_rectangle(g, -50, 9, 8, 9)");
  EXPECT_EQ(forbidden(), "....../##..../....../");
  Eval(self, "mp_grid_clear_rectangle(g, 8, 9, 0, 0); mp_grid_add_instances(g, 3, false)");
  EXPECT_EQ(forbidden(), "....../....../....../");  // shapeless: no cells
}

}  // namespace
