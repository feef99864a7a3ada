// Constants, function lookup, the scripts and constants sections, error
// reporting and the roomrun language commands.
#include <gtest/gtest.h>

#include "../Test_Process.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Lang_Helpers.h"
#include "runner/Support_Stream.h"
#include "script/Code_Constant.h"
#include "resources/Action_Class.h"
#include "resources/Sprite_Main.h"
#include "script/Constant_Main.h"

namespace {
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLanguageState(); }
  void TearDown() override { SetResourceNameLookup(nullptr); }
};

TEST_F(RegistryTest, BuiltinConstants) {
  EXPECT_EQ(kBuiltinConstantCount, 334);
  const std::pair<const char*, double> cases[] = {
      {"c_red", 255}, {"cr_arrrow", -2}, {"cr_arrow", -2}, {"vk_f12", 123}, {"ev_user15", 25},
      {"pi", 3.141592653589793}, {"global", -5}, {"local", -7}, {"OEM_CHARSET", 255}, {"os_linux", 6},
  };
  for (const auto& [name, value] : cases) {
    RValue v;
    ASSERT_TRUE(ConstantFind(name, v)) << name;
    EXPECT_EQ(v.val, value) << name;
  }
  RValue v;
  EXPECT_FALSE(ConstantFind("C_RED", v));
}

TEST_F(RegistryTest, UserConstantsHideBuiltinsAndResourcesHideConstants) {
  ASSERT_TRUE(ConstantDefine(" c_red\t", "5"));
  EXPECT_EQ(RunCode("return c_red").value.val, 5);
  ASSERT_TRUE(ConstantDefine("greeting", "'hi' + ' there'"));
  EXPECT_EQ(RunCode("return greeting").value.str, "hi there");
  ASSERT_TRUE(ConstantDefine("twice_red", "c_red * 2"));
  EXPECT_EQ(RunCode("return twice_red").value.val, 10);
  EXPECT_FALSE(ConstantDefine("bad name", "1"));
  EXPECT_FALSE(ConstantDefine("", "1"));
  EXPECT_FALSE(ConstantDefine("9lives", "1"));
  EXPECT_FALSE(ConstantDefine("broken", "1 +"));
  EXPECT_FALSE(ConstantDefine("broken", "nosuchvar"));

  SetResourceNameLookup([](std::string_view name, int& index) {
    if (name != "spr_x") return false;
    index = 4;
    return true;
  });
  ASSERT_TRUE(ConstantDefine("spr_x", "99"));
  EXPECT_EQ(RunCode("return spr_x").value.val, 4);
  RunOutcome r = RunCode("spr_x = 1");
  EXPECT_NE(r.error.find("Variable name expected."), std::string::npos);
  EXPECT_EQ(RunCode("spr_x.y = 3; return (4).y", nullptr).compiled, true);
}

TEST_F(RegistryTest, ResourceNamesAreConstants) {
  ClearSprites();
  int index = AddSprite();
  AddSprite();
  std::string name = GetSpriteName(index + 1);
  RunOutcome r = RunCode("return " + name);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.value.val, index + 1);
  r = RunCode(name + " = 1");
  EXPECT_NE(r.error.find("Variable name expected."), std::string::npos);
  ClearSprites();
}

TEST_F(RegistryTest, ActionsCompileThroughTheInstalledHooks) {
  RActionCompiler& hooks = ActionCompiler();
  ASSERT_TRUE(hooks.compile);
  std::string error;
  EXPECT_EQ(hooks.compile("x = ", false, error), nullptr);
  EXPECT_NE(error.find("Unexpected symbol in expression."), std::string::npos);
  CodeHandle folded = hooks.compile("2 * 3", true, error);
  ASSERT_NE(folded, nullptr);
  RValue v;
  ASSERT_TRUE(hooks.constant(folded, v));
  EXPECT_EQ(v.val, 6);
  CodeHandle prog = hooks.compile("y = 3", false, error);
  ASSERT_NE(prog, nullptr);
  EXPECT_FALSE(hooks.constant(prog, v));
  EXPECT_EQ(hooks.find_function("no_such_function_here"), -1);
}

TEST_F(RegistryTest, ConstantsDefineStopsAtTheFirstFailure) {
  UserConstants() = {{"k_one", "1"}, {"k bad", "2"}, {"k_three", "3"}};
  EXPECT_FALSE(ConstantsDefine());
  RValue v;
  EXPECT_TRUE(ConstantFind("k_one", v));
  EXPECT_FALSE(ConstantFind("k_three", v));
  UserConstants().clear();
}

TEST_F(RegistryTest, FunctionLookupOrderAndArgumentCounts) {
  FunctionAdd("test_reg_fn", [](CInstance*, CInstance*, int, RValue&, RValue*) {}, 3);
  int builtin = FunctionFind("test_reg_fn");
  ASSERT_GE(builtin, 0);
  EXPECT_LT(builtin, 100000);
  EXPECT_EQ(FunctionArgCount(builtin), 3);
  ScriptAdd("test_reg_fn", "return 1");
  EXPECT_EQ(FunctionFind("test_reg_fn"), 100000);
  EXPECT_EQ(FunctionArgCount(100000), -1);
  EXPECT_EQ(FunctionArgCount(-5), -100);
  EXPECT_EQ(FunctionArgCount(FunctionCount()), -100);
  EXPECT_EQ(FunctionArgCount(500000), -100);
  EXPECT_EQ(FunctionFind("nothing_like_this"), -1);
}

void WriteScriptBlock(CStream& out, bool exists, const std::string& name, int version, const std::string& text) {
  CStream block;
  block.WriteBoolean(exists);
  if (exists) {
    block.WriteString(name);
    block.WriteInteger(version);
    block.WriteString(text);
  }
  out.WriteStreamC(block);
}

TEST_F(RegistryTest, ScriptsSectionLoadsAndCompiles) {
  CStream s;
  s.WriteInteger(800);
  s.WriteInteger(3);
  WriteScriptBlock(s, true, "scr_a", 800, "return argument0 * 2");
  WriteScriptBlock(s, false, "", 0, "");
  WriteScriptBlock(s, true, "scr_b", 800, "return scr_a(argument0) + 1");
  s.Seek(0);
  ASSERT_TRUE(LoadSection_Scripts(s));
  EXPECT_EQ(ScriptCount(), 3);
  EXPECT_EQ(ScriptGetName(1), "<undefined>");
  EXPECT_EQ(ScriptGet(1), nullptr);
  EXPECT_EQ(ScriptFind("scr_b"), 2);
  EXPECT_EQ(ScriptFind(""), -1);
  ASSERT_TRUE(ScriptsCompileAll());
  EXPECT_EQ(RunCode("return scr_b(20)").value.val, 41);
  EXPECT_EQ(RunCode("return scr_b").value.val, 2);  // a script name is also its index

  CStream bad;
  bad.WriteInteger(800);
  bad.WriteInteger(1);
  WriteScriptBlock(bad, true, "scr_c", 801, "x = 1");
  bad.Seek(0);
  EXPECT_FALSE(LoadSection_Scripts(bad));

  CStream wrongversion;
  wrongversion.WriteInteger(700);
  wrongversion.WriteInteger(0);
  wrongversion.Seek(0);
  EXPECT_FALSE(LoadSection_Scripts(wrongversion));
}

TEST_F(RegistryTest, ScriptCompileFailureIsFatal) {
  ScriptAdd("scr_ok", "x = 1");
  ScriptAdd("scr_broken", "x = ");
  EXPECT_FALSE(ScriptsCompileAll());
  EXPECT_EQ(error_last.rfind("COMPILATION ERROR in Script: scr_broken\rError in code at line 1:", 0), 0u)
      << error_last;
  EXPECT_TRUE(ErrorTerminating());
}

TEST_F(RegistryTest, ConstantsSectionKeepsStoredOrder) {
  CStream s;
  s.WriteInteger(800);
  s.WriteInteger(2);
  s.WriteString("k_first");
  s.WriteString("1");
  s.WriteString("k_second");
  s.WriteString("k_first + 1");
  s.Seek(0);
  ASSERT_TRUE(LoadSection_Constants(s));
  ASSERT_EQ(UserConstants().size(), 2u);
  ASSERT_TRUE(ConstantsDefine());
  EXPECT_EQ(RunCode("return k_second").value.val, 2);
  UserConstants().clear();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST_F(RegistryTest, ErrorLogAndAbortSettings) {
  auto dir = std::filesystem::temp_directory_path() / ("roomrun_lang_log_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  opt_logerrors = true;
  ReportError("one", false);
  ReportError("two", false);
  EXPECT_EQ(ReadAll("game_errors.log"), "one\r\n\r\n\r\ntwo\r\n\r\n\r\n");
  EXPECT_TRUE(error_occurred);
  EXPECT_FALSE(ErrorTerminating());
  ErrorResetForTests();  // a new run starts the file afresh
  ReportError("three", false);
  EXPECT_EQ(ReadAll("game_errors.log"), "three\r\n\r\n\r\n");
  opt_aborterrors = true;
  ReportError("four", false);
  EXPECT_TRUE(ErrorTerminating());
  ReportError("five", false);  // dropped once terminating
  EXPECT_EQ(error_last, "four");
  EXPECT_EQ(ReadAll("game_errors.log"), "three\r\n\r\n\r\nfour\r\n\r\n\r\n");
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}

TEST_F(RegistryTest, HeadlessChoiceDecidesNonFatalErrors) {
  opt_showerrors = true;
  SetHeadlessErrorChoice(false);
  testing::internal::CaptureStderr();
  ReportError("ignored", false);
  EXPECT_FALSE(ErrorTerminating());
  SetHeadlessErrorChoice(true);
  ReportActionError("aborted", false);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ErrorTerminating());
  EXPECT_NE(err.find("ignored"), std::string::npos);
  EXPECT_NE(err.find("aborted"), std::string::npos);
}

// ---- the roomrun commands ----
std::string RunRoomrun(const std::string& args, int& status) {
  std::string cmd = std::string(ROOMRUN_BIN_DIR) + "/roomrun " + args + " 2>&1";
  testproc::ROutput run = testproc::Capture(cmd);
  status = run.status;
  return run.out;
}

std::string EvalFile(const std::string& code, int& status, const std::string& extra = "") {
  // ctest runs tests in parallel processes: names carry the process id.
  auto path = std::filesystem::temp_directory_path() / ("roomrun_lang_eval_" + std::to_string(getpid()) + ".txt");
  std::ofstream(path, std::ios::binary) << code;
  std::string out = RunRoomrun(extra + "--eval " + path.string(), status);
  std::filesystem::remove(path);
  return out;
}

TEST(RoomrunCommands, EvalPrintsValuesAndErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"return 10", "10\n"},
      {"return -3", "-3\n"},
      {"return 1.5", "1.5\n"},
      {"return 0.1 + 0.2", "0.30000000000000004\n"},
      {"return 'a' + \"b\"", "\"ab\"\n"},
      {"x = 4", "4\n"},
      {"", "0\n"},
  };
  for (const auto& [code, expected] : cases) {
    int status = 0;
    EXPECT_EQ(EvalFile(code, status), expected) << code;
    EXPECT_EQ(status, 0) << code;
  }
  int status = 0;
  EXPECT_EQ(EvalFile("u = v", status),
            "Error in code at line 1:\n   u = v\n      ^\nat position 5: Unknown variable v\n");
  EXPECT_NE(status, 0);
  EXPECT_EQ(EvalFile("x = ", status),
            "Error in code at line 1:\n   x = \n     ^\nat position 4: Unexpected symbol in expression.\n");
  EXPECT_NE(status, 0);
}

TEST(RoomrunCommands, EvalWithAScriptsFolder) {
  auto dir = std::filesystem::temp_directory_path() / ("roomrun_lang_scripts_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "fib.txt") << "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2)";
  std::ofstream(dir / "twice.txt") << "return argument0 * 2";
  int status = 0;
  EXPECT_EQ(EvalFile("return twice(fib(10))", status, "--scripts " + dir.string() + " "), "110\n");
  EXPECT_EQ(status, 0);
  std::filesystem::remove_all(dir);
}

TEST(RoomrunCommands, ListsTheRegistries) {
  int status = 0;
  std::string vars = RunRoomrun("--list-variables", status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(vars.find("argument0\n"), std::string::npos);
  EXPECT_NE(vars.find("argument_count (read-only)\n"), std::string::npos);
  EXPECT_NE(vars.find("error_last\n"), std::string::npos);
  RunRoomrun("--list-functions", status);
  EXPECT_EQ(status, 0);
}
}  // namespace
