// Following paths: starting, the speed factor, the end actions and the
// orientation and scale about the start point.
#include <gtest/gtest.h>

#include "resources/Path_Follow.h"
#include "resources/Path_Main.h"

namespace {

class PathFollowTest : public ::testing::Test {
 protected:
  int line = -1;  // (0, 0) to (100, 0)
  void SetUp() override {
    ClearPaths();
    line = AddPath();
    CPath* p = GetPath(line);
    p->SetClosed(false);
    p->AddPoint(0, 0, 100);
    p->AddPoint(100, 0, 100);
  }
  void TearDown() override { ClearPaths(); }
  RPathFollow Start(int endaction, double speed, double scale = 1, double orientation = 0, double x = 500,
                    double y = 300) {
    RPathFollow f;
    PathAssign(f, line, true, endaction, orientation, scale, speed, x, y);
    return f;
  }
};

TEST_F(PathFollowTest, SpeedFourEndsInTheTwentyFifthStep) {
  RPathFollow f = Start(0, 4);
  int steps = 0;
  RPathStep s;
  do {
    s = PathAdapt(f);
    ++steps;
    if (steps == 1) {
      EXPECT_NEAR(f.i_pathposition, 0.04, 1e-12);
      EXPECT_NEAR(s.nx, 504, 1e-9);
      EXPECT_NEAR(s.ny, 300, 1e-9);
    }
  } while (!s.ended && steps < 100);
  EXPECT_EQ(steps, 25);
  EXPECT_EQ(f.i_pathindex, -1);
  EXPECT_DOUBLE_EQ(f.i_pathposition, 1);
  EXPECT_NEAR(s.nx, 600, 1e-9);
  EXPECT_FALSE(PathAdapt(f).moved);  // stopped
}

TEST_F(PathFollowTest, ScaleAndOrientationTurnAboutTheStart) {
  RPathFollow f = Start(0, 4, 2);
  RPathStep s = PathAdapt(f);
  EXPECT_NEAR(f.i_pathposition, 0.02, 1e-12);
  EXPECT_NEAR(s.nx, 504, 1e-9);  // 4 pixels per step in the room
  // Turned by 90 degrees the path runs up the screen.
  RPathFollow g = Start(0, 10, 1, 90);
  s = PathAdapt(g);
  EXPECT_NEAR(s.nx, 500, 1e-9);
  EXPECT_NEAR(s.ny, 290, 1e-9);
  // A point speed of 50 halves the speed near it.
  GetPath(line)->ChangePoint(0, 0, 0, 50);
  RPathFollow h = Start(0, 4);
  PathAdapt(h);
  EXPECT_NEAR(h.i_pathposition, 0.02, 1e-12);
}

TEST_F(PathFollowTest, EndActions) {
  RPathFollow r = Start(1, 4);
  r.i_pathposition = 0.98;
  EXPECT_TRUE(PathAdapt(r).ended);
  EXPECT_NEAR(r.i_pathposition, 0.02, 1e-12);

  RPathFollow v = Start(3, 4);
  v.i_pathposition = 0.98;
  PathAdapt(v);
  EXPECT_NEAR(v.i_pathposition, 0.98, 1e-12);
  EXPECT_EQ(v.i_pathspeed, -4);
  v.i_pathposition = 0.03;
  PathAdapt(v);
  EXPECT_NEAR(v.i_pathposition, 0.01, 1e-12);
  EXPECT_EQ(v.i_pathspeed, 4);

  // Continue: the start moves on by the whole path.
  RPathFollow c = Start(2, 4);
  c.i_pathposition = 0.98;
  const RPathStep s = PathAdapt(c);
  EXPECT_NEAR(c.i_pathxstart, 600, 1e-9);
  EXPECT_NEAR(s.nx, 602, 1e-9);
}

TEST_F(PathFollowTest, StartingChecksThePathAndScale) {
  double x = 7, y = 8;
  RPathFollow f;
  PathAssign(f, line, false, 0, 0, 1, -4, x, y);  // absolute, backwards: at the end point
  EXPECT_DOUBLE_EQ(x, 100);
  EXPECT_DOUBLE_EQ(f.i_pathposition, 1);
  EXPECT_DOUBLE_EQ(f.i_pathxstart, 100);

  const int flat = AddPath();
  GetPath(flat)->AddPoint(5, 5, 100);
  GetPath(flat)->AddPoint(5, 5, 100);
  PathAssign(f, flat, true, 0, 0, 1, 4, x, y);
  EXPECT_EQ(f.i_pathindex, -1);
  PathAssign(f, line, true, 0, 0, -1, 4, x, y);
  EXPECT_EQ(f.i_pathindex, -1);
  PathAssign(f, 99, true, 0, 0, 1, 4, x, y);
  EXPECT_EQ(f.i_pathindex, -1);
  // A deleted path stops nothing but no longer moves the instance.
  PathAssign(f, line, true, 0, 0, 1, 4, x, y);
  DeletePath(line);
  EXPECT_FALSE(PathAdapt(f).moved);
  EXPECT_EQ(f.i_pathindex, line);
}

}  // namespace
