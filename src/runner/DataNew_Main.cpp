#include "runner/DataNew_Main.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <exception>

#include "runner/Option_Main.h"
#include "runner/Runner_Load.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "script/Code_Spaces.h"

bool DebugMode = false;
int GameId = 0;
std::array<uint8_t, 16> GameGuid{};
bool SecureMode = false;
int LastInstanceId = kFirstInstanceId;
int LastTileId = 10000000;
size_t GameDataOffset = 0;
std::vector<CDataFile> IncludedFiles;
RGameInfo GameInfo;
std::vector<std::string> LibraryInitCode;
std::vector<int> RoomOrder;

namespace {
LoadStageObserver g_stage_observer = nullptr;
void StageDone(const char* stage) {
  if (g_stage_observer) g_stage_observer(stage);
}
}  // namespace

void SetLoadStageObserver(LoadStageObserver observer) { g_stage_observer = observer; }

int LoadThreadCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 1 ? 2 : 1;
  return std::thread::hardware_concurrency() > 1 ? 2 : 1;
}

// --- included files -----------------------------------------------------------

int FindIncludedFile(const std::string& name) {
  for (size_t i = 0; i < IncludedFiles.size(); ++i) {
    if (IncludedFiles[i].s_filename == name) return int(i);
  }
  return -1;
}

CDataFile* GetIncludedFile(int index) {
  if (index < 0 || size_t(index) >= IncludedFiles.size()) return nullptr;
  return &IncludedFiles[size_t(index)];
}

bool ExportIncludedFiles() {
  for (CDataFile& f : IncludedFiles) f.Prepare();
  return true;
}

void RemoveIncludedFiles() {
  for (CDataFile& f : IncludedFiles) f.Remove();
}

// --- framing helpers ------------------------------------------------------------

bool ReadSectionHeader(CStream& stream, int version, int32_t& count) {
  if (stream.ReadInteger() != version) return false;
  count = stream.ReadInteger();
  // Every item takes at least four bytes, so a count beyond that is broken
  // data; checking it here keeps callers from sizing tables from it.
  if (count < 0 || size_t(count) > stream.Remaining() / 4) return false;
  return true;
}

bool SkipResourceList(CStream& stream, int version) {
  int32_t count;
  if (!ReadSectionHeader(stream, version, count)) return false;
  for (int32_t i = 0; i < count; ++i) stream.SkipStreamC();
  return true;
}

// --- the sections owned here ------------------------------------------------------

namespace {
// Reads one included-file record from its block's zlib data.
bool LoadIncludedFileBlock(const uint8_t* zdata, size_t size, CDataFile& file) {
  CInflateReader block(zdata, size);
  if (!file.LoadFromBlock(block)) return false;
  block.Finish();
  return true;
}
}  // namespace

bool LoadSection_IncludedFiles(CStream& stream) {
  IncludedFiles.clear();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionIncludedFiles, count)) return false;
  // Included files are often most of a game's bytes. Their blocks are found
  // first (each is a length and its bytes) and then inflated in batches by
  // two threads, straight into the records' data. The records only grow
  // with blocks actually present, batch by batch.
  constexpr int32_t kBatch = 64;
  const bool two_threads = LoadThreadCount() > 1;
  struct RSpan {
    const uint8_t* data;
    size_t size;
  };
  std::vector<RSpan> spans;
  for (int32_t first = 0; first < count; first += kBatch) {
    int32_t n = std::min(kBatch, count - first);
    spans.clear();
    for (int32_t i = 0; i < n; ++i) {
      int32_t len = stream.ReadInteger();
      if (len < 0) throw EStreamError("Stream read error: negative length");
      spans.push_back({stream.ReadSpan(size_t(len)), size_t(len)});
    }
    size_t base = IncludedFiles.size();
    IncludedFiles.resize(base + size_t(n));
    std::atomic<int32_t> next{0};
    std::atomic<bool> ok{true};
    std::exception_ptr error[2];
    auto work = [&](int who) {
      try {
        for (int32_t i; ok && (i = next.fetch_add(1)) < n;) {
          if (!LoadIncludedFileBlock(spans[size_t(i)].data, spans[size_t(i)].size, IncludedFiles[base + size_t(i)]))
            ok = false;
        }
      } catch (...) {
        error[who] = std::current_exception();
        ok = false;
      }
    };
    std::thread helper;
    if (two_threads && n > 1) {
      try {
        helper = std::thread(work, 1);
      } catch (const std::system_error&) {
        // No second thread to be had: this one does all the work.
      }
    }
    work(0);
    if (helper.joinable()) helper.join();
    for (auto& e : error) {
      if (e) std::rethrow_exception(e);
    }
    if (!ok) return false;
  }
  return true;
}

bool LoadSection_GameInfo(CStream& stream) {
  if (stream.ReadInteger() != kSectionVersionGameInfo) return false;
  CStream b = stream.ReadStreamC();
  RGameInfo info;
  info.InfoColor = b.ReadInteger();
  info.InfoEmbedded = b.ReadBoolean();
  info.InfoCaption = b.ReadString();
  info.InfoLeft = b.ReadInteger();
  info.InfoTop = b.ReadInteger();
  info.InfoWidth = b.ReadInteger();
  info.InfoHeight = b.ReadInteger();
  info.InfoBorder = b.ReadBoolean();
  info.InfoSizeable = b.ReadBoolean();
  info.InfoOnTop = b.ReadBoolean();
  info.InfoModal = b.ReadBoolean();
  CStream text = b.ReadStream();
  info.InfoText.assign(reinterpret_cast<const char*>(text.Data()), text.Size());
  GameInfo = std::move(info);
  return true;
}

bool LoadSection_LibraryInit(CStream& stream) {
  LibraryInitCode.clear();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionLibraryInit, count)) return false;
  for (int32_t i = 0; i < count; ++i) LibraryInitCode.push_back(stream.ReadString());
  return true;
}

bool LoadSection_RoomOrder(CStream& stream) {
  RoomOrder.clear();
  int32_t count;
  if (!ReadSectionHeader(stream, kSectionVersionRoomOrder, count)) return false;
  if (count < 1) return false;
  RoomOrder.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) RoomOrder.push_back(stream.ReadInteger());
  return true;
}

// --- finding and descrambling ---------------------------------------------------------

namespace {
uint32_t WordAt(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
bool MarkerAt(const uint8_t* p) {
  return (WordAt(p) & kMarkerMaskA) + (WordAt(p + 4) & kMarkerMaskB) == kMarkerValue;
}
}  // namespace

int64_t FindGameData(const CStream& file) {
  const uint8_t* d = file.Data();
  size_t size = file.Size();
  if (size >= 8 && MarkerAt(d)) return 0;
  // A runner program larger than the search offset can hold the marker
  // pattern in its own code or data, so past the offset a candidate counts
  // only when its version word restores to the format version (a marker too
  // close to the end to hold one is taken as it is).
  for (size_t p = kGameDataOffset; p + 8 <= size; ++p) {
    if (!MarkerAt(d + p)) continue;
    if (p + 20 > size) return int64_t(p);
    uint32_t x = (WordAt(d + p) & 0x00FF00FFu) + (WordAt(d + p + 4) & 0xFF00FF00u);
    if ((WordAt(d + p + 16) ^ x) == uint32_t(kGameFileVersion)) return int64_t(p);
  }
  return -1;
}

bool DescrambleGameData(CStream& file, size_t marker) {
  if (marker > file.Size() || file.Size() - marker < 20) return false;
  uint8_t* d = file.MutableData() + marker;
  uint32_t a = WordAt(d);
  uint32_t b = WordAt(d + 4);
  uint32_t x = (a & 0x00FF00FFu) + (b & 0xFF00FF00u);
  uint32_t version = WordAt(d + 16) ^ x;
  for (int i = 0; i < 4; ++i) d[16 + i] = uint8_t(version >> (8 * i));
  return file.DecryptWad(marker + 8);
}

// --- header and sections ----------------------------------------------------------------

bool ReadGameHeader(CStream& stream) {
  if (stream.ReadInteger() != kGameFileVersion) {
    ShowMessage(kMsgWrongVersion);
    return false;
  }
  stream.ReadInteger();
  DebugMode = stream.ReadBoolean();
  stream.ReadInteger();
  if (!ReadGameSettings(stream)) {
    ShowMessage(kMsgResourceData);
    return false;
  }
  SetLoadProgress(1, "Reading data");
  SetupLoadForm(DebugMode);

  // The graphics helper library is carried for compatibility with game files
  // made for other platforms; it is written out but never loaded here.
  std::string name = stream.ReadString();
  CStream library = stream.ReadStreamC();
  WriteHelperLibrary(name, library);
  StageDone("header, settings and helper library");

  return LoadGameSections(stream);
}

namespace {
struct RSectionStep {
  int progress;
  const char* text;
  bool (*load)(CStream&);
};

constexpr RSectionStep kSectionSteps[] = {
    {0, "Loading extension packages", LoadSection_Extensions},
    {5, "Loading triggers", LoadSection_Triggers},
    {6, "Loading constants", LoadSection_Constants},
    {7, "Loading sounds", LoadSection_Sounds},
    {10, "Loading sprites", LoadSection_Sprites},
    {23, "Loading backgrounds", LoadSection_Backgrounds},
    {30, "Loading paths", LoadSection_Paths},
    {32, "Loading scripts", LoadSection_Scripts},
    {34, "Loading fonts", LoadSection_Fonts},
    {36, "Loading time lines", LoadSection_TimeLines},
    {38, "Loading objects", LoadSection_Objects},
    {40, "Loading rooms", LoadSection_Rooms},
    {43, "Loading included files", LoadSection_IncludedFiles},
    {45, "Loading help", LoadSection_GameInfo},
    {47, "Loading library init code", LoadSection_LibraryInit},
    {49, "Loading room order", LoadSection_RoomOrder},
};
}  // namespace

bool LoadGameSections(CStream& stream) {
  // The sections are restored inside the file buffer and read from there.
  CStream sections = stream.ReadStreamEInPlace();
  StageDone("restore the permuted block of sections");
  int32_t padding = sections.ReadInteger();
  if (padding < 0) throw EStreamError("Stream read error: negative padding");
  sections.Skip(size_t(padding) * 4);
  sections.ReadInteger();  // reserved flags
  GameId = sections.ReadInteger();
  sections.ReadBuffer(GameGuid.data(), GameGuid.size());

  for (const RSectionStep& step : kSectionSteps) {
    SetLoadProgress(step.progress, step.text);
    if (!step.load(sections)) {
      if (step.load == LoadSection_Extensions) ShowMessage(kMsgExtensions);
      ShowMessage(kMsgResourceData);
      return false;
    }
    StageDone(step.text);
  }
  return true;
}

void ClearGameData() {
  DebugMode = false;
  GameId = 0;
  GameGuid = {};
  LastInstanceId = kFirstInstanceId;
  LastTileId = 10000000;
  GameDataOffset = 0;
  IncludedFiles.clear();
  GameInfo = RGameInfo();
  LibraryInitCode.clear();
  RoomOrder.clear();
}

bool LoadGameFromBuffer(std::vector<uint8_t> bytes) {
  try {
    CStream file(std::move(bytes));
    int64_t marker = FindGameData(file);
    StageDone("find the game data");
    if (marker < 0) {
      ShowMessage(kMsgNotValid);
      return false;
    }
    GameDataOffset = size_t(marker);
    bool ok = DescrambleGameData(file, size_t(marker));
    StageDone("descramble and verify the payload");
    if (ok) {
      file.Seek(size_t(marker) + 16);
      ok = ReadGameHeader(file);
    } else {
      ShowMessage(kMsgCorrupted);
    }
    ReleaseInflateScratch();
    return ok;
  } catch (const std::exception& e) {
    ReleaseInflateScratch();
    TraceWrite(std::string("Load error: ") + e.what());
    ShowMessage(kMsgCorrupted);
    return false;
  }
}

std::string GameFileProblem(const std::string& path) {
  // O_NONBLOCK: a FIFO must not hold the runner waiting for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "roomrun: " + path + ": " + std::strerror(errno);
  struct stat st;
  const bool got = fstat(fd, &st) == 0;
  const int why = errno;
  close(fd);
  if (!got) return "roomrun: " + path + ": " + std::strerror(why);
  if (S_ISDIR(st.st_mode))
    return "roomrun: " + path + ": is a folder, not a game file; pack it first: roompack " + path +
           " -o GAME.game";
  if (!S_ISREG(st.st_mode)) return "roomrun: " + path + ": not a regular file";
  return "";
}

bool FileHasGameData(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  return FindGameData(CStream(std::move(bytes))) >= 0;
}

bool OpenGameFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) {
    std::string problem = GameFileProblem(path);
    // The file changed between the look and the read.
    if (problem.empty()) problem = "roomrun: " + path + ": cannot be read";
    ShowMessage(problem);
    return false;
  }
  return LoadGameFromBuffer(std::move(bytes));
}
