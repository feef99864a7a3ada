#include "runner/DataNew_Main.h"

#include <gtest/gtest.h>

#include "script/Code_Error.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "GameFixture.h"
#include "runner/Option_Main.h"
#include "runner/Support_File.h"
#include "script/Code_Error.h"

using fixture::LoadCaptured;
using fixture::MinimalGame;
using fixture::MinimalWriter;

namespace {

std::vector<uint8_t> Bmp(uint8_t tag) {
  std::vector<uint8_t> b(20, tag);
  b[0] = 'B';
  b[1] = 'M';
  return b;
}

}  // namespace

TEST(GameFile, MinimalGameLoads) {
  CGameWriter w = MinimalWriter();
  w.debug = true;
  for (int i = 0; i < 16; ++i) w.guid[size_t(i)] = uint8_t(i * 3);
  auto out = LoadCaptured(w.Finish());
  EXPECT_TRUE(out.ok);
  EXPECT_TRUE(out.messages.empty());
  EXPECT_TRUE(DebugMode);
  EXPECT_EQ(GameId, 4321);
  EXPECT_EQ(GameGuid, w.guid);
  EXPECT_EQ(GameDataOffset, 0u);
  EXPECT_EQ(RoomOrder, std::vector<int>{0});
}

TEST(GameFile, SettingsRoundTrip) {
  CGameWriter w = MinimalWriter();
  RGameSettings& s = w.settings;
  s.fullscreen = true;
  s.interpolate = true;
  s.scale = -1;
  s.windowcolor = 0x123456;
  s.colordepth = 2;
  s.resolution = 4;
  s.frequency = 5;
  s.sync = -1;
  s.keyf4 = false;
  s.priority = 2;
  s.showprogress = true;
  s.progressback = Bmp(1);
  s.progressfront = std::nullopt;
  s.loadimage = Bmp(3);
  s.loadalpha = 254;
  s.argerrors = true;
  s.createfirst = true;
  ASSERT_TRUE(LoadCaptured(w.Finish()).ok);
  EXPECT_TRUE(opt_fullscreen);
  EXPECT_TRUE(opt_interpolate);
  EXPECT_EQ(opt_scale, -1);
  EXPECT_EQ(opt_windowcolor, 0x123456);
  EXPECT_EQ(opt_colordepth, 2);
  EXPECT_EQ(opt_resolution, 4);
  EXPECT_EQ(opt_frequency, 5);
  EXPECT_EQ(opt_sync, -1);
  EXPECT_FALSE(opt_keyf4);
  EXPECT_EQ(opt_priority, 2);
  EXPECT_EQ(opt_progressback, Bmp(1));
  EXPECT_EQ(opt_progressfront, std::nullopt);
  EXPECT_EQ(opt_loadimage, Bmp(3));
  EXPECT_EQ(opt_loadalpha, 254);
  EXPECT_FALSE(opt_uninitzero);
  EXPECT_TRUE(opt_argerrors);
  EXPECT_TRUE(opt_createfirst);
}

TEST(GameFile, SettingsVersionDecidesTheLastFields) {
  for (int version : {800, 819, 820, 821}) {
    RGameSettings s;
    s.version = version;
    s.createfirst = true;
    s.reserved = 77;
    CStream st;
    WriteGameSettingsRecord(st, s);
    st.Seek(0);
    RGameSettings back;
    ASSERT_TRUE(ReadGameSettingsRecord(st, back));
    EXPECT_EQ(back.createfirst, version >= 820) << version;
    EXPECT_EQ(st.Remaining(), 0u);
  }
  RGameSettings old;
  old.version = 799;
  CStream st;
  WriteGameSettingsRecord(st, old);
  st.Seek(0);
  RGameSettings back;
  EXPECT_FALSE(ReadGameSettingsRecord(st, back));
}

TEST(GameFile, ShowProgressStoredAsTwoIsTrueAndBringsTheBarPictures) {
  // Hand-made record: showprogress = 2 followed by two bitmaps, then = 0
  // without them.
  for (int flag : {2, 0}) {
    CStream b;
    for (int i = 0; i < 23; ++i) b.WriteInteger(0);
    b.WriteInteger(flag);
    auto back = Bmp(7);
    if (flag) {
      b.WriteBitmap(&back);
      b.WriteBitmap(nullptr);
    }
    b.WriteBitmap(nullptr);  // load image
    for (int i = 0; i < 7; ++i) b.WriteInteger(0);
    b.WriteInteger(0);  // reserved (820)
    b.WriteInteger(1);  // createfirst
    CStream st;
    st.WriteInteger(820);
    st.WriteStreamC(b);
    st.Seek(0);
    RGameSettings s;
    ASSERT_TRUE(ReadGameSettingsRecord(st, s)) << flag;
    EXPECT_EQ(s.showprogress, flag == 2);
    EXPECT_EQ(s.progressback.has_value(), flag == 2);
    EXPECT_TRUE(s.createfirst);
  }
}

TEST(GameFile, OwnSectionsRoundTrip) {
  CGameWriter w;
  w.WriteEmptyResourceSections(100500, 10000077);
  CDataFile f;
  f.s_filename = "data.txt";
  f.s_origname = "C:/x/data.txt";
  f.s_exists = true;
  f.s_store = true;
  f.s_data = {1, 2, 3};
  f.s_size = 3;
  f.s_exportaction = 3;
  f.s_exportdir = "out";
  f.s_overwrite = true;
  f.s_freedata = false;
  f.s_removeend = false;
  CDataFile g;
  g.s_filename = "notstored.bin";
  g.s_exists = true;  // exists but not stored: no bytes follow
  w.WriteIncludedFiles({f, g});
  RGameInfo info;
  info.InfoColor = 0xABCDEF;
  info.InfoEmbedded = true;
  info.InfoCaption = "About";
  info.InfoLeft = -1;
  info.InfoTop = 20;
  info.InfoWidth = 300;
  info.InfoHeight = 200;
  info.InfoBorder = false;
  info.InfoModal = true;
  info.InfoText = "{\\rtf1 hello}";
  w.WriteGameInfo(info);
  w.WriteLibraryInitCode({"a = 1", ""});
  w.WriteRoomOrder({3, 1, 2});
  ASSERT_TRUE(LoadCaptured(w.Finish()).ok);

  EXPECT_EQ(LastInstanceId, 100500);
  EXPECT_EQ(LastTileId, 10000077);
  ASSERT_EQ(IncludedFiles.size(), 2u);
  const CDataFile& r = IncludedFiles[0];
  EXPECT_EQ(r.s_filename, "data.txt");
  EXPECT_EQ(r.s_origname, "C:/x/data.txt");
  EXPECT_TRUE(r.s_exists);
  EXPECT_EQ(r.s_data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(r.s_exportaction, 3);
  EXPECT_EQ(r.s_exportdir, "out");
  EXPECT_TRUE(r.s_overwrite);
  EXPECT_FALSE(r.s_freedata);
  EXPECT_FALSE(r.s_removeend);
  EXPECT_TRUE(IncludedFiles[1].s_data.empty());
  EXPECT_EQ(GameInfo.InfoColor, 0xABCDEF);
  EXPECT_TRUE(GameInfo.InfoEmbedded);
  EXPECT_EQ(GameInfo.InfoCaption, "About");
  EXPECT_EQ(GameInfo.InfoTop, 20);
  EXPECT_EQ(GameInfo.InfoWidth, 300);
  EXPECT_FALSE(GameInfo.InfoBorder);
  EXPECT_TRUE(GameInfo.InfoModal);
  EXPECT_EQ(GameInfo.InfoText, "{\\rtf1 hello}");
  EXPECT_EQ(LibraryInitCode, (std::vector<std::string>{"a = 1", ""}));
  EXPECT_EQ(RoomOrder, (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(FindIncludedFile("data.txt"), 0);
  EXPECT_EQ(FindIncludedFile("Data.txt"), -1);
  EXPECT_EQ(GetIncludedFile(2), nullptr);
  EXPECT_EQ(GetIncludedFile(-1), nullptr);
}

TEST(GameFile, ResourceListWithAnEmptyMiddleEntryLoads) {
  CGameWriter w;
  w.WriteEmptyList(kSectionVersionExtensions);
  w.WriteEmptyList(kSectionVersionTriggers);
  w.BeginList(kSectionVersionConstants, 1);
  w.Sections().WriteString("k");
  w.Sections().WriteString("1");
  w.BeginList(kSectionVersionSounds, 3);
  CStream rec;  // a complete sound record without data
  rec.WriteInteger(800);
  rec.WriteInteger(0);
  rec.WriteString(".wav");
  rec.WriteString("a.wav");
  rec.WriteBoolean(false);
  rec.WriteInteger(0);
  rec.WriteReal(1);
  rec.WriteReal(0);
  rec.WriteBoolean(true);
  w.WriteResource("a", rec);
  w.WriteEmptyResource();
  w.WriteResource("c", rec);
  for (int v = 0; v < 7; ++v) w.WriteEmptyList(800);  // sprites .. objects
  w.WriteEmptyList(kSectionVersionRooms);
  w.Sections().WriteInteger(1);
  w.Sections().WriteInteger(2);
  w.WriteIncludedFiles({});
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  auto out = LoadCaptured(w.Finish());
  EXPECT_TRUE(out.ok);
  EXPECT_TRUE(out.messages.empty());
}

TEST(GameFile, ExtensionPackagesAreWalkedAndTheirBlocksChecked) {
  auto make = [](bool corrupt_block) {
    CGameWriter w;
    w.BeginList(kSectionVersionExtensions, 1);
    CStream& s = w.Sections();
    s.WriteInteger(700);
    s.WriteString("pkg");
    s.WriteString("folder");
    s.WriteInteger(3);  // files
    // file 1: a library with one function and one constant
    s.WriteInteger(700);
    s.WriteString("lib.so");
    s.WriteInteger(1);
    s.WriteString("init");
    s.WriteString("");
    s.WriteInteger(1);
    s.WriteInteger(700);
    s.WriteString("f");
    s.WriteString("f_ext");
    s.WriteInteger(11);
    s.WriteInteger(0);
    s.WriteInteger(2);
    for (int i = 0; i < 17; ++i) s.WriteInteger(2);
    s.WriteInteger(2);
    s.WriteInteger(1);
    s.WriteInteger(700);
    s.WriteString("C");
    s.WriteString("3");
    // file 2: wrong marker, left empty (nothing else of it is stored)
    s.WriteInteger(699);
    // file 3: kind 3 (contents not stored)
    s.WriteInteger(700);
    s.WriteString("x");
    s.WriteInteger(3);
    s.WriteString("");
    s.WriteString("");
    s.WriteInteger(0);
    s.WriteInteger(0);
    // contents: key, then one block for file 1 and one for the empty file 2
    // (kind 0 is not 3), scrambled from offset 5 on.
    CStream contents;
    contents.WriteInteger(1234);
    std::vector<uint8_t> bytes = {9, 9, 9};
    contents.WriteStreamC(bytes.data(), bytes.size());
    contents.WriteStreamC(bytes.data(), bytes.size());
    if (corrupt_block) contents.MutableData()[12] ^= 0xFF;
    contents.Encrypt(1234, 5, 0);
    s.WriteStream(contents);
    for (int v = 0; v < 10; ++v) w.WriteEmptyList(800);
    w.WriteEmptyList(kSectionVersionRooms);
    s.WriteInteger(0);
    s.WriteInteger(0);
    w.WriteIncludedFiles({});
    w.WriteGameInfo(RGameInfo());
    w.WriteLibraryInitCode({});
    w.WriteRoomOrder({0});
    return w.Finish();
  };
  auto good = LoadCaptured(make(false));
  EXPECT_TRUE(good.ok);
  EXPECT_TRUE(good.messages.empty());
  auto bad = LoadCaptured(make(true));
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.messages, std::vector<std::string>{kMsgCorrupted});
}

TEST(GameFile, MarkerSearch) {
  auto game = MinimalGame();
  // Inside a runnable copy the game is found at the fixed offset.
  std::vector<uint8_t> runner(1000, 0x11);
  auto runnable = MakeRunnableGame(runner, game);
  ASSERT_EQ(runnable.size(), kGameDataOffset + game.size());
  CStream s(runnable);
  EXPECT_EQ(FindGameData(s), int64_t(kGameDataOffset));
  auto out = LoadCaptured(runnable);
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(GameDataOffset, kGameDataOffset);

  // A runner longer than the offset: the game follows it.
  std::vector<uint8_t> big(kGameDataOffset + 333, 0x22);
  auto after = MakeRunnableGame(big, game);
  EXPECT_EQ(FindGameData(CStream(after)), int64_t(kGameDataOffset + 333));
  EXPECT_TRUE(LoadCaptured(after).ok);

  // A large runner whose own bytes hold the marker pattern (with some other
  // version word) past the offset: the search goes on to the real game.
  std::vector<uint8_t> holds(kGameDataOffset + 5000, 0x33);
  std::memcpy(holds.data() + kGameDataOffset + 100, game.data(), 16);
  std::memset(holds.data() + kGameDataOffset + 116, 0x44, 4);
  auto past = MakeRunnableGame(holds, game);
  EXPECT_EQ(FindGameData(CStream(past)), int64_t(holds.size()));
  EXPECT_TRUE(LoadCaptured(past).ok);
  // Without the real game there is no game data at all.
  std::vector<uint8_t> only(holds.begin(), holds.end());
  EXPECT_EQ(FindGameData(CStream(only)), -1);
  EXPECT_EQ(LoadCaptured(only).messages, std::vector<std::string>{kMsgNotValid});

  // A game that does not start the file and lies before the offset is never
  // seen.
  std::vector<uint8_t> early(100, 0);
  early.insert(early.end(), game.begin(), game.end());
  EXPECT_EQ(FindGameData(CStream(early)), -1);

  // A marker exactly 8 bytes before the end is found.
  std::vector<uint8_t> tail(kGameDataOffset + 8, 0);
  std::memcpy(tail.data() + kGameDataOffset, game.data(), 8);
  EXPECT_EQ(FindGameData(CStream(tail)), int64_t(kGameDataOffset));
  tail.pop_back();
  EXPECT_EQ(FindGameData(CStream(tail)), -1);
}

// --- included files ---------------------------------------------------------

namespace {

class IncludedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("rr_incl_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "tmp");
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    TempDir = (dir_ / "tmp").string();
    SecureMode = false;
    ErrorResetForTests();
    SetHeadlessErrorChoice(false);  // every refusal in a case is reported
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    TempDir.clear();
    SecureMode = false;
    std::filesystem::remove_all(dir_);
  }
  static CDataFile File(const std::string& name, int action) {
    CDataFile f;
    f.s_filename = name;
    f.s_exists = true;
    f.s_store = true;
    f.s_data = {'h', 'i'};
    f.s_exportaction = action;
    return f;
  }
  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::string s;
    std::getline(in, s);
    return s;
  }
  std::filesystem::path dir_, old_cwd_;
};

}  // namespace

TEST_F(IncludedFileTest, ExportToEachPlaceAndRemoveAtEnd) {
  CDataFile temp = File("t.txt", 1);
  CDataFile work = File("w.txt", 2);
  CDataFile chosen = File("c.txt", 3);
  chosen.s_exportdir = (dir_ / "deep" / "er").string();
  CDataFile none = File("n.txt", 0);
  EXPECT_TRUE(temp.Prepare());
  EXPECT_TRUE(work.Prepare());
  EXPECT_TRUE(chosen.Prepare());
  EXPECT_TRUE(none.Prepare());
  EXPECT_EQ(Read(dir_ / "tmp" / "t.txt"), "hi");
  EXPECT_EQ(Read(dir_ / "w.txt"), "hi");
  EXPECT_EQ(Read(dir_ / "deep" / "er" / "c.txt"), "hi");
  EXPECT_TRUE(none.s_exists);  // action 0 keeps the bytes
  // s_freedata (the default) released the bytes.
  EXPECT_FALSE(temp.s_exists);
  EXPECT_TRUE(temp.s_data.empty());
  EXPECT_FALSE(temp.Prepare());  // nothing left to export

  EXPECT_TRUE(temp.Remove());
  EXPECT_TRUE(work.Remove());
  EXPECT_TRUE(chosen.Remove());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "tmp" / "t.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "w.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "deep" / "er" / "c.txt"));
  EXPECT_FALSE(work.Remove());  // already gone
}

TEST_F(IncludedFileTest, ExistingFileIsKeptWithoutOverwriteAndNotRemoved) {
  // The file was not written by this run: it is the player's, and stays.
  { std::ofstream(dir_ / "w.txt") << "old"; }
  CDataFile f = File("w.txt", 2);
  EXPECT_FALSE(f.Prepare());
  EXPECT_EQ(Read(dir_ / "w.txt"), "old");
  EXPECT_FALSE(f.s_exists);  // freed whatever the result
  EXPECT_FALSE(f.Remove());
  EXPECT_EQ(Read(dir_ / "w.txt"), "old");

  { std::ofstream(dir_ / "o.txt") << "old"; }
  CDataFile g = File("o.txt", 2);
  g.s_overwrite = true;
  g.s_removeend = false;
  EXPECT_TRUE(g.Prepare());
  EXPECT_EQ(Read(dir_ / "o.txt"), "hi");
  EXPECT_TRUE(g.Remove());
  EXPECT_TRUE(std::filesystem::exists(dir_ / "o.txt"));
}

TEST_F(IncludedFileTest, SecureModeRefusesPathsAndChosenDirectories) {
  SecureMode = true;
  CDataFile sub = File("sub/x.txt", 2);
  CDataFile chosen = File("c.txt", 3);
  chosen.s_exportdir = (dir_ / "d").string();
  CDataFile plain = File("p.txt", 2);
  // Each refusal is reported as a non-fatal error.
  ErrorResetForTests();
  error_last.clear();
  EXPECT_FALSE(sub.Prepare());
  EXPECT_EQ(error_last, "In secure mode you cannot export a data file to sub/x.txt");
  ErrorResetForTests();
  error_last.clear();
  EXPECT_FALSE(chosen.Prepare());
  EXPECT_EQ(error_last, "In secure mode you cannot export a data file to an indicated directory.");
  ErrorResetForTests();
  EXPECT_TRUE(sub.s_exists);  // refused before any export attempt
  EXPECT_FALSE(std::filesystem::exists(dir_ / "d"));
  EXPECT_TRUE(plain.Prepare());
  EXPECT_FALSE(sub.Remove());
  EXPECT_FALSE(chosen.Remove());
}

TEST_F(IncludedFileTest, DiscardAssignAndRecordVersion) {
  CDataFile f = File("a", 2);
  CDataFile copy;
  copy.Assign(f);
  EXPECT_EQ(copy.s_data, f.s_data);
  f.s_store = false;
  copy.Assign(f);
  EXPECT_TRUE(copy.s_data.empty());  // bytes only copied when stored
  f.Discard();
  EXPECT_FALSE(f.s_exists);
  EXPECT_TRUE(f.s_data.empty());

  CStream s;
  File("a", 2).SaveToStream(s);
  s.MutableData()[0] = 0x1F;  // version 799
  s.Seek(0);
  CDataFile r;
  EXPECT_FALSE(r.LoadFromStream(s));
  CDataFile cleared;
  EXPECT_EQ(cleared.s_exportaction, 2);
  EXPECT_TRUE(cleared.s_freedata);
  EXPECT_TRUE(cleared.s_removeend);
}

#include "platform/Platform_LoadLayout.h"

TEST(LoadWindow, LayoutFollowsThePictureAndTheSettings) {
  RLoadLayout l = ComputeLoadLayout(400, 120, 1025, 768, true, false, false);
  EXPECT_EQ(l.width, 400);
  EXPECT_EQ(l.height, 120);
  EXPECT_EQ(l.left, 312);  // (1025 - 400) / 2, rounded toward zero
  EXPECT_EQ(l.top, 324);
  EXPECT_EQ(l.bar_top, 88);
  EXPECT_EQ(l.bar_width, 400 - 48);
  EXPECT_TRUE(l.bars_visible);
  EXPECT_FALSE(l.front_stretched);
  EXPECT_FALSE(l.label_visible);
  // No picture: the default size. The label only shows in debug mode with the bar.
  RLoadLayout d = ComputeLoadLayout(0, 0, 100, 50, true, true, true);
  EXPECT_EQ(d.width, 332);
  EXPECT_EQ(d.height, 92);
  EXPECT_EQ(d.left, -116);
  EXPECT_EQ(d.top, -21);
  EXPECT_TRUE(d.front_stretched);
  EXPECT_TRUE(d.label_visible);
  EXPECT_FALSE(ComputeLoadLayout(0, 0, 100, 50, false, true, true).label_visible);
}

TEST(LoadWindow, ProgressWidthRoundsHalvesToEven) {
  EXPECT_EQ(ProgressWidth(0, 284), 0);
  EXPECT_EQ(ProgressWidth(100, 284), 284);
  EXPECT_EQ(ProgressWidth(50, 5), 2);   // 2.5 -> 2
  EXPECT_EQ(ProgressWidth(50, 7), 4);   // 3.5 -> 4
  EXPECT_EQ(ProgressWidth(49, 284), 139);  // 139.16
}

TEST(GameFile, ManyIncludedFilesKeepTheirOrderAndTheirFaults) {
  std::vector<CDataFile> files(150);
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].s_filename = "f" + std::to_string(i);
    files[i].s_exists = files[i].s_store = (i % 7 != 3);
    files[i].s_data.assign(i * 997 % 5000, uint8_t(i));
  }
  auto build = [&](int broken_at, bool bad_version) {
    CGameWriter w;
    w.WriteEmptyResourceSections();
    w.BeginList(kSectionVersionIncludedFiles, int32_t(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
      CStream rec;
      files[i].SaveToStream(rec);
      if (int(i) == broken_at && bad_version) rec.MutableData()[0] = 0x1F;
      CStream block;
      block.WriteStreamC(rec);
      if (int(i) == broken_at && !bad_version) block.MutableData()[block.Size() - 2] ^= 0x10;  // trailer
      w.Sections().WriteBuffer(block.Data(), block.Size());
    }
    w.WriteGameInfo(RGameInfo());
    w.WriteLibraryInitCode({});
    w.WriteRoomOrder({0});
    return w.Finish();
  };
  auto good = LoadCaptured(build(-1, false));
  ASSERT_TRUE(good.ok);
  ASSERT_EQ(IncludedFiles.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(IncludedFiles[i].s_filename, files[i].s_filename);
    EXPECT_EQ(IncludedFiles[i].s_data, files[i].s_exists ? files[i].s_data : std::vector<uint8_t>()) << i;
  }
  EXPECT_EQ(LoadCaptured(build(100, false)).messages, std::vector<std::string>{kMsgCorrupted});
  EXPECT_EQ(LoadCaptured(build(130, true)).messages, std::vector<std::string>{kMsgResourceData});
}

#include <pthread.h>
#include <sched.h>

TEST(GameFile, HeldToOneProcessorTheLoadUsesOneThreadAndGivesTheSameFiles) {
  cpu_set_t original;
  ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof original, &original), 0);
  EXPECT_EQ(LoadThreadCount(), CPU_COUNT(&original) > 1 ? 2 : 1);
  int first = 0;
  while (!CPU_ISSET(first, &original)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);

  std::vector<CDataFile> files(90);
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].s_filename = "g" + std::to_string(i);
    files[i].s_exists = files[i].s_store = (i % 5 != 2);
    files[i].s_data.assign(i * 631 % 3000, uint8_t(i * 3));
  }
  auto build = [&](int broken_at) {
    CGameWriter w;
    w.WriteEmptyResourceSections();
    w.BeginList(kSectionVersionIncludedFiles, int32_t(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
      CStream rec;
      files[i].SaveToStream(rec);
      CStream block;
      block.WriteStreamC(rec);
      if (int(i) == broken_at) block.MutableData()[block.Size() - 2] ^= 0x10;  // trailer
      w.Sections().WriteBuffer(block.Data(), block.Size());
    }
    w.WriteGameInfo(RGameInfo());
    w.WriteLibraryInitCode({});
    w.WriteRoomOrder({0});
    return w.Finish();
  };
  auto same_files = [&] {
    ASSERT_EQ(IncludedFiles.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
      EXPECT_EQ(IncludedFiles[i].s_data, files[i].s_exists ? files[i].s_data : std::vector<uint8_t>()) << i;
  };
  ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
  EXPECT_EQ(LoadThreadCount(), 1);
  bool good = LoadCaptured(build(-1)).ok;
  if (good) same_files();
  auto broken = LoadCaptured(build(70));
  ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof original, &original), 0);
  EXPECT_TRUE(good);
  EXPECT_EQ(broken.messages, std::vector<std::string>{kMsgCorrupted});
  ASSERT_TRUE(LoadCaptured(build(-1)).ok);
  same_files();
}
