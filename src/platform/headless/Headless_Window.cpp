// The backends of a run without a display.
#include "platform/headless/Headless_Window.h"

#include <SDL.h>

CHeadlessGameWindow::CHeadlessGameWindow() {
  // Must be chosen before the video subsystem starts.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

bool CHeadlessAudioOutput::Open(int rate, AudioPull pull) {
  rate_ = rate;
  pull_ = std::move(pull);
  owed_ = 0;
  return true;
}

void CHeadlessAudioOutput::Advance(int64_t microseconds) {
  if (!pull_ || rate_ <= 0 || microseconds <= 0) return;
  owed_ += microseconds * rate_;
  const int64_t frames = owed_ / 1000000;
  owed_ -= frames * 1000000;
  if (frames <= 0) return;
  scratch_.assign(size_t(frames) * 2, 0.0f);
  pull_(scratch_.data(), int(frames));
}

RPlatform MakeHeadlessPlatform() {
  RPlatform p;
  p.window = std::make_unique<CHeadlessGameWindow>();
  p.audio = std::make_unique<CHeadlessAudioOutput>();
  return p;
}
