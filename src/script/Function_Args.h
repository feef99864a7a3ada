#pragma once
// How built-in routines read their arguments and give their results: the one
// place that says what a text, NaN or an out-of-range real means as a number.
#include <cmath>
#include <cstdint>
#include <string>

#include "script/RValue.h"

// A real argument; a text counts as 0.
inline double ArgReal(const RValue& v) { return v.kind == RValue::kReal ? v.val : 0; }

// An argument or written value used as an integer: the nearest integer, ties
// to even; texts, NaN and infinities give 0, values beyond the range saturate.
inline int ArgInt(const RValue& v) {
  if (v.kind != RValue::kReal || !std::isfinite(v.val)) return 0;
  const double r = std::nearbyint(v.val);
  if (r > 2147483647.0) return INT32_MAX;
  if (r < -2147483648.0) return INT32_MIN;
  return static_cast<int>(r);
}

// A truth value: true when the real is 0.5 or more.
inline bool ArgBool(const RValue& v) { return ArgReal(v) >= 0.5; }

// A text argument; a real gives the empty text.
inline const std::string& ArgString(const RValue& v) {
  static const std::string empty;
  return v.kind == RValue::kString ? v.str : empty;
}

// A colour integer (0x00BBGGRR), as the nearest integer.
inline int ArgColor(const RValue& v) { return ArgInt(v); }
