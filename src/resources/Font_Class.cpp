#include "resources/Font_Class.h"

#include <iconv.h>

#include <algorithm>
#include <map>

#include "resources/Sprite_Main.h"
#include "runner/Support_Stream.h"

CFont::CFont(CFont&& obj) noexcept : RFontData(std::move(static_cast<RFontData&>(obj))), s_tex(obj.s_tex) {
  obj.s_tex = -1;
  obj.Clear();
}

CFont& CFont::operator=(CFont&& obj) noexcept {
  if (&obj == this) return *this;
  FreeTexture();
  static_cast<RFontData&>(*this) = std::move(static_cast<RFontData&>(obj));
  s_tex = obj.s_tex;
  obj.s_tex = -1;
  obj.Clear();
  return *this;
}

void CFont::Clear() {
  FreeTexture();
  static_cast<RFontData&>(*this) = RFontData();
}

void CFont::Assign(const CFont& obj) {
  if (&obj == this) return;
  FreeTexture();
  static_cast<RFontData&>(*this) = obj;
  if (IsSpriteFont()) {
    s_bw = s_bh = 0;
    s_bytes.clear();
  }
  InitTexture();
}

bool CFont::LoadFromStream(CStream& str) {
  Clear();
  if (str.ReadInteger() != 800) return false;
  s_name = str.ReadString();
  s_size = str.ReadInteger();
  s_bold = str.ReadBoolean();
  s_italic = str.ReadBoolean();
  const uint32_t start = uint32_t(str.ReadInteger());
  s_first = int(start & 0xFFFF);
  const int cs = int((start >> 16) & 0xFF);
  s_charset = cs != 0 ? cs : 1;
  const int aa = int((start >> 24) & 0xFF);
  s_AntiAlias = aa != 0 ? aa - 1 : 3;  // stored as level + 1
  s_last = str.ReadInteger();
  // Character codes are bytes; a range outside 0..255 would index past the
  // glyph table.
  s_first = std::clamp(s_first, 0, 255);
  s_last = std::clamp(s_last, 0, 255);
  s_FontHeight = 0;
  for (int c = 0; c < 256; ++c) {
    s_x[c] = str.ReadInteger();
    s_y[c] = str.ReadInteger();
    s_w[c] = str.ReadInteger();
    s_h[c] = str.ReadInteger();
    s_shift[c] = str.ReadInteger();
    s_offset[c] = str.ReadInteger();
    s_FontHeight = std::max(s_FontHeight, s_h[c]);
  }
  s_bw = str.ReadInteger();
  s_bh = str.ReadInteger();
  CStream atlas = str.ReadStream();
  if (s_bw < 0 || s_bh < 0 || uint64_t(s_bw) * uint64_t(s_bh) != atlas.Size()) return false;
  s_bytes.assign(atlas.Data(), atlas.Data() + atlas.Size());
  return true;
}

void CFont::SaveToStream(CStream& str) const {
  str.WriteInteger(800);
  str.WriteString(s_name);
  str.WriteInteger(s_size);
  str.WriteBoolean(s_bold);
  str.WriteBoolean(s_italic);
  const uint32_t start = uint32_t(s_first & 0xFFFF) | (uint32_t(s_charset & 0xFF) << 16) |
                         (uint32_t((s_AntiAlias + 1) & 0xFF) << 24);
  str.WriteInteger(int32_t(start));
  str.WriteInteger(s_last);
  for (int c = 0; c < 256; ++c) {
    str.WriteInteger(s_x[c]);
    str.WriteInteger(s_y[c]);
    str.WriteInteger(s_w[c]);
    str.WriteInteger(s_h[c]);
    str.WriteInteger(s_shift[c]);
    str.WriteInteger(s_offset[c]);
  }
  str.WriteInteger(s_bw);
  str.WriteInteger(s_bh);
  str.WriteInteger(int(s_bytes.size()));
  str.WriteBuffer(s_bytes.data(), s_bytes.size());
}

void CFont::CreateFromSprite(int ind, int first, bool prop, int sep) {
  Clear();
  const CSprite* spr = GetSprite(ind);
  if (spr == nullptr) return;
  s_spr = ind;
  s_first = std::clamp(first, 0, 255);
  s_last = std::min(s_first + spr->i_numb - 1, 255);
  const int w = spr->GetWidth(), h = spr->GetHeight();
  for (int c = s_first; c <= s_last; ++c) {
    TRect box = prop ? spr->GetBoundingBoxImg(c - s_first) : TRect{0, 0, w, h};
    s_x[c] = box.left;
    s_y[c] = 0;
    s_w[c] = box.right - box.left + 1;
    s_h[c] = h;
    s_shift[c] = box.right + sep - box.left;
    s_offset[c] = -box.left;
  }
  s_FontHeight = h;
  s_charset = 1;
  s_AntiAlias = 0;
  s_name.clear();
}

int CFont::CharShift(int c) const {
  if (c >= s_first && c <= s_last) return s_shift[size_t(c)];
  if (32 >= s_first && 32 <= s_last) return s_shift[32];
  return s_shift[size_t(std::clamp(s_first, 0, 255))];
}

int CharsetCodePage(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 1252;  // the ANSI code page of this platform's runner
  }
}

namespace {
// One converter per code page, opened on first use and kept until exit.
struct CConverters {
  std::map<int, iconv_t> open;
  ~CConverters() {
    for (auto& [cp, cd] : open)
      if (cd != iconv_t(-1)) iconv_close(cd);
  }
};

iconv_t Converter(int codepage) {
  static CConverters cache;
  auto it = cache.open.find(codepage);
  if (it != cache.open.end()) return it->second;
  const std::string name = codepage == 1361 ? "JOHAB" : "CP" + std::to_string(codepage);
  iconv_t cd = iconv_open(name.c_str(), "UTF-8");
  cache.open[codepage] = cd;
  return cd;
}

// Length of the UTF-8 sequence starting with byte b (1 for a stray byte).
size_t Utf8Length(unsigned char b) {
  if (b >= 0xF0 && b < 0xF8) return 4;
  if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
  if (b >= 0xC0) return 2;
  return 1;
}
}  // namespace

std::string CFont::ConvertText(const std::string& utf8) const {
  std::string out;
  out.reserve(utf8.size());
  iconv_t cd = Converter(CharsetCodePage(s_charset));
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += char(b);
      ++i;
      continue;
    }
    const size_t n = std::min(Utf8Length(b), utf8.size() - i);
    char in[4], buf[8];
    std::copy(utf8.begin() + std::ptrdiff_t(i), utf8.begin() + std::ptrdiff_t(i + n), in);
    char* ip = in;
    char* op = buf;
    size_t il = n, ol = sizeof buf;
    if (cd != iconv_t(-1) && iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0) {
      out.append(buf, size_t(op - buf));
    } else {
      out += '?';
    }
    if (cd != iconv_t(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    i += n;
  }
  return out;
}

int CFont::TextWidthCodes(const std::string& codes) const {
  // Advances come from the game file: a sum past the integer range saturates.
  int64_t w = 0;
  for (unsigned char c : codes) w += CharShift(c);
  return int(std::clamp<int64_t>(w, INT32_MIN, INT32_MAX));
}
