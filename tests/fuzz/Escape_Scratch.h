// What the fuzzers share that try to make a run write outside its scratch folder: a quiet runner, hostile names, the victim's check.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runner/Support_Various.h"
#include "script/Code_Error.h"

namespace escape {

// Messages, trace lines and error windows go nowhere: only escapes matter.
inline void QuietRunner() {
  SetMessageSink([](const std::string&) {});
  TraceEnabled = false;
  ErrorHooks().show_window = [](const std::string&, bool) { return false; };
  ErrorHooks().trace = [](const std::string&) {};
}

[[noreturn]] inline void Fail(const char* what_escaped, const std::string& what) {
  std::fprintf(stderr, "%s escaped: %s\n", what_escaped, what.c_str());
  std::abort();
}

// Up to four pieces, each a hostile one from the list or random text.
template <size_t N>
std::string PickName(FuzzedDataProvider& in, const char* const (&pieces)[N]) {
  std::string name;
  const int parts = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < parts; ++i) {
    if (in.ConsumeBool()) name += pieces[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
    else name += in.ConsumeRandomLengthString(12);
  }
  return name;
}

// The victim still says "keep" and the link planted to it is still a link.
inline void CheckVictim(const char* what_escaped, const std::filesystem::path& victim,
                        const std::filesystem::path& link) {
  std::ifstream in(victim);
  std::string text;
  std::getline(in, text);
  if (text != "keep") Fail(what_escaped, "the victim was changed");
  if (!std::filesystem::is_symlink(link)) Fail(what_escaped, "the link was replaced");
}

}  // namespace escape
