#pragma once
// Conversion between the language's UTF-8 strings and UTF-16 text, used where
// the language counts UTF-16 code units (source positions, string order).
#include <string>
#include <string_view>

// Decodes one code point at s[i], advancing i. Malformed input yields U+FFFD
// and consumes one byte, so every byte is accounted for.
char32_t DecodeUtf8(std::string_view s, size_t& i);
void AppendUtf8(std::string& out, char32_t cp);
// True when every byte is ASCII (then UTF-8 and UTF-16 positions agree).
bool IsAscii(std::string_view s);
// Number of UTF-16 code units of a UTF-8 text.
size_t Utf16Length(std::string_view s);
// Malformed UTF-8 becomes U+FFFD per bad byte.
std::u16string Utf8ToUtf16(std::string_view s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);
// Ordinal comparison of two UTF-8 strings as UTF-16 text: the sign of the
// difference of the first differing code units, or of the lengths.
int CompareUtf16(std::string_view a, std::string_view b);
