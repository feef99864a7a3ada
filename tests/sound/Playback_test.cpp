// The sound system rendered to a buffer: lengths, overlap, volume and pan
// formulas, fades, loops, stop, the effects, 3D gains, MIDI and bad data.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <functional>
#include <limits>

#include "Sound_Fixtures.h"
#include "platform/Platform.h"
#include "sound/Sound_Playback.h"

using namespace sndtest;

namespace {

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override { StartSound(1); }
  void TearDown() override { StopSound(); }

  int Load(const std::vector<float>& mono, int kind = 0) { return LoadSampleFromMemory(FloatWav(mono), kind); }
  std::vector<float> Render(int frames) {
    std::vector<float> out(size_t(frames) * 2);
    SoundMixer()->Render(out.data(), frames);
    return out;
  }
};

std::vector<float> Constant(float v, int frames) { return std::vector<float>(size_t(frames), v); }

TEST_F(PlaybackTest, ASoundPlaysForItsLengthAndTwoPlaysOverlap) {
  const int snd = Load(Constant(0.25f, 4410));
  ASSERT_GE(snd, 0);
  PlaySample(snd, false);
  EXPECT_TRUE(SampleIsPlaying(snd));
  std::vector<float> a = Render(1000);
  PlaySample(snd, false);  // a second buffer of the same sound
  std::vector<float> b = Render(9000);
  a.insert(a.end(), b.begin(), b.end());
  // Frames 0-999 one voice, 1000-4409 both, 4410-5409 the second, then nothing.
  EXPECT_NEAR(a[2 * 500], 0.25f, 1e-6);
  EXPECT_NEAR(a[2 * 2000], 0.5f, 1e-6);
  EXPECT_NEAR(a[2 * 2000 + 1], 0.5f, 1e-6);
  EXPECT_NEAR(a[2 * 5000], 0.25f, 1e-6);
  EXPECT_EQ(a[2 * 5410], 0.f);
  EXPECT_EQ(FirstAbove(a, 0, 0.01, 5410), -1);
  EXPECT_FALSE(SampleIsPlaying(snd));
}

TEST_F(PlaybackTest, VolumeAndPanSetChannelLevelsInHundredthsOfADecibel) {
  const int snd = Load(Sine(441, 0.5, 44100));
  ASSERT_GE(snd, 0);
  PlaySample(snd, true);
  const double ref = Rms(Render(4410), 0, 0, 4410);
  struct RCase {
    double volume, pan;
  };
  for (const RCase c : {RCase{1, 0}, RCase{0.75, 0}, RCase{0.5, 0.3}, RCase{0.9, -0.6}, RCase{0.3, 1}, RCase{1, 0.05}}) {
    SetSampleVolume(snd, 0, c.volume);
    SetSamplePan(snd, c.pan);
    Render(64);  // the level settles within one block
    const std::vector<float> out = Render(4410);
    const double vol_db = (std::lround(c.volume * 9600) - 9600) / 100.0;
    const long pan = std::lround(c.pan * 10000);
    const double want_l = vol_db + std::min(0L, -pan) / 100.0, want_r = vol_db + std::min(0L, pan) / 100.0;
    const double got_l = Db(Rms(out, 0, 0, 4410) / ref), got_r = Db(Rms(out, 1, 0, 4410) / ref);
    SCOPED_TRACE("volume " + std::to_string(c.volume) + " pan " + std::to_string(c.pan));
    if (want_l > -90) EXPECT_NEAR(got_l, want_l, 0.1);
    else EXPECT_LT(got_l, -90);
    EXPECT_NEAR(got_r, want_r, 0.1);
  }
}

TEST_F(PlaybackTest, OutOfRangeAndNaNLevelsAreClampedNeverAmplified) {
  const int snd = Load(Sine(441, 0.5, 44100));
  PlaySample(snd, true);
  const double ref = Rms(Render(4400), 0, 0, 4400);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  SetSampleVolume(snd, 0, 5);
  SetSamplePan(snd, -7);
  Render(64);
  std::vector<float> out = Render(4410);
  EXPECT_NEAR(Db(Rms(out, 0, 0, 4400) / ref), 0, 0.05);  // full level, never above
  EXPECT_EQ(Peak(out, 1, 0, 4410), 0.0);         // pan -1: right silent
  SetSampleVolume(snd, nan, nan);
  SetSamplePan(snd, nan);
  Render(64);
  out = Render(4410);
  EXPECT_EQ(Peak(out, 0, 0, 4410), 0.0);  // NaN volume counts as 0: silence
  for (float s : out) EXPECT_TRUE(std::isfinite(s));
}

TEST_F(PlaybackTest, AFadeReachesItsTargetInTheGivenTime) {
  const int snd = Load(Sine(441, 0.5, 44100));
  PlaySample(snd, true);
  const double ref = Rms(Render(4410), 0, 0, 4410);
  SetSampleVolume(snd, 0, 0);
  SetSampleVolume(snd, 500, 1);  // 0 -> 1 over half a second (22050 frames)
  const std::vector<float> out = Render(44100);
  // Linear in decibels: half way it is at -48 dB, at the end at full level.
  EXPECT_NEAR(Db(Rms(out, 0, 10800, 11250) / ref), -48, 1.0);
  EXPECT_LT(Db(Rms(out, 0, 19845, 20295) / ref), -7);
  EXPECT_NEAR(Db(Rms(out, 0, 22100, 26460) / ref), 0, 0.1);
  // A fade down to silence ends in silence.
  SetSampleVolume(snd, 100, 0);
  const std::vector<float> down = Render(8820);
  EXPECT_EQ(Peak(down, 0, 4480, 8820), 0.0);
}

TEST_F(PlaybackTest, ALoopingSoundLoopsWithoutAGapAndStopStopsIt) {
  // One cycle of 100 Hz: looped, it must be the continuous sine.
  const int snd = Load(Sine(100, 0.5, 441));
  PlaySample(snd, true);
  const std::vector<float> out = Render(4410);
  const std::vector<float> want = Sine(100, 0.5, 4410);
  double worst = 0;
  for (size_t i = 0; i < want.size(); ++i) worst = std::max(worst, double(std::abs(out[2 * i] - want[i])));
  EXPECT_LT(worst, 1e-5);
  EXPECT_TRUE(SampleIsPlaying(snd));
  StopSample(snd);
  EXPECT_FALSE(SampleIsPlaying(snd));
  EXPECT_EQ(Peak(Render(4410), 0, 0, 4410), 0.0);
}

TEST_F(PlaybackTest, MusicReplacesMusicWhileNormalSoundsMix) {
  const int m1 = Load(Constant(0.1f, 44100), 1), m2 = Load(Constant(0.2f, 44100), 1);
  const int s1 = Load(Constant(0.05f, 44100), 0);
  PlaySample(m1, true);
  PlaySample(s1, false);
  PlaySample(m2, true);
  EXPECT_FALSE(SampleIsPlaying(m1));
  EXPECT_TRUE(SampleIsPlaying(m2));
  EXPECT_NEAR(Render(100)[100], 0.25f, 1e-6);
  StopAllSamples();
  EXPECT_FALSE(SampleIsPlaying(m2) || SampleIsPlaying(s1));
}

TEST_F(PlaybackTest, GlobalVolumeFollowsItsFormulaWithFullLevelAtOne) {
  const int snd = Load(Sine(441, 0.5, 44100));
  PlaySample(snd, true);
  const double ref = Rms(Render(4410), 0, 0, 4410);
  struct RCase {
    double value;
    int hdb;
  };
  for (const RCase c : {RCase{1, 1000}, RCase{2, 1000}, RCase{0.9, -100}, RCase{0.5, -4500}, RCase{0, -10000}}) {
    SetGlobalVolume(c.value);
    EXPECT_EQ(GlobalVolumeHdb(), c.hdb) << c.value;
    const double got = Rms(Render(4410), 0, 0, 4410);
    if (c.hdb > -9000) EXPECT_NEAR(Db(got / ref), (c.hdb - 1000) / 100.0, 0.1) << c.value;
    else EXPECT_EQ(got, 0.0);
  }
  SetGlobalVolume(1);
}

// Echo: an impulse comes back at the set delays, left and right apart.
TEST_F(PlaybackTest, EchoRepeatsAnImpulseAtTheSetDelay) {
  std::vector<float> imp(44100, 0.f);
  imp[0] = 1.f;
  const int snd = Load(imp);
  SetSampleEffects(snd, 2);
  EXPECT_TRUE(SetSampleEcho(snd, REchoParams{50, 0, 100, 250, 0}));
  PlaySample(snd, false);
  const std::vector<float> out = Render(22050);
  EXPECT_NEAR(out[0], 0.5f, 1e-6);
  EXPECT_NEAR(out[2 * 4410], 0.5f, 1e-6);          // left: 100 ms
  EXPECT_NEAR(out[2 * 11025 + 1], 0.5f, 1e-6);     // right: 250 ms
  EXPECT_EQ(FirstAbove(out, 0, 0.01, 1), 4410);
  EXPECT_EQ(FirstAbove(out, 1, 0.01, 1), 11025);
  // Out-of-range or NaN parameters are refused whole.
  EXPECT_FALSE(SetSampleEcho(snd, REchoParams{50, 0, 5000, 250, 0}));
  EXPECT_FALSE(SetSampleEcho(snd, REchoParams{std::nan(""), 0, 100, 250, 0}));
  // A parameter set for an effect that is not switched on does nothing.
  EXPECT_FALSE(SetSampleCompressor(snd, RCompressorParams{}));
}

TEST_F(PlaybackTest, EachEffectChangesTheSignalInItsOwnWay) {
  const std::vector<float> tone = Sine(1000, 0.5, 44100);
  auto run = [&](int flags, const std::function<void(int)>& set, const std::vector<float>& in) {
    const int snd = Load(in);
    SetSampleEffects(snd, flags);
    if (set) set(snd);
    PlaySample(snd, false);
    std::vector<float> out = Render(int(in.size()));
    UnloadSample(snd);
    return out;
  };
  // Compressor: peaks above the threshold come down by the ratio.
  {
    const std::vector<float> loud = Sine(1000, 0.9, 44100);
    std::vector<float> out = run(32, [](int s) { SetSampleCompressor(s, RCompressorParams{0, 0.01, 50, -20, 10, 0}); }, loud);
    EXPECT_LT(Peak(out, 0, 22050, 44100), 0.3);
    EXPECT_GT(Peak(out, 0, 22050, 44100), 0.05);
  }
  // Equalizer: +15 dB at its centre, next to no change far below it.
  {
    auto set = [](int s) { SetSampleEqualizer(s, REqualizerParams{1000, 6, 15}); };
    // Quiet enough that +15 dB does not reach full scale.
    const double centre = Rms(run(64, set, Sine(1000, 0.05, 44100)), 0, 4410, 44100) / (0.05 / std::sqrt(2.0));
    const double away = Rms(run(64, set, Sine(100, 0.05, 44100)), 0, 4410, 44100) / (0.05 / std::sqrt(2.0));
    // Flag 64 installs two equalizers in the chain; the first takes the set.
    EXPECT_NEAR(Db(centre), 15, 0.5);
    EXPECT_NEAR(Db(away), 0, 1.0);
  }
  // Gargle: the level swings at the set rate (square: on half of each cycle).
  {
    std::vector<float> out = run(8, [](int s) { SetSampleGargle(s, RGargleParams{10, 1}); }, tone);
    EXPECT_GT(Peak(out, 0, 100, 2100), 0.45);    // first half of a 100 ms cycle
    EXPECT_EQ(Peak(out, 0, 2300, 4300), 0.0);    // second half
    EXPECT_GT(Peak(out, 0, 4500, 6500), 0.45);
  }
  // Reverb: an impulse leaves a decaying tail.
  {
    std::vector<float> imp(44100, 0.f);
    imp[0] = 1.f;
    std::vector<float> out = run(16, [](int s) { SetSampleReverb(s, RReverbParams{0, 0, 1000, 0.5}); }, imp);
    const double early = Rms(out, 0, 2205, 6615), late = Rms(out, 0, 30870, 35280);
    EXPECT_GT(early, 1e-3);
    EXPECT_LT(late, early / 10);  // about 1 s to fall by 60 dB
    EXPECT_GT(late, 0.0);
  }
  // Chorus and flanger: a delayed copy mixed in; an impulse shows up again
  // about the set delay later (16 ms and 2 ms), no copy before it.
  {
    std::vector<float> imp(8820, 0.f);
    imp[0] = 1.f;
    std::vector<float> ch = run(1, [](int s) { SetSampleChorus(s, RChorusParams{50, 0, 0, 1, 1, 16, 2}); }, imp);
    EXPECT_EQ(FirstAbove(ch, 0, 0.25, 1), 706);  // 16 ms (705.6 frames)
    std::vector<float> fl = run(4, [](int s) { SetSampleFlanger(s, RChorusParams{50, 0, 0, 1, 1, 2, 2}); }, imp);
    EXPECT_EQ(FirstAbove(fl, 0, 0.25, 1), 88);  // 2 ms (88.2 frames)
  }
  // Sweeping the chorus delay (depth) changes a steady tone's level over time.
  {
    std::vector<float> out = run(1, [](int s) { SetSampleChorus(s, RChorusParams{50, 100, 0, 5, 1, 10, 2}); }, tone);
    double lo = 1, hi = 0;
    for (size_t w = 4410; w + 441 < 44100; w += 441) {
      const double r = Rms(out, 0, w, w + 441);
      lo = std::min(lo, r), hi = std::max(hi, r);
    }
    EXPECT_GT(hi - lo, 0.05);
  }
  // Switching every effect off gives the dry signal.
  {
    std::vector<float> out = run(2, [](int s) { SetSampleEffects(s, 0); }, tone);
    EXPECT_NEAR(out[2 * 100], tone[100], 1e-6);
  }
}

TEST_F(PlaybackTest, ThreeDSoundsFallOffWithDistanceAndSitWhereTheyAre) {
  const int snd = Load(Sine(441, 0.5, 44100), 2);
  ASSERT_GE(snd, 0);
  PlaySample(snd, true);
  const double ref = Rms(Render(4410), 0, 0, 4410);  // at the listener
  SetSample3DPosition(snd, 0, 0, 10);  // ahead, ten minimum distances away
  Render(64);
  std::vector<float> out = Render(4410);
  EXPECT_NEAR(Db(Rms(out, 0, 0, 4410) / ref), -20, 0.1);
  EXPECT_NEAR(Db(Rms(out, 1, 0, 4410) / ref), -20, 0.1);
  SetSample3DPosition(snd, 4, 0, 0);  // to the right
  SetSample3DDistance(snd, 2, 100);
  Render(64);
  out = Render(4410);
  EXPECT_NEAR(Db(Rms(out, 1, 0, 4410) / ref), -6.02, 0.1);
  EXPECT_LT(Rms(out, 0, 0, 4410), 1e-6);
  // Behind a cone pointing away, the outside volume applies.
  SetSample3DPosition(snd, 0, 0, 2);
  SetSample3DCone(snd, 0, 0, 1, 90, 180, 0.8);  // -2000: -20 dB
  Render(64);
  out = Render(4410);
  EXPECT_NEAR(Db(Rms(out, 0, 0, 4410) / ref), -20, 0.1);
  // Pan settings do not reach 3D sounds; NaN placements are ignored.
  SetSample3DPosition(snd, std::nan(""), 0, 0);
  SetSamplePan(snd, 1);
  Render(64);
  EXPECT_NEAR(Db(Rms(Render(4410), 0, 0, 4410) / ref), -20, 0.1);
}

// The frequency of a steady tone from its rising zero crossings, each placed
// between its two samples by linear interpolation.
double Frequency(const std::vector<float>& st, size_t from, size_t to) {
  double first = -1, last = -1;
  long cycles = -1;
  for (size_t i = from + 1; i < to; ++i) {
    const float a = st[2 * (i - 1)], b = st[2 * i];
    if (a < 0 && b >= 0) {
      const double t = double(i - 1) + double(a) / double(a - b);
      if (first < 0) first = t;
      last = t;
      ++cycles;
    }
  }
  return cycles > 0 ? cycles * 44100.0 / (last - first) : 0;
}

// A source moving at v away from a listener at rest sounds at c / (c + v)
// times its frequency (c = 343 units a second), whatever its speed across;
// a source closing in faster than 0.9 c is taken at 0.9 c. Over 20,000 frames
// of a 1 kHz tone about 450 crossings are timed; interpolating a sine's
// crossing is off by far less than 0.01 frame, so the measured frequency is
// good to about 0.01 / 20000 of itself; the tolerance of 0.5 Hz leaves room
// for the resampler's own ripple and is still 1/180 of the smallest shift.
TEST_F(PlaybackTest, ADopplerShiftMovesAToneByTheSpeedOfSound) {
  const int snd = Load(Sine(1000, 0.5, 44100), 2);  // 1000 whole cycles: loops seamlessly
  ASSERT_GE(snd, 0);
  PlaySample(snd, true);
  EXPECT_NEAR(Frequency(Render(22050), 0, 22050), 1000, 0.5);
  struct RCase {
    double vx, vz, want;
  };
  for (const RCase c : {RCase{0, 34.3, 1000 * 343 / 377.3}, RCase{0, -34.3, 1000 * 343 / 308.7},
                        RCase{0, 171.5, 1000 * 343 / 514.5}, RCase{50, 0, 1000}, RCase{0, -686, 10000}}) {
    SCOPED_TRACE("velocity x " + std::to_string(c.vx) + " z " + std::to_string(c.vz));
    SetSample3DPosition(snd, 0, 0, 1);  // just ahead, at the minimum distance
    SetSample3DVelocity(snd, c.vx, 0, c.vz);
    Render(512);  // the new speed applies from the next chunk
    const std::vector<float> out = Render(20000);
    EXPECT_NEAR(Frequency(out, 0, 20000), c.want, 0.5);
    EXPECT_NEAR(Db(Rms(out, 0, 0, 20000) / (0.5 / std::sqrt(2.0))), 0, 0.1) << "the shift keeps the level";
  }
  // A sound that has stopped moving sounds at its own pitch again.
  SetSample3DVelocity(snd, 0, 0, 0);
  Render(512);
  EXPECT_NEAR(Frequency(Render(20000), 0, 20000), 1000, 0.5);
}

// Distance: full level up to the minimum distance, then mindist / distance
// (-6.02 dB for each doubling), no further fall beyond the maximum distance.
// Cone: full level within half the inside angle of its axis, the outside
// volume beyond half the outside angle, in between a straight line in
// hundredths of a decibel.
TEST_F(PlaybackTest, DistanceAndConeSetTheLevelInDecibels) {
  const int snd = Load(Sine(441, 0.5, 44100), 2);
  ASSERT_GE(snd, 0);
  PlaySample(snd, true);
  const double ref = Rms(Render(4410), 0, 0, 4410);
  auto level = [&] {
    Render(256);
    return Db(Rms(Render(4410), 0, 0, 4410) / ref);
  };
  struct RDistance {
    double z, mindist, maxdist, want_db;
  };
  for (const RDistance c : {RDistance{0.5, 1, 100, 0}, RDistance{1, 1, 100, 0}, RDistance{2, 1, 100, -6.02},
                            RDistance{10, 1, 100, -20}, RDistance{100, 1, 1000, -40}, RDistance{100, 1, 50, -33.98},
                            RDistance{30, 3, 1e9, -20}}) {
    SCOPED_TRACE("distance " + std::to_string(c.z) + " min " + std::to_string(c.mindist) + " max " +
                 std::to_string(c.maxdist));
    SetSample3DPosition(snd, 0, 0, c.z);
    SetSample3DDistance(snd, c.mindist, c.maxdist);
    EXPECT_NEAR(level(), c.want_db, 0.1);
  }
  SetSample3DDistance(snd, 1, 1e9);
  SetSample3DPosition(snd, 0, 0, 1);
  struct RCone {
    double cx, cz;  // axis; the listener lies along -z from the sound
    int in, out;
    double outside, want_db;
  };
  const double d45 = std::sqrt(0.5);
  for (const RCone c : {RCone{0, -1, 90, 180, 0.8, 0}, RCone{0, 1, 90, 180, 0.8, -20}, RCone{d45, -d45, 90, 180, 0.8, 0},
                        RCone{1, 0, 90, 180, 0.8, -20}, RCone{std::sin(67.5 * kPi / 180), -std::cos(67.5 * kPi / 180), 90, 180, 0.8, -10},
                        RCone{0, 1, 360, 360, 0, 0}, RCone{0, 1, 90, 180, 1, 0}}) {
    SCOPED_TRACE("cone axis " + std::to_string(c.cx) + "," + std::to_string(c.cz) + " angles " + std::to_string(c.in) +
                 "/" + std::to_string(c.out));
    SetSample3DCone(snd, c.cx, 0, c.cz, c.in, c.out, c.outside);
    EXPECT_NEAR(level(), c.want_db, 0.1);
  }
}

TEST_F(PlaybackTest, MidiPlaysAudibleNotesAtTheSetTempo) {
  if (SoundfontPath().empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  // One note two beats (a second at the file's own tempo) in.
  const std::vector<uint8_t> midi = MidiFile({{72, 960, 480}});
  const int snd = LoadSampleFromMemory(midi, 1);
  ASSERT_GE(snd, 0);
  auto onset = [&](double tempo) {
    SetBackgroundTempo(tempo);
    PlaySample(snd, false);
    const std::vector<float> out = Render(44100 * 2);
    StopSample(snd);
    const long at = FirstAbove(out, 0, 0.01);
    EXPECT_GT(Rms(out, 0, size_t(std::max(at, 0L)), size_t(std::max(at, 0L)) + 8820), 0.01) << "the note sounds";
    return at;
  };
  const long at1 = onset(1), at2 = onset(2);
  EXPECT_NEAR(at1, 44100, 2205);
  EXPECT_NEAR(at2, 22050, 2205);
  SetBackgroundTempo(1);
}

TEST_F(PlaybackTest, BadSoundDataFailsToLoadOrLoadsOnlyWhatIsThere) {
  EXPECT_EQ(LoadSampleFromMemory({}, 0), -1);
  EXPECT_EQ(LoadSampleFromMemory(std::vector<uint8_t>(1000, 0x5A), 0), -1);
  std::vector<uint8_t> wav = FloatWav(Constant(0.5f, 4410));
  EXPECT_EQ(LoadSampleFromMemory(std::vector<uint8_t>(wav.begin(), wav.begin() + 30), 0), -1);  // cut in the header
  // A header that claims 2 GB of data: only the real frames play.
  const int lying = LoadSampleFromMemory(FloatWav(Constant(0.5f, 4410), 44100, 0x7FFFFFF0), 0);
  ASSERT_GE(lying, 0);
  PlaySample(lying, false);
  const std::vector<float> out = Render(8820);
  EXPECT_EQ(FirstAbove(out, 0, 0.1, 4410), -1);
  EXPECT_NEAR(out[2 * 4409], 0.5f, 1e-6);
  // A MIDI file whose track runs past the end is no MIDI file.
  std::vector<uint8_t> midi = MidiFile({{60, 0, 240}});
  midi[21] = 0x7F;
  EXPECT_EQ(LoadSampleFromMemory(midi, 0), -1);
  // Invalid indices do nothing.
  PlaySample(-1, false);
  PlaySample(9999, true);
  StopSample(12345);
  EXPECT_FALSE(SampleIsPlaying(-3));
}

TEST_F(PlaybackTest, ResampledFilesKeepTheirDuration) {
  const int snd = LoadSampleFromMemory(FloatWav(Constant(0.5f, 2205), 22050), 0);  // 100 ms at 22050 Hz
  ASSERT_GE(snd, 0);
  PlaySample(snd, false);
  const std::vector<float> out = Render(8820);
  EXPECT_NEAR(out[2 * 4400], 0.5f, 1e-6);
  EXPECT_EQ(FirstAbove(out, 0, 0.1, 4410), -1);
}

// An audio output that is never there.
class CNoAudio : public IAudioOutput {
 public:
  bool Open(int, AudioPull) override { return false; }
  void Close() override {}
  int Rate() const override { return 0; }
  void Advance(int64_t) override {}
};

TEST(PlaybackNoDevice, WithoutADeviceEverythingIsSilentAndNothingFails) {
  StopSound();
  RPlatform p;
  p.audio = std::make_unique<CNoAudio>();
  PlatformInstall(std::move(p));
  StartSound(3);
  EXPECT_TRUE(NoSoundDevice());
  EXPECT_EQ(LoadSampleFromMemory(FloatWav(Constant(0.5f, 100)), 0), -1);
  PlaySample(0, true);
  EXPECT_FALSE(SampleIsPlaying(0));
  SetGlobalVolume(0.5);
  SetBackgroundTempo(2);
  EXPECT_TRUE(StopSound());
  PlatformShutdown();
  SetGlobalVolume(1);
}

}  // namespace

namespace {
// Compressed formats written by libsndfile itself, read back from memory.
std::vector<uint8_t> Encode(int format, const std::vector<float>& mono) {
  char name[] = "/tmp/rr_sound_XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return {};
  close(fd);
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = format;
  std::vector<uint8_t> bytes;
  if (SNDFILE* sf = sf_open(name, SFM_WRITE, &info)) {
    sf_writef_float(sf, mono.data(), sf_count_t(mono.size()));
    sf_close(sf);
    std::ifstream f(name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  std::remove(name);
  return bytes;
}

TEST_F(PlaybackTest, FlacOggAndMp3DecodeFromMemory) {
  const std::vector<float> tone = Sine(441, 0.5, 22050);
  struct RCase {
    const char* name;
    int format;
  };
  for (const RCase c : {RCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}, RCase{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                        RCase{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}}) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = Encode(c.format, tone);
    if (bytes.empty()) {
      ADD_FAILURE() << "libsndfile cannot write " << c.name;
      continue;
    }
    const int snd = LoadSampleFromMemory(bytes, 0);
    ASSERT_GE(snd, 0);
    PlaySample(snd, false);
    const std::vector<float> out = Render(44100);
    // Lossy coders add a little delay and padding, never a second of it.
    EXPECT_NEAR(Rms(out, 0, 4410, 17640), 0.5 / std::sqrt(2.0), 0.03);
    EXPECT_LT(Peak(out, 0, 30000, 44100), 0.01);
    UnloadSample(snd);
  }
}
}  // namespace
