// SDL2's functions, opened when the first window or sound device starts.
#include <SDL.h>
#include <SDL_syswm.h>

static_assert(SDL_MAJOR_VERSION == 2, "the soname below is SDL2's");

#include "platform/Library_Loader.h"

#define RR_SDL_FUNCTIONS(X) \
  X(void, SDL_CloseAudioDevice, void(), (SDL_AudioDeviceID a0), (a0)) \
  X(SDL_Surface*, SDL_ConvertSurfaceFormat, {}, (SDL_Surface* a0, Uint32 a1, Uint32 a2), (a0, a1, a2)) \
  X(SDL_Window*, SDL_CreateShapedWindow, {}, (const char* a0, unsigned int a1, unsigned int a2, unsigned int a3, unsigned int a4, Uint32 a5), (a0, a1, a2, a3, a4, a5)) \
  X(SDL_Cursor*, SDL_CreateSystemCursor, {}, (SDL_SystemCursor a0), (a0)) \
  X(SDL_Window*, SDL_CreateWindow, {}, (const char* a0, int a1, int a2, int a3, int a4, Uint32 a5), (a0, a1, a2, a3, a4, a5)) \
  X(void, SDL_DestroyWindow, void(), (SDL_Window* a0), (a0)) \
  X(int, SDL_FillRect, -1, (SDL_Surface* a0, const SDL_Rect* a1, Uint32 a2), (a0, a1, a2)) \
  X(void, SDL_FreeSurface, void(), (SDL_Surface* a0), (a0)) \
  X(SDL_GLContext, SDL_GL_CreateContext, {}, (SDL_Window* a0), (a0)) \
  X(void, SDL_GL_DeleteContext, void(), (SDL_GLContext a0), (a0)) \
  X(void, SDL_GL_GetDrawableSize, void(), (SDL_Window* a0, int* a1, int* a2), (a0, a1, a2)) \
  X(int, SDL_GL_MakeCurrent, -1, (SDL_Window* a0, SDL_GLContext a1), (a0, a1)) \
  X(int, SDL_GL_SetAttribute, -1, (SDL_GLattr a0, int a1), (a0, a1)) \
  X(int, SDL_GL_SetSwapInterval, -1, (int a0), (a0)) \
  X(void, SDL_GL_SwapWindow, void(), (SDL_Window* a0), (a0)) \
  X(void, SDL_GameControllerClose, void(), (SDL_GameController* a0), (a0)) \
  X(SDL_Joystick*, SDL_GameControllerGetJoystick, {}, (SDL_GameController* a0), (a0)) \
  X(const char*, SDL_GameControllerName, {}, (SDL_GameController* a0), (a0)) \
  X(SDL_GameController*, SDL_GameControllerOpen, {}, (int a0), (a0)) \
  X(char*, SDL_GetClipboardText, {}, (void), ()) \
  X(int, SDL_GetDesktopDisplayMode, -1, (int a0, SDL_DisplayMode* a1), (a0, a1)) \
  X(int, SDL_GetDisplayBounds, -1, (int a0, SDL_Rect* a1), (a0, a1)) \
  X(const char*, SDL_GetError, rr_import::library.Error(), (void), ()) \
  X(SDL_Keymod, SDL_GetModState, {}, (void), ()) \
  X(Uint32, SDL_GetMouseState, {}, (int* a0, int* a1), (a0, a1)) \
  X(int, SDL_GetWindowBordersSize, -1, (SDL_Window* a0, int* a1, int* a2, int* a3, int* a4), (a0, a1, a2, a3, a4)) \
  X(int, SDL_GetWindowDisplayIndex, -1, (SDL_Window* a0), (a0)) \
  X(Uint32, SDL_GetWindowFlags, {}, (SDL_Window* a0), (a0)) \
  X(void, SDL_GetWindowPosition, void(), (SDL_Window* a0, int* a1, int* a2), (a0, a1, a2)) \
  X(void, SDL_GetWindowSize, void(), (SDL_Window* a0, int* a1, int* a2), (a0, a1, a2)) \
  X(SDL_Surface*, SDL_GetWindowSurface, {}, (SDL_Window* a0), (a0)) \
  X(SDL_bool, SDL_GetWindowWMInfo, {}, (SDL_Window* a0, SDL_SysWMinfo* a1), (a0, a1)) \
  X(SDL_bool, SDL_HasClipboardText, {}, (void), ()) \
  X(void, SDL_HideWindow, void(), (SDL_Window* a0), (a0)) \
  X(int, SDL_InitSubSystem, -1, (Uint32 a0), (a0)) \
  X(SDL_bool, SDL_IsGameController, {}, (int a0), (a0)) \
  X(void, SDL_JoystickClose, void(), (SDL_Joystick* a0), (a0)) \
  X(SDL_JoystickID, SDL_JoystickGetDeviceInstanceID, {}, (int a0), (a0)) \
  X(const char*, SDL_JoystickName, {}, (SDL_Joystick* a0), (a0)) \
  X(int, SDL_JoystickNumAxes, -1, (SDL_Joystick* a0), (a0)) \
  X(int, SDL_JoystickNumButtons, -1, (SDL_Joystick* a0), (a0)) \
  X(int, SDL_JoystickNumHats, -1, (SDL_Joystick* a0), (a0)) \
  X(SDL_Joystick*, SDL_JoystickOpen, {}, (int a0), (a0)) \
  X(SDL_Surface*, SDL_LoadBMP_RW, {}, (SDL_RWops* a0, int a1), (a0, a1)) \
  X(int, SDL_LockSurface, -1, (SDL_Surface* a0), (a0)) \
  X(Uint32, SDL_MapRGB, {}, (const SDL_PixelFormat* a0, Uint8 a1, Uint8 a2, Uint8 a3), (a0, a1, a2, a3)) \
  X(int, SDL_NumJoysticks, -1, (void), ()) \
  X(SDL_AudioDeviceID, SDL_OpenAudioDevice, {}, (const char* a0, int a1, const SDL_AudioSpec* a2, SDL_AudioSpec* a3, int a4), (a0, a1, a2, a3, a4)) \
  X(void, SDL_PauseAudioDevice, void(), (SDL_AudioDeviceID a0, int a1), (a0, a1)) \
  X(int, SDL_PollEvent, 0, (SDL_Event* a0), (a0)) \
  X(void, SDL_PumpEvents, void(), (void), ()) \
  X(void, SDL_QuitSubSystem, void(), (Uint32 a0), (a0)) \
  X(SDL_RWops*, SDL_RWFromConstMem, {}, (const void* a0, int a1), (a0, a1)) \
  X(int, SDL_SetClipboardText, -1, (const char* a0), (a0)) \
  X(void, SDL_SetCursor, void(), (SDL_Cursor* a0), (a0)) \
  X(SDL_bool, SDL_SetHint, {}, (const char* a0, const char* a1), (a0, a1)) \
  X(void, SDL_SetWindowAlwaysOnTop, void(), (SDL_Window* a0, SDL_bool a1), (a0, a1)) \
  X(void, SDL_SetWindowBordered, void(), (SDL_Window* a0, SDL_bool a1), (a0, a1)) \
  X(int, SDL_SetWindowFullscreen, -1, (SDL_Window* a0, Uint32 a1), (a0, a1)) \
  X(int, SDL_SetWindowInputFocus, -1, (SDL_Window* a0), (a0)) \
  X(void, SDL_SetWindowMinimumSize, void(), (SDL_Window* a0, int a1, int a2), (a0, a1, a2)) \
  X(int, SDL_SetWindowOpacity, -1, (SDL_Window* a0, float a1), (a0, a1)) \
  X(void, SDL_SetWindowPosition, void(), (SDL_Window* a0, int a1, int a2), (a0, a1, a2)) \
  X(void, SDL_SetWindowResizable, void(), (SDL_Window* a0, SDL_bool a1), (a0, a1)) \
  X(int, SDL_SetWindowShape, -1, (SDL_Window* a0, SDL_Surface* a1, SDL_WindowShapeMode* a2), (a0, a1, a2)) \
  X(void, SDL_SetWindowSize, void(), (SDL_Window* a0, int a1, int a2), (a0, a1, a2)) \
  X(void, SDL_SetWindowTitle, void(), (SDL_Window* a0, const char* a1), (a0, a1)) \
  X(int, SDL_ShowCursor, -1, (int a0), (a0)) \
  X(int, SDL_ShowSimpleMessageBox, -1, (Uint32 a0, const char* a1, const char* a2, SDL_Window* a3), (a0, a1, a2, a3)) \
  X(void, SDL_ShowWindow, void(), (SDL_Window* a0), (a0)) \
  X(void, SDL_UnlockSurface, void(), (SDL_Surface* a0), (a0)) \
  X(int, SDL_UpdateWindowSurface, -1, (SDL_Window* a0), (a0)) \
  X(int, SDL_UpperBlit, -1, (SDL_Surface* a0, const SDL_Rect* a1, SDL_Surface* a2, SDL_Rect* a3), (a0, a1, a2, a3)) \
  X(int, SDL_UpperBlitScaled, -1, (SDL_Surface* a0, const SDL_Rect* a1, SDL_Surface* a2, SDL_Rect* a3), (a0, a1, a2, a3)) \
  X(void, SDL_WarpMouseInWindow, void(), (SDL_Window* a0, int a1, int a2), (a0, a1, a2)) \
  X(Uint32, SDL_WasInit, {}, (Uint32 a0), (a0)) \
  X(void, SDL_free, void(), (void* a0), (a0)) \
  X(char*, SDL_iconv_string, {}, (const char* a0, const char* a1, const char* a2, size_t a3), (a0, a1, a2, a3)) \
  X(size_t, SDL_strlen, {}, (const char* a0), (a0))

RR_IMPORT_LIBRARY(SdlLibrary, "libSDL2-2.0.so.0", "the window, input and sound output", RR_SDL_FUNCTIONS)
