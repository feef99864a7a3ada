// Load benchmark: how much the runner's loading of a game costs compared with
// only inflating the game's compressed blocks with zlib.
//
// The program builds, in memory, a game holding about 100 MB of compressed
// data: included files whose bytes look like real pictures (smooth colour
// areas with noise, so deflate shrinks them only moderately), each in its own
// compressed block of the included-files section. It then times
//   (a) the runner's in-process load of the whole game file
//       (LoadGameFromBuffer: marker search, descrambling and checksum, header,
//       settings, the permuted block of sections, every section), and
//   (b) the zlib floor: inflating the same compressed blocks with zlib alone,
//       each into memory allocated for it and kept until the round ends, as
//       the runner keeps the files it loads,
// takes the best of several rounds of each (interleaved, so that other load
// on the machine falls on both) and prints the ratio a / b.
//
// The main figure holds the load to one thread: the process is pinned to one
// processor while a busy loop runs on another, as on a player's machine doing
// other work (the loader then inflates with one thread); both sides are
// timed by the processor time of the thread, which others sharing that
// processor disturb far less than the wall clock. The two-thread figure
// (unpinned, nothing busy, wall-clock time) is printed beside it.
//
//   bench_load [--mb N] [--rounds N] [--load-only N] [--breakdown]
//
// --mb sets the amount of compressed data (default 100), --rounds the number
// of timed rounds (default 3). --load-only N runs only N loads, for profiling.
// --breakdown also times the stages of one one-thread load as the loader
// itself reports them, with the zlib floor of the included files beside the
// section that holds them.
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/DataNew_Write.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// The calling thread's processor time in seconds. With the load held to
// one thread, all of its work is on the calling thread, and this clock is
// far less disturbed than the wall clock by others sharing the processor.
double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Which clock the timings read: processor time of this thread, or the wall.
bool g_thread_clock = false;
struct RTimer {
  Clock::time_point wall = Clock::now();
  double cpu = ThreadSeconds();
  double Elapsed() const { return g_thread_clock ? ThreadSeconds() - cpu : Seconds(wall, Clock::now()); }
};

// A 512 x 512 picture in 32-bit pixels: a few soft gradients and blobs, film
// grain noise, an opaque alpha channel. Deflate gets it to roughly a half.
std::vector<uint8_t> MakePicture(std::mt19937& rng) {
  const int w = 512, h = 512;
  std::vector<uint8_t> px(size_t(w) * h * 4);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double cx = u(rng) * w, cy = u(rng) * h, r0 = 60 + u(rng) * 200;
  double base[3] = {u(rng) * 255, u(rng) * 255, u(rng) * 255};
  double tint[3] = {u(rng) * 255, u(rng) * 255, u(rng) * 255};
  uint32_t noise = rng();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double dx = x - cx, dy = y - cy;
      double t = std::min(1.0, (dx * dx + dy * dy) / (r0 * r0));
      double g = double(x + y) / (w + h);
      noise = noise * 1664525u + 1013904223u;
      int grain = int((noise >> 24) & 15) - 7;
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      for (int c = 0; c < 3; ++c) {
        double v = base[c] * t + tint[c] * (1 - t) * 0.8 + 40 * g + grain;
        p[c] = uint8_t(std::clamp(v, 0.0, 255.0));
      }
      p[3] = 255;
    }
  }
  return px;
}

struct RBenchGame {
  std::vector<uint8_t> file;                       // the sealed game file
  std::vector<std::vector<uint8_t>> blocks;        // the compressed blocks, as stored
  std::vector<size_t> inflated_sizes;              // their inflated sizes
  size_t compressed_total = 0, inflated_total = 0;
};

RBenchGame BuildGame(size_t target_bytes) {
  RBenchGame g;
  std::mt19937 rng(12345);
  CGameWriter w;
  w.game_id = 777;
  w.WriteEmptyResourceSections();
  // The included files section, block by block, keeping each block's bytes.
  std::vector<CStream> records;
  while (g.compressed_total < target_bytes) {
    CDataFile f;
    f.s_filename = "picture" + std::to_string(g.blocks.size()) + ".raw";
    f.s_origname = f.s_filename;
    f.s_exists = true;
    f.s_store = true;
    f.s_data = MakePicture(rng);
    f.s_size = int(f.s_data.size());
    f.s_exportaction = 0;
    CStream record;
    f.SaveToStream(record);
    std::vector<uint8_t> z = DeflateBlock(record.Data(), record.Size());
    g.compressed_total += z.size();
    g.inflated_total += record.Size();
    g.inflated_sizes.push_back(record.Size());
    g.blocks.push_back(std::move(z));
  }
  w.BeginList(kSectionVersionIncludedFiles, int32_t(g.blocks.size()));
  for (const auto& z : g.blocks) {
    w.Sections().WriteInteger(int32_t(z.size()));
    w.Sections().WriteBuffer(z.data(), z.size());
  }
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  g.file = w.Finish();
  return g;
}

double TimeLoad(const RBenchGame& g) {
  std::vector<uint8_t> copy = g.file;  // the loader takes the buffer over; copying is not timed
  RTimer timer;
  bool ok = LoadGameFromBuffer(std::move(copy));
  double dt = timer.Elapsed();
  if (!ok || IncludedFiles.size() != g.blocks.size()) {
    std::fprintf(stderr, "bench_load: the runner failed to load the benchmark game\n");
    std::exit(1);
  }
  ClearGameData();
  return dt;
}

double TimeInflate(const RBenchGame& g) {
  std::vector<std::unique_ptr<uint8_t[]>> kept;
  kept.reserve(g.blocks.size());
  RTimer timer;
  for (size_t i = 0; i < g.blocks.size(); ++i) {
    kept.emplace_back(new uint8_t[g.inflated_sizes[i]]);
    uLongf len = uLongf(g.inflated_sizes[i]);
    if (uncompress(kept.back().get(), &len, g.blocks[i].data(), uLong(g.blocks[i].size())) != Z_OK) {
      std::fprintf(stderr, "bench_load: zlib failed on block %zu\n", i);
      std::exit(1);
    }
  }
  return timer.Elapsed();
}

// --- holding the load to one processor with the other one busy -------------

bool PinThisThread(const cpu_set_t& set) { return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0; }

class COneCore {
 public:
  // Pins the calling thread to the first processor it may use and starts a
  // busy loop on the second; false (and nothing changed) when there is only one.
  bool Start() {
    if (pthread_getaffinity_np(pthread_self(), sizeof original_, &original_) != 0) return false;
    int cpus[2], n = 0;
    for (int c = 0; c < CPU_SETSIZE && n < 2; ++c)
      if (CPU_ISSET(c, &original_)) cpus[n++] = c;
    if (n < 2) return false;
    cpu_set_t mine, other;
    CPU_ZERO(&mine);
    CPU_ZERO(&other);
    CPU_SET(cpus[0], &mine);
    CPU_SET(cpus[1], &other);
    if (!PinThisThread(mine)) return false;
    stop_ = false;
    busy_ = std::thread([this, other] {
      PinThisThread(other);
      volatile uint64_t spin = 0;
      while (!stop_.load(std::memory_order_relaxed)) spin = spin + 1;
    });
    return true;
  }
  void Stop() {
    if (!busy_.joinable()) return;
    stop_ = true;
    busy_.join();
    PinThisThread(original_);
  }
  ~COneCore() { Stop(); }

 private:
  cpu_set_t original_{};
  std::atomic<bool> stop_{false};
  std::thread busy_;
};

// The stages of one load, as the loader reports them.
std::vector<std::pair<std::string, double>> g_stages;
RTimer g_stage_timer;
void RecordStage(const char* stage) { g_stages.emplace_back(stage, g_stage_timer.Elapsed()); }

void Breakdown(const RBenchGame& g) {
  g_stages.clear();
  SetLoadStageObserver(RecordStage);
  std::vector<uint8_t> copy = g.file;
  g_stage_timer = RTimer();
  bool ok = LoadGameFromBuffer(std::move(copy));
  double total = g_stage_timer.Elapsed();
  SetLoadStageObserver(nullptr);
  if (!ok) {
    std::fprintf(stderr, "bench_load: the runner failed to load the benchmark game\n");
    std::exit(1);
  }
  ClearGameData();
  double floor = TimeInflate(g);
  double previous = 0;
  for (const auto& [stage, at] : g_stages) {
    double dt = at - previous;
    previous = at;
    if (dt < 0.0005 && stage != "Loading included files") continue;
    std::printf("  %-42s %.3f s", stage.c_str(), dt);
    if (stage == "Loading included files") std::printf("  (zlib floor of its blocks %.3f s)", floor);
    std::printf("\n");
  }
  std::printf("  %-42s %.3f s\n", "the rest (letting go of the file's bytes)", total - previous);
  std::printf("  %-42s %.3f s\n", "whole load", total);
}

}  // namespace

int main(int argc, char** argv) {
  size_t mb = 100;
  int rounds = 3;
  int load_only = 0;
  bool breakdown = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--mb" && i + 1 < argc) {
      mb = size_t(std::atoi(argv[++i]));
    } else if (a == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--load-only" && i + 1 < argc) {
      load_only = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--breakdown") {
      breakdown = true;
    } else {
      std::fprintf(stderr, "Usage: bench_load [--mb N] [--rounds N] [--load-only N] [--breakdown]\n");
      return 2;
    }
  }
  SetMessageSink([](const std::string& m) { std::fprintf(stderr, "runner: %s\n", m.c_str()); });

  auto t0 = Clock::now();
  RBenchGame g = BuildGame(mb * 1000 * 1000);
  auto t1 = Clock::now();
  std::printf("game: %zu blocks, %.1f MB compressed, %.1f MB inflated, file %.1f MB (built in %.1f s)\n",
              g.blocks.size(), g.compressed_total / 1e6, g.inflated_total / 1e6, g.file.size() / 1e6,
              Seconds(t0, t1));

  if (load_only > 0) {
    for (int i = 0; i < load_only; ++i) std::printf("load: %.3f s\n", TimeLoad(g));
    return 0;
  }

  COneCore one_core;
  const bool pinned = one_core.Start();
  if (!pinned) std::printf("(only one processor to run on: no busy loop beside the load)\n");
  g_thread_clock = true;
  double best_load = 1e30, best_inflate = 1e30;
  for (int r = 0; r < rounds; ++r) {
    best_load = std::min(best_load, TimeLoad(g));
    best_inflate = std::min(best_inflate, TimeInflate(g));
  }
  if (breakdown) {
    std::printf("stages of one one-thread load:\n");
    Breakdown(g);
  }
  one_core.Stop();
  g_thread_clock = false;
  double best_load2 = 1e30, best_inflate2 = 1e30;
  if (pinned) {
    for (int r = 0; r < rounds; ++r) {
      best_load2 = std::min(best_load2, TimeLoad(g));
      best_inflate2 = std::min(best_inflate2, TimeInflate(g));
    }
  }
  std::printf("one thread, second processor busy (processor time of the thread):\n");
  std::printf("  runner load:   %.3f s\n", best_load);
  std::printf("  zlib floor:    %.3f s\n", best_inflate);
  std::printf("  ratio:         %.2f (target at most 1.1: %s)\n", best_load / best_inflate,
              best_load <= 1.1 * best_inflate ? "met" : "not met");
  if (pinned) {
    std::printf("two threads, nothing busy (wall-clock time):\n");
    std::printf("  runner load:   %.3f s\n", best_load2);
    std::printf("  zlib floor:    %.3f s (one thread)\n", best_inflate2);
    std::printf("  ratio:         %.2f\n", best_load2 / best_inflate2);
  }
  return 0;
}
