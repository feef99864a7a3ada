// The OpenGL 3.3 render device: targets, textures, batching and present.
//
// Every target (the back buffer and render-target textures) is a framebuffer
// object whose OpenGL row 0 holds the game's top row. The projection is
// flipped in y to get there, so viewports, scissors, texture rows and pixel
// reads all keep the game's top-down numbers; only Present flips, when it
// blits into the window.
#define GL_GLEXT_PROTOTYPES
#include "platform/gl/GL_Device.h"

#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "platform/gl/GL_Shader.h"

namespace {

using Mat = std::array<float, 16>;

constexpr Mat kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Row-vector matrices, row by row: (a b)[r][c] = sum a[r][k] b[k][c].
Mat Mul(const Mat& a, const Mat& b) {
  Mat r{};
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      float s = 0;
      for (int k = 0; k < 4; k++) s += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = s;
    }
  return r;
}

GLenum BlendFactor(int f, bool source) {
  switch (f) {
    case 1:
      return GL_ZERO;
    case 2:
      return GL_ONE;
    case 3:
      return GL_SRC_COLOR;
    case 4:
      return GL_ONE_MINUS_SRC_COLOR;
    case 5:
      return GL_SRC_ALPHA;
    case 6:
      return GL_ONE_MINUS_SRC_ALPHA;
    case 7:
      return GL_DST_ALPHA;
    case 8:
      return GL_ONE_MINUS_DST_ALPHA;
    case 9:
      return GL_DST_COLOR;
    case 10:
      return GL_ONE_MINUS_DST_COLOR;
    // OpenGL 3.3 takes the saturated factor only for the source; as a
    // destination, one is the nearest it has (min(As, 1 - Ad) <= 1).
    case 11:
      return source ? GL_SRC_ALPHA_SATURATE : GL_ONE;
    default:
      return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
  }
}

// Vertices past this many are sent before more are added, to bound the
// buffer a single draw call uploads.
constexpr size_t kMaxBatchVertices = size_t(1) << 18;

}  // namespace

bool GL_CheckVersion(const char* version, const char* renderer, std::string& error) {
  if (!version) {
    error = "OpenGL 3.3 is needed; no OpenGL context is current";
    return false;
  }
  std::string offered = std::string(version) + (renderer ? std::string(" (") + renderer + ")" : std::string());
  int major = 0, minor = 0;
  bool es = std::strncmp(version, "OpenGL ES", 9) == 0;
  if (es || std::sscanf(version, "%d.%d", &major, &minor) != 2 || major < 3 || (major == 3 && minor < 3)) {
    error = "OpenGL 3.3 is needed; this system offers " + offered;
    return false;
  }
  return true;
}

CGLRenderDevice::CGLRenderDevice(std::function<void()> swap_buffers, std::function<void(int& w, int& h)> drawable_size)
    : swap_buffers_(std::move(swap_buffers)), drawable_size_(std::move(drawable_size)) {
  for (auto& m : transforms_) m = kIdentity;
}

CGLRenderDevice::~CGLRenderDevice() { Release(); }

bool CGLRenderDevice::Create(const RDeviceParams& params, std::string& error) {
  Release();
  if (!GL_CheckVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                       reinterpret_cast<const char*>(glGetString(GL_RENDERER)), error))
    return false;
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; i++) {
  }
  glGetIntegerv(GL_MAX_SAMPLES, &max_samples_);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_);

  // The plainest program now, so that a shader compiler fault shows here.
  if (!UseProgram(kGLModeColor, &error)) {
    error = "The OpenGL shaders do not compile: " + error;
    Release();
    return false;
  }

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &vbo_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  const GLsizei stride = sizeof(RDeviceVertex);
  glEnableVertexAttribArray(kGLAttrPosition);
  glVertexAttribPointer(kGLAttrPosition, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<void*>(offsetof(RDeviceVertex, x)));
  glEnableVertexAttribArray(kGLAttrColor);
  glVertexAttribPointer(kGLAttrColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<void*>(offsetof(RDeviceVertex, color)));
  glEnableVertexAttribArray(kGLAttrTexCoord);
  glVertexAttribPointer(kGLAttrTexCoord, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<void*>(offsetof(RDeviceVertex, u)));

  glGenSamplers(4, samplers_);
  for (int i = 0; i < 4; i++) {
    GLint filter = (i & 2) ? GL_LINEAR : GL_NEAREST;
    GLint wrap = (i & 1) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, wrap);
  }
  glActiveTexture(GL_TEXTURE0);

  glDisable(GL_DITHER);
  glEnable(GL_BLEND);
  // Flat shading takes each triangle's first vertex, as Direct3D does.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  // The y flip turns the screen's counter-clockwise into OpenGL's clockwise,
  // so the triangles to cull are OpenGL's back faces.
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  glDepthFunc(GL_LEQUAL);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);

  created_ = true;
  if (!MakeBackBuffer(params, error)) {
    Release();
    return false;
  }
  caps_ = RDeviceCaps{};
  caps_.max_primitives = 1 << 20;
  for (int n : {2, 4, 8, 16})
    if (n <= max_samples_) caps_.multisample_mask |= n;

  states_ = RDeviceStates{};
  for (auto& m : transforms_) m = kIdentity;
  matrices_dirty_ = true;
  bound_ = 0;
  applied_valid_ = false;
  applied_texture_ = ~0u;
  applied_program_ = applied_sampler_ = -1;
  draw_calls_ = 0;
  target_ = 0;
  BindTarget();
  vp_w_ = 0;  // forces the viewport to be set again
  SetViewport(0, 0, back_.w, back_.h);
  Clear(true, true, 0, 1.0f);
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "OpenGL error 0x%04X while setting up", e);
    error = buf;
    Release();
    return false;
  }
  return true;
}

bool CGLRenderDevice::MakeBackBuffer(const RDeviceParams& params, std::string& error) {
  back_.w = std::max(1, params.width);
  back_.h = std::max(1, params.height);
  if (back_.w > max_texture_ || back_.h > max_texture_) {
    error = "The back buffer of " + std::to_string(back_.w) + "x" + std::to_string(back_.h) +
            " is larger than OpenGL allows (" + std::to_string(max_texture_) + ")";
    return false;
  }
  back_.samples = params.samples > 1 ? std::min(params.samples, max_samples_) : 0;
  if (back_.samples < 2) back_.samples = 0;
  back_.dirty = false;

  GLuint rb[2];
  glGenRenderbuffers(2, rb);
  back_.color = rb[0];
  back_.depth = rb[1];
  bool packed = params.depth_bits != 16;
  GLenum depth_format = packed ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16;
  glBindRenderbuffer(GL_RENDERBUFFER, back_.color);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, back_.samples, GL_RGBA8, back_.w, back_.h);
  glBindRenderbuffer(GL_RENDERBUFFER, back_.depth);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, back_.samples, depth_format, back_.w, back_.h);
  glGenFramebuffers(1, &back_.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, back_.color);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, packed ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                            back_.depth);
  bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (ok && back_.samples) {
    glGenRenderbuffers(1, &back_.resolve_color);
    glBindRenderbuffer(GL_RENDERBUFFER, back_.resolve_color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, back_.w, back_.h);
    glGenFramebuffers(1, &back_.resolve_fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, back_.resolve_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, back_.resolve_color);
    ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  if (!ok) {
    error = "OpenGL cannot make a back buffer of " + std::to_string(back_.w) + "x" + std::to_string(back_.h) +
            (back_.samples ? " with " + std::to_string(back_.samples) + " samples" : std::string()) + " and " +
            std::to_string(packed ? 24 : 16) + "-bit depth";
    FreeBackBuffer();
    return false;
  }
  return true;
}

void CGLRenderDevice::FreeBackBuffer() {
  GLuint fbos[2] = {back_.fbo, back_.resolve_fbo};
  GLuint rbs[3] = {back_.color, back_.depth, back_.resolve_color};
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(2, fbos);
  glDeleteRenderbuffers(3, rbs);
  back_ = RBackBuffer{};
}

bool CGLRenderDevice::Reset(const RDeviceParams& params, std::string& error) {
  if (!created_) return Create(params, error);
  Flush();
  FreeBackBuffer();
  if (!MakeBackBuffer(params, error)) {
    Release();
    return false;
  }
  target_ = 0;
  BindTarget();
  vp_w_ = 0;  // forces the viewport to be set again
  SetViewport(0, 0, back_.w, back_.h);
  Clear(true, true, 0, 1.0f);
  return true;
}

// Also tidies up after a Create that failed half-way.
void CGLRenderDevice::Release() {
  batch_.clear();
  for (auto& t : textures_) {
    if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
    if (t.depth) glDeleteRenderbuffers(1, &t.depth);
    if (t.gl) glDeleteTextures(1, &t.gl);
  }
  textures_.clear();
  if (back_.fbo) FreeBackBuffer();
  if (samplers_[0]) glDeleteSamplers(4, samplers_);
  if (vbo_) glDeleteBuffers(1, &vbo_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
  for (RProgram& p : programs_)
    if (p.id) glDeleteProgram(p.id);
  programs_ = {};
  vao_ = vbo_ = 0;
  std::fill(std::begin(samplers_), std::end(samplers_), 0u);
  bound_ = target_ = 0;
  created_ = false;
}

void CGLRenderDevice::BeginScene() {
  if (created_) BindTarget();
}

void CGLRenderDevice::EndScene() { Flush(); }

void CGLRenderDevice::TargetSize(int& w, int& h) const {
  if (target_) {
    const RTexture& t = textures_[target_ - 1];
    w = t.w;
    h = t.h;
  } else {
    w = back_.w;
    h = back_.h;
  }
}

void CGLRenderDevice::BindTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, target_ ? textures_[target_ - 1].fbo : back_.fbo);
}

unsigned CGLRenderDevice::ResolvedBackBuffer() {
  if (!back_.samples) return back_.fbo;
  if (back_.dirty) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, back_.resolve_fbo);
    glBlitFramebuffer(0, 0, back_.w, back_.h, 0, 0, back_.w, back_.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    BindTarget();
    back_.dirty = false;
  }
  return back_.resolve_fbo;
}

bool CGLRenderDevice::Present(int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh, int client_w,
                              int client_h, int border_color) {
  if (!created_) return false;
  Flush();
  GLuint src = ResolvedBackBuffer();
  // The client size may be in window units; the blit is in pixels.
  int pw = client_w, ph = client_h;
  if (drawable_size_) drawable_size_(pw, ph);
  double kx = client_w > 0 ? double(pw) / client_w : 1.0;
  double ky = client_h > 0 ? double(ph) / client_h : 1.0;

  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, src);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor((border_color & 255) / 255.0f, ((border_color >> 8) & 255) / 255.0f,
               ((border_color >> 16) & 255) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  if (sw > 0 && sh > 0 && dw > 0 && dh > 0) {
    int x0 = int(std::lround(dx * kx)), x1 = int(std::lround((dx + dw) * kx));
    int top = ph - int(std::lround(dy * ky)), bottom = ph - int(std::lround((dy + dh) * ky));
    int bw = x1 - x0, bh = top - bottom;
    // Whole multiples keep their pixels sharp; other scales are smoothed.
    GLenum filter = (bw % sw == 0 && bh % sh == 0) ? GL_NEAREST : GL_LINEAR;
    glBlitFramebuffer(sx, sy, sx + sw, sy + sh, x0, top, x1, bottom, GL_COLOR_BUFFER_BIT, filter);
  }
  if (swap_buffers_) swap_buffers_();
  BindTarget();
  // OpenGL has no lost device to recover from, so there is nothing to report.
  return true;
}

void CGLRenderDevice::Clear(bool target, bool depth, uint32_t color, float z) {
  if (!created_ || (!target && !depth)) return;
  Flush();
  GLbitfield bits = 0;
  if (target) {
    bits |= GL_COLOR_BUFFER_BIT;
    glClearColor(((color >> 16) & 255) / 255.0f, ((color >> 8) & 255) / 255.0f, (color & 255) / 255.0f,
                 (color >> 24) / 255.0f);
  }
  if (depth) {
    bits |= GL_DEPTH_BUFFER_BIT;
    glDepthMask(GL_TRUE);
    glClearDepth(z);
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(vp_x_, vp_y_, vp_w_, vp_h_);
  glClear(bits);
  glDisable(GL_SCISSOR_TEST);
  if (depth) glDepthMask(applied_valid_ && applied_.depth_test ? GL_TRUE : GL_FALSE);
  if (!target_) back_.dirty = true;
}

void CGLRenderDevice::SetViewport(int x, int y, int w, int h) {
  if (!created_ || w <= 0 || h <= 0) return;
  if (x == vp_x_ && y == vp_y_ && w == vp_w_ && h == vp_h_) return;
  Flush();
  vp_x_ = x;
  vp_y_ = y;
  vp_w_ = w;
  vp_h_ = h;
  glViewport(x, y, w, h);
  matrices_dirty_ = true;  // the half-pixel shift depends on the size
}

void CGLRenderDevice::SetTransform(ETransform which, const float m[16]) {
  auto& t = transforms_[static_cast<int>(which)];
  if (std::memcmp(t.data(), m, sizeof(float) * 16) == 0) return;
  Flush();
  std::memcpy(t.data(), m, sizeof(float) * 16);
  matrices_dirty_ = true;
}

void CGLRenderDevice::SetStates(const RDeviceStates& states) {
  if (states == states_) return;
  Flush();
  states_ = states;
}

void CGLRenderDevice::UpdateMatrices() {
  const Mat wv = Mul(transforms_[int(ETransform::World)], transforms_[int(ETransform::View)]);
  const Mat wvp = Mul(wv, transforms_[int(ETransform::Projection)]);
  // From Direct3D clip space to OpenGL's: y flipped (row 0 at the top of
  // the framebuffer), z from 0..w to -w..w, and half a pixel right and down
  // because Direct3D puts pixel centres on integers.
  Mat adjust{};
  adjust[0] = 1;
  adjust[5] = -1;
  adjust[10] = 2;
  adjust[15] = 1;
  adjust[12] = 1.0f / vp_w_;
  adjust[13] = 1.0f / vp_h_;
  adjust[14] = -1;
  wvp_ = Mul(wvp, adjust);
  wv_z_ = {wv[2], wv[6], wv[10], wv[14]};
  matrices_dirty_ = false;
  matrix_stamp_++;
}

bool CGLRenderDevice::UseProgram(int features, std::string* error_out) {
  static_assert(std::tuple_size_v<decltype(programs_)> == kGLFeatureCombinations);
  RProgram& p = programs_[features];
  if (!p.id) {
    std::string error;
    p = RProgram{};
    p.id = GL_BuildProgram(false, features, error);
    if (!p.id) {
      if (error_out) *error_out = error;
      return false;
    }
    glUseProgram(p.id);
    glUniform1i(glGetUniformLocation(p.id, "u_tex"), 0);
    p.wvp = glGetUniformLocation(p.id, "u_wvp");
    p.wv_z = glGetUniformLocation(p.id, "u_wv_z");
    p.fog_color = glGetUniformLocation(p.id, "u_fog_color");
    p.fog_range = glGetUniformLocation(p.id, "u_fog_range");
    applied_program_ = features;
  }
  if (features != applied_program_) {
    glUseProgram(p.id);
    applied_program_ = features;
  }
  if (matrices_dirty_) UpdateMatrices();
  if (p.matrix_stamp != matrix_stamp_) {
    // Uploaded untransposed, the row-vector matrix is its column-vector twin.
    glUniformMatrix4fv(p.wvp, 1, GL_FALSE, wvp_.data());
    if (p.wv_z >= 0) glUniform4fv(p.wv_z, 1, wv_z_.data());
    p.matrix_stamp = matrix_stamp_;
  }
  if ((features & kGLFog) && p.fog_stamp != fog_stamp_) {
    const RDeviceStates& s = states_;
    glUniform3f(p.fog_color, ((s.fog_color >> 16) & 255) / 255.0f, ((s.fog_color >> 8) & 255) / 255.0f,
                (s.fog_color & 255) / 255.0f);
    // Equal start and end: everything beyond the end is fully fogged.
    float span = s.fog_end - s.fog_start;
    glUniform2f(p.fog_range, s.fog_end, span > 0 ? 1.0f / span : 1e30f);
    p.fog_stamp = fog_stamp_;
  }
  return true;
}

bool CGLRenderDevice::ApplyStates() {
  const RDeviceStates& s = states_;
  const bool all = !applied_valid_;
  const RDeviceStates& a = applied_;
  if (all || s.blend_src != a.blend_src || s.blend_dst != a.blend_dst)
    glBlendFunc(BlendFactor(s.blend_src, true), BlendFactor(s.blend_dst, false));
  if (all || s.cull != a.cull) s.cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
  if (all || s.depth_test != a.depth_test) {
    s.depth_test ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    glDepthMask(s.depth_test ? GL_TRUE : GL_FALSE);
  }
  if (all || s.fog_color != a.fog_color || s.fog_start != a.fog_start || s.fog_end != a.fog_end) fog_stamp_++;
  applied_ = s;
  applied_valid_ = true;

  const RTexture* tex = Texture(bound_);
  unsigned gl_tex = tex ? tex->gl : 0;
  if (gl_tex != applied_texture_) {
    glBindTexture(GL_TEXTURE_2D, gl_tex);
    applied_texture_ = gl_tex;
  }
  int sampler = (s.interpolate ? 2 : 0) + (batch_wrap_ ? 1 : 0);
  if (sampler != applied_sampler_) {
    glBindSampler(0, samplers_[sampler]);
    applied_sampler_ = sampler;
  }
  int features = !tex ? kGLModeColor : s.texture_blend ? kGLModeModulate : kGLModeTexture;
  if (s.alpha_test) features |= kGLAlphaTest;
  if (s.fog) features |= kGLFog;
  if (!s.smooth_shading) features |= kGLFlat;
  return UseProgram(features);
}

void CGLRenderDevice::Flush() {
  if (batch_.empty()) return;
  if (!ApplyStates()) {
    batch_.clear();  // no program for these features: nothing can be drawn
    return;
  }
  // A fresh store each time: the driver need not wait for the last draw.
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(batch_.size() * sizeof(RDeviceVertex)), batch_.data(), GL_STREAM_DRAW);
  GLenum mode = batch_class_ == EClass::Points ? GL_POINTS : batch_class_ == EClass::Lines ? GL_LINES : GL_TRIANGLES;
  glDrawArrays(mode, 0, GLsizei(batch_.size()));
  draw_calls_++;
  batch_.clear();
  if (!target_) back_.dirty = true;
}

void CGLRenderDevice::Draw(EPrimitive kind, const RDeviceVertex* v, int count, bool clamp) {
  if (!created_ || !v || count <= 0) return;
  EClass cls = kind == EPrimitive::PointList                                   ? EClass::Points
               : kind == EPrimitive::LineList || kind == EPrimitive::LineStrip ? EClass::Lines
                                                                               : EClass::Triangles;
  bool wrap = states_.repeat && !clamp;
  if (!batch_.empty() && (cls != batch_class_ || wrap != batch_wrap_)) Flush();
  batch_class_ = cls;
  batch_wrap_ = wrap;
  // Strips and fans become lists so that one call draws many of them. Each
  // triangle keeps its Direct3D first vertex (for flat shading) and winding.
  switch (kind) {
    case EPrimitive::PointList:
      batch_.insert(batch_.end(), v, v + count);
      break;
    case EPrimitive::LineList:
      batch_.insert(batch_.end(), v, v + count / 2 * 2);
      break;
    case EPrimitive::TriangleList:
      batch_.insert(batch_.end(), v, v + count / 3 * 3);
      break;
    case EPrimitive::LineStrip:
      for (int i = 0; i + 1 < count; i++) {
        batch_.push_back(v[i]);
        batch_.push_back(v[i + 1]);
      }
      break;
    case EPrimitive::TriangleStrip:
      for (int i = 0; i + 2 < count; i++) {
        batch_.push_back(v[i]);
        batch_.push_back(v[(i & 1) ? i + 2 : i + 1]);
        batch_.push_back(v[(i & 1) ? i + 1 : i + 2]);
      }
      break;
    case EPrimitive::TriangleFan:
      for (int i = 1; i + 1 < count; i++) {
        batch_.push_back(v[i]);
        batch_.push_back(v[i + 1]);
        batch_.push_back(v[0]);
      }
      break;
  }
  if (batch_.size() >= kMaxBatchVertices) Flush();
}

bool CGLRenderDevice::ReadPixels(int x, int y, int w, int h, uint32_t* out) {
  if (!created_ || !out) return false;
  int tw, th;
  TargetSize(tw, th);
  if (x < 0 || y < 0 || w <= 0 || h <= 0 || w > tw - x || h > th - y) return false;
  Flush();
  GLuint fbo = target_ ? textures_[target_ - 1].fbo : ResolvedBackBuffer();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, out);
  BindTarget();
  return true;
}

void CGLRenderDevice::TextureSize(int w, int h, int& wt, int& ht) const {
  auto pow2 = [](int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
  };
  wt = pow2(w);
  ht = pow2(h);
}

CGLRenderDevice::RTexture* CGLRenderDevice::Texture(unsigned tex) {
  if (tex == 0 || tex > textures_.size()) return nullptr;
  RTexture& t = textures_[tex - 1];
  return t.gl ? &t : nullptr;
}

unsigned CGLRenderDevice::CreateTexture(int wt, int ht, bool render_target) {
  if (!created_ || wt <= 0 || ht <= 0 || wt > max_texture_ || ht > max_texture_) return 0;
  RTexture t;
  t.w = wt;
  t.h = ht;
  glGenTextures(1, &t.gl);
  glBindTexture(GL_TEXTURE_2D, t.gl);
  applied_texture_ = ~0u;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  // Transparent black beyond the image: filtering at its edges reads it.
  std::vector<uint32_t> zero(size_t(wt) * ht, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, wt, ht, 0, GL_BGRA, GL_UNSIGNED_BYTE, zero.data());
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &t.gl);
    return 0;
  }
  if (render_target) {
    glGenRenderbuffers(1, &t.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, t.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, wt, ht);
    glGenFramebuffers(1, &t.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.gl, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, t.depth);
    bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    BindTarget();
    if (!ok) {
      glDeleteFramebuffers(1, &t.fbo);
      glDeleteRenderbuffers(1, &t.depth);
      glDeleteTextures(1, &t.gl);
      return 0;
    }
  }
  // The lowest free handle, as the game's texture list reuses slots.
  auto free = std::find_if(textures_.begin(), textures_.end(), [](const RTexture& r) { return r.gl == 0; });
  if (free == textures_.end())
    free = textures_.insert(free, t);
  else
    *free = t;
  return unsigned(free - textures_.begin()) + 1;
}

bool CGLRenderDevice::UploadTexture(unsigned tex, int x, int y, int w, int h, const uint32_t* pixels) {
  RTexture* t = Texture(tex);
  if (!t || x < 0 || y < 0 || w < 0 || h < 0 || w > t->w - x || h > t->h - y) return false;
  if (w == 0 || h == 0) return true;
  if (!pixels) return false;
  Flush();  // the batch may still sample the old texels
  glBindTexture(GL_TEXTURE_2D, t->gl);
  applied_texture_ = ~0u;
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  return true;
}

void CGLRenderDevice::FreeTexture(unsigned tex) {
  RTexture* t = Texture(tex);
  if (!t) return;
  Flush();
  if (target_ == tex) SetRenderTarget(0);
  if (bound_ == tex) bound_ = 0;
  if (t->fbo) glDeleteFramebuffers(1, &t->fbo);
  if (t->depth) glDeleteRenderbuffers(1, &t->depth);
  glDeleteTextures(1, &t->gl);
  *t = RTexture{};
  applied_texture_ = ~0u;
}

void CGLRenderDevice::BindTexture(unsigned tex) {
  if (!Texture(tex)) tex = 0;
  if (tex == bound_) return;
  Flush();
  bound_ = tex;
}

bool CGLRenderDevice::SetRenderTarget(unsigned tex) {
  if (!created_) return false;
  if (tex) {
    RTexture* t = Texture(tex);
    if (!t || !t->fbo) return false;
  }
  Flush();
  target_ = tex;
  BindTarget();
  // As in Direct3D, a new target starts with a viewport covering it.
  int w, h;
  TargetSize(w, h);
  vp_w_ = 0;
  SetViewport(0, 0, w, h);
  return true;
}
