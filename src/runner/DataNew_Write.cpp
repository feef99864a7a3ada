#include "runner/DataNew_Write.h"

#include <sys/stat.h>

#include <random>

#include "runner/Support_File.h"

void CGameWriter::BeginList(int version, int32_t count) {
  sections_.WriteInteger(version);
  sections_.WriteInteger(count);
}

void CGameWriter::WriteBlock(const CStream& record) { sections_.WriteStreamC(record); }

void CGameWriter::WriteResource(const std::string& name, const CStream& record) {
  CStream block;
  block.WriteBoolean(true);
  block.WriteString(name);
  block.WriteBuffer(record.Data(), record.Size());
  sections_.WriteStreamC(block);
}

void CGameWriter::WriteEmptyResource() {
  CStream block;
  block.WriteBoolean(false);
  sections_.WriteStreamC(block);
}

void CGameWriter::WriteSingleBlock(int version, const CStream& content) {
  sections_.WriteInteger(version);
  sections_.WriteStreamC(content);
}

void CGameWriter::WriteEmptyResourceSections(int32_t last_instance_id, int32_t last_tile_id) {
  WriteEmptyList(kSectionVersionExtensions);
  WriteEmptyList(kSectionVersionTriggers);
  WriteEmptyList(kSectionVersionConstants);
  WriteEmptyList(kSectionVersionSounds);
  WriteEmptyList(kSectionVersionSprites);
  WriteEmptyList(kSectionVersionBackgrounds);
  WriteEmptyList(kSectionVersionPaths);
  WriteEmptyList(kSectionVersionScripts);
  WriteEmptyList(kSectionVersionFonts);
  WriteEmptyList(kSectionVersionTimeLines);
  WriteEmptyList(kSectionVersionObjects);
  WriteEmptyList(kSectionVersionRooms);
  sections_.WriteInteger(last_instance_id);
  sections_.WriteInteger(last_tile_id);
}

void WriteIncludedFileRecord(CStream& stream, const CDataFile& file) { file.SaveToStream(stream); }

void CGameWriter::WriteIncludedFiles(const std::vector<CDataFile>& files) {
  BeginList(kSectionVersionIncludedFiles, int32_t(files.size()));
  for (const CDataFile& f : files) {
    CStream record;
    f.SaveToStream(record);
    WriteBlock(record);
  }
}

void CGameWriter::WriteGameInfo(const RGameInfo& info) {
  CStream b;
  b.WriteInteger(info.InfoColor);
  b.WriteBoolean(info.InfoEmbedded);
  b.WriteString(info.InfoCaption);
  b.WriteInteger(info.InfoLeft);
  b.WriteInteger(info.InfoTop);
  b.WriteInteger(info.InfoWidth);
  b.WriteInteger(info.InfoHeight);
  b.WriteBoolean(info.InfoBorder);
  b.WriteBoolean(info.InfoSizeable);
  b.WriteBoolean(info.InfoOnTop);
  b.WriteBoolean(info.InfoModal);
  b.WriteInteger(int32_t(info.InfoText.size()));
  b.WriteBuffer(info.InfoText.data(), info.InfoText.size());
  WriteSingleBlock(kSectionVersionGameInfo, b);
}

void CGameWriter::WriteLibraryInitCode(const std::vector<std::string>& code) {
  BeginList(kSectionVersionLibraryInit, int32_t(code.size()));
  for (const std::string& c : code) sections_.WriteString(c);
}

void CGameWriter::WriteRoomOrder(const std::vector<int32_t>& rooms) {
  BeginList(kSectionVersionRoomOrder, int32_t(rooms.size()));
  for (int32_t r : rooms) sections_.WriteInteger(r);
}

std::vector<uint8_t> CGameWriter::BuildPayload() {
  std::mt19937 rng = ContentSeededRandom(sections_.Data(), sections_.Size());
  CStream out;
  out.WriteInteger(0);  // reserved
  out.WriteBoolean(debug);
  out.WriteInteger(0);  // reserved
  WriteGameSettingsRecord(out, settings);
  out.WriteString(library_name);
  out.WriteStreamC(library_bytes.data(), library_bytes.size());

  CStream block;
  int32_t padding = int32_t(rng() % 64);
  block.WriteInteger(padding);
  for (int32_t i = 0; i < padding; ++i) block.WriteInteger(int32_t(rng() % 0xFFFFFFF));
  block.WriteInteger(0);  // reserved flags
  block.WriteInteger(game_id);
  block.WriteBuffer(guid.data(), guid.size());
  block.WriteBuffer(sections_.Data(), sections_.Size());
  out.WriteStreamE(block);
  return out.TakeBytes();
}

std::vector<uint8_t> CGameWriter::Finish() {
  return SealGameFile(BuildPayload(), format_version, fixed_k1 ? &k1 : nullptr);
}

std::vector<uint8_t> SealGameFile(const std::vector<uint8_t>& payload, int format_version, const uint32_t* k1) {
  std::mt19937 rng = ContentSeededRandom(payload.data(), payload.size());
  // The marker halves: only the masked bytes are fixed, the others random, so
  // the marker is not a constant byte pattern.
  static_assert((kMarkerValue & 0xFF000000u) + (kMarkerValue & 0x00FF00FFu) == kMarkerValue);
  static_assert((kMarkerValue & 0x0000FF00u) == 0);
  uint32_t a = (rng() & ~kMarkerMaskA) | (kMarkerValue & 0xFF000000u);
  uint32_t b = (rng() & ~kMarkerMaskB) | (kMarkerValue & 0x00FF00FFu);
  uint32_t x = (a & 0x00FF00FFu) + (b & 0xFF00FF00u);

  CStream out;
  out.WriteCardinal(a);
  out.WriteCardinal(b);
  out.WriteCardinal(k1 ? *k1 : uint32_t(rng()));
  out.WriteCardinal(0);  // K2: the checksum, filled in by EncryptWad
  out.WriteCardinal(uint32_t(format_version) ^ x);
  out.WriteBuffer(payload.data(), payload.size());
  out.EncryptWad(8);
  return out.TakeBytes();
}

std::vector<uint8_t> MakeRunnableGame(const std::vector<uint8_t>& runner, const std::vector<uint8_t>& game) {
  std::vector<uint8_t> out(runner);
  if (out.size() < kGameDataOffset) out.resize(kGameDataOffset, 0);
  out.insert(out.end(), game.begin(), game.end());
  return out;
}

bool WriteRunnableGame(const std::string& runner_path, const std::vector<uint8_t>& game,
                       const std::string& out_path, std::string* error) {
  std::vector<uint8_t> runner;
  if (!ReadWholeFile(runner_path, runner)) {
    if (error) *error = "cannot read " + runner_path;
    return false;
  }
  std::vector<uint8_t> bytes = MakeRunnableGame(runner, game);
  std::string why;
  if (!ReplaceFileSafely(out_path, bytes.data(), bytes.size(), true, &why)) {
    if (error) *error = "cannot write " + out_path + ": " + why;
    return false;
  }
  return true;
}
