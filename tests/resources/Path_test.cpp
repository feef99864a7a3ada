// Path interpolation and position lookup, checked against values worked out
// by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "resources/Path_Class.h"
#include "runner/Support_Stream.h"

namespace {

CPath Make(int kind, bool closed, int precision, std::vector<RWayPoint> pts) {
  CPath p;
  p.i_kind = kind;
  p.i_closed = closed;
  p.i_precision = precision;
  p.i_points = pts;
  p.i_count = int(pts.size());
  p.ComputeInternal();
  return p;
}

void ExpectPos(const CPath& p, double t, double x, double y, double speed = 100) {
  const RPathPos pos = p.GetPosition(t);
  EXPECT_NEAR(pos.x, x, 1e-9) << "t=" << t;
  EXPECT_NEAR(pos.y, y, 1e-9) << "t=" << t;
  EXPECT_NEAR(pos.speed, speed, 1e-9) << "t=" << t;
}

const std::vector<RWayPoint> kSquare = {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 100}};

TEST(PathTest, StraightClosedSquare) {
  const CPath p = Make(0, true, 4, kSquare);
  EXPECT_EQ(p.i_intcount, 5);
  EXPECT_DOUBLE_EQ(p.PathLength(), 400);
  ExpectPos(p, 0, 0, 0);
  ExpectPos(p, 0.125, 50, 0);
  ExpectPos(p, 0.25, 100, 0);
  ExpectPos(p, 0.6, 60, 100);
  ExpectPos(p, 1, 0, 0);
}

TEST(PathTest, StraightOpenClampsAndInterpolatesSpeed) {
  const CPath p = Make(0, false, 4, {{0, 0, 100}, {30, 40, 50}});
  EXPECT_DOUBLE_EQ(p.PathLength(), 50);
  ExpectPos(p, 0.5, 15, 20, 75);
  ExpectPos(p, 2, 30, 40, 50);
  ExpectPos(p, -1, 0, 0, 100);
}

TEST(PathTest, SmoothOpenPrecisionOneAndTwo) {
  const std::vector<RWayPoint> pts = {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}};
  const CPath p1 = Make(1, false, 1, pts);
  ASSERT_EQ(p1.i_intcount, 3);
  // M = (P0 + 6 P1 + P2) / 8
  EXPECT_DOUBLE_EQ(p1.i_intpoints[1].x, 87.5);
  EXPECT_DOUBLE_EQ(p1.i_intpoints[1].y, 12.5);
  EXPECT_DOUBLE_EQ(p1.i_intpoints[2].y, 100);

  const CPath p2 = Make(1, false, 2, pts);
  ASSERT_EQ(p2.i_intcount, 5);
  const double xs[] = {0, 71.875, 87.5, 96.875, 100};
  const double ys[] = {0, 3.125, 12.5, 28.125, 100};
  for (int i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(p2.i_intpoints[size_t(i)].x, xs[i]);
    EXPECT_DOUBLE_EQ(p2.i_intpoints[size_t(i)].y, ys[i]);
  }
}

TEST(PathTest, SmoothStopsRefiningShortPieces) {
  // Control points 4 pixels apart: no half is refined at any precision.
  const CPath p = Make(1, false, 8, {{0, 0, 100}, {4, 0, 100}, {4, 4, 100}});
  EXPECT_EQ(p.i_intcount, 3);
}

TEST(PathTest, SmoothClosedSquareAndPrecisionZero) {
  const CPath p = Make(1, true, 1, kSquare);
  ASSERT_EQ(p.i_intcount, 5);
  EXPECT_DOUBLE_EQ(p.i_intpoints[0].x, 87.5);
  EXPECT_DOUBLE_EQ(p.i_intpoints[0].y, 12.5);
  EXPECT_DOUBLE_EQ(p.i_intpoints[1].y, 87.5);
  EXPECT_DOUBLE_EQ(p.i_intpoints[3].x, 12.5);
  EXPECT_DOUBLE_EQ(p.i_intpoints[4].x, 87.5);
  EXPECT_DOUBLE_EQ(p.PathLength(), 300);
  ExpectPos(p, 0.125, 87.5, 50);

  // Open with precision 0: a straight line from the first to the last point.
  const CPath open0 = Make(1, false, 0, kSquare);
  EXPECT_EQ(open0.i_intcount, 2);
  ExpectPos(open0, 0.5, 0, 50);
  // Closed with precision 0 produces nothing at all.
  const CPath closed0 = Make(1, true, 0, kSquare);
  EXPECT_EQ(closed0.i_intcount, 0);
  EXPECT_DOUBLE_EQ(closed0.PathLength(), 0);
  ExpectPos(closed0, 0.5, 0, 0);
}

TEST(PathTest, DegenerateAndEmptyPaths) {
  CPath empty;
  EXPECT_EQ(empty.i_intcount, 0);
  ExpectPos(empty, 0.3, 0, 0, 100);
  const CPath one = Make(0, false, 4, {{7, 8, 60}});
  ExpectPos(one, 0.7, 7, 8, 60);
  // All points equal: length 0, the first point everywhere.
  const CPath same = Make(0, false, 4, {{5, 5, 100}, {5, 5, 40}});
  EXPECT_DOUBLE_EQ(same.PathLength(), 0);
  ExpectPos(same, 0.9, 5, 5, 100);
}

TEST(PathTest, EditsRecomputeAtOnce) {
  CPath p;
  p.SetClosed(false);
  EXPECT_EQ(p.AddPoint(0, 0, 100), 0);
  p.AddPoint(100, 0, 100);
  EXPECT_DOUBLE_EQ(p.PathLength(), 100);
  p.InsertPoint(1, 50, 50, 100);
  EXPECT_EQ(p.Count(), 3);
  EXPECT_NEAR(p.PathLength(), 2 * std::hypot(50, 50), 1e-9);
  p.InsertPoint(9, 1, 1, 1);  // out of range: nothing
  p.DeletePoint(-1);
  EXPECT_EQ(p.Count(), 3);
  p.DeletePoint(1);
  EXPECT_DOUBLE_EQ(p.PathLength(), 100);
  p.Reverse();
  ExpectPos(p, 0, 100, 0);
  p.Shift(10, 5);
  ExpectPos(p, 1, 10, 5);
  p.SetKind(5);  // anything but 1 is straight
  EXPECT_EQ(p.Kind(), 0);
  p.SetPrecision(20);
  EXPECT_EQ(p.Precision(), 8);

  CPath sq = Make(0, true, 4, kSquare);
  sq.Rotate(90);  // (100, 0) turns counter-clockwise about (50, 50) to (0, 0)
  EXPECT_NEAR(sq.Point(1)->x, 0, 1e-9);
  EXPECT_NEAR(sq.Point(1)->y, 0, 1e-9);
  CPath m = Make(0, false, 4, {{0, 0, 100}, {10, 20, 100}});
  m.Mirror();
  EXPECT_DOUBLE_EQ(m.Point(0)->x, 10);
  m.Flip();
  EXPECT_DOUBLE_EQ(m.Point(0)->y, 20);
  m.Scale(2, 3);
  EXPECT_DOUBLE_EQ(m.Point(0)->x, 15);
  EXPECT_DOUBLE_EQ(m.Point(0)->y, 40);
}

TEST(PathTest, RecordRoundTripAndBadRecords) {
  const CPath p = Make(1, false, 3, {{1, 2, 100}, {50, 60, 70}, {-5, 9, 100}});
  CStream s;
  p.SaveToStream(s);
  s.Seek(0);
  CPath back;
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(back.i_kind, 1);
  EXPECT_FALSE(back.i_closed);
  EXPECT_EQ(back.i_precision, 3);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_DOUBLE_EQ(back.Point(1)->speed, 70);
  EXPECT_DOUBLE_EQ(back.PathLength(), p.PathLength());

  CStream wrong;
  wrong.WriteInteger(520);
  wrong.Seek(0);
  EXPECT_FALSE(back.LoadFromStream(wrong));

  // A stored precision far above 8 is kept but subdivides like 8.
  CStream deep;
  for (int v : {530, 1, 0, 1000000, 3}) deep.WriteInteger(v);
  for (double v : {0.0, 0.0, 100.0, 1e9, 0.0, 100.0, 1e9, 1e9, 100.0}) deep.WriteReal(v);
  deep.Seek(0);
  ASSERT_TRUE(back.LoadFromStream(deep));
  EXPECT_EQ(back.i_precision, 1000000);
  EXPECT_EQ(back.i_intcount, 2 + 255);

  CStream huge;
  for (int v : {530, 0, 1, 4, 1000000000}) huge.WriteInteger(v);
  huge.Seek(0);
  EXPECT_FALSE(back.LoadFromStream(huge));
}

}  // namespace
