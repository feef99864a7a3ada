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

// Number of indices that hold a sound.
int PresentSoundCount();
// Calls Prepare on every sound.
bool PrepareSounds();
// Appends a sound loaded from a file; -1 (and no new entry) when the file
// cannot be loaded.
int AddSound(const std::string& file, int kind, bool preload);
// Loads a file into a valid index (creating the sound when empty).
bool ReplaceSound(int index, const std::string& file, int kind, bool preload);
