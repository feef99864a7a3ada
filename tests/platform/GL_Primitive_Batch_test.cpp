// Shapes drawn through the graphics tier reach OpenGL in few draw calls:
// thousands of lines and circles in a frame make a handful of batches, and
// what they draw lands where the shape routines put it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Draw.h"
#include "platform/Platform.h"
#include "platform/gl/GL_Device.h"

namespace {

class GLPrimitiveBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    window_ = SDL_CreateWindow("batch test", 0, 0, 640, 480, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    context_ = SDL_GL_CreateContext(window_);
    ASSERT_NE(context_, nullptr) << SDL_GetError();
    ASSERT_EQ(SDL_GL_MakeCurrent(window_, context_), 0) << SDL_GetError();
    auto dev = std::make_unique<CGLRenderDevice>([] {}, [](int& w, int& h) { w = 640, h = 480; });
    dev_ = dev.get();
    PlatformSetRenderDevice(std::move(dev));
    ASSERT_TRUE(GR_D3D_Init(640, 480, 0));
    GR_Draw_Reset_State();
  }
  void TearDown() override {
    GR_Draw_Reset_State();
    GR_D3D_Finish();
    PlatformSetRenderDevice(nullptr);
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  CGLRenderDevice* dev_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

TEST_F(GLPrimitiveBatch, ThousandsOfShapesGoInAFewDrawCalls) {
  GR_D3D_Clear(0, 1);
  GR_D3D_End_Frame();
  GR_D3D_Start_Frame();
  const uint64_t before = dev_->DrawCalls();
  GR_Draw_Set_Color(0xFFFFFF);
  for (int i = 0; i < 20000; ++i) GR_Draw_Line(i % 600, i % 400, i % 600 + 10, i % 400 + 5);
  GR_Draw_Set_Color(255);
  for (int i = 0; i < 5000; ++i) GR_Draw_Circle(i % 600, i % 400, 3, false);
  GR_Draw_Rectangle(600, 420, 609, 429, false);  // red, after everything else
  GR_D3D_End_Frame();
  // Lines in one call; 5,000 circles of 24 triangles (360,000 vertices) and
  // the rectangle in two, split only by the device's bound on one upload.
  EXPECT_GE(dev_->DrawCalls() - before, 2u);
  EXPECT_LE(dev_->DrawCalls() - before, 3u);
  EXPECT_EQ(GR_D3D_Get_Pixel(605, 425), 255);
  EXPECT_EQ(GR_D3D_Get_Pixel(610, 425), 0);
}

}  // namespace
