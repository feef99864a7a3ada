// Rooms: the game-file record in its three versions, and the tile
// operations used while a room is played.
#include <gtest/gtest.h>

#include "resources/Background_Main.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Stream.h"

namespace {

struct RoomFixture : ::testing::Test {
  void SetUp() override {
    ClearObjects();
    AddObject();
    AddObject();
    ClearBackgrounds();
    const int b = AddBackground();
    GetBackground(b)->CreateColor(160, 120, 0xFF);
  }
  void TearDown() override {
    ClearObjects();
    ClearBackgrounds();
    ClearRooms();
  }
};

// A record written field by field, as an older game file holds it.
CStream OldRecord(int version, uint32_t inst_color) {
  CStream s;
  s.WriteInteger(version);
  s.WriteString("Level 1");
  for (int v : {640, 480, 60}) s.WriteInteger(v);
  s.WriteBoolean(true);
  s.WriteInteger(0x112233);
  s.WriteInteger(2);  // no colour fill, views do not clear the window
  s.WriteString("score = 0");
  s.WriteInteger(2);  // layers
  // Layer 0: stretched over the room; layer 1: stretched, missing background.
  for (int idx : {0, 7}) {
    s.WriteBoolean(true);
    s.WriteBoolean(false);
    s.WriteInteger(idx);
    s.WriteInteger(5);
    s.WriteInteger(6);
    s.WriteBoolean(false);
    s.WriteBoolean(true);
    s.WriteInteger(1);
    s.WriteInteger(-2);
    s.WriteBoolean(true);
  }
  s.WriteBoolean(true);
  s.WriteInteger(1);  // views
  s.WriteBoolean(true);
  for (int v : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1}) s.WriteInteger(v);
  s.WriteInteger(1);  // instances
  for (int v : {10, 20, 1, 100007}) s.WriteInteger(v);
  s.WriteString("hp = 3");
  if (version >= 810) {
    s.WriteReal(2);
    s.WriteReal(0.5);
    s.WriteInteger(int32_t(inst_color));
  }
  if (version >= 811) s.WriteReal(45);
  s.WriteInteger(1);  // tiles
  for (int v : {32, 64, 0, 16, 0, 16, 16, 1000, 10000005}) s.WriteInteger(v);
  if (version >= 810) {
    s.WriteReal(1.5);
    s.WriteReal(1);
    s.WriteInteger(int32_t(0x40112233u));
  }
  s.Seek(0);
  return s;
}

TEST_F(RoomFixture, Version541Defaults) {
  CStream s = OldRecord(541, 0);
  CRoom r;
  ASSERT_TRUE(r.LoadFromStream(s));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(r.r_caption, "Level 1");
  EXPECT_EQ(r.r_speed, 60);
  EXPECT_FALSE(r.r_showcolor);
  EXPECT_FALSE(r.r_clearViewBackground);
  EXPECT_EQ(r.r_code, "score = 0");
  // 640 / 160 and 480 / 120; the missing background keeps scale 1.
  EXPECT_DOUBLE_EQ(r.r_background[0].xscale, 4);
  EXPECT_DOUBLE_EQ(r.r_background[0].yscale, 4);
  EXPECT_DOUBLE_EQ(r.r_background[1].xscale, 1);
  EXPECT_DOUBLE_EQ(r.r_background[0].vspeed, -2);
  EXPECT_FALSE(r.r_background[2].visible);
  EXPECT_EQ(r.r_view[0].hport, 8);
  EXPECT_EQ(r.r_view[0].index, 1);
  EXPECT_EQ(r.r_view[1].wview, 640);
  ASSERT_EQ(r.r_inst.size(), 1u);
  EXPECT_EQ(r.r_inst[0].id, 100007);
  EXPECT_EQ(r.r_inst[0].code, "hp = 3");
  EXPECT_DOUBLE_EQ(r.r_inst[0].xscale, 1);
  EXPECT_EQ(r.r_inst[0].blend, 0xFFFFFF);
  EXPECT_DOUBLE_EQ(r.r_inst[0].angle, 0);
  ASSERT_EQ(r.r_tnumb, 1);
  EXPECT_DOUBLE_EQ(r.r_tile[0].depth, 1000);
  EXPECT_DOUBLE_EQ(r.r_tile[0].xscale, 1);
  EXPECT_EQ(r.r_tile[0].blend, 0xFFFFFF);
  EXPECT_DOUBLE_EQ(r.r_tile[0].alpha, 1);
  EXPECT_TRUE(r.r_tile[0].visible);
}

TEST_F(RoomFixture, Versions810And811SplitColourWords) {
  CStream s810 = OldRecord(810, 0x80FF0000u);
  CRoom r;
  ASSERT_TRUE(r.LoadFromStream(s810));
  EXPECT_EQ(r.r_inst[0].blend, 0xFF0000);
  EXPECT_DOUBLE_EQ(r.r_inst[0].alpha, 128.0 / 255.0);
  EXPECT_DOUBLE_EQ(r.r_inst[0].yscale, 0.5);
  EXPECT_DOUBLE_EQ(r.r_inst[0].angle, 0);
  EXPECT_DOUBLE_EQ(r.r_tile[0].xscale, 1.5);
  EXPECT_EQ(r.r_tile[0].blend, 0x112233);
  EXPECT_DOUBLE_EQ(r.r_tile[0].alpha, 64.0 / 255.0);
  CStream s811 = OldRecord(811, 0xFF000000u);
  ASSERT_TRUE(r.LoadFromStream(s811));
  EXPECT_DOUBLE_EQ(r.r_inst[0].angle, 45);
  EXPECT_DOUBLE_EQ(r.r_inst[0].alpha, 1);
}

TEST_F(RoomFixture, RecordRoundTripAndSection) {
  CStream s = OldRecord(811, 0x80FF0000u);
  CRoom r;
  ASSERT_TRUE(r.LoadFromStream(s));
  RoomList().Reset(2);
  RoomList().Set(1, std::make_unique<CRoom>(r), "rm_start");
  LastInstanceId = 100500;
  LastTileId = 10000020;
  CStream sec;
  SaveSection_Rooms(sec);
  ClearRooms();
  LastInstanceId = LastTileId = 0;
  sec.Seek(0);
  ASSERT_TRUE(LoadSection_Rooms(sec));
  EXPECT_EQ(LastInstanceId, 100500);
  EXPECT_EQ(LastTileId, 10000020);
  EXPECT_FALSE(RoomExists(0));
  ASSERT_TRUE(RoomExists(1));
  const CRoom& b = *GetRoom(1);
  EXPECT_EQ(FindRoom("rm_start"), 1);
  EXPECT_EQ(b.r_caption, r.r_caption);
  EXPECT_EQ(b.r_background, r.r_background);
  EXPECT_EQ(b.r_view, r.r_view);
  EXPECT_EQ(b.r_inst[0].blend, r.r_inst[0].blend);
  EXPECT_NEAR(b.r_inst[0].alpha, r.r_inst[0].alpha, 1e-12);
  EXPECT_EQ(b.r_tile[0].id, r.r_tile[0].id);
  EXPECT_EQ(b.r_showcolor, r.r_showcolor);
  EXPECT_EQ(b.r_clearViewBackground, r.r_clearViewBackground);
}

TEST_F(RoomFixture, BadRecordsFail) {
  CRoom r;
  CStream version;
  version.WriteInteger(540);
  version.Seek(0);
  EXPECT_FALSE(r.LoadFromStream(version));

  // An instance of an object that does not exist.
  ClearObjects();
  AddObject();
  CStream missing = OldRecord(541, 0);
  EXPECT_FALSE(r.LoadFromStream(missing));

  // Nine layers.
  CStream layers;
  layers.WriteInteger(541);
  layers.WriteString("");
  for (int v : {1, 1, 1, 0, 0, 1}) layers.WriteInteger(v);
  layers.WriteString("");
  layers.WriteInteger(9);
  layers.Seek(0);
  EXPECT_FALSE(r.LoadFromStream(layers));

  // A truncated record throws a stream error for the load guard.
  CStream cut = OldRecord(541, 0);
  CStream head(cut.Data(), 40);
  EXPECT_THROW(r.LoadFromStream(head), EStreamError);
}

TEST(RoomTiles, FindAndDeleteEdges) {
  CRoom r;
  LastTileId = 10000000;
  RTile t;
  t.x = 10;
  t.y = 10;
  t.w = 16;
  t.h = 8;
  t.xscale = 2;
  t.depth = 0;
  EXPECT_EQ(r.AddTile(t), 0);
  EXPECT_EQ(r.r_tile[0].id, 10000001);
  t.depth = -5;
  t.x = 100;
  const int fg = r.AddTile(t);
  EXPECT_EQ(r.r_tile[size_t(fg)].id, 10000002);
  EXPECT_EQ(LastTileId, 10000002);

  // Right edge (10 + 16 * 2 = 42): not found, but deleted.
  EXPECT_EQ(r.FindTileAt(41.9, 12, false), 0);
  EXPECT_EQ(r.FindTileAt(42, 12, false), -1);
  // Depth 0 is a background tile only.
  EXPECT_EQ(r.FindTileAt(20, 12, true), -1);
  EXPECT_EQ(r.FindTileAt(110, 12, true), 1);
  EXPECT_EQ(r.FindTile(10000001), 0);
  EXPECT_EQ(r.r_lasttile, 0);
  EXPECT_EQ(r.FindTile(42), -1);

  CRoom copy = r;
  copy.DeleteTilesAt(42, 18, true);  // edge included, depth 0 with either flag
  EXPECT_EQ(copy.r_tnumb, 1);
  EXPECT_EQ(copy.r_tile[0].id, 10000002);
  copy = r;
  copy.DeleteTilesAt(42, 18, false);
  EXPECT_EQ(copy.r_tnumb, 1);

  r.HideTilesDepth(-5);
  EXPECT_FALSE(r.r_tile[1].visible);
  r.ShiftTilesDepth(-5, 3, 4);
  EXPECT_DOUBLE_EQ(r.r_tile[1].x, 103);
  EXPECT_EQ(r.FindTileAtDepth(104, 15, -5), 1);
  EXPECT_EQ(r.FindTileAtDepth(104, 15, 0), -1);
  r.ChangeTilesDepth(-5, 50);
  r.SortTiles();
  EXPECT_EQ(r.r_tile[0].id, 10000002);  // depth 50 comes first
  r.DeleteTile(7);  // ignored
  r.DeleteTilesDepth(50);
  EXPECT_EQ(r.r_tnumb, 1);
  r.DeleteTilesAtDepth(20, 12, 0);
  EXPECT_EQ(r.r_tnumb, 0);
}

TEST(RoomTiles, SortKeepsEqualDepthOrder) {
  CRoom r;
  for (double d : {5.0, 10.0, 5.0, 10.0}) {
    RTile t;
    t.depth = d;
    r.AddTile(t);
  }
  const int first = r.r_tile[0].id;
  r.SortTiles();
  EXPECT_EQ(r.r_tile[0].id, first + 1);
  EXPECT_EQ(r.r_tile[1].id, first + 3);
  EXPECT_EQ(r.r_tile[2].id, first);
  EXPECT_EQ(r.r_tile[3].id, first + 2);
}

TEST(RoomTable, AssignAndOrderNavigation) {
  ClearRooms();
  AddRoom();
  AddRoom();
  GetRoom(0)->r_caption = "first";
  EXPECT_EQ(GetRoomName(1), "__newroom1");
  DeleteRoom(1);
  EXPECT_TRUE(AssignRoom(1, 0));
  EXPECT_EQ(GetRoom(1)->r_caption, "first");
  AddRoom();
  EXPECT_TRUE(AssignRoom(0, 2));  // an empty-caption room clears it
  EXPECT_EQ(GetRoom(0)->r_caption, "");
  DeleteRoom(2);
  EXPECT_TRUE(AssignRoom(1, 2));  // empty source clears
  EXPECT_EQ(GetRoom(1)->r_caption, "");
  EXPECT_FALSE(AssignRoom(1, 3));
  EXPECT_EQ(DuplicateRoom(5), -1);

  const std::vector<int> order = {3, 1, 4, 1};
  EXPECT_EQ(PreviousRoom(order, 1), 3);
  EXPECT_EQ(NextRoom(order, 1), 4);  // scanned from the back
  EXPECT_EQ(PreviousRoom(order, 3), -1);
  EXPECT_EQ(NextRoom(order, 9), -1);
  EXPECT_EQ(NextRoom({3}, 3), -1);
  ClearRooms();
}

}  // namespace
