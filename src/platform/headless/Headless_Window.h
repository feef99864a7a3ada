#pragma once
// The backends of a run without a display: the game window drawn offscreen
// (SDL2's offscreen driver, OpenGL on Mesa through EGL), input only from the
// input script, and sound pulled at the step rate instead of by a device.
#include <vector>

#include "platform/sdl/SDL_Window.h"

class CHeadlessGameWindow : public CSdlGameWindow {
 public:
  CHeadlessGameWindow();

 protected:
  // Nobody can type into an offscreen window, and it never loses focus.
  bool TranslatesInput() const override { return false; }
};

class CHeadlessAudioOutput : public IAudioOutput {
 public:
  bool Open(int rate, AudioPull pull) override;
  void Close() override { pull_ = nullptr; }
  int Rate() const override { return rate_; }
  void Advance(int64_t microseconds) override;

 private:
  int rate_ = 0;
  AudioPull pull_;
  int64_t owed_ = 0;  // microseconds x rate not yet turned into frames
  std::vector<float> scratch_;
};

RPlatform MakeHeadlessPlatform();
