#pragma once
// The background table: backgrounds by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Background_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CBackground>& BackgroundList();
int BackgroundCount();
bool BackgroundExists(int index);
CBackground* GetBackground(int index);
std::string GetBackgroundName(int index);
int FindBackground(std::string_view name);
// Appends an empty background named "__newbackground" + index; returns the index.
int AddBackground();
int DuplicateBackground(int index);
bool AssignBackground(int target, int source);
bool DeleteBackground(int index);
void ClearBackgrounds();
// Makes the textures of every present background (once the render device exists).
void Background_InitTextures();

// The backgrounds section of the game file: a resource list of version 800.
bool LoadSection_Backgrounds(CStream& stream);
void SaveSection_Backgrounds(CStream& stream);
