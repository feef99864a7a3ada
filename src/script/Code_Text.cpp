#include "script/Code_Text.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}  // namespace

// Decodes one code point at s[i], advancing i. Malformed input yields U+FFFD
// and consumes one byte, so every byte is accounted for.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  unsigned char c = p[i];
  if (c < 0x80) {
    ++i;
    return c;
  }
  int len;
  char32_t cp;
  char32_t min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2; cp = c & 0x1F; min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3; cp = c & 0x0F; min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4; cp = c & 0x07; min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + len > n) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < len; ++k) {
    unsigned char cc = p[i + k];
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp = DecodeUtf8(s, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

size_t Utf16Length(std::string_view s) {
  size_t n = 0, i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      ++n;
      continue;
    }
    n += DecodeUtf8(s, i) >= 0x10000 ? 2 : 1;
  }
  return n;
}

int CompareUtf16(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = static_cast<size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin()).first - a.begin());
  bool prefix_ascii = i == 0 || static_cast<unsigned char>(a[i - 1]) < 0x80;
  if (i == n) {
    if (a.size() == b.size()) return 0;
    if (prefix_ascii) return a.size() < b.size() ? -1 : 1;
  } else {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    // Texts that part at ASCII bytes order as those bytes in UTF-16 too.
    if (ca < 0x80 && cb < 0x80) return ca < cb ? -1 : 1;
  }
  // Characters outside the basic plane sort before U+E000..U+FFFF in UTF-16,
  // unlike in UTF-8; compare the converted texts.
  std::u16string ua = Utf8ToUtf16(a), ub = Utf8ToUtf16(b);
  int c = ua.compare(ub);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
