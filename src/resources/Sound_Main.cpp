#include "resources/Sound_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CSound>& SoundList() {
  static CResourceList<CSound> list;
  return list;
}
int SoundCount() { return SoundList().Count(); }
bool SoundExists(int index) { return SoundList().Exists(index); }
CSound* GetSound(int index) { return SoundList().Get(index); }
std::string GetSoundName(int index) { return SoundList().Name(index); }
int FindSound(std::string_view name) { return SoundList().Find(name); }
int AddSound() { return SoundList().Add(std::make_unique<CSound>(), "sound"); }
int DuplicateSound(int index) { return SoundList().Duplicate(index, "sound"); }
bool AssignSound(int target, int source) { return SoundList().Assign(target, source); }
bool DeleteSound(int index) { return SoundList().Delete(index); }
void ClearSounds() { SoundList().Clear(); }

bool LoadSection_Sounds(CStream& stream) { return LoadResourceSection(stream, SoundList()); }
void SaveSection_Sounds(CStream& stream) { SaveResourceSection(stream, SoundList()); }

int PresentSoundCount() {
  int n = 0;
  for (int i = 0; i < SoundCount(); ++i) n += SoundExists(i) ? 1 : 0;
  return n;
}

bool PrepareSounds() {
  for (int i = 0; i < SoundCount(); ++i)
    if (CSound* s = GetSound(i)) s->Prepare();
  return true;
}

int AddSound(const std::string& file, int kind, bool preload) {
  auto snd = std::make_unique<CSound>();
  if (!snd->LoadFromFile(file, kind, preload)) return -1;
  return SoundList().Add(std::move(snd), "sound");
}

bool ReplaceSound(int index, const std::string& file, int kind, bool preload) {
  CSound* s = SoundList().Ensure(index);
  return s != nullptr && s->LoadFromFile(file, kind, preload);
}
