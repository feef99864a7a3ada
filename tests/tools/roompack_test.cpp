// The packer end to end: project folders are packed by the roompack program
// and the game files it writes are read back by the runner's reader.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <sys/stat.h>
#include <zlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "script/Constant_Main.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = ROOMRUN_SOURCE_DIR;
const fs::path kBin = ROOMRUN_BIN_DIR;

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

struct RRun {
  int status = -1;
  std::string output;  // standard output and standard error
};

RRun RunProgram(const fs::path& program, const std::vector<std::string>& args) {
  std::string cmd = ShellQuote(program.string());
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  cmd += " 2>&1";
  const testproc::ROutput run = testproc::Capture(cmd);
  return RRun{run.status, run.out};
}

RRun Pack(const std::vector<std::string>& args) { return RunProgram(kBin / "roompack", args); }

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A fresh directory, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "roompack_test_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct RLoaded {
  bool ok = false;
  std::vector<std::string> messages;
};

// Loads a game file in-process through the runner's reader.
RLoaded LoadWithRunner(std::vector<uint8_t> bytes) {
  RLoaded out;
  ClearGameData();
  SetMessageSink([&](const std::string& m) { out.messages.push_back(m); });
  out.ok = LoadGameFromBuffer(std::move(bytes));
  SetMessageSink(nullptr);
  return out;
}

// The graphics helper library as stored in the header (the runner only writes
// it out, so it is read here from the file, in the reader's order).
std::pair<std::string, std::vector<uint8_t>> ReadLibrary(std::vector<uint8_t> bytes) {
  CStream file(std::move(bytes));
  int64_t marker = FindGameData(file);
  EXPECT_GE(marker, 0);
  EXPECT_TRUE(DescrambleGameData(file, size_t(marker)));
  file.Seek(size_t(marker) + 16);
  EXPECT_EQ(file.ReadInteger(), kGameFileVersion);
  file.ReadInteger();
  file.ReadBoolean();
  file.ReadInteger();
  RGameSettings settings;
  EXPECT_TRUE(ReadGameSettingsRecord(file, settings));
  std::string name = file.ReadString();
  return {name, file.ReadStreamC().Bytes()};
}

std::vector<std::pair<std::string, std::string>> LoadedScripts() {
  std::vector<std::pair<std::string, std::string>> out;
  for (int i = 0; i < ScriptCount(); ++i) {
    CScript* s = ScriptGet(i);
    out.emplace_back(ScriptGetName(i), s ? s->s_text : "<empty>");
  }
  return out;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

}  // namespace

TEST(Roompack, EveryFieldOfAFullProjectComesBack) {
  TempFolder tmp;
  fs::path out = tmp.path() / "full.game";
  RRun r = Pack({(kSource / "tests/games/packer_full").string(), "-o", out.string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "");
  std::vector<uint8_t> bytes = ReadBytes(out);

  RLoaded loaded = LoadWithRunner(bytes);
  ASSERT_TRUE(loaded.ok);
  EXPECT_TRUE(loaded.messages.empty());
  EXPECT_TRUE(DebugMode);
  EXPECT_EQ(GameId, 424242);
  const std::array<uint8_t, 16> guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(GameGuid, guid);

  // Settings: every one differs from its default in the fixture.
  EXPECT_TRUE(opt_fullscreen);
  EXPECT_TRUE(opt_interpolate);
  EXPECT_TRUE(opt_noborder);
  EXPECT_FALSE(opt_showcursor);
  EXPECT_EQ(opt_scale, 150);
  EXPECT_TRUE(opt_sizeable);
  EXPECT_TRUE(opt_stayontop);
  EXPECT_EQ(opt_windowcolor, 0x302010);  // "#102030" with red in the low byte
  EXPECT_TRUE(opt_changeresolution);
  EXPECT_EQ(opt_colordepth, 1);
  EXPECT_EQ(opt_resolution, 4);
  EXPECT_EQ(opt_frequency, 3);
  EXPECT_TRUE(opt_nobuttons);
  EXPECT_EQ(opt_sync, -1);
  EXPECT_FALSE(opt_noscreensaver);
  EXPECT_FALSE(opt_keyf4);
  EXPECT_FALSE(opt_keyf1);
  EXPECT_FALSE(opt_keyesc);
  EXPECT_FALSE(opt_keyf5);
  EXPECT_FALSE(opt_keyf9);
  EXPECT_FALSE(opt_closeasesc);
  EXPECT_EQ(opt_priority, 2);
  EXPECT_TRUE(opt_freeze);
  EXPECT_TRUE(opt_showprogress);
  EXPECT_TRUE(opt_loadtransparent);
  EXPECT_EQ(opt_loadalpha, 200);
  EXPECT_FALSE(opt_scaleprogress);
  EXPECT_FALSE(opt_showerrors);
  EXPECT_TRUE(opt_logerrors);
  EXPECT_TRUE(opt_aborterrors);
  EXPECT_TRUE(opt_uninitzero);
  EXPECT_FALSE(opt_argerrors);
  EXPECT_TRUE(opt_createfirst);

  // The PNG pictures arrive as 32-bit bitmaps, rows bottom-up, alpha kept.
  ASSERT_TRUE(opt_loadimage.has_value());
  const std::vector<uint8_t>& bmp = *opt_loadimage;
  ASSERT_EQ(bmp.size(), 54u + 3 * 2 * 4);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 2), bmp.size());
  EXPECT_EQ(Le32(bmp, 10), 54u);
  EXPECT_EQ(Le32(bmp, 18), 3u);
  EXPECT_EQ(Le32(bmp, 22), 2u);
  EXPECT_EQ(bmp[28], 32);
  const std::vector<uint8_t> pixels = {
      0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0xFF, 30, 20, 10, 0x00,  // bottom row
      0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF,  // top row: red, green, blue
  };
  EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.end()), pixels);
  ASSERT_TRUE(opt_progressback.has_value());
  EXPECT_EQ(Le32(*opt_progressback, 18), 1u);
  EXPECT_EQ(std::vector<uint8_t>(opt_progressback->begin() + 54, opt_progressback->end()),
            (std::vector<uint8_t>{3, 2, 1, 255}));
  ASSERT_TRUE(opt_progressfront.has_value());
  EXPECT_EQ(Le32(*opt_progressfront, 18), 2u);

  // Included files.
  ASSERT_EQ(IncludedFiles.size(), 4u);
  const CDataFile& a = IncludedFiles[0];
  EXPECT_EQ(a.s_filename, "data.bin");
  EXPECT_EQ(a.s_origname, "files/data.bin");
  EXPECT_TRUE(a.s_exists);
  EXPECT_TRUE(a.s_store);
  EXPECT_EQ(a.s_size, 8);
  EXPECT_EQ(a.s_data, (std::vector<uint8_t>{0, 1, 2, 255, 254, 0, 10, 13}));
  EXPECT_EQ(a.s_exportaction, 1);
  EXPECT_TRUE(a.s_overwrite);
  EXPECT_FALSE(a.s_freedata);
  EXPECT_FALSE(a.s_removeend);
  const CDataFile& b = IncludedFiles[1];
  EXPECT_EQ(b.s_filename, "renamed.txt");
  EXPECT_EQ(b.s_origname, "C:/orig/big.txt");
  EXPECT_TRUE(b.s_exists);
  EXPECT_FALSE(b.s_store);
  EXPECT_EQ(b.s_size, 1000);
  EXPECT_TRUE(b.s_data.empty());
  EXPECT_EQ(b.s_exportaction, 0);
  const CDataFile& c = IncludedFiles[2];
  EXPECT_EQ(c.s_filename, "absent.dat");
  EXPECT_FALSE(c.s_exists);
  EXPECT_EQ(c.s_exportaction, 3);
  EXPECT_EQ(c.s_exportdir, "out/sub");
  EXPECT_FALSE(c.s_overwrite);
  EXPECT_TRUE(c.s_freedata);
  EXPECT_TRUE(c.s_removeend);
  const CDataFile& d = IncludedFiles[3];
  EXPECT_EQ(d.s_filename, "defaults.dat");
  EXPECT_EQ(d.s_origname, "");
  EXPECT_FALSE(d.s_exists);
  EXPECT_TRUE(d.s_store);
  EXPECT_EQ(d.s_exportaction, 1);  // the private temporary directory
  EXPECT_EQ(d.s_exportdir, "");
  EXPECT_FALSE(d.s_overwrite);
  EXPECT_TRUE(d.s_freedata);
  EXPECT_TRUE(d.s_removeend);

  // Game information, the plain text wrapped into rich text.
  EXPECT_EQ(GameInfo.InfoColor, 255);
  EXPECT_TRUE(GameInfo.InfoEmbedded);
  EXPECT_EQ(GameInfo.InfoCaption, "Über");
  EXPECT_EQ(GameInfo.InfoLeft, 10);
  EXPECT_EQ(GameInfo.InfoTop, 20);
  EXPECT_EQ(GameInfo.InfoWidth, 300);
  EXPECT_EQ(GameInfo.InfoHeight, 200);
  EXPECT_FALSE(GameInfo.InfoBorder);
  EXPECT_FALSE(GameInfo.InfoSizeable);
  EXPECT_TRUE(GameInfo.InfoOnTop);
  EXPECT_FALSE(GameInfo.InfoModal);
  EXPECT_EQ(GameInfo.InfoText,
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\f0\\fs20 "
            "Line \\{1\\} \\\\ back\\par\n"
            "Zweite Zeile: \\u228? \\u-10179?\\u-8704?\\par\n}");

  EXPECT_EQ(LibraryInitCode, (std::vector<std::string>{"global.one = 1;\n", "global.two = \"{two}\";\n"}));
  EXPECT_EQ(RoomOrder, (std::vector<int>{2, 0}));

  const std::vector<std::pair<std::string, std::string>> constants = {
      {"SPACED", "7"}, {"HALF", "0.5"}, {"GREETING", "\"Grüße\""}, {"_DERIVED", "HALF * 4 + SPACED"},
      {"TINY", "0.0000001"}, {"HUGE", "-250000000000000000000"}, {"BIG", "18446744073709551615"}};
  EXPECT_EQ(UserConstants(), constants);
  const std::vector<std::pair<std::string, std::string>> scripts = {
      {"scr_first", "// first script\nreturn argument0 * 2;\n"},
      {"<undefined>", "<empty>"},
      {"scr_third", "var s;\r\ns = \"h\xc3\xa9\";\r\nreturn s;"}};  // byte-order mark dropped
  EXPECT_EQ(LoadedScripts(), scripts);

  auto [library_name, library] = ReadLibrary(bytes);
  EXPECT_EQ(library_name, "helper.so");
  std::vector<uint8_t> lib;
  for (int i = 0; i < 3; ++i) {
    for (int v = 0; v < 256; ++v) lib.push_back(uint8_t(v));
  }
  EXPECT_EQ(library, lib);
}

TEST(Roompack, MinimalProjectGetsTheDocumentedDefaults) {
  TempFolder tmp;
  WriteText(tmp.path() / "game/game.json", R"({ "rooms": [null, "rm_only"] })");
  WriteText(tmp.path() / "game/rooms/rm_only.json", "{}");
  fs::path out = tmp.path() / "min.game";
  RRun r = Pack({(tmp.path() / "game").string(), "-o", out.string()});
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<uint8_t> bytes = ReadBytes(out);
  ASSERT_TRUE(LoadWithRunner(bytes).ok);
  EXPECT_FALSE(DebugMode);
  EXPECT_EQ(GameId, 0);
  EXPECT_EQ(GameGuid, (std::array<uint8_t, 16>{}));
  EXPECT_FALSE(opt_fullscreen);
  EXPECT_TRUE(opt_showcursor);
  EXPECT_EQ(opt_scale, -1);
  EXPECT_EQ(opt_windowcolor, 0);
  EXPECT_TRUE(opt_noscreensaver);
  EXPECT_TRUE(opt_keyf4 && opt_keyf1 && opt_keyesc && opt_keyf5 && opt_keyf9 && opt_closeasesc);
  EXPECT_EQ(opt_priority, 0);
  EXPECT_TRUE(opt_showprogress);
  EXPECT_FALSE(opt_loadimage.has_value());
  EXPECT_FALSE(opt_progressback.has_value());
  EXPECT_EQ(opt_loadalpha, 255);
  EXPECT_TRUE(opt_scaleprogress);
  EXPECT_TRUE(opt_showerrors);
  EXPECT_TRUE(opt_argerrors);
  EXPECT_FALSE(opt_uninitzero);
  EXPECT_FALSE(opt_createfirst);
  EXPECT_TRUE(IncludedFiles.empty());
  EXPECT_EQ(GameInfo.InfoCaption, "Game Information");
  EXPECT_EQ(GameInfo.InfoColor, 0xE1FFFF);
  EXPECT_EQ(GameInfo.InfoText, "");
  EXPECT_TRUE(LibraryInitCode.empty());
  // Without a room order every room is used in index order.
  EXPECT_EQ(RoomOrder, std::vector<int>{1});
  EXPECT_TRUE(UserConstants().empty());
  EXPECT_EQ(ScriptCount(), 0);
  auto [library_name, library] = ReadLibrary(bytes);
  EXPECT_EQ(library_name, "D3DX8.dll");
  EXPECT_TRUE(library.empty());
}

TEST(Roompack, DemoGamePacksAndLoads) {
  TempFolder tmp;
  fs::path out = tmp.path() / "demo.game";
  RRun r = Pack({(kSource / "examples/demo").string(), "-o", out.string()});
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<uint8_t> bytes = ReadBytes(out);
  ASSERT_TRUE(LoadWithRunner(bytes).ok);
  EXPECT_EQ(IncludedFiles.size(), 1u);
  EXPECT_FALSE(RoomOrder.empty());
  EXPECT_EQ(UserConstants().size(), 4u);
  EXPECT_EQ(ScriptCount(), 2);
}

TEST(Roompack, RunnableCopyCarriesTheRunnerAndPlays) {
  TempFolder tmp;
  fs::path out = tmp.path() / "demo_run";
  RRun r = Pack({(kSource / "examples/demo").string(), "-o", out.string(), "--exe"});
  ASSERT_EQ(r.status, 0) << r.output;
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  std::vector<uint8_t> runner = ReadBytes(kBin / "roomrun");
  std::vector<uint8_t> bytes = ReadBytes(out);
  ASSERT_GT(bytes.size(), runner.size());
  EXPECT_EQ(std::memcmp(runner.data(), bytes.data(), runner.size()), 0);
  ASSERT_TRUE(LoadWithRunner(bytes).ok);
  EXPECT_GE(GameDataOffset, kGameDataOffset);

  // The same with the runner named explicitly, and a runner that is not there.
  fs::path out2 = tmp.path() / "demo_run2";
  r = Pack({(kSource / "examples/demo").string(), "-o", out2.string(), "--exe", "--runner",
            (kBin / "roomrun").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<uint8_t> bytes2 = ReadBytes(out2);
  ASSERT_GT(bytes2.size(), runner.size());
  EXPECT_EQ(std::memcmp(runner.data(), bytes2.data(), runner.size()), 0);
  // The copy plays the game appended to itself: it loads and prepares it
  // without a message, then either ends or is still playing when stopped.
  RRun played = RunProgram("timeout", {"8", out2.string(), "--headless"});
  EXPECT_TRUE(played.status == 0 || played.status == 124) << played.status;
  EXPECT_EQ(played.output, "");
  fs::path out3 = tmp.path() / "demo_run3";
  r = Pack({(kSource / "examples/demo").string(), "-o", out3.string(), "--exe", "--runner",
            (tmp.path() / "no_runner").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("runner program"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(out3));
}

TEST(Roompack, CommandLineMistakesShowTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"proj"}, {"proj", "-o"}, {"proj", "-o", "x", "--frobnicate"}, {"a", "b", "-o", "x"},
      {"proj", "-o", "x", "--runner", "r"}};
  for (const auto& args : cases) {
    RRun r = Pack(args);
    EXPECT_EQ(r.status, 2) << r.output;
    // One line saying what is wrong, then where the help is.
    EXPECT_EQ(r.output.rfind("roompack: ", 0), 0u) << r.output;
    EXPECT_EQ(r.output.substr(r.output.find('\n') + 1), "Try 'roompack --help'.\n") << r.output;
  }
  RRun help = Pack({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.find("Usage: roompack"), 0u);
}

// Each broken folder fails with a message naming the file, the field and the
// problem, and writes nothing.
TEST(Roompack, BrokenProjectsAreReportedAndWriteNothing) {
  const std::string kPng1x1 = [] {
    std::vector<uint8_t> b = ReadBytes(kSource / "tests/games/packer_full/pics/back.png");
    return std::string(b.begin(), b.end());
  }();
  // A PNG whose header claims 20000 x 1 pixels (and holds no pixels).
  const std::string kPngTooWide = [] {
    auto chunk = [](const std::string& type_and_data) {
      std::string c;
      uint32_t n = uint32_t(type_and_data.size() - 4);
      for (int i = 3; i >= 0; --i) c += char(n >> (8 * i));
      c += type_and_data;
      uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(type_and_data.data()), uInt(type_and_data.size())));
      for (int i = 3; i >= 0; --i) c += char(crc >> (8 * i));
      return c;
    };
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += chunk(std::string("IHDR\0\0\x4e\x20\0\0\0\x01\x08\x06\0\0\0", 17));
    png += chunk(std::string("IDAT\x78\x9c\x03\0\0\0\0\x01", 12));
    png += chunk("IEND");
    return png;
  }();
  struct RCase {
    const char* what;
    std::map<std::string, std::string> files;
    std::string message;
  };
  const std::vector<RCase> cases = {
      {"no game.json", {{"other.txt", "x"}}, "game.json: not found in "},
      {"bad JSON, missing ]",
       {{"game.json", "{\n  \"game_id\": 1,\n  \"rooms\": [\"r\"\n}\n"}},
       "game.json: line 4, column 1: invalid JSON: syntax error while parsing array - unexpected '}'; expected ']'"},
      {"bad JSON, cut short",
       {{"game.json", "{\n  \"rooms\": [\"r\"]"}},
       "game.json: line 2, column 17: invalid JSON:"},
      {"top level is a list", {{"game.json", "[]"}}, "game.json: expected an object ({ ... }) at the top"},
      {"wrong type", {{"game.json", R"({"settings": {"scale": "big"}, "rooms": ["r"]})"}},
       "game.json: settings.scale: expected an integer"},
      {"boolean as number", {{"game.json", R"({"settings": {"fullscreen": 1}, "rooms": ["r"]})"}},
       "game.json: settings.fullscreen: expected true or false"},
      {"integer out of range", {{"game.json", R"({"game_id": 4294967296, "rooms": ["r"]})"}},
       "game.json: game_id: integer out of range"},
      {"misspelt setting", {{"game.json", R"({"settings": {"fulscreen": true}, "rooms": ["r"]})"}},
       "game.json: settings.fulscreen: unknown field"},
      {"misspelt top-level key", {{"game.json", R"({"room": ["r"]})"}}, "game.json: room: unknown field"},
      {"bad choice", {{"game.json", R"({"settings": {"resolution": "800*600"}, "rooms": ["r"]})"}},
       "game.json: settings.resolution: expected \"320x240\""},
      {"bad colour", {{"game.json", R"({"settings": {"window_color": "#12345"}, "rooms": ["r"]})"}},
       "game.json: settings.window_color: expected a colour"},
      {"alpha out of range", {{"game.json", R"({"settings": {"load_alpha": 256}, "rooms": ["r"]})"}},
       "game.json: settings.load_alpha: expected an integer from 0 to 255"},
      {"bad GUID", {{"game.json", R"({"guid": "{1234}", "rooms": ["r"]})"}}, "game.json: guid: expected a GUID"},
      {"unknown room in the order", {{"game.json", R"({"rooms": ["r1", "r2"], "room_order": ["r2", "r3"]})"}},
       "game.json: room_order[1]: no room named \"r3\" in \"rooms\""},
      {"empty room order", {{"game.json", R"({"rooms": ["r1"], "room_order": []})"}},
       "game.json: room_order: the game needs at least one room"},
      {"no rooms at all", {{"game.json", "{}"}}, "game.json: rooms: the game needs at least one room"},
      {"missing code file", {{"game.json", R"({"scripts": ["scr_a", "scr_b"], "rooms": ["r"]})"},
                             {"scripts/scr_a.code", "return 1;"}},
       "game.json: scripts[1]: file scripts/scr_b.code not found"},
      {"code that is not UTF-8", {{"game.json", R"({"scripts": ["scr_a"], "rooms": ["r"]})"},
                                  {"scripts/scr_a.code", "a = 1;\nb = \"\xff\";\n"}},
       "scripts/scr_a.code: line 2: not valid UTF-8 text"},
      {"name used twice", {{"game.json", R"({"scripts": ["a", null, "a"], "rooms": ["r"]})"}},
       "game.json: scripts[2]: the name \"a\" is used twice"},
      {"name with a path", {{"game.json", R"({"scripts": ["../up"], "rooms": ["r"]})"}},
       "game.json: scripts[0]: \"../up\" cannot be used as a name"},
      {"resource list not a list", {{"game.json", R"({"rooms": "r"})"}}, "game.json: rooms: expected a list"},
      {"bad constant name", {{"game.json", R"({"constants": [{"name": "two words", "value": 1}], "rooms": ["r"]})"}},
       "game.json: constants[0].name: \"two words\" is not a valid constant name"},
      {"constant without value", {{"game.json", R"({"constants": [{"name": "A"}], "rooms": ["r"]})"}},
       "game.json: constants[0]: missing \"value\""},
      {"included file missing",
       {{"game.json", R"({"included_files": [{"file": "files/nope.bin"}], "rooms": ["r"]})"}},
       "game.json: included_files[0].file: file files/nope.bin not found"},
      {"included file needs a directory",
       {{"game.json", R"({"included_files": [{"name": "x", "export": "directory"}], "rooms": ["r"]})"}},
       "game.json: included_files[0]: export \"directory\" needs an \"export_dir\""},
      {"picture that is not a PNG",
       {{"game.json", R"({"settings": {"load_image": "pics/x.png"}, "rooms": ["r"]})"},
        {"pics/x.png", "\x89PNG\r\n\x1a\nnot really"}},
       "pics/x.png: not a readable PNG picture"},
      {"picture cut short",
       {{"game.json", R"({"settings": {"load_image": "pics/x.png"}, "rooms": ["r"]})"},
        {"pics/x.png", kPng1x1.substr(0, 50)}},
       "pics/x.png: not a readable PNG picture"},
      {"picture too large",
       {{"game.json", R"({"settings": {"progress_back": "big.png"}, "rooms": ["r"]})"}, {"big.png", kPngTooWide}},
       "big.png: picture size 20000 x 1 is outside 1 to 16384 pixels per side"},
      {"picture is a folder",
       {{"game.json", R"({"settings": {"load_image": "pics"}, "rooms": ["r"]})"}, {"pics/x.png", kPng1x1}},
       "game.json: settings.load_image: pics is not a file"},
      {"library init file missing", {{"game.json", R"({"library_init": ["init.code"], "rooms": ["r"]})"}},
       "game.json: library_init[0]: file init.code not found"},
      {"game information size", {{"game.json", R"({"game_information": {"width": 0}, "rooms": ["r"]})"}},
       "game.json: game_information.width: expected a positive integer"},
      {"object file missing", {{"game.json", R"({"objects": ["obj_ball"], "rooms": ["r"]})"}, {"rooms/r.json", "{}"}},
       "objects/obj_ball.json: not found"},
      {"room file missing", {{"game.json", R"({"rooms": ["r", "rm_two"]})"}, {"rooms/r.json", "{}"}},
       "rooms/rm_two.json: not found"},
      {"code given in two forms",
       {{"game.json", R"({"rooms": ["r"]})"}, {"rooms/r.json", R"({"code": "r.code", "code_text": "x = 1"})"}},
       "rooms/r.json: give the code as \"code\" or \"code_text\", not both"},
      {"misspelt field, with a suggestion",
       {{"game.json", R"({"objects": ["o"], "rooms": ["r"]})"}, {"rooms/r.json", "{}"},
        {"objects/o.json", R"({"event": [], "persistant": true})"}},
       "objects/o.json: event: unknown field (did you mean \"events\"?)"},
      {"unknown key name",
       {{"game.json", R"({"objects": ["o"], "rooms": ["r"]})"}, {"rooms/r.json", "{}"},
        {"objects/o.json", R"({"events": [{"event": "keyboard", "number": "vk_spice", "actions": []}]})"}},
       "objects/o.json: events[0].number: unknown key \"vk_spice\""},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder tmp;
    for (const auto& [name, text] : c.files) WriteText(tmp.path() / "game" / name, text);
    fs::create_directories(tmp.path() / "game");
    fs::path out = tmp.path() / "out.game";
    RRun r = Pack({(tmp.path() / "game").string(), "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("roompack: " + c.message, 0), 0u) << r.output;
    EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << "one line expected: " << r.output;
    EXPECT_FALSE(fs::exists(out));
    // Nothing is left behind beside the output either.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
  }
}

TEST(Roompack, FailedPackLeavesAnExistingOutputUntouched) {
  TempFolder tmp;
  fs::path out = tmp.path() / "game.out";
  WriteText(out, "previous game");
  WriteText(tmp.path() / "game/game.json", R"({"scripts": ["missing"], "rooms": ["r"]})");
  WriteText(tmp.path() / "game/rooms/r.json", "{}");
  RRun r = Pack({(tmp.path() / "game").string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  std::vector<uint8_t> kept = ReadBytes(out);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous game");
  // A successful pack replaces it.
  WriteText(tmp.path() / "game/scripts/missing.code", "return 0;");
  r = Pack({(tmp.path() / "game").string(), "-o", out.string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(LoadWithRunner(ReadBytes(out)).ok);
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);
}

// Output goes only to a regular file or a new name: special files, folders
// and the project's own files are refused and left as they were; a symbolic
// link is written through to its target and stays a link.
TEST(Roompack, OutputIsOnlyARegularFileOutsideTheProject) {
  TempFolder tmp;
  const fs::path proj = tmp.path() / "proj";
  WriteText(proj / "game.json", R"({"rooms": ["r"]})");
  WriteText(proj / "rooms/r.json", "{}");
  const std::string game_json = R"({"rooms": ["r"]})";
  fs::create_directories(tmp.path() / "a_folder");
  ASSERT_EQ(::mkfifo((tmp.path() / "a_fifo").c_str(), 0600), 0);
  fs::create_symlink(proj / "game.json", tmp.path() / "link_into_project");
  fs::create_symlink("..", proj / "up");  // the project reached through a link
  const struct {
    std::string output;
    std::string message;
  } refused[] = {
      {"/dev/null", "roompack: /dev/null: is a device, not a regular file; nothing was written\n"},
      {(tmp.path() / "a_fifo").string(), ": is a FIFO, not a regular file; nothing was written\n"},
      {(tmp.path() / "a_folder").string(), ": is a folder, not a regular file; nothing was written\n"},
      {(proj / "game.json").string(), ": is inside the project folder "},
      {(proj / "new.game").string(), ": is inside the project folder "},
      {(tmp.path() / "link_into_project").string(), ": is inside the project folder "},
      {(proj / "up" / "proj" / "x.game").string(), ": is inside the project folder "},
  };
  for (const auto& c : refused) {
    RRun r = Pack({proj.string(), "-o", c.output});
    EXPECT_EQ(r.status, 1) << c.output << ": " << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.output << ": " << r.output;
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_fifo(tmp.path() / "a_fifo"));
  EXPECT_TRUE(fs::is_empty(tmp.path() / "a_folder"));
  EXPECT_EQ(testproc::ReadText(proj / "game.json"), game_json);
  EXPECT_FALSE(fs::exists(proj / "new.game"));

  // Through a chain of two links to a file in another folder.
  fs::create_directories(tmp.path() / "out");
  WriteText(tmp.path() / "out" / "real.game", "old");
  fs::create_symlink("out/real.game", tmp.path() / "link1");
  fs::create_symlink("link1", tmp.path() / "link2");
  RRun r = Pack({proj.string(), "-o", (tmp.path() / "link2").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link1"));
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link2"));
  EXPECT_TRUE(LoadWithRunner(ReadBytes(tmp.path() / "out" / "real.game")).ok);
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path() / "out"), fs::directory_iterator()), 1);
  // A dangling link makes its target.
  fs::create_symlink("out/fresh.game", tmp.path() / "dangling");
  r = Pack({proj.string(), "-o", (tmp.path() / "dangling").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(LoadWithRunner(ReadBytes(tmp.path() / "out" / "fresh.game")).ok);
}

// Every event kind runs, so mouse and collision events pack without a word.
TEST(Roompack, EveryEventKindPacksWithoutWarnings) {
  TempFolder tmp;
  const fs::path proj = tmp.path() / "proj";
  WriteText(proj / "game.json", R"({"objects": ["a", "b"], "rooms": ["r"]})");
  WriteText(proj / "rooms/r.json", "{}");
  const std::string events =
      R"({"events": [{"event": "mouse", "number": 4, "actions": []}, {"event": "mouse", "number": 5, "actions": []},
                     {"event": "collision", "number": "a", "actions": []}, {"event": "draw", "actions": []}]})";
  WriteText(proj / "objects" / "a.json", events);
  WriteText(proj / "objects" / "b.json", events);
  RRun r = Pack({proj.string(), "-o", (tmp.path() / "g.game").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "");
  EXPECT_TRUE(fs::exists(tmp.path() / "g.game"));
}

// Every code text is compiled at pack time with the runner's compiler; each
// error names its file, line and column, and the object and event, and
// nothing is written.
TEST(Roompack, CodeErrorsAreFoundWhenPacking) {
  TempFolder tmp;
  const fs::path proj = tmp.path() / "proj";
  WriteText(proj / "game.json", R"({"objects": ["obj_a"], "rooms": ["rm"], "scripts": ["scr_x"],
  "timelines": ["tl"], "triggers": ["tr"],
  "constants": [{"name": "K", "value": "3 +"}], "library_init": ["init.code"]})");
  WriteText(proj / "scripts/scr_x.code", "// fine so far\r\nreturn nofunc(1);\r\n");
  WriteText(proj / "init.code", "global.a = 1;\n");
  WriteText(proj / "code/make.code", "a = 1;\nb = @;\n");
  WriteText(proj / "objects/obj_a.json", R"J({"events": [
  {"event": "create", "actions": [{"code": "code/make.code"}]},
  {"event": "keypress", "number": "vk_space", "actions": [{"code_text": "x = 1;\ny = scr_x() + obj_a + K + unknownfn(2)"}]},
  {"event": "step", "number": "end", "actions": [{"set": "x", "value": "1 +* 2"}]}
]})J");
  WriteText(proj / "rooms/rm.json", R"J({"instances": [{"object": "obj_a", "code_text": "z = (1"}], "code_text": "room_goto(rm)"})J");
  WriteText(proj / "timelines/tl.json", R"({"moments": [{"step": 5, "actions": [{"code_text": "if x {"}]}]})");
  WriteText(proj / "triggers/tr.code", "return 1 +");
  const fs::path out = tmp.path() / "g.game";
  RRun r = Pack({proj.string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output,
            // At the end of "3 +", where the expression stops short.
            "game.json:3:44: Unexpected symbol in expression. (constant K)\n"
            "scripts/scr_x.code:2:8: Unknown function or script: nofunc (script scr_x)\n"
            "triggers/tr.code:1:11: Unexpected symbol in expression. (condition of trigger tr)\n"
            "timelines/tl.json:1:59: Symbol } expected. (time line tl, step 5, action 1)\n"
            "code/make.code:2:5: Unexpected symbol. (object obj_a, create event, action 1)\n"
            // Inside a JSON text the place is in the JSON file itself.
            "objects/obj_a.json:3:108: Unknown function or script: unknownfn (object obj_a, keypress event "
            "\"vk_space\", action 1)\n"
            "objects/obj_a.json:4:76: Unexpected symbol in expression. (object obj_a, step event \"end\", action 1)\n"
            "rooms/rm.json:1:56: Symbol ) expected. (creation code of instance 100001 in room rm)\n"
            "roompack: 8 errors; nothing was written\n");
  EXPECT_FALSE(fs::exists(out));
}

// A name read as a variable that nothing sets and that names nothing is
// warned about once, with the closest known name; names set anywhere in the
// project (in another object, as an array, by var, through a string) are not.
TEST(Roompack, NamesThatMatchNothingAreWarnedAbout) {
  TempFolder tmp;
  const fs::path proj = tmp.path() / "proj";
  WriteText(proj / "game.json", R"({"objects": ["obj_ghost2", "obj_b"], "rooms": ["rm"],
  "constants": [{"name": "MAX_LIVES", "value": "3"}]})");
  WriteText(proj / "objects/obj_ghost2.json", R"J({"events": [
  {"event": "create", "actions": [{"code": "make.code"}]},
  {"event": "step", "actions": [{"code": "step.code"}]}]})J");
  WriteText(proj / "make.code", "speed_up = 2;\ngrid[3] = 1;\nnames = \"late\";\n");
  WriteText(proj / "step.code",
            "var t, u;\nt = speed_up + grid[3] + late + other.hp;\n"
            "u = instance_number(obj_ghost) + MAX_LIVE;\nu = obj_ghost + nothing_like_this;\n");
  WriteText(proj / "objects/obj_b.json", R"({"events": [{"event": "create", "actions": [{"code_text": "hp = 1"}]}]})");
  WriteText(proj / "rooms/rm.json", "{}");
  RRun r = Pack({proj.string(), "-o", (tmp.path() / "g.game").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  const char* where = " (object obj_ghost2, step event, action 1)\n";
  EXPECT_EQ(r.output,
            std::string("roompack: warning: step.code:3:21: obj_ghost is never set and names no resource, script or "
                        "constant (did you mean obj_ghost2?)") + where +
                "roompack: warning: step.code:3:34: MAX_LIVE is never set and names no resource, script or constant "
                "(did you mean MAX_LIVES?)" + where +
                "roompack: warning: step.code:4:17: nothing_like_this is never set and names no resource, script or "
                "constant" + where);
  EXPECT_TRUE(fs::exists(tmp.path() / "g.game"));
}

// Packing the same folder twice gives the same bytes, also as a runnable copy.
TEST(Roompack, PacksAreReproducible) {
  TempFolder tmp;
  const std::string demo = (kSource / "examples/demo").string();
  for (const std::vector<std::string>& extra : {std::vector<std::string>{}, std::vector<std::string>{"--exe"}}) {
    std::vector<std::vector<uint8_t>> packs;
    for (int i = 0; i < 2; ++i) {
      const fs::path out = tmp.path() / ("g" + std::to_string(i));
      std::vector<std::string> args = {demo, "-o", out.string()};
      args.insert(args.end(), extra.begin(), extra.end());
      ASSERT_EQ(Pack(args).status, 0);
      packs.push_back(ReadBytes(out));
    }
    EXPECT_FALSE(packs[0].empty());
    EXPECT_TRUE(packs[0] == packs[1]) << (extra.empty() ? "game file" : "runnable copy");
  }
}

TEST(Roompack, BothProgramsTellTheirVersion) {
  for (const fs::path& program : {kBin / "roompack", kBin / "roomrun"}) {
    RRun r = RunProgram(program, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, program.filename().string() + " " + ProgramVersion() + "\n");
  }
}

// The users' function reference is made from the registry itself, so it
// names exactly the functions a game can call; it must be regenerated when
// a library changes.
TEST(FunctionReference, IsUpToDateWithTheRegistry) {
  const std::string tool = std::string(ROOMRUN_BIN_DIR) + "/function_reference";
  const std::string src = ROOMRUN_SOURCE_DIR;
  const std::string cmd = "'" + tool + "' '" + src + "/docs/function-notes.txt' '" + src + "/docs/FUNCTIONS.md' --check";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << "run: cmake --build build --target function-reference";

  // Notes of functions not registered are listed as not built yet.
  TempFolder tmp;
  WriteText(tmp.path() / "notes.txt", "# comment\nabs(x) | The absolute value of x.\nno_such_fn(a, b) | Not here.\n");
  const std::string out = (tmp.path() / "F.md").string();
  ASSERT_EQ(std::system(("'" + tool + "' '" + (tmp.path() / "notes.txt").string() + "' '" + out + "'").c_str()), 0);
  const std::string md = testproc::ReadText(out);
  EXPECT_NE(md.find("## Math\n"), std::string::npos);
  EXPECT_NE(md.find("| `abs(x)` | The absolute value of x. |\n"), std::string::npos);
  EXPECT_NE(md.find("## Not built yet\n\n| Function | What it does |\n|---|---|\n| `no_such_fn(a, b)` | Not here. |\n"),
            std::string::npos);
  WriteText(tmp.path() / "bad.txt", "abs without a bar\n");
  EXPECT_NE(std::system(("'" + tool + "' '" + (tmp.path() / "bad.txt").string() + "' '" + out + "' 2>/dev/null").c_str()), 0);
}
