// Owns the installed backends.
#include "platform/Platform.h"

namespace {
RPlatform g_platform;
std::unique_ptr<IRenderDevice> g_device;
EventSink g_sink = nullptr;
}  // namespace

void PlatformInstall(RPlatform platform) { g_platform = std::move(platform); }

void PlatformShutdown() {
  // The device needs its window's context until it is gone.
  if (g_device) g_device->Release();
  g_device.reset();
  if (g_platform.audio) g_platform.audio->Close();
  g_platform = RPlatform{};
}

IGameWindow* GameWindow() { return g_platform.window.get(); }
IAudioOutput* AudioOutput() { return g_platform.audio.get(); }
IRenderDevice* RenderDevice() { return g_device.get(); }
void PlatformSetRenderDevice(std::unique_ptr<IRenderDevice> device) { g_device = std::move(device); }

void PlatformSetEventSink(EventSink sink) { g_sink = sink; }

void PumpMessages() {
  IGameWindow* w = g_platform.window.get();
  if (w == nullptr) return;
  w->Pump();
  RInputEvent e;
  while (w->PollEvent(e)) {
    if (g_sink) g_sink(e);
  }
}
