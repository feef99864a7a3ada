#include "resources/Sprite_Main.h"

#include <memory>

#include "resources/Resource_Section.h"

CResourceList<CSprite>& SpriteList() {
  static CResourceList<CSprite> list;
  return list;
}
int SpriteCount() { return SpriteList().Count(); }
bool SpriteExists(int index) { return SpriteList().Exists(index); }
CSprite* GetSprite(int index) { return SpriteList().Get(index); }
std::string GetSpriteName(int index) { return SpriteList().Name(index); }
int FindSprite(std::string_view name) { return SpriteList().Find(name); }
int AddSprite() { return SpriteList().Add(std::make_unique<CSprite>(), "sprite"); }
int DuplicateSprite(int index) { return SpriteList().Duplicate(index, "sprite"); }
bool AssignSprite(int target, int source) { return SpriteList().Assign(target, source); }
bool DeleteSprite(int index) { return SpriteList().Delete(index); }
void ClearSprites() { SpriteList().Clear(); }

void Sprite_InitTextures() {
  for (int i = 0; i < SpriteList().Count(); ++i)
    if (CSprite* item = SpriteList().Get(i)) item->InitTexture();
}

bool LoadSection_Sprites(CStream& stream) { return LoadResourceSection(stream, SpriteList()); }
void SaveSection_Sprites(CStream& stream) { SaveResourceSection(stream, SpriteList()); }
