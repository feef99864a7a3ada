// Backgrounds, fonts, time lines, triggers and sounds: records, round trips
// and their own operations.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "resources/Background_Main.h"
#include "resources/Font_Main.h"
#include "resources/Sound_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runner/Support_Stream.h"

namespace {

// --- backgrounds --------------------------------------------------------------

TEST(BackgroundTest, RecordRoundTripAndBackgroundFile) {
  CBackground b;
  b.CreateColor(3, 2, 0x0000FF);
  EXPECT_EQ(b.i_bitmap.GetPixel(2, 1), C32_Make(255, 0, 0, 255));
  CStream s;
  b.SaveToStream(s);
  s.Seek(0);
  CBackground back;
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(back.i_bitmap, b.i_bitmap);
  EXPECT_EQ(back.GetTexture(), -1);

  CStream wrong;
  wrong.WriteInteger(700);
  wrong.Seek(0);
  EXPECT_FALSE(back.LoadFromStream(wrong));

  CStream inner;
  inner.WriteInteger(710);
  inner.WriteBoolean(true);
  for (int i = 0; i < 6; ++i) inner.WriteInteger(i);
  b.i_bitmap.SaveToStream(inner);
  CStream file;
  file.WriteInteger(1234321);
  file.WriteStreamC(inner);
  file.Seek(0);
  ASSERT_TRUE(back.LoadFromBackgroundData(file));
  EXPECT_EQ(back.i_bitmap, b.i_bitmap);
}

TEST(BackgroundTest, GradientsNeverReachTheSecondColourOnKind0) {
  CBackground b;
  b.CreateGradient(4, 1, 0x000000, 0x0000FF, 0);
  // Columns c(0), c(0.25), c(0.5), c(0.75): red 0, 64, 128, 191.
  const int reds[] = {0, 64, 128, 191};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(C32_Red(b.i_bitmap.GetPixel(x, 0)), reds[x]) << x;
  b.CreateGradient(1, 4, 0x000000, 0x00FF00, 1);
  EXPECT_EQ(C32_Green(b.i_bitmap.GetPixel(0, 3)), 191);
  // Sides below 1 count as 1; unknown kinds only fill with the first colour.
  b.CreateGradient(0, -3, 0x123456, 0, 99);
  EXPECT_EQ(b.GetWidth(), 1);
  EXPECT_EQ(b.i_bitmap.GetPixel(0, 0), C32_FromColor(0x123456));
  // Rectangles from the border inward: the border has col1, the middle col2.
  b.CreateGradient(5, 5, 0x000000, 0xFF0000, 2);
  EXPECT_EQ(C32_Blue(b.i_bitmap.GetPixel(0, 0)), 0);
  EXPECT_EQ(C32_Blue(b.i_bitmap.GetPixel(2, 2)), 255);
  // Quarter discs from the top-left corner: the corner has col2.
  b.CreateGradient(4, 4, 0x000000, 0xFF0000, 8);
  EXPECT_EQ(C32_Blue(b.i_bitmap.GetPixel(0, 0)), 191);
  EXPECT_EQ(C32_Blue(b.i_bitmap.GetPixel(3, 3)), 0);
}

// --- fonts ----------------------------------------------------------------------

CFont SampleFont() {
  CFont f;
  f.s_name = "Arial";
  f.s_size = 14;
  f.s_bold = true;
  f.s_first = 32;
  f.s_last = 90;
  f.s_charset = 2;
  f.s_AntiAlias = 3;
  for (int c = 0; c < 256; ++c) {
    f.s_x[c] = c;
    f.s_h[c] = c % 17;
    f.s_shift[c] = c % 7 + 1;
    f.s_offset[c] = -(c % 3);
  }
  f.s_bw = 4;
  f.s_bh = 2;
  f.s_bytes = {0, 64, 128, 255, 1, 2, 3, 4};
  return f;
}

TEST(FontTest, RecordRoundTripAndRangeWord) {
  const CFont f = SampleFont();
  CStream s;
  f.SaveToStream(s);
  s.Seek(0);
  CFont b;
  ASSERT_TRUE(b.LoadFromStream(s));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(b.s_name, "Arial");
  EXPECT_TRUE(b.s_bold);
  EXPECT_FALSE(b.s_italic);
  EXPECT_EQ(b.s_first, 32);
  EXPECT_EQ(b.s_last, 90);
  EXPECT_EQ(b.s_charset, 2);
  EXPECT_EQ(b.s_AntiAlias, 3);
  EXPECT_EQ(b.s_shift, f.s_shift);
  EXPECT_EQ(b.s_offset, f.s_offset);
  EXPECT_EQ(b.s_bytes, f.s_bytes);
  EXPECT_EQ(b.s_FontHeight, 16);

  // The range word sits after version, name, size, bold and italic.
  // 32 + (2 << 16) + (4 << 24): first 32, charset 2, anti-aliasing 4 - 1.
  CStream word;
  f.SaveToStream(word);
  const uint32_t packed = 32u + (2u << 16) + (4u << 24);
  std::vector<uint8_t> bytes = word.Bytes();
  for (int i = 0; i < 4; ++i) bytes[25 + size_t(i)] = uint8_t(packed >> (8 * i));
  CStream again(bytes);
  ASSERT_TRUE(b.LoadFromStream(again));
  EXPECT_EQ(b.s_first, 32);
  EXPECT_EQ(b.s_charset, 2);
  EXPECT_EQ(b.s_AntiAlias, 3);
  // Zero fields fall back to charset 1 and anti-aliasing 3.
  for (int i = 0; i < 4; ++i) bytes[25 + size_t(i)] = uint8_t(32u >> (8 * i));
  CStream zero(bytes);
  ASSERT_TRUE(b.LoadFromStream(zero));
  EXPECT_EQ(b.s_charset, 1);
  EXPECT_EQ(b.s_AntiAlias, 3);
}

TEST(FontTest, AtlasMustMatchItsSize) {
  CFont f = SampleFont();
  f.s_bh = 3;  // 12 bytes expected, 8 stored
  CStream s;
  f.SaveToStream(s);
  s.Seek(0);
  CFont b;
  EXPECT_FALSE(b.LoadFromStream(s));
}

TEST(FontTest, AdvancesAndSpriteFonts) {
  CFont f = SampleFont();
  // 'A' (65) in range; 20 below it advances like the space.
  EXPECT_EQ(f.TextWidth("AA"), 2 * f.s_shift[65]);
  EXPECT_EQ(f.TextWidth(std::string(1, char(20))), f.s_shift[32]);
  EXPECT_EQ(f.TextHeight(""), f.s_FontHeight);
  f.s_first = 40;  // the space out of range: the first character's advance
  EXPECT_EQ(f.CharShift(20), f.s_shift[40]);

  // Texts are measured in the font's code page, one code per byte.
  CFont cp;
  cp.s_charset = 0;  // 1252
  EXPECT_EQ(cp.ConvertText("a\xE2\x82\xAC\xC3\xA9"), "a\x80\xE9");  // euro sign, e acute
  EXPECT_EQ(cp.ConvertText("\xD0\x96"), "?");  // Cyrillic: not in 1252
  cp.s_charset = 204;  // 1251
  EXPECT_EQ(cp.ConvertText("\xD0\x96"), "\xC6");
  cp.s_charset = 128;  // 932: two bytes, two codes
  EXPECT_EQ(cp.ConvertText("\xE3\x81\x82").size(), 2u);
  EXPECT_EQ(cp.ConvertText("\xFF"), "?");  // not UTF-8
  cp.s_charset = 0;
  cp.s_first = 0;
  cp.s_last = 255;
  cp.s_shift[0x80] = 9;
  cp.s_shift['a'] = 1;
  EXPECT_EQ(cp.TextWidth("a\xE2\x82\xAC"), 10);

  ClearSprites();
  const int spr = AddSprite();
  CSprite* s = GetSprite(spr);
  TBitmap32 bang(8, 10);
  for (int x = 3; x <= 5; ++x) bang.SetPixel(x, 4, 0xFF000000u);
  s->i_bitmap = {bang, TBitmap32(8, 10)};
  s->i_numb = 2;
  CFont sf;
  sf.CreateFromSprite(spr, 33, true, 2);
  EXPECT_TRUE(sf.IsSpriteFont());
  EXPECT_EQ(sf.s_first, 33);
  EXPECT_EQ(sf.s_last, 34);
  EXPECT_EQ(sf.s_offset[33], -3);
  EXPECT_EQ(sf.s_shift[33], 4);
  // A fully transparent frame: box left 7, right 0.
  EXPECT_EQ(sf.s_shift[34], 2 + 1 - 8);
  EXPECT_EQ(sf.s_FontHeight, 10);
  EXPECT_EQ(sf.s_AntiAlias, 0);
  CFont none;
  none.CreateFromSprite(99, 33, true, 2);
  EXPECT_FALSE(none.IsSpriteFont());
  EXPECT_EQ(none.s_first, 32);
  ClearSprites();
}

// --- time lines -------------------------------------------------------------------

TEST(TimeLineTest, MomentSearchAndEdits) {
  CTimeLine t;
  for (int step : {20, 5, 10}) t.AddMoment(step);
  EXPECT_EQ(t.s_step, (std::vector<int>{5, 10, 20}));
  EXPECT_EQ(t.FindLarger(10), 1);
  EXPECT_EQ(t.FindLarger(10.5), 2);
  EXPECT_EQ(t.FindLarger(25), 3);
  EXPECT_EQ(t.FindSmaller(4), -1);
  EXPECT_EQ(t.FindSmaller(19.9), 1);
  EXPECT_EQ(t.Find(10), 1);
  EXPECT_EQ(t.Find(11), -1);
  t.Event(1)->AddCodeAction("x = 1");
  t.AddMoment(10);
  EXPECT_EQ(t.s_count, 3);
  EXPECT_EQ(t.Event(1)->e_number, 1);
  t.AddMoment(7);
  EXPECT_EQ(t.s_step, (std::vector<int>{5, 7, 10, 20}));
  t.DeleteMoment(5);
  t.DeleteMoment(6);
  EXPECT_EQ(t.s_step, (std::vector<int>{7, 10, 20}));
  EXPECT_EQ(t.Event(9), nullptr);
  EXPECT_EQ(t.Step(9), 0);
  CTimeLine empty;
  EXPECT_EQ(empty.FindLarger(0), -1);
  EXPECT_EQ(empty.FindSmaller(0), -1);
}

TEST(TimeLineTest, SectionRoundTrip) {
  ClearTimeLines();
  const int i = AddTimeLine();
  EXPECT_EQ(GetTimeLineName(i), "__newtimeline0");
  CTimeLine* t = GetTimeLine(i);
  t->AddMoment(3);
  t->AddMoment(30);
  t->Event(1)->AddCodeAction("instance_destroy()");
  CStream s;
  SaveSection_TimeLines(s);
  ClearTimeLines();
  s.Seek(0);
  ASSERT_TRUE(LoadSection_TimeLines(s));
  ASSERT_TRUE(TimeLineExists(0));
  EXPECT_EQ(GetTimeLine(0)->s_step, (std::vector<int>{3, 30}));
  EXPECT_EQ(GetTimeLine(0)->Event(1)->e_actions[0].act_argstring[0], "instance_destroy()");
  EXPECT_EQ(FindTimeLine("__newtimeline0"), 0);
  ClearTimeLines();

  CStream bad;
  for (int v : {501, 0}) bad.WriteInteger(v);
  bad.Seek(0);
  CTimeLine tl;
  EXPECT_FALSE(tl.LoadFromStream(bad));
}

// --- triggers ----------------------------------------------------------------------

TEST(TriggerTest, SectionRoundTripAndLookups) {
  ClearTriggers();
  TriggerList().Reset(3);
  auto t = std::make_unique<CTrigger>();
  t->i_name = "low_health";
  t->i_condition = "return hp < 10";
  t->i_moment = 2;
  t->i_constname = "tr_low";
  TriggerList().Set(2, std::move(t), "low_health");
  CStream s;
  SaveSection_Triggers(s);
  ClearTriggers();
  s.Seek(0);
  ASSERT_TRUE(LoadSection_Triggers(s));
  EXPECT_EQ(TriggerCount(), 3);
  EXPECT_FALSE(TriggerExists(0));
  EXPECT_EQ(GetTriggerName(0), "<Deleted>");
  EXPECT_EQ(GetTriggerName(2), "low_health");
  EXPECT_EQ(GetTrigger(2)->i_condition, "return hp < 10");
  EXPECT_EQ(GetTrigger(2)->i_moment, 2);
  EXPECT_EQ(FindTriggerConstant("tr_low"), 2);
  EXPECT_EQ(FindTriggerConstant("TR_LOW"), -1);
  ClearTriggers();
}

// --- sounds -------------------------------------------------------------------------

struct SoundFixture : ::testing::Test {
  std::vector<std::string> calls;
  std::filesystem::path dir;
  int temp_count = 0;
  bool accept_memory = true;
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("rr_sound_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    auto& sys = SoundSystem();
    sys.load_memory = [this](int kind, const std::vector<uint8_t>& b) {
      calls.push_back("mem" + std::to_string(kind) + ":" + std::to_string(b.size()));
      return accept_memory ? 7 : -1;
    };
    sys.load_file = [this](const std::string& f) {
      calls.push_back("file:" + std::filesystem::path(f).filename().string());
      return 9;
    };
    sys.unload = [this](int id) { calls.push_back("unload" + std::to_string(id)); };
    sys.set_volume = [this](int, double v) { calls.push_back("vol" + std::to_string(int(v * 10))); };
    sys.temp_file_name = [this](const std::string& ext) {
      return (dir / ("tmp" + std::to_string(++temp_count) + ext)).string();
    };
  }
  void TearDown() override {
    SoundSystem() = RSoundSystem();
    std::filesystem::remove_all(dir);
  }
};

TEST_F(SoundFixture, RecordRoundTrip) {
  CSound s;
  s.s_kind = 1;
  s.s_extension = ".mid";
  s.s_origname = "theme.mid";
  s.s_sound = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>{1, 2, 3});
  s.s_effects = 18;
  s.s_volume = 0.5;
  s.s_pan = -0.25;
  s.s_preload = false;
  CStream st;
  s.SaveToStream(st);
  st.Seek(0);
  CSound b;
  ASSERT_TRUE(b.LoadFromStream(st));
  EXPECT_EQ(b.s_kind, 1);
  EXPECT_EQ(b.s_extension, ".mid");
  EXPECT_EQ(b.s_origname, "theme.mid");
  ASSERT_TRUE(b.s_sound);
  EXPECT_EQ(*b.s_sound, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(b.s_effects, 18);
  EXPECT_DOUBLE_EQ(b.s_volume, 0.5);
  EXPECT_DOUBLE_EQ(b.s_pan, -0.25);
  EXPECT_FALSE(b.s_preload);
  EXPECT_EQ(b.s_soundid, -1);
}

TEST_F(SoundFixture, SamplesLoadOnDemandAndFallBackToFiles) {
  CSound none;
  none.s_kind = 0;
  EXPECT_EQ(none.GetSoundId(), -1);
  EXPECT_EQ(none.GetSoundId(), -1);
  EXPECT_TRUE(calls.empty());

  CSound s;
  s.s_kind = 0;
  s.s_sound = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>(5, 0));
  EXPECT_EQ(s.GetSoundId(), 7);
  EXPECT_EQ(calls, (std::vector<std::string>{"mem0:5", "vol10"}));

  // Rejected from memory: played from a temporary file, written once.
  calls.clear();
  accept_memory = false;
  CSound m;
  m.s_kind = 2;
  m.s_extension = ".mp3";
  m.s_sound = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>(4, 1));
  EXPECT_EQ(m.GetSoundId(), 9);
  EXPECT_EQ(m.s_kind, 3);
  EXPECT_FALSE(m.s_sound);
  EXPECT_EQ(std::filesystem::file_size(m.s_fname), 4u);
  m.Discard();
  EXPECT_EQ(m.GetSoundId(), 9);
  EXPECT_EQ(temp_count, 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"mem2:4", "file:tmp1.mp3", "vol10", "unload9",
                                             "file:tmp1.mp3", "vol10"}));
}

TEST_F(SoundFixture, TableAddFromFiles) {
  ClearSounds();
  const std::string file = (dir / "boom.wav").string();
  std::ofstream(file, std::ios::binary) << "RIFF";
  EXPECT_EQ(AddSound(dir.string() + "/missing.wav", 0, true), -1);
  EXPECT_EQ(SoundCount(), 0);
  EXPECT_EQ(AddSound(file, 0, false), 0);
  EXPECT_EQ(GetSoundName(0), "__newsound0");
  EXPECT_EQ(GetSound(0)->s_extension, ".wav");
  EXPECT_EQ(GetSound(0)->s_origname, "boom.wav");
  EXPECT_EQ(GetSound(0)->s_soundid, -1);  // not preloaded
  EXPECT_EQ(PresentSoundCount(), 1);
  EXPECT_FALSE(ReplaceSound(3, file, 0, true));
  EXPECT_TRUE(ReplaceSound(0, file, 1, true));
  EXPECT_EQ(GetSound(0)->s_kind, 1);
  EXPECT_EQ(GetSound(0)->s_soundid, 7);
  EXPECT_TRUE(DeleteSound(0));
  EXPECT_EQ(PresentSoundCount(), 0);
  ClearSounds();
}

}  // namespace
