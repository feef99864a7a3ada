// The tile functions of the language on the tiles of the current room.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/Background_Main.h"
#include "resources/Room_Main.h"
#include "runner/DataNew_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

namespace {

class TileFunctionTest : public ::testing::Test {
 protected:
  CRoom room;
  void SetUp() override {
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ErrorResetForTests();
    ClearBackgrounds();
    AddBackground();
    AddBackground();
    LastTileId = 10000000;
    SetRoomCurrent(&room);
  }
  void TearDown() override {
    SetRoomCurrent(nullptr);
    ClearBackgrounds();
    ErrorResetForTests();
  }
  RValue Call(const std::string& name, const std::vector<double>& reals) {
    std::vector<RValue> args(reals.begin(), reals.end());
    const int id = FunctionFindBuiltin(name);
    EXPECT_GE(id, 0) << name;
    RValue result;
    if (id >= 0) FunctionGet(id).f_routine(nullptr, nullptr, int(args.size()), result, args.data());
    return result;
  }
  double Num(const std::string& name, const std::vector<double>& args) { return Call(name, args).val; }
};

TEST_F(TileFunctionTest, AddReturnsIdsAndGettersReadTheTile) {
  const double id = Num("tile_add", {1, 2.4, 3, 16, 8, 10.5, 20, -7.5});
  EXPECT_EQ(id, 10000001);
  EXPECT_EQ(Num("tile_add", {0, 0, 0, 4, 4, 0, 0, 0}), 10000002);
  EXPECT_EQ(Num("tile_get_x", {id}), 10.5);
  EXPECT_EQ(Num("tile_get_left", {id}), 2);  // rounded
  EXPECT_EQ(Num("tile_get_depth", {id}), -7.5);
  EXPECT_EQ(Num("tile_get_background", {id}), 1);
  EXPECT_EQ(Num("tile_get_blend", {id}), 16777215);
  EXPECT_EQ(Num("tile_get_visible", {id}), 1);
  EXPECT_EQ(Num("tile_exists", {id}), 1);
  EXPECT_FALSE(error_occurred);

  Call("tile_set_region", {id, 1, 1, 32, 32});
  Call("tile_set_scale", {id, 2, 0.5});
  Call("tile_set_visible", {id, 0.4});
  EXPECT_EQ(Num("tile_get_width", {id}), 32);
  EXPECT_EQ(Num("tile_get_yscale", {id}), 0.5);
  EXPECT_EQ(Num("tile_get_visible", {id}), 0);
  // Foreground tiles (depth below 0) are found with foreground true.
  EXPECT_EQ(Num("tile_find", {20, 21, 1}), id);
  EXPECT_EQ(Num("tile_find", {20, 21, 0}), -1);
  EXPECT_EQ(Num("tile_layer_find", {-7.5, 20, 21}), id);
  Call("tile_layer_shift", {-7.5, 100, 0});
  EXPECT_EQ(Num("tile_get_x", {id}), 110.5);
  Call("tile_delete", {id});
  EXPECT_EQ(Num("tile_exists", {id}), 0);
  EXPECT_EQ(room.r_tnumb, 1);
}

TEST_F(TileFunctionTest, MissingTilesAndBackgroundsAreReported) {
  EXPECT_EQ(Num("tile_get_background", {42}), -1);
  EXPECT_TRUE(error_occurred);
  EXPECT_NE(error_last.find("Tile does not exist."), std::string::npos);
  EXPECT_EQ(Num("tile_get_x", {42}), 0);
  EXPECT_EQ(Num("tile_exists", {42}), 0);
  EXPECT_EQ(Num("tile_find", {0, 0, 0}), -1);

  ErrorResetForTests();
  error_last.clear();
  EXPECT_EQ(Num("tile_add", {5, 0, 0, 1, 1, 0, 0, 0}), -1);
  EXPECT_NE(error_last.find("Background does not exist."), std::string::npos);
  const double id = Num("tile_add", {0, 0, 0, 1, 1, 0, 0, 0});
  Call("tile_set_background", {id, 9});
  EXPECT_EQ(Num("tile_get_background", {id}), 0);

  // Without a room being played there are no tiles.
  SetRoomCurrent(nullptr);
  EXPECT_EQ(Num("tile_exists", {id}), 0);
  EXPECT_EQ(Num("tile_add", {0, 0, 0, 1, 1, 0, 0, 0}), -1);
}

}  // namespace
