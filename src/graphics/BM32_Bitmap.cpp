#include "graphics/BM32_Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "runner/Support_Stream.h"

namespace {
constexpr int64_t kMaxPixels = kBM32_MaxPixels;

bool SizeOk(int64_t w, int64_t h) {
  return w >= 0 && h >= 0 && w * h <= kMaxPixels;
}
}  // namespace

TBitmap32::TBitmap32(int w, int h) : TBitmap32(w, h, 0) {}

TBitmap32::TBitmap32(int w, int h, TColor32 col) {
  if (w > 0 && h > 0 && SizeOk(w, h)) {
    s_w = w;
    s_h = h;
    s_data.assign(size_t(w) * size_t(h), col);
  }
}

void TBitmap32::Clear() {
  s_w = 0;
  s_h = 0;
  s_data.clear();
}

void TBitmap32::Resize(int neww, int newh) {
  if (neww <= 0 || newh <= 0 || !SizeOk(neww, newh)) return;
  if (neww == s_w && newh == s_h) return;
  s_w = neww;
  s_h = newh;
  s_data.assign(size_t(neww) * size_t(newh), 0);
}

void TBitmap32::Resize(int neww, int newh, TColor32 col) {
  if (neww <= 0 || newh <= 0 || !SizeOk(neww, newh)) return;
  if (neww != s_w || newh != s_h) Resize(neww, newh);
  Fill(col);
}

void TBitmap32::Stretch(int neww, int newh, int quality) {
  if (neww <= 0 || newh <= 0 || !SizeOk(neww, newh)) return;
  if (neww == s_w && newh == s_h) return;
  if (Empty()) {
    Resize(neww, newh);
    return;
  }
  if (quality <= 0) quality = 1;
  const double fx = double(neww) / s_w;
  const double fy = double(newh) / s_h;
  const double q2 = double(quality) * quality;
  std::vector<TColor32> out(size_t(neww) * size_t(newh));
  for (int y = 0; y < newh; ++y) {
    for (int x = 0; x < neww; ++x) {
      double sa = 0, sr = 0, sg = 0, sb = 0;
      for (int a = 0; a < quality; ++a) {
        int sx = int(std::floor((double(a) / quality + x) / fx));
        sx = std::clamp(sx, 0, s_w - 1);
        for (int b = 0; b < quality; ++b) {
          int sy = int(std::floor((double(b) / quality + y) / fy));
          sy = std::clamp(sy, 0, s_h - 1);
          TColor32 c = s_data[size_t(sy) * s_w + sx];
          sa += C32_Alpha(c);
          if (C32_Alpha(c) != 0) {
            sr += C32_Red(c);
            sg += C32_Green(c);
            sb += C32_Blue(c);
          }
        }
      }
      auto avg = [&](double s) { return int(std::nearbyint(s / q2)); };
      out[size_t(y) * neww + x] = C32_Make(avg(sr), avg(sg), avg(sb), avg(sa));
    }
  }
  s_w = neww;
  s_h = newh;
  s_data = std::move(out);
}

TColor32 TBitmap32::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= s_w || y >= s_h) return 0;
  return s_data[size_t(y) * s_w + x];
}

void TBitmap32::SetPixel(int x, int y, TColor32 col) {
  if (x < 0 || y < 0 || x >= s_w || y >= s_h) return;
  s_data[size_t(y) * s_w + x] = col;
}

void TBitmap32::Fill(TColor32 col) { std::fill(s_data.begin(), s_data.end(), col); }

void TBitmap32::DrawPart(int x, int y, const TBitmap32& bm, int xo, int yo, int wo, int ho) {
  // Clip the source part against the source bitmap.
  if (xo < 0) { wo += xo; x -= xo; xo = 0; }
  if (yo < 0) { ho += yo; y -= yo; yo = 0; }
  wo = std::min(wo, bm.s_w - xo);
  ho = std::min(ho, bm.s_h - yo);
  // Then against the target.
  if (x < 0) { wo += x; xo -= x; x = 0; }
  if (y < 0) { ho += y; yo -= y; y = 0; }
  wo = std::min(wo, s_w - x);
  ho = std::min(ho, s_h - y);
  if (wo <= 0 || ho <= 0) return;
  for (int j = 0; j < ho; ++j) {
    std::memcpy(&s_data[size_t(y + j) * s_w + x], &bm.s_data[size_t(yo + j) * bm.s_w + xo],
                size_t(wo) * sizeof(TColor32));
  }
}

TRect TBitmap32::BoundingBox(int tolerance) const {
  TRect r{s_w - 1, s_h - 1, 0, 0};
  for (int y = 0; y < s_h; ++y) {
    for (int x = 0; x < s_w; ++x) {
      if (C32_Alpha(s_data[size_t(y) * s_w + x]) > tolerance) {
        r.left = std::min(r.left, x);
        r.right = std::max(r.right, x);
        r.top = std::min(r.top, y);
        r.bottom = std::max(r.bottom, y);
      }
    }
  }
  return r;
}

// ---------------------------------------------------------------- streams

bool TBitmap32::LoadFromStream(CStream& str) {
  if (str.ReadInteger() != 800) return false;
  int w = str.ReadInteger();
  int h = str.ReadInteger();
  Clear();
  if (w <= 0 || h <= 0) return true;
  if (!SizeOk(w, h)) return false;
  const size_t bytes = size_t(w) * size_t(h) * 4;
  int len = str.ReadInteger();
  if (len < 0 || size_t(len) != bytes || size_t(len) > str.Remaining()) return false;
  std::vector<TColor32> data(size_t(w) * size_t(h));
  const uint8_t* p = str.Data() + str.Position();
  for (size_t i = 0; i < data.size(); ++i, p += 4) {
    data[i] = TColor32(p[0]) | (TColor32(p[1]) << 8) | (TColor32(p[2]) << 16) |
              (TColor32(p[3]) << 24);
  }
  str.Skip(bytes);
  s_w = w;
  s_h = h;
  s_data = std::move(data);
  return true;
}

bool TBitmap32::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteInteger(Empty() ? 0 : s_w);
  str.WriteInteger(Empty() ? 0 : s_h);
  if (!Empty()) {
    std::vector<uint8_t> bytes(s_data.size() * 4);
    for (size_t i = 0; i < s_data.size(); ++i) {
      TColor32 c = s_data[i];
      bytes[4 * i] = uint8_t(c);
      bytes[4 * i + 1] = uint8_t(c >> 8);
      bytes[4 * i + 2] = uint8_t(c >> 16);
      bytes[4 * i + 3] = uint8_t(c >> 24);
    }
    str.WriteInteger(int(bytes.size()));
    str.WriteBuffer(bytes.data(), bytes.size());
  }
  return true;
}

// ---------------------------------------------------------------- BMP files

namespace {
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}

// Extracts a channel given by a bit mask and scales it to 0..255.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit MaskChannel(uint32_t m) : mask(m) {
    if (m == 0) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  int Get(uint32_t v, int def) const {
    if (mask == 0 || bits == 0) return def;
    uint32_t x = (v & mask) >> shift;
    uint32_t maxv = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return int((uint64_t(x) * 255 + maxv / 2) / maxv);
  }
};
}  // namespace

bool TBitmap32::LoadFromBMP(const uint8_t* data, size_t size) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offbits = Le32(data + 10);
  const uint8_t* ih = data + 14;
  const uint32_t hsize = Le32(ih);
  if (hsize < 12 || hsize > size - 14) return false;
  int64_t w, h;
  int bpp;
  uint32_t compression = 0, clrused = 0;
  int palentry = 4;
  if (hsize == 12) {
    w = Le16(ih + 4);
    h = int16_t(Le16(ih + 6));
    bpp = Le16(ih + 10);
    palentry = 3;
  } else {
    if (hsize < 40) return false;
    w = int32_t(Le32(ih + 4));
    h = int32_t(Le32(ih + 8));
    bpp = Le16(ih + 14);
    compression = Le32(ih + 16);
    clrused = Le32(ih + 32);
  }
  const bool topdown = h < 0;
  if (topdown) h = -h;
  if (w <= 0 || h <= 0 || !SizeOk(w, h)) return false;
  uint32_t rmask = 0, gmask = 0, bmask = 0, amask = 0;
  if (compression == 3 || compression == 6) {  // bit fields
    if (hsize >= 52) {
      rmask = Le32(ih + 40);
      gmask = Le32(ih + 44);
      bmask = Le32(ih + 48);
      if (hsize >= 56) amask = Le32(ih + 52);
    } else {
      if (size < 14 + size_t(hsize) + 12) return false;
      rmask = Le32(ih + hsize);
      gmask = Le32(ih + hsize + 4);
      bmask = Le32(ih + hsize + 8);
    }
  } else if (compression != 0) {
    return false;  // run-length and embedded formats are not supported
  } else if (bpp == 16) {
    rmask = 0x7C00;
    gmask = 0x03E0;
    bmask = 0x001F;
  } else if (bpp == 32) {
    rmask = 0x00FF0000;
    gmask = 0x0000FF00;
    bmask = 0x000000FF;
    amask = 0xFF000000;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  // Palette.
  std::vector<TColor32> pal;
  if (bpp <= 8) {
    size_t n = clrused ? clrused : (size_t(1) << bpp);
    if (n > 256) n = 256;
    size_t palpos = 14 + size_t(hsize);
    if (compression == 3 && hsize < 52) palpos += 12;
    if (palpos > size || n > (size - palpos) / palentry) return false;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* p = data + palpos + i * palentry;
      pal.push_back(C32_Make(p[2], p[1], p[0], 255));
    }
  }
  const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
  if (offbits > size || stride * size_t(h) > size - offbits) return false;
  MaskChannel mr(rmask), mg(gmask), mb(bmask), ma(amask);
  std::vector<TColor32> out(size_t(w) * size_t(h));
  bool anyalpha = false;
  for (int64_t row = 0; row < h; ++row) {
    const uint8_t* src = data + offbits + stride * size_t(row);
    const int64_t y = topdown ? row : h - 1 - row;
    TColor32* dst = &out[size_t(y) * size_t(w)];
    for (int64_t x = 0; x < w; ++x) {
      TColor32 c = 0;
      if (bpp <= 8) {
        size_t bit = size_t(x) * bpp;
        int idx = (src[bit / 8] >> (8 - bpp - int(bit % 8))) & ((1 << bpp) - 1);
        c = size_t(idx) < pal.size() ? pal[idx] : C32_Make(0, 0, 0, 255);
      } else if (bpp == 24) {
        const uint8_t* p = src + x * 3;
        c = C32_Make(p[2], p[1], p[0], 255);
      } else {
        uint32_t v = bpp == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
        int a = ma.Get(v, 255);
        if (amask && a != 0) anyalpha = true;
        c = C32_Make(mr.Get(v, 0), mg.Get(v, 0), mb.Get(v, 0), a);
      }
      dst[x] = c;
    }
  }
  // An alpha channel that is zero everywhere is an unused one.
  if (amask && !anyalpha)
    for (auto& c : out) c |= 0xFF000000u;
  s_w = int(w);
  s_h = int(h);
  s_data = std::move(out);
  return true;
}

std::vector<uint8_t> TBitmap32::SaveToBMP() const {
  const int w = Empty() ? 0 : s_w, h = Empty() ? 0 : s_h;
  const uint32_t hsize = 108;  // V4 header: carries the alpha mask
  const uint32_t off = 14 + hsize;
  const uint32_t img = uint32_t(w) * uint32_t(h) * 4;
  std::vector<uint8_t> v;
  v.reserve(off + img);
  v.push_back('B');
  v.push_back('M');
  Put32(v, off + img);
  Put32(v, 0);
  Put32(v, off);
  Put32(v, hsize);
  Put32(v, uint32_t(w));
  Put32(v, uint32_t(-h));  // top-down
  Put16(v, 1);
  Put16(v, 32);
  Put32(v, 3);  // bit fields
  Put32(v, img);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, 0x00FF0000);
  Put32(v, 0x0000FF00);
  Put32(v, 0x000000FF);
  Put32(v, 0xFF000000);
  Put32(v, 0x73524742);  // sRGB colour space
  v.resize(off, 0);
  for (TColor32 c : s_data) Put32(v, c);
  return v;
}

// ---------------------------------------------------------------- pixel ops

void BM32_RemoveBackground(TBitmap32& bm, int tolerance) {
  if (bm.Empty()) return;
  TColor32 key = bm.GetPixel(0, bm.s_h - 1);
  for (auto& c : bm.s_data) {
    if (std::abs(C32_Red(c) - C32_Red(key)) <= tolerance &&
        std::abs(C32_Green(c) - C32_Green(key)) <= tolerance &&
        std::abs(C32_Blue(c) - C32_Blue(key)) <= tolerance)
      c &= 0x00FFFFFFu;
  }
}

void BM32_SmoothEdges(TBitmap32& bm) {
  for (int y = 0; y < bm.s_h; ++y) {
    for (int x = 0; x < bm.s_w; ++x) {
      if (C32_Alpha(bm.GetPixel(x, y)) != 0) continue;
      for (int j = std::max(0, y - 1); j <= std::min(bm.s_h - 1, y + 1); ++j) {
        for (int i = std::max(0, x - 1); i <= std::min(bm.s_w - 1, x + 1); ++i) {
          TColor32& c = bm.s_data[size_t(j) * bm.s_w + i];
          int a = C32_Alpha(c);
          if (a >= 32) c = (c & 0x00FFFFFFu) | (TColor32(a - 32) << 24);
        }
      }
    }
  }
}

void BM32_FixTransparentColors(TBitmap32& bm) {
  const TBitmap32 src = bm;
  const int dx[4] = {-1, 1, 0, 0}, dy[4] = {0, 0, -1, 1};
  for (int y = 0; y < bm.s_h; ++y) {
    for (int x = 0; x < bm.s_w; ++x) {
      if (C32_Alpha(src.GetPixel(x, y)) != 0) continue;
      for (int k = 0; k < 4; ++k) {
        int nx = x + dx[k], ny = y + dy[k];
        if (nx < 0 || ny < 0 || nx >= bm.s_w || ny >= bm.s_h) continue;
        TColor32 n = src.GetPixel(nx, ny);
        if (C32_Alpha(n) != 0) {
          bm.s_data[size_t(y) * bm.s_w + x] = n & 0x00FFFFFFu;
          break;
        }
      }
    }
  }
}

void BM32_MakeOpaque(TBitmap32& bm) {
  for (auto& c : bm.s_data) c |= 0xFF000000u;
}

void BM32_AlphaFromBrightness(TBitmap32& bm, const TBitmap32& src) {
  const int w = std::min(bm.s_w, src.s_w), h = std::min(bm.s_h, src.s_h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      TColor32 s = src.s_data[size_t(y) * src.s_w + x];
      int a = (C32_Red(s) + C32_Green(s) + C32_Blue(s)) / 3;
      TColor32& c = bm.s_data[size_t(y) * bm.s_w + x];
      c = (c & 0x00FFFFFFu) | (TColor32(a) << 24);
    }
  }
}
