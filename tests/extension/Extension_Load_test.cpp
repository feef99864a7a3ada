// Extension package records in-process: unpacking only into the temporary
// folder whatever the names say, splitting script files into sections, the
// function lookup order, and what a broken package does.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runtime/Instance_Class.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Extension_Class.h"
#include "script/Extension_Main.h"
#include "script/Script_Main.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

CExtensionFunction Fn(const std::string& name, int id, const std::string& ext = "") {
  CExtensionFunction f;
  f.s_name = name;
  f.s_extname = ext;
  f.s_id = id;
  return f;
}

CExtensionFile File(const std::string& name, int kind, std::vector<CExtensionFunction> fns = {}) {
  CExtensionFile f;
  f.s_filename = name;
  f.s_kind = kind;
  f.s_functions = std::move(fns);
  return f;
}

struct RPack {
  CExtensionPackage pkg;
  std::vector<std::vector<uint8_t>> contents;
};

CStream Section(const std::vector<RPack>& packs) {
  CStream s;
  s.WriteInteger(700);
  s.WriteInteger(int32_t(packs.size()));
  int32_t key = 12345;
  for (const RPack& p : packs) p.pkg.SaveToExeStream(s, p.contents, key++);
  s.Seek(0);
  return s;
}

class ExtensionLoad : public testproc::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    RegisterBuiltins();
    saved_ = TempDir;
    TempDir = (dir_ / "tmp").string();
    fs::create_directories(TempDir);
  }
  void TearDown() override {
    ExtensionsClear();
    ScriptsClear();
    ErrorResetForTests();
    TempDir = saved_;
    ScratchDirTest::TearDown();
  }
  std::string saved_;
};

TEST_F(ExtensionLoad, FilesAreWrittenOnlyInsideTheTemporaryFolder) {
  const fs::path abs = dir_ / "absolute.txt";
  RPack good;
  good.pkg.s_name = "good";
  good.pkg.s_folder = "goodfiles";
  for (const std::string& name :
       {std::string("ok.txt"), std::string("../escape.txt"), abs.string(), std::string("C:drive.txt"),
        std::string("sub/inner.txt"), std::string("back\\slash.txt"), std::string(".."), std::string("")}) {
    good.pkg.s_includes.push_back(File(name, CExtensionFile::kOther));
    good.contents.push_back(Bytes("bytes of " + name));
  }
  RPack bad;
  bad.pkg.s_name = "bad";
  bad.pkg.s_folder = "../outside";
  bad.pkg.s_includes.push_back(File("x.txt", CExtensionFile::kLibrary));
  bad.contents.push_back(Bytes("x"));
  RPack absfolder = bad;
  absfolder.pkg.s_folder = (dir_ / "absfolder").string();

  CStream s = Section({good, bad, absfolder});
  ASSERT_TRUE(ExtensionsLoad(s));
  EXPECT_EQ(ExtensionPackageCount(), 3);

  std::vector<std::string> written;
  for (const auto& e : fs::recursive_directory_iterator(dir_))
    if (!e.is_directory()) written.push_back(fs::relative(e.path(), dir_).string());
  EXPECT_EQ(written, std::vector<std::string>{"tmp/goodfiles/ok.txt"});
  EXPECT_EQ(testproc::ReadText(dir_ / "tmp/goodfiles/ok.txt"), "bytes of ok.txt");
}

TEST_F(ExtensionLoad, FileIsNeverWrittenThroughALinkPlantedInTheFolder) {
  fs::create_directories(dir_ / "tmp/pf");
  std::ofstream(dir_ / "target.txt") << "precious";
  fs::create_symlink(dir_ / "target.txt", dir_ / "tmp/pf/lib.so");
  RPack p;
  p.pkg.s_name = "p";
  p.pkg.s_folder = "pf";
  p.pkg.s_includes.push_back(File("lib.so", CExtensionFile::kLibrary));
  p.contents.push_back(Bytes("overwritten"));
  CStream s = Section({p});
  ASSERT_TRUE(ExtensionsLoad(s));
  EXPECT_EQ(testproc::ReadText(dir_ / "target.txt"), "precious");
}

TEST_F(ExtensionLoad, ScriptFilesSplitIntoSections) {
  struct RCase {
    const char* what;
    std::string text;
    std::vector<std::string> scripts;  // of functions a, b
  };
  const RCase cases[] = {
      {"CR LF lines", "#define a\r\nx = 1;\r\ny = 2;\r\n#define b\r\nz = 3;", {"x = 1;\r\ny = 2;", "z = 3;"}},
      {"text before the first section is dropped", "junk\r#define b\rq = 1;", {"", "q = 1;"}},
      {"LF alone ends no line", "#define a\nx = 1;\r#define b\r", {"", ""}},
      {"names trimmed, later section wins", "#define  a \rone\r#define a\rtwo\r#define zzz\rthree", {"two", ""}},
      {"no line end after the last line", "#define a\rlast", {"last", ""}},
      {"a section is named at the first character only", " #define a\r#define b\r #define a", {"", " #define a"}},
  };
  for (const RCase& c : cases) {
    CExtensionFile f = File("s.gml", CExtensionFile::kScript, {Fn("a", 0), Fn("b", 1)});
    f.s_functions[0].s_extname = "a";
    f.s_functions[1].s_extname = "b";
    f.CreateScripts(Bytes(c.text));
    EXPECT_EQ(f.s_functions[0].s_script, c.scripts[0]) << c.what;
    EXPECT_EQ(f.s_functions[1].s_script, c.scripts[1]) << c.what;
  }
  // Bytes that are not UTF-8 are one character per byte.
  CExtensionFile f = File("s.gml", CExtensionFile::kScript, {Fn("a", 0, "a")});
  f.CreateScripts(Bytes("#define a\rs=\xe9"));
  EXPECT_EQ(f.s_functions[0].s_script, "s=\xc3\xa9");
}

TEST_F(ExtensionLoad, LookupOrderArgumentsAndCompileFailures) {
  RPack p;
  p.pkg.s_name = "pkg";
  p.pkg.s_folder = "pkgf";
  CExtensionFile script = File("s.gml", CExtensionFile::kScript, {Fn("  twice ", 7, "t"), Fn("abs", 3, "t"), Fn("shadowed", 9, "t")});
  script.s_functions[0].s_argcount = 2;
  p.pkg.s_includes.push_back(script);
  p.contents.push_back(Bytes("#define t\rreturn argument0 * argument1 + argument_count;"));
  ScriptAdd("shadowed", "return -1;");
  CStream s = Section({p});
  ASSERT_TRUE(ExtensionsLoad(s));
  // Scripts first, then package functions (names trimmed), then built-ins.
  EXPECT_EQ(FunctionFind("twice"), 500007);
  EXPECT_EQ(FunctionFind("abs"), 500003);
  EXPECT_EQ(FunctionFind("shadowed"), 100000);
  EXPECT_EQ(FunctionArgCount(500007), 2);
  EXPECT_EQ(FunctionArgCount(500004), -100);
  EXPECT_EQ(ExtensionFunctionName(3), "abs");

  ASSERT_TRUE(ExtensionsPrepare());
  CCode code("return twice(6, 7);", false);
  ASSERT_TRUE(code.Compile()) << ErrorText();
  CInstance inst;
  RValue r;
  ASSERT_TRUE(ExecuteCode(&inst, &inst, &code, r)) << ErrorText();
  EXPECT_EQ(r.val, 44);

  // Arguments counted at compile time like a built-in's.
  CCode wrong("return twice(1);", false);
  EXPECT_FALSE(wrong.Compile());
  ErrorClear();

  // A script function that does not compile makes preparing fail.
  RPack broken = p;
  broken.contents[0] = Bytes("#define t\rreturn = ;");
  CStream s2 = Section({broken});
  ASSERT_TRUE(ExtensionsLoad(s2));
  EXPECT_FALSE(ExtensionsPrepare());
}

TEST_F(ExtensionLoad, ScriptFunctionFailuresInitAndAMissingFinalFunction) {
  RPack p;
  p.pkg.s_name = "pkg";
  p.pkg.s_folder = "pkgf";
  CExtensionFile script = File("s.gml", CExtensionFile::kScript, {Fn("fails", 0, "f"), Fn("ok", 1, "g")});
  script.s_init = "ok";
  script.s_final = "gone";
  p.pkg.s_includes.push_back(script);
  p.contents.push_back(Bytes("#define f\rreturn nowhere_set + 1;\r#define g\rglobal.inits += 1;"));
  CStream s = Section({p});
  ASSERT_TRUE(ExtensionsLoad(s));
  ASSERT_TRUE(ExtensionsPrepare());

  CCode code("return fails();", false);
  ASSERT_TRUE(code.Compile()) << ErrorText();
  CInstance inst;
  RValue r;
  EXPECT_FALSE(ExecuteCode(&inst, &inst, &code, r));
  EXPECT_EQ(ErrorText().rfind("In extension function fails:\r", 0), 0u) << ErrorText();
  ErrorClear();

  CCode reset("global.inits = 0;", false);
  ASSERT_TRUE(reset.Compile());
  ASSERT_TRUE(ExecuteCode(&inst, &inst, &reset, r));
  EXPECT_TRUE(ExtensionsInit());
  CCode read("return global.inits;", false);
  ASSERT_TRUE(read.Compile());
  ASSERT_TRUE(ExecuteCode(&inst, &inst, &read, r));
  EXPECT_EQ(r.val, 1);

  EXPECT_FALSE(ExtensionsFinal());
  EXPECT_NE(error_last.find("Could not locate finalization function gone"), std::string::npos) << error_last;
}

TEST_F(ExtensionLoad, CorruptSectionsFailTheLoad) {
  RPack p;
  p.pkg.s_name = "p";
  p.pkg.s_folder = "pf";
  p.pkg.s_includes.push_back(File("a.txt", CExtensionFile::kOther));
  p.contents.push_back(Bytes("hello"));
  const std::vector<uint8_t> good = Section({p}).Bytes();

  std::vector<uint8_t> wrong_version = good;
  wrong_version[0] = 0x01;
  CStream s1(wrong_version);
  EXPECT_FALSE(ExtensionsLoad(s1));

  std::vector<uint8_t> wrong_marker = good;
  wrong_marker[8] = 0x01;
  CStream s2(wrong_marker);
  EXPECT_FALSE(ExtensionsLoad(s2));

  // A count no data can hold is corrupt data, never a huge allocation.
  std::vector<uint8_t> huge = good;
  const size_t at = 4 + 4 + 4 + (4 + 1) + (4 + 2);  // version, count, marker, name "p", folder "pf"
  huge[at] = 0xFF;
  huge[at + 1] = 0xFF;
  huge[at + 2] = 0xFF;
  huge[at + 3] = 0x7F;
  CStream s4(huge);
  EXPECT_THROW(ExtensionsLoad(s4), EStreamError);

  // Truncated contents.
  std::vector<uint8_t> cut(good.begin(), good.end() - 3);
  CStream s5(cut);
  EXPECT_THROW(ExtensionsLoad(s5), EStreamError);
}

}  // namespace
