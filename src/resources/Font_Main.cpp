#include "resources/Font_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CFont>& FontList() {
  static CResourceList<CFont> list;
  return list;
}
int FontCount() { return FontList().Count(); }
bool FontExists(int index) { return FontList().Exists(index); }
CFont* GetFont(int index) { return FontList().Get(index); }
std::string GetFontName(int index) { return FontList().Name(index); }
int FindFont(std::string_view name) { return FontList().Find(name); }
int AddFont() { return FontList().Add(std::make_unique<CFont>(), "font"); }
int DuplicateFont(int index) { return FontList().Duplicate(index, "font"); }
bool AssignFont(int target, int source) { return FontList().Assign(target, source); }
bool DeleteFont(int index) { return FontList().Delete(index); }
void ClearFonts() { FontList().Clear(); }

void Font_InitTextures() {
  for (int i = 0; i < FontList().Count(); ++i)
    if (CFont* item = FontList().Get(i)) item->InitTexture();
}

bool LoadSection_Fonts(CStream& stream) { return LoadResourceSection(stream, FontList()); }
void SaveSection_Fonts(CStream& stream) { SaveResourceSection(stream, FontList()); }
