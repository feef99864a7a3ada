// The loading window opens, paints and closes on SDL's dummy video driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/sdl/SDL_LoadWindow.h"

#include <SDL.h>

namespace {
std::vector<uint8_t> MakeBmp(int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_BGR24);
  SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 10, 20, 30));
  std::vector<uint8_t> buf(size_t(w * h * 4 + 1024));
  SDL_RWops* rw = SDL_RWFromMem(buf.data(), int(buf.size()));
  SDL_SaveBMP_RW(s, rw, 0);
  buf.resize(size_t(SDL_RWtell(rw)));
  SDL_RWclose(rw);
  SDL_FreeSurface(s);
  return buf;
}
}  // namespace

TEST(LoadWindow, OpensPaintsAndClosesOnTheDummyVideoDriver) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::vector<uint8_t> image = MakeBmp(200, 60), bar = MakeBmp(10, 16), junk = {'B', 'M', 1, 2, 3};
  RLoadPictures pictures;
  pictures.image = &image;
  pictures.back = &junk;  // undecodable pictures are simply not shown
  pictures.front = &bar;
  for (bool stretched : {false, true}) {
    ASSERT_TRUE(PlatformLoadWindowOpen(pictures, true, stretched, true, 200, stretched)) << SDL_GetError();
    EXPECT_TRUE(PlatformLoadWindowIsOpen());
    for (int p : {0, 1, 49, 100}) PlatformLoadWindowProgress(p);
    PlatformLoadWindowClose();
    EXPECT_FALSE(PlatformLoadWindowIsOpen());
  }
  RLoadPictures none;
  ASSERT_TRUE(PlatformLoadWindowOpen(none, false, false, false, 255));
  PlatformLoadWindowProgress(50);
  PlatformLoadWindowClose();
  unsetenv("SDL_VIDEODRIVER");
}

