#pragma once
// The render device seam: the few operations the graphics tier needs from a
// 3D interface. The graphics tier keeps every setting and all geometry; a
// backend only does what it is told. Rows, viewports and pixel reads are
// top-down, as the game sees them; a backend hides its own conventions.
#include <cstdint>
#include <string>

// A vertex as every drawing routine builds it: position, colour (alpha in
// bits 24-31, red 16-23, green 8-15, blue 0-7) and texture coordinates.
struct RDeviceVertex {
  float x = 0, y = 0, z = 0;
  uint32_t color = 0xFFFFFFFF;
  float u = 0, v = 0;
};
static_assert(sizeof(RDeviceVertex) == 24);

enum class EPrimitive { PointList, LineList, LineStrip, TriangleList, TriangleStrip, TriangleFan };
enum class ETransform { World, View, Projection };

// The render states. Blend factors use the numbering of the game's bm_*
// constants (1 zero ... 11 source alpha saturated).
struct RDeviceStates {
  int blend_src = 5, blend_dst = 6;
  bool interpolate = true;     // linear texture filtering, else nearest
  bool texture_blend = true;   // texture x vertex colour, else texture alone
  bool repeat = false;         // wrap texture addressing, else clamp
  bool cull = false;           // cull counter-clockwise triangles
  bool depth_test = false;     // depth test and write
  bool alpha_test = false;     // only pixels with alpha > 0 are drawn
  bool fog = false;
  uint32_t fog_color = 0;      // as a vertex colour
  float fog_start = 0, fog_end = 1;
  bool smooth_shading = true;
  bool operator==(const RDeviceStates&) const = default;
};

// Creation parameters: the back buffer's size (the desktop's), its depth
// buffer (24 bits with 8 of stencil, or 16), and the multisample count.
struct RDeviceParams {
  int width = 640, height = 480;
  int depth_bits = 24;
  int samples = 0;
  bool vsync = false;
};

struct RDeviceCaps {
  int max_primitives = 65535;  // per draw call
  int multisample_mask = 0;    // bit 2, 4, 8, 16 for each supported count
  bool table_fog = true, vertex_fog = true, range_fog = false;
};

class IRenderDevice {
 public:
  virtual ~IRenderDevice() = default;

  // Creates the back buffer and everything drawing needs. False with a
  // reason in error.
  virtual bool Create(const RDeviceParams& params, std::string& error) = 0;
  // Rebuilds the device with new parameters. Textures survive; render
  // targets do not need to.
  virtual bool Reset(const RDeviceParams& params, std::string& error) = 0;
  virtual void Release() = 0;
  virtual RDeviceCaps Caps() const = 0;

  virtual void BeginScene() = 0;
  virtual void EndScene() = 0;
  // Shows the source rectangle of the back buffer in the destination
  // rectangle of the window's client area (client_w x client_h); the rest of
  // the client area is filled with border_color (a colour integer,
  // 0x00BBGGRR). False when the picture could not be shown.
  virtual bool Present(int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh, int client_w, int client_h,
                       int border_color) = 0;

  // Clears the current viewport: colour (alpha in bits 24-31, red 16-23 ...)
  // and/or depth.
  virtual void Clear(bool target, bool depth, uint32_t color, float z) = 0;
  virtual void SetViewport(int x, int y, int w, int h) = 0;
  // Matrices for row vectors (v' = v M), stored row by row.
  virtual void SetTransform(ETransform which, const float m[16]) = 0;
  virtual void SetStates(const RDeviceStates& states) = 0;

  // Textures: a handle > 0, 0 for none. TextureSize gives the size a texture
  // holding a w x h image gets (the next powers of two).
  virtual void TextureSize(int w, int h, int& wt, int& ht) const = 0;
  virtual unsigned CreateTexture(int wt, int ht, bool render_target) = 0;
  // Writes w x h pixels (bytes blue, green, red, alpha; rows top-down) at
  // (x, y) of the texture.
  virtual bool UploadTexture(unsigned tex, int x, int y, int w, int h, const uint32_t* pixels) = 0;
  virtual void FreeTexture(unsigned tex) = 0;
  virtual void BindTexture(unsigned tex) = 0;
  // Draws into a render-target texture (with its own depth buffer), or into
  // the back buffer for 0. False when the texture is no render target.
  virtual bool SetRenderTarget(unsigned tex) = 0;

  // Draws with the bound texture; clamp forces clamped addressing whatever
  // the repeat state says.
  virtual void Draw(EPrimitive kind, const RDeviceVertex* vertices, int count, bool clamp = false) = 0;

  // Reads w x h pixels of the current target, rows top-down, bytes blue,
  // green, red, alpha. False when the rectangle is outside the target.
  virtual bool ReadPixels(int x, int y, int w, int h, uint32_t* out) = 0;
};
