#pragma once
// Pixel colours: the 32-bit pixel of pictures and vertices, and its parts.
#include <cstdint>

// A pixel: bytes blue, green, red, alpha in memory; as an integer alpha is in
// bits 24-31, red 16-23, green 8-15, blue 0-7.
using TColor32 = uint32_t;

inline constexpr uint8_t C32_Alpha(TColor32 c) { return uint8_t(c >> 24); }
inline constexpr uint8_t C32_Red(TColor32 c) { return uint8_t(c >> 16); }
inline constexpr uint8_t C32_Green(TColor32 c) { return uint8_t(c >> 8); }
inline constexpr uint8_t C32_Blue(TColor32 c) { return uint8_t(c); }
inline constexpr TColor32 C32_Make(int r, int g, int b, int a) {
  return (TColor32(uint8_t(a)) << 24) | (TColor32(uint8_t(r)) << 16) |
         (TColor32(uint8_t(g)) << 8) | TColor32(uint8_t(b));
}
// From a colour integer (red in bits 0-7, green 8-15, blue 16-23) and alpha.
inline constexpr TColor32 C32_FromColor(int col, int a = 255) {
  return C32_Make(col & 0xFF, (col >> 8) & 0xFF, (col >> 16) & 0xFF, a);
}
