#pragma once
// The texture list (placeholder until the texture module lands).
unsigned GR_Texture_Device_Handle(int tex);  // 0 when the texture does not exist
void GR_Texture_Reset_List();
