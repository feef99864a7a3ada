// External functions: definitions, calls with reals and strings from 0 to 16
// arguments, library names the Windows way, freeing, and secure mode.
#include "FilesTest.h"
#include "script/Script_Main.h"
#include "script/Support_DLL.h"

using namespace filestest;

namespace {

class External : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    fs::copy_file(fs::path(ROOMRUN_TESTLIB_DIR) / "libextlib.so", "libextlib.so");
  }
  // external_define(lib, name, calltype, resulttype, n, types...)
  double Define(const std::string& lib, const std::string& name, double result, std::vector<double> types) {
    std::vector<RValue> args = {lib, name, 0.0, result, double(types.size())};
    for (double t : types) args.emplace_back(t);
    return CallV("external_define", args).val;
  }
  RValue CallV(const std::string& fn, std::vector<RValue> args) {
    const int id = FunctionFindBuiltin(fn);
    EXPECT_GE(id, 0) << fn;
    const size_t n = args.size();
    args.resize(n + 1);
    RValue r;
    FunctionGet(id).f_routine(nullptr, nullptr, int(n), r, args.data());
    return r;
  }
};

TEST_F(External, CallsRealsAndStrings) {
  // "extlib.dll" is found as libextlib.so in the working folder.
  const double answer = Define("extlib.dll", "ext_answer", 0, {});
  ASSERT_GE(answer, 0);
  EXPECT_EQ(Call("external_call0", {answer}).val, 42);
  EXPECT_EQ(CallV("external_call", {answer}).val, 42);

  const double add = Define("EXTLIB.DLL", "ext_add2", 0, {0, 0});
  EXPECT_EQ(CallV("external_call", {add, 1.5, 2.25}).val, 3.75);
  // Another number of arguments calls nothing.
  EXPECT_EQ(CallV("external_call", {add, 1.5}).val, 0);

  const double mixed = Call("external_define4", {"extlib", "ext_mixed", 0.0, 1.0, 0.0, 1.0, 0.0}).val;
  ASSERT_GE(mixed, 0);
  EXPECT_EQ(Call("external_call4", {mixed, 3.0, "abcd", 5.0, "xy"}).val, 3452);
  // A string parameter given a real passes "" (never a null pointer); a
  // real parameter given a string passes 0.
  EXPECT_EQ(Call("external_call4", {mixed, "7", 9.0, 5.0, "xy"}).val, 52);

  const double cat = Call("external_define2", {"./libextlib.so", "ext_concat", 1.0, 1.0, 1.0}).val;
  EXPECT_EQ(Call("external_call2", {cat, "héllo", ""}).str, "héllo+");
  const double null = Define("extlib.dll", "ext_null", 1, {});
  const RValue r = CallV("external_call", {null});
  EXPECT_TRUE(r.IsString());
  EXPECT_EQ(r.str, "");
}

TEST_F(External, FiveAndMoreArgumentsAreAllReals) {
  const double w5 = Call("external_define5", {"extlib.dll", "ext_weighted5", 0.0}).val;
  EXPECT_EQ(Call("external_call5", {w5, 1.0, 1.0, 1.0, 1.0, 1.0}).val, 15);
  const double w8 = Call("external_define8", {"extlib.dll", "ext_weighted8", 0.0}).val;
  EXPECT_EQ(Call("external_call8", {w8, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.0}).val, 17);
  const double w16 = Define("extlib.dll", "ext_weighted16", 0, std::vector<double>(16, 0));
  ASSERT_GE(w16, 0);
  std::vector<RValue> args = {w16};
  double expect = 0;
  for (int i = 1; i <= 15; ++i) args.emplace_back(double(i));
  // external_call passes at most 15 arguments: a 16-argument function is
  // reached only through the table itself.
  EXPECT_EQ(CallV("external_call", args).val, 0);
  args.erase(args.begin());
  args.emplace_back(16.0);
  for (int i = 1; i <= 16; ++i) expect += i * i;
  RValue r;
  DllCall(int(w16), 16, args.data(), r);
  EXPECT_EQ(r.val, expect);

  EXPECT_EQ(Errors([&] { EXPECT_EQ(Define("extlib.dll", "ext_weighted5", 0, {0, 1, 0, 0, 0}), 0); }),
            "DLL functions with more than 4 arguments cannot have string arguments");
  EXPECT_EQ(Errors([&] { Define("extlib.dll", "x", 0, std::vector<double>(17, 0)); }),
            "DLL functions can have at most 16 arguments");
  EXPECT_EQ(Errors([&] { CallV("external_define", {"extlib.dll", "ext_add2", 0.0, 0.0, 2.0, 0.0}); }),
            "Wrong number of arguments to external_define()");
  EXPECT_EQ(Errors([&] { CallV("external_define", {"extlib.dll", "ext_add2", 0.0, 0.0}); }),
            "Wrong number of arguments to external_define()");
}

TEST_F(External, MissingLibrariesSymbolsAndWindowsLibraries) {
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Define("nothing_here.dll", "f", 0, {}), -1); }),
            "Error defining an external function.");
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Define("extlib.dll", "no_such_symbol", 0, {}), -1); }),
            "Error defining an external function.");
  Spit("win.dll", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0'));
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Define("win.dll", "f", 0, {}), -1); }), "Error defining an external function.");
  EXPECT_EQ(Errors([] { Call("external_call0", {999999.0}); }), "");  // an unknown id calls nothing
}

TEST_F(External, FreeingMakesEntriesUnusableUntilDefinedAgain) {
  const double a = Define("extlib.dll", "ext_answer", 0, {});
  const double b = Define("extlib.dll", "ext_add2", 0, {0, 0});
  Call("external_free", {"ExtLib.DLL"});
  EXPECT_EQ(Call("external_call0", {a}).val, 0);
  EXPECT_EQ(Call("external_call2", {b, 1.0, 2.0}).val, 0);
  const double c = Define("extlib.dll", "ext_answer", 0, {});
  EXPECT_GT(c, b);
  EXPECT_EQ(Call("external_call0", {c}).val, 42);
}

TEST_F(External, SecureModeLoadsNothing) {
  SecureMode = true;
  EXPECT_EQ(Errors([] { Call("external_free", {"extlib.dll"}); }), "In secure mode you cannot use DLLs");
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Define("extlib.dll", "ext_answer", 0, {}), 0); }),
            "In secure mode you cannot use DLLs");
  EXPECT_EQ(Errors([] { Call("external_define0", {"extlib.dll", "ext_answer", 0.0}); }),
            "In secure mode you cannot use DLLs");
  EXPECT_EQ(Errors([] { Call("external_call0", {0.0}); }), "In secure mode you cannot use DLLs");
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("get_function_address", {"abs"}).val, 0); }),
            "In secure mode you cannot use DLLs");
  // Nothing was loaded: the library is not mapped into the process.
  const std::string maps = Slurp("/proc/self/maps");
  EXPECT_EQ(maps.find((dir / "work/libextlib.so").string()), std::string::npos);
}

TEST_F(External, FunctionAddressesAreThoseOfBuiltinRoutines) {
  // The number is the routine itself: called through it, it does its work.
  const double addr = Call("get_function_address", {"abs"}).val;
  ASSERT_GT(addr, 0);
  const auto routine = reinterpret_cast<BuiltinRoutine>(static_cast<uintptr_t>(addr));
  EXPECT_EQ(routine, FunctionGet(FunctionFindBuiltin("abs")).f_routine);
  RValue r;
  RValue args[1] = {RValue(-3.5)};
  routine(nullptr, nullptr, 1, r, args);
  EXPECT_EQ(r.val, 3.5);
  // Names of no built-in, and a script that hides one, have no address.
  EXPECT_EQ(Call("get_function_address", {"no_such_function"}).val, -1);
  ScriptAdd("sqrt", "return 1;");
  EXPECT_EQ(Call("get_function_address", {"sqrt"}).val, -1);
  ScriptsClear();
}

}  // namespace
