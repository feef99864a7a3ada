#pragma once
// The OpenGL 3.3 render device behind the render device seam.
// It draws the graphics tier's Direct3D-style geometry into framebuffer
// objects kept top-down, batches draws, and flips only when presenting.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Render_Device.h"

// Checks the text of GL_VERSION (and GL_RENDERER for the message) against the
// 3.3 this device needs. False with a reason in error.
bool GL_CheckVersion(const char* version, const char* renderer, std::string& error);

class CGLRenderDevice : public IRenderDevice {
 public:
  // The window backend makes an OpenGL 3.3 context current before Create and
  // keeps it current for every call, the destructor included.
  // drawable_size gives the window's client size in pixels.
  CGLRenderDevice(std::function<void()> swap_buffers, std::function<void(int& w, int& h)> drawable_size);
  ~CGLRenderDevice() override;
  CGLRenderDevice(const CGLRenderDevice&) = delete;
  CGLRenderDevice& operator=(const CGLRenderDevice&) = delete;

  bool Create(const RDeviceParams& params, std::string& error) override;
  bool Reset(const RDeviceParams& params, std::string& error) override;
  void Release() override;
  RDeviceCaps Caps() const override { return caps_; }

  void BeginScene() override;
  void EndScene() override;
  bool Present(int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh, int client_w, int client_h,
               int border_color) override;

  void Clear(bool target, bool depth, uint32_t color, float z) override;
  void SetViewport(int x, int y, int w, int h) override;
  void SetTransform(ETransform which, const float m[16]) override;
  void SetStates(const RDeviceStates& states) override;

  void TextureSize(int w, int h, int& wt, int& ht) const override;
  unsigned CreateTexture(int wt, int ht, bool render_target) override;
  bool UploadTexture(unsigned tex, int x, int y, int w, int h, const uint32_t* pixels) override;
  void FreeTexture(unsigned tex) override;
  void BindTexture(unsigned tex) override;
  bool SetRenderTarget(unsigned tex) override;

  void Draw(EPrimitive kind, const RDeviceVertex* vertices, int count, bool clamp = false) override;
  bool ReadPixels(int x, int y, int w, int h, uint32_t* out) override;

  // OpenGL draw calls issued since Create (to see that batching works).
  uint64_t DrawCalls() const { return draw_calls_; }

 private:
  enum class EClass { None, Points, Lines, Triangles };
  struct RTexture {
    unsigned gl = 0;  // 0: free slot
    int w = 0, h = 0;
    unsigned fbo = 0, depth = 0;  // render targets only
  };
  struct RBackBuffer {
    int w = 0, h = 0, samples = 0;
    unsigned fbo = 0, color = 0, depth = 0;
    unsigned resolve_fbo = 0, resolve_color = 0;  // multisampled only
    bool dirty = false;                           // drawn since the last resolve
  };

  bool MakeBackBuffer(const RDeviceParams& params, std::string& error);
  void FreeBackBuffer();
  RTexture* Texture(unsigned tex);
  // The framebuffer that holds the back buffer's single-sampled picture.
  unsigned ResolvedBackBuffer();
  void BindTarget();
  void Flush();
  bool ApplyStates();
  void UpdateMatrices();
  void TargetSize(int& w, int& h) const;

  std::function<void()> swap_buffers_;
  std::function<void(int&, int&)> drawable_size_;

  bool created_ = false;
  RDeviceCaps caps_;
  int max_samples_ = 0, max_texture_ = 0;
  unsigned vao_ = 0, vbo_ = 0;
  unsigned samplers_[4] = {};  // [linear * 2 + wrap]
  // One program per combination of shader features, compiled when first
  // needed; each remembers which matrices and fog values it was given.
  struct RProgram {
    unsigned id = 0;
    int wvp = -1, wv_z = -1, fog_color = -1, fog_range = -1;
    uint64_t matrix_stamp = 0, fog_stamp = 0;
  };
  std::array<RProgram, 32> programs_{};
  bool UseProgram(int features, std::string* error = nullptr);

  RBackBuffer back_;
  std::vector<RTexture> textures_;  // handle = index + 1

  // What the next batch is drawn with.
  RDeviceStates states_;
  unsigned bound_ = 0;
  unsigned target_ = 0;
  int vp_x_ = 0, vp_y_ = 0, vp_w_ = 1, vp_h_ = 1;
  std::array<std::array<float, 16>, 3> transforms_{};
  bool matrices_dirty_ = true;
  std::array<float, 16> wvp_{};  // the matrices as the shaders take them
  std::array<float, 4> wv_z_{};
  uint64_t matrix_stamp_ = 1, fog_stamp_ = 1;

  // The batch: vertices of one primitive class, drawn with one addressing.
  std::vector<RDeviceVertex> batch_;
  EClass batch_class_ = EClass::None;
  bool batch_wrap_ = false;

  // What OpenGL was last given, to skip repeated state calls.
  bool applied_valid_ = false;
  RDeviceStates applied_;
  unsigned applied_texture_ = ~0u;
  int applied_program_ = -1;
  int applied_sampler_ = -1;
  uint64_t draw_calls_ = 0;
};
