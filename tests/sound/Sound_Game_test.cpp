// Small games played headless with --audio-out: the mix file of the run is
// read back and measured.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "Sound_Fixtures.h"

using namespace sndtest;
using testproc::Capture;
using testproc::ROutput;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";
// The first frame of step `k` (counted from 0) at 30 steps a second: each
// step lasts 33333 microseconds.
constexpr size_t StepFrame(size_t k) { return k * 33333 * 44100 / 1000000; }

class SoundGameTest : public testproc::ScratchDirTest {
 protected:
  std::string Pack(const std::string& folder) {
    const std::string out = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + folder + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }
  std::vector<float> ReadMix(const std::string& file, int* rate = nullptr) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.c_str(), SFM_READ, &info);
    EXPECT_NE(sf, nullptr) << file;
    if (!sf) return {};
    EXPECT_EQ(info.channels, 2);
    if (rate) *rate = info.samplerate;
    std::vector<float> out(size_t(info.frames) * 2);
    sf_readf_float(sf, out.data(), info.frames);
    sf_close(sf);
    return out;
  }
};

TEST_F(SoundGameTest, TheMixOfARunHoldsEachSoundAtItsTimeLevelAndLength) {
  const std::string game = Pack(kGames + "sound_basic");
  const std::string mix = (dir_ / "mix.wav").string();
  ROutput r = Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --steps 40 --audio-out " +
                      mix + " " + game + " 2>&1");
  // The last step plays a sound that does not exist: headless, that error
  // ends the game (status 3) after the step.
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_NE(r.out.find("looping 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("stopped 0\n"), std::string::npos) << r.out;
  // A sound whose bytes no decoder takes falls back to the player and stays silent.
  EXPECT_NE(r.out.find("broken 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Sound does not exist."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("last step\n"), std::string::npos) << r.out;

  int rate = 0;
  const std::vector<float> m = ReadMix(mix, &rate);
  EXPECT_EQ(rate, 44100);
  ASSERT_EQ(m.size() / 2, StepFrame(40));  // one step's time per step
  // The beep of the create event: 0.1 s at half level, then silence.
  const double ref = Rms(m, 0, 0, 4410);
  EXPECT_NEAR(ref, 0.5 / std::sqrt(2.0), 0.01);
  EXPECT_NEAR(Rms(m, 1, 0, 4410), ref, 1e-6);
  EXPECT_EQ(FirstAbove(m, 0, 0.001, 4410), long(StepFrame(9)) + 1);  // a sine starts at 0
  // Step 10: volume 0.9 (-9.6 dB), pan 0.25 (left -25 dB more).
  const size_t s10 = StepFrame(9);
  EXPECT_NEAR(Db(Rms(m, 0, s10, s10 + 4410) / ref), -34.6, 0.1);
  EXPECT_NEAR(Db(Rms(m, 1, s10, s10 + 4410) / ref), -9.6, 0.1);
  EXPECT_EQ(Peak(m, 1, s10 + 4410, StepFrame(19)), 0.0);
  // Steps 20-29: looping without a gap, then stopped.
  double lo = 1, hi = 0;
  for (size_t w = StepFrame(19); w + 441 <= StepFrame(29); w += 441) {
    const double v = Rms(m, 1, w, w + 441);
    lo = std::min(lo, v), hi = std::max(hi, v);
  }
  EXPECT_GT(lo, 0.95 * hi);
  EXPECT_EQ(Peak(m, 1, StepFrame(29) + 64, StepFrame(40)), 0.0);
}

TEST_F(SoundGameTest, AnUnwritableMixFileIsAnOutputFailure) {
  const std::string game = Pack(kGames + "sound_basic");
  ROutput r = Capture("cd " + dir_.string() + " && " + kBin +
                      "/roomrun --headless --fast --steps 2 --audio-out /nonexistent/dir/mix.wav " + game + " 2>&1");
  EXPECT_EQ(r.status, 4) << r.out;
  EXPECT_NE(r.out.find("cannot write the mix file"), std::string::npos) << r.out;
}
}  // namespace

namespace {
// The demo's music (a MIDI file) and bounce sound reach the mix of a
// headless run.
TEST_F(SoundGameTest, TheDemoMixesItsMusicAndEffect) {
  const std::string game = Pack(std::string(ROOMRUN_SOURCE_DIR) + "/examples/demo");
  const std::string mix = (dir_ / "demo.wav").string();
  ROutput r = Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --steps 90 --audio-out " +
                      mix + " " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<float> m = ReadMix(mix);
  ASSERT_EQ(m.size() / 2, StepFrame(90));
  // Music from the first step on, through the whole run.
  for (size_t s = 0; s + 22050 <= m.size() / 2; s += 22050) EXPECT_GT(Rms(m, 0, s, s + 22050), 0.005) << s;
}

// One smoke run through a real SDL audio device (the disk driver writes what
// the device plays to a file) in a real window; and with no usable driver the
// game still runs, silent.
TEST_F(SoundGameTest, TheDemoPlaysThroughAnSdlAudioDevice) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  const std::string game = Pack(std::string(ROOMRUN_SOURCE_DIR) + "/examples/demo");
  const std::string raw = (dir_ / "device.raw").string();
  const std::string xvfb = "env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1024x768x24' ";
  ROutput r = Capture("cd " + dir_.string() + " && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + raw + " " + xvfb +
                      kBin + "/roomrun --steps 60 " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string bytes = testproc::ReadText(raw);
  ASSERT_GT(bytes.size(), 44100u * 8 / 2) << "at least half a second reached the device";
  std::vector<float> m(bytes.size() / 4);
  std::memcpy(m.data(), bytes.data(), m.size() * 4);
  EXPECT_GT(Peak(m, 0, 0, m.size() / 2), 0.01);

  r = Capture("cd " + dir_.string() + " && SDL_AUDIODRIVER=nosuchdriver " + xvfb + kBin + "/roomrun --steps 20 " +
              game + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
}
}  // namespace

namespace {
void WriteText(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// Ending a run while the device's thread is pulling the mix: the ordinary
// end, the end by a fatal error, and each termination signal, which the
// runner's watcher thread handles while the game thread goes on playing.
// The disk driver with no delay pulls without pause, and the game calls the
// sound functions hundreds of times a step, so the teardown meets both. Run
// under the sanitizers, a use of freed state shows in the output.
TEST_F(SoundGameTest, EndingARunWhileTheDevicePlaysUsesNoFreedState) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  Pack(kGames + "sound_teardown");
  WriteText(dir_ / "input.txt", "1 error abort\n6 key down vk_space\n");
  // One X server for all the runs; the signal runs wait until the game has
  // played a few steps (it writes started.txt in its third).
  WriteText(dir_ / "runs.sh", R"(B=")" + kBin + R"("
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=0 ASAN_OPTIONS=detect_leaks=0
for steps in 5 12; do "$B/roomrun" --fast --steps $steps game.bin >> log.txt 2>&1; echo "end $?"; done
for i in 1 2; do "$B/roomrun" --fast --input input.txt game.bin >> log.txt 2>&1; echo "error $?"; done
for sig in TERM INT HUP; do
  for pause in 0.05 0.5; do
    rm -f started.txt
    "$B/roomrun" --fast game.bin >> log.txt 2>&1 &
    pid=$!
    for t in $(seq 200); do [ -e started.txt ] && break; sleep 0.05; done
    sleep $pause
    kill -$sig $pid
    wait $pid
    echo "$sig $?"
  done
done
)");
  const std::string xvfb = "env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1024x768x24' ";
  const ROutput r = Capture("cd " + dir_.string() + " && " + xvfb + "bash runs.sh 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "end 0\nend 0\nerror 3\nerror 3\nTERM 143\nTERM 143\nINT 130\nINT 130\nHUP 129\nHUP 129\n");
  const std::string log = testproc::ReadText(dir_ / "log.txt");
  for (const char* bad : {"Sanitizer", "runtime error", "Segmentation", "Aborted"})
    EXPECT_EQ(log.find(bad), std::string::npos) << bad << "\n" << log;
}
}  // namespace
