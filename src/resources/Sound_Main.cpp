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
