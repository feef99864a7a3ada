// The lexer: source text to lexemes. Works on UTF-16 text so that positions
// count the same units as the rest of the system.
#include <cstring>

#include "script/Code_Error.h"
#include "script/Code_Phases.h"
#include "script/Code_Text.h"

namespace {
struct Keyword {
  const char* word;
  int symbol;
};
constexpr Keyword kKeywords[] = {
    {"begin", SYM_BEGIN},   {"end", SYM_END_BLOCK}, {"if", SYM_IF},          {"then", SYM_THEN},
    {"else", SYM_ELSE},     {"while", SYM_WHILE},   {"do", SYM_DO},          {"for", SYM_FOR},
    {"until", SYM_UNTIL},   {"repeat", SYM_REPEAT}, {"exit", SYM_EXIT},      {"break", SYM_BREAK},
    {"continue", SYM_CONTINUE}, {"with", SYM_WITH}, {"return", SYM_RETURN},  {"switch", SYM_SWITCH},
    {"case", SYM_CASE},     {"default", SYM_DEFAULT}, {"var", SYM_VARDECL},  {"globalvar", SYM_GLOBALVAR},
    {"and", SYM_AND},       {"or", SYM_OR},         {"not", SYM_NOT},        {"xor", SYM_XOR},
    {"div", SYM_DIV},       {"mod", SYM_MOD},
};

struct TwoChar {
  char a, b;
  int symbol;
};
constexpr TwoChar kTwoChar[] = {
    {':', '=', SYM_ASSIGN},    {'+', '=', SYM_ADDASSIGN}, {'-', '=', SYM_SUBASSIGN}, {'*', '=', SYM_MULASSIGN},
    {'/', '=', SYM_DIVASSIGN}, {'&', '&', SYM_AND},       {'|', '|', SYM_OR},        {'<', '=', SYM_LE},
    {'=', '=', SYM_EQ},        {'!', '=', SYM_NE},        {'<', '>', SYM_NE},        {'>', '=', SYM_GE},
    {'|', '=', SYM_ORASSIGN},  {'&', '=', SYM_ANDASSIGN}, {'^', '=', SYM_XORASSIGN}, {'<', '<', SYM_SHL},
    {'>', '>', SYM_SHR},       {'^', '^', SYM_XOR},
};

int OneChar(char16_t c) {
  switch (c) {
    case '!': return SYM_NOT;
    case '&': return SYM_BITAND;
    case '(': return SYM_LPAREN;
    case ')': return SYM_RPAREN;
    case '*': return SYM_TIMES;
    case '+': return SYM_PLUS;
    case ',': return SYM_COMMA;
    case '-': return SYM_MINUS;
    case '.': return SYM_DOT;
    case '/': return SYM_DIVIDE;
    case ':': return SYM_COLON;
    case ';': return SYM_SEMI;
    case '<': return SYM_LT;
    case '=': return SYM_ASSIGN;
    case '>': return SYM_GT;
    case '[': return SYM_LBRACKET;
    case ']': return SYM_RBRACKET;
    case '^': return SYM_BITXOR;
    case '{': return SYM_BEGIN;
    case '|': return SYM_BITOR;
    case '}': return SYM_END_BLOCK;
    case '~': return SYM_BITNOT;
    default: return SYM_BAD;
  }
}

bool IsLetter(char16_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsHex(char16_t c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

std::string Ascii(const std::u16string& t, size_t from, size_t to) {
  std::string s;
  s.reserve(to - from);
  for (size_t i = from; i < to; ++i) s += static_cast<char>(t[i]);
  return s;
}
}  // namespace

bool CodePhase1(const CCode& code, std::vector<RToken1>& out) {
  std::u16string t = Utf8ToUtf16(code.i_str);
  t += u"   ";
  const size_t n = t.size();
  size_t i = 0;  // 0-based; positions are i + 1
  for (;;) {
    while (i < n && t[i] <= 32) ++i;
    if (i >= n) {
      out.push_back(RToken1{SYM_END, "", static_cast<int>(n + 1)});
      return true;
    }
    char16_t c = t[i];
    char16_t c2 = i + 1 < n ? t[i + 1] : 0;
    int pos = static_cast<int>(i + 1);
    if (c == '/' && c2 == '/') {
      while (i < n && t[i] != '\r' && t[i] != '\n') ++i;
      if (i < n) ++i;
      continue;
    }
    if (c == '/' && c2 == '*') {
      size_t k = i + 1;
      while (k + 1 < n && !(t[k] == '*' && t[k + 1] == '/')) ++k;
      i = k + 1 < n ? k + 2 : n;
      continue;
    }
    if (IsLetter(c)) {
      size_t k = i;
      while (k < n && (IsLetter(t[k]) || IsDigit(t[k]))) ++k;
      std::string word = Ascii(t, i, k);
      int symbol = SYM_IDENT;
      for (const Keyword& kw : kKeywords)
        if (word == kw.word) {
          symbol = kw.symbol;
          break;
        }
      out.push_back(RToken1{symbol, std::move(word), pos});
      i = k;
      continue;
    }
    if (IsDigit(c) || c == '$' || (c == '.' && IsDigit(c2))) {
      size_t k = i + 1;
      if (c == '$') {
        while (k < n && IsHex(t[k])) ++k;
      } else {
        while (k < n && (IsDigit(t[k]) || t[k] == '.')) ++k;
      }
      out.push_back(RToken1{SYM_NUMBER, Ascii(t, i, k), pos});
      i = k;
      continue;
    }
    if (c == '"' || c == '\'') {
      size_t k = i + 1;
      while (k < n && t[k] != c) ++k;
      out.push_back(RToken1{SYM_STRING, Utf16ToUtf8(std::u16string_view(t).substr(i + 1, k - i - 1)), pos});
      i = k < n ? k + 1 : n;
      continue;
    }
    bool matched = false;
    for (const TwoChar& op : kTwoChar)
      if (c == static_cast<char16_t>(op.a) && c2 == static_cast<char16_t>(op.b)) {
        out.push_back(RToken1{op.symbol, std::string{op.a, op.b}, pos});
        i += 2;
        matched = true;
        break;
      }
    if (matched) continue;
    int symbol = OneChar(c);
    if (symbol == SYM_BAD) {
      RecordCodeError(code, pos, "Unexpected symbol.");
      return false;
    }
    out.push_back(RToken1{symbol, std::string(1, static_cast<char>(c)), pos});
    ++i;
  }
}
