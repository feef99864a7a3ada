#include "library/Function_Math.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "script/Function_Library.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

// ---------------------------------------------------------------------------
// Random generator
// ---------------------------------------------------------------------------

uint32_t RandomSeed = 0;

namespace {
inline uint32_t AdvanceSeed() {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return RandomSeed;
}
}  // namespace

double RandomReal() { return static_cast<double>(AdvanceSeed()) * (1.0 / 4294967296.0); }

int RandomInt(int range) {
  uint64_t product = static_cast<uint64_t>(AdvanceSeed()) * static_cast<uint32_t>(range);
  return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
}

void Randomize() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ns = static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
  RandomSeed = static_cast<uint32_t>(ns);
}

void RandomSetSeed(uint32_t seed) { RandomSeed = seed; }
uint32_t RandomGetSeed() { return RandomSeed; }

static int DefaultChrCodePage() { return 1252; }
int (*ChrCodePageProvider)() = DefaultChrCodePage;

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

namespace mathlib {

namespace {
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo32 = 4294967296.0;
constexpr double kTwo52 = 4503599627370496.0;
}  // namespace

double RoundEven(double x) {
  if (std::isnan(x)) return 0.0;
  if (!(std::fabs(x) < kTwo52)) return x;  // already integral (or infinite)
  double r = std::floor(x);
  double diff = x - r;
  if (diff > 0.5) return r + 1.0;
  if (diff < 0.5) return r;
  return std::fmod(r, 2.0) == 0.0 ? r : r + 1.0;
}

int64_t RoundToInt64Slow(double x) {
  if (std::isnan(x)) return 0;
  double r = RoundEven(x);
  if (r >= kTwo63) return INT64_MAX;
  if (r < -kTwo63) return INT64_MIN;
  return static_cast<int64_t>(r);
}

int RoundToInt(double x) {
  int64_t r = RoundToInt64(x);
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<int>(r);
}

namespace {
// The low 32 bits of x truncated toward zero, as a signed integer.
int32_t TruncLow32(double t) {
  if (std::isnan(t)) return 0;
  uint32_t low;
  if (std::fabs(t) < kTwo63) {
    low = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(t)));
  } else if (std::isinf(t)) {
    low = 0;
  } else {
    double m = std::fmod(t, kTwo32);  // exact
    if (m < 0) m += kTwo32;
    low = static_cast<uint32_t>(m);
  }
  return static_cast<int32_t>(low);
}
}  // namespace

int32_t FloorInt(double x) {
  double t = std::trunc(x);
  uint32_t r = static_cast<uint32_t>(TruncLow32(t));
  if (x - t < 0) r -= 1u;
  return static_cast<int32_t>(r);
}

int32_t CeilInt(double x) {
  double t = std::trunc(x);
  uint32_t r = static_cast<uint32_t>(TruncLow32(t));
  if (x - t > 0) r += 1u;
  return static_cast<int32_t>(r);
}

std::string FormatFixed(double x, int dec, int maxsig) {
  if (!std::isfinite(x)) return "ERROR";
  if (dec < 0) dec = 0;
  bool neg = x < 0;
  double a = std::fabs(x);

  // Decimal expansion of a; glibc prints the exact binary value, rounded only
  // at the last printed digit.
  auto expand = [&](int precision) {
    std::vector<char> buf(static_cast<size_t>(precision) + 400);
    int len = std::snprintf(buf.data(), buf.size(), "%.*f", precision, a);
    return std::string(buf.data(), static_cast<size_t>(len));
  };
  std::string text = expand(dec + 30);
  auto split = [](const std::string& t, std::string& digits, int& point) {
    size_t dot = t.find('.');
    digits = t.substr(0, dot) + (dot == std::string::npos ? "" : t.substr(dot + 1));
    point = static_cast<int>(dot == std::string::npos ? t.size() : dot);
  };
  std::string digits;
  int point;
  split(text, digits, point);

  int intdigits = 0;  // significant digits before the point
  {
    int k = 0;
    while (k < point && digits[static_cast<size_t>(k)] == '0') ++k;
    intdigits = point - k;
  }
  int r = dec;
  if (intdigits > 0) r = std::min(dec, maxsig - intdigits);
  int keep = point + r;  // digits kept from the front

  auto tail_ambiguous = [&](const std::string& d) {
    if (keep < 0 || static_cast<size_t>(keep) + 1 >= d.size()) return false;
    bool all0 = true, all9 = true;
    for (size_t k = static_cast<size_t>(keep) + 1; k < d.size(); ++k) {
      if (d[k] != '0') all0 = false;
      if (d[k] != '9') all9 = false;
    }
    return all0 || all9;
  };
  if (tail_ambiguous(digits)) {
    split(expand(1100), digits, point);  // exact: a double has at most 1074 fraction digits
  }

  std::string kept;
  if (keep < 0) {
    kept.assign(static_cast<size_t>(point), '0');  // everything rounds away to 0
  } else {
    kept = digits.substr(0, static_cast<size_t>(keep));
    bool up = static_cast<size_t>(keep) < digits.size() && digits[static_cast<size_t>(keep)] >= '5';
    if (up) {
      int k = static_cast<int>(kept.size()) - 1;
      while (k >= 0 && kept[static_cast<size_t>(k)] == '9') kept[static_cast<size_t>(k--)] = '0';
      if (k >= 0) {
        kept[static_cast<size_t>(k)]++;
      } else {
        kept.insert(kept.begin(), '1');
        ++point;
      }
    }
    // Digits rounded away inside the integer part become zeros.
    while (static_cast<int>(kept.size()) < point) kept.push_back('0');
  }
  std::string intpart = kept.substr(0, static_cast<size_t>(point));
  std::string fracpart = kept.substr(static_cast<size_t>(point));
  size_t nz = intpart.find_first_not_of('0');
  intpart = nz == std::string::npos ? "0" : intpart.substr(nz);
  while (static_cast<int>(fracpart.size()) < dec) fracpart.push_back('0');
  std::string out = neg ? "-" : "";
  out += intpart;
  if (dec > 0) out += "." + fracpart;
  return out;
}

namespace {
// Whole numbers are what code most often turns into text (keys, scores,
// counters): their digits without the rounding of the general way. The
// length, or 0 when x is not a whole number below 2^52.
size_t WholeText(double x, char (&buf)[24]) {
  if (!(x > -kTwo52 && x < kTwo52)) return 0;
  const auto i = static_cast<int64_t>(x);
  if (static_cast<double>(i) != x) return 0;
  return static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, i).ptr - buf);
}
}  // namespace

void RealToText(double x, std::string& out) {
  char buf[24];
  if (size_t n = WholeText(x, buf)) {
    out.assign(buf, n);
    return;
  }
  out = RealToString(x);
}

std::string RealToString(double x) {
  char buf[24];
  if (size_t n = WholeText(x, buf)) return std::string(buf, n);
  if (!std::isfinite(x) || std::fabs(x) >= kTwo63) return "ERROR";
  double r = RoundEven(x);
  if (r == x) {
    char digits[32];
    auto res = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(r));
    return std::string(digits, res.ptr);
  }
  return FormatFixed(x, 2, 10);
}

bool ParseReal(std::string_view text, double& out) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  out = 0;
  if (b == e) return true;
  std::string_view t = text.substr(b, e - b);
  size_t i = 0;
  bool neg = false;
  if (t[i] == '+' || t[i] == '-') neg = t[i++] == '-';
  std::string_view intd, fracd;
  size_t s = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  intd = t.substr(s, i - s);
  if (i < t.size() && t[i] == '.') {
    s = ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    fracd = t.substr(s, i - s);
  }
  if (intd.empty() && fracd.empty()) return false;
  long long exp10 = 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
    s = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      if (exp10 < 100000000) exp10 = exp10 * 10 + (t[i] - '0');
      ++i;
    }
    if (i == s) return false;
    if (eneg) exp10 = -exp10;
  }
  if (i != t.size()) return false;

  std::string norm(intd.empty() ? "0" : intd);
  norm += '.';
  norm += fracd.empty() ? "0" : fracd;
  norm += 'e';
  norm += std::to_string(exp10);
  double v = 0;
  auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too small to represent reads as 0; too large is not a number.
    size_t nz = intd.find_first_not_of('0');
    long long magnitude = exp10 + (nz == std::string_view::npos ? 0 : static_cast<long long>(intd.size() - nz));
    if (magnitude > 0) return false;
    v = 0;
  } else if (res.ec != std::errc() || res.ptr != norm.data() + norm.size()) {
    return false;
  }
  out = neg ? -v : v;
  return true;
}

}  // namespace mathlib

// ---------------------------------------------------------------------------
// Built-in functions
// ---------------------------------------------------------------------------

namespace {

using namespace mathlib;

constexpr size_t kMaxStringBytes = size_t{1} << 28;

#define ROUTINE(name) void name(CInstance*, CInstance*, [[maybe_unused]] int argc, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

void Fail(const char* message) { ReportActionError(message, false); }

// Results that leave the range of reals (overflow, undefined operations) give 0
// for the functions that have no error of their own.
void SetFinite(RValue& result, double v) { result.SetReal(std::isfinite(v) ? v : 0.0); }

ROUTINE(F_is_real) { result.SetReal(args[0].IsReal() ? 1 : 0); }
ROUTINE(F_is_string) { result.SetReal(args[0].IsString() ? 1 : 0); }

// ---- random ----
ROUTINE(F_random) { SetFinite(result, RandomReal() * args[0].val); }
ROUTINE(F_random_range) {
  double lo = args[0].val, hi = args[1].val;
  if (hi < lo) std::swap(lo, hi);
  SetFinite(result, lo + RandomReal() * (hi - lo));
}
ROUTINE(F_irandom) {
  uint32_t range = static_cast<uint32_t>(FloorInt(args[0].val)) + 1u;
  result.SetReal(RandomInt(static_cast<int>(range)));
}
ROUTINE(F_irandom_range) {
  int64_t a = FloorInt(args[0].val), b = FloorInt(args[1].val);
  int64_t lo = std::min(a, b), hi = std::max(a, b);
  uint32_t range = static_cast<uint32_t>(hi - lo + 1);
  result.SetReal(static_cast<double>(lo + RandomInt(static_cast<int>(range))));
}
ROUTINE(F_random_set_seed) {
  double r = RoundEven(args[0].val);
  uint32_t low;
  if (std::fabs(r) < 9223372036854775808.0) {
    low = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r)));
  } else if (std::isfinite(r)) {
    double m = std::fmod(r, 4294967296.0);
    if (m < 0) m += 4294967296.0;
    low = static_cast<uint32_t>(m);
  } else {
    low = 0;
  }
  RandomSetSeed(low);
}
ROUTINE(F_random_get_seed) { result.SetReal(static_cast<int32_t>(RandomGetSeed())); }
ROUTINE(F_randomize) { Randomize(); }
ROUTINE(F_choose) {
  if (argc <= 0) return;
  result = args[RandomInt(argc)];
}

// ---- rounding and sign ----
ROUTINE(F_abs) { result.SetReal(std::fabs(args[0].val)); }
ROUTINE(F_round) { result.SetReal(RoundEven(args[0].val)); }
ROUTINE(F_floor) { result.SetReal(FloorInt(args[0].val)); }
ROUTINE(F_ceil) { result.SetReal(CeilInt(args[0].val)); }
ROUTINE(F_sign) {
  double x = args[0].val;
  result.SetReal(x <= -1e-13 ? -1 : (x >= 1e-13 ? 1 : 0));
}
ROUTINE(F_frac) {
  double x = args[0].val;
  SetFinite(result, x - std::trunc(x));
}

// ---- powers and logarithms ----
ROUTINE(F_sqrt) {
  if (args[0].val < 0) return Fail("Cannot apply sqrt to negative number.");
  result.SetReal(std::sqrt(args[0].val));
}
ROUTINE(F_sqr) { SetFinite(result, args[0].val * args[0].val); }
ROUTINE(F_exp) {
  double v = std::exp(args[0].val);
  if (!std::isfinite(v)) return Fail("Error in function exp().");
  result.SetReal(v);
}
ROUTINE(F_ln) {
  if (!(args[0].val > 0) || !std::isfinite(args[0].val)) return Fail("Error in function ln().");
  result.SetReal(std::log(args[0].val));
}
ROUTINE(F_log2) {
  if (!(args[0].val > 0) || !std::isfinite(args[0].val)) return Fail("Error in function log2().");
  result.SetReal(std::log2(args[0].val));
}
ROUTINE(F_log10) {
  if (!(args[0].val > 0) || !std::isfinite(args[0].val)) return Fail("Error in function log10().");
  result.SetReal(std::log10(args[0].val));
}
ROUTINE(F_power) {
  double x = args[0].val, n = args[1].val;
  double v;
  if (n == std::trunc(n) && std::fabs(n) <= 2147483647.0) {
    uint32_t e = static_cast<uint32_t>(std::fabs(n));
    double r = 1.0, b = x;
    while (e != 0) {
      if (e & 1u) r *= b;
      e >>= 1;
      if (e != 0) b *= b;  // no squaring past the last bit, so no spurious overflow
    }
    if (n < 0) {
      if (r == 0) return Fail("Error in function power().");
      r = 1.0 / r;
    }
    v = r;
  } else if (x == 0) {
    v = 0;
  } else {
    if (x < 0) return Fail("Error in function power().");
    v = std::exp(n * std::log(x));
  }
  if (!std::isfinite(v)) return Fail("Error in function power().");
  result.SetReal(v);
}
ROUTINE(F_logn) {
  double n = args[0].val, x = args[1].val;
  if (!(n > 0) || !(x > 0) || n == 1 || !std::isfinite(n) || !std::isfinite(x)) return Fail("Error in function logn().");
  SetFinite(result, std::log2(x) / std::log2(n));
}

// ---- trigonometry ----
ROUTINE(F_sin) { SetFinite(result, std::sin(args[0].val)); }
ROUTINE(F_cos) { SetFinite(result, std::cos(args[0].val)); }
ROUTINE(F_tan) { SetFinite(result, std::tan(args[0].val)); }
ROUTINE(F_arcsin) {
  if (!(std::fabs(args[0].val) <= 1)) return Fail("Error in function arcsin().");
  result.SetReal(std::asin(args[0].val));
}
ROUTINE(F_arccos) {
  if (!(std::fabs(args[0].val) <= 1)) return Fail("Error in function arccos().");
  result.SetReal(std::acos(args[0].val));
}
ROUTINE(F_arctan) {
  double v = std::atan(args[0].val);
  if (std::isnan(v)) return Fail("Error in function arctan().");
  result.SetReal(v);
}
ROUTINE(F_arctan2) {
  double v = std::atan2(args[0].val, args[1].val);
  if (std::isnan(v)) return Fail("Error in function arctan2().");
  result.SetReal(v);
}
ROUTINE(F_degtorad) { SetFinite(result, args[0].val * 0.017453292519943295769); }
ROUTINE(F_radtodeg) { SetFinite(result, args[0].val * 57.295779513082320877); }

// ---- several values ----
template <bool kMin>
void MinMax(int argc, RValue& result, RValue* args) {
  if (argc <= 0) return;
  result = args[0];
  for (int i = 1; i < argc; ++i) {
    const RValue& a = args[i];
    if (result.IsReal() && (kMin ? a.val < result.val : a.val > result.val)) result = a;
    if (result.IsString()) {
      int c = CompareUtf16(a.str, result.str);
      if (kMin ? c < 0 : c > 0) result = a;
    }
  }
}
ROUTINE(F_min) { MinMax<true>(argc, result, args); }
ROUTINE(F_max) { MinMax<false>(argc, result, args); }
ROUTINE(F_min3) { MinMax<true>(3, result, args); }
ROUTINE(F_max3) { MinMax<false>(3, result, args); }
ROUTINE(F_mean) {
  if (argc <= 0) return;
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum += args[i].val;
  SetFinite(result, sum / argc);
}
ROUTINE(F_median) {
  if (argc <= 0) return;
  double half = argc / 2.0;
  for (int i = 0; i < argc; ++i) {
    int below = 0, upto = 0;
    for (int j = 0; j < argc; ++j) {
      if (args[j].val < args[i].val) ++below;
      if (args[j].val <= args[i].val) ++upto;
    }
    if (below < half && half <= upto) {
      result = args[i];
      return;
    }
  }
}
ROUTINE(F_clamp) {
  double v = args[0].val;
  if (!(v >= args[1].val)) v = args[1].val;
  if (v > args[2].val) v = args[2].val;
  result.SetReal(v);
}
ROUTINE(F_lerp) {
  double d = args[1].val - args[0].val;
  SetFinite(result, d * args[2].val + args[0].val);
}

// ---- conversion ----
ROUTINE(F_real) {
  if (args[0].IsReal()) {
    result.SetReal(args[0].val);
    return;
  }
  double v;
  if (!ParseReal(args[0].str, v)) return Fail("Error in function real().");
  result.SetReal(v);
}
ROUTINE(F_string) {
  if (args[0].IsString()) {
    result.SetString(args[0].str);
    return;
  }
  result.kind = RValue::kString;
  RealToText(args[0].val, result.str);
}
ROUTINE(F_string_format) {
  std::string text;
  if (args[0].IsString()) {
    result.SetString(args[0].str);
    return;
  }
  int dec = RoundToInt(args[2].val);
  dec = std::clamp(dec, 0, 18);
  text = FormatFixed(args[0].val, dec, 18);
  int64_t tot = RoundToInt64(args[1].val);
  if (tot > static_cast<int64_t>(kMaxStringBytes)) {
    result.SetString("");
    return Fail("Error in function string_format().");
  }
  if (tot > static_cast<int64_t>(text.size())) text.insert(0, static_cast<size_t>(tot) - text.size(), ' ');
  result.SetString(std::move(text));
}

// Characters of one byte in a code page, converted once per code page.
const std::array<std::string, 256>& CodePageTable(int codepage) {
  struct Entry {
    int cp;
    std::array<std::string, 256> chars;
  };
  static std::vector<std::unique_ptr<Entry>> cache;
  for (auto& e : cache)
    if (e->cp == codepage) return e->chars;
  auto entry = std::make_unique<Entry>();
  entry->cp = codepage;
  std::string name = "CP" + std::to_string(codepage);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  for (int b = 0; b < 256; ++b) {
    std::string& out = entry->chars[static_cast<size_t>(b)];
    bool done = false;
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char in = static_cast<char>(b);
      char buf[16];
      char* pin = &in;
      size_t inleft = 1;
      char* pout = buf;
      size_t outleft = sizeof buf;
      if (iconv(cd, &pin, &inleft, &pout, &outleft) != static_cast<size_t>(-1) && inleft == 0 && pout != buf) {
        out.assign(buf, static_cast<size_t>(pout - buf));
        done = true;
      }
    }
    // Bytes a code page leaves undefined map to the code point of the same value.
    if (!done) AppendUtf8(out, static_cast<char32_t>(b));
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  cache.push_back(std::move(entry));
  return cache.back()->chars;
}

ROUTINE(F_chr) {
  int b = static_cast<int>(static_cast<uint64_t>(RoundToInt64(args[0].val)) & 0xFF);
  result.SetString(CodePageTable(ChrCodePageProvider())[static_cast<size_t>(b)]);
}
ROUTINE(F_ansi_char) {
  char b = static_cast<char>(static_cast<uint64_t>(RoundToInt64(args[0].val)) & 0xFF);
  result.SetString(std::string(1, b));
}
ROUTINE(F_ord) {
  const std::string& s = args[0].str;
  result.SetReal(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

// ---- strings ----
ROUTINE(F_string_length) {
  const std::string& s = args[0].str;
  size_t n = 0, i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    if (c >= 194 && c <= 223) len = 2;
    else if (c >= 224 && c <= 239) len = 3;
    else if (c >= 240 && c <= 247) len = 4;
    else if (c >= 248 && c <= 251) len = 5;
    else if (c == 252 || c == 253) len = 6;
    i += len;
    ++n;
  }
  result.SetReal(static_cast<double>(n));
}
ROUTINE(F_string_byte_length) { result.SetReal(static_cast<double>(args[0].str.size())); }
ROUTINE(F_string_byte_at) {
  const std::string& s = args[0].str;
  int64_t n = RoundToInt64(args[1].val);
  if (n >= 1 && n <= static_cast<int64_t>(s.size())) result.SetReal(static_cast<unsigned char>(s[static_cast<size_t>(n - 1)]));
}
ROUTINE(F_string_pos) {
  const std::string& sub = args[0].str;
  const std::string& s = args[1].str;
  if (sub.empty()) return;
  if (IsAscii(s) && IsAscii(sub)) {
    size_t p = s.find(sub);
    if (p != std::string::npos) result.SetReal(static_cast<double>(p + 1));
    return;
  }
  std::u16string us = Utf8ToUtf16(s), usub = Utf8ToUtf16(sub);
  size_t p = us.find(usub);
  if (p != std::u16string::npos) result.SetReal(static_cast<double>(p + 1));
}
ROUTINE(F_string_copy) {
  const std::string& s = args[0].str;
  int64_t index = RoundToInt64(args[1].val), count = RoundToInt64(args[2].val);
  if (index < 1) index = 1;
  result.SetString("");
  if (count < 0) return;
  if (IsAscii(s)) {
    if (index > static_cast<int64_t>(s.size())) return;
    result.str = s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
    return;
  }
  std::u16string u = Utf8ToUtf16(s);
  if (index > static_cast<int64_t>(u.size())) return;
  result.str = Utf16ToUtf8(std::u16string_view(u).substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}
ROUTINE(F_string_char_at) {
  result.SetString("");
  if (!args[0].IsString()) return;
  const std::string& s = args[0].str;
  int64_t index = RoundToInt64(args[1].val);
  if (index < 1) return;
  if (IsAscii(s)) {
    if (index <= static_cast<int64_t>(s.size())) result.str = s.substr(static_cast<size_t>(index - 1), 1);
    return;
  }
  std::u16string u = Utf8ToUtf16(s);
  if (index > static_cast<int64_t>(u.size())) return;
  result.str = Utf16ToUtf8(std::u16string_view(u).substr(static_cast<size_t>(index - 1), 1));
}
ROUTINE(F_string_delete) {
  const std::string& s = args[0].str;
  int64_t index = RoundToInt64(args[1].val), count = RoundToInt64(args[2].val);
  result.SetString(s);
  if (index < 1 || count <= 0) return;
  if (IsAscii(s)) {
    if (index > static_cast<int64_t>(s.size())) return;
    result.str.erase(static_cast<size_t>(index - 1), static_cast<size_t>(count));
    return;
  }
  std::u16string u = Utf8ToUtf16(s);
  if (index > static_cast<int64_t>(u.size())) return;
  u.erase(static_cast<size_t>(index - 1), static_cast<size_t>(count));
  result.str = Utf16ToUtf8(u);
}
ROUTINE(F_string_insert) {
  const std::string& sub = args[0].str;
  const std::string& s = args[1].str;
  int64_t index = RoundToInt64(args[2].val);
  if (index < 1) index = 1;
  if (index > static_cast<int64_t>(s.size()) + 1) index = static_cast<int64_t>(s.size()) + 1;
  std::string out;
  out.reserve(s.size() + sub.size());
  out.append(s, 0, static_cast<size_t>(index - 1));
  out += sub;
  out.append(s, static_cast<size_t>(index - 1), std::string::npos);
  result.SetString(std::move(out));
}

locale_t Utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (l == static_cast<locale_t>(nullptr)) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}

template <bool kUpper>
std::string ChangeCase(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  locale_t loc = Utf8Locale();
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (kUpper && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
      if (!kUpper && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    char32_t cp = DecodeUtf8(s, i);
    wint_t m = static_cast<wint_t>(cp);
    if (loc != static_cast<locale_t>(nullptr)) m = kUpper ? towupper_l(m, loc) : towlower_l(m, loc);
    AppendUtf8(out, static_cast<char32_t>(m));
  }
  return out;
}
ROUTINE(F_string_lower) { result.SetString(ChangeCase<false>(args[0].str)); }
ROUTINE(F_string_upper) { result.SetString(ChangeCase<true>(args[0].str)); }
ROUTINE(F_string_repeat) {
  const std::string& s = args[0].str;
  int64_t n = RoundToInt64(args[1].val);
  result.SetString("");
  if (n <= 0 || s.empty()) return;
  if (static_cast<uint64_t>(n) > kMaxStringBytes / s.size()) return Fail("Error in function string_repeat().");
  result.str.reserve(s.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) result.str += s;
}
template <bool kLetters, bool kDigits>
std::string KeepAscii(const std::string& s) {
  std::string out;
  for (char ch : s) {
    bool letter = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    bool digit = ch >= '0' && ch <= '9';
    if ((kLetters && letter) || (kDigits && digit)) out.push_back(ch);
  }
  return out;
}
ROUTINE(F_string_letters) { result.SetString(KeepAscii<true, false>(args[0].str)); }
ROUTINE(F_string_digits) { result.SetString(KeepAscii<false, true>(args[0].str)); }
ROUTINE(F_string_lettersdigits) { result.SetString(KeepAscii<true, true>(args[0].str)); }

// Replacement works on the bytes: a valid UTF-8 pattern can only match whole
// characters, so this gives the same text as working on UTF-16 units.
template <bool kAll>
void Replace(RValue& result, RValue* args) {
  const std::string& s = args[0].str;
  const std::string& sub = args[1].str;
  const std::string& repl = args[2].str;
  result.SetString(s);
  if (sub.empty()) return;
  size_t p = s.find(sub);
  if (p == std::string::npos) return;
  if (!kAll) {
    result.str.replace(p, sub.size(), repl);
    return;
  }
  size_t count = 0;
  for (size_t q = p; q != std::string::npos; q = s.find(sub, q + sub.size())) ++count;
  if (repl.size() > sub.size() && (repl.size() - sub.size()) > (kMaxStringBytes - s.size()) / count) {
    result.str.clear();
    return Fail("Error in function string_replace_all().");
  }
  std::string out;
  out.reserve(s.size() - count * sub.size() + count * repl.size());
  size_t from = 0;
  for (size_t q = p; q != std::string::npos; q = s.find(sub, from)) {
    out.append(s, from, q - from);
    out += repl;
    from = q + sub.size();
  }
  out.append(s, from, std::string::npos);
  result.str = std::move(out);
}
ROUTINE(F_string_replace) { Replace<false>(result, args); }
ROUTINE(F_string_replace_all) { Replace<true>(result, args); }
ROUTINE(F_string_count) {
  const std::string& sub = args[0].str;
  const std::string& s = args[1].str;
  if (sub.empty()) return;
  size_t count = 0;
  for (size_t q = s.find(sub); q != std::string::npos; q = s.find(sub, q + sub.size())) ++count;
  result.SetReal(static_cast<double>(count));
}

// ---- geometry ----
ROUTINE(F_dot_product) {
  double x1 = args[0].val, y1 = args[1].val, x2 = args[2].val, y2 = args[3].val;
  double l1 = std::sqrt(x1 * x1 + y1 * y1), l2 = std::sqrt(x2 * x2 + y2 * y2);
  SetFinite(result, (x1 * x2 + y1 * y2) / (l1 * l2));
}
ROUTINE(F_dot_product_3d) {
  double x1 = args[0].val, y1 = args[1].val, z1 = args[2].val;
  double x2 = args[3].val, y2 = args[4].val, z2 = args[5].val;
  double l1 = std::sqrt(x1 * x1 + y1 * y1 + z1 * z1), l2 = std::sqrt(x2 * x2 + y2 * y2 + z2 * z2);
  SetFinite(result, (x1 * x2 + y1 * y2 + z1 * z2) / (l1 * l2));
}
ROUTINE(F_point_distance) {
  double dx = args[2].val - args[0].val, dy = args[3].val - args[1].val;
  SetFinite(result, std::sqrt(dx * dx + dy * dy));
}
ROUTINE(F_point_distance_3d) {
  double dx = args[3].val - args[0].val, dy = args[4].val - args[1].val, dz = args[5].val - args[2].val;
  SetFinite(result, std::sqrt(dx * dx + dy * dy + dz * dz));
}
ROUTINE(F_point_direction) {
  double dx = args[2].val - args[0].val, dy = args[3].val - args[1].val;
  if (dx == 0) {
    result.SetReal(dy > 0 ? 270 : (dy < 0 ? 90 : 0));
    return;
  }
  double a = std::atan2(dy, dx) * 180.0 / M_PI;
  SetFinite(result, a > 0 ? 360 - a : -a);
}
double SnapNearInteger(double v) {
  double r = RoundEven(v);
  return std::fabs(v - r) < 0.0001 ? r : v;
}
ROUTINE(F_lengthdir_x) { SetFinite(result, SnapNearInteger(std::cos(args[1].val * M_PI / 180.0) * args[0].val)); }
ROUTINE(F_lengthdir_y) { SetFinite(result, SnapNearInteger(-std::sin(args[1].val * M_PI / 180.0) * args[0].val)); }

#undef ROUTINE

}  // namespace

namespace {
constexpr RBuiltin kFunctions[] = {
    {"is_real", F_is_real, 1},
    {"is_string", F_is_string, 1},
    {"random", F_random, 1},
    {"random_range", F_random_range, 2},
    {"irandom", F_irandom, 1},
    {"irandom_range", F_irandom_range, 2},
    {"random_set_seed", F_random_set_seed, 1},
    {"random_get_seed", F_random_get_seed, 0},
    {"randomize", F_randomize, 0},
    {"abs", F_abs, 1},
    {"round", F_round, 1},
    {"floor", F_floor, 1},
    {"ceil", F_ceil, 1},
    {"sign", F_sign, 1},
    {"frac", F_frac, 1},
    {"sqrt", F_sqrt, 1},
    {"sqr", F_sqr, 1},
    {"exp", F_exp, 1},
    {"ln", F_ln, 1},
    {"log2", F_log2, 1},
    {"log10", F_log10, 1},
    {"sin", F_sin, 1},
    {"cos", F_cos, 1},
    {"tan", F_tan, 1},
    {"arcsin", F_arcsin, 1},
    {"arccos", F_arccos, 1},
    {"arctan", F_arctan, 1},
    {"arctan2", F_arctan2, 2},
    {"degtorad", F_degtorad, 1},
    {"radtodeg", F_radtodeg, 1},
    {"power", F_power, 2},
    {"logn", F_logn, 2},
    {"min", F_min, -1},
    {"max", F_max, -1},
    {"min3", F_min3, 3},
    {"max3", F_max3, 3},
    {"mean", F_mean, -1},
    {"median", F_median, -1},
    {"choose", F_choose, -1},
    {"clamp", F_clamp, 3},
    {"lerp", F_lerp, 3},
    {"real", F_real, 1},
    {"string", F_string, 1},
    {"string_format", F_string_format, 3},
    {"chr", F_chr, 1},
    {"ansi_char", F_ansi_char, 1},
    {"ord", F_ord, 1},
    {"string_length", F_string_length, 1},
    {"string_byte_length", F_string_byte_length, 1},
    {"string_byte_at", F_string_byte_at, 2},
    {"string_pos", F_string_pos, 2},
    {"string_copy", F_string_copy, 3},
    {"string_char_at", F_string_char_at, 2},
    {"string_delete", F_string_delete, 3},
    {"string_insert", F_string_insert, 3},
    {"string_lower", F_string_lower, 1},
    {"string_upper", F_string_upper, 1},
    {"string_repeat", F_string_repeat, 2},
    {"string_letters", F_string_letters, 1},
    {"string_digits", F_string_digits, 1},
    {"string_lettersdigits", F_string_lettersdigits, 1},
    {"string_replace", F_string_replace, 3},
    {"string_replace_all", F_string_replace_all, 3},
    {"string_count", F_string_count, 2},
    {"dot_product", F_dot_product, 4},
    {"dot_product_3d", F_dot_product_3d, 6},
    {"point_distance_3d", F_point_distance_3d, 6},
    {"point_distance", F_point_distance, 4},
    {"point_direction", F_point_direction, 4},
    {"lengthdir_x", F_lengthdir_x, 2},
    {"lengthdir_y", F_lengthdir_y, 2},
};
}  // namespace

const RFunctionLibrary kLibrary_Math{"Math", kFunctions};
