// Opening libraries when first needed: the reasons given for a library or a
// function that cannot be found, and forwarders that fail as their library
// would instead of crashing.
#include "platform/Library_Loader.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kMissingSoname = "libroomrun-test-missing.so.7";

struct RImportCase {
  const char* what;
  const char* soname;
  std::vector<const char*> names;
  bool loads;
  std::vector<std::string> error_names;  // what the reason must mention
};

TEST(LibraryLoader, LoadsOrSaysWhichLibraryOrFunctionIsMissing) {
  const RImportCase cases[] = {
      {"present", "libm.so.6", {"cos", "sqrt"}, true, {}},
      {"missing library", kMissingSoname, {"cos"}, false, {kMissingSoname, "cannot open"}},
      {"missing function", "libm.so.6", {"cos", "roomrun_no_such_function", "sqrt"}, false,
       {"libm.so.6", "roomrun_no_such_function"}},
  };
  for (const RImportCase& c : cases) {
    std::vector<void*> slots(c.names.size());
    CLibraryImport lib(c.soname, "testing", c.names.data(), slots.data(), slots.size());
    ::testing::internal::CaptureStderr();
    const bool first = lib.Load();
    const bool again = lib.Load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, c.loads) << c.what;
    EXPECT_EQ(again, c.loads) << c.what;
    if (c.loads) {
      EXPECT_STREQ(lib.Error(), "") << c.what;
      EXPECT_EQ(err, "") << c.what;
      EXPECT_DOUBLE_EQ(reinterpret_cast<double (*)(double)>(slots[1])(9.0), 3.0);
      continue;
    }
    for (const std::string& n : c.error_names) EXPECT_NE(std::string(lib.Error()).find(n), std::string::npos) << c.what;
    // Said once, however often the library is asked for.
    EXPECT_EQ(err, std::string("roomrun: cannot use ") + c.soname + " for testing: " + lib.Error() + "\n") << c.what;
  }
}

TEST(LibraryLoader, ThreadsAskingTogetherAllSeeOneLoad) {
  const char* names[] = {"cos"};
  void* slots[1] = {};
  CLibraryImport lib("libm.so.6", "testing", names, slots, 1);
  std::vector<std::thread> threads;
  std::vector<char> loaded(8, 0);
  for (size_t i = 0; i < loaded.size(); ++i) threads.emplace_back([&, i] { loaded[i] = lib.Load(); });
  for (std::thread& t : threads) t.join();
  for (char l : loaded) EXPECT_TRUE(l);
  EXPECT_NE(slots[0], nullptr);
}

}  // namespace

// Forwarders made the way the runner's are, for a library that is not there.
extern "C" int rr_test_status(int code);
extern "C" const char* rr_test_name(void);
extern "C" void rr_test_notify(int* count);

#define RR_TEST_FUNCTIONS(X)                     \
  X(int, rr_test_status, -1, (int a0), (a0))     \
  X(const char*, rr_test_name, {}, (void), ())   \
  X(void, rr_test_notify, void(), (int* a0), (a0))

RR_IMPORT_LIBRARY(MissingTestLibrary, kMissingSoname, "the test's forwarders", RR_TEST_FUNCTIONS)

TEST(LibraryLoader, ForwardersOfAMissingLibraryFailAsTheLibraryWould) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(rr_test_status(0), -1);
  EXPECT_EQ(rr_test_name(), nullptr);
  int count = 0;
  rr_test_notify(&count);
  EXPECT_EQ(count, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(MissingTestLibrary().Load());
  EXPECT_EQ(err, std::string("roomrun: cannot use ") + kMissingSoname + " for the test's forwarders: " +
                     MissingTestLibrary().Error() + "\n");
}
