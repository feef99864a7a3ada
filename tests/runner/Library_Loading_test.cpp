// Which of the window, drawing, sound and font libraries a run of the runner
// maps, as the dynamic linker reports them (only what the run needs), and a
// run whose library turns out to be unusable.
#include <gtest/gtest.h>

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
  // The dynamic linker's account of every library the run opened; the
  // run's standard output goes to `out`.
  std::string LinkerLog(const std::string& args, std::string* out = nullptr) {
    const fs::path log = dir_ / "ld.log";
    auto r = testproc::Capture("cd '" + dir_.string() + "' && LD_DEBUG=libs '" + kRoomrun + "' " + args + " 2>'" +
                               log.string() + "'");
    EXPECT_EQ(r.status, 0) << args << "\n" << testproc::ReadText(log);
    if (out) *out = r.out;
    return testproc::ReadText(log);
  }
};

TEST_F(LibraryLoadingTest, EvalMapsNoneOfThem) {
  std::ofstream(dir_ / "p.txt") << "s = string(6 * 7) + chr(33); return s;";
  std::string out;
  const std::string log = LinkerLog("--eval p.txt", &out);
  EXPECT_EQ(out, "\"42!\"\n");
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

// An empty library found first under the real one's soname: the run names
// the library and what it lacks, the feature takes its usual failure path
// and nothing crashes. The demo draws text and plays a MIDI piece.
TEST_F(LibraryLoadingTest, AnUnusableLibraryIsNamedAndItsFeatureFailsCleanly) {
  struct RCase {
    const char* soname;
    const char* purpose;
    int status;
    const char* feature_message;  // "" when the game plays on without it
  } cases[] = {
      {"libSDL2-2.0.so.0", "the window, input and sound output", 1,
       "Cannot show the game: cannot open the display: libSDL2-2.0.so.0 has no function "},
      {"libOpenGL.so.0", "drawing", 1, "Cannot show the game: no OpenGL library: libOpenGL.so.0 has no function "},
      {"libfluidsynth.so.3", "MIDI music", 0, ""},
      {"libfontconfig.so.1", "finding fonts", 0, ""},
      {"libfreetype.so.6", "drawing text", 0, ""},
  };
  const std::string demo = std::string(ROOMRUN_SOURCE_DIR) + "/examples/demo";
  for (const RCase& c : cases) {
    const fs::path libdir = dir_ / c.soname;
    fs::create_directories(libdir);
    fs::copy_file(fs::path(ROOMRUN_TESTLIB_DIR) / "libempty.so", libdir / c.soname);
    const fs::path err = dir_ / "stderr.txt";
    auto r = testproc::Capture("cd '" + dir_.string() + "' && LD_LIBRARY_PATH='" + libdir.string() + "' '" + kRoomrun +
                               "' --headless --fast --steps 5 '" + demo + "' 2>'" + err.string() + "'");
    const std::string text = testproc::ReadText(err);
    EXPECT_EQ(r.status, c.status) << c.soname << "\n" << text;
    const std::string said = std::string("roomrun: cannot use ") + c.soname + " for " + c.purpose + ": " + c.soname +
                             " has no function ";
    EXPECT_NE(text.find(said), std::string::npos) << c.soname << "\n" << text;
    EXPECT_EQ(text.find(said), text.rfind(said)) << c.soname << " said more than once\n" << text;
    EXPECT_NE(text.find(c.feature_message), std::string::npos) << c.soname << "\n" << text;
  }
}

}  // namespace
