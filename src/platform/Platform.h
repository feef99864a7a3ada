#pragma once
// The platform installer: the one game window, render device and audio
// output of the run, chosen once at start-up. Without an installed platform
// (tests, tools) every graphics operation does nothing and no window exists.
#include <memory>

#include "platform/Audio_Output.h"
#include "platform/Game_Window.h"
#include "platform/Render_Device.h"

struct RPlatform {
  std::unique_ptr<IGameWindow> window;
  std::unique_ptr<IAudioOutput> audio;
};

// Takes the backends for the rest of the run.
void PlatformInstall(RPlatform platform);
// Releases the render device, the window and the audio output (at exit).
void PlatformShutdown();

// Null when no platform is installed.
IGameWindow* GameWindow();
IAudioOutput* AudioOutput();
// The render device, once the window has made one (null before and without
// a window).
IRenderDevice* RenderDevice();
void PlatformSetRenderDevice(std::unique_ptr<IRenderDevice> device);

// Where input events from the window go (the runtime's input handler).
using EventSink = void (*)(const RInputEvent& event);
void PlatformSetEventSink(EventSink sink);
// Lets the window system do pending work and hands the window's input events
// to the sink (wherever the runner waits).
void PumpMessages();
