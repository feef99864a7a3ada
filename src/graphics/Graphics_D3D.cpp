// The game's render device: settings kept on our side, creation with
// fall-backs, the 2D view transform, frames and pixel reads.
#include "graphics/Graphics_D3D.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "platform/Platform.h"
#include "runner/Support_Various.h"

namespace {

struct RDeviceState {
  bool exists = false;
  int region_w = 640, region_h = 480;
  RDeviceParams params;
  RDeviceCaps caps;
  int wanted_samples = 0;
  bool reset_requested = false;
  bool vsync = false;
  bool mode3d = false;
  double depth = 0;
  bool hidden = true;
  bool perspective = true;
  bool fog_enabled = false;
  RDeviceStates states;
  RPresentPlacement placement;
  double view[5] = {0, 0, 640, 480, 0};
  int viewport[4] = {0, 0, 640, 480};
  unsigned target = 0;  // device handle of the render target, 0 the back buffer
  float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
RDeviceState g;

IRenderDevice* Device() { return g.exists ? RenderDevice() : nullptr; }

RDisplayMode DisplayMode() {
  if (IGameWindow* w = GameWindow()) return w->Display();
  return RDisplayMode{};
}

// Row-vector matrices, stored row by row.
struct M4 {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct V3 {
  double x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Normal(V3 a) {
  const double l = std::sqrt(Dot(a, a));
  return l > 0 ? V3{a.x / l, a.y / l, a.z / l} : a;
}

M4 LookAtLH(V3 eye, V3 at, V3 up) {
  const V3 z = Normal(Sub(at, eye));
  const V3 x = Normal(Cross(up, z));
  const V3 y = Cross(z, x);
  M4 r;
  const float v[16] = {float(x.x), float(y.x), float(z.x), 0, float(x.y), float(y.y), float(z.y), 0,
                       float(x.z), float(y.z), float(z.z), 0, float(-Dot(x, eye)), float(-Dot(y, eye)),
                       float(-Dot(z, eye)), 1};
  std::copy(v, v + 16, r.m);
  return r;
}

M4 OrthoLH(double w, double h, double zn, double zf) {
  M4 r;
  r.m[0] = float(2 / w);
  r.m[5] = float(2 / h);
  r.m[10] = float(1 / (zf - zn));
  r.m[14] = float(zn / (zn - zf));
  return r;
}

M4 PerspectiveLH(double w, double h, double zn, double zf) {
  M4 r;
  r.m[0] = float(2 * zn / w);
  r.m[5] = float(2 * zn / h);
  r.m[10] = float(zf / (zf - zn));
  r.m[11] = 1;
  r.m[14] = float(zn * zf / (zn - zf));
  r.m[15] = 0;
  return r;
}

RDeviceStates EffectiveStates() {
  RDeviceStates s = g.states;
  s.depth_test = g.mode3d && g.hidden;
  s.alpha_test = s.depth_test;
  s.fog = g.fog_enabled;
  return s;
}

void ApplyStates() {
  if (IRenderDevice* d = Device()) d->SetStates(EffectiveStates());
}

void ApplyView() {
  IRenderDevice* d = Device();
  if (d == nullptr) return;
  const double x = g.view[0], y = g.view[1], w = g.view[2], h = g.view[3], angle = g.view[4];
  const double t = -angle * M_PI / 180;
  const V3 at{x + w / 2, y + h / 2, 0};
  const V3 up{std::sin(t), std::cos(t), 0};
  M4 view, proj;
  if (g.mode3d && g.perspective) {
    view = LookAtLH({x + w / 2, y + h / 2, -w}, at, up);
    proj = PerspectiveLH(1, h / w, 1, 32000);
  } else {
    view = LookAtLH({x + w / 2, y + h / 2, -16000}, at, up);
    proj = OrthoLH(w, -h, 1, 32000);
  }
  d->SetTransform(ETransform::View, view.m);
  d->SetTransform(ETransform::Projection, proj.m);
}

bool CreateWithFallbacks(IRenderDevice& d, bool software) {
  const std::string processing = software ? "S/W" : "H/W";
  struct RTry {
    int depth;
    const char* text;
  };
  const RTry tries[] = {{24, " processing + D24S8 + Copy"}, {16, " processing + D16 + Copy"},
                        {16, " processing + D16 + Discard"}};
  std::string error;
  for (const RTry& t : tries) {
    TraceWrite("D3D Create Device :: " + processing + t.text);
    g.params.depth_bits = t.depth;
    if (d.Create(g.params, error)) return true;
  }
  TraceWrite("D3D Create Device :: S/W processing + D16 + Discard");
  if (d.Create(g.params, error)) return true;
  ShowMessage(
      "D3D.CreateDevice() Error: Please check that your graphics card meets the minimum requirements and that your "
      "drivers are up-to-date. If your graphics card has little memory, try switching your computer to a lower "
      "resolution. (Error: " +
      error + ")");
  return false;
}

}  // namespace

uint32_t GR_Color(int color, double alpha) {
  const double a = std::nearbyint(std::clamp(alpha * 255, 0.0, 255.0));
  return C32_FromColor(color, std::isnan(a) ? 0 : int(a));
}

bool GR_D3D_Init(int width, int height, int flags) {
  g.vsync = (flags & 1) != 0;
  const RDisplayMode mode = DisplayMode();
  g.region_w = std::min(width, mode.width);
  g.region_h = std::min(height, mode.height);
  if (mode.depth != 16 && mode.depth != 32) {
    ShowMessage(
        "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in your display "
        "properties and run again.");
    return false;
  }
  IRenderDevice* d = RenderDevice();
  if (d == nullptr) {
    ShowMessage(
        "Failed to initialize Direct3D. Old graphics cards do not support this. Also make sure version 8.0 or later "
        "of DirectX is installed on your machine.");
    return false;
  }
  g.params = RDeviceParams{};
  g.params.width = mode.width;
  g.params.height = mode.height;
  g.params.samples = 0;
  g.params.vsync = g.vsync;
  g.wanted_samples = 0;
  if (!CreateWithFallbacks(*d, flags < 0)) return false;
  g.exists = true;
  TraceWrite("D3D Create Device :: Success");
  g.caps = d->Caps();
  TraceWrite("D3D Create Device :: Clear");
  d->BeginScene();
  d->SetViewport(0, 0, g.params.width, g.params.height);
  d->Clear(true, true, 0, 0);
  GR_D3D_Set_Viewport(0, 0, g.region_w, g.region_h);
  GR_D3D_Set_View(0, 0, g.region_w, g.region_h, 0);
  TraceWrite("D3D Create Device :: Texture Init");
  GR_Texture_Reset_List();
  GR_Surface_Forget_All();
  g.target = 0;
  TraceWrite("D3D Create Device :: Settings Init");
  GR_D3D_Apply_Settings();
  if (IGameWindow* w = GameWindow()) w->SetVsync(g.vsync);
  TraceWrite("D3D Create Device :: Finished");
  return true;
}

bool GR_D3D_Exists() { return Device() != nullptr; }

bool GR_D3D_Start_Frame() {
  IRenderDevice* d = Device();
  if (d == nullptr) return false;
  d->BeginScene();
  return true;
}

namespace {
bool Present() {
  IRenderDevice* d = Device();
  const RPresentPlacement& p = g.placement;
  return d->Present(0, 0, g.region_w, g.region_h, p.x, p.y, p.w, p.h, p.client_w, p.client_h, p.border_color);
}
}  // namespace

bool GR_D3D_End_Frame() {
  IRenderDevice* d = Device();
  if (d == nullptr) return false;
  d->EndScene();
  if (!Present()) GR_D3D_Reset();
  return true;
}

bool GR_D3D_Refresh() {
  if (Device() == nullptr) return false;
  return Present();
}

bool GR_D3D_Reset() {
  IRenderDevice* d = Device();
  if (d == nullptr) return false;
  const RDisplayMode mode = DisplayMode();
  if ((d->Caps().multisample_mask & g.wanted_samples) == 0) g.wanted_samples = 0;
  g.params.samples = g.wanted_samples;
  g.params.width = std::max(g.params.width, mode.width);
  g.params.height = std::max(g.params.height, mode.height);
  // Render targets do not outlive a reset: the game makes its surfaces anew.
  GR_Surface_Free_All();
  std::string error;
  if (!d->Reset(g.params, error)) {
    TraceWrite("Device reset failed: " + error);
    std::this_thread::sleep_for(std::chrono::milliseconds(5000));
    if (!d->Reset(g.params, error)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5000));
      g.wanted_samples = 0;
      g.params.samples = 0;
      if (!d->Reset(g.params, error)) {
        ShowMessage("The render device could not be reset: " + error);
        std::exit(1);
      }
    }
  }
  g.caps = d->Caps();
  d->BeginScene();
  d->SetViewport(0, 0, g.params.width, g.params.height);
  d->Clear(true, true, 0, 1);
  GR_D3D_Set_Viewport(0, 0, g.region_w, g.region_h);
  ApplyView();
  GR_D3D_Apply_Settings();
  return true;
}

void GR_D3D_Finish() {
  if (IRenderDevice* d = Device()) d->Release();
  g.exists = false;
  g.target = 0;
  GR_Surface_Forget_All();
}

void GR_D3D_Set_Region(int w, int h) {
  const RDisplayMode mode = DisplayMode();
  w = std::min(w, mode.width);
  h = std::min(h, mode.height);
  if (w == g.region_w && h == g.region_h) return;
  g.region_w = w;
  g.region_h = h;
  GR_D3D_Set_Viewport(0, 0, w, h);
  GR_D3D_Set_View(0, 0, w, h, 0);
}

void GR_D3D_Get_Region(int& w, int& h) {
  w = g.region_w;
  h = g.region_h;
}
int GR_D3D_Region_Width() { return g.region_w; }
int GR_D3D_Region_Height() { return g.region_h; }

void GR_D3D_Set_Viewport(int x, int y, int w, int h) {
  g.viewport[0] = x;
  g.viewport[1] = y;
  g.viewport[2] = w;
  g.viewport[3] = h;
  if (IRenderDevice* d = Device()) d->SetViewport(x, y, w, h);
}

bool GR_D3D_Set_Target(int tex) {
  IRenderDevice* d = Device();
  if (d == nullptr) return false;
  const unsigned handle = tex < 0 ? 0 : GR_Texture_Device_Handle(tex);
  if (tex >= 0 && handle == 0) return false;
  if (!d->SetRenderTarget(handle)) return false;
  g.target = handle;
  return true;
}

bool GR_D3D_Read_Target(int tex, int x, int y, int w, int h, uint32_t* out) {
  IRenderDevice* d = Device();
  if (d == nullptr) return false;
  const unsigned handle = tex < 0 ? 0 : GR_Texture_Device_Handle(tex);
  if (tex >= 0 && handle == 0) return false;
  if (handle == g.target) return d->ReadPixels(x, y, w, h, out);
  // Reading another target means binding it for a moment; the device gives
  // a new target a viewport of its own, so ours is put back afterwards.
  if (!d->SetRenderTarget(handle)) return false;
  const bool ok = d->ReadPixels(x, y, w, h, out);
  d->SetRenderTarget(g.target);
  d->SetViewport(g.viewport[0], g.viewport[1], g.viewport[2], g.viewport[3]);
  return ok;
}

void GR_D3D_Set_View(double x, double y, double w, double h, double angle) {
  g.view[0] = x;
  g.view[1] = y;
  g.view[2] = w;
  g.view[3] = h;
  g.view[4] = angle;
  ApplyView();
}

void GR_D3D_Set_World(const float m[16]) {
  std::copy(m, m + 16, g.world);
  if (IRenderDevice* d = Device()) d->SetTransform(ETransform::World, m);
}

void GR_D3D_Get_World(float m[16]) { std::copy(g.world, g.world + 16, m); }

int GR_D3D_Max_Primitives() { return std::max(g.caps.max_primitives, 1); }

void GR_D3D_Set_Blend(int src, int dst) {
  g.states.blend_src = src;
  g.states.blend_dst = dst;
  ApplyStates();
}

void GR_D3D_Set_Blend_Mode(int mode) {
  switch (mode) {
    case 1: GR_D3D_Set_Blend(5, 2); break;
    case 2: GR_D3D_Set_Blend(5, 4); break;
    case 3: GR_D3D_Set_Blend(1, 4); break;
    default: GR_D3D_Set_Blend(5, 6); break;
  }
}

void GR_D3D_Set_Interpolation(bool on) {
  g.states.interpolate = on;
  ApplyStates();
}
void GR_D3D_Set_Texture_Blending(bool on) {
  g.states.texture_blend = on;
  ApplyStates();
}
void GR_D3D_Set_Texture_Repeat(bool on) {
  g.states.repeat = on;
  ApplyStates();
}
bool GR_D3D_Get_Interpolation() { return g.states.interpolate; }
bool GR_D3D_Get_Texture_Repeat() { return g.states.repeat; }
void GR_D3D_Set_Culling(bool on) {
  g.states.cull = on;
  ApplyStates();
}
void GR_D3D_Set_Shading(bool smooth) {
  g.states.smooth_shading = smooth;
  ApplyStates();
}
void GR_D3D_Set_Hidden(bool on) {
  g.hidden = on;
  ApplyStates();
}

void GR_D3D_Set_Fog(bool enable, int color, double start, double end) {
  g.states.fog_color = GR_Color(color, 1);
  g.states.fog_start = float(start);
  g.states.fog_end = float(end);
  g.fog_enabled = enable && (!g.exists || g.caps.table_fog || g.caps.vertex_fog);
  ApplyStates();
}

void GR_D3D_Set_3D(bool on) {
  g.mode3d = on;
  g.hidden = on;
  g.perspective = on;
  if (!on) g.depth = 0;
  ApplyStates();
}
bool GR_D3D_Get_3D() { return g.mode3d; }
double GR_D3D_Depth() { return g.mode3d ? g.depth : 0; }
void GR_D3D_Set_Depth(double depth) { g.depth = depth; }

void GR_D3D_Apply_Settings() {
  ApplyStates();
  static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  GR_D3D_Set_World(kIdentity);
}

void GR_D3D_Set_Synchronization(bool on) {
  g.vsync = on;
  if (IGameWindow* w = GameWindow(); w && g.exists) w->SetVsync(on);
}
bool GR_D3D_Get_Synchronization() { return g.vsync; }
int GR_D3D_AA_Mask() { return g.caps.multisample_mask; }

void GR_D3D_Request_Reset(int aa) {
  g.wanted_samples = (aa == 2 || aa == 4 || aa == 8) ? aa : 0;
  g.reset_requested = true;
}

bool GR_D3D_Reset_Requested() {
  const bool r = g.reset_requested;
  g.reset_requested = false;
  return r;
}

void GR_D3D_Clear(int color, double alpha) {
  if (IRenderDevice* d = Device()) d->Clear(true, false, GR_Color(color, alpha), 1);
}

void GR_D3D_Clear_Depth() {
  if (IRenderDevice* d = Device()) d->Clear(false, true, 0, 1);
}

void GR_D3D_Draw(EPrimitive kind, const RDeviceVertex* v, int count, int tex, bool clamp) {
  IRenderDevice* d = Device();
  if (d == nullptr || count <= 0) return;
  d->BindTexture(GR_Texture_Device_Handle(tex));
  d->Draw(kind, v, count, clamp);
}

std::optional<TBitmap32> GR_D3D_Capture(int x, int y, int w, int h) {
  IRenderDevice* d = Device();
  if (d == nullptr) return std::nullopt;
  x = std::max(x, 0);
  y = std::max(y, 0);
  // The game may ask for any size: compared without overflowing.
  if (int64_t(x) + w > g.region_w) w = g.region_w - x;
  if (int64_t(y) + h > g.region_h) h = g.region_h - y;
  if (w <= 0 || h <= 0) return std::nullopt;
  TBitmap32 bm(w, h);
  // The back buffer, even while a surface is the drawing target.
  if (!GR_D3D_Read_Target(-1, x, y, w, h, bm.s_data.data())) return std::nullopt;
  // The back buffer has no alpha of its own: a capture is opaque.
  for (TColor32& p : bm.s_data) p |= 0xFF000000u;
  return bm;
}

std::optional<TBitmap32> GR_D3D_Capture_Screen() { return GR_D3D_Capture(0, 0, g.region_w, g.region_h); }

int GR_D3D_Get_Pixel(int x, int y) {
  std::optional<TBitmap32> bm = GR_D3D_Capture(x, y, 1, 1);
  if (!bm) return 0;
  const TColor32 c = bm->s_data[0];
  return C32_Red(c) | (C32_Green(c) << 8) | (C32_Blue(c) << 16);
}

void GR_D3D_Set_Placement(const RPresentPlacement& placement) { g.placement = placement; }
