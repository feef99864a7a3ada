// End-to-end: small games that collide and plan, packed with roompack and
// played headless; their debug lines say where the instances went.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../Test_Process.h"

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

class CollisionGameTest : public testproc::ScratchDirTest {
 protected:
  std::string Run(const std::string& game, int steps) {
    const std::string bin = (dir_ / "game.bin").string();
    ROutput p = Capture(kBin + "/roompack " + kGames + game + " -o " + bin + " 2>&1");
    EXPECT_EQ(p.status, 0) << p.out;
    ROutput r = Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --steps " +
                        std::to_string(steps) + " " + bin + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
  }
};

bool Has(const std::string& out, const std::string& line) { return out.find(line + "\n") != std::string::npos; }

// The player (16 px, origin at its left edge) moves right 3 px a step from
// x = 10 towards a solid wall at x = 100. After step 25 it would be at 85,
// overlapping: it is put back to 82 before its event, whose contact move
// takes it to 84 (right edge 99, touching 100) and stops it. The ghost is
// not solid and has no collision event, so it passes through its wall.
TEST_F(CollisionGameTest, SolidWallStopsThePlayerAtContact) {
  const std::string out = Run("coll_wall", 30);
  EXPECT_TRUE(Has(out, "end step x 82 speed 3")) << out;
  EXPECT_TRUE(Has(out, "hit at 82 previous 82")) << out;
  EXPECT_TRUE(Has(out, "player 84 hits 1 touching 1 free 1")) << out;
  EXPECT_EQ(out.find("end step x 85"), std::string::npos) << out;
  EXPECT_TRUE(Has(out, "ghost 100 met 6")) << out;  // overlapping in steps 25 to 30
}

// Two balls in a closed box of solid walls, one with the simple bounce and
// one with the precise bounce: after every step their boxes stay inside the
// walls and never overlap one, and they keep their speed.
TEST_F(CollisionGameTest, BallsStayInsideTheBoxFor1000Steps) {
  const std::string out = Run("coll_bounce", 1000);
  for (const char* ball : {"1", "2"}) {
    const std::string head = std::string(ball) + " steps 1000 bounces ";
    const size_t at = out.find(head);
    ASSERT_NE(at, std::string::npos) << out;
    const std::string line = out.substr(at, out.find('\n', at) - at);
    EXPECT_NE(line.find(" bad 0 "), std::string::npos) << line;
    EXPECT_GT(std::stoi(line.substr(head.size())), 20) << line;
  }
  EXPECT_TRUE(Has(out, "1 steps 1000 bounces 67 bad 0 speed 5")) << out;
}

// The grid planner's path around the lower end of a wall in column 5,
// walked at one cell a step: down column 1, along row 9, up column 6, then
// to the goal; 23 cells, the shortest way.
TEST_F(CollisionGameTest, GridPlannerWalksTheShortestPathAroundAWall) {
  const std::string out = Run("coll_grid", 26);
  EXPECT_TRUE(Has(out, "found 1 diag 1 closed 0")) << out;
  EXPECT_TRUE(Has(out, "step 9 at 24,152")) << out;
  EXPECT_TRUE(Has(out, "step 14 at 104.00,152")) << out;
  EXPECT_TRUE(Has(out, "step 22 at 104,24.00")) << out;
  EXPECT_TRUE(Has(out, "step 24 at 136.00,24")) << out;
  EXPECT_TRUE(Has(out, "path end in step 25")) << out;
}

// Sixty 8 x 8 dots and thirty rings in a small room, one dot deactivated,
// their collision events moving some of them (dots with ids divisible by 3
// go 5 right, even rings 4 down) while the phase runs. The order of the
// events must be exactly that of the plain walk: pairs (dot, dot), then
// (dot, ring); dots in list order, and for each, the instances after it (or
// every ring) in list order, tested with the positions of that moment. The
// test walks the same way over the reported positions and compares.
TEST_F(CollisionGameTest, EventOrderIsThatOfThePlainWalk) {
  const std::string out = Run("coll_order", 3);
  struct RBox {
    int id, x, y;
  };
  std::vector<RBox> dots, rings;
  int deactivated = -1;
  std::vector<std::string> got;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream f(line);
    std::string tag;
    f >> tag;
    if (tag == "i") {
      std::string kind;
      RBox b{};
      f >> kind >> b.id >> b.x >> b.y;
      (kind == "d" ? dots : rings).push_back(b);
    } else if (tag == "x") {
      f >> deactivated;
    } else if (tag == "c" || tag == "r" || tag == "step") {
      got.push_back(line);
    }
  }
  ASSERT_EQ(dots.size(), 60u) << out;
  ASSERT_EQ(rings.size(), 30u);
  std::erase_if(dots, [&](const RBox& b) { return b.id == deactivated; });

  auto meet = [](const RBox& a, const RBox& b) { return std::abs(a.x - b.x) <= 7 && std::abs(a.y - b.y) <= 7; };
  std::vector<std::string> want;
  for (int step = 0; step < 3; ++step) {
    want.push_back("step");
    for (size_t i = 0; i < dots.size(); ++i)
      for (size_t j = i + 1; j < dots.size(); ++j) {
        if (!meet(dots[i], dots[j])) continue;
        for (RBox* b : {&dots[i], &dots[j]}) {
          const RBox* o = b == &dots[i] ? &dots[j] : &dots[i];
          want.push_back("c " + std::to_string(b->id) + " " + std::to_string(o->id));
          if (b->id % 3 == 0) b->x += 5;
        }
      }
    for (RBox& d : dots)
      for (RBox& r : rings) {
        if (!meet(d, r)) continue;
        want.push_back("r " + std::to_string(r.id) + " " + std::to_string(d.id));
        if (r.id % 2 == 0) r.y += 4;
      }
  }
  EXPECT_GT(want.size(), 200u);  // the layout does make many pairs meet
  ASSERT_EQ(got.size(), want.size()) << out;
  for (size_t k = 0; k < want.size(); ++k) ASSERT_EQ(got[k], want[k]) << "event " << k;
}

// Thirty dots in a row meeting only their neighbours; when the 11th meets
// the 12th, its event deactivates the 4th, so the direct list closes up in
// the middle of the walk (the broad phase must index it anew). The plain
// walk, which the test repeats, then reads the shifted positions: the 12th
// is never an i in that step, and the later pairs go on from there.
TEST_F(CollisionGameTest, ListReformedDuringThePhaseKeepsThePlainOrder) {
  const std::string out = Run("coll_activate", 3);
  std::vector<int> list;
  std::vector<std::string> got;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("i ", 0) == 0) list.push_back(std::stoi(line.substr(2)));
    else if (line == "step" || line.rfind("c ", 0) == 0) got.push_back(line);
  }
  ASSERT_EQ(list.size(), 30u) << out;
  const int victim = list[3], trigger = list[10], after = list[11];
  const int first = list[0];  // ids are consecutive: id - first is x / 6
  auto place = [&](int id) { return id - first; };
  bool done = false;
  std::vector<std::string> want;
  for (int step = 0; step < 3; ++step) {
    want.push_back("step");
    const int n = int(list.size());
    for (int ni = 0; ni < n; ++ni) {
      if (ni >= int(list.size())) break;
      const int i = list[size_t(ni)];
      for (int nj = ni + 1; nj < n; ++nj) {
        if (nj >= int(list.size())) break;
        const int j = list[size_t(nj)];
        if (std::abs(place(i) - place(j)) != 1) continue;
        want.push_back("c " + std::to_string(i) + " " + std::to_string(j));
        if (i == trigger && j == after && !done) {
          done = true;
          std::erase(list, victim);
        }
        want.push_back("c " + std::to_string(j) + " " + std::to_string(i));
      }
    }
  }
  ASSERT_EQ(got.size(), want.size()) << out;
  for (size_t k = 0; k < want.size(); ++k) ASSERT_EQ(got[k], want[k]) << "event " << k;
}

}  // namespace
