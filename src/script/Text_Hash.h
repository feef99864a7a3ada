#pragma once
// The hash of a text shared by the tables keyed by text: the map's index of
// text keys and the name indexes of the built-in tables.
#include <cstddef>
#include <cstdint>
#include <string_view>

// *ascii (when given) tells whether every byte is below 0x80: the bytes
// pass through here anyway, and such a text needs no UTF-8 check.
inline uint32_t HashText(std::string_view s, bool* ascii = nullptr) {
  // Eight bytes at a time, each word folded in by a multiply. A tail of 4
  // to 7 bytes is read as two overlapping 4-byte words, a shorter one byte
  // by byte (the length, in the seed, tells the cases apart): fixed-size
  // loads, no copy of a variable length.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  uint64_t high = 0;
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    __builtin_memcpy(&w, p, 8);
    high |= w;
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (n > 0) {
    uint64_t w;
    if (n >= 4) {
      uint32_t a, b;
      __builtin_memcpy(&a, p, 4);
      __builtin_memcpy(&b, p + n - 4, 4);
      w = a | (uint64_t{b} << 32);
    } else {
      w = p[0] | (uint64_t{p[n / 2]} << 8) | (uint64_t{p[n - 1]} << 16);
    }
    high |= w;
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
  }
  if (ascii) *ascii = (high & 0x8080808080808080ull) == 0;
  h ^= h >> 29;
  h *= 0x94D049BB133111EBull;
  return static_cast<uint32_t>(h >> 32);
}
