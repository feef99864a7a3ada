// The device routines the window model calls, as they behave with no device
// (they do nothing), for programs linked before the device module exists.
// They are weak: the device module's own definitions replace them, and this
// file goes once that module is in.
#include "graphics/Graphics_D3D.h"

__attribute__((weak)) bool GR_D3D_Refresh() { return false; }
__attribute__((weak)) bool GR_D3D_Reset() { return false; }
__attribute__((weak)) void GR_D3D_Request_Reset(int) {}
__attribute__((weak)) void GR_D3D_Set_Placement(const RPresentPlacement&) {}
