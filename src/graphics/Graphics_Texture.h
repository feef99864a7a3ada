#pragma once
// The texture list: numbered slots holding the device textures of every
// picture the game draws, and the textured-quad routines that draw them.
#include <cstdint>
#include <vector>

#include "graphics/BM32_Bitmap.h"

struct RTexture {
  unsigned tex = 0;  // device handle
  int w = 0, h = 0;    // image size, at the top-left of the texture
  int wt = 0, ht = 0;  // texture size
  bool used = false;
};

// The list itself (read-only; for tests and the device tier).
const std::vector<RTexture>& GR_Texture_List();

// A texture holding w x h pixels (TColor32, rows top-down) at its top-left;
// its number, or -1 when there is no device or creation fails.
int GR_Texture_Create_And_Fill(int w, int h, const TColor32* pixels);
// -1 for an empty bitmap.
int GR_Texture_Create_From_Bitmap(const TBitmap32& bm);
// From w x h coverage bytes: white texels with the byte as alpha (glyphs).
int GR_Texture_Create_From_Coverage(int w, int h, const uint8_t* coverage);
// An empty texture; a render target when target.
int GR_Texture_Create_Empty(int w, int h, bool target);
// Releases the texture and frees its slot (ignored when it does not exist).
void GR_Texture_Free(int tex);
bool GR_Texture_Exists(int tex);
// The image's share of the texture (w / wt, h / ht); 1 when it does not exist.
double GR_Texture_Width(int tex);
double GR_Texture_Height(int tex);
// Binds the texture (none for -1 or a number that does not exist).
void GR_Texture_Set(int tex);
unsigned GR_Texture_Device_Handle(int tex);  // 0 when the texture does not exist
void GR_Texture_Preload(int tex);
void GR_Texture_Set_Priority(int tex, int prio);
// Forgets every slot without releasing anything: called when a device is
// created, whose textures all are new.
void GR_Texture_Reset_List();

// The textured-quad routines: every sprite, background, tile, surface, glyph
// and particle reaches the screen through these. Angles are in radians;
// colours are colour integers (0x00BBGGRR). Nothing is drawn for a texture
// that does not exist.
void GR_Texture_Draw_Simple(int tex, double x, double y);
void GR_Texture_Draw(int tex, int color, double xorig, double yorig, double x, double y, double xscale,
                     double yscale, double angle, double alpha);
void GR_Texture_Draw_Part(int tex, int color, double xo, double yo, double w, double h, double x, double y,
                          double xscale, double yscale, double angle, double alpha);
void GR_Texture_Draw_General(int tex, int c1, int c2, int c3, int c4, double xo, double yo, double w, double h,
                             double x, double y, double xscale, double yscale, double angle, double alpha);
void GR_Texture_Draw_Pos(int tex, double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                         double y4, double alpha);
void GR_Texture_Draw_Tiled(int tex, double xorig, double yorig, double x, double y, double xscale, double yscale,
                           bool htiled, bool vtiled, double xr, double yr, double wr, double hr, int color,
                           double alpha);
