#pragma once
// The game's render device: creation with its fall-backs, the render settings
// the game can change, the region and the 2D view transform, the frame cycle,
// recovery after a reset, and reading pixels back. Every other graphics module
// reaches the device through these routines; without a device they do nothing.
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/BM32_Bitmap.h"
#include "platform/Render_Device.h"

// Vertex colour of a colour integer (0x00BBGGRR) with an alpha real: alpha
// byte round(clamp(alpha x 255, 0, 255)), ties to even.
uint32_t GR_Color(int color, double alpha);

bool GR_D3D_Init(int width, int height, int flags);
bool GR_D3D_Exists();
bool GR_D3D_Start_Frame();
bool GR_D3D_End_Frame();
bool GR_D3D_Refresh();
bool GR_D3D_Reset();
void GR_D3D_Finish();

void GR_D3D_Set_Region(int w, int h);
void GR_D3D_Get_Region(int& w, int& h);
int GR_D3D_Region_Width();
int GR_D3D_Region_Height();
void GR_D3D_Set_Viewport(int x, int y, int w, int h);
// The drawing target: a render-target texture number, or -1 for the back
// buffer. The device gives a new target a viewport covering it. False when
// there is no device or the texture is no render target.
bool GR_D3D_Set_Target(int tex);
// Reads w x h pixels (rows top-down, bytes blue, green, red, alpha) of a
// render-target texture or of the back buffer (-1), whichever is the target;
// the target and viewport stay as they were.
bool GR_D3D_Read_Target(int tex, int x, int y, int w, int h, uint32_t* out);
// Maps the room rectangle (x, y, w, h), turned by angle degrees, onto the
// viewport.
void GR_D3D_Set_View(double x, double y, double w, double h, double angle);
// The world transform (2D drawing leaves it the identity).
void GR_D3D_Set_World(const float m[16]);
void GR_D3D_Get_World(float m[16]);
// The most primitives one draw call may hold (from the device's caps).
int GR_D3D_Max_Primitives();

// Render settings: stored, and applied at once when a device exists.
void GR_D3D_Set_Blend(int src, int dst);
void GR_D3D_Set_Blend_Mode(int mode);  // bm_normal, bm_add, bm_max, bm_subtract
void GR_D3D_Set_Interpolation(bool on);
void GR_D3D_Set_Texture_Blending(bool on);
void GR_D3D_Set_Texture_Repeat(bool on);
bool GR_D3D_Get_Interpolation();
bool GR_D3D_Get_Texture_Repeat();
void GR_D3D_Set_Culling(bool on);
void GR_D3D_Set_Shading(bool smooth);
void GR_D3D_Set_Hidden(bool on);
void GR_D3D_Set_Fog(bool enable, int color, double start, double end);
// 3D mode and the depth given to 2D vertices (0 outside 3D mode).
void GR_D3D_Set_3D(bool on);
bool GR_D3D_Get_3D();
double GR_D3D_Depth();
void GR_D3D_Set_Depth(double depth);
void GR_D3D_Apply_Settings();

void GR_D3D_Set_Synchronization(bool on);
bool GR_D3D_Get_Synchronization();
// Anti-aliasing: the supported sample counts (bits 2, 4, 8, 16) and a
// display reset request served at the end of the next frame.
int GR_D3D_AA_Mask();
void GR_D3D_Request_Reset(int aa);
bool GR_D3D_Reset_Requested();

// Clears the current viewport.
void GR_D3D_Clear(int color, double alpha);
void GR_D3D_Clear_Depth();

// Draws vertices with the texture number (-1 for none; see Graphics_Texture);
// clamp forces clamped addressing.
void GR_D3D_Draw(EPrimitive kind, const RDeviceVertex* v, int count, int tex = -1, bool clamp = false);

// Pixels of the region: a picture of the rectangle (clipped as the capture
// rules say) or nothing; one pixel as a colour integer.
std::optional<TBitmap32> GR_D3D_Capture(int x, int y, int w, int h);
std::optional<TBitmap32> GR_D3D_Capture_Screen();
int GR_D3D_Get_Pixel(int x, int y);

// Where the region is shown in the window's client area; set by the window.
struct RPresentPlacement {
  int x = 0, y = 0, w = 640, h = 480;
  int client_w = 640, client_h = 480;
  int border_color = 0;
};
void GR_D3D_Set_Placement(const RPresentPlacement& placement);
