#include "resources/Sound_Class.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runner/Support_File.h"
#include "runner/Support_Stream.h"

RSoundSystem& SoundSystem() {
  static RSoundSystem sys;
  return sys;
}

void CSound::Clear() {
  Discard();
  s_kind = -1;
  s_extension.clear();
  s_origname.clear();
  s_sound.reset();
  s_preload = true;
  s_effects = 0;
  s_volume = 1;
  s_pan = 0;
  s_fname.clear();
}

void CSound::Assign(const CSound& snd) {
  if (&snd == this) return;
  Clear();
  s_kind = snd.s_kind;
  s_extension = snd.s_extension;
  s_origname = snd.s_origname;
  if (snd.s_sound) s_sound = std::make_unique<std::vector<uint8_t>>(*snd.s_sound);
  s_preload = snd.s_preload;
  s_effects = snd.s_effects;
  s_volume = snd.s_volume;
  s_pan = snd.s_pan;
  s_fname = snd.s_fname;
}

bool CSound::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 800) return false;
  s_kind = str.ReadInteger();
  s_extension = str.ReadString();
  s_origname = str.ReadString();
  if (str.ReadBoolean()) {
    CStream data = str.ReadStream();
    s_sound = std::make_unique<std::vector<uint8_t>>(data.Data(), data.Data() + data.Size());
  }
  s_effects = str.ReadInteger();
  s_volume = str.ReadReal();
  s_pan = str.ReadReal();
  s_preload = str.ReadBoolean();
  return true;
}

void CSound::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteInteger(s_kind);
  str.WriteString(s_extension);
  str.WriteString(s_origname);
  str.WriteBoolean(s_sound != nullptr);
  if (s_sound) {
    str.WriteInteger(int(s_sound->size()));
    str.WriteBuffer(s_sound->data(), s_sound->size());
  }
  str.WriteInteger(s_effects);
  str.WriteReal(s_volume);
  str.WriteReal(s_pan);
  str.WriteBoolean(s_preload);
}

bool CSound::LoadFromFile(const std::string& file, int kind, bool preload) {
  Clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  std::ifstream f(file, std::ios::binary);
  if (!f) return false;
  s_sound = std::make_unique<std::vector<uint8_t>>((std::istreambuf_iterator<char>(f)),
                                                   std::istreambuf_iterator<char>());
  const std::filesystem::path p(file);
  s_extension = p.extension().string();
  s_origname = p.filename().string();
  s_kind = kind;
  s_preload = preload;
  Prepare();
  return true;
}

void CSound::Prepare() {
  if (s_preload) Restore();
}

void CSound::Restore() {
  const auto& sys = SoundSystem();
  if (s_kind >= 0 && s_kind <= 2) {
    if (!s_sound) return;
    s_soundid = sys.load_memory ? sys.load_memory(s_kind, *s_sound) : -1;
    if (s_soundid < 0) s_kind = 3;
  }
  if (s_kind == 3) {
    if (s_sound) {
      std::string fname = sys.temp_file_name ? sys.temp_file_name(s_extension) : std::string();
      if (!fname.empty()) {
        if (WriteWholeFile(fname, s_sound->data(), s_sound->size())) {
          s_fname = fname;
          s_sound.reset();
        }
      }
    }
    if (s_fname.empty()) return;
    s_soundid = sys.load_file ? sys.load_file(s_fname) : -1;
  }
  if (s_soundid >= 0) {
    if (s_effects > 0 && sys.set_effects) sys.set_effects(s_soundid, s_effects);
    if (sys.set_volume) sys.set_volume(s_soundid, s_volume);
    if (sys.set_pan) sys.set_pan(s_soundid, s_pan);
  }
}

void CSound::Discard() {
  if (s_soundid >= 0 && SoundSystem().unload) SoundSystem().unload(s_soundid);
  s_soundid = -1;
}

int CSound::GetSoundId() {
  if (s_soundid < 0) Restore();
  return s_soundid;
}
