// Game files whose included files carry hostile names, export folders and
// flags: each is written, read back, exported and removed as a run would, in
// a scratch folder; anything that appears outside it, a planted link that is
// followed or a file outside that is touched stops the fuzzer.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
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

namespace fs = std::filesystem;

namespace {
// root/victim.txt must stay as it is; root/scratch/work is the working
// folder (with a link to the victim in it), root/scratch/tmp the temporary
// folder. Nothing but root/scratch and the victim may ever be in root.
struct RScratch {
  fs::path root, scratch, work, tmp, victim;
};

const RScratch& Scratch() {
  static const RScratch s = [] {
    RScratch r;
    r.root = fs::temp_directory_path() / ("rr_fuzz_included_" + std::to_string(::getpid()));
    r.scratch = r.root / "scratch";
    r.work = r.scratch / "work";
    r.tmp = r.scratch / "tmp";
    r.victim = r.root / "victim.txt";
    fs::remove_all(r.root);
    fs::create_directories(r.work);
    fs::create_directories(r.tmp);
    std::ofstream(r.victim) << "keep";
    fs::current_path(r.work);
    escape::QuietRunner();
    std::atexit([] { fs::remove_all(Scratch().root); });
    return r;
  }();
  return s;
}

[[noreturn]] void Fail(const std::string& what) { escape::Fail("included files", what); }

const char* const kNamePieces[] = {"..", ".", "/", "\\", "victim.txt", "link.txt", "a", "C:", "x.txt", "",
                                   "../victim.txt", "../../victim.txt", "/tmp", "~", "\n", ":"};
// Folders that stay inside the scratch folder (outside secure mode a named
// folder is honoured, so it must not lead out of the scratch folder here).
const char* const kInsideDirs[] = {"", "out", "out/deep/er", "../tmp", "./x/../y", "../work/sub", "link.txt"};
// Anything at all: only secure mode, where named folders are refused.
const char* const kHostileDirs[] = {"..", "../..", "../../..", "/", "/tmp", "../../victim.txt", "link.txt/.."};

std::string PickName(FuzzedDataProvider& in) { return escape::PickName(in, kNamePieces); }

void CheckRoot(const RScratch& s) {
  for (const fs::directory_entry& e : fs::directory_iterator(s.root)) {
    if (e.path() != s.scratch && e.path() != s.victim) Fail("found " + e.path().string());
  }
  escape::CheckVictim("included files", s.victim, s.work / "link.txt");
}

void ResetScratch(const RScratch& s) {
  std::error_code ec;
  for (const fs::path& dir : {s.work, s.tmp}) {
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) fs::remove_all(e.path(), ec);
  }
  fs::create_symlink(s.victim, s.work / "link.txt", ec);
  TempDir = s.tmp.string();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RScratch& s = Scratch();
  ResetScratch(s);
  FuzzedDataProvider in(data, size);
  SecureMode = in.ConsumeBool();
  std::vector<CDataFile> files(in.ConsumeIntegralInRange(1, 4));
  for (CDataFile& f : files) {
    f.s_filename = PickName(in);
    f.s_exists = true;
    f.s_store = true;
    f.s_data = {'f', 'u', 'z', 'z'};
    f.s_exportaction = in.ConsumeIntegralInRange(-1, 4);
    f.s_exportdir = SecureMode && in.ConsumeBool()
                        ? kHostileDirs[in.ConsumeIntegralInRange<size_t>(0, std::size(kHostileDirs) - 1)]
                        : kInsideDirs[in.ConsumeIntegralInRange<size_t>(0, std::size(kInsideDirs) - 1)];
    f.s_overwrite = in.ConsumeBool();
    f.s_freedata = in.ConsumeBool();
    f.s_removeend = in.ConsumeBool();
  }
  CGameWriter w;
  w.WriteEmptyResourceSections();
  w.WriteIncludedFiles(files);
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  ClearGameData();
  if (LoadGameFromBuffer(w.Finish())) {
    ExportIncludedFiles();
    CheckRoot(s);
    RemoveIncludedFiles();
    CheckRoot(s);
  }
  ClearGameData();
  SecureMode = false;
  return 0;
}
