// Game files whose extension packages carry hostile folder and file names and
// kinds: each is read as a run would, unpacking into a scratch temporary
// folder; anything that appears outside it, or a planted link that is
// followed, stops the fuzzer.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Escape_Scratch.h"
#include "runner/DataNew_Main.h"
#include "runner/DataNew_Write.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Extension_Class.h"
#include "script/Extension_Main.h"

namespace fs = std::filesystem;

namespace {
// root/victim.txt must stay as it is; root/scratch/tmp is the temporary
// folder, holding a link to the victim. Nothing but root/scratch and the
// victim may ever be in root, and nothing but tmp in root/scratch.
struct RScratch {
  fs::path root, scratch, tmp, victim;
};

const RScratch& Scratch() {
  static const RScratch s = [] {
    RScratch r;
    r.root = fs::temp_directory_path() / ("rr_fuzz_extension_" + std::to_string(::getpid()));
    r.scratch = r.root / "scratch";
    r.tmp = r.scratch / "tmp";
    r.victim = r.root / "victim.txt";
    fs::remove_all(r.root);
    fs::create_directories(r.tmp);
    std::ofstream(r.victim) << "keep";
    fs::current_path(r.scratch);
    escape::QuietRunner();
    std::atexit([] { fs::remove_all(Scratch().root); });
    return r;
  }();
  return s;
}

[[noreturn]] void Fail(const std::string& what) { escape::Fail("extension files", what); }

const char* const kNamePieces[] = {"..", ".", "/", "\\", "victim.txt", "link", "a", "C:", "x.dll", "",
                                   "../victim.txt", "../../victim.txt", "/tmp", "~", "\n", ":", "tmp"};

std::string PickName(FuzzedDataProvider& in) { return escape::PickName(in, kNamePieces); }

void CheckRoot(const RScratch& s) {
  for (const fs::directory_entry& e : fs::directory_iterator(s.root))
    if (e.path() != s.scratch && e.path() != s.victim) Fail("found " + e.path().string());
  for (const fs::directory_entry& e : fs::directory_iterator(s.scratch))
    if (e.path() != s.tmp) Fail("found " + e.path().string());
  escape::CheckVictim("extension files", s.victim, s.tmp / "link");
}

void ResetScratch(const RScratch& s) {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(s.tmp, ec)) fs::remove_all(e.path(), ec);
  fs::create_symlink(s.root, s.tmp / "link", ec);
  TempDir = s.tmp.string();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RScratch& s = Scratch();
  ResetScratch(s);
  FuzzedDataProvider in(data, size);
  CGameWriter w;
  const int packages = in.ConsumeIntegralInRange(1, 3);
  w.BeginList(kSectionVersionExtensions, packages);
  for (int p = 0; p < packages; ++p) {
    CExtensionPackage pkg;
    pkg.s_name = "pkg";
    pkg.s_folder = PickName(in);
    std::vector<std::vector<uint8_t>> contents;
    const int files = in.ConsumeIntegralInRange(0, 4);
    for (int f = 0; f < files; ++f) {
      CExtensionFile file;
      file.s_filename = PickName(in);
      file.s_kind = in.ConsumeIntegralInRange(0, 5);
      pkg.s_includes.push_back(file);
      contents.push_back({'f', 'u', 'z', 'z'});
    }
    pkg.SaveToExeStream(w.Sections(), contents, in.ConsumeIntegral<int32_t>());
  }
  for (int v = 0; v < 10; ++v) w.WriteEmptyList(800);
  w.WriteEmptyList(kSectionVersionRooms);
  w.Sections().WriteInteger(100000);
  w.Sections().WriteInteger(10000000);
  w.WriteIncludedFiles({});
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  ClearGameData();
  LoadGameFromBuffer(w.Finish());
  CheckRoot(s);
  ExtensionsClear();
  ClearGameData();
  return 0;
}
