// Ini files and the registry store: formats, round trips, damage, two runs and
// saves killed part-way.
#include <signal.h>
#include <sys/wait.h>

#include <random>

#include "../Test_Process.h"
#include "FilesTest.h"
#include "library/Support_Ini.h"
#include "library/Support_Registry.h"

using namespace filestest;

namespace {

TEST(IniReal, ParsesByItsOwnRules) {
  struct RCase {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"1,5e2", true, 150}, {"-3.25", true, -3.25}, {"7+", true, 7},     {"2.5.7", true, 2.5},
      {"1e-2", true, 0.01}, {"1e2e3", true, 100},   {"abc", true, 0},    {"--4", true, 4},
      {"1e99999", false, 0}, {"0e99999", true, 0},  {"1e-99999", true, 0}, {"", true, 0},
  };
  for (const RCase& c : cases) {
    double v = -1;
    EXPECT_EQ(ParseIniReal(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(ShortestReal(0.1), "0.1");
  EXPECT_EQ(ShortestReal(-2), "-2");
  EXPECT_EQ(ShortestReal(1e21), "1e+21");
}

TEST_F(FilesTest, IniRoundTripKeepsCommentsAndOddSpacing) {
  const std::string original =
      "; settings of the game\r\n"
      "top=before any section\r\n"
      "[ Video ]\r\n"
      "  Width =  640  \r\n"
      "name=\"quoted value\"\r\n"
      "# a hash comment\r\n"
      "this line is odd\r\n"
      "\r\n"
      "[audio]\n"
      "volume=0,75\n";
  Spit("game.ini", original);
  Call("ini_open", {"GAME.INI"});
  EXPECT_EQ(Call("ini_read_real", {"video", "width", -1.0}).val, 640);
  EXPECT_EQ(Call("ini_read_string", {"Video", "NAME", ""}).str, "quoted value");
  EXPECT_EQ(Call("ini_read_real", {"audio", "volume", -1.0}).val, 0.75);
  EXPECT_EQ(Call("ini_read_real", {"audio", "missing", 5.0}).val, 5);
  EXPECT_EQ(Call("ini_read_string", {"none", "x", "dflt"}).str, "dflt");
  EXPECT_EQ(Call("ini_key_exists", {"VIDEO", "width"}).val, 1);
  EXPECT_EQ(Call("ini_section_exists", {"Audio"}).val, 1);
  EXPECT_EQ(Call("ini_section_exists", {"nothing"}).val, 0);

  // Reading, and writing what is already there, never rewrites the file.
  const auto stamp = fs::last_write_time("game.ini");
  Call("ini_write_real", {"video", "width", 640.0});
  Call("ini_close");
  EXPECT_EQ(Slurp("game.ini"), original);
  EXPECT_EQ(fs::last_write_time("game.ini"), stamp);

  Call("ini_open", {"game.ini"});
  Call("ini_write_real", {"Video", "Height", 480.5});
  Call("ini_write_string", {"new", "k", "line1\nline2"});
  Call("ini_key_delete", {"audio", "volume"});
  Call("ini_close");
  EXPECT_EQ(Slurp("game.ini"),
            "; settings of the game\r\n"
            "top=before any section\r\n"
            "[Video]\r\n"
            "Width=640\r\n"
            "name=quoted value\r\n"
            "Height=480.5\r\n"
            "# a hash comment\r\n"
            "this line is odd\r\n"
            "\r\n"
            "[audio]\r\n"
            "[new]\r\n"
            "k=line1 line2\r\n");
  Call("ini_open", {"game.ini"});
  Call("ini_section_delete", {"VIDEO"});
  EXPECT_EQ(Call("ini_section_exists", {"video"}).val, 0);
  Call("ini_close");
  EXPECT_EQ(Slurp("game.ini").find("Width"), std::string::npos);
  EXPECT_NE(Slurp("game.ini").find("top=before"), std::string::npos);
}

TEST_F(FilesTest, IniErrorsAndDamagedFiles) {
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("ini_read_string", {"a", "b", "d"}).str, "d"); }),
            "Trying to read from undefined INI file");
  EXPECT_EQ(Errors([] { Call("ini_write_real", {"a", "b", 1.0}); }), "Trying to write to undefined INI file");
  EXPECT_EQ(Errors([] { Call("ini_key_delete", {"a", "b"}); }), "Trying to change undefined INI file");
  EXPECT_EQ(Errors([] { Call("ini_section_delete", {"a"}); }), "Trying to change undefined INI file");
  const std::string err = Errors([] { Call("ini_open", {"nodir\\x.ini"}); });
  EXPECT_EQ(err.rfind("Error directory does not exist when opening ini file - ", 0), 0u) << err;
  EXPECT_NE(err.find("nodir/x.ini"), std::string::npos) << err;
  EXPECT_EQ(Errors([] { Call("ini_read_string", {"a", "b", "d"}); }), "Trying to read from undefined INI file");

  // Binary junk around sound lines: the sound lines are read, and a write
  // keeps every other line byte for byte.
  const std::string junk = std::string("\x00\xff\x01garbage", 10);
  Spit("bad.ini", junk + "\n[s]\nk=v\n" + junk + "\n");
  Call("ini_open", {"bad.ini"});
  EXPECT_EQ(Call("ini_read_string", {"s", "k", ""}).str, "v");
  Call("ini_write_string", {"s", "k2", "w"});
  Call("ini_close");
  EXPECT_EQ(Slurp("bad.ini"), junk + "\r\n[s]\r\nk=v\r\nk2=w\r\n" + junk + "\r\n");

  // An unreadable file is never replaced by the little we could write.
  if (::geteuid() != 0) {
    Spit("locked.ini", "[s]\r\nk=v\r\n");
    fs::permissions("locked.ini", fs::perms::none);
    Call("ini_open", {"locked.ini"});
    Call("ini_write_string", {"s", "other", "x"});
    Call("ini_close");
    fs::permissions("locked.ini", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Slurp("locked.ini"), "[s]\r\nk=v\r\n");
  }

  // In secure mode an ini file outside the working folder is read, not written.
  fs::create_directories("sub");
  Spit("sub/s.ini", "[a]\r\nb=1\r\n");
  SecureMode = true;
  Call("ini_open", {"sub\\s.ini"});
  EXPECT_EQ(Call("ini_read_real", {"a", "b", 0.0}).val, 1);
  EXPECT_EQ(Errors([] { Call("ini_write_real", {"a", "b", 2.0}); }), "In secure mode you cannot write file sub\\s.ini");
  Call("ini_close");
  EXPECT_EQ(Slurp("sub/s.ini"), "[a]\r\nb=1\r\n");
}

TEST_F(FilesTest, RegistryValuesAndRoots) {
  RegistryForget();
  EXPECT_EQ(Call("registry_exists", {"score"}).val, 0);
  EXPECT_EQ(Call("registry_read_string", {"score"}).str, "");
  Call("registry_write_real", {"score", 0.1});
  Call("registry_write_string", {"name", "a=b [c] ; d\nline\\two"});
  Call("registry_write_string", {" odd=name ", "x"});
  EXPECT_EQ(Call("registry_read_real", {"SCORE"}).val, 0.1);
  EXPECT_EQ(Call("registry_read_string", {"name"}).str, "a=b [c] ; d\nline\\two");
  EXPECT_EQ(Call("registry_read_string", {" odd=name "}).str, "x");
  EXPECT_EQ(Call("registry_read_string", {"score"}).str, "");  // a real is not a string
  EXPECT_EQ(Call("registry_read_real", {"name"}).val, 0);

  // The _ext forms reach keys under the root that is set; the game's own key
  // is the current user's.
  const std::string own = "Software\\Orrin\\" + std::to_string(GameId);
  EXPECT_EQ(Call("registry_read_real_ext", {own, "score"}).val, 0.1);
  Call("registry_set_root", {1.0});
  EXPECT_EQ(Call("registry_exists_ext", {own, "score"}).val, 0);
  Call("registry_write_string_ext", {"Software\\Other", "v", "machine"});
  EXPECT_EQ(Call("registry_read_string_ext", {"\\Software\\Other", "v"}).str, "machine");
  Call("registry_set_root", {0.0});
  EXPECT_EQ(Call("registry_exists_ext", {"Software\\Other", "v"}).val, 0);
  Call("registry_write_real_ext", {"software\\other", "n", 3.0});
  EXPECT_EQ(Call("registry_read_real_ext", {"Software\\Other", "n"}).val, 3);

  SecureMode = true;
  EXPECT_EQ(Errors([] { Call("registry_write_string_ext", {"Software\\Other", "v", "x"}); }),
            "In Secure mode you cannot write registry entries in Software\\Other");
  EXPECT_EQ(Errors([] { Call("registry_write_real_ext", {"K", "v", 1.0}); }),
            "In Secure mode you cannot write registry entries in K");
  EXPECT_EQ(Errors([] { Call("registry_write_string", {"still", "works"}); }), "");
  EXPECT_EQ(Call("registry_read_string", {"still"}).str, "works");

  // Another process's write is seen at the next read, and ours keep it.
  CIniFile store;
  store.Load(RegistryStorePath());
  store.Set("HKCU\\Software\\Orrin\\" + std::to_string(GameId), "fromoutside", "s:hi");
  ASSERT_TRUE(store.Save(RegistryStorePath()));
  EXPECT_EQ(Call("registry_read_string", {"fromoutside"}).str, "hi");
  Call("registry_write_real", {"after", 1.0});
  EXPECT_EQ(Call("registry_read_string", {"fromoutside"}).str, "hi");
  RegistryForget();
  EXPECT_EQ(Call("registry_read_real", {"after"}).val, 1);
  EXPECT_EQ(Call("registry_read_real", {"score"}).val, 0.1);
}

TEST_F(FilesTest, RegistryValuesLastAcrossRuns) {
  const std::string roomrun = std::string(ROOMRUN_BIN_DIR) + "/roomrun";
  const std::string env = "ROOMRUN_CONFIG_HOME='" + (dir / "config").string() + "' ";
  Spit("w.gml", "registry_write_string(\"who\", \"first run\"); registry_write_real(\"n\", 42); return 0;");
  Spit("r.gml", "return registry_read_string(\"who\") + \"|\" + string(registry_read_real(\"n\"));");
  EXPECT_EQ(testproc::Capture(env + roomrun + " --eval w.gml 2>&1").status, 0);
  const testproc::ROutput r = testproc::Capture(env + roomrun + " --eval r.gml 2>&1");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"first run|42\""), std::string::npos) << r.out;
}

// A save killed at any moment leaves the old file or the new one, whole.
TEST_F(FilesTest, SavesKilledMidWriteLeaveWholeFiles) {
  std::mt19937 rng(12345);
  const std::string keep = "[keep]\r\nother=1\r\n";
  Spit("c.ini", keep + "[a]\r\nv=" + std::string(1000, 'x') + "0\r\n");
  RegistryForget();
  Call("registry_write_string", {"keep", "1"});
  int killed_while_running = 0;
  for (int round = 0; round < 24; ++round) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Call("ini_open", {"c.ini"});
      for (int i = 1;; ++i) {
        const std::string v = std::string(1000 + (i % 500) * 37, 'x') + std::to_string(i);
        Call("ini_write_string", {"a", "v", v});
        Call("registry_write_string", {"v", v});
      }
    }
    ::usleep(1000 + rng() % 30000);
    ::kill(pid, SIGKILL);
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (WIFSIGNALED(st)) ++killed_while_running;

    const auto check = [](const std::string& v) {
      const size_t x = v.find_first_not_of('x');
      ASSERT_NE(x, std::string::npos) << v.size();
      const int i = std::stoi(v.substr(x));
      EXPECT_EQ(x, size_t(1000 + (i % 500) * 37)) << i;
    };
    CIniFile ini;
    ini.Load((dir / "work/c.ini").string());
    ASSERT_TRUE(ini.c_writable);
    ASSERT_NE(ini.Find("keep", "other"), nullptr) << round;
    ASSERT_NE(ini.Find("a", "v"), nullptr) << round;
    check(*ini.Find("a", "v"));
    EXPECT_EQ(ini.c_oddlines, 0);
    RegistryForget();
    EXPECT_EQ(Call("registry_read_string", {"keep"}).str, "1") << round;
    const std::string rv = Call("registry_read_string", {"v"}).str;
    if (!rv.empty()) check(rv);
  }
  EXPECT_EQ(killed_while_running, 24);
}

}  // namespace
