#include "resources/Background_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CBackground>& BackgroundList() {
  static CResourceList<CBackground> list;
  return list;
}
int BackgroundCount() { return BackgroundList().Count(); }
bool BackgroundExists(int index) { return BackgroundList().Exists(index); }
CBackground* GetBackground(int index) { return BackgroundList().Get(index); }
std::string GetBackgroundName(int index) { return BackgroundList().Name(index); }
int FindBackground(std::string_view name) { return BackgroundList().Find(name); }
int AddBackground() { return BackgroundList().Add(std::make_unique<CBackground>(), "background"); }
int DuplicateBackground(int index) { return BackgroundList().Duplicate(index, "background"); }
bool AssignBackground(int target, int source) { return BackgroundList().Assign(target, source); }
bool DeleteBackground(int index) { return BackgroundList().Delete(index); }
void ClearBackgrounds() { BackgroundList().Clear(); }

void Background_InitTextures() {
  for (int i = 0; i < BackgroundList().Count(); ++i)
    if (CBackground* item = BackgroundList().Get(i)) item->InitTexture();
}

bool LoadSection_Backgrounds(CStream& stream) { return LoadResourceSection(stream, BackgroundList()); }
void SaveSection_Backgrounds(CStream& stream) { SaveResourceSection(stream, BackgroundList()); }
