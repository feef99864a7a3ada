// Offline mixing benchmark: 32 looping sounds, each on its own path with two
// effects, mixed for 10 seconds of audio; prints audio seconds per CPU second.
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sound/Sound_Playback.h"

namespace {
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// One second of a mono 16-bit tone as a WAV file.
std::vector<uint8_t> Tone(double freq) {
  const int rate = 44100, n = rate;
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
  Put(b, 36 + n * 2, 4);
  for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
  Put(b, 16, 4), Put(b, 1, 2), Put(b, 1, 2), Put(b, rate, 4), Put(b, rate * 2, 4), Put(b, 2, 2), Put(b, 16, 2);
  for (char c : std::string("data")) b.push_back(uint8_t(c));
  Put(b, n * 2, 4);
  for (int i = 0; i < n; ++i)
    Put(b, uint32_t(uint16_t(int16_t(3000 * std::sin(2 * 3.14159265358979 * freq * i / rate)))), 2);
  return b;
}
}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  StartSound(1);
  // Effect pairs in turn, so every effect is in the measured mix.
  const int pairs[][2] = {{kFxEcho, kFxChorus}, {kFxReverb, kFxCompressor}, {kFxFlanger, kFxEqualizer},
                          {kFxGargle, kFxEcho}};
  for (int i = 0; i < 32; ++i) {
    const int s = LoadSampleFromMemory(Tone(220.0 + 20.0 * i), 0);
    if (s < 0) {
      std::fprintf(stderr, "sound %d did not load\n", i);
      return 1;
    }
    SetSampleEffects(s, pairs[i % 4][0] | pairs[i % 4][1]);
    // An equalizer at 0 dB passes its input through untouched and costs
    // nothing; a boost makes the first of the pair filter for real.
    SetSampleEqualizer(s, REqualizerParams{1000, 12, 6});
    SetSampleVolume(s, 0, 0.8);
    SetSamplePan(s, (i % 9 - 4) / 4.0);
    PlaySample(s, true);
  }
  const int block = 1024;
  const int64_t total = int64_t(seconds * kMixRate);
  std::vector<float> buf(size_t(block) * 2);
  double sum = 0;
  const double t0 = CpuSeconds();
  for (int64_t done = 0; done < total; done += block) {
    SoundMixer()->Render(buf.data(), block);
    sum += buf[0];
  }
  const double cpu = CpuSeconds() - t0;
  std::printf("mixed %.1f s of audio (32 sounds, 2 effects each) in %.3f CPU s (checksum %.3f)\n", seconds, cpu, sum);
  std::printf("real-time factor: %.0f (target: at least 100)\n", seconds / cpu);
  StopSound();
  return 0;
}
