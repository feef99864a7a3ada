#pragma once
// Backgrounds: one image, used for room layers and as the tile sets.
#include <string>

#include "graphics/BM32_Bitmap.h"

class CStream;

class CBackground {
 public:
  TBitmap32 i_bitmap;
  int i_tex = -1;

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
};
