#pragma once
// The font table: fonts by index (entries may be empty) with their names.
#include <string>
#include <string_view>

#include "resources/Font_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CFont>& FontList();
int FontCount();
bool FontExists(int index);
CFont* GetFont(int index);
std::string GetFontName(int index);
int FindFont(std::string_view name);
// Appends an empty font named "__newfont" + index; returns the index.
int AddFont();
int DuplicateFont(int index);
bool AssignFont(int target, int source);
bool DeleteFont(int index);
void ClearFonts();
// The atlas textures of the stored fonts (graphics start-up).
void Font_InitTextures();

// The fonts section of the game file: a resource list of version 800.
bool LoadSection_Fonts(CStream& stream);
void SaveSection_Fonts(CStream& stream);
