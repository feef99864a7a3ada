#pragma once
// The game settings, read once from the game file and then read everywhere.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CStream;
struct TBitmap32;

extern bool opt_fullscreen;
extern bool opt_interpolate;
extern bool opt_noborder;
extern bool opt_showcursor;
extern int opt_scale;
extern bool opt_sizeable;
extern bool opt_stayontop;
extern int opt_windowcolor;
extern bool opt_changeresolution;
extern int opt_colordepth;
extern int opt_resolution;
extern int opt_frequency;
extern bool opt_nobuttons;
extern int opt_sync;
extern bool opt_noscreensaver;
extern bool opt_keyf4;
extern bool opt_keyf1;
extern bool opt_keyesc;
extern bool opt_keyf5;
extern bool opt_keyf9;
extern bool opt_closeasesc;
extern int opt_priority;
extern bool opt_freeze;
extern bool opt_showprogress;
extern bool opt_loadtransparent;
extern int opt_loadalpha;
extern bool opt_scaleprogress;
extern bool opt_showerrors;
extern bool opt_logerrors;
extern bool opt_aborterrors;
extern bool opt_uninitzero;
extern bool opt_argerrors;
extern bool opt_createfirst;

// The loading window's pictures as stored: the bytes of a BMP file, or none.
extern std::optional<std::vector<uint8_t>> opt_progressback;
extern std::optional<std::vector<uint8_t>> opt_progressfront;
extern std::optional<std::vector<uint8_t>> opt_loadimage;

// The settings record as it is stored in the game file. The reader fills one
// and then applies it to the opt_ globals; the packer fills one and writes it.
struct RGameSettings {
  int version = 820;  // the settings version stored before the record
  bool fullscreen = false;
  bool interpolate = false;
  bool noborder = false;
  bool showcursor = true;
  int scale = 100;
  bool sizeable = false;
  bool stayontop = false;
  int windowcolor = 0;
  bool changeresolution = false;
  int colordepth = 0;
  int resolution = 0;
  int frequency = 0;
  bool nobuttons = false;
  int sync = 0;
  bool noscreensaver = false;
  bool keyf4 = true;
  bool keyf1 = true;
  bool keyesc = true;
  bool keyf5 = true;
  bool keyf9 = true;
  bool closeasesc = true;
  int priority = 0;
  bool freeze = false;
  bool showprogress = true;
  std::optional<std::vector<uint8_t>> progressback;   // only stored when showprogress
  std::optional<std::vector<uint8_t>> progressfront;  // only stored when showprogress
  std::optional<std::vector<uint8_t>> loadimage;
  bool loadtransparent = false;
  int loadalpha = 255;
  bool scaleprogress = false;
  bool showerrors = true;
  bool logerrors = false;
  bool aborterrors = false;
  bool uninitzero = false;  // flags bit 0
  bool argerrors = false;   // flags bit 1
  int reserved = 0;         // only stored from version 820 on
  bool createfirst = false; // only stored from version 820 on
};

// The oldest settings version the reader accepts.
constexpr int kSettingsMinVersion = 800;

// Reads the settings version and the compressed settings block. Returns false
// for a version below 800; throws EStreamError on broken data.
bool ReadGameSettingsRecord(CStream& stream, RGameSettings& settings);
// Writes the settings version and the compressed settings block.
void WriteGameSettingsRecord(CStream& stream, const RGameSettings& settings);
// Copies a record into the opt_ globals (moving the pictures out of it).
void ApplyGameSettings(RGameSettings& settings);
// Reads the settings and applies them. Returns false for a bad version.
bool ReadGameSettings(CStream& stream);
