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
//   (b) inflating the same compressed blocks with zlib alone,
// takes the best of several rounds of each and prints the ratio a / b.
//
//   bench_load [--mb N] [--rounds N] [--load-only N] [--breakdown]
//
// --mb sets the amount of compressed data (default 100), --rounds the number
// of timed rounds (default 3). --load-only N runs only N loads, for profiling.
// --breakdown also times the load's stages one by one with the runner's own
// routines, to show where the time beyond inflation goes.
#include <zlib.h>

#include <chrono>
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
  auto t0 = Clock::now();
  bool ok = LoadGameFromBuffer(std::move(copy));
  auto t1 = Clock::now();
  if (!ok || IncludedFiles.size() != g.blocks.size()) {
    std::fprintf(stderr, "bench_load: the runner failed to load the benchmark game\n");
    std::exit(1);
  }
  ClearGameData();
  return Seconds(t0, t1);
}

double TimeInflate(const RBenchGame& g) {
  size_t check = 0;
  auto t0 = Clock::now();
  for (size_t i = 0; i < g.blocks.size(); ++i) {
    std::vector<uint8_t> out(g.inflated_sizes[i]);
    uLongf len = uLongf(out.size());
    if (uncompress(out.data(), &len, g.blocks[i].data(), uLong(g.blocks[i].size())) != Z_OK) {
      std::fprintf(stderr, "bench_load: zlib failed on block %zu\n", i);
      std::exit(1);
    }
    check += out[len / 2];
  }
  auto t1 = Clock::now();
  if (check == size_t(-1)) std::puts("");  // keeps the work from being optimised away
  return Seconds(t0, t1);
}

// The stages of the load, each timed alone with the routines the loader uses.
void Breakdown(const RBenchGame& g) {
  CStream file{std::vector<uint8_t>(g.file)};
  auto t0 = Clock::now();
  int64_t marker = FindGameData(file);
  bool ok = marker >= 0 && DescrambleGameData(file, size_t(marker));
  auto t1 = Clock::now();
  if (!ok) {
    std::fprintf(stderr, "bench_load: descrambling failed\n");
    std::exit(1);
  }
  // Header and settings, then the library block, then the permuted block.
  file.Seek(size_t(marker) + 16);
  for (int i = 0; i < 4; ++i) file.ReadInteger();
  RGameSettings settings;
  ReadGameSettingsRecord(file, settings);
  file.ReadString();
  file.ReadStreamC();
  auto t2 = Clock::now();
  CStream sections = file.ReadStreamEInPlace();
  auto t3 = Clock::now();
  double inflate = 0, records = 0;
  std::vector<CDataFile> files(g.blocks.size());
  for (size_t i = 0; i < g.blocks.size(); ++i) {
    CStream packed(g.blocks[i].data(), g.blocks[i].size());
    auto a = Clock::now();
    std::vector<uint8_t> out;
    InflateBlock(packed.Data(), packed.Size(), 0, out);
    auto b = Clock::now();
    CStream block(std::move(out));
    files[i].LoadFromStream(block);
    auto c = Clock::now();
    inflate += Seconds(a, b);
    records += Seconds(b, c);
  }
  std::printf("  find marker, descramble and verify payload: %.3f s\n", Seconds(t0, t1));
  std::printf("  restore the permuted block of sections:     %.3f s\n", Seconds(t2, t3));
  std::printf("  inflate the blocks (runner's InflateBlock): %.3f s\n", inflate);
  std::printf("  read the included-file records from them:   %.3f s\n", records);
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

  double best_load = 1e30, best_inflate = 1e30;
  for (int r = 0; r < rounds; ++r) {
    best_load = std::min(best_load, TimeLoad(g));
    best_inflate = std::min(best_inflate, TimeInflate(g));
  }
  std::printf("runner load:   %.3f s\n", best_load);
  std::printf("zlib inflate:  %.3f s\n", best_inflate);
  std::printf("ratio:         %.2f (target at most 1.3)\n", best_load / best_inflate);
  if (breakdown) {
    std::printf("stages of one load:\n");
    Breakdown(g);
  }
  return 0;
}
