#pragma once
// A render device that only records: every draw with its vertices and the
// texture bound at the time, and the textures made, filled and freed.
// Texture sizes are the next powers of two.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Texture.h"
#include "platform/Platform.h"
#include "script/Code_Function.h"

namespace fakedev {

struct RDrawCall {
  EPrimitive kind;
  std::vector<RDeviceVertex> v;
  unsigned tex;
  bool clamp;
};

struct RFakeTexture {
  int wt = 0, ht = 0;
  bool target = false;
  std::vector<uint32_t> texels;  // wt x ht
};

// What the device saw; it outlives the device, which the platform owns.
struct RLog {
  std::vector<RDrawCall> draws;
  std::map<unsigned, RFakeTexture> textures;  // live textures by handle
  std::vector<unsigned> freed;
  RDeviceStates states;      // the last states set
  bool fail_create = false;  // CreateTexture gives 0
};

inline int NextPow2(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

class CFakeDevice : public IRenderDevice {
 public:
  explicit CFakeDevice(RLog* log) : log_(log) {}
  bool Create(const RDeviceParams&, std::string&) override { return true; }
  bool Reset(const RDeviceParams&, std::string&) override { return true; }
  void Release() override {}
  RDeviceCaps Caps() const override { return RDeviceCaps{}; }
  void BeginScene() override {}
  void EndScene() override {}
  bool Present(int, int, int, int, int, int, int, int, int, int, int) override { return true; }
  void Clear(bool, bool, uint32_t, float) override {}
  void SetViewport(int, int, int, int) override {}
  void SetTransform(ETransform, const float*) override {}
  void SetStates(const RDeviceStates& states) override { log_->states = states; }
  void TextureSize(int w, int h, int& wt, int& ht) const override {
    wt = NextPow2(w);
    ht = NextPow2(h);
  }
  unsigned CreateTexture(int wt, int ht, bool target) override {
    if (log_->fail_create) return 0;
    const unsigned handle = ++next_;
    log_->textures[handle] = RFakeTexture{wt, ht, target, std::vector<uint32_t>(size_t(wt) * size_t(ht), 0)};
    return handle;
  }
  bool UploadTexture(unsigned tex, int x, int y, int w, int h, const uint32_t* pixels) override {
    auto it = log_->textures.find(tex);
    if (it == log_->textures.end() || x + w > it->second.wt || y + h > it->second.ht) return false;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c)
        it->second.texels[size_t(y + r) * size_t(it->second.wt) + size_t(x + c)] = pixels[size_t(r) * size_t(w) + size_t(c)];
    return true;
  }
  void FreeTexture(unsigned tex) override {
    log_->textures.erase(tex);
    log_->freed.push_back(tex);
  }
  void BindTexture(unsigned tex) override { bound_ = tex; }
  bool SetRenderTarget(unsigned) override { return true; }
  void Draw(EPrimitive kind, const RDeviceVertex* v, int count, bool clamp) override {
    log_->draws.push_back(RDrawCall{kind, std::vector<RDeviceVertex>(v, v + count), bound_, clamp});
  }
  bool ReadPixels(int, int, int, int, uint32_t*) override { return false; }

 private:
  RLog* log_;
  unsigned next_ = 0;
  unsigned bound_ = 0;
};

// Installs a fresh recording device for each test and takes it away after:
// the texture list starts empty and nothing outlives the test.
class FakeDeviceTest : public ::testing::Test {
 protected:
  RLog log;
  void SetUp() override {
    PlatformSetRenderDevice(std::make_unique<CFakeDevice>(&log));
    ASSERT_TRUE(GR_D3D_Init(640, 480, 0));
    log.draws.clear();
  }
  void TearDown() override {
    GR_D3D_Finish();
    PlatformSetRenderDevice(nullptr);
    GR_Texture_Reset_List();
  }

  // Calls the built-in `name` as compiled code would, checking that it is
  // registered with exactly as many arguments as given.
  static RValue CallBuiltin(const std::string& name, std::vector<RValue> args, CInstance* self = nullptr) {
    const int argc = int(args.size());
    args.emplace_back();
    const int id = FunctionFindBuiltin(name);
    EXPECT_GE(id, 0) << name;
    RValue result;
    if (id >= 0) {
      EXPECT_EQ(FunctionGet(id).f_argnumb, argc) << name;
      FunctionGet(id).f_routine(self, self, argc, result, args.data());
    }
    return result;
  }
};

}  // namespace fakedev
