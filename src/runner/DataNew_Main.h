#pragma once
// The game-file reader: finds the game data, checks and descrambles it, reads
// the header and settings, then every section in its fixed order. Also the
// state read from the game file that has no other owner: included files, the
// game information, the library initialisation code and the room order.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/DataNew_Class.h"

class CStream;

// --- layout constants ------------------------------------------------------
inline constexpr int kGameFileVersion = 810;
// Game data appended to the runner is searched from this file offset on.
inline constexpr size_t kGameDataOffset = 3800004;
// (A and kMarkerMaskA) + (B and kMarkerMaskB) == kMarkerValue at the marker.
inline constexpr uint32_t kMarkerMaskA = 0xFF00FF00u;
inline constexpr uint32_t kMarkerMaskB = 0x00FF00FFu;
inline constexpr uint32_t kMarkerValue = 0xF7140067u;

// Section versions, in load order.
inline constexpr int kSectionVersionExtensions = 700;
inline constexpr int kSectionVersionTriggers = 800;
inline constexpr int kSectionVersionConstants = 800;
inline constexpr int kSectionVersionSounds = 800;
inline constexpr int kSectionVersionSprites = 800;
inline constexpr int kSectionVersionBackgrounds = 800;
inline constexpr int kSectionVersionPaths = 800;
inline constexpr int kSectionVersionScripts = 800;
inline constexpr int kSectionVersionFonts = 800;
inline constexpr int kSectionVersionTimeLines = 800;
inline constexpr int kSectionVersionObjects = 800;
inline constexpr int kSectionVersionRooms = 800;
inline constexpr int kSectionVersionIncludedFiles = 800;
inline constexpr int kSectionVersionGameInfo = 800;
inline constexpr int kSectionVersionLibraryInit = 500;
inline constexpr int kSectionVersionRoomOrder = 700;
inline constexpr int kGameInfoVersion = 800;

// --- the messages of the load phase ----------------------------------------
inline constexpr const char* kMsgNotValid = "Error: Not a valid game file.";
inline constexpr const char* kMsgWrongVersion = "Error: Wrong version number.";
inline constexpr const char* kMsgResourceData = "Error: Error in resource data.";
inline constexpr const char* kMsgExtensions = "Error in loading extension packages.";
inline constexpr const char* kMsgCorrupted = "Failed to load the game data. File seems corrupted.";

// --- process-wide state read from the game file ------------------------------
extern bool DebugMode;
extern int GameId;
extern std::array<uint8_t, 16> GameGuid;
// Secure mode refuses exports outside the working places; off by default.
extern bool SecureMode;
// Counters of the ids used by the rooms; new instances and tiles get the next.
extern int LastInstanceId;
extern int LastTileId;
// Where the game data was found in the file that was read.
extern size_t GameDataOffset;

// Included files (section 13).
extern std::vector<CDataFile> IncludedFiles;
int FindIncludedFile(const std::string& name);  // exact match, or -1
CDataFile* GetIncludedFile(int index);           // nullptr when out of range
bool ExportIncludedFiles();                       // Prepare on each; always true
void RemoveIncludedFiles();                       // Remove on each

// Game information (section 14), kept as read; showing it is done elsewhere.
struct RGameInfo {
  int InfoColor = 0xFFFFE1;
  bool InfoEmbedded = false;
  std::string InfoCaption;
  int InfoLeft = -1, InfoTop = -1, InfoWidth = 600, InfoHeight = 400;
  bool InfoBorder = true;
  bool InfoSizeable = true;
  bool InfoOnTop = false;
  bool InfoModal = false;
  std::string InfoText;  // rich text
};
extern RGameInfo GameInfo;

// Library initialisation code (section 15) and room order (section 16).
extern std::vector<std::string> LibraryInitCode;
extern std::vector<int> RoomOrder;

// --- section loaders -----------------------------------------------------------
// Each reads its whole section from the sections stream and returns false when
// the section is wrong (bad version, a failing record). They may throw
// EStreamError on truncated or corrupt data. None of them shows a message:
// LoadGameSections shows the messages of a failed section.
bool LoadSection_Extensions(CStream& stream);
bool LoadSection_Triggers(CStream& stream);
bool LoadSection_Constants(CStream& stream);
bool LoadSection_Sounds(CStream& stream);
bool LoadSection_Sprites(CStream& stream);
bool LoadSection_Backgrounds(CStream& stream);
bool LoadSection_Paths(CStream& stream);
bool LoadSection_Scripts(CStream& stream);
bool LoadSection_Fonts(CStream& stream);
bool LoadSection_TimeLines(CStream& stream);
bool LoadSection_Objects(CStream& stream);
bool LoadSection_Rooms(CStream& stream);  // also reads the two id counters
bool LoadSection_IncludedFiles(CStream& stream);
bool LoadSection_GameInfo(CStream& stream);
bool LoadSection_LibraryInit(CStream& stream);
bool LoadSection_RoomOrder(CStream& stream);

// Helpers for framed sections: read "version, count" and check the version
// and that count is not negative. Return false on a mismatch.
bool ReadSectionHeader(CStream& stream, int version, int32_t& count);
// Reads a resource list whose records are not read yet: every block is
// inflated (so corrupt data fails the load) and dropped.
bool SkipResourceList(CStream& stream, int version);

// --- the load phase ----------------------------------------------------------
// Offset of the game data in file (the marker), or -1 when there is none. A
// file that begins with the marker is a bare game file; otherwise the search
// starts at kGameDataOffset.
int64_t FindGameData(const CStream& file);
// Restores the version word and descrambles the payload found at marker.
// Returns false on a checksum mismatch.
bool DescrambleGameData(CStream& file, size_t marker);
bool ReadGameHeader(CStream& stream);
bool LoadGameSections(CStream& stream);
// The whole load phase on the bytes of a file: marker search, descrambling,
// header, settings, library, sections. Shows the failure messages (through
// ShowMessage) and returns false on any failure; never exits and never lets
// an exception escape. The bytes are descrambled in place and dropped at the
// end: everything kept is copied out of them.
bool LoadGameFromBuffer(std::vector<uint8_t> bytes);
// Told the name of each stage of LoadGameFromBuffer as it ends (finding the
// data, descrambling, header and settings, restoring the sections, then each
// section by its progress text), so that a measurement can time the real
// path. None by default; set it only while no load runs.
using LoadStageObserver = void (*)(const char* stage);
void SetLoadStageObserver(LoadStageObserver observer);
// How many threads the load inflates with: two when the process may run on
// more than one processor, else one (a helper sharing the one processor
// would only add switches).
int LoadThreadCount();
// Why path cannot be played, as one "roomrun: PATH: reason" line, or "" when
// it is a regular file that can be opened. Reads nothing.
std::string GameFileProblem(const std::string& path);
// Whether the file holds game data (a bare game file or a program with a
// game appended).
bool FileHasGameData(const std::string& path);
// Reads the file and calls LoadGameFromBuffer; a file that cannot be read is
// named with the reason.
bool OpenGameFile(const std::string& path);
// Empties everything the load phase filled.
void ClearGameData();
