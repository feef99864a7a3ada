// The texture list (placeholder until the texture module lands).
#include "graphics/Graphics_Texture.h"
unsigned GR_Texture_Device_Handle(int) { return 0; }
void GR_Texture_Reset_List() {}
