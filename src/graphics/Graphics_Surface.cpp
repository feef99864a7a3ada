// The surface list and the operations on surfaces, on top of the render
// targets of the render device.
#include "graphics/Graphics_Surface.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Texture.h"
#include "platform/Platform.h"
#include "runner/Support_File.h"

namespace {

struct RSurface {
  int tex = -1;
  int w = 0, h = 0;
  bool used = false;
};

// Slots are never removed: a freed slot is taken again by the next surface.
std::vector<RSurface> g_surfaces;
int g_target = -1;

RSurface* Get(int id) {
  if (id < 0 || size_t(id) >= g_surfaces.size() || !g_surfaces[size_t(id)].used) return nullptr;
  return &g_surfaces[size_t(id)];
}

long long Pow2(long long n) {
  long long p = 1;
  while (p < n) p <<= 1;
  return p;
}

}  // namespace

std::string GR_Surface_Size_Error(int w, int h) {
  const std::string size = std::to_string(w) + " x " + std::to_string(h);
  if (w < 1 || h < 1) return "Cannot create a surface of " + size + " pixels: both sides must be 1 or more.";
  if (w > kSurfaceMaxSide || h > kSurfaceMaxSide || Pow2(w) * Pow2(h) > kSurfaceMaxTexels)
    return "Cannot create a surface of " + size + " pixels: the largest is " + std::to_string(kSurfaceMaxSide) +
           " pixels a side and " + std::to_string(kSurfaceMaxTexels) + " texels in all.";
  return "";
}

int GR_Surface_Create(int w, int h) {
  if (!GR_D3D_Exists() || !GR_Surface_Size_Error(w, h).empty()) return -1;
  size_t slot = 0;
  while (slot < g_surfaces.size() && g_surfaces[slot].used) ++slot;
  if (slot == g_surfaces.size()) g_surfaces.emplace_back();
  // The render-target texture brings its own depth buffer, as large as the
  // texture: at least the next powers of two of the size.
  const int tex = GR_Texture_Create_Empty(w, h, true);
  if (tex < 0) return -1;
  g_surfaces[slot] = RSurface{tex, w, h, true};
  return int(slot);
}

void GR_Surface_Free(int id) {
  RSurface* s = Get(id);
  if (s == nullptr) return;
  if (g_target == id) GR_Surface_Reset_Target();
  // The device releases the depth buffer with the texture; it keeps no
  // reference past the draws it has already been given.
  GR_Texture_Free(s->tex);
  *s = RSurface{};
}

void GR_Surface_Free_All() {
  for (size_t i = 0; i < g_surfaces.size(); ++i) GR_Surface_Free(int(i));
}

void GR_Surface_Forget_All() {
  for (RSurface& s : g_surfaces) s = RSurface{};
  g_target = -1;
}

bool GR_Surface_Exists(int id) { return Get(id) != nullptr; }
int GR_Surface_Width(int id) { return Get(id) ? Get(id)->w : -1; }
int GR_Surface_Height(int id) { return Get(id) ? Get(id)->h : -1; }
int GR_Surface_Texture(int id) { return Get(id) ? Get(id)->tex : -1; }
int GR_Surface_Target() { return g_target; }

bool GR_Surface_Set_Target(int id) {
  const RSurface* s = Get(id);
  if (!GR_D3D_Exists() || s == nullptr) return false;
  if (g_target == id) return true;
  if (g_target >= 0) GR_Surface_Reset_Target();
  if (!GR_D3D_Set_Target(s->tex)) return false;
  GR_D3D_Set_Viewport(0, 0, s->w, s->h);
  GR_D3D_Set_View(0, 0, s->w, s->h, 0);
  g_target = id;
  return true;
}

bool GR_Surface_Reset_Target() {
  if (!GR_D3D_Exists() || g_target < 0) return false;
  if (!GR_D3D_Set_Target(-1)) return false;
  const int w = GR_D3D_Region_Width(), h = GR_D3D_Region_Height();
  GR_D3D_Set_Viewport(0, 0, w, h);
  GR_D3D_Set_View(0, 0, w, h, 0);
  g_target = -1;
  return true;
}

std::optional<TBitmap32> GR_Surface_Get_Picture(int id, int x, int y, int w, int h) {
  const RSurface* s = Get(id);
  if (!GR_D3D_Exists() || s == nullptr) return std::nullopt;
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (x >= s->w || y >= s->h) return std::nullopt;
  w = std::min(w, s->w - x);
  h = std::min(h, s->h - y);
  if (w <= 0 || h <= 0) return std::nullopt;
  TBitmap32 bm(w, h);
  if (!GR_D3D_Read_Target(s->tex, x, y, w, h, bm.s_data.data())) return std::nullopt;
  return bm;
}

void GR_Surface_Copy_Part(int dest, int x, int y, int src, int xs, int ys, int ws, int hs) {
  const RSurface* d = Get(dest);
  const RSurface* s = Get(src);
  IRenderDevice* dev = GR_D3D_Exists() ? RenderDevice() : nullptr;
  if (d == nullptr || s == nullptr || dev == nullptr) return;
  // Clipped in 64 bits: the game may pass any integers.
  long long X = x, Y = y, XS = xs, YS = ys, WS = ws, HS = hs;
  if (XS < 0) { X -= XS; WS += XS; XS = 0; }
  if (YS < 0) { Y -= YS; HS += YS; YS = 0; }
  if (XS + WS > s->w) WS = s->w - XS;
  if (YS + HS > s->h) HS = s->h - YS;
  if (X < 0) { XS -= X; WS += X; X = 0; }
  if (Y < 0) { YS -= Y; HS += Y; Y = 0; }
  if (X + WS > d->w) WS = d->w - X;
  if (Y + HS > d->h) HS = d->h - Y;
  if (WS <= 0 || HS <= 0) return;
  std::vector<uint32_t> px(size_t(WS) * size_t(HS));
  if (!GR_D3D_Read_Target(s->tex, int(XS), int(YS), int(WS), int(HS), px.data())) return;
  dev->UploadTexture(GR_Texture_Device_Handle(d->tex), int(X), int(Y), int(WS), int(HS), px.data());
}

bool GR_Picture_Save(const std::string& fname, const TBitmap32& picture) {
  std::string ext = fname.size() >= 4 ? fname.substr(fname.size() - 4) : "";
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".png") return picture.SaveToImageFile(fname);
  const std::vector<uint8_t> bmp = picture.SaveToBMP();
  return !bmp.empty() && WriteWholeFile(fname, bmp.data(), bmp.size());
}
