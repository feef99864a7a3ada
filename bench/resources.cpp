// Resource work that scales with game size: reading a sprites section
// (frames, masks), computing precise masks, and walking a smooth path.
// Prints one line per measurement.
#include <chrono>
#include <cstdio>

#include "resources/Path_Class.h"
#include "resources/Sprite_Main.h"
#include "runner/Support_Stream.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
}  // namespace

int main() {
  // 200 sprites of 4 frames 64 x 64 with separate precise masks.
  constexpr int kSprites = 200, kFrames = 4, kSide = 64;
  ClearSprites();
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kSprites; ++i) {
    CSprite* s = GetSprite(AddSprite());
    for (int f = 0; f < kFrames; ++f) {
      TBitmap32 bm(kSide, kSide);
      for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
          if ((x - 32) * (x - 32) + (y - 32) * (y - 32) < (20 + f + i % 7) * (20 + f + i % 7))
            bm.SetPixel(x, y, 0xFF808080u);
      s->i_bitmap.push_back(std::move(bm));
    }
    s->i_numb = kFrames;
    s->ComputeMask(true, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
  }
  std::printf("masks: %d frames of %dx%d computed in %.3f s\n", kSprites * kFrames, kSide, kSide, Seconds(t0));

  CStream section;
  SaveSection_Sprites(section);
  // Measured against the bytes the blocks inflate to.
  const double mb = double(kSprites) * kFrames * kSide * kSide * 8 / (1 << 20);
  constexpr int kLoads = 5;
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kLoads; ++i) {
    section.Seek(0);
    if (!LoadSection_Sprites(section)) return 1;
  }
  const double load = Seconds(t0) / kLoads;
  std::printf("sprites section: %.1f MB of frames and masks (%.1f MB stored) read in %.3f s (%.0f MB/s)\n", mb,
              double(section.Size()) / (1 << 20), load, mb / load);

  // A smooth closed path of 100 points at precision 8, sampled 10^6 times.
  CPath p;
  p.SetKind(1);
  p.SetPrecision(8);
  for (int i = 0; i < 100; ++i) p.AddPoint(i * 37 % 500, i * 91 % 400, 100);
  double acc = 0;
  t0 = std::chrono::steady_clock::now();
  constexpr int kSamples = 1000000;
  for (int i = 0; i < kSamples; ++i) acc += p.GetPosition(double(i) / kSamples).x;
  std::printf("path: %d interpolated points, %d positions in %.3f s (%.0f ns each, checksum %.0f)\n",
              p.i_intcount, kSamples, Seconds(t0), Seconds(t0) * 1e9 / kSamples, acc);
  return 0;
}
