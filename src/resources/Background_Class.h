#pragma once
// Backgrounds: one image, used for room layers and as the tile sets.
#include <string>

#include "graphics/BM32_Bitmap.h"

class CStream;

class CBackground {
 public:
  TBitmap32 i_bitmap;
  int i_tex = -1;

  // A background owns its texture: a copy makes a texture of its own and a
  // move hands it over.
  CBackground() = default;
  CBackground(const CBackground& back);
  CBackground(CBackground&& back) noexcept;
  CBackground& operator=(const CBackground& back);
  CBackground& operator=(CBackground&& back) noexcept;
  ~CBackground();

  void Clear();
  void Assign(const CBackground& back);
  int GetWidth() const { return i_bitmap.Empty() ? 0 : i_bitmap.s_w; }
  int GetHeight() const { return i_bitmap.Empty() ? 0 : i_bitmap.s_h; }
  int GetTexture() const { return i_tex; }
  TBitmap32 GetBitmap() const { return i_bitmap; }

  // Record: version 710, then one bitmap record.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  // A background stored by itself: magic 1234321, one compressed block.
  bool LoadFromBackgroundFile(const std::string& fname);
  bool LoadFromBackgroundData(CStream& str);

  void CreateFromBitmap(const TBitmap32& bbb, bool removeback, bool smooth);
  void CreateColor(int w, int h, int col);
  void CreateGradient(int w, int h, int col1, int col2, int kind);
  void SetAlphaFromBackground(const CBackground& back);

  // The texture of the image (none without a render device or for an empty
  // image), made anew whenever the pixels change.
  void InitTexture();
  void FreeTexture();

  // Drawing through the textured quads, the origin always (0, 0). Angles
  // are in degrees; colours are colour integers.
  void DrawSimple(double x, double y) const;
  void Draw(double x, double y, double xscale, double yscale, double angle, int color, double alpha) const;
  void DrawStretched(double x, double y, double w, double h, int color, double alpha) const;
  void DrawPart(double xo, double yo, double w, double h, double x, double y, double xscale, double yscale,
                int color, double alpha) const;
  void DrawGeneral(double xo, double yo, double w, double h, double x, double y, double xscale, double yscale,
                   double angle, int c1, int c2, int c3, int c4, double alpha) const;
  void DrawTiled(double x, double y, double xscale, double yscale, bool htiled, bool vtiled, double xr, double yr,
                 double wr, double hr, int color, double alpha) const;
};
