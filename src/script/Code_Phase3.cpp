// The parser: recursive descent from tokens to the node tree.
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Phases.h"

namespace {
class Parser {
 public:
  Parser(const CCode& code, const std::vector<RToken2>& toks) : code_(code), t_(toks) {}

  bool Program(RToken& root) {
    if (Sym() == SYM_END) {
      root = RToken(TK_EMPTYPROGRAM, Pos());
      return true;
    }
    if (Sym() == SYM_BEGIN) {
      if (!Statement(root)) return false;
      if (Sym() != SYM_END) return Fail("Program ends before end of the code.");
      return true;
    }
    root = RToken(TK_BLOCK, Pos());
    while (Sym() != SYM_END) {
      RToken s;
      if (!Statement(s)) return false;
      root.Add(std::move(s));
    }
    return true;
  }

  bool Expression(RToken& root) {
    if (Sym() == SYM_END) {
      root = RToken(TK_CONSTANT, Pos());
      root.value.SetReal(0);
      return true;
    }
    return Expr(root);
  }

 private:
  const CCode& code_;
  const std::vector<RToken2>& t_;
  size_t p_ = 0;
  int depth_ = 0;

  // Counts nesting: brackets, unary operators, nested statements. Chains
  // (left-associative operators of one level, ".", else-if) cost nothing
  // however long: every later pass follows them in a loop.
  struct DepthGuard {
    int& d;
    explicit DepthGuard(int& depth) : d(depth) { ++d; }
    ~DepthGuard() { --d; }
  };

  const RToken2& Cur() const { return t_[p_ < t_.size() ? p_ : t_.size() - 1]; }
  int Sym() const { return Cur().symbol; }
  int Pos() const { return Cur().position; }
  void Next() {
    if (p_ + 1 < t_.size()) ++p_;
  }
  bool Fail(const char* msg) { return FailAt(Pos(), msg); }
  bool FailAt(int pos, const char* msg) {
    RecordCodeError(code_, pos, msg);
    return false;
  }
  bool TooDeep() {
    if (depth_ <= kMaxParseDepth) return false;
    Fail("Code is nested too deeply.");
    return true;
  }

  // ---- statements ----
  bool Statement(RToken& s) {
    DepthGuard g(depth_);
    if (TooDeep()) return false;
    if (!StatementBody(s)) return false;
    while (Sym() == SYM_SEMI) Next();
    return true;
  }

  bool KeywordStart(RToken& s, int kind) {
    Next();
    s = RToken(kind, Pos());
    return true;
  }

  // Each statement kind reads its parts in a function of its own, so that
  // the frame that nested blocks recurse through stays small.
  bool StatementBody(RToken& s) {
    switch (Sym()) {
      case SYM_FUNC: return Call(s);
      case SYM_BEGIN: return Block(s);
      case SYM_IF: return If(s);
      case SYM_WHILE: return While(s);
      case SYM_DO: return Do(s);
      case SYM_FOR: return For(s);
      case SYM_REPEAT: return Repeat(s);
      case SYM_EXIT: return KeywordStart(s, TK_EXIT);
      case SYM_BREAK: return KeywordStart(s, TK_BREAK);
      case SYM_CONTINUE: return KeywordStart(s, TK_CONTINUE);
      case SYM_WITH: return With(s);
      case SYM_RETURN: return Return(s);
      case SYM_SWITCH: return Switch(s);
      case SYM_CASE: return Case(s);
      case SYM_DEFAULT: {
        KeywordStart(s, TK_DEFAULT);
        if (Sym() != SYM_COLON) return Fail("Symbol : expected.");
        Next();
        return true;
      }
      case SYM_VARDECL:
      case SYM_GLOBALVAR: return Declaration(s);
      case SYM_SEMI:
        s = RToken(TK_EMPTY, Pos());
        return true;
      case SYM_END: return Fail("Unexpected end of code reached.");
      default: return Assignment(s);
    }
  }

  [[gnu::noinline]] bool Block(RToken& s) {
    KeywordStart(s, TK_BLOCK);
    return StatementsToEnd(s);
  }

  // Statements added to s up to and past the closing brace.
  bool StatementsToEnd(RToken& s) {
    while (Sym() != SYM_END_BLOCK) {
      if (Sym() == SYM_END) return Fail("Symbol } expected.");
      RToken c;
      if (!Statement(c)) return false;
      s.Add(std::move(c));
    }
    Next();
    return true;
  }

  // An else-if chain is read here in a loop, each if hung below the one
  // before it as its else statement.
  [[gnu::noinline]] bool If(RToken& s) {
    KeywordStart(s, TK_IF);
    RToken* link = &s;
    for (;;) {
      RToken cond, then;
      if (!Expr(cond)) return false;
      if (Sym() == SYM_THEN) Next();
      if (!Statement(then)) return false;
      link->Add(std::move(cond));
      link->Add(std::move(then));
      if (Sym() != SYM_ELSE) return true;
      Next();
      if (Sym() != SYM_IF) {
        RToken other;
        if (!Statement(other)) return false;
        link->Add(std::move(other));
        return true;
      }
      RToken next;
      KeywordStart(next, TK_IF);
      link->Add(std::move(next));
      link = &link->items.back();
    }
  }

  [[gnu::noinline]] bool While(RToken& s) {
    KeywordStart(s, TK_WHILE);
    RToken cond, body;
    if (!Expr(cond)) return false;
    if (Sym() == SYM_DO) Next();
    if (!Statement(body)) return false;
    s.Add(std::move(cond));
    s.Add(std::move(body));
    return true;
  }

  [[gnu::noinline]] bool Do(RToken& s) {
    KeywordStart(s, TK_DO);
    RToken body, cond;
    if (!Statement(body)) return false;
    if (Sym() != SYM_UNTIL) return Fail("Keyword until expected.");
    Next();
    if (!Expr(cond)) return false;
    s.Add(std::move(body));
    s.Add(std::move(cond));
    return true;
  }

  [[gnu::noinline]] bool For(RToken& s) {
    KeywordStart(s, TK_FOR);
    if (Sym() != SYM_LPAREN) return Fail("Symbol ( expected.");
    Next();
    RToken init, cond, step, body;
    if (!Statement(init)) return false;
    if (Sym() == SYM_SEMI) Next();
    if (!Expr(cond)) return false;
    if (Sym() == SYM_SEMI) Next();
    if (!Statement(step)) return false;
    if (Sym() != SYM_RPAREN) return Fail("Symbol ) expected.");
    Next();
    if (!Statement(body)) return false;
    s.Add(std::move(init));
    s.Add(std::move(cond));
    s.Add(std::move(step));
    s.Add(std::move(body));
    return true;
  }

  [[gnu::noinline]] bool Repeat(RToken& s) {
    KeywordStart(s, TK_REPEAT);
    RToken count, body;
    if (!Expr(count) || !Statement(body)) return false;
    s.Add(std::move(count));
    s.Add(std::move(body));
    return true;
  }

  [[gnu::noinline]] bool With(RToken& s) {
    KeywordStart(s, TK_WITH);
    RToken owner, body;
    if (!Expr(owner)) return false;
    if (Sym() == SYM_DO) Next();
    if (!Statement(body)) return false;
    s.Add(std::move(owner));
    s.Add(std::move(body));
    return true;
  }

  [[gnu::noinline]] bool Return(RToken& s) {
    KeywordStart(s, TK_RETURN);
    RToken e;
    if (!Expr(e)) return false;
    s.Add(std::move(e));
    return true;
  }

  [[gnu::noinline]] bool Switch(RToken& s) {
    KeywordStart(s, TK_SWITCH);
    RToken e;
    if (!Expr(e)) return false;
    s.Add(std::move(e));
    if (Sym() != SYM_BEGIN) return Fail("Symbol { expected.");
    Next();
    return StatementsToEnd(s);
  }

  [[gnu::noinline]] bool Case(RToken& s) {
    KeywordStart(s, TK_CASE);
    RToken e;
    if (!Expr(e)) return false;
    if (Sym() != SYM_COLON) return Fail("Symbol : expected.");
    Next();
    s.Add(std::move(e));
    return true;
  }

  [[gnu::noinline]] bool Declaration(RToken& s) {
    KeywordStart(s, Sym() == SYM_VARDECL ? TK_VAR : TK_GLOBALVAR);
    while (Sym() == SYM_VAR) {
      if (Cur().ind < 100000) return Fail("Cannot redeclare a builtin variable.");
      RToken name(TK_CONSTANT, Pos());
      name.ind = Cur().ind;
      s.Add(std::move(name));
      Next();
      if (Sym() == SYM_COMMA) Next();
    }
    return true;
  }

  bool Assignment(RToken& s) {
    int start = Pos();
    RToken target;
    if (!Postfix(target)) return false;
    if (target.kind != TK_VARIABLE) return FailAt(start, "Variable name expected.");
    int op = Sym();
    if (!(op >= SYM_ASSIGN && op <= SYM_DIVASSIGN) && !(op >= SYM_ORASSIGN && op <= SYM_XORASSIGN))
      return Fail("Assignment operator expected.");
    Next();
    RToken e;
    if (!Expr(e)) return false;
    s = RToken(TK_ASSIGN, start);
    s.ind = op;
    s.Add(std::move(target));
    s.Add(std::move(e));
    return true;
  }

  bool Call(RToken& s) {
    if (Sym() != SYM_FUNC) return Fail("Function name expected.");
    s = RToken(TK_CALL, Pos());
    s.ind = Cur().ind;
    Next();
    if (Sym() != SYM_LPAREN) return Fail("Symbol ( expected.");
    Next();
    for (;;) {
      if (Sym() == SYM_RPAREN) break;
      if (Sym() == SYM_END) return Fail("Symbol ) expected.");
      RToken a;
      if (!Expr(a)) return false;
      s.Add(std::move(a));
      if (Sym() == SYM_COMMA) {
        Next();
        continue;
      }
      if (Sym() == SYM_RPAREN) break;
      if (Sym() == SYM_END) return Fail("Symbol ) expected.");
      return Fail("Symbol , or ) expected.");
    }
    int argc = s.itemnumb;
    int declared = FunctionArgCount(s.ind);
    if (argc > kMaxFunctionArgs || (declared >= 0 && declared != argc))
      return Fail("Wrong number of arguments to function or script.");
    Next();
    return true;
  }

  // ---- expressions ----
  bool Binary(RToken& e, int level) {
    if (level == 7) return Unary(e);
    DepthGuard g(depth_);
    if (TooDeep()) return false;
    if (!Binary(e, level + 1)) return false;
    for (;;) {
      int op = Sym();
      bool match = false;
      switch (level) {
        case 1: match = op == SYM_AND || op == SYM_OR || op == SYM_XOR; break;
        case 2: match = op == SYM_ASSIGN || (op >= SYM_LT && op <= SYM_GT); break;
        case 3: match = op >= SYM_BITOR && op <= SYM_BITXOR; break;
        case 4: match = op == SYM_SHL || op == SYM_SHR; break;
        case 5: match = op == SYM_PLUS || op == SYM_MINUS; break;
        case 6: match = op >= SYM_TIMES && op <= SYM_MOD; break;
      }
      if (!match) return true;
      Next();
      RToken right;
      if (!Binary(right, level + 1)) return false;
      RToken node(TK_BINARY, e.position);
      node.ind = op;
      node.Add(std::move(e));
      node.Add(std::move(right));
      e = std::move(node);
    }
  }

  bool Expr(RToken& e) { return Binary(e, 1); }

  bool Unary(RToken& e) {
    int op = Sym();
    if (op == SYM_NOT || op == SYM_MINUS || op == SYM_PLUS || op == SYM_BITNOT) {
      DepthGuard g(depth_);
      if (TooDeep()) return false;
      int pos = Pos();
      Next();
      RToken operand;
      if (!Unary(operand)) return false;
      e = RToken(TK_UNARY, pos);
      e.ind = op;
      e.Add(std::move(operand));
      return true;
    }
    return Postfix(e);
  }

  bool Postfix(RToken& e) {
    DepthGuard g(depth_);
    if (TooDeep()) return false;
    if (!Primary(e)) return false;
    while (Sym() == SYM_DOT) {
      Next();
      if (Sym() != SYM_VAR) return Fail("Variable name expected.");
      RToken var;
      int pos = e.position;
      RToken owner = std::move(e);
      if (!Variable(var, &owner)) return false;
      var.position = pos;
      e = std::move(var);
    }
    return true;
  }

  // A variable token with its optional index; `owner` null means unqualified.
  bool Variable(RToken& v, RToken* owner) {
    v = RToken(TK_VARIABLE, Pos());
    v.ind = Cur().ind;
    Next();
    if (owner) {
      v.Add(std::move(*owner));
    } else {
      RToken o(TK_CONSTANT, v.position);
      o.value.SetReal(OWNER_UNQUALIFIED);
      v.Add(std::move(o));
    }
    if (Sym() != SYM_LBRACKET) return true;
    Next();
    for (;;) {
      if (Sym() == SYM_RBRACKET) break;
      if (Sym() == SYM_END) return Fail("Symbol ] expected.");
      if (v.itemnumb >= 3) return Fail("Only 1- and 2-dimensional arrays are supported.");
      RToken idx;
      if (!Expr(idx)) return false;
      v.Add(std::move(idx));
      if (Sym() == SYM_COMMA) {
        Next();
        continue;
      }
      if (Sym() == SYM_RBRACKET) break;
      if (Sym() == SYM_END) return Fail("Symbol ] expected.");
      return Fail("Symbol , or ] expected.");
    }
    Next();
    return true;
  }

  bool Primary(RToken& e) {
    switch (Sym()) {
      case SYM_CONST:
        e = RToken(TK_CONSTANT, Pos());
        e.value = Cur().val;
        Next();
        return true;
      case SYM_FUNC:
        return Call(e);
      case SYM_VAR:
        return Variable(e, nullptr);
      case SYM_LPAREN: {
        Next();
        if (!Expr(e)) return false;
        if (Sym() != SYM_RPAREN) return Fail("Symbol ) expected.");
        Next();
        return true;
      }
      default:
        return Fail("Unexpected symbol in expression.");
    }
  }
};
}  // namespace

bool CodePhase3(const CCode& code, const std::vector<RToken2>& in, RToken& root) {
  Parser parser(code, in);
  if (code.i_kind == 1) return parser.Program(root);
  return parser.Expression(root);
}
