#pragma once
// The sound table: sounds by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Sound_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CSound>& SoundList();
int SoundCount();
bool SoundExists(int index);
CSound* GetSound(int index);
std::string GetSoundName(int index);
int FindSound(std::string_view name);
// Appends an empty sound named "__newsound" + index; returns the index.
int AddSound();
int DuplicateSound(int index);
bool AssignSound(int target, int source);
bool DeleteSound(int index);
void ClearSounds();

// The sounds section of the game file: a resource list of version 800.
bool LoadSection_Sounds(CStream& stream);
void SaveSection_Sounds(CStream& stream);
