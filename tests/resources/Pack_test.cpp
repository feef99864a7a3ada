// Project folder -> roompack -> game file -> the runner's reader -> the
// resource tables, for every resource kind; and the packer's refusals of
// broken resource files.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "resources/Background_Main.h"
#include "resources/Font_Main.h"
#include "resources/Object_Main.h"
#include "resources/Path_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sound_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runner/DataNew_Main.h"

namespace fs = std::filesystem;

namespace {

const fs::path kGame = fs::path(ROOMRUN_SOURCE_DIR) / "tests/games/resources_full";

struct RPack {
  int status = -1;
  std::string output;
};

RPack Pack(const fs::path& dir, const fs::path& out) {
  const std::string cmd = "'" + (fs::path(ROOMRUN_BIN_DIR) / "roompack").string() + "' '" + dir.string() +
                          "' -o '" + out.string() + "' 2>&1";
  const testproc::ROutput run = testproc::Capture(cmd);
  return RPack{run.status, run.out};
}

class PackTest : public ::testing::Test {
 protected:
  fs::path tmp;
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rr_pack_XXXXXX").string();
    tmp = mkdtemp(pattern.data());
  }
  void TearDown() override {
    ClearGameData();
    fs::remove_all(tmp);
  }
  // A copy of the fixture with one file replaced.
  fs::path Variant(const std::string& relpath, const std::string& text) {
    const fs::path dir = tmp / "variant";
    fs::copy(kGame, dir, fs::copy_options::recursive);
    std::ofstream(dir / relpath, std::ios::binary) << text;
    return dir;
  }
};

TEST_F(PackTest, EveryKindSurvivesTheRoundTrip) {
  const fs::path out = tmp / "game.bin";
  const RPack r = Pack(kGame, out);
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_TRUE(OpenGameFile(out.string()));

  // Sprites, with an empty index 2.
  ASSERT_EQ(SpriteCount(), 4);
  EXPECT_FALSE(SpriteExists(2));
  const CSprite& ball = *GetSprite(FindSprite("spr_ball"));
  EXPECT_EQ(ball.i_numb, 1);
  EXPECT_EQ(ball.i_xorig, 2);
  EXPECT_EQ(C32_Red(ball.i_bitmap[0].GetPixel(1, 1)), 255);
  EXPECT_EQ(ball.i_bbox, (TRect{0, 0, 3, 3}));
  EXPECT_FALSE(ball.i_mask[0].Get(0, 0));  // an ellipse over the full frame
  EXPECT_TRUE(ball.i_mask[0].Get(0, 1));
  const CSprite& strip = *GetSprite(1);
  EXPECT_EQ(strip.i_numb, 3);
  EXPECT_EQ(strip.GetWidth(), 3);
  ASSERT_EQ(strip.i_mask.size(), 3u);
  EXPECT_EQ(strip.i_mask[2].BoundingBox(), (TRect{2, 2, 2, 2}));
  EXPECT_EQ(strip.i_bbox, (TRect{0, 0, 2, 2}));
  EXPECT_EQ(GetSprite(3)->GetWidth(), 2);

  EXPECT_EQ(GetBackground(0)->GetWidth(), 8);
  EXPECT_EQ(C32_Blue(GetBackground(0)->i_bitmap.GetPixel(7, 0)), 207);

  const CPath& path = *GetPath(0);
  EXPECT_EQ(path.Count(), 4);
  EXPECT_DOUBLE_EQ(path.PathLength(), 400);
  EXPECT_DOUBLE_EQ(path.Point(1)->speed, 50);
  EXPECT_DOUBLE_EQ(path.Point(2)->speed, 100);

  const CSound& snd = *GetSound(0);
  EXPECT_EQ(snd.s_kind, 0);
  EXPECT_EQ(snd.s_extension, ".wav");
  EXPECT_EQ(snd.s_origname, "boom.wav");
  EXPECT_EQ(snd.s_sound->size(), 12u);
  EXPECT_EQ(snd.s_effects, 2 | 16);
  EXPECT_DOUBLE_EQ(snd.s_volume, 0.5);
  EXPECT_DOUBLE_EQ(snd.s_pan, -1);
  EXPECT_FALSE(snd.s_preload);

  const CFont& font = *GetFont(0);
  EXPECT_EQ(font.s_name, "Digits");
  EXPECT_EQ(font.s_first, 48);
  EXPECT_EQ(font.s_last, 52);
  EXPECT_EQ(font.s_bw, 20);
  EXPECT_EQ(font.s_FontHeight, 6);
  EXPECT_EQ(font.s_shift[48], 2);  // ink 1 wide, spacing 1
  EXPECT_EQ(font.s_shift[51], 5);
  EXPECT_EQ(font.s_x[49], 4);
  EXPECT_EQ(font.s_bytes[2 * 20 + 0], 255);

  const CTrigger& trg = *GetTrigger(0);
  EXPECT_EQ(trg.i_name, "trg_low");
  EXPECT_EQ(trg.i_condition, "return hp < 10\n");
  EXPECT_EQ(trg.i_moment, 2);
  EXPECT_EQ(FindTriggerConstant("tr_low"), 0);

  const CTimeLine& tl = *GetTimeLine(0);
  EXPECT_EQ(tl.s_step, (std::vector<int>{0, 30}));
  EXPECT_EQ(tl.Event(0)->e_actions[0].act_kind, kActVariable);
  EXPECT_EQ(tl.Event(0)->e_actions[0].act_argstring[1], "10");

  const int player = FindObject("obj_player"), wall = FindObject("obj_wall");
  const CObject& obj = *GetObject(player);
  EXPECT_EQ(obj.o_spriteindex, 0);
  EXPECT_EQ(obj.o_parent, FindObject("obj_base"));
  EXPECT_EQ(obj.o_depth, -10);
  EXPECT_TRUE(GetObject(wall)->o_solid);
  EXPECT_FALSE(GetObject(wall)->o_visible);
  EXPECT_EQ(obj.GetEventDirect(ev_create, 0)->e_actions[0].act_argstring[0], "hp = 3;\nspeed = 0;\n");
  const CEvent& begin = *obj.GetEventDirect(ev_step, 1);
  ASSERT_EQ(begin.e_number, 7);
  EXPECT_TRUE(begin.e_actions[0].act_isquestion);
  EXPECT_TRUE(begin.e_actions[0].act_isnot);
  EXPECT_EQ(begin.e_actions[0].act_functionname, "action_if_variable");
  EXPECT_EQ(begin.e_actions[0].act_argstring[2], "3");
  EXPECT_EQ(begin.e_actions[2].act_kind, kActRepeat);
  EXPECT_TRUE(begin.e_actions[3].act_relative);
  EXPECT_EQ(begin.e_actions[5].act_kind, kActElse);
  EXPECT_EQ(begin.e_actions[6].act_who, -2);
  const CAction& col = obj.GetEventDirect(ev_collision, wall)->e_actions[0];
  EXPECT_TRUE(col.act_useapplyto);
  EXPECT_EQ(col.act_who, wall);
  EXPECT_EQ(obj.GetEventDirect(ev_keypress, 37)->e_actions[0].act_argtype[0], 1);
  EXPECT_EQ(obj.GetEventDirect(ev_trigger, 0)->e_actions[0].act_kind, kActExit);
  EXPECT_EQ(GetObject(FindObject("obj_base"))->o_depth, 5);

  const CRoom& room = *GetRoom(0);
  EXPECT_EQ(room.r_caption, "Start");
  EXPECT_EQ(room.r_speed, 60);
  EXPECT_EQ(room.r_color, 0x302010);
  EXPECT_EQ(room.r_code, "score = 0;\n");
  EXPECT_DOUBLE_EQ(room.r_background[0].xscale, 40);  // 320 / 8, stretched
  EXPECT_DOUBLE_EQ(room.r_background[0].hspeed, 2);
  EXPECT_TRUE(room.r_enableviews);
  EXPECT_EQ(room.r_view[0].index, player);
  EXPECT_EQ(room.r_view[0].wport, 320);
  ASSERT_EQ(room.r_inst.size(), 3u);
  EXPECT_EQ(room.r_inst[0].id, 100001);
  EXPECT_EQ(room.r_inst[0].code, "hp = 5");
  EXPECT_EQ(room.r_inst[0].blend, 0x0000FF);
  EXPECT_NEAR(room.r_inst[0].alpha, 128.0 / 255.0, 1e-12);
  EXPECT_DOUBLE_EQ(room.r_inst[0].angle, 90);
  EXPECT_DOUBLE_EQ(room.r_inst[2].xscale, 2);
  ASSERT_EQ(room.r_tnumb, 1);
  EXPECT_EQ(room.r_tile[0].id, 10000001);
  EXPECT_EQ(room.r_tile[0].xo, 2);
  EXPECT_DOUBLE_EQ(room.r_tile[0].depth, -1);
  EXPECT_EQ(LastInstanceId, 100003);
  EXPECT_EQ(LastTileId, 10000001);
}

TEST_F(PackTest, BrokenResourceFilesAreNamed) {
  const struct {
    std::string file, text, message;
  } cases[] = {
      {"sprites/spr_strip.json", "{ \"frames\": [\"sprites/spr_ball.png\", \"sprites/spr_plain.png\"] }",
       "frame 1 is 2x2, the first frame 4x4"},
      {"objects/obj_base.json", "{ \"parent\": \"obj_player\" }", "the parent chain loops"},
      {"rooms/rm_start.json", "{ \"instances\": [{ \"object\": \"obj_ghost\" }] }",
       "no object named \"obj_ghost\""},
      {"paths/pth_square.json", "{ \"points\": [] }", "a path needs at least one point"},
      {"objects/obj_wall.json", "{ \"events\": [{ \"event\": \"tick\", \"actions\": [] }] }",
       "unknown event \"tick\""},
      {"objects/obj_wall.json", "{ \"events\": [{ \"event\": \"draw\", \"actions\": [{ \"control\": \"loop\" }] }] }",
       "expected \"begin\", \"end\", \"else\" or \"exit\""},
      {"sounds/snd_boom.json", "{ \"file\": \"sounds/none.wav\" }", "file sounds/none.wav not found"},
      {"fonts/fnt_digits.json", "{ \"cell\": [40, 6] }", "cells must fit the picture"},
      {"timelines/tl_intro.json", "{ \"moments\": [ { \"step\": 1, \"actions\": [] }, { \"step\": 1, \"actions\": [] } ] }",
       "step 1 given twice"},
      {"paths/pth_square.json", "{ \"points\": [[0, 0]], }", "paths/pth_square.json: line 1"},
  };
  for (const auto& c : cases) {
    fs::remove_all(tmp / "variant");
    const RPack r = Pack(Variant(c.file, c.text), tmp / "out.bin");
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.file << ": " << r.output;
    EXPECT_FALSE(fs::exists(tmp / "out.bin"));
  }
}

}  // namespace
