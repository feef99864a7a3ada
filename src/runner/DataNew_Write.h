#pragma once
// Writing game files: the exact mirror of the reader in DataNew_Main. Used by
// the packer and by tests that need game files of every shape.
//
// Typical use:
//   CGameWriter w;
//   w.settings.fullscreen = true;
//   w.game_id = 1234;
//   w.BeginList(kSectionVersionExtensions, 0);         // section 1
//   ...                                                 // sections 2-12
//   w.WriteIncludedFiles(files);                        // section 13
//   w.WriteGameInfo(info);                              // section 14
//   w.WriteLibraryInitCode({});                         // section 15
//   w.WriteRoomOrder({0});                              // section 16
//   std::vector<uint8_t> game = w.Finish();
//   WriteRunnableGame(runner_path, game, out_path);     // or save game as is
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/DataNew_Class.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runner/Support_Stream.h"

class CGameWriter {
 public:
  // Header fields.
  int format_version = kGameFileVersion;
  bool debug = false;
  RGameSettings settings;  // settings.version is the settings version (820)
  std::string library_name = "D3DX8.dll";
  std::vector<uint8_t> library_bytes;
  int32_t game_id = 0;
  std::array<uint8_t, 16> guid{};
  // Key number of the payload scrambling; random when not set.
  bool fixed_k1 = false;
  uint32_t k1 = 0;

  // The sections, in load order; everything written here follows the GUID.
  CStream& Sections() { return sections_; }

  // --- section shapes ------------------------------------------------------
  // "version, count": the start of a record list or of a resource list.
  void BeginList(int version, int32_t count);
  // One compressed block holding record (as is).
  void WriteBlock(const CStream& record);
  // One resource of a resource list: a block of "exists" true, the name and
  // the record's bytes.
  void WriteResource(const std::string& name, const CStream& record);
  // An empty index of a resource list: a block holding "exists" false.
  void WriteEmptyResource();
  // A single-block section: version, then one compressed block.
  void WriteSingleBlock(int version, const CStream& content);
  // A resource list with no entries (version, count 0).
  void WriteEmptyList(int version) { BeginList(version, 0); }
  // Sections 1-12 with no entries (rooms with the given id counters).
  void WriteEmptyResourceSections(int32_t last_instance_id = 100000, int32_t last_tile_id = 10000000);

  // --- the sections this reader owns -----------------------------------------
  void WriteIncludedFiles(const std::vector<CDataFile>& files);
  void WriteGameInfo(const RGameInfo& info);
  void WriteLibraryInitCode(const std::vector<std::string>& code);
  void WriteRoomOrder(const std::vector<int32_t>& rooms);

  // Builds the complete bare game file: marker, keys, version, header,
  // settings, library and the permuted block of sections, scrambled.
  std::vector<uint8_t> Finish();
  // The plain payload (what follows the format version): header, settings,
  // library and the permuted block of sections.
  std::vector<uint8_t> BuildPayload();

 private:
  CStream sections_;
};

// Puts a plain payload into a game file: marker, K1 (random when k1 is
// null), K2, the scrambled format version, then the payload, scrambled so
// that the reader's descrambling restores and verifies it.
std::vector<uint8_t> SealGameFile(const std::vector<uint8_t>& payload, int format_version = kGameFileVersion,
                                  const uint32_t* k1 = nullptr);

// Builds one included-file record block content (for tests of odd records).
void WriteIncludedFileRecord(CStream& stream, const CDataFile& file);

// The runnable copy: the runner's bytes padded with zeros to kGameDataOffset
// when shorter, then the game.
std::vector<uint8_t> MakeRunnableGame(const std::vector<uint8_t>& runner, const std::vector<uint8_t>& game);
// Same, reading the runner from runner_path and writing an executable file to
// out_path. Returns false (with a reason in error) on any file error.
bool WriteRunnableGame(const std::string& runner_path, const std::vector<uint8_t>& game,
                       const std::string& out_path, std::string* error = nullptr);
