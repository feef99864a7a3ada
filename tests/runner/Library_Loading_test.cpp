// Which of the window, drawing, sound and font libraries a run of the runner
// maps, as the dynamic linker reports them: only what the run needs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "GameFixture.h"
#include "../Test_Process.h"
#include "runner/Support_File.h"

namespace fs = std::filesystem;

namespace {

const std::string kRoomrun = std::string(ROOMRUN_BIN_DIR) + "/roomrun";

// What playing an empty game headless does to each library.
enum class EHeadless { kMapped, kNotMapped, kEither };
struct RLibraryName {
  const char* soname_start;
  EHeadless on_headless_game;
};
// SDL's own dependencies (PulseAudio's) may bring libsndfile along.
constexpr RLibraryName kOptionalLibraries[] = {
    {"libSDL2-2.0.so", EHeadless::kMapped},        {"libOpenGL.so", EHeadless::kMapped},
    {"libfluidsynth.so", EHeadless::kNotMapped},   {"libsndfile.so", EHeadless::kEither},
    {"libfontconfig.so", EHeadless::kNotMapped},   {"libfreetype.so", EHeadless::kNotMapped},
};

class LibraryLoadingTest : public testproc::ScratchDirTest {
 protected:
  // The dynamic linker's account of every library the run opened.
  std::string LinkerLog(const std::string& args) {
    const fs::path log = dir_ / "ld.log";
    auto r = testproc::Capture("cd '" + dir_.string() + "' && LD_DEBUG=libs '" + kRoomrun + "' " + args + " 2>'" +
                               log.string() + "'");
    EXPECT_EQ(r.status, 0) << args << "\n" << testproc::ReadText(log);
    return testproc::ReadText(log);
  }
};

TEST_F(LibraryLoadingTest, EvalMapsNoneOfThem) {
  std::ofstream(dir_ / "p.txt") << "s = string(6 * 7) + chr(33); return s;";
  const std::string log = LinkerLog("--eval p.txt");
  ASSERT_NE(log.find("libc.so"), std::string::npos) << "the dynamic linker said nothing";
  for (const RLibraryName& lib : kOptionalLibraries)
    EXPECT_EQ(log.find(lib.soname_start), std::string::npos) << lib.soname_start << " was mapped";
}

TEST_F(LibraryLoadingTest, AHeadlessGameMapsTheWindowAndDrawingOnly) {
  const std::vector<uint8_t> game = fixture::MinimalGame();
  ASSERT_TRUE(WriteWholeFile((dir_ / "g.game").string(), game.data(), game.size()));
  const std::string log = LinkerLog("--headless --steps 2 g.game");
  for (const RLibraryName& lib : kOptionalLibraries) {
    if (lib.on_headless_game == EHeadless::kEither) continue;
    EXPECT_EQ(log.find(lib.soname_start) != std::string::npos, lib.on_headless_game == EHeadless::kMapped)
        << lib.soname_start;
  }
}

}  // namespace
