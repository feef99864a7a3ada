// End-to-end: game files whose included files try to reach outside the
// game's folders (paths for names, planted links, files they never wrote),
// and game files that are not files, run through the real roomrun.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "GameFixture.h"
#include "runner/Support_File.h"
#include "runtime/Sprite_Mask.h"

namespace fs = std::filesystem;

namespace {
const std::string kRoomrun = std::string(ROOMRUN_BIN_DIR) + "/roomrun";

CDataFile Included(const std::string& name, int action, const std::string& dir = "") {
  CDataFile f;
  f.s_filename = name;
  f.s_exists = f.s_store = true;
  f.s_data = {'n', 'e', 'w'};
  f.s_exportaction = action;
  f.s_exportdir = dir;
  return f;
}

// The game runs in dir_/work with its temporary base in dir_/tmpbase;
// everything else under dir_ is "outside" and holds a file to protect.
class HostileFilesTest : public testproc::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directories(dir_ / "work");
    fs::create_directories(dir_ / "tmpbase");
    std::ofstream(dir_ / "victim.txt") << "keep";
  }
  std::string GameWith(const std::vector<CDataFile>& files) {
    CGameWriter w;
    w.WriteEmptyResourceSections();
    w.WriteIncludedFiles(files);
    return Finish(w);
  }
  // The game's closing sections, written to g.game in the scratch folder.
  std::string Finish(CGameWriter& w) {
    w.WriteGameInfo(RGameInfo());
    w.WriteLibraryInitCode({});
    w.WriteRoomOrder({0});
    const std::vector<uint8_t> bytes = w.Finish();
    const std::string p = (dir_ / "g.game").string();
    EXPECT_TRUE(WriteWholeFile(p, bytes.data(), bytes.size()));
    return p;
  }
  testproc::ROutput Run(const std::string& args) {
    return testproc::Capture("cd '" + (dir_ / "work").string() + "' && TMPDIR='" + (dir_ / "tmpbase").string() +
                             "' timeout -s KILL 60 " + kRoomrun + " --headless " + args + " 2>&1");
  }
  // Every file under dir_ other than the game, the victim and what is in
  // the working folder.
  std::vector<std::string> Outside() {
    std::vector<std::string> found;
    for (auto it = fs::recursive_directory_iterator(dir_); it != fs::recursive_directory_iterator(); ++it) {
      const fs::path rel = fs::relative(it->path(), dir_);
      const std::string top = rel.begin()->string();
      if (top == "work" || rel == "g.game" || rel == "victim.txt" || rel == "tmpbase" || rel == "made" ||
          it->is_directory())
        continue;
      found.push_back(rel.string());
    }
    return found;
  }
};

TEST_F(HostileFilesTest, NamesThatArePathsAreNeverWritten) {
  const std::string abs = (dir_ / "abs.txt").string();
  for (int action : {1, 2, 3}) {
    SCOPED_TRACE(action);
    std::vector<CDataFile> files;
    for (std::string name : {"../x.txt", "../../x.txt", abs.c_str(), "sub/x.txt", "..", ".", "C:x.txt", "a\\b"}) {
      files.push_back(Included(name, action, action == 3 ? "out" : ""));
      files.back().s_overwrite = true;
    }
    auto r = Run(GameWith(files));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Outside(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(dir_ / "work" / "sub"));
    EXPECT_FALSE(fs::exists(dir_ / "work" / "C:x.txt"));
    EXPECT_TRUE(fs::is_empty(dir_ / "tmpbase"));
  }
}

TEST_F(HostileFilesTest, OnlyFilesThisRunWroteAreRemoved) {
  // Already there and not overwritten: kept. A path to the victim: refused.
  std::ofstream(dir_ / "work" / "mine.txt") << "players";
  CDataFile existing = Included("mine.txt", 2);
  CDataFile escape = Included("../victim.txt", 2);
  CDataFile written = Included("made.txt", 2);
  auto r = Run(GameWith({existing, escape, written}));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testproc::ReadText(dir_ / "work" / "mine.txt"), "players");
  EXPECT_EQ(testproc::ReadText(dir_ / "victim.txt"), "keep");
  EXPECT_FALSE(fs::exists(dir_ / "work" / "made.txt"));  // written, then removed
}

TEST_F(HostileFilesTest, ExportNeverFollowsALink) {
  fs::create_symlink(dir_ / "victim.txt", dir_ / "work" / "link.txt");
  CDataFile over = Included("link.txt", 2);
  over.s_overwrite = true;
  auto r = Run(GameWith({over}));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testproc::ReadText(dir_ / "victim.txt"), "keep");
  EXPECT_TRUE(fs::is_symlink(dir_ / "work" / "link.txt"));
}

TEST_F(HostileFilesTest, ExportFolderIsHonouredOutsideSecureMode) {
  CDataFile deep = Included("f.txt", 3, "../made/deep/dir");
  deep.s_removeend = false;
  auto r = Run(GameWith({deep}));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testproc::ReadText(dir_ / "made" / "deep" / "dir" / "f.txt"), "new");
}

TEST_F(HostileFilesTest, SecureSwitchKeepsIncludedFilesInTheGamesFolders) {
  // Headless, the first refusal is taken as "abort": one hostile file a run.
  struct RCase {
    CDataFile file;
    const char* message;
  } cases[] = {
      {Included("f.txt", 3, "../made"), "In secure mode you cannot export a data file to an indicated directory."},
      {Included("../x.txt", 2), "In secure mode you cannot export a data file to ../x.txt"},
  };
  for (const RCase& c : cases) {
    CDataFile fine = Included("fine.txt", 2);
    fine.s_removeend = false;
    auto r = Run("--secure " + GameWith({fine, c.file}));
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir_ / "made"));
    EXPECT_EQ(Outside(), std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(dir_ / "work" / "fine.txt"));
  }
  auto r = Run("--help");
  EXPECT_NE(r.out.find("--secure"), std::string::npos);
}

TEST_F(HostileFilesTest, AGameFileThatIsNotARegularFileIsRefusedAtOnce) {
  const fs::path fifo = dir_ / "pipe.game";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct RCase {
    fs::path path;
    const char* why;
  } cases[] = {{fifo, ": not a regular file"}, {dir_ / "work", ": is a folder with no game.json"}};
  for (const RCase& c : cases) {
    auto r = Run(c.path.string());
    EXPECT_EQ(r.status, 1) << r.out;  // not 124 or 137: it did not wait
    EXPECT_NE(r.out.find("roomrun: " + c.path.string() + c.why), std::string::npos) << r.out;
  }
}

// A sprite whose stored mask does not fit its frames fails the sprites
// section, so the game is refused as it loads rather than read past the
// mask in its first collision.
TEST_F(HostileFilesTest, MasksThatDoNotFitTheirSpriteAreRefused) {
  auto game = [&](int size, int mask_w, int mask_h, TRect box) {
    CStream rec;
    for (int v : {800, 0, 0, 1}) rec.WriteInteger(v);
    TBitmap32(size, size).SaveToStream(rec);
    rec.WriteBoolean(false);
    TMask mask;
    mask.i_w = mask_w;
    mask.i_h = mask_h;
    mask.i_mask.assign(size_t(mask_w) * size_t(mask_h), 1);
    mask.i_bbox = box;
    mask.SaveToStream(rec);
    CGameWriter w;
    for (int v : {kSectionVersionExtensions, kSectionVersionTriggers, kSectionVersionConstants, kSectionVersionSounds})
      w.WriteEmptyList(v);
    w.BeginList(kSectionVersionSprites, 1);
    w.WriteResource("spr", rec);
    for (int v : {kSectionVersionBackgrounds, kSectionVersionPaths, kSectionVersionScripts, kSectionVersionFonts,
                  kSectionVersionTimeLines, kSectionVersionObjects, kSectionVersionRooms})
      w.WriteEmptyList(v);
    w.Sections().WriteInteger(100000);
    w.Sections().WriteInteger(10000000);
    w.WriteIncludedFiles({});
    return Finish(w);
  };
  struct {
    const char* what;
    int size, mask_w, mask_h;
    TRect box;
    bool loads;
  } cases[] = {
      {"fitting mask", 8, 8, 8, {0, 0, 7, 7}, true},
      {"1 x 1 mask on 8 x 8", 8, 1, 1, {0, 0, 0, 0}, false},
      {"box -100 .. 5000 on 2 x 2", 2, 2, 2, {-100, -100, 5000, 5000}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = Run("--steps 1 " + game(c.size, c.mask_w, c.mask_h, c.box));
    const bool refused = r.out.find(kMsgResourceData) != std::string::npos;
    EXPECT_EQ(refused, !c.loads) << r.out;
    if (!c.loads) {
      EXPECT_NE(r.status, 0) << r.out;
    }
  }
}

}  // namespace
