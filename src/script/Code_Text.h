#pragma once
// Conversion between the language's UTF-8 strings and UTF-16 text, used where
// the language counts UTF-16 code units (source positions, string order).
#include <string>
#include <string_view>

// Malformed UTF-8 becomes U+FFFD per bad byte.
std::u16string Utf8ToUtf16(std::string_view s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);
// Ordinal comparison of two UTF-8 strings as UTF-16 text: the sign of the
// difference of the first differing code units, or of the lengths.
int CompareUtf16(std::string_view a, std::string_view b);
