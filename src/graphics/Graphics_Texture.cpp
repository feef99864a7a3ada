// The texture list: slot search and reuse, creation and upload through the
// render device, and the queries the drawing routines and built-ins ask.
#include "graphics/Graphics_Texture.h"

#include <string>

#include "graphics/Graphics_D3D.h"
#include "platform/Platform.h"
#include "runner/Support_Various.h"

namespace {
std::vector<RTexture> g_textures;

void Trace(const char* where, const std::string& what) {
  if (TraceEnabled) TraceWrite(std::string(where) + " :: " + what);
}

IRenderDevice* Device() { return GR_D3D_Exists() ? RenderDevice() : nullptr; }

// The lowest free slot, appending one when every slot is in use.
int FindEmptySlot() {
  for (size_t i = 0; i < g_textures.size(); ++i)
    if (!g_textures[i].used) return int(i);
  g_textures.emplace_back();
  return int(g_textures.size()) - 1;
}

const RTexture* Get(int tex) {
  if (tex < 0 || size_t(tex) >= g_textures.size() || !g_textures[size_t(tex)].used) return nullptr;
  return &g_textures[size_t(tex)];
}

// The texture size the device gives a w x h image; false when it has none.
bool TextureSize(IRenderDevice* dev, int w, int h, int& wt, int& ht) {
  wt = ht = 0;
  dev->TextureSize(w, h, wt, ht);
  return wt >= w && ht >= h && wt > 0 && ht > 0;
}
}  // namespace

const std::vector<RTexture>& GR_Texture_List() { return g_textures; }

int GR_Texture_Create_And_Fill(int w, int h, const TColor32* pixels) {
  constexpr const char* kWhere = "GR_Texture_Create_And_Fill";
  IRenderDevice* dev = Device();
  if (dev == nullptr || w <= 0 || h <= 0 || pixels == nullptr) return -1;
  Trace(kWhere, "Find an empty index");
  const int n = FindEmptySlot();
  Trace(kWhere, "Found an empty index id=" + std::to_string(n));
  Trace(kWhere, "Check Texture Requirements w=" + std::to_string(w) + " h=" + std::to_string(h));
  int wt = 0, ht = 0;
  if (!TextureSize(dev, w, h, wt, ht)) return -1;
  Trace(kWhere, "D3DXCreateTextureFromFileInMemoryEx w=" + std::to_string(wt) + " h=" + std::to_string(ht));
  const unsigned handle = dev->CreateTexture(wt, ht, false);
  if (handle == 0) return -1;
  if (!dev->UploadTexture(handle, 0, 0, w, h, pixels)) {
    dev->FreeTexture(handle);
    return -1;
  }
  g_textures[size_t(n)] = RTexture{handle, w, h, wt, ht, true};
  return n;
}

int GR_Texture_Create_From_Bitmap(const TBitmap32& bm) {
  if (bm.Empty()) return -1;
  return GR_Texture_Create_And_Fill(bm.s_w, bm.s_h, bm.s_data.data());
}

int GR_Texture_Create_From_Coverage(int w, int h, const uint8_t* coverage) {
  if (w <= 0 || h <= 0 || coverage == nullptr || Device() == nullptr) return -1;
  std::vector<TColor32> px(size_t(w) * size_t(h));
  for (size_t i = 0; i < px.size(); ++i) px[i] = C32_Make(255, 255, 255, coverage[i]);
  return GR_Texture_Create_And_Fill(w, h, px.data());
}

int GR_Texture_Create_Empty(int w, int h, bool target) {
  constexpr const char* kWhere = "GR_Texture_Create_Empty";
  IRenderDevice* dev = Device();
  if (dev == nullptr || w <= 0 || h <= 0) return -1;
  Trace(kWhere, "Find an empty index");
  Trace(kWhere, target ? "Render Target" : "Texture");
  const int n = FindEmptySlot();
  Trace(kWhere, "Found an empty index id=" + std::to_string(n));
  Trace(kWhere, "Check Texture Requirements w=" + std::to_string(w) + " h=" + std::to_string(h));
  int wt = 0, ht = 0;
  if (!TextureSize(dev, w, h, wt, ht)) return -1;
  Trace(kWhere, "D3DXCreateTexture w=" + std::to_string(wt) + " h=" + std::to_string(ht));
  const unsigned handle = dev->CreateTexture(wt, ht, target);
  if (handle == 0) return -1;
  g_textures[size_t(n)] = RTexture{handle, w, h, wt, ht, true};
  Trace(kWhere, "Finished");
  return n;
}

void GR_Texture_Free(int tex) {
  Trace("GR_Texture_Free", std::to_string(tex));
  if (Get(tex) == nullptr) return;
  RTexture& t = g_textures[size_t(tex)];
  if (IRenderDevice* dev = Device()) dev->FreeTexture(t.tex);
  t = RTexture{};
  Trace("GR_Texture_Free", "Finished");
}

bool GR_Texture_Exists(int tex) { return Get(tex) != nullptr; }

double GR_Texture_Width(int tex) {
  const RTexture* t = Get(tex);
  return t ? double(t->w) / t->wt : 1.0;
}

double GR_Texture_Height(int tex) {
  const RTexture* t = Get(tex);
  return t ? double(t->h) / t->ht : 1.0;
}

void GR_Texture_Set(int tex) {
  if (IRenderDevice* dev = Device()) dev->BindTexture(GR_Texture_Device_Handle(tex));
}

unsigned GR_Texture_Device_Handle(int tex) {
  const RTexture* t = Get(tex);
  return t ? t->tex : 0;
}

// The device keeps every texture resident from its upload on and has no
// notion of residency priority, so there is nothing to hand it: preloading
// and priorities are accepted and change nothing.
void GR_Texture_Preload(int) {}
void GR_Texture_Set_Priority(int, int) {}

void GR_Texture_Reset_List() { g_textures.clear(); }
