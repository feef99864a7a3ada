#pragma once
// The game window over SDL2 with an OpenGL context, its input events
// translated to the game's key codes, and the SDL2 audio output.
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/Audio_Output.h"
#include "platform/Game_Window.h"
#include "platform/Platform.h"

struct SDL_Window;
class CSdlJoysticks;

class CSdlGameWindow : public IGameWindow {
 public:
  CSdlGameWindow();
  ~CSdlGameWindow() override;

  RDisplayMode Display() const override;
  bool ChangeDisplay(const RDisplayMode& mode, bool test_only) override;
  void RestoreDisplay() override;

  std::unique_ptr<IRenderDevice> Open(std::string& error) override;
  bool IsOpen() const override { return window_ != nullptr; }
  void SetVsync(bool on) override;

  void SetVisible(bool visible) override;
  bool Visible() const override;
  void SetCaption(const std::string& caption) override;
  void SetFullscreen(bool fullscreen) override;
  void SetBorder(EBorderStyle style, bool icons) override;
  void SetStayOnTop(bool on_top) override;
  void SetClientRect(int left, int top, int width, int height) override;
  void ClientRect(int& left, int& top, int& width, int& height) const override;
  void BorderSize(int& width, int& height) const override;
  void SetCursor(int shape) override;
  void MousePosition(int& screen_x, int& screen_y) const override;
  void SetMousePosition(int screen_x, int screen_y) override;

  void SetMinimumClientSize(int width, int height) override;
  bool PollEvent(RInputEvent& event) override;
  bool EventWaiting(RInputEvent::Kind kind, int code) const override;
  void Pump() override;
  bool HasFocus() const override;
  bool TakeRepaintRequest() override;

  bool ClipboardGet(std::string& text) override;
  bool ClipboardSet(const std::string& text) override;
  uint32_t NativeHandle() const override;  // SDL_Handle.cpp
  bool MessageBox(const std::string& title, const std::string& text) override;
  bool LoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress, bool debug_mode,
                      int alpha, bool transparent) override;
  void LoadWindowProgress(int percent) override;
  void LoadWindowClose() override;

 protected:
  // The offscreen variant reads no input from the window system.
  virtual bool TranslatesInput() const { return true; }

 private:
  bool StartVideo(std::string& error);
  void Translate(const union SDL_Event& e);

  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  bool video_ = false;
  bool repaint_ = false;
  std::optional<RDisplayMode> virtual_mode_;
  std::deque<RInputEvent> pending_;
  std::string caption_;
  // Full screen made by hand: a borderless window covering the display,
  // where no window manager can be asked for it.
  bool covering_ = false;
  std::unique_ptr<CSdlJoysticks> joysticks_;
  int numlock_reported_ = -1;  // the Num Lock toggle last handed on, -1 none yet
};

// The SDL2 audio device: a float stereo stream pulled from the mixer.
class CSdlAudioOutput : public IAudioOutput {
 public:
  ~CSdlAudioOutput() override { Close(); }
  bool Open(int rate, AudioPull pull) override;
  void Close() override;
  int Rate() const override { return rate_; }
  void Advance(int64_t) override {}

 private:
  bool OpenQuietly(int rate, AudioPull pull);
  static void Callback(void* self, unsigned char* stream, int len);
  unsigned device_ = 0;
  int rate_ = 0;
  AudioPull pull_;
};

// What runs beside the window on its display: no window manager (a bare X
// server), one that cannot make a window full screen, or one that can. Other
// window systems than X11 count as the last.
enum class EWindowManager { Absent, Plain, Fullscreen };
EWindowManager SdlWindowManager(SDL_Window* window);  // SDL_X11.cpp

// True when a graphical display can be reached (an X11 or Wayland session).
bool SdlDisplayAvailable();
// The backends of a run with a display.
RPlatform MakeSdlPlatform();
