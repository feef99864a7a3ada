#pragma once
// Math, random and string built-in functions, the one random generator of the
// process, and the text helpers the other libraries share (UTF-16 positions,
// ordinal comparison, number formatting).
#include <cstdint>
#include <string>
#include <string_view>

#include "script/Code_Text.h"

// ---- The process-wide random generator ----
// Every draw advances the seed: seed = seed * 134775813 + 1 (mod 2^32). A game
// that sets the seed therefore replays the same chances everywhere.
extern uint32_t RandomSeed;
// A real in [0, 1): the new seed * 2^-32.
double RandomReal();
// An integer from 0 to range - 1 for range 1 .. 2^31 - 1 (range is taken as an
// unsigned 32-bit number; 0 gives 0).
int RandomInt(int range);
// Reseeds from the high-resolution clock.
void Randomize();
void RandomSetSeed(uint32_t seed);
uint32_t RandomGetSeed();

// Registers the 71 math and string functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Math;

namespace mathlib {

// Rounds to the nearest integer, ties to even. Values beyond 2^63 (already
// integral) come back unchanged; NaN gives 0.
double RoundEven(double x);
// Round-to-even as a 64-bit integer, saturating beyond the 64-bit range.
int64_t RoundToInt64Slow(double x);
inline int64_t RoundToInt64(double x) {
  // Handles and positions are nearly always integral already.
  if (x >= -2147483648.0 && x <= 2147483647.0) {
    int64_t i = static_cast<int64_t>(x);
    if (static_cast<double>(i) == x) return i;
  }
  return RoundToInt64Slow(x);
}
// Round-to-even as a 32-bit integer, saturating beyond the 32-bit range; used for
// handles, positions and counts.
int RoundToInt(double x);

// The language's floor and ceil: truncation toward zero, the low 32 bits taken as
// a signed integer, then adjusted by one for a fractional part.
int32_t FloorInt(double x);
int32_t CeilInt(double x);

// UTF-8 <-> UTF-16 and UTF-16 order, shared with the language.
using ::CompareUtf16;
using ::Utf16Length;
using ::Utf16ToUtf8;
using ::Utf8ToUtf16;

// The text of a real as string() gives it: an integer when the real is integral,
// otherwise fixed notation with two decimals; "ERROR" beyond the 64-bit range.
std::string RealToString(double x);
// The same text, into out (whose buffer is kept).
void RealToText(double x, std::string& out);
// Fixed notation with dec decimals, rounded half away from zero on the exact
// binary value to at most dec decimals and at most maxsig significant digits.
std::string FormatFixed(double x, int dec, int maxsig);

// Reads a decimal number the way real() does; false when the text is not one.
// An empty or blank text reads as 0.
bool ParseReal(std::string_view text, double& out);

}  // namespace mathlib

// The code page chr() converts through; the font module may install its own
// provider (the code page of the current drawing font). Defaults to 1252.
extern int (*ChrCodePageProvider)();
