// Tests of the OpenGL render device, drawn and read back on Mesa's software renderer.
// An SDL offscreen window gives a 3.3 core context through EGL, with no
// display server.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

#include "platform/gl/GL_Device.h"
#include "platform/gl/GL_Shader.h"

namespace {

using Mat = std::array<float, 16>;

constexpr uint32_t Bgra(int r, int g, int b, int a = 255) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
int R(uint32_t c) { return (c >> 16) & 255; }
int G(uint32_t c) { return (c >> 8) & 255; }
int B(uint32_t c) { return c & 255; }
int A(uint32_t c) { return c >> 24; }

Mat Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// Left-handed look-at and orthographic matrices for row vectors, as the
// graphics tier builds them.
Mat LookAtLH(const float eye[3], const float at[3], const float up[3]) {
  auto norm = [](float v[3]) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; i++) v[i] /= l;
  };
  auto cross = [](const float a[3], const float b[3], float r[3]) {
    r[0] = a[1] * b[2] - a[2] * b[1];
    r[1] = a[2] * b[0] - a[0] * b[2];
    r[2] = a[0] * b[1] - a[1] * b[0];
  };
  auto dot = [](const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  float z[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
  norm(z);
  float x[3], y[3];
  cross(up, z, x);
  norm(x);
  cross(z, x, y);
  return {x[0], y[0], z[0], 0, x[1], y[1], z[1], 0, x[2], y[2], z[2], 0, -dot(x, eye), -dot(y, eye), -dot(z, eye), 1};
}

Mat OrthoLH(float w, float h, float zn, float zf) {
  return {2 / w, 0, 0, 0, 0, 2 / h, 0, 0, 0, 0, 1 / (zf - zn), 0, 0, 0, zn / (zn - zf), 1};
}

RDeviceVertex V(float x, float y, uint32_t c = 0xFFFFFFFF, float u = 0, float v = 0, float z = 0) {
  return RDeviceVertex{x, y, z, c, u, v};
}

// A textured rectangle as the sprite routines send it: top-left, top-right,
// bottom-right, bottom-left, every corner moved by -0.5.
std::array<RDeviceVertex, 4> Quad(float x, float y, float w, float h, uint32_t c = 0xFFFFFFFF, float u1 = 1,
                                  float v1 = 1, float z = 0) {
  return {V(x - 0.5f, y - 0.5f, c, 0, 0, z), V(x + w - 0.5f, y - 0.5f, c, u1, 0, z),
          V(x + w - 0.5f, y + h - 0.5f, c, u1, v1, z), V(x - 0.5f, y + h - 0.5f, c, 0, v1, z)};
}

void SavePng(const std::string& name, int w, int h, const std::vector<uint32_t>& px) {
  std::filesystem::path dir = std::filesystem::path(ROOMRUN_BIN_DIR) / ".." / "gl_captures";
  std::filesystem::create_directories(dir);
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_BGRA;
  png_image_write_to_file(&img, (dir / name).string().c_str(), 0, px.data(), 0, nullptr);
}

class GLDevice : public ::testing::Test {
 protected:
  static constexpr int kW = 64, kH = 48;          // back buffer
  static constexpr int kWinW = 200, kWinH = 150;  // window client area

  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    window_ = SDL_CreateWindow("gl test", 0, 0, kWinW, kWinH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    context_ = SDL_GL_CreateContext(window_);
    ASSERT_NE(context_, nullptr) << SDL_GetError();
    ASSERT_EQ(SDL_GL_MakeCurrent(window_, context_), 0) << SDL_GetError();
    dev_ = std::make_unique<CGLRenderDevice>([this] { OnSwap(); },
                                             [this](int& w, int& h) { SDL_GL_GetDrawableSize(window_, &w, &h); });
    Open(RDeviceParams{kW, kH, 24, 0, false});
  }

  void TearDown() override {
    dev_.reset();
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  void Open(const RDeviceParams& p) {
    std::string error;
    ASSERT_TRUE(dev_->Create(p, error)) << error;
    dev_->BeginScene();
  }

  // The window's picture just before it is swapped, rows top-down.
  void OnSwap() {
    swapped_.assign(size_t(kWinW) * kWinH, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(0, 0, kWinW, kWinH, GL_BGRA, GL_UNSIGNED_BYTE, swapped_.data());
    for (int y = 0; y < kWinH / 2; y++)
      std::swap_ranges(swapped_.begin() + y * kWinW, swapped_.begin() + (y + 1) * kWinW,
                       swapped_.begin() + (kWinH - 1 - y) * kWinW);
  }

  // The transforms that show the room rectangle (x, y, w, h) in the viewport.
  void View2D(float x, float y, float w, float h) {
    float eye[3] = {x + w / 2, y + h / 2, -16000}, at[3] = {x + w / 2, y + h / 2, 0}, up[3] = {0, 1, 0};
    Mat world = Identity(), view = LookAtLH(eye, at, up), proj = OrthoLH(w, -h, 1, 32000);
    dev_->SetTransform(ETransform::World, world.data());
    dev_->SetTransform(ETransform::View, view.data());
    dev_->SetTransform(ETransform::Projection, proj.data());
  }
  void Screen(int x, int y, int w, int h) {
    dev_->SetViewport(x, y, w, h);
    View2D(0, 0, float(w), float(h));
  }

  unsigned MakeTexture(int w, int h, const std::vector<uint32_t>& px, bool target = false) {
    int wt, ht;
    dev_->TextureSize(w, h, wt, ht);
    unsigned t = dev_->CreateTexture(wt, ht, target);
    EXPECT_NE(t, 0u);
    if (!px.empty()) {
      EXPECT_TRUE(dev_->UploadTexture(t, 0, 0, w, h, px.data()));
    }
    return t;
  }

  void DrawQuad(const std::array<RDeviceVertex, 4>& q, bool clamp = true) {
    dev_->Draw(EPrimitive::TriangleFan, q.data(), 4, clamp);
  }

  void SetBlend(int src, int dst) {
    RDeviceStates s = states_;
    s.blend_src = src;
    s.blend_dst = dst;
    Set(s);
  }
  void Set(const RDeviceStates& s) {
    states_ = s;
    dev_->SetStates(s);
  }

  std::vector<uint32_t> Read(int x, int y, int w, int h) {
    std::vector<uint32_t> out(size_t(w) * h, 0xDEADBEEF);
    EXPECT_TRUE(dev_->ReadPixels(x, y, w, h, out.data()));
    return out;
  }
  uint32_t Pixel(int x, int y) { return Read(x, y, 1, 1)[0]; }

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  std::unique_ptr<CGLRenderDevice> dev_;
  RDeviceStates states_;
  std::vector<uint32_t> swapped_;
};

// An image whose every texel differs from its neighbours.
std::vector<uint32_t> Distinct(int w, int h) {
  std::vector<uint32_t> px;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) px.push_back(Bgra(20 + x * 29, 30 + y * 37, (x * 7 + y * 53) & 255));
  return px;
}

::testing::AssertionResult Near(uint32_t got, uint32_t want, int tol = 1) {
  if (std::abs(R(got) - R(want)) <= tol && std::abs(G(got) - G(want)) <= tol && std::abs(B(got) - B(want)) <= tol &&
      std::abs(A(got) - A(want)) <= tol)
    return ::testing::AssertionSuccess();
  char buf[80];
  std::snprintf(buf, sizeof buf, "got %08X, want %08X", got, want);
  return ::testing::AssertionFailure() << buf;
}

TEST(GLVersion, NamesWhatIsMissing) {
  struct Case {
    const char* version;
    bool ok;
  } cases[] = {{"2.1 Mesa 22.3.6", false},
               {"3.2 (Core Profile) Mesa 22.3.6", false},
               {"OpenGL ES 3.2 Mesa 22.3.6", false},
               {"garbage", false},
               {"3.3 (Core Profile) Mesa 22.3.6", true},
               {"4.6.0 NVIDIA 535.54", true},
               {"10.0", true}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(GL_CheckVersion(c.version, "llvmpipe (LLVM 15.0.6, 256 bits)", error), c.ok) << c.version;
    if (!c.ok) {
      EXPECT_EQ(error, std::string("OpenGL 3.3 is needed; this system offers ") + c.version +
                           " (llvmpipe (LLVM 15.0.6, 256 bits))");
    }
  }
  std::string error;
  EXPECT_FALSE(GL_CheckVersion(nullptr, nullptr, error));
  EXPECT_EQ(error, "OpenGL 3.3 is needed; no OpenGL context is current");
}

// Every combination of shader features compiles, for desktop OpenGL and,
// where an ES 3 context can be had, for OpenGL ES from the same source.
TEST_F(GLDevice, EveryShaderVariantCompiles) {
  auto compile_all = [](bool es) {
    for (int f = 0; f < kGLFeatureCombinations; f++) {
      if ((f & 3) == 3) continue;
      std::string error;
      unsigned p = GL_BuildProgram(es, f, error);
      EXPECT_NE(p, 0u) << (es ? "ES " : "") << "features " << f << ": " << error;
      glDeleteProgram(p);
    }
  };
  compile_all(false);

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GLContext es = SDL_GL_CreateContext(window_);
  if (!es) GTEST_SKIP() << "no OpenGL ES 3 context: " << SDL_GetError();
  ASSERT_EQ(SDL_GL_MakeCurrent(window_, es), 0);
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  EXPECT_EQ(std::string(version ? version : "").rfind("OpenGL ES 3", 0), 0u) << version;
  compile_all(true);
  SDL_GL_MakeCurrent(window_, context_);
  SDL_GL_DeleteContext(es);
}

TEST_F(GLDevice, TextureSizesArePowersOfTwo) {
  int wt, ht;
  dev_->TextureSize(100, 60, wt, ht);
  EXPECT_EQ(wt, 128);
  EXPECT_EQ(ht, 64);
  dev_->TextureSize(0, 1, wt, ht);
  EXPECT_EQ(wt, 1);
  EXPECT_EQ(ht, 1);
  dev_->TextureSize(64, 65, wt, ht);
  EXPECT_EQ(wt, 64);
  EXPECT_EQ(ht, 128);
}

// The sprite geometry (corners at -0.5, texture coordinates up to w/wt)
// through the 2D view must give back every texel in its own pixel, whether
// the texture is filtered or not.
TEST_F(GLDevice, TexturedQuadIsTexelExact) {
  const int w = 7, h = 5;  // in an 8 x 8 texture
  const auto image = Distinct(w, h);
  unsigned tex = MakeTexture(w, h, image);
  const uint32_t back = Bgra(1, 2, 3);
  for (bool interpolate : {true, false}) {
    for (bool scene_view : {false, true}) {
      SCOPED_TRACE(testing::Message() << "interpolate " << interpolate << " view " << scene_view);
      RDeviceStates s;
      s.interpolate = interpolate;
      Set(s);
      Screen(0, 0, kW, kH);
      dev_->Clear(true, true, back, 1);
      // Also through a view that is offset in the room: the quad moves with it.
      int ox = 11, oy = 6;
      if (scene_view) View2D(100, 50, kW, kH);
      dev_->BindTexture(tex);
      DrawQuad(Quad(float(ox + (scene_view ? 100 : 0)), float(oy + (scene_view ? 50 : 0)), w, h, 0xFFFFFFFF, w / 8.0f,
                    h / 8.0f));
      dev_->EndScene();
      auto px = Read(0, 0, kW, kH);
      if (interpolate && !scene_view) SavePng("texel_exact.png", kW, kH, px);
      int bad = 0;
      for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
          bool in = x >= ox && x < ox + w && y >= oy && y < oy + h;
          uint32_t want = in ? image[(y - oy) * w + (x - ox)] : back;
          if (px[y * kW + x] != want && bad++ < 5)
            ADD_FAILURE() << "pixel " << x << "," << y << ": " << Near(px[y * kW + x], want, 0).message();
        }
      EXPECT_EQ(bad, 0);
    }
  }
}

// Viewport y counts from the top, clears stay inside the viewport, and
// pixel reads give rows top-down.
TEST_F(GLDevice, ViewportClearAndRowsAreTopDown) {
  const uint32_t outside = Bgra(10, 20, 30), inside = Bgra(200, 100, 0), red = Bgra(255, 0, 0), green = Bgra(0, 255, 0);
  dev_->Clear(true, true, outside, 1);
  Screen(8, 4, 32, 16);
  dev_->Clear(true, false, inside, 1);
  RDeviceVertex pts[2] = {V(0, 0, red), V(31, 15, green)};
  dev_->Draw(EPrimitive::PointList, pts, 2);
  // A horizontal line along room row 2, pixels 3 to 9.
  RDeviceVertex line[2] = {V(3, 2, green), V(10, 2, green)};
  dev_->Draw(EPrimitive::LineList, line, 2);
  dev_->EndScene();
  auto px = Read(0, 0, kW, kH);
  for (int y = 0; y < kH; y++)
    for (int x = 0; x < kW; x++) {
      uint32_t want = outside;
      if (x >= 8 && x < 40 && y >= 4 && y < 20) want = inside;
      if (x == 8 && y == 4) want = red;
      if (x == 39 && y == 19) want = green;
      if (y == 6 && x >= 11 && x < 18) want = green;
      ASSERT_EQ(px[y * kW + x], want) << x << "," << y;
    }
  // A read of a part gives the same rows.
  auto part = Read(8, 4, 2, 3);
  EXPECT_EQ(part[0], red);
  EXPECT_EQ(part[1], inside);
  EXPECT_EQ(part[4], inside);
  EXPECT_EQ(Pixel(39, 19), green);
}

TEST_F(GLDevice, BadRectanglesAreRefused) {
  std::vector<uint32_t> buf(size_t(kW + 1) * (kH + 1));
  struct Case {
    int x, y, w, h;
  } bad[] = {{-1, 0, 1, 1}, {0, -1, 1, 1}, {0, 0, 0, 1},  {0, 0, 1, 0},  {kW, 0, 1, 1},
             {0, kH, 1, 1}, {1, 0, kW, 1}, {0, 1, 1, kH}, {0, 0, -5, 1}, {2, 2, 0x7FFFFFFF, 1}};
  for (const Case& c : bad)
    EXPECT_FALSE(dev_->ReadPixels(c.x, c.y, c.w, c.h, buf.data())) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  EXPECT_TRUE(dev_->ReadPixels(kW - 1, kH - 1, 1, 1, buf.data()));
  EXPECT_TRUE(dev_->ReadPixels(0, 0, kW, kH, buf.data()));
  // The same holds for uploads into a texture.
  unsigned t = MakeTexture(4, 4, {});
  EXPECT_FALSE(dev_->UploadTexture(t, 1, 0, 4, 1, buf.data()));
  EXPECT_FALSE(dev_->UploadTexture(t, 0, -1, 1, 1, buf.data()));
  EXPECT_FALSE(dev_->UploadTexture(t + 5, 0, 0, 1, 1, buf.data()));
  EXPECT_TRUE(dev_->UploadTexture(t, 3, 3, 1, 1, buf.data()));
}

// Blending of known colours; expected values worked out by hand from the
// factor pairs (destination R200 G100 B50 A255).
TEST_F(GLDevice, BlendModes) {
  struct Case {
    const char* name;
    int src, dst;
    uint32_t colour, want;
  } cases[] = {
      // R: 200 x 127/255; B: 255 x 128/255 + 50 x 127/255; A: 128 x 128/255 + 255 x 127/255.
      {"normal", 5, 6, Bgra(0, 0, 255, 128), Bgra(100, 50, 153, 191)},
      // Source scaled by its alpha, destination kept; alpha saturates.
      {"add", 5, 2, Bgra(0, 0, 255, 128), Bgra(200, 100, 178, 255)},
      // Destination x (1 - source colour): G 100 x 127/255; A 255 x (1 - 1).
      {"subtract", 1, 4, Bgra(255, 128, 0, 255), Bgra(0, 50, 50, 0)},
      {"max", 5, 4, Bgra(0, 0, 255, 128), Bgra(200, 100, 128, 191)},
      // Multiply: source x destination colour.
      {"dest colour", 9, 1, Bgra(128, 255, 0, 255), Bgra(100, 100, 0, 255)},
      {"inv dest alpha", 8, 2, Bgra(77, 77, 77, 255), Bgra(200, 100, 50, 255)},
  };
  Screen(0, 0, kW, kH);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetBlend(2, 1);
    dev_->Clear(true, false, Bgra(200, 100, 50, 255), 1);
    SetBlend(c.src, c.dst);
    DrawQuad(Quad(4, 4, 8, 8, c.colour));
    dev_->EndScene();
    EXPECT_TRUE(Near(Pixel(7, 7), c.want));
    EXPECT_EQ(Pixel(3, 3), Bgra(200, 100, 50, 255));
  }
}

// Texture blending on: texture x vertex colour; off: the texture alone; no
// texture: the vertex colour.
TEST_F(GLDevice, TextureStageModes) {
  unsigned tex = MakeTexture(1, 1, {Bgra(255, 128, 255, 255)});
  struct Case {
    bool textured, blend;
    uint32_t want;
  } cases[] = {{true, true, Bgra(255, 0, 255, 128)},
               {true, false, Bgra(255, 128, 255, 255)},
               {false, true, Bgra(255, 0, 255, 128)},
               {false, false, Bgra(255, 0, 255, 128)}};
  Screen(0, 0, kW, kH);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "textured " << c.textured << " blend " << c.blend);
    RDeviceStates s;
    s.blend_src = 2;
    s.blend_dst = 1;
    s.texture_blend = c.blend;
    Set(s);
    dev_->Clear(true, false, 0, 1);
    dev_->BindTexture(c.textured ? tex : 0);
    DrawQuad(Quad(2, 2, 4, 4, Bgra(255, 0, 255, 128), 1, 1));
    dev_->EndScene();
    EXPECT_TRUE(Near(Pixel(3, 3), c.want));
  }
}

// With the alpha test only texels whose alpha is above 0 reach the target.
TEST_F(GLDevice, AlphaTest) {
  unsigned tex = MakeTexture(2, 1, {Bgra(255, 0, 0, 0), Bgra(0, 255, 0, 1)});
  Screen(0, 0, kW, kH);
  for (bool test : {false, true}) {
    RDeviceStates s;
    s.blend_src = 2;
    s.blend_dst = 1;
    s.interpolate = false;
    s.alpha_test = test;
    Set(s);
    dev_->Clear(true, false, Bgra(0, 0, 255), 1);
    dev_->BindTexture(tex);
    DrawQuad(Quad(0, 0, 2, 1, 0xFFFFFFFF, 1, 1));
    dev_->EndScene();
    EXPECT_EQ(Pixel(0, 0), test ? Bgra(0, 0, 255) : Bgra(255, 0, 0, 0)) << test;
    EXPECT_EQ(Pixel(1, 0), Bgra(0, 255, 0, 1)) << test;
  }
}

// Bytes in memory are blue, green, red, alpha, for texels and vertex colours.
TEST_F(GLDevice, ByteOrderIsBgra) {
  const uint32_t texel = 0x80112233, vertex = 0x40A0B0C0;
  unsigned tex = MakeTexture(1, 1, {texel});
  SetBlend(2, 1);
  Screen(0, 0, kW, kH);
  dev_->BindTexture(tex);
  DrawQuad(Quad(0, 0, 1, 1));
  dev_->BindTexture(0);
  RDeviceVertex pt = V(2, 0, vertex);
  dev_->Draw(EPrimitive::PointList, &pt, 1);
  dev_->EndScene();
  auto px = Read(0, 0, 3, 1);
  EXPECT_EQ(px[0], texel);
  EXPECT_EQ(px[2], vertex);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(px.data());
  EXPECT_EQ(bytes[0], 0x33);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(bytes[3], 0x80);
}

// A render target is drawn into with its own top-down rows and viewport,
// then drawn from like any texture.
TEST_F(GLDevice, RenderTargetDrawnIntoThenFrom) {
  unsigned plain = MakeTexture(4, 4, {});
  EXPECT_FALSE(dev_->SetRenderTarget(plain));
  EXPECT_FALSE(dev_->SetRenderTarget(999));
  unsigned rt = MakeTexture(16, 16, {}, true);
  auto image = Distinct(4, 3);
  unsigned src = MakeTexture(4, 3, image);

  dev_->Clear(true, true, Bgra(0, 0, 0), 1);
  ASSERT_TRUE(dev_->SetRenderTarget(rt));
  Screen(0, 0, 16, 16);
  dev_->Clear(true, true, Bgra(0, 0, 255), 1);
  dev_->BindTexture(src);
  DrawQuad(Quad(5, 2, 4, 3, 0xFFFFFFFF, 1, 0.75f));
  dev_->BindTexture(0);
  DrawQuad(Quad(0, 12, 16, 4, Bgra(255, 255, 0)));
  // Reads come from the target in use, with its own size.
  EXPECT_FALSE(dev_->ReadPixels(0, 0, 17, 1, image.data()));
  EXPECT_EQ(Pixel(5, 2), image[0]);
  EXPECT_EQ(Pixel(8, 4), image[11]);
  EXPECT_EQ(Pixel(4, 2), Bgra(0, 0, 255));
  EXPECT_EQ(Pixel(0, 15), Bgra(255, 255, 0));

  ASSERT_TRUE(dev_->SetRenderTarget(0));
  Screen(0, 0, kW, kH);
  dev_->BindTexture(rt);
  DrawQuad(Quad(20, 10, 16, 16));
  dev_->EndScene();
  auto px = Read(0, 0, kW, kH);
  SavePng("render_target.png", kW, kH, px);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      uint32_t want = Bgra(0, 0, 255);
      if (x >= 5 && x < 9 && y >= 2 && y < 5) want = image[(y - 2) * 4 + (x - 5)];
      if (y >= 12) want = Bgra(255, 255, 0);
      ASSERT_EQ(px[(y + 10) * kW + x + 20], want) << x << "," << y;
    }
  EXPECT_EQ(px[9 * kW + 19], Bgra(0, 0, 0));

  // Freeing the target in use goes back to the back buffer.
  ASSERT_TRUE(dev_->SetRenderTarget(rt));
  dev_->FreeTexture(rt);
  EXPECT_EQ(Pixel(kW - 1, kH - 1), Bgra(0, 0, 0));
}

// Culling drops the triangles that are counter-clockwise on the screen.
TEST_F(GLDevice, CullingKeepsScreenWinding) {
  Screen(0, 0, kW, kH);
  // Screen corners: top-left, bottom-left, top-right is counter-clockwise.
  RDeviceVertex ccw[3] = {V(0, 0, Bgra(255, 0, 0)), V(0, 10, Bgra(255, 0, 0)), V(10, 0, Bgra(255, 0, 0))};
  RDeviceVertex cw[3] = {V(20, 0, Bgra(0, 255, 0)), V(30, 0, Bgra(0, 255, 0)), V(20, 10, Bgra(0, 255, 0))};
  for (bool cull : {false, true}) {
    RDeviceStates s;
    s.cull = cull;
    Set(s);
    dev_->Clear(true, false, 0, 1);
    dev_->Draw(EPrimitive::TriangleList, ccw, 3);
    dev_->Draw(EPrimitive::TriangleList, cw, 3);
    dev_->EndScene();
    EXPECT_EQ(Pixel(2, 2), cull ? Bgra(0, 0, 0, 0) : Bgra(255, 0, 0)) << cull;
    EXPECT_EQ(Pixel(22, 2), Bgra(0, 255, 0)) << cull;
  }
}

// Every primitive kind covers the pixels Direct3D would.
TEST_F(GLDevice, PrimitiveKinds) {
  const uint32_t c = Bgra(255, 255, 255);
  // The rectangle of pixels (2..5, 2..4) as a list, a strip and a fan.
  const RDeviceVertex tl = V(1.5f, 1.5f, c), tr = V(5.5f, 1.5f, c), br = V(5.5f, 4.5f, c), bl = V(1.5f, 4.5f, c);
  const std::vector<RDeviceVertex> list = {tl, tr, br, tl, br, bl}, strip = {tl, tr, bl, br}, fan = {tl, tr, br, bl};
  // Lines from (1, 7) to (5, 7) and on to (5, 10): the last pixel is left
  // out, as Direct3D does.
  const std::vector<RDeviceVertex> lines = {V(1, 7, c), V(5, 7, c), V(5, 7, c), V(5, 10, c)},
                                   line_strip = {V(1, 7, c), V(5, 7, c), V(5, 10, c)};
  const std::vector<RDeviceVertex> points = {V(8, 8, c), V(9, 1, c)};
  struct Case {
    const char* name;
    EPrimitive kind;
    const std::vector<RDeviceVertex>* v;
    std::vector<std::pair<int, int>> pixels;
  };
  std::vector<std::pair<int, int>> rect, path;
  for (int y = 2; y < 5; y++)
    for (int x = 2; x < 6; x++) rect.push_back({x, y});
  for (int x = 1; x < 5; x++) path.push_back({x, 7});
  for (int y = 7; y < 10; y++) path.push_back({5, y});
  const Case cases[] = {{"list", EPrimitive::TriangleList, &list, rect},
                        {"strip", EPrimitive::TriangleStrip, &strip, rect},
                        {"fan", EPrimitive::TriangleFan, &fan, rect},
                        {"lines", EPrimitive::LineList, &lines, path},
                        {"line strip", EPrimitive::LineStrip, &line_strip, path},
                        {"points", EPrimitive::PointList, &points, {{8, 8}, {9, 1}}}};
  Screen(0, 0, kW, kH);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    dev_->Clear(true, false, 0, 1);
    dev_->Draw(k.kind, k.v->data(), int(k.v->size()));
    dev_->EndScene();
    auto px = Read(0, 0, 12, 12);
    std::vector<uint32_t> want(px.size(), 0);
    for (auto [x, y] : k.pixels) want[y * 12 + x] = c;
    for (int y = 0; y < 12; y++)
      for (int x = 0; x < 12; x++) EXPECT_EQ(px[y * 12 + x], want[y * 12 + x]) << x << "," << y;
  }
}

// Flat shading takes each triangle's first vertex colour.
TEST_F(GLDevice, FlatShading) {
  Screen(0, 0, kW, kH);
  RDeviceVertex tri[3] = {V(0, 0, Bgra(255, 0, 0)), V(30, 0, Bgra(0, 255, 0)), V(0, 30, Bgra(0, 0, 255))};
  for (bool smooth : {true, false}) {
    RDeviceStates s;
    s.smooth_shading = smooth;
    Set(s);
    dev_->Clear(true, false, 0, 1);
    dev_->Draw(EPrimitive::TriangleList, tri, 3);
    dev_->EndScene();
    if (smooth) {
      EXPECT_FALSE(Near(Pixel(10, 10), Bgra(255, 0, 0), 8));
    } else {
      EXPECT_EQ(Pixel(10, 10), Bgra(255, 0, 0));
    }
  }
}

// Linear fog on the view-space depth.
TEST_F(GLDevice, LinearFog) {
  Mat id = Identity();
  for (ETransform t : {ETransform::World, ETransform::View, ETransform::Projection}) dev_->SetTransform(t, id.data());
  RDeviceStates s;
  s.fog = true;
  s.fog_color = Bgra(0, 0, 255);
  s.fog_start = 0.25f;
  s.fog_end = 0.75f;
  Set(s);
  struct Case {
    float z;
    uint32_t want;
  } cases[] = {{0.1f, Bgra(255, 0, 0)}, {0.5f, Bgra(128, 0, 128)}, {0.625f, Bgra(64, 0, 191)}, {0.9f, Bgra(0, 0, 255)}};
  for (const Case& c : cases) {
    dev_->Clear(true, false, 0, 1);
    RDeviceVertex q[4] = {V(-1, 1, Bgra(255, 0, 0), 0, 0, c.z), V(1, 1, Bgra(255, 0, 0), 0, 0, c.z),
                          V(1, -1, Bgra(255, 0, 0), 0, 0, c.z), V(-1, -1, Bgra(255, 0, 0), 0, 0, c.z)};
    dev_->Draw(EPrimitive::TriangleFan, q, 4);
    dev_->EndScene();
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), c.want)) << c.z;
  }
}

// With the depth test the nearer quad wins whatever the order.
TEST_F(GLDevice, DepthTest) {
  Screen(0, 0, kW, kH);
  RDeviceStates s;
  s.depth_test = true;
  Set(s);
  for (bool near_first : {true, false}) {
    dev_->Clear(true, true, 0, 1);
    auto near_q = Quad(0, 0, 8, 8, Bgra(255, 0, 0), 1, 1, 10);
    auto far_q = Quad(4, 4, 8, 8, Bgra(0, 255, 0), 1, 1, 500);
    DrawQuad(near_first ? near_q : far_q);
    DrawQuad(near_first ? far_q : near_q);
    dev_->EndScene();
    EXPECT_EQ(Pixel(6, 6), Bgra(255, 0, 0)) << near_first;
    EXPECT_EQ(Pixel(10, 10), Bgra(0, 255, 0)) << near_first;
  }
}

// Repeat wraps texture coordinates beyond 1 unless the draw forces clamping.
TEST_F(GLDevice, TextureAddressing) {
  const uint32_t red = Bgra(255, 0, 0), green = Bgra(0, 255, 0);
  unsigned tex = MakeTexture(2, 1, {red, green});
  struct Case {
    bool repeat, clamp;
    std::array<uint32_t, 4> want;
  } cases[] = {{true, false, {red, green, red, green}},
               {false, false, {red, green, green, green}},
               {true, true, {red, green, green, green}}};
  Screen(0, 0, kW, kH);
  for (const Case& c : cases) {
    RDeviceStates s;
    s.interpolate = false;
    s.repeat = c.repeat;
    Set(s);
    dev_->BindTexture(tex);
    DrawQuad(Quad(0, 0, 4, 1, 0xFFFFFFFF, 2, 1), c.clamp);
    dev_->EndScene();
    auto px = Read(0, 0, 4, 1);
    for (int i = 0; i < 4; i++) EXPECT_EQ(px[i], c.want[i]) << c.repeat << c.clamp << " " << i;
  }
}

// Sprites that share texture and states go to OpenGL in one call; a change
// of texture or of states between them splits the batch.
TEST_F(GLDevice, DrawsAreBatched) {
  unsigned a = MakeTexture(1, 1, {Bgra(255, 0, 0)}), b = MakeTexture(1, 1, {Bgra(0, 0, 255)});
  Screen(0, 0, kW, kH);
  dev_->Clear(true, false, 0, 1);
  dev_->EndScene();
  uint64_t before = dev_->DrawCalls();
  for (int i = 0; i < 1000; i++) {
    dev_->BindTexture(a);
    dev_->SetStates(RDeviceStates{});
    DrawQuad(Quad(float(i % kW), float(i / kW), 1, 1));
  }
  dev_->EndScene();
  EXPECT_EQ(dev_->DrawCalls() - before, 1u);
  EXPECT_EQ(Pixel(kW - 1, 0), Bgra(255, 0, 0));
  EXPECT_EQ(Pixel(1000 % kW - 1, 1000 / kW), Bgra(255, 0, 0));

  before = dev_->DrawCalls();
  for (int i = 0; i < 100; i++) {
    dev_->BindTexture(i % 2 ? b : a);
    DrawQuad(Quad(float(i % kW), 30, 1, 1));
  }
  dev_->EndScene();
  EXPECT_EQ(dev_->DrawCalls() - before, 100u);
  EXPECT_EQ(Pixel(0, 30), Bgra(255, 0, 0));
  EXPECT_EQ(Pixel(1, 30), Bgra(0, 0, 255));

  // A read or an upload in the middle of a batch sees everything drawn so far.
  before = dev_->DrawCalls();
  dev_->BindTexture(a);
  DrawQuad(Quad(0, 40, 1, 1));
  EXPECT_EQ(Pixel(0, 40), Bgra(255, 0, 0));
  DrawQuad(Quad(1, 40, 1, 1));
  uint32_t blue = Bgra(0, 0, 255);
  dev_->UploadTexture(a, 0, 0, 1, 1, &blue);
  DrawQuad(Quad(2, 40, 1, 1));
  dev_->EndScene();
  EXPECT_EQ(Read(0, 40, 3, 1), (std::vector<uint32_t>{Bgra(255, 0, 0), Bgra(255, 0, 0), blue}));
  EXPECT_EQ(dev_->DrawCalls() - before, 3u);
}

// Present blits the source rectangle into the window, flipped the right way,
// scaled, with the border colour around it.
TEST_F(GLDevice, PresentPlacesAndScales) {
  auto image = Distinct(kW, kH);
  unsigned tex = MakeTexture(kW, kH, image);
  Screen(0, 0, kW, kH);
  SetBlend(2, 1);
  dev_->BindTexture(tex);
  DrawQuad(Quad(0, 0, kW, kH, 0xFFFFFFFF, 1, float(kH) / 64));
  dev_->EndScene();
  const int dx = 10, dy = 20, border = 0x336699;  // 0x00BBGGRR
  ASSERT_TRUE(dev_->Present(0, 0, kW, kH, dx, dy, 2 * kW, 2 * kH, kWinW, kWinH, border));
  ASSERT_EQ(swapped_.size(), size_t(kWinW) * kWinH);
  SavePng("present.png", kWinW, kWinH, swapped_);
  for (int y = 0; y < kWinH; y++)
    for (int x = 0; x < kWinW; x++) {
      bool in = x >= dx && x < dx + 2 * kW && y >= dy && y < dy + 2 * kH;
      uint32_t want = in ? image[((y - dy) / 2) * kW + (x - dx) / 2] : Bgra(0x99, 0x66, 0x33);
      ASSERT_EQ(swapped_[y * kWinW + x] & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }
  // The back buffer is still the target afterwards.
  EXPECT_EQ(Pixel(3, 2), image[2 * kW + 3]);

  // A client area given in window units half the size of its pixels (a
  // high-density screen): the rectangle lands on the same pixels.
  ASSERT_TRUE(dev_->Present(0, 0, kW, kH, dx / 2, dy / 2, kW, kH, kWinW / 2, kWinH / 2, 0));
  for (int y = 0; y < kWinH; y++)
    for (int x = 0; x < kWinW; x++) {
      bool in = x >= dx && x < dx + 2 * kW && y >= dy && y < dy + 2 * kH;
      uint32_t want = in ? image[((y - dy) / 2) * kW + (x - dx) / 2] : 0;
      ASSERT_EQ(swapped_[y * kWinW + x] & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }
}

// A multisampled back buffer is resolved for reads and for presenting.
TEST_F(GLDevice, Multisampling) {
  if (!(dev_->Caps().multisample_mask & 4)) GTEST_SKIP() << "no 4x multisampling";
  Open(RDeviceParams{kW, kH, 24, 4, false});
  Screen(0, 0, kW, kH);
  dev_->Clear(true, true, 0, 1);
  RDeviceVertex tri[3] = {V(-0.5f, -0.5f, Bgra(255, 255, 255)), V(40, -0.5f, Bgra(255, 255, 255)),
                          V(-0.5f, 30, Bgra(255, 255, 255))};
  dev_->Draw(EPrimitive::TriangleList, tri, 3);
  dev_->EndScene();
  EXPECT_EQ(Pixel(2, 2), Bgra(255, 255, 255));
  EXPECT_EQ(Pixel(40, 30), Bgra(0, 0, 0, 0));
  // Along the diagonal some pixels are partly covered.
  auto px = Read(0, 0, kW, kH);
  int partial = 0;
  for (uint32_t p : px) partial += R(p) > 0 && R(p) < 255;
  EXPECT_GT(partial, 10);
  ASSERT_TRUE(dev_->Present(0, 0, kW, kH, 0, 0, kW, kH, kWinW, kWinH, 0));
  EXPECT_EQ(swapped_[2 * kWinW + 2] & 0xFFFFFF, 0xFFFFFFu);
}

// A reset rebuilds the back buffer at the new size; textures survive.
TEST_F(GLDevice, ResetKeepsTextures) {
  unsigned tex = MakeTexture(2, 2, {Bgra(1, 2, 3), Bgra(4, 5, 6), Bgra(7, 8, 9), Bgra(10, 11, 12)});
  std::string error;
  ASSERT_TRUE(dev_->Reset(RDeviceParams{32, 24, 16, 0, false}, error)) << error;
  std::vector<uint32_t> row(33);
  EXPECT_FALSE(dev_->ReadPixels(0, 0, 33, 1, row.data()));
  EXPECT_TRUE(dev_->ReadPixels(0, 0, 32, 1, row.data()));
  Screen(0, 0, 32, 24);
  dev_->BindTexture(tex);
  SetBlend(2, 1);
  DrawQuad(Quad(30, 22, 2, 2, 0xFFFFFFFF, 1, 1));
  dev_->EndScene();
  EXPECT_EQ(Read(30, 22, 2, 2), (std::vector<uint32_t>{Bgra(1, 2, 3), Bgra(4, 5, 6), Bgra(7, 8, 9), Bgra(10, 11, 12)}));
}

// Freed handles are reused lowest first; a freed or unknown texture draws
// as no texture.
TEST_F(GLDevice, TextureHandles) {
  unsigned a = MakeTexture(1, 1, {}), b = MakeTexture(1, 1, {}), c = MakeTexture(1, 1, {});
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(c, b + 1);
  dev_->FreeTexture(b);
  EXPECT_EQ(MakeTexture(1, 1, {}), b);
  EXPECT_EQ(dev_->CreateTexture(0, 4, false), 0u);
  EXPECT_EQ(dev_->CreateTexture(1 << 20, 4, false), 0u);

  Screen(0, 0, kW, kH);
  SetBlend(2, 1);
  unsigned t = MakeTexture(1, 1, {Bgra(0, 0, 0)});
  dev_->BindTexture(t);
  dev_->FreeTexture(t);
  DrawQuad(Quad(0, 0, 1, 1, Bgra(9, 9, 9)));
  dev_->EndScene();
  EXPECT_EQ(Pixel(0, 0), Bgra(9, 9, 9));
}

}  // namespace
