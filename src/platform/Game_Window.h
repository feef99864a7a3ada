#pragma once
// The game window seam: the one top-level window the game is shown in, the
// screen it is on, the input events it receives, and the small windows the
// runner shows besides it (message boxes, the loading window).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Input_Event.h"

class IRenderDevice;

struct RDisplayMode {
  int width = 1024, height = 768;
  int depth = 32;  // bits per pixel
  int frequency = 60;
};

// How the window is framed: no border, a border of fixed size, or a border
// the user can drag.
enum class EBorderStyle { None, Single, Sizeable };

struct RLoadPictures {
  const std::vector<uint8_t>* image = nullptr;  // BMP bytes or null
  const std::vector<uint8_t>* back = nullptr;
  const std::vector<uint8_t>* front = nullptr;
};

class IGameWindow {
 public:
  virtual ~IGameWindow() = default;

  // The display the window is on.
  virtual RDisplayMode Display() const = 0;
  // Asks the screen for another mode (values <= 0 are not given); with
  // test_only nothing changes. True when the mode is (or would be) accepted.
  virtual bool ChangeDisplay(const RDisplayMode& mode, bool test_only) = 0;
  virtual void RestoreDisplay() = 0;

  // Creates the window, hidden, with a render device drawing into it. Null
  // with a reason in error when either cannot be made.
  virtual std::unique_ptr<IRenderDevice> Open(std::string& error) = 0;
  virtual bool IsOpen() const = 0;
  // Whether presenting waits for the display's vertical blank.
  virtual void SetVsync(bool on) = 0;

  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // Full screen: borderless, covering the screen.
  virtual void SetFullscreen(bool fullscreen) = 0;
  virtual void SetBorder(EBorderStyle style, bool icons) = 0;
  virtual void SetStayOnTop(bool on_top) = 0;
  // Client area position on the screen and its size.
  virtual void SetClientRect(int left, int top, int width, int height) = 0;
  virtual void ClientRect(int& left, int& top, int& width, int& height) const = 0;
  // The smallest client size the user may drag the window to.
  virtual void SetMinimumClientSize(int /*width*/, int /*height*/) {}
  // The window's outer size minus its client size.
  virtual void BorderSize(int& width, int& height) const = 0;
  // Cursor shape by the game's cr_* number (cr_none -1 hides it).
  virtual void SetCursor(int shape) = 0;

  virtual void MousePosition(int& screen_x, int& screen_y) const = 0;
  virtual void SetMousePosition(int screen_x, int screen_y) = 0;

  // Takes the next pending input event (keys as the game's key codes,
  // positions relative to the client area). False when none is waiting.
  virtual bool PollEvent(RInputEvent& event) = 0;
  // Lets the window system do pending work (repaints, moves) and collects
  // input for PollEvent.
  virtual void Pump() = 0;
  // Whether an event of `kind` waits to be taken by PollEvent (for key
  // events: of key code `code`). Lets the runner see a close request while
  // the game's code has not come back to take its input.
  virtual bool EventWaiting(RInputEvent::Kind /*kind*/, int /*code*/ = 0) const { return false; }
  virtual bool HasFocus() const = 0;
  // True when the window system asked for a repaint since the last call.
  virtual bool TakeRepaintRequest() = 0;

  // The window system's clipboard text: false when there is no clipboard to
  // ask (the caller keeps its own then).
  virtual bool ClipboardGet(std::string& /*text*/) { return false; }
  virtual bool ClipboardSet(const std::string& /*text*/) { return false; }
  // The window system's own number for the window (an X11 window id), or 0
  // when there is no such window (headless, not open, another system).
  virtual uint32_t NativeHandle() const { return 0; }
  // A plain message box with an OK button; waits until it is closed. False
  // when none could be shown (the caller has written the text to stderr).
  virtual bool MessageBox(const std::string& title, const std::string& text) = 0;

  // The loading window (see runner/Runner_Load). False when it cannot be
  // shown; the load goes on without it.
  virtual bool LoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress,
                              bool debug_mode, int alpha, bool transparent) = 0;
  virtual void LoadWindowProgress(int percent) = 0;
  virtual void LoadWindowClose() = 0;
};
