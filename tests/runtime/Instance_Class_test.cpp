// Instances: the motion vector, friction and gravity, the bounding box from
// the sprite, sprite and object changes, and the built-in variables that
// read and write them through the language.
#include <gtest/gtest.h>

#include <cmath>

#include "resources/Object_Main.h"
#include "resources/Sprite_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "Runtime_Code.h"

namespace {

TEST(InstanceMotion, ComponentsAndDirectionStayConsistent) {
  CInstance i;
  i.SetHSpeed(3);
  i.SetVSpeed(-3);
  EXPECT_DOUBLE_EQ(i.i_direction, 45);
  EXPECT_NEAR(i.i_speed, 4.242640687, 1e-9);

  CInstance j;
  j.SetSpeed(4);
  j.SetDirection(-90);
  EXPECT_EQ(j.i_direction, 270);
  EXPECT_EQ(j.i_hspeed, 0);  // the cosine residue is snapped
  EXPECT_EQ(j.i_vspeed, 4);

  struct {
    double in, stored;
  } dirs[] = {{720, 0}, {-0.5, 359.5}, {360, 0}, {45.25, 45.25}};
  for (auto d : dirs) {
    CInstance k;
    k.SetDirection(d.in);
    EXPECT_DOUBLE_EQ(k.i_direction, d.stored) << d.in;
  }

  CInstance n;  // a negative speed points backwards, the direction stays
  n.SetDirection(90);
  n.SetSpeed(-2);
  EXPECT_EQ(n.i_direction, 90);
  EXPECT_EQ(n.i_vspeed, 2);
}

TEST(InstanceMotion, FrictionAndGravity) {
  struct {
    double speed, friction, after;
  } cases[] = {{0.5, 1, 0}, {0, 1, 0}, {-0.5, 1, 0}, {3, 1, 2}, {-3, 1, -2}, {2, -1, 3}};
  for (auto c : cases) {
    CInstance i;
    i.SetSpeed(c.speed);
    i.i_friction = c.friction;
    i.Adapt_Speed();
    EXPECT_DOUBLE_EQ(i.i_speed, c.after) << c.speed << " " << c.friction;
  }
  CInstance g;
  g.i_gravity = 0.5;
  g.i_gravitydir = 270;
  g.Adapt_Speed();
  EXPECT_DOUBLE_EQ(g.i_vspeed, 0.5);
  EXPECT_DOUBLE_EQ(g.i_direction, 270);
  EXPECT_DOUBLE_EQ(g.i_speed, 0.5);
}

TEST(InstanceMotion, AlarmsOutsideTheirRange) {
  CInstance i;
  i.Set_Alarm(12, 5);
  i.Set_Alarm(-1, 5);
  EXPECT_EQ(i.Get_Alarm(0), -1);
  EXPECT_EQ(i.Get_Alarm(12), -1);
  i.Set_Alarm(11, 4);
  EXPECT_EQ(i.Get_Alarm(11), 4);
}

class InstanceSpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSprites();
    ClearObjects();
    // Sprite 0: 32 x 32 box, origin (16, 16), 4 frames; sprite 1: 1 frame.
    for (int k = 0; k < 2; ++k) {
      CSprite* s = GetSprite(AddSprite());
      s->i_numb = k == 0 ? 4 : 1;
      s->i_bitmap.resize(size_t(s->i_numb));
      s->i_xorig = 16;
      s->i_yorig = 16;
      s->i_bbox = TRect{0, 0, 31, 31};
    }
  }
  void TearDown() override {
    ClearSprites();
    ClearObjects();
  }
};

TEST_F(InstanceSpriteTest, BoundingBoxFollowsPositionScaleAndAngle) {
  CInstance i;
  i.SetSpriteIndex(0);
  i.SetPosition(100, 100);
  EXPECT_EQ(i.i_bbox, (TRect{84, 84, 115, 115}));
  i.SetImageScaleX(-1);
  EXPECT_EQ(i.i_bbox, (TRect{83, 84, 116, 115}));
  i.SetImageScaleX(1);
  i.SetImageAngle(90);
  EXPECT_EQ(i.i_bbox.right - i.i_bbox.left, 31);
  EXPECT_EQ(i.i_bbox.bottom - i.i_bbox.top, 31);
  i.SetSpriteIndex(7);  // no such sprite: far away
  EXPECT_EQ(i.i_bbox, (TRect{-100000, -100000, -100000, -100000}));
  EXPECT_FALSE(i.HasShape());
  i.SetMaskIndex(1);  // the mask alone gives the shape
  EXPECT_TRUE(i.HasShape());
  EXPECT_NE(i.i_bbox.left, -100000);
}

TEST_F(InstanceSpriteTest, SpriteWithFewerFramesResetsTheImage) {
  CInstance i;
  i.SetSpriteIndex(0);
  i.i_imageindex = 3;
  i.SetSpriteIndex(0);
  EXPECT_EQ(i.i_imageindex, 3);
  i.SetSpriteIndex(1);
  EXPECT_EQ(i.i_imageindex, 0);
}

TEST_F(InstanceSpriteTest, ObjectSuppliesSpriteDepthAndFlags) {
  CObject* o = GetObject(AddObject());
  o->o_spriteindex = 0;
  o->o_depth = 7;
  o->o_solid = true;
  o->o_visible = false;
  o->o_persistent = true;
  o->o_mask = 1;
  CInstance i;
  i.Create(100010, 0, 50, 60);
  EXPECT_EQ(i.i_spriteindex, 0);
  EXPECT_EQ(i.i_maskindex, 1);
  EXPECT_EQ(i.i_depth, 7);
  EXPECT_TRUE(i.i_solid);
  EXPECT_FALSE(i.i_visible);
  EXPECT_TRUE(i.i_persistent);
  EXPECT_EQ(i.i_xstart, 50);
  EXPECT_EQ(i.i_yprevious, 60);
  EXPECT_EQ(i.i_bbox, (TRect{34, 44, 65, 75}));

  CInstance copy;
  i.i_vars.SetVar(100000, 0, RValue(5.0));
  copy.Assign(i);
  EXPECT_EQ(copy.i_id, 100010);
  RValue v;
  ASSERT_TRUE(copy.i_vars.GetVar(100000, 0, v));
  EXPECT_EQ(v.val, 5);
}

// Runs code on one instance and returns the result or the error text.
std::string RunCode(CInstance& inst, const std::string& text) {
  RegisterBuiltins();
  return RunCodeOn(inst, text);
}

TEST(InstanceVariables, ReadAndWriteThroughTheLanguage) {
  SetHeadlessErrorChoice(false);
  struct {
    const char* code;
    const char* result;
  } cases[] = {
      {"hspeed = 3; vspeed = -3; return direction", "45"},
      {"speed = 4; direction = -90; return vspeed", "4"},
      {"visible = 0.5; return visible", "0"},
      {"visible = 0.6; return visible", "1"},
      {"alarm[3] = 2.5; return alarm[3]", "2"},
      {"alarm[0] = 9; return alarm[12]", "9"},
      {"image_single = 3; return image_speed * 10 + image_index", "3"},
      {"image_single = 3; image_single = -1; return image_speed", "1"},
      {"image_speed = 0.5; return image_single", "-1"},
      {"x = 10; y = 20; return x + y", "30"},
      {"path_position = 3; return path_position", "1"},
      {"timeline_running = 1; return timeline_running", "1"},
      {"return bbox_left", "-100000"},
      {"return image_number + sprite_width", "0"},
      {"return gravity_direction", "270"},
      {"id = 5", "error: "},
      {"bbox_left = 1", "error: "},
  };
  for (auto c : cases) {
    CInstance inst(100001, 0);
    const std::string got = RunCode(inst, c.code);
    if (std::string(c.result).rfind("compile: ", 0) == 0 || std::string(c.result).rfind("error: ", 0) == 0)
      EXPECT_EQ(got.substr(0, std::string(c.result).size()), c.result) << c.code << " -> " << got;
    else
      EXPECT_EQ(got, c.result) << c.code;
  }
}

TEST(InstanceVariables, GlobalsWithoutARoom) {
  SetHeadlessErrorChoice(false);
  CInstance inst(100001, 0);
  EXPECT_EQ(RunCode(inst, "return instance_count"), "0");
  EXPECT_EQ(RunCode(inst, "return instance_id[0]"), "-4");
  EXPECT_EQ(RunCode(inst, "score = 2.5; return score"), "2");
  EXPECT_EQ(RunCode(inst, "health = 12.5; return health"), "12.5");
  EXPECT_EQ(RunCode(inst, "return caption_lives"), "Lives: ");
  EXPECT_EQ(RunCode(inst, "return current_weekday >= 1 && current_weekday <= 7"), "1");
}
}  // namespace
