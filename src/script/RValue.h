#pragma once
// The one value type of the game's language: a real or a string.
#include <string>
#include <utility>

struct RValue {
  static constexpr int kReal = 0;
  static constexpr int kString = 1;

  int kind = kReal;   // 0 real, 1 string
  double val = 0.0;   // meaningful when kind == kReal
  std::string str;    // UTF-8, meaningful when kind == kString

  RValue() = default;
  RValue(double v) : kind(kReal), val(v) {}
  RValue(std::string s) : kind(kString), str(std::move(s)) {}
  RValue(const char* s) : kind(kString), str(s) {}

  bool IsReal() const { return kind == kReal; }
  bool IsString() const { return kind == kString; }
  void SetReal(double v) { kind = kReal; val = v; }
  void SetString(std::string s) { kind = kString; str = std::move(s); }
};
