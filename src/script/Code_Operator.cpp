#include "script/Code_Operator.h"

#include <cmath>

#include "script/Code_Error.h"
#include "script/Code_Main.h"
#include "script/Code_Text.h"

namespace {
const char* KindError(int op) {
  switch (op) {
    case SYM_AND: return "Wrong type of arguments for &&.";
    case SYM_OR: return "Wrong type of arguments for ||.";
    case SYM_XOR: return "Wrong type of arguments for ^^.";
    case SYM_PLUS: return "Wrong type of arguments to +.";
    case SYM_MINUS: return "Wrong type of arguments to -.";
    case SYM_TIMES: return "Wrong type of arguments to *.";
    case SYM_DIVIDE: return "Wrong type of arguments to /.";
    case SYM_DIV: return "Wrong type of arguments to div.";
    case SYM_MOD: return "Wrong type of arguments to mod.";
    case SYM_BITOR: return "Wrong type of arguments for |.";
    case SYM_BITAND: return "Wrong type of arguments for &.";
    case SYM_BITXOR: return "Wrong type of arguments for ^.";
    case SYM_SHL: return "Wrong type of arguments for <<.";
    case SYM_SHR: return "Wrong type of arguments for >>.";
    default: return "Cannot compare arguments.";
  }
}

constexpr const char* kTooLong = "Resulting string is too long.";

bool IsComparison(int op) { return op == SYM_ASSIGN || (op >= SYM_LT && op <= SYM_GT); }

bool Compare(int op, double d) {
  const double e = kCompareEpsilon;
  switch (op) {
    case SYM_ASSIGN:
    case SYM_EQ: return d > -e && d < e;
    case SYM_NE: return d < -e || d > e;
    case SYM_LT: return d < -e;
    case SYM_LE: return d <= e;
    case SYM_GE: return d >= -e;
    default: return d > e;  // SYM_GT
  }
}

// Quotient of div and mod: truncated toward zero. Quotients beyond the 32-bit
// range stay exact reals instead of wrapping around.
double Quotient(double l, double r) { return std::trunc(l / r); }

bool IsArithmetic(int op) {
  return op == SYM_PLUS || op == SYM_MINUS || op == SYM_TIMES || op == SYM_DIVIDE || op == SYM_DIV || op == SYM_MOD;
}

int ShiftCount(double r) { return static_cast<int>(static_cast<uint64_t>(RoundToInt64(r)) & 0xFF); }
}  // namespace

const char* BinaryOperationError(int op, const RValue& right, const RValue& left) {
  bool reals = left.kind == RValue::kReal && right.kind == RValue::kReal;
  bool strings = left.kind == RValue::kString && right.kind == RValue::kString;
  switch (op) {
    case SYM_PLUS:
      if (strings) return left.str.size() + right.str.size() > g_maxStringLength ? kTooLong : nullptr;
      return reals ? nullptr : KindError(op);
    case SYM_TIMES:
      if (left.kind == RValue::kReal && right.kind == RValue::kString) {
        int64_t n = RoundToInt64(left.val);
        if (n > 0 && !right.str.empty() &&
            static_cast<uint64_t>(n) > g_maxStringLength / right.str.size())
          return kTooLong;
        return nullptr;
      }
      return reals ? nullptr : KindError(op);
    case SYM_DIVIDE:
    case SYM_DIV:
      if (!reals) return KindError(op);
      return right.val == 0 ? "Division by 0." : nullptr;
    case SYM_MOD:
      if (!reals) return KindError(op);
      return right.val == 0 ? "Modulo by 0." : nullptr;
    case SYM_AND: case SYM_OR: case SYM_XOR: case SYM_MINUS: case SYM_BITOR: case SYM_BITAND:
    case SYM_BITXOR: case SYM_SHL: case SYM_SHR:
      return reals ? nullptr : KindError(op);
    default:
      if (IsComparison(op)) return (reals || strings) ? nullptr : KindError(op);
      return "Internal error: unknown binary operator.";
  }
}

const char* ArithmeticError(double d) {
  if (std::isfinite(d)) return nullptr;
  return std::isnan(d) ? kInvalidOperation : kOverflow;
}

bool BinaryOperation(const CCode& code, int position, int op, const RValue& right, RValue& left) {
  if (const char* err = BinaryOperationError(op, right, left)) {
    RecordCodeError(code, position, err);
    return false;
  }
  double l = left.val, r = right.val;
  // Arithmetic that gives no finite number is an error, not an infinity or a
  // NaN carried on; the left operand keeps its value.
  if (IsArithmetic(op) && left.kind == RValue::kReal && right.kind == RValue::kReal) {
    double d;
    switch (op) {
      case SYM_PLUS: d = l + r; break;
      case SYM_MINUS: d = l - r; break;
      case SYM_TIMES: d = l * r; break;
      case SYM_DIVIDE: d = l / r; break;
      case SYM_DIV: d = Quotient(l, r); break;
      default: d = l - Quotient(l, r) * r; break;  // SYM_MOD
    }
    if (const char* err = ArithmeticError(d)) {
      RecordCodeError(code, position, err);
      return false;
    }
    left.val = d;
    return true;
  }
  switch (op) {
    case SYM_AND: left.SetReal(l >= 0.5 && r >= 0.5 ? 1 : 0); break;
    case SYM_OR: left.SetReal(l >= 0.5 || r >= 0.5 ? 1 : 0); break;
    case SYM_XOR: left.SetReal((l >= 0.5) != (r >= 0.5) ? 1 : 0); break;
    case SYM_PLUS:
      if (left.kind == RValue::kString) left.str += right.str;
      else left.val = l + r;
      break;
    case SYM_MINUS: left.val = l - r; break;
    case SYM_TIMES:
      if (right.kind == RValue::kString) {
        int64_t n = RoundToInt64(l);
        std::string s;
        // Repeating nothing gives nothing, however large the count.
        if (n > 0 && !right.str.empty()) {
          s.reserve(right.str.size() * static_cast<size_t>(n));
          for (int64_t k = 0; k < n; ++k) s += right.str;
        }
        left.SetString(std::move(s));
      } else {
        left.val = l * r;
      }
      break;
    case SYM_DIVIDE: left.val = l / r; break;
    case SYM_DIV: left.val = Quotient(l, r); break;
    case SYM_MOD: left.val = l - Quotient(l, r) * r; break;
    case SYM_BITOR: left.val = static_cast<double>(RoundToInt64(l) | RoundToInt64(r)); break;
    case SYM_BITAND: left.val = static_cast<double>(RoundToInt64(l) & RoundToInt64(r)); break;
    case SYM_BITXOR: left.val = static_cast<double>(RoundToInt64(l) ^ RoundToInt64(r)); break;
    case SYM_SHL: {
      int n = ShiftCount(r);
      uint64_t bits = static_cast<uint64_t>(RoundToInt64(l));
      left.val = n < 64 ? static_cast<double>(static_cast<int64_t>(bits << n)) : 0.0;
      break;
    }
    case SYM_SHR: {
      int n = ShiftCount(r);
      uint64_t bits = static_cast<uint64_t>(RoundToInt64(l));
      left.val = n < 64 ? static_cast<double>(bits >> n) : 0.0;
      break;
    }
    default: {
      double d;
      if (left.kind == RValue::kString) d = CompareUtf16(left.str, right.str);
      else d = l - r;
      left.SetReal(Compare(op, d) ? 1 : 0);
      break;
    }
  }
  return true;
}

bool UnaryOperation(const CCode& code, int position, int op, RValue& value) {
  if (value.kind == RValue::kString) {
    RecordCodeError(code, position, "Wrong type of arguments to unary operator.");
    return false;
  }
  switch (op) {
    case SYM_NOT: value.val = value.val < 0.5 ? 1 : 0; return true;
    case SYM_PLUS: return true;
    case SYM_MINUS: value.val = -value.val; return true;
    case SYM_BITNOT: value.val = static_cast<double>(~RoundToInt64(value.val)); return true;
    default:
      RecordCodeError(code, position, "Internal error: unknown unary operator.");
      return false;
  }
}
