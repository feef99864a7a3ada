// Name resolution: every identifier becomes a function, a constant or a
// variable; numbers and strings become constants.
#include "script/Code_Constant.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Operator.h"
#include "script/Code_Phases.h"
#include "script/Code_Variable.h"

namespace {
double NumberValue(const std::string& s) {
  double value = 0;
  if (!s.empty() && s[0] == '$') {
    for (size_t i = 1; i < s.size(); ++i) {
      char c = s[i];
      int d = c <= '9' ? c - '0' : (c >= 'a' ? c - 'a' + 10 : c - 'A' + 10);
      value = value * 16 + d;
    }
    return value;
  }
  bool fraction = false;
  double scale = 1;
  for (char c : s) {
    if (c == '.') {
      fraction = true;
      continue;
    }
    int d = c - '0';
    if (!fraction) {
      value = value * 10 + d;
    } else {
      scale /= 10;
      value = value + scale * d;
    }
  }
  return value;
}
}  // namespace

bool CodePhase2(const CCode& code, const std::vector<RToken1>& in, std::vector<RToken2>& out) {
  out.reserve(in.size());
  for (size_t k = 0; k < in.size(); ++k) {
    const RToken1& lex = in[k];
    RToken2 tok;
    tok.position = lex.position;
    tok.symbol = lex.symbol;
    if (lex.symbol == SYM_IDENT) {
      if (k + 1 < in.size() && in[k + 1].symbol == SYM_LPAREN) {
        int id = FunctionFind(lex.str);
        if (id < 0) {
          RecordCodeError(code, lex.position, "Unknown function or script: " + lex.str);
          return false;
        }
        tok.symbol = SYM_FUNC;
        tok.ind = id;
      } else if (ConstantFind(lex.str, tok.val)) {
        tok.symbol = SYM_CONST;
      } else {
        tok.symbol = SYM_VAR;
        tok.ind = VariableFind(lex.str);
      }
    } else if (lex.symbol == SYM_NUMBER) {
      tok.symbol = SYM_CONST;
      tok.val.SetReal(NumberValue(lex.str));
      // A literal too long for a real is refused like any overflow.
      if (const char* err = ArithmeticError(tok.val.val)) {
        RecordCodeError(code, lex.position, err);
        return false;
      }
    } else if (lex.symbol == SYM_STRING) {
      tok.symbol = SYM_CONST;
      tok.val.SetString(lex.str);
    }
    out.push_back(std::move(tok));
  }
  return true;
}
