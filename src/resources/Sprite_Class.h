#pragma once
// Sprites: equally sized frames, an origin, collision masks and the bounding
// box derived from them, and one texture number per frame.
#include <string>
#include <vector>

#include "graphics/BM32_Bitmap.h"
#include "runtime/Sprite_Mask.h"

class CStream;

class CSprite {
 public:
  int i_numb = 0;
  std::vector<TBitmap32> i_bitmap;
  int i_xorig = 0;
  int i_yorig = 0;
  TRect i_bbox{0, 0, 0, 0};
  std::vector<TMask> i_mask;  // one per frame with i_sepmasks, else one
  bool i_sepmasks = false;
  std::vector<int> i_tex;  // texture per frame, -1 for none

  // A sprite owns its textures: a copy makes textures of its own and a
  // move hands them over.
  CSprite() = default;
  CSprite(const CSprite& spr);
  CSprite(CSprite&& spr) noexcept;
  CSprite& operator=(const CSprite& spr);
  CSprite& operator=(CSprite&& spr) noexcept;
  ~CSprite();

  void Clear();
  void Assign(const CSprite& spr);

  int GetWidth() const { return i_numb > 0 ? i_bitmap[0].s_w : 1; }
  int GetHeight() const { return i_numb > 0 ? i_bitmap[0].s_h : 1; }
  // A frame index reduced into 0 .. i_numb-1 (0 when there are no frames).
  int ReduceIndex(int ind) const;
  // The mask that frame ind collides with, or null.
  const TMask* MaskForFrame(int ind) const;

  // Game-file record: version 800 or 810, origin, frames, separate-mask flag
  // and masks.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;  // writes version 800
  // A sprite stored by itself: magic 1234321, then one compressed block.
  bool LoadFromSpriteFile(const std::string& fname);
  bool LoadFromSpriteData(CStream& str);

  // One frame from a bitmap: pixel steps, origin, default mask.
  void CreateFromBitmap(const TBitmap32& bbb, int removeback, bool smooth, int xo, int yo);
  // Appends a frame stretched to the sprite's size.
  void AddFromBitmap(const TBitmap32& bbb, int removeback, bool smooth);
  void AddFromSprite(const CSprite& spr);
  void SetAlphaFromSprite(const CSprite& spr);

  void ComputeMask(bool sepmasks, int bbmode, TRect bbox, int kind, int tolerance);
  void ComputeBoundingBox();
  void FreeMask();

  // Collision tests of frame img1 placed with the instance's bounding box
  // bb1, position, scales and angle, the sprite origin being the mask origin.
  bool CheckCollision(int img1, TRect bb1, int x1, int y1, double scale1x, double scale1y, double angle1,
                      const CSprite* spr, int img2, TRect bb2, int x2, int y2, double scale2x, double scale2y,
                      double angle2) const;
  bool CheckCollisionPoint(int img1, TRect bb1, int x1, int y1, double scalex, double scaley, double angle,
                           int x, int y) const;
  bool CheckCollisionRectangle(int img1, TRect bb1, int x1, int y1, double scalex, double scaley,
                               double angle, TRect rr) const;
  bool CheckCollisionEllipse(int img1, TRect bb1, int x1, int y1, double scalex, double scaley, double angle,
                             TRect rr) const;
  bool CheckCollisionLine(int img1, TRect bb1, int x1, int y1, double scalex, double scaley, double angle,
                          int xl, int yl, int xr, int yr) const;

  // Textures of every frame (none without a render device), made anew
  // whenever the frames change.
  void InitTexture();
  void FreeTexture();
  int GetTexture(int ind) const;

  // Drawing of frame ind (reduced into the frames), through the textured
  // quads. Angles are in degrees; colours are colour integers. DrawSimple,
  // Draw and DrawTiled put the origin at (x, y); the others put the frame's
  // (or part's) top-left there.
  void DrawSimple(int ind, double x, double y) const;
  void Draw(int ind, double x, double y, double xscale, double yscale, double angle, int color,
            double alpha) const;
  void DrawStretched(int ind, double x, double y, double w, double h, int color, double alpha) const;
  void DrawPart(int ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                double yscale, int color, double alpha) const;
  void DrawGeneral(int ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                   double yscale, double angle, int c1, int c2, int c3, int c4, double alpha) const;
  void DrawTiled(int ind, double x, double y, double xscale, double yscale, bool htiled, bool vtiled, double xr,
                 double yr, double wr, double hr, int color, double alpha) const;
  void DrawSpritePos(int ind, double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                     double y4, double alpha) const;
  // Copy of frame ind; empty for an index outside 0 .. i_numb-1.
  TBitmap32 GetBitmap(int ind) const;
  // Ink box of frame ind (alpha > 0), or (0, 0, 0, 0) outside.
  TRect GetBoundingBoxImg(int ind) const;

 private:
  RMaskPlace Place(TRect bb, int x, int y, double sx, double sy, double angle) const {
    return RMaskPlace{bb, x, y, i_xorig, i_yorig, sx, sy, angle};
  }
  void ResetTextures() { InitTexture(); }
};
