#include "resources/Sprite_Class.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "graphics/Graphics_Texture.h"
#include "runner/Support_Stream.h"

namespace {
// The pixel steps every imported frame goes through.
void PrepareFrame(TBitmap32& bm, int removeback, bool smooth) {
  if (removeback == 1) BM32_RemoveBackground(bm, 0);
  if (smooth) BM32_SmoothEdges(bm);
  if (removeback == 1) BM32_FixTransparentColors(bm);
  if (removeback == -1) BM32_MakeOpaque(bm);
}
}  // namespace

CSprite::CSprite(const CSprite& spr) { Assign(spr); }

CSprite::CSprite(CSprite&& spr) noexcept
    : i_numb(spr.i_numb),
      i_bitmap(std::move(spr.i_bitmap)),
      i_xorig(spr.i_xorig),
      i_yorig(spr.i_yorig),
      i_bbox(spr.i_bbox),
      i_mask(std::move(spr.i_mask)),
      i_sepmasks(spr.i_sepmasks),
      i_tex(std::move(spr.i_tex)) {
  spr.i_tex.clear();
  spr.Clear();
}

CSprite& CSprite::operator=(const CSprite& spr) {
  Assign(spr);
  return *this;
}

CSprite& CSprite::operator=(CSprite&& spr) noexcept {
  if (&spr == this) return *this;
  Clear();
  i_numb = spr.i_numb;
  i_bitmap = std::move(spr.i_bitmap);
  i_xorig = spr.i_xorig;
  i_yorig = spr.i_yorig;
  i_bbox = spr.i_bbox;
  i_mask = std::move(spr.i_mask);
  i_sepmasks = spr.i_sepmasks;
  i_tex = std::move(spr.i_tex);
  spr.i_tex.clear();
  spr.Clear();
  return *this;
}

CSprite::~CSprite() { FreeTexture(); }

void CSprite::Clear() {
  FreeTexture();
  i_numb = 0;
  i_bitmap.clear();
  i_xorig = i_yorig = 0;
  i_bbox = {0, 0, 0, 0};
  i_mask.clear();
  i_sepmasks = false;
  i_tex.clear();
}

void CSprite::Assign(const CSprite& spr) {
  if (&spr == this) return;
  i_numb = spr.i_numb;
  i_bitmap = spr.i_bitmap;
  i_xorig = spr.i_xorig;
  i_yorig = spr.i_yorig;
  i_bbox = spr.i_bbox;
  i_sepmasks = spr.i_sepmasks;
  i_mask = spr.i_mask;
  ResetTextures();
}

int CSprite::ReduceIndex(int ind) const {
  if (i_numb <= 0) return 0;
  int r = ind % i_numb;
  return r < 0 ? r + i_numb : r;
}

const TMask* CSprite::MaskForFrame(int ind) const {
  if (i_numb <= 0 || i_mask.empty()) return nullptr;
  if (!i_sepmasks) return &i_mask[0];
  const int r = ReduceIndex(ind);
  return size_t(r) < i_mask.size() ? &i_mask[size_t(r)] : nullptr;
}

bool CSprite::LoadFromStream(CStream& str) {
  Clear();
  const int version = str.ReadInteger();
  if (version != 800 && version != 810) return false;
  i_xorig = str.ReadInteger();
  i_yorig = str.ReadInteger();
  const int count = str.ReadInteger();
  // Every frame record takes at least 12 bytes.
  if (count < 0 || uint64_t(count) * 12 > str.Remaining()) return false;
  std::vector<TBitmap32> frames(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!frames[size_t(i)].LoadFromStream(str)) return false;
    if (i > 0 && (frames[size_t(i)].s_w != frames[0].s_w || frames[size_t(i)].s_h != frames[0].s_h))
      return false;
  }
  if (version == 810) str.ReadInteger();
  const bool sepmasks = str.ReadBoolean();
  std::vector<TMask> masks;
  if (count > 0) {
    masks.resize(sepmasks ? size_t(count) : 1);
    for (auto& m : masks)
      if (!m.LoadFromStream(str) || !m.FitsFrame(frames[0].s_w, frames[0].s_h)) return false;
  }
  i_numb = count;
  i_bitmap = std::move(frames);
  i_sepmasks = sepmasks;
  i_mask = std::move(masks);
  ResetTextures();
  ComputeBoundingBox();
  return true;
}

void CSprite::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteInteger(i_xorig);
  str.WriteInteger(i_yorig);
  str.WriteInteger(i_numb);
  for (const auto& f : i_bitmap) f.SaveToStream(str);
  str.WriteBoolean(i_sepmasks);
  if (i_numb > 0) {
    const size_t n = i_sepmasks ? size_t(i_numb) : 1;
    for (size_t i = 0; i < n; ++i) {
      // A sprite whose masks were never computed gets the default mask of
      // its frame: the reader refuses masks that do not fit their frames.
      if (i < i_mask.size()) i_mask[i].SaveToStream(str);
      else TMask(i < i_bitmap.size() ? &i_bitmap[i] : nullptr, 0, kMaskPrecise, TRect{}, kBBoxAutomatic).SaveToStream(str);
    }
  }
}

bool CSprite::LoadFromSpriteFile(const std::string& fname) {
  std::ifstream f(fname, std::ios::binary);
  if (!f) return false;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  CStream s(std::move(bytes));
  try {
    return LoadFromSpriteData(s);
  } catch (const std::exception&) {
    Clear();
    return false;
  }
}

bool CSprite::LoadFromSpriteData(CStream& s) {
  if (s.ReadInteger() != 1234321) return false;
  CStream str = s.ReadStreamC();
  if (str.ReadInteger() != 800) return false;
  const int xo = str.ReadInteger();
  const int yo = str.ReadInteger();
  const int count = str.ReadInteger();
  if (count < 0 || uint64_t(count) * 12 > str.Remaining()) return false;
  std::vector<TBitmap32> frames(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!frames[size_t(i)].LoadFromStream(str)) return false;
    if (i > 0 && (frames[size_t(i)].s_w != frames[0].s_w || frames[size_t(i)].s_h != frames[0].s_h))
      return false;
    BM32_FixTransparentColors(frames[size_t(i)]);
  }
  const int kind = str.ReadInteger();
  const int tolerance = str.ReadInteger();
  const bool sepmasks = str.ReadBoolean();
  const int bbmode = str.ReadInteger();
  TRect bb;
  bb.left = str.ReadInteger();
  bb.right = str.ReadInteger();
  bb.bottom = str.ReadInteger();
  bb.top = str.ReadInteger();
  Clear();
  i_xorig = xo;
  i_yorig = yo;
  i_numb = count;
  i_bitmap = std::move(frames);
  ResetTextures();
  ComputeMask(sepmasks, bbmode, bb, kind, tolerance);
  return true;
}

void CSprite::CreateFromBitmap(const TBitmap32& bbb, int removeback, bool smooth, int xo, int yo) {
  Clear();
  TBitmap32 bm = bbb;
  PrepareFrame(bm, removeback, smooth);
  i_bitmap.push_back(std::move(bm));
  i_numb = 1;
  i_xorig = xo;
  i_yorig = yo;
  ResetTextures();
  ComputeMask(false, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::AddFromBitmap(const TBitmap32& bbb, int removeback, bool smooth) {
  TBitmap32 bm = bbb;
  PrepareFrame(bm, removeback, smooth);
  if (i_numb > 0) bm.Stretch(GetWidth(), GetHeight(), 1);
  i_bitmap.push_back(std::move(bm));
  ++i_numb;
  ResetTextures();
  ComputeMask(i_sepmasks, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::AddFromSprite(const CSprite& spr) {
  const std::vector<TBitmap32> frames = spr.i_bitmap;  // spr may be this sprite
  for (TBitmap32 bm : frames) {
    if (i_numb > 0) bm.Stretch(GetWidth(), GetHeight(), 1);
    i_bitmap.push_back(std::move(bm));
    ++i_numb;
  }
  ResetTextures();
  ComputeMask(i_sepmasks, kBBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

void CSprite::SetAlphaFromSprite(const CSprite& spr) {
  if (spr.i_numb <= 0) return;
  const std::vector<TBitmap32> src = spr.i_bitmap;
  for (int i = 0; i < i_numb; ++i)
    BM32_AlphaFromBrightness(i_bitmap[size_t(i)], src[size_t(i % spr.i_numb)]);
  ResetTextures();
}

void CSprite::FreeMask() { i_mask.clear(); }

void CSprite::ComputeMask(bool sepmasks, int bbmode, TRect bbox, int kind, int tolerance) {
  FreeMask();
  i_sepmasks = sepmasks;
  if (i_numb <= 0) {
    i_bbox = {0, 0, 0, 0};
    return;
  }
  if (sepmasks) {
    for (const auto& f : i_bitmap) i_mask.emplace_back(&f, tolerance, kind, bbox, bbmode);
  } else {
    i_mask.emplace_back(&i_bitmap[0], tolerance, kind, bbox, bbmode);
    for (int i = 1; i < i_numb; ++i)
      i_mask[0].Merge(&i_bitmap[size_t(i)], bbmode, tolerance, kind, bbox);
  }
  ComputeBoundingBox();
}

void CSprite::ComputeBoundingBox() {
  if (i_numb <= 0 || i_mask.empty()) {
    i_bbox = {0, 0, 0, 0};
    return;
  }
  if (i_sepmasks) {
    TRect r{GetWidth() - 1, GetHeight() - 1, 0, 0};
    for (const auto& m : i_mask) {
      r.left = std::min(r.left, m.i_bbox.left);
      r.top = std::min(r.top, m.i_bbox.top);
      r.right = std::max(r.right, m.i_bbox.right);
      r.bottom = std::max(r.bottom, m.i_bbox.bottom);
    }
    i_bbox = r;
  } else {
    i_bbox = i_mask[0].i_bbox;
  }
}

void CSprite::InitTexture() {
  FreeTexture();
  i_tex.assign(size_t(i_numb), -1);
  for (int i = 0; i < i_numb; ++i) {
    i_tex[size_t(i)] = GR_Texture_Create_From_Bitmap(i_bitmap[size_t(i)]);
    GR_Texture_Preload(i_tex[size_t(i)]);
  }
}

void CSprite::FreeTexture() {
  for (int& t : i_tex) {
    if (t >= 0) GR_Texture_Free(t);
    t = -1;
  }
}

int CSprite::GetTexture(int ind) const {
  if (i_numb <= 0) return -1;
  const int r = ReduceIndex(ind);
  return size_t(r) < i_tex.size() ? i_tex[size_t(r)] : -1;
}

TBitmap32 CSprite::GetBitmap(int ind) const {
  if (ind < 0 || ind >= i_numb) return TBitmap32();
  return i_bitmap[size_t(ind)];
}

TRect CSprite::GetBoundingBoxImg(int ind) const {
  if (ind < 0 || ind >= i_numb) return TRect{0, 0, 0, 0};
  return i_bitmap[size_t(ind)].BoundingBox(0);
}

bool CSprite::CheckCollision(int img1, TRect bb1, int x1, int y1, double scale1x, double scale1y,
                             double angle1, const CSprite* spr, int img2, TRect bb2, int x2, int y2,
                             double scale2x, double scale2y, double angle2) const {
  if (spr == nullptr || i_numb <= 0 || spr->i_numb <= 0) return false;
  const TMask* a = MaskForFrame(img1);
  const TMask* b = spr->MaskForFrame(img2);
  if (a == nullptr) return false;
  return a->CollisionMask(Place(bb1, x1, y1, scale1x, scale1y, angle1), b,
                          spr->Place(bb2, x2, y2, scale2x, scale2y, angle2));
}

bool CSprite::CheckCollisionPoint(int img1, TRect bb1, int x1, int y1, double scalex, double scaley,
                                  double angle, int x, int y) const {
  const TMask* m = MaskForFrame(img1);
  return m != nullptr && m->CollisionPoint(Place(bb1, x1, y1, scalex, scaley, angle), x, y);
}

bool CSprite::CheckCollisionRectangle(int img1, TRect bb1, int x1, int y1, double scalex, double scaley,
                                      double angle, TRect rr) const {
  const TMask* m = MaskForFrame(img1);
  return m != nullptr && m->CollisionRectangle(Place(bb1, x1, y1, scalex, scaley, angle), rr);
}

bool CSprite::CheckCollisionEllipse(int img1, TRect bb1, int x1, int y1, double scalex, double scaley,
                                    double angle, TRect rr) const {
  const TMask* m = MaskForFrame(img1);
  return m != nullptr && m->CollisionEllipse(Place(bb1, x1, y1, scalex, scaley, angle), rr);
}

bool CSprite::CheckCollisionLine(int img1, TRect bb1, int x1, int y1, double scalex, double scaley,
                                 double angle, int xl, int yl, int xr, int yr) const {
  const TMask* m = MaskForFrame(img1);
  return m != nullptr && m->CollisionLine(Place(bb1, x1, y1, scalex, scaley, angle), xl, yl, xr, yr);
}

namespace {
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
}  // namespace

void CSprite::DrawSimple(int ind, double x, double y) const {
  GR_Texture_Draw_Simple(GetTexture(ind), x - i_xorig, y - i_yorig);
}

void CSprite::Draw(int ind, double x, double y, double xscale, double yscale, double angle, int color,
                   double alpha) const {
  GR_Texture_Draw(GetTexture(ind), color, i_xorig, i_yorig, x, y, xscale, yscale, angle * kDegToRad, alpha);
}

void CSprite::DrawStretched(int ind, double x, double y, double w, double h, int color, double alpha) const {
  if (!(w > 0) || !(h > 0)) return;
  GR_Texture_Draw(GetTexture(ind), color, 0, 0, x, y, w / GetWidth(), h / GetHeight(), 0, alpha);
}

void CSprite::DrawPart(int ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                       double yscale, int color, double alpha) const {
  GR_Texture_Draw_Part(GetTexture(ind), color, xo, yo, w, h, x, y, xscale, yscale, 0, alpha);
}

void CSprite::DrawGeneral(int ind, double xo, double yo, double w, double h, double x, double y, double xscale,
                          double yscale, double angle, int c1, int c2, int c3, int c4, double alpha) const {
  GR_Texture_Draw_General(GetTexture(ind), c1, c2, c3, c4, xo, yo, w, h, x, y, xscale, yscale, angle * kDegToRad,
                          alpha);
}

void CSprite::DrawTiled(int ind, double x, double y, double xscale, double yscale, bool htiled, bool vtiled,
                        double xr, double yr, double wr, double hr, int color, double alpha) const {
  GR_Texture_Draw_Tiled(GetTexture(ind), i_xorig, i_yorig, x, y, xscale, yscale, htiled, vtiled, xr, yr, wr, hr,
                        color, alpha);
}

void CSprite::DrawSpritePos(int ind, double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                            double y4, double alpha) const {
  GR_Texture_Draw_Pos(GetTexture(ind), x1, y1, x2, y2, x3, y3, x4, y4, alpha);
}
