// Floor for the instances benchmark (bench/instances.sh): the arithmetic of
// bench/instances_game's step event done by a plain C++ loop over 10,000
// records of doubles, with nothing else around it.
//
//   bench_instances_floor STEPS [MIN_SECONDS]
//
// Sets the records up as the room's creation code and create event do, runs
// STEPS steps over all of them, and repeats that whole run (from a fresh set
// of records) until MIN_SECONDS (default 1) of CPU time have passed, at
// least three times. Times are the process's CPU time, as the script measures
// the game, so that other programs on a busy machine disturb them less.
// Prints
//   steps=STEPS us_per_step=T
//   N SX SY SL SE
// where T is the best run's time divided by STEPS, and the second line has
// the same sums the game prints at its end (count, sums of x, y, laps and
// energy), so the script can check that both did the same work.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

struct Mover {
  double x, y, dx, base_y, laps, energy;
};

constexpr int kCount = 10000;

// The room width comes through a volatile so that the compiler cannot fold
// the wrap-around into constants the game does not have either.
volatile double g_roomWidth = 640;

void Setup(std::vector<Mover>& movers) {
  movers.resize(kCount);
  for (int i = 0; i < kCount; ++i) {
    Mover& m = movers[i];
    m.x = std::fmod(i * 37.0, 640.0);
    m.y = std::fmod(i * 13.0, 480.0);
    m.dx = std::fmod(m.x, 7.0) - 3.25;
    m.base_y = m.y;
    m.laps = 0;
    m.energy = 0;
  }
}

void Step(std::vector<Mover>& movers, double width) {
  for (Mover& m : movers) {
    m.x += m.dx;
    if (m.x >= width) {
      m.x -= width;
      m.laps += 1;
    } else if (m.x < 0) {
      m.x += width;
      m.laps += 1;
    }
    m.energy = m.energy * 0.9 + m.dx * m.dx;
    m.y = m.base_y + m.energy * 0.01;
  }
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_instances_floor STEPS [MIN_SECONDS]\n");
    return 2;
  }
  long steps = std::atol(argv[1]);
  double minSeconds = argc > 2 ? std::atof(argv[2]) : 1.0;
  if (steps < 1) steps = 1;

  std::vector<Mover> movers;
  double best = 1e300, total = 0;
  for (int round = 0; round < 3 || total < minSeconds; ++round) {
    Setup(movers);
    const double t0 = CpuSeconds();
    for (long s = 0; s < steps; ++s) Step(movers, g_roomWidth);
    const double t = CpuSeconds() - t0;
    total += t;
    if (t < best) best = t;
  }

  double sx = 0, sy = 0, sl = 0, se = 0;
  for (const Mover& m : movers) {
    sx += m.x;
    sy += m.y;
    sl += m.laps;
    se += m.energy;
  }
  std::printf("steps=%ld us_per_step=%.3f\n", steps, best / steps * 1e6);
  std::printf("%d %.6f %.6f %.6f %.6f\n", kCount, sx, sy, sl, se);
  return 0;
}
