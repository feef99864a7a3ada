// CGraphicsRecorder: strips and fans recorded as lists, colours that follow
// the current colour, drawing moved by the offset in chunks the device can
// take, and the world transform put back afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Fake_Device.h"
#include "graphics/GraphicsRecorder.h"

namespace {

// The recording device with a limit of 2 primitives per call, and the world
// transform seen at each draw.
class CSmallDevice : public fakedev::CFakeDevice {
 public:
  CSmallDevice(fakedev::RLog* log, std::vector<float>* world_at_draw) : CFakeDevice(log), world_(world_at_draw) {}
  RDeviceCaps Caps() const override {
    RDeviceCaps c;
    c.max_primitives = 2;
    return c;
  }
  void SetTransform(ETransform which, const float* m) override {
    if (which == ETransform::World) current_.assign(m, m + 16);
  }
  void Draw(EPrimitive kind, const RDeviceVertex* v, int count, bool clamp) override {
    CFakeDevice::Draw(kind, v, count, clamp);
    world_->insert(world_->end(), current_.begin(), current_.end());
  }

 private:
  std::vector<float>* world_;
  std::vector<float> current_ = std::vector<float>(16, 0);
};

class RecorderTest : public ::testing::Test {
 protected:
  fakedev::RLog log;
  std::vector<float> worlds;  // 16 floats per draw
  void SetUp() override {
    PlatformSetRenderDevice(std::make_unique<CSmallDevice>(&log, &worlds));
    ASSERT_TRUE(GR_D3D_Init(640, 480, 0));
    log.draws.clear();
    worlds.clear();
  }
  void TearDown() override {
    GR_D3D_Finish();
    PlatformSetRenderDevice(nullptr);
    GR_Texture_Reset_List();
  }
};

std::vector<RRecordedVertex> Numbered(int n, uint32_t color = 0xFFFFFFFF) {
  std::vector<RRecordedVertex> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    v[size_t(i)].x = float(i);
    v[size_t(i)].color = color;
  }
  return v;
}

std::vector<float> Xs(const std::vector<RDeviceVertex>& list) {
  std::vector<float> xs;
  for (const RDeviceVertex& v : list) xs.push_back(v.x);
  return xs;
}

TEST_F(RecorderTest, StripsAndFansBecomeListsInTheirOrder) {
  CGraphicsRecorder rec;
  rec.Create();
  const auto v = Numbered(5);
  rec.AddPrims(3, 4, v.data());  // line strip: (0 1) (1 2) (2 3)
  rec.AddPrims(5, 5, v.data());  // strip: (0 1 2) (3 2 1)... odd ones reversed
  rec.AddPrims(6, 5, v.data());  // fan: (0 1 2) (0 2 3) (0 3 4)
  rec.AddPrims(1, 2, v.data());
  rec.AddPrims(2, 3, v.data());  // line list: the odd vertex dropped
  rec.AddPrims(4, 4, v.data());  // triangle list: whole triangles only
  rec.AddPrims(9, 5, v.data());  // not a kind
  rec.AddPrims(4, -3, v.data());
  EXPECT_EQ(rec.NumLineVerts(), 6 + 2);
  EXPECT_EQ(rec.NumPointVerts(), 2);
  EXPECT_EQ(rec.NumTriVerts(), 9 + 9 + 3);

  rec.Draw(-1, 0, 0, 0);
  // Two primitives per call: triangles 7 -> 4 calls, lines 4 -> 2, points 1.
  ASSERT_EQ(log.draws.size(), 7u);
  std::vector<float> tris, lines;
  for (const auto& d : log.draws) {
    std::vector<float> xs = Xs(d.v);
    if (d.kind == EPrimitive::TriangleList) {
      EXPECT_LE(d.v.size(), 6u);
      tris.insert(tris.end(), xs.begin(), xs.end());
    } else if (d.kind == EPrimitive::LineList) {
      EXPECT_LE(d.v.size(), 4u);
      lines.insert(lines.end(), xs.begin(), xs.end());
    } else {
      EXPECT_EQ(d.kind, EPrimitive::PointList);
    }
  }
  EXPECT_EQ(tris, (std::vector<float>{0, 1, 2, 3, 2, 1, 2, 3, 4, 0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 1, 2}));
  EXPECT_EQ(lines, (std::vector<float>{0, 1, 1, 2, 2, 3, 0, 1}));
}

TEST_F(RecorderTest, VerticesOfTheCurrentColourFollowItsChanges) {
  CGraphicsRecorder rec;
  EXPECT_EQ(rec.GetColour(), 0xFFFFFFFEu);
  rec.SetColour(0xFF102031);  // stored with its lowest bit cleared
  EXPECT_EQ(rec.GetColour(), 0xFF102030u);
  const auto current = Numbered(3, rec.GetColour());
  const auto fixed = Numbered(3, 0xFF102031);  // explicit: lowest bit set
  rec.AddPrims(4, 3, current.data());
  rec.AddPrims(4, 3, fixed.data());
  rec.Draw(-1, 0, 0, 0);
  log.draws.clear();

  rec.ChangeColour(0xFF0000FF);
  EXPECT_EQ(rec.GetColour(), 0xFF0000FEu);
  rec.Draw(-1, 0, 0, 0);  // rebuilt with the new colours
  ASSERT_EQ(log.draws.size(), 1u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(log.draws[0].v[size_t(i)].color, 0xFF0000FEu);
  for (int i = 3; i < 6; ++i) EXPECT_EQ(log.draws[0].v[size_t(i)].color, 0xFF102031u);

  // Primitives added after a draw are drawn next time too.
  rec.AddPrims(1, 1, current.data());
  log.draws.clear();
  rec.Draw(-1, 0, 0, 0);
  EXPECT_EQ(log.draws.size(), 2u);
}

TEST_F(RecorderTest, DrawMovesByTheOffsetAndRestoresTheWorld) {
  // A world that scales by 2: the offset is applied before it.
  const float scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
  GR_D3D_Set_World(scale);
  CGraphicsRecorder rec;
  const auto v = Numbered(3);
  rec.AddPrims(4, 3, v.data());
  const int tex = GR_Texture_Create_From_Bitmap(TBitmap32(2, 2, 0xFFFFFFFF));
  rec.Draw(tex, 10, 20, 30);
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].tex, GR_Texture_Device_Handle(tex));
  ASSERT_EQ(worlds.size(), 16u);
  // translation(10, 20, 30) x scale: row 3 is (20, 40, 60, 1).
  EXPECT_EQ(std::vector<float>(worlds.begin() + 12, worlds.end()), (std::vector<float>{20, 40, 60, 1}));
  EXPECT_EQ(worlds[0], 2);
  float after[16];
  GR_D3D_Get_World(after);
  EXPECT_EQ(std::vector<float>(after, after + 16), std::vector<float>(scale, scale + 16));

  // Destroy empties it.
  rec.Destroy();
  log.draws.clear();
  rec.Draw(-1, 0, 0, 0);
  EXPECT_TRUE(log.draws.empty());
}

}  // namespace
