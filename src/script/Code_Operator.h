#pragma once
// The operators of the language, shared by constant folding and the
// interpreter, and the rounding rules for reals used as integers.
#include <cmath>
#include <cstdint>

#include "script/RValue.h"

class CCode;

// Nearest integer, ties to even, without a library call: below 2^52 adding
// 2^52 leaves no fraction bits, so the hardware's rounding (to nearest, ties
// to even, never changed here) does the work; from 2^52 on every double is
// an integer already.
inline double RoundHalfEven(double v) {
  constexpr double kTwo52 = 4503599627370496.0;
  double a = std::fabs(v);
  if (!(a < kTwo52)) return v;
  // (a + 2^52) - 2^52 is not folded: IEEE arithmetic is not associative.
  return std::copysign((a + kTwo52) - kTwo52, v);
}
// Nearest integer, ties to even; NaN gives 0 and values beyond the range
// saturate, so hostile reals never reach an undefined conversion.
inline int64_t RoundToInt64(double v) {
  if (!(v == v)) return 0;
  if (v >= 9223372036854775807.0) return INT64_MAX;
  if (v <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(RoundHalfEven(v));
}
inline int RoundToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int>(RoundHalfEven(v));
}

constexpr double kCompareEpsilon = 1e-13;

// Real arithmetic that would give an infinity or a NaN stops with one of
// these instead.
inline constexpr const char* kOverflow = "Floating point overflow.";
inline constexpr const char* kInvalidOperation = "Invalid floating point operation.";
// The error for a computed real, nullptr when it is a finite number.
const char* ArithmeticError(double d);

// Apply an operator in place; on failure the error is recorded for `code`
// at `position` and false is returned.
bool UnaryOperation(const CCode& code, int position, int op, RValue& value);
bool BinaryOperation(const CCode& code, int position, int op, const RValue& right, RValue& left);
// Text of a failed operation (nullptr when the operation would succeed);
// lets the interpreter decide without building the error twice.
const char* BinaryOperationError(int op, const RValue& right, const RValue& left);
