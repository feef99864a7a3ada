// The game window model through a recording window: geometry and full screen,
// the region's place in the client area, the conversions of cursor positions
// between screen, region and room, the display functions and the window part
// of the graphics start-up.
#include <gtest/gtest.h>

#include "../library/LibTest.h"

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Function_Window.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Window.h"
#include "platform/Platform.h"
#include "runner/Option_Main.h"
#include "script/Code_Function.h"
#include "script/Function_Library.h"

namespace {

// A window on a fixed 1920 x 1080 display that records what it is told.
class FakeWindow : public IGameWindow {
 public:
  RDisplayMode display{1920, 1080, 32, 60};
  bool open = true;
  bool visible = false, fullscreen = false, on_top = false;
  EBorderStyle border = EBorderStyle::Sizeable;
  bool icons = true;
  int left = 100, top = 100, width = 640, height = 480;
  std::string caption;
  int cursor = 0;
  int mouse_x = 0, mouse_y = 0;
  int fullscreen_calls = 0;
  struct RChange {
    RDisplayMode mode;
    bool test_only;
  };
  std::vector<RChange> changes;

  RDisplayMode Display() const override { return display; }
  bool ChangeDisplay(const RDisplayMode& mode, bool test_only) override {
    changes.push_back({mode, test_only});
    if (mode.width > 1920 || mode.height > 1080) return false;
    if (!test_only) {
      if (mode.width > 0) display.width = mode.width;
      if (mode.height > 0) display.height = mode.height;
      if (mode.depth > 0) display.depth = mode.depth;
      if (mode.frequency > 0) display.frequency = mode.frequency;
    }
    return true;
  }
  void RestoreDisplay() override {}
  std::unique_ptr<IRenderDevice> Open(std::string&) override { return nullptr; }
  bool IsOpen() const override { return open; }
  void SetVsync(bool) override {}
  void SetVisible(bool v) override { visible = v; }
  bool Visible() const override { return visible; }
  void SetCaption(const std::string& c) override { caption = c; }
  // Going full screen (again) covers the display as it is now.
  void SetFullscreen(bool f) override {
    if (f) ++fullscreen_calls;
    fullscreen = f;
    if (f) {
      left = top = 0;
      width = display.width;
      height = display.height;
    }
  }
  void SetBorder(EBorderStyle style, bool i) override {
    border = style;
    icons = i;
  }
  void SetStayOnTop(bool t) override { on_top = t; }
  void SetClientRect(int l, int t, int w, int h) override {
    left = l;
    top = t;
    width = w;
    height = h;
  }
  void ClientRect(int& l, int& t, int& w, int& h) const override {
    l = left;
    t = top;
    w = width;
    h = height;
  }
  void BorderSize(int& w, int& h) const override {
    const bool none = fullscreen || border == EBorderStyle::None;
    w = none ? 0 : 8;
    h = none ? 0 : 32;
  }
  void SetCursor(int shape) override { cursor = shape; }
  void MousePosition(int& x, int& y) const override {
    x = mouse_x;
    y = mouse_y;
  }
  void SetMousePosition(int x, int y) override {
    mouse_x = x;
    mouse_y = y;
  }
  bool PollEvent(RInputEvent&) override { return false; }
  void Pump() override {}
  bool HasFocus() const override { return true; }
  bool TakeRepaintRequest() override { return false; }
  bool MessageBox(const std::string&, const std::string&) override { return true; }
  bool LoadWindowOpen(const RLoadPictures&, bool, bool, bool, int, bool) override { return false; }
  void LoadWindowProgress(int) override {}
  void LoadWindowClose() override {}
};

RValue Real(double v) {
  RValue r;
  r.SetReal(v);
  return r;
}
RValue Text(const std::string& s) {
  RValue r;
  r.SetString(s);
  return r;
}

// Calls a window or display built-in by name.
RValue Call(const std::string& name, std::initializer_list<RValue> args = {}) {
  if (FunctionFindBuiltin("window_get_x") < 0) FunctionAddLibrary(kLibrary_Window);
  return libtest::CallBuiltin(name, args);
}
double Num(const std::string& name, std::initializer_list<RValue> args = {}) { return Call(name, args).val; }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowReset();
    DisplayResetForTests();
    auto window = std::make_unique<FakeWindow>();
    win_ = window.get();
    RPlatform p;
    p.window = std::move(window);
    PlatformInstall(std::move(p));
  }
  void TearDown() override {
    PlatformShutdown();
    WindowReset();
    DisplayResetForTests();
  }
  void ExpectClient(int l, int t, int w, int h) {
    EXPECT_EQ(win_->left, l);
    EXPECT_EQ(win_->top, t);
    EXPECT_EQ(win_->width, w);
    EXPECT_EQ(win_->height, h);
  }
  // The cursor at a client position, as the window's motion events report it.
  void CursorAt(int x, int y) { WindowCursorMoved(x, y); }
  void Views(double& x, double& y) {
    x = Num("window_views_mouse_get_x");
    y = Num("window_views_mouse_get_y");
  }

  FakeWindow* win_ = nullptr;
};

TEST_F(WindowTest, FixedScaleSizesTheClientAndHoldsItsMinimum) {
  Call("window_set_region_size", {Real(320), Real(240), Real(1)});
  Call("window_set_region_scale", {Real(2), Real(1)});
  ExpectClient(100, 100, 640, 480);
  EXPECT_EQ(Num("window_get_region_scale"), 2);
  // Smaller than the scaled region: raised again.
  Call("window_set_size", {Real(100), Real(100)});
  ExpectClient(100, 100, 640, 480);
  Call("window_set_size", {Real(900), Real(100)});
  ExpectClient(100, 100, 900, 480);
  // The user dragging the border: the same minimum, each side on its own.
  int w = 100, h = 900;
  WindowCanResize(w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 900);

  // Without adapt the client only grows, each side separately.
  win_->SetClientRect(100, 100, 1000, 500);
  Call("window_set_region_size", {Real(300), Real(300), Real(0)});
  ExpectClient(100, 100, 1000, 600);
  // Sides of 0 or less leave the region as it was.
  Call("window_set_region_size", {Real(0), Real(-5), Real(0)});
  EXPECT_EQ(Num("window_get_region_width"), 300);
  EXPECT_EQ(Num("window_get_region_height"), 300);

  // Stretch and fit do not hold the client to a size.
  Call("window_set_region_scale", {Real(0), Real(1)});
  Call("window_set_size", {Real(100), Real(50)});
  ExpectClient(100, 100, 100, 50);
  w = 10, h = 10;
  WindowCanResize(w, h);
  EXPECT_EQ(w, 10);
}

TEST_F(WindowTest, RegionRectangleInTheClient) {
  struct Case {
    double scale;
    int rw, rh, cw, ch;
    RRegionRect want;
  } cases[] = {
      {-1, 320, 240, 800, 500, {66, 0, 667, 500}},   // fit: min(2.5, 2.083..)
      {-1, 320, 240, 320, 480, {0, 120, 320, 240}},  // fit by width
      {0, 320, 240, 800, 500, {0, 0, 800, 500}},     // stretch
      {1, 640, 480, 800, 600, {80, 60, 640, 480}},   // centred
      {2, 320, 240, 600, 400, {-20, -40, 640, 480}}, // too small: centred and cut
      {1.5, 101, 101, 200, 200, {24, 24, 152, 152}},  // 151.5 rounds to even
  };
  for (const Case& c : cases) {
    WindowReset();
    WindowSetRegionScale(c.scale, false);
    WindowSetRegionSize(c.rw, c.rh, false);
    const RRegionRect r = WindowRegionRect(c.cw, c.ch);
    EXPECT_EQ(r.left, c.want.left) << c.scale << " " << c.cw << "x" << c.ch;
    EXPECT_EQ(r.top, c.want.top) << c.scale << " " << c.cw << "x" << c.ch;
    EXPECT_EQ(r.width, c.want.width) << c.scale << " " << c.cw << "x" << c.ch;
    EXPECT_EQ(r.height, c.want.height) << c.scale << " " << c.cw << "x" << c.ch;
  }
  // What the device is told: that rectangle in the client as it is, and the
  // colour around it.
  WindowSetRegionScale(-1, false);
  WindowSetRegionSize(320, 240, false);
  win_->SetClientRect(0, 0, 800, 500);
  Call("window_set_color", {Real(0x123456)});
  const RPresentPlacement p = WindowPlacement();
  EXPECT_EQ(p.x, 66);
  EXPECT_EQ(p.w, 667);
  EXPECT_EQ(p.client_w, 800);
  EXPECT_EQ(p.client_h, 500);
  EXPECT_EQ(p.border_color, 0x123456);
  EXPECT_EQ(WindowGetColor(), 0x123456);
}

TEST_F(WindowTest, ScreenAndRegionPoints) {
  WindowSetRegionSize(320, 240, false);
  win_->SetClientRect(100, 50, 800, 500);
  double x = 0, y = 0;

  // Stretch: the client's far corner is the region's far corner.
  WindowSetRegionScale(0, false);
  WindowScreenToRegion(100 + 800, 50 + 500, x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  WindowScreenToRegion(100, 50, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  // Fit: the region starts 66 pixels in and is 2.083.. times larger.
  WindowSetRegionScale(-1, false);
  WindowScreenToRegion(100 + 66, 50, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  WindowScreenToRegion(100 + 66 + 667, 50 + 500, x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);

  // Setting the cursor to a region point and reading it back gives the point,
  // for every mode (including an odd leftover of the client).
  for (double scale : {0.0, -1.0, 1.0, 2.5}) {
    WindowSetRegionScale(scale, false);
    for (int cw : {800, 801}) {
      win_->SetClientRect(100, 50, cw, 500);
      for (auto [rx, ry] : {std::pair{0, 0}, std::pair{17, 33}, std::pair{160, 120}, std::pair{319, 239}}) {
        int px = 0, py = 0;
        WindowRegionToScreen(rx, ry, px, py);
        WindowScreenToRegion(px, py, x, y);
        EXPECT_EQ(x, rx) << "scale " << scale << " client " << cw;
        EXPECT_EQ(y, ry) << "scale " << scale << " client " << cw;
      }
    }
  }

  // A client of no size divides by nothing: stretch counts it as 1, fit
  // gives the origin.
  win_->SetClientRect(100, 50, 0, 0);
  WindowSetRegionScale(0, false);
  WindowScreenToRegion(102, 51, x, y);
  EXPECT_EQ(x, 640);
  EXPECT_EQ(y, 240);
  WindowSetRegionScale(-1, false);
  WindowScreenToRegion(102, 51, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(WindowTest, OverlappingViewsTheHigherNumberWins) {
  // Region and client 640 x 480 at scale 1: client points are region points.
  ViewMappingSet(0, 100, 50, 320, 240, 0, 0, 640, 480, 0);
  ViewMappingSet(1, 1000, 1000, 100, 100, 500, 400, 100, 80, 0);
  EXPECT_EQ(ViewMappingCount(), 2);
  double x = 0, y = 0;
  CursorAt(300, 40);  // view 0 only
  Views(x, y);
  EXPECT_EQ(x, 250);
  EXPECT_EQ(y, 70);
  CursorAt(550, 440);  // in both ports
  Views(x, y);
  EXPECT_EQ(x, 1050);
  EXPECT_EQ(y, 1050);
  // Through one chosen view, whether or not the point is in it.
  EXPECT_EQ(Num("window_view_mouse_get_x", {Real(0)}), 100 + 275);
  EXPECT_EQ(Num("window_view_mouse_get_y", {Real(0)}), 50 + 220);
  // In no view: the lowest view's conversion.
  CursorAt(700, 500);
  Views(x, y);
  EXPECT_EQ(x, 450);
  EXPECT_EQ(y, 300);
  // Cleared: the region point again, and a slot not in use gives it too.
  ViewMappingClear(0);
  ViewMappingClear(1);
  ViewMappingClear(1);
  EXPECT_EQ(ViewMappingCount(), 0);
  Views(x, y);
  EXPECT_EQ(x, 700);
  EXPECT_EQ(y, 500);
  EXPECT_EQ(Num("window_view_mouse_get_x", {Real(5)}), 700);
  EXPECT_EQ(Num("window_view_mouse_get_x", {Real(99)}), 700);
}

TEST_F(WindowTest, ZeroSizedViewsAreNotUsed) {
  CursorAt(30, 40);
  ViewMappingSet(3, 0, 0, 0, 100, 0, 0, 100, 100, 0);   // no view width
  ViewMappingSet(4, 0, 0, 100, 100, 0, 0, 100, 0, 45);  // no port height
  double x = 0, y = 0;
  Views(x, y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  ViewRoomToRegion(4, 10, 20, x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  // A usable view below them is still found.
  ViewMappingSet(1, 500, 500, 100, 100, 0, 0, 100, 100, 0);
  Views(x, y);
  EXPECT_EQ(x, 530);
  EXPECT_EQ(y, 540);
  // Moving the cursor into the room through them never divides by zero.
  Call("window_view_mouse_set", {Real(3), Real(12), Real(13)});
  EXPECT_EQ(Num("window_mouse_get_x"), 12);
  EXPECT_EQ(Num("window_mouse_get_y"), 13);
}

TEST_F(WindowTest, RotatedViewsConvertBothWays) {
  // A quarter turn: a region point right of the port's centre is below the
  // view's centre in the room.
  ViewMappingSet(0, 0, 0, 100, 100, 0, 0, 100, 100, 90);
  double x = 0, y = 0;
  ViewRegionToRoom(0, 75, 50, x, y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 75);
  ViewRoomToRegion(0, 50, 75, x, y);
  EXPECT_NEAR(x, 75, 1e-9);
  EXPECT_NEAR(y, 50, 1e-9);

  // Room point to region point and back, with the same scale on both axes
  // and with different ones.
  ViewMappingSet(1, 200, 100, 320, 240, 40, 20, 640, 480, 30);
  ViewMappingSet(2, 200, 100, 320, 240, 0, 0, 640, 240, -117.5);
  for (int slot : {1, 2}) {
    for (auto [rx, ry] : {std::pair{200, 100}, std::pair{360, 220}, std::pair{517, 333}, std::pair{250, 300}}) {
      double gx = 0, gy = 0;
      ViewRoomToRegion(slot, rx, ry, x, y);
      ViewRegionToRoom(slot, x, y, gx, gy);
      EXPECT_EQ(gx, rx) << "slot " << slot;
      EXPECT_EQ(gy, ry) << "slot " << slot;
    }
  }
  // Through the cursor: set in the room through a turned view, read back.
  ViewMappingClear(0);
  ViewMappingClear(2);
  Call("window_view_mouse_set", {Real(1), Real(300), Real(200)});
  EXPECT_EQ(Num("window_view_mouse_get_x", {Real(1)}), 300);
  EXPECT_EQ(Num("window_view_mouse_get_y", {Real(1)}), 200);
  Call("window_views_mouse_set", {Real(310), Real(190)});
  EXPECT_EQ(Num("window_views_mouse_get_x"), 310);
  EXPECT_EQ(Num("window_views_mouse_get_y"), 190);
}

TEST_F(WindowTest, FullScreenTogglesOnceAndRestoresTheWindowedGeometry) {
  Call("window_set_rectangle", {Real(50), Real(60), Real(700), Real(500)});
  ExpectClient(50, 60, 700, 500);
  Call("window_set_fullscreen", {Real(1)});
  EXPECT_EQ(Num("window_get_fullscreen"), 1);
  ExpectClient(0, 0, 1920, 1080);
  EXPECT_EQ(Num("window_get_width"), 1920);
  EXPECT_EQ(win_->fullscreen_calls, 1);
  // The second call changes nothing, not even the remembered geometry.
  Call("window_set_fullscreen", {Real(1)});
  EXPECT_EQ(win_->fullscreen_calls, 1);
  EXPECT_EQ(WindowState().saved_width, 700);
  Call("window_set_fullscreen", {Real(0)});
  ExpectClient(50, 60, 700, 500);
  EXPECT_EQ(win_->border, EBorderStyle::Sizeable);

  // Geometry asked for while in full screen takes effect on leaving it.
  Call("window_set_fullscreen", {Real(1)});
  Call("window_set_position", {Real(10), Real(20)});
  Call("window_center");
  ExpectClient(0, 0, 1920, 1080);
  Call("window_set_fullscreen", {Real(0)});
  ExpectClient((1920 - 700) / 2, (1080 - 500) / 2, 700, 500);

  // A window the user moved is remembered before going full screen.
  win_->SetClientRect(300, 200, 640, 400);
  Call("window_set_fullscreen", {Real(1)});
  Call("window_set_fullscreen", {Real(0)});
  ExpectClient(300, 200, 640, 400);
}

TEST_F(WindowTest, StyleCaptionCursorAndPlacement) {
  struct Case {
    bool border, sizeable, icons;
    EBorderStyle style;
  } cases[] = {
      {true, true, true, EBorderStyle::Sizeable},
      {true, false, true, EBorderStyle::Single},
      {false, true, false, EBorderStyle::None},
  };
  for (const Case& c : cases) {
    Call("window_set_showborder", {Real(c.border)});
    Call("window_set_sizeable", {Real(c.sizeable)});
    Call("window_set_showicons", {Real(c.icons ? 0.5 : 0.49)});
    EXPECT_EQ(win_->border, c.style);
    EXPECT_EQ(win_->icons, c.icons);
    EXPECT_EQ(Num("window_get_showborder"), c.border);
    EXPECT_EQ(Num("window_get_sizeable"), c.sizeable);
    EXPECT_EQ(Num("window_get_showicons"), c.icons);
  }
  Call("window_set_caption", {Text("Level 2")});
  EXPECT_EQ(win_->caption, "Level 2");
  EXPECT_EQ(Call("window_get_caption").str, "Level 2");
  Call("window_set_cursor", {Real(-1)});
  EXPECT_EQ(win_->cursor, -1);
  EXPECT_FALSE(WindowState().cursor_shown);
  EXPECT_EQ(Num("window_get_cursor"), -1);
  Call("window_set_cursor", {Real(-2)});
  EXPECT_TRUE(WindowState().cursor_shown);
  Call("window_set_stayontop", {Real(1)});
  EXPECT_TRUE(win_->on_top);
  EXPECT_EQ(Num("window_get_stayontop"), 1);
  Call("window_set_visible", {Real(1)});
  EXPECT_TRUE(win_->visible);
  EXPECT_EQ(Num("window_get_visible"), 1);

  // Centred and default placements on the 1920 x 1080 display.
  Call("window_set_size", {Real(801), Real(601)});
  Call("window_center");
  ExpectClient(559, 239, 801, 601);
  Call("window_set_region_size", {Real(320), Real(200), Real(0)});
  Call("window_set_region_scale", {Real(1.5), Real(0)});
  Call("window_default");
  ExpectClient(720, 390, 480, 300);
  Call("window_set_region_scale", {Real(-1), Real(0)});
  Call("window_default");
  ExpectClient(800, 440, 320, 200);
  // Sizes are kept to what a window can be: 1 to 32767 pixels.
  Call("window_set_size", {Real(-30), Real(0)});
  ExpectClient(800, 440, 1, 1);
  Call("window_set_size", {Real(1e12), Real(50)});
  ExpectClient(800, 440, 32767, 50);
  Call("window_set_region_scale", {Real(1e9), Real(1)});
  ExpectClient(800, 440, 32767, 32767);
}

TEST_F(WindowTest, CursorInScreenAndWindowPixels) {
  win_->SetClientRect(100, 50, 640, 480);
  Call("window_mouse_set", {Real(10), Real(20)});
  EXPECT_EQ(win_->mouse_x, 110);
  EXPECT_EQ(win_->mouse_y, 70);
  EXPECT_EQ(Num("window_mouse_get_x"), 10);
  EXPECT_EQ(Num("display_mouse_get_y"), 70);
  Call("display_mouse_set", {Real(300), Real(400)});
  EXPECT_EQ(win_->mouse_x, 300);
  EXPECT_EQ(Num("window_mouse_get_x"), 200);
  EXPECT_EQ(Num("window_mouse_get_y"), 350);
  // Motion events move it too.
  CursorAt(-5, 7);
  EXPECT_EQ(Num("display_mouse_get_x"), 95);
  EXPECT_EQ(Num("window_views_mouse_get_y"), 7);
  // Far-off positions saturate instead of wrapping around.
  Call("display_mouse_set", {Real(-1e12), Real(1e12)});
  EXPECT_EQ(Num("window_mouse_get_x"), -2147483648.0);
  EXPECT_EQ(Num("display_mouse_get_y"), 2147483647.0);
  Call("window_mouse_set", {Real(1e12), Real(0)});
  EXPECT_EQ(win_->mouse_x, 2147483647);

  // Through a doubled region the room point set is the room point read.
  Call("window_set_region_size", {Real(320), Real(240), Real(1)});
  Call("window_set_region_scale", {Real(2), Real(1)});
  Call("window_views_mouse_set", {Real(33), Real(44)});
  EXPECT_EQ(Num("window_mouse_get_x"), 66);
  EXPECT_EQ(Num("window_views_mouse_get_x"), 33);
  EXPECT_EQ(Num("window_views_mouse_get_y"), 44);
}

TEST_F(WindowTest, DisplayModeChanges) {
  EXPECT_EQ(Num("display_get_width"), 1920);
  EXPECT_EQ(Num("display_get_height"), 1080);
  EXPECT_EQ(Num("display_get_colordepth"), 32);
  EXPECT_EQ(Num("display_get_frequency"), 60);
  EXPECT_EQ(Num("display_get_orientation"), 0);

  // Only the given values are marked as given; a test changes nothing.
  EXPECT_EQ(Num("display_test_all", {Real(800), Real(600), Real(-1), Real(16)}), 1);
  ASSERT_EQ(win_->changes.size(), 1u);
  EXPECT_TRUE(win_->changes[0].test_only);
  EXPECT_EQ(win_->changes[0].mode.frequency, 0);
  EXPECT_EQ(win_->changes[0].mode.depth, 16);
  EXPECT_EQ(Num("display_get_width"), 1920);

  EXPECT_EQ(Num("display_set_size", {Real(800), Real(600)}), 1);
  EXPECT_FALSE(win_->changes.back().test_only);
  EXPECT_EQ(win_->changes.back().mode.depth, 0);
  EXPECT_EQ(Num("display_get_width"), 800);
  EXPECT_EQ(Num("display_set_frequency", {Real(85)}), 1);
  EXPECT_EQ(win_->changes.back().mode.width, 0);
  EXPECT_EQ(Num("display_get_frequency"), 85);
  EXPECT_EQ(Num("display_set_colordepth", {Real(16)}), 1);
  EXPECT_EQ(Num("display_get_colordepth"), 16);
  // Refused: 0, and the mode stays.
  EXPECT_EQ(Num("display_set_all", {Real(4000), Real(3000), Real(60), Real(32)}), 0);
  EXPECT_EQ(Num("display_get_width"), 800);

  // In full screen the window follows the display's new size.
  Call("window_set_fullscreen", {Real(1)});
  Call("display_set_size", {Real(1024), Real(768)});
  ExpectClient(0, 0, 1024, 768);
  Call("display_reset");
  Call("display_reset", {Real(4)});
}

TEST_F(WindowTest, SettingsCodesOfTheDisplayMode) {
  const int sizes[][3] = {{0, -1, -1},     {1, 320, 240},    {2, 640, 480},    {3, 800, 600}, {4, 1024, 768},
                          {5, 1280, 1024}, {6, 1600, 1200},  {7, -1, -1},      {-1, -1, -1}};
  for (const auto& s : sizes) {
    int w = 0, h = 0;
    DisplaySizeOfCode(s[0], w, h);
    EXPECT_EQ(w, s[1]) << s[0];
    EXPECT_EQ(h, s[2]) << s[0];
  }
  const int depths[][2] = {{0, -1}, {1, 16}, {2, 32}, {3, -1}};
  for (const auto& d : depths) EXPECT_EQ(DisplayDepthOfCode(d[0]), d[1]) << d[0];
  const int rates[][2] = {{0, -1}, {1, 60}, {2, 70}, {3, 85}, {4, 100}, {5, 120}, {6, -1}};
  for (const auto& r : rates) EXPECT_EQ(DisplayFrequencyOfCode(r[0]), r[1]) << r[0];
}

// The settings the start-up reads, put back after each case.
struct RSavedOptions {
  bool changeresolution = opt_changeresolution, sizeable = opt_sizeable, stayontop = opt_stayontop;
  bool noborder = opt_noborder, nobuttons = opt_nobuttons, fullscreen = opt_fullscreen;
  int colordepth = opt_colordepth, resolution = opt_resolution, frequency = opt_frequency;
  int scale = opt_scale, windowcolor = opt_windowcolor;
  ~RSavedOptions() {
    opt_changeresolution = changeresolution;
    opt_sizeable = sizeable;
    opt_stayontop = stayontop;
    opt_noborder = noborder;
    opt_nobuttons = nobuttons;
    opt_fullscreen = fullscreen;
    opt_colordepth = colordepth;
    opt_resolution = resolution;
    opt_frequency = frequency;
    opt_scale = scale;
    opt_windowcolor = windowcolor;
  }
};

TEST_F(WindowTest, StartUpAppliesTheSettings) {
  RSavedOptions saved;
  opt_changeresolution = true;
  opt_resolution = 3;
  opt_colordepth = 2;
  opt_frequency = 9;
  opt_scale = 200;
  opt_sizeable = false;
  opt_stayontop = true;
  opt_noborder = true;
  opt_nobuttons = true;
  opt_windowcolor = 255;
  opt_fullscreen = false;
  ASSERT_TRUE(Init_Graphics_Window());
  ASSERT_EQ(win_->changes.size(), 1u);
  EXPECT_EQ(win_->changes[0].mode.width, 800);
  EXPECT_EQ(win_->changes[0].mode.height, 600);
  EXPECT_EQ(win_->changes[0].mode.depth, 32);
  EXPECT_EQ(win_->changes[0].mode.frequency, 0);
  // Region 8 x 8 at scale 2, adapted.
  EXPECT_EQ(Num("window_get_region_width"), 8);
  EXPECT_EQ(Num("window_get_region_scale"), 2);
  ExpectClient(100, 100, 16, 16);
  EXPECT_EQ(win_->border, EBorderStyle::None);
  EXPECT_FALSE(win_->icons);
  EXPECT_TRUE(win_->on_top);
  EXPECT_EQ(WindowGetColor(), 255);
  EXPECT_FALSE(win_->fullscreen);

  // No mode asked for on a 24-bit display: a 16-bit mode, as the only
  // answer that lets the game go on; full screen from the settings.
  WindowReset();
  win_->changes.clear();
  win_->display.depth = 24;
  opt_changeresolution = false;
  opt_fullscreen = true;
  opt_scale = -1;
  ASSERT_TRUE(Init_Graphics_Window());
  ASSERT_EQ(win_->changes.size(), 1u);
  EXPECT_EQ(win_->changes[0].mode.depth, 16);
  EXPECT_EQ(win_->changes[0].mode.width, 0);
  EXPECT_TRUE(win_->fullscreen);
  EXPECT_LT(Num("window_get_region_scale"), 0);

  // A 32-bit display and no mode asked for: no change at all.
  WindowReset();
  win_->changes.clear();
  win_->display.depth = 32;
  ASSERT_TRUE(Init_Graphics_Window());
  EXPECT_TRUE(win_->changes.empty());
}

// The start-up leaves the model's region at 8 x 8 and the device's at
// 640 x 480 (GR_D3D_Init); the first room sizes both, whichever it matches,
// and only then is the window given its geometry and shown, at that size.
TEST_F(WindowTest, TheFirstRoomSizesAndShowsTheWindow) {
  RSavedOptions saved;
  opt_changeresolution = false;
  opt_sizeable = false;
  opt_noborder = false;
  opt_nobuttons = false;
  struct Case {
    int scale;
    bool fullscreen;
    int room_w, room_h;
    int client_w, client_h;  // the windowed client size
  };
  const Case cases[] = {
      {100, false, 640, 480, 640, 480},   {-1, false, 640, 480, 640, 480}, {0, false, 640, 480, 640, 480},
      {200, false, 640, 480, 1280, 960},  {100, false, 320, 240, 320, 240}, {-1, true, 640, 480, 640, 480},
      {100, false, 2400, 1500, 1920, 1080},  // clipped to the display
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("scale " + std::to_string(c.scale) + " room " + std::to_string(c.room_w));
    WindowReset();
    *win_ = FakeWindow{};
    opt_scale = c.scale;
    opt_fullscreen = c.fullscreen;
    WindowShowWhenSized();
    ASSERT_TRUE(Init_Graphics_Window());
    GR_D3D_Set_Region(640, 480);
    // Nothing reached the window yet: it stays hidden as it was made.
    EXPECT_FALSE(win_->visible);
    ExpectClient(100, 100, 640, 480);
    EXPECT_EQ(Num("window_get_visible"), 1);

    WindowFitRegion(c.room_w, c.room_h);
    EXPECT_TRUE(win_->visible);
    EXPECT_EQ(win_->fullscreen, c.fullscreen);
    EXPECT_EQ(Num("window_get_region_width"), std::min(c.room_w, 1920));
    EXPECT_EQ(GR_D3D_Region_Width(), std::min(c.room_w, 1920));
    if (c.fullscreen) {
      ExpectClient(0, 0, 1920, 1080);
      Call("window_set_fullscreen", {Real(0)});
    }
    ExpectClient((1920 - c.client_w) / 2, (1080 - c.client_h) / 2, c.client_w, c.client_h);
  }

  // A later room of the same size leaves a window the player moved where it
  // is; one of another size is given its size, centred again.
  WindowFitRegion(640, 480);
  ExpectClient(640, 300, 640, 480);
  win_->SetClientRect(10, 20, 640, 480);
  WindowFitRegion(640, 480);
  ExpectClient(10, 20, 640, 480);
  WindowFitRegion(320, 240);
  ExpectClient(800, 420, 320, 240);
  EXPECT_EQ(GR_D3D_Region_Height(), 240);
}

// Without a window (tests, tools) the model answers from its own state.
TEST(WindowWithoutWindow, GettersAnswerFromTheState) {
  WindowReset();
  DisplayResetForTests();
  ASSERT_EQ(GameWindow(), nullptr);
  EXPECT_EQ(Num("window_get_x"), 100);
  EXPECT_EQ(Num("window_get_width"), 640);
  EXPECT_EQ(Num("window_get_showborder"), 1);
  EXPECT_EQ(Num("window_get_sizeable"), 1);
  EXPECT_EQ(Num("window_get_region_scale"), 1);
  // Stretched, so that the client may be smaller than the region.
  Call("window_set_region_scale", {Real(0), Real(0)});
  Call("window_set_rectangle", {Real(5), Real(6), Real(300), Real(200)});
  EXPECT_EQ(Num("window_get_y"), 6);
  EXPECT_EQ(Num("window_get_height"), 200);
  Call("window_set_caption", {Text("t")});
  EXPECT_EQ(Call("window_get_caption").str, "t");
  // The display takes any mode; full screen covers it.
  EXPECT_EQ(Num("display_set_size", {Real(800), Real(600)}), 1);
  Call("window_set_fullscreen", {Real(1)});
  EXPECT_EQ(Num("window_get_width"), 800);
  Call("window_set_fullscreen", {Real(0)});
  EXPECT_EQ(Num("window_get_width"), 300);
  // Client and region of one size: a cursor at a client point is that region
  // point.
  Call("window_set_region_size", {Real(300), Real(200), Real(1)});
  WindowCursorMoved(12, -3);
  EXPECT_EQ(Num("window_views_mouse_get_x"), 12);
  EXPECT_EQ(Num("window_views_mouse_get_y"), -3);
  WindowReset();
  DisplayResetForTests();
}

}  // namespace
