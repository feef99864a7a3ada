#pragma once
// Sound resources: the bytes of a sound file with its kind, effects, volume
// and pan, and the handle of the sample once loaded into the sound system.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CStream;

// The sound system as seen by sound resources. The playback module installs
// these; without them no sample is ever loaded (ids stay -1).
struct RSoundSystem {
  // Loads a sample of kind 0-2 from bytes in memory; -1 on failure.
  std::function<int(int kind, const std::vector<uint8_t>& bytes)> load_memory;
  // Loads a kind-3 sample from a file; -1 on failure.
  std::function<int(const std::string& fname)> load_file;
  std::function<void(int id)> unload;
  std::function<void(int id, int effects)> set_effects;
  std::function<void(int id, double volume)> set_volume;
  std::function<void(int id, double pan)> set_pan;
  // A fresh temporary file name with the given extension.
  std::function<std::string(const std::string& extension)> temp_file_name;
};
RSoundSystem& SoundSystem();

class CSound {
 public:
  int s_kind = -1;
  std::string s_extension;
  std::string s_origname;
  std::unique_ptr<std::vector<uint8_t>> s_sound;
  bool s_preload = true;
  int s_effects = 0;
  double s_volume = 1;
  double s_pan = 0;
  int s_soundid = -1;
  std::string s_fname;

  CSound() = default;
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;
  ~CSound() { Discard(); }

  void Clear();
  void Assign(const CSound& snd);
  // Record: version 800, kind, extension, original name, data flag, data,
  // effects, volume, pan, preload.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  bool LoadFromFile(const std::string& file, int kind, bool preload);

  void Prepare();
  void Restore();
  void Discard();
  int GetSoundId();
};
