// Owns the installed backends.
#include "platform/Platform.h"

#include "platform/Platform_LoadWindow.h"

namespace {
RPlatform g_platform;
std::unique_ptr<IRenderDevice> g_device;
}  // namespace

void PlatformInstall(RPlatform platform) { g_platform = std::move(platform); }

void PlatformShutdown() {
  if (g_device) g_device->Release();
  g_device.reset();
  if (g_platform.audio) g_platform.audio->Close();
  g_platform = RPlatform{};
}

IGameWindow* GameWindow() { return g_platform.window.get(); }
IAudioOutput* AudioOutput() { return g_platform.audio.get(); }
IRenderDevice* RenderDevice() { return g_device.get(); }
void PlatformSetRenderDevice(std::unique_ptr<IRenderDevice> device) { g_device = std::move(device); }

void PumpMessages() {
  if (g_platform.window) g_platform.window->Pump();
  else PlatformPumpEvents();
}
