// The game window over SDL2: geometry, caption, cursor, the OpenGL context the
// render device draws with, and input events as the game's key codes.
#include "platform/sdl/SDL_Window.h"

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Library_Loader.h"
#include "platform/gl/GL_Device.h"
#include "platform/sdl/SDL_Joystick.h"
#include "platform/sdl/SDL_Keys.h"
#include "platform/sdl/SDL_LoadWindow.h"

bool SdlDisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

CSdlGameWindow::CSdlGameWindow() = default;

CSdlGameWindow::~CSdlGameWindow() {
  joysticks_.reset();
  if (context_) SDL_GL_DeleteContext(context_);
  if (window_) SDL_DestroyWindow(window_);
  if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

RDisplayMode CSdlGameWindow::Display() const {
  if (virtual_mode_) return *virtual_mode_;
  RDisplayMode mode;
  SDL_DisplayMode dm;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &dm) == 0) {
    mode.width = dm.w;
    mode.height = dm.h;
    // A 32-bit desktop is reported as 24 bits per pixel: what counts is
    // that a pixel takes 4 bytes.
    mode.depth = SDL_BYTESPERPIXEL(dm.format) == 4 ? 32 : int(SDL_BITSPERPIXEL(dm.format));
    mode.frequency = dm.refresh_rate > 0 ? dm.refresh_rate : 60;
  }
  return mode;
}

bool CSdlGameWindow::ChangeDisplay(const RDisplayMode& mode, bool test_only) {
  // Modes are virtual here: the window covers the desktop and the picture
  // is scaled, so any size up to the desktop's and 16 or 32 bits is fine.
  virtual_mode_.reset();
  const RDisplayMode desk = Display();
  RDisplayMode next = desk;
  if (mode.width > 0) next.width = mode.width;
  if (mode.height > 0) next.height = mode.height;
  if (mode.depth > 0) next.depth = mode.depth;
  if (mode.frequency > 0) next.frequency = mode.frequency;
  const bool ok = next.width <= desk.width && next.height <= desk.height && (next.depth == 16 || next.depth == 32);
  if (ok && !test_only) virtual_mode_ = next;
  return ok;
}

void CSdlGameWindow::RestoreDisplay() { virtual_mode_.reset(); }

bool CSdlGameWindow::StartVideo(std::string& error) {
  if (video_) return true;
  // SIGINT and SIGTERM end the runner as signals do, not as a click on the
  // close button that a game may ignore.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("cannot open the display: ") + SDL_GetError();
    return false;
  }
  video_ = true;
  return true;
}

std::unique_ptr<IRenderDevice> CSdlGameWindow::Open(std::string& error) {
  if (!StartVideo(error)) return nullptr;
  // The render device's functions: without them the window is of no use.
  if (!GlLibrary().Load()) {
    error = std::string("no OpenGL library: ") + GlLibrary().Error();
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  window_ = SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                             SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (window_ == nullptr) {
    error = std::string("cannot create an OpenGL window: ") + SDL_GetError();
    return nullptr;
  }
  context_ = SDL_GL_CreateContext(window_);
  if (context_ == nullptr) {
    error = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
    return nullptr;
  }
  SDL_GL_MakeCurrent(window_, context_);
  if (TranslatesInput()) {
    // Without joystick support the game simply sees none plugged in.
    joysticks_ = std::make_unique<CSdlJoysticks>();
    if (!joysticks_->Start()) joysticks_.reset();
  }
  SDL_Window* w = window_;
  return std::make_unique<CGLRenderDevice>([w] { SDL_GL_SwapWindow(w); },
                                           [w](int& cw, int& ch) { SDL_GL_GetDrawableSize(w, &cw, &ch); });
}

void CSdlGameWindow::SetVsync(bool on) {
  if (context_) SDL_GL_SetSwapInterval(on ? 1 : 0);
}

void CSdlGameWindow::SetVisible(bool visible) {
  if (!window_) return;
  if (!visible) {
    SDL_HideWindow(window_);
    return;
  }
  SDL_ShowWindow(window_);
  // With no window manager nobody gives the new window the keyboard: it
  // takes it itself, as a manager would on mapping it.
  if (TranslatesInput() && SdlWindowManager(window_) == EWindowManager::Absent) SDL_SetWindowInputFocus(window_);
}

bool CSdlGameWindow::Visible() const { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0; }

void CSdlGameWindow::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

void CSdlGameWindow::SetFullscreen(bool fullscreen) {
  if (!window_) return;
  if (!fullscreen) {
    // Leaving: the caller puts the border and the bounds back.
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(window_, 0);
    covering_ = false;
    return;
  }
  // SDL asks the window manager; with none, SDL would take the window for
  // full screen while the X server keeps it as it was. The window then
  // covers the display by itself.
  if (SdlWindowManager(window_) == EWindowManager::Fullscreen) {
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  covering_ = true;
  SDL_Rect bounds{0, 0, 0, 0};
  if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &bounds) != 0 || bounds.w <= 0) {
    const RDisplayMode mode = Display();
    bounds = SDL_Rect{0, 0, mode.width, mode.height};
  }
  SDL_SetWindowBordered(window_, SDL_FALSE);
  SDL_SetWindowMinimumSize(window_, 1, 1);
  SDL_SetWindowPosition(window_, bounds.x, bounds.y);
  SDL_SetWindowSize(window_, bounds.w, bounds.h);
}

void CSdlGameWindow::SetMinimumClientSize(int width, int height) {
  if (window_) SDL_SetWindowMinimumSize(window_, std::max(width, 1), std::max(height, 1));
}

void CSdlGameWindow::SetBorder(EBorderStyle style, bool) {
  if (!window_) return;
  SDL_SetWindowBordered(window_, style == EBorderStyle::None ? SDL_FALSE : SDL_TRUE);
  SDL_SetWindowResizable(window_, style == EBorderStyle::Sizeable ? SDL_TRUE : SDL_FALSE);
}

void CSdlGameWindow::SetStayOnTop(bool on_top) {
  if (window_) SDL_SetWindowAlwaysOnTop(window_, on_top ? SDL_TRUE : SDL_FALSE);
}

void CSdlGameWindow::SetClientRect(int left, int top, int width, int height) {
  if (!window_) return;
  SDL_SetWindowPosition(window_, left, top);
  SDL_SetWindowSize(window_, width > 0 ? width : 1, height > 0 ? height : 1);
}

void CSdlGameWindow::ClientRect(int& left, int& top, int& width, int& height) const {
  left = top = 0;
  width = 640;
  height = 480;
  if (!window_) return;
  SDL_GetWindowPosition(window_, &left, &top);
  SDL_GetWindowSize(window_, &width, &height);
}

void CSdlGameWindow::BorderSize(int& width, int& height) const {
  int t = 0, l = 0, b = 0, r = 0;
  if (window_) SDL_GetWindowBordersSize(window_, &t, &l, &b, &r);
  width = l + r;
  height = t + b;
}

void CSdlGameWindow::SetCursor(int shape) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (shape == -1) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_ShowCursor(SDL_ENABLE);
  static SDL_Cursor* cursors[SDL_NUM_SYSTEM_CURSORS] = {};
  SDL_SystemCursor id = SDL_SYSTEM_CURSOR_ARROW;
  switch (shape) {
    case -3: id = SDL_SYSTEM_CURSOR_CROSSHAIR; break;
    case -4: id = SDL_SYSTEM_CURSOR_IBEAM; break;
    case -6: id = SDL_SYSTEM_CURSOR_SIZENESW; break;
    case -7: id = SDL_SYSTEM_CURSOR_SIZENS; break;
    case -8: id = SDL_SYSTEM_CURSOR_SIZENWSE; break;
    case -9: id = SDL_SYSTEM_CURSOR_SIZEWE; break;
    case -11: id = SDL_SYSTEM_CURSOR_WAIT; break;
    case -13: id = SDL_SYSTEM_CURSOR_NO; break;
    case -19: id = SDL_SYSTEM_CURSOR_WAITARROW; break;
    case -21: id = SDL_SYSTEM_CURSOR_HAND; break;
    case -22: id = SDL_SYSTEM_CURSOR_SIZEALL; break;
    default: break;
  }
  if (!cursors[id]) cursors[id] = SDL_CreateSystemCursor(id);
  if (cursors[id]) SDL_SetCursor(cursors[id]);
}

void CSdlGameWindow::MousePosition(int& screen_x, int& screen_y) const {
  screen_x = screen_y = 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  int wx = 0, wy = 0;
  // The window's own mouse state stays right where global queries are not
  // available (offscreen, some Wayland sessions).
  SDL_GetMouseState(&screen_x, &screen_y);
  if (window_) SDL_GetWindowPosition(window_, &wx, &wy);
  screen_x += wx;
  screen_y += wy;
}

void CSdlGameWindow::SetMousePosition(int screen_x, int screen_y) {
  if (!window_) return;
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(window_, &wx, &wy);
  SDL_WarpMouseInWindow(window_, screen_x - wx, screen_y - wy);
}

void CSdlGameWindow::Translate(const SDL_Event& e) {
  if (joysticks_) joysticks_->Translate(e, pending_);
  RInputEvent ev;
  switch (e.type) {
    case SDL_QUIT:
      ev.kind = RInputEvent::Close;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        ev.kind = RInputEvent::Close;
        break;
      }
      // A window shown again, resized or given back the focus shows its
      // picture at once, without waiting for the game's next frame.
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
        repaint_ = true;
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      // Auto-repeat comes through as further key-downs: the held key becomes
      // the last key again, and the handler makes no new press of it.
      const int vk = SdlKeyToVirtualKey(e.key.keysym.sym, e.key.keysym.scancode, (e.key.keysym.mod & KMOD_NUM) != 0);
      if (vk > 0) {
        RInputEvent key;
        key.kind = e.type == SDL_KEYDOWN ? RInputEvent::KeyDown : RInputEvent::KeyUp;
        key.a = vk;
        pending_.push_back(std::move(key));
      }
      // The keys that type a control character send no text: their
      // character follows the key-down (backspace deletes from the typed
      // text, and every one of them becomes the last character).
      const char16_t c = e.type == SDL_KEYDOWN ? SdlKeyControlChar(e.key.keysym.sym) : 0;
      if (c == 0) return;
      ev.kind = RInputEvent::Char;
      ev.text = std::u16string(1, c);
      break;
    }
    case SDL_TEXTINPUT: {
      ev.kind = RInputEvent::Char;
      ev.text = SdlTextToUtf16(e.text.text);
      if (ev.text.empty()) return;
      break;
    }
    case SDL_MOUSEMOTION:
      ev.kind = RInputEvent::MouseMove;
      ev.a = e.motion.x;
      ev.b = e.motion.y;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      // SDL numbers left, middle, right as 1, 2, 3; the game as 1, 3, 2.
      const int button = e.button.button == SDL_BUTTON_LEFT    ? 1
                         : e.button.button == SDL_BUTTON_RIGHT ? 2
                         : e.button.button == SDL_BUTTON_MIDDLE ? 3
                                                                : 0;
      if (button == 0) return;
      ev.kind = e.type == SDL_MOUSEBUTTONDOWN ? RInputEvent::MouseDown : RInputEvent::MouseUp;
      ev.a = button;
      break;
    }
    case SDL_MOUSEWHEEL:
      if (e.wheel.y == 0) return;
      ev.kind = e.wheel.y > 0 ? RInputEvent::WheelUp : RInputEvent::WheelDown;
      break;
    default:
      return;
  }
  pending_.push_back(std::move(ev));
}

void CSdlGameWindow::Pump() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (TranslatesInput()) Translate(e);
    else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_EXPOSED) repaint_ = true;
  }
  if (!TranslatesInput() || window_ == nullptr) return;
  // Num Lock may be toggled while another window has the keyboard: the
  // toggle itself is handed on whenever it differs from what was said last.
  const int numlock = (SDL_GetModState() & KMOD_NUM) != 0 ? 1 : 0;
  if (numlock != numlock_reported_) {
    numlock_reported_ = numlock;
    RInputEvent ev;
    ev.kind = RInputEvent::NumLock;
    ev.a = numlock;
    pending_.push_back(std::move(ev));
  }
}

bool CSdlGameWindow::PollEvent(RInputEvent& event) {
  if (pending_.empty()) return false;
  event = std::move(pending_.front());
  pending_.pop_front();
  return true;
}

bool CSdlGameWindow::EventWaiting(RInputEvent::Kind kind, int code) const {
  for (const RInputEvent& e : pending_)
    if (e.kind == kind && (kind != RInputEvent::KeyDown || e.a == code)) return true;
  return false;
}

bool CSdlGameWindow::HasFocus() const {
  if (!TranslatesInput()) return true;
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool CSdlGameWindow::TakeRepaintRequest() {
  const bool r = repaint_;
  repaint_ = false;
  return r;
}

bool CSdlGameWindow::ClipboardGet(std::string& text) {
  if (window_ == nullptr) return false;
  text.clear();
  if (SDL_HasClipboardText() == SDL_TRUE) {
    char* t = SDL_GetClipboardText();
    if (t != nullptr) text = t;
    SDL_free(t);
  }
  return true;
}

bool CSdlGameWindow::ClipboardSet(const std::string& text) {
  return window_ != nullptr && SDL_SetClipboardText(text.c_str()) == 0;
}

bool CSdlGameWindow::MessageBox(const std::string& title, const std::string& text) {
  if (!TranslatesInput()) return false;
  // Works before and without SDL_Init.
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(), window_) == 0;
}

bool CSdlGameWindow::LoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress,
                                    bool debug_mode, int alpha, bool transparent) {
  if (!TranslatesInput()) return false;
  // The video subsystem belongs to the game window, which outlives the
  // loading window: closing that one must not take the display away.
  std::string error;
  if (!StartVideo(error)) return false;
  return PlatformLoadWindowOpen(pictures, show_progress, scale_progress, debug_mode, alpha, transparent);
}

void CSdlGameWindow::LoadWindowProgress(int percent) { PlatformLoadWindowProgress(percent); }
void CSdlGameWindow::LoadWindowClose() {
  PlatformLoadWindowClose();
  // Destroying a window can leave no OpenGL context current.
  if (window_ && context_) SDL_GL_MakeCurrent(window_, context_);
}

namespace {
// While SDL looks for a sound device, the libraries it tries (ALSA above all)
// write their search to stderr; none of that reaches the player, who gets
// one line of ours when there is no device at all.
class CQuietStderr {
 public:
  CQuietStderr() {
    std::fflush(stderr);
    saved_ = dup(2);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, 2);
    if (null >= 0) close(null);
  }
  ~CQuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
  }
  CQuietStderr(const CQuietStderr&) = delete;
  CQuietStderr& operator=(const CQuietStderr&) = delete;

 private:
  int saved_ = -1;
};
}  // namespace

bool CSdlAudioOutput::Open(int rate, AudioPull pull) {
  Close();
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!OpenQuietly(rate, std::move(pull))) {
    std::fprintf(stderr, "roomrun: no sound device (%s): the game plays without sound\n", SDL_GetError());
    return false;
  }
  return true;
}

bool CSdlAudioOutput::OpenQuietly(int rate, AudioPull pull) {
  CQuietStderr quiet;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  want.userdata = this;
  pull_ = std::move(pull);
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) return false;
  rate_ = have.freq;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void CSdlAudioOutput::Close() {
  if (device_) SDL_CloseAudioDevice(device_);
  device_ = 0;
}

void CSdlAudioOutput::Callback(void* self, unsigned char* stream, int len) {
  auto* out = static_cast<CSdlAudioOutput*>(self);
  const int frames = len / int(2 * sizeof(float));
  std::memset(stream, 0, size_t(len));
  if (out->pull_) out->pull_(reinterpret_cast<float*>(stream), frames);
}

RPlatform MakeSdlPlatform() {
  RPlatform p;
  p.window = std::make_unique<CSdlGameWindow>();
  p.audio = std::make_unique<CSdlAudioOutput>();
  return p;
}
