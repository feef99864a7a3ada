#pragma once
// The sprite table: sprites by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Sprite_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CSprite>& SpriteList();
int SpriteCount();
bool SpriteExists(int index);
CSprite* GetSprite(int index);
std::string GetSpriteName(int index);
int FindSprite(std::string_view name);
// Appends an empty sprite named "__newsprite" + index; returns the index.
int AddSprite();
int DuplicateSprite(int index);
bool AssignSprite(int target, int source);
bool DeleteSprite(int index);
void ClearSprites();
// Makes the textures of every present sprite (once the render device exists).
void Sprite_InitTextures();

// The sprites section of the game file: a resource list of version 800.
bool LoadSection_Sprites(CStream& stream);
void SaveSection_Sprites(CStream& stream);
