// The effect chain on its own, at the widest settings and any block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "sound/Sound_Effects.h"

namespace {

constexpr int kRate = 44100;

// Three seconds of stereo test signal: a tone, then noise, then clicks, with
// the right channel different from the left.
std::vector<float> Signal() {
  const int n = 3 * kRate;
  std::vector<float> s(size_t(n) * 2);
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
  for (int i = 0; i < n; ++i) {
    float v = float(0.4 * std::sin(2 * 3.14159265358979 * 440 * i / kRate));
    if (i > kRate) v = noise(rng);
    if (i > 2 * kRate) v = i % 5000 == 0 ? 0.9f : 0.f;
    s[2 * size_t(i)] = v;
    s[2 * size_t(i) + 1] = 0.7f * v + (i % 300 < 3 ? 0.2f : 0.f);
  }
  return s;
}

struct RSetup {
  const char* name;
  int flags;
  std::function<void(CEffectChain&)> set;
};

const std::vector<RSetup>& Setups() {
  static const std::vector<RSetup> setups = {
      {"every effect at its defaults", 511, nullptr},
      {"chorus, longest delay at full depth", 1, [](CEffectChain& c) { c.SetChorus({70, 100, 60, 7, 0, 20, 4}); }},
      {"chorus, short delay, negative feedback", 1, [](CEffectChain& c) { c.SetChorus({50, 80, -40, 3, 1, 0.5, 0}); }},
      {"flanger, no delay, full depth", 4, [](CEffectChain& c) { c.SetFlanger({50, 100, 99, 10, 0, 0, 1}); }},
      {"echo, 1 ms and 2 s, swapping sides", 2, [](CEffectChain& c) { c.SetEcho({50, 70, 1, 2000, 1}); }},
      {"reverb, longest time", 16, [](CEffectChain& c) { c.SetReverb({-3, -2, 3000, 0.5}); }},
      {"compressor, longest look-ahead", 32, [](CEffectChain& c) { c.SetCompressor({-5, 500, 3000, -10, 2, 4}); }},
      {"compressor, fractional look-ahead", 32, [](CEffectChain& c) { c.SetCompressor({10, 0.01, 50, -30, 100, 0.03}); }},
      {"equalizer boost", 64, [](CEffectChain& c) { c.SetEqualizer({1000, 6, 15}); }},
  };
  return setups;
}

std::vector<float> Process(const RSetup& s, const std::vector<float>& in, const std::function<int()>& block) {
  CEffectChain chain(kRate);
  chain.SetEffects(s.flags);
  if (s.set) s.set(chain);
  std::vector<float> buf = in;
  const int frames = int(in.size() / 2);
  for (int done = 0; done < frames;) {
    const int n = std::min(block(), frames - done);
    chain.Process(buf.data() + 2 * done, n);
    done += n;
  }
  return buf;
}

TEST(EffectChain, OutputDoesNotDependOnBlockSizes) {
  const std::vector<float> in = Signal();
  for (const RSetup& s : Setups()) {
    SCOPED_TRACE(s.name);
    const std::vector<float> whole = Process(s, in, [] { return 1 << 30; });
    std::mt19937 rng(5);
    const std::vector<float> ragged = Process(s, in, [&] { return int(rng() % 1100) + 1; });
    const std::vector<float> single = Process(s, std::vector<float>(in.begin(), in.begin() + 2 * 20000), [] { return 1; });
    double worst = 0, peak = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      ASSERT_TRUE(std::isfinite(whole[i])) << "sample " << i;
      worst = std::max(worst, double(std::abs(whole[i] - ragged[i])));
      peak = std::max(peak, double(std::abs(whole[i])));
    }
    for (size_t i = 0; i < single.size(); ++i) worst = std::max(worst, double(std::abs(whole[i] - single[i])));
    EXPECT_LT(worst, 1e-5 * std::max(1.0, peak));
    EXPECT_GT(peak, 0.01);
  }
}

// At 0 dB the equalizer is exact, and a boost set later starts from the
// signal's real history rather than from silence.
TEST(EffectChain, ZeroDecibelEqualizerPassesTheSignalAndABoostFollowsOnSmoothly) {
  const std::vector<float> in = Signal();
  CEffectChain chain(kRate);
  chain.SetEffects(64);
  std::vector<float> buf(in.begin(), in.begin() + 2 * 4410);
  chain.Process(buf.data(), 4410);
  for (size_t i = 0; i < buf.size(); ++i) ASSERT_EQ(buf[i], in[i]);
  chain.SetEqualizer({8000, 12, 1e-9});  // as near 0 dB as a boost gets
  std::vector<float> next(in.begin() + 2 * 4410, in.begin() + 2 * 8820);
  chain.Process(next.data(), 4410);
  for (size_t i = 0; i < next.size(); ++i) ASSERT_NEAR(next[i], in[2 * 4410 + i], 1e-5) << i;
}

}  // namespace
