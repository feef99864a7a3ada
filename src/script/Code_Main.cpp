#include "script/Code_Main.h"

#include <cmath>
#include <string_view>

#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Operator.h"
#include "script/Code_Phases.h"
#include "script/Code_Variable.h"
#include "script/Variable_Main.h"

void RToken::ReleaseChildren() noexcept {
  std::vector<RToken> pending;
  pending.swap(items);
  try {
    while (!pending.empty()) {
      RToken last = std::move(pending.back());
      pending.pop_back();
      for (RToken& child : last.items)
        if (!child.items.empty()) pending.push_back(std::move(child));
      // `last` now holds only leaves and emptied nodes: no deeper destruction.
    }
  } catch (...) {
    // Out of memory while taking a tree apart: what is left is released the
    // recursive way, which suffices for all but the longest chains.
  }
}

void CCode::Create(const std::string& text, bool isexpression) {
  i_str = text;
  i_kind = isexpression ? 2 : 1;
  i_compiled = false;
  i_token = RToken();
  i_value = RValue();
  i_Args = 0;
  i_ArgArray = false;
}

size_t g_maxStringLength = size_t{64} << 20;
int g_maxArrayIndex = 32000;
bool g_fastPaths = true;

void SetResourceBoundsForFuzzing(size_t maxstring, int maxindex) {
  g_maxStringLength = maxstring;
  g_maxArrayIndex = maxindex;
}

namespace {
// The walks below visit nodes in a loop (VisitAfterChildren, Contains):
// operator chains make trees as deep as they are long.
void CollectLocal(const RToken& n, std::vector<int>& ids) {
  bool local = (n.kind == TK_CONSTOWNERVAR && n.ind2 == OWNER_LOCAL) ||
               (n.kind == TK_VARIABLE && n.items[0].kind == TK_CONSTANT && n.items[0].value.IsReal() &&
                n.items[0].value.val == static_cast<double>(OWNER_LOCAL));
  if (local) {
    for (int id : ids)
      if (id == n.ind) return;
    ids.push_back(n.ind);
  }
}
void CollectLocals(const RToken& root, std::vector<int>& ids) {
  VisitAfterChildren(root, [&ids](const RToken& n) {
    CollectLocal(n, ids);
    return true;
  });
}
void AssignSlots(RToken& root, const std::vector<int>& ids) {
  VisitAfterChildren(root, [&ids](RToken& n) {
    if (n.kind != TK_CONSTOWNERVAR && n.kind != TK_VARIABLE) return true;
    for (size_t k = 0; k < ids.size(); ++k)
      if (ids[k] == n.ind) n.slot = static_cast<int>(k);
    return true;
  });
}
bool PureOperator(int op) {
  switch (op) {
    case SYM_PLUS: case SYM_MINUS: case SYM_TIMES: case SYM_DIVIDE: case SYM_DIV: case SYM_MOD:
    case SYM_LT: case SYM_LE: case SYM_EQ: case SYM_ASSIGN: case SYM_NE: case SYM_GE: case SYM_GT:
    case SYM_AND: case SYM_OR: case SYM_XOR:
      return true;
    default:
      return false;
  }
}

// Built-in variables whose getters only read a field of the instance or of
// the room: reading them has no effect and cannot report an error, so they
// may take part in pure arithmetic (evaluated a second time when the pure
// attempt fails).
bool PlainBuiltin(int id) {
  static constexpr std::string_view kPlain[] = {
      "x", "y", "xprevious", "yprevious", "xstart", "ystart", "hspeed", "vspeed", "direction", "speed",
      "friction", "gravity", "gravity_direction", "object_index", "id", "solid", "visible", "depth",
      "image_index", "image_speed", "image_xscale", "image_yscale", "image_angle", "image_alpha",
      "bbox_left", "bbox_right", "bbox_top", "bbox_bottom", "room_width", "room_height", "room_speed"};
  if (id < 0 || id >= BuiltinVariableCount() || IsArgumentVariable(id)) return false;
  const RBuiltinVariable& var = BuiltinVariableGet(id);
  if (var.getter == nullptr) return false;
  for (std::string_view name : kPlain)
    if (var.name == name) return true;
  return false;
}

// Pure arithmetic recurses down the left edge of a chain up to this many
// binary links (each link's evaluator reads its operands in place); longer
// chains are walked in a loop so that their length costs no stack.
constexpr int kLongChain = 8;
bool LeftEdgeAtLeast(const RToken& n, int links) {
  const RToken* link = &n;
  for (int k = 0; k < links; ++k) {
    if (link->kind != TK_BINARY) return false;
    link = &link->items[0];
  }
  return true;
}

// See IndexMode; the mod node's reciprocal is set when it is marked, before
// its parent.
IndexMode IndexModeOf(const RToken& idx) {
  if (idx.kind == TK_CONSTANT) return IX_CONST;
  if (IsLocalSlot(idx)) return IX_LOCAL;
  if (idx.kind == TK_BINARY && idx.ind == SYM_MOD && !idx.longchain && idx.value.val != 0)
    return IsLocalSlot(idx.items[0]) ? IX_MODLOCAL : IX_MOD;
  return IX_EVAL;
}
void MarkPureNode(RToken& n) {
  switch (n.kind) {
    case TK_CONSTANT: n.pure = n.value.IsReal(); break;
    case TK_CONSTOWNERVAR:
      n.pure = (n.ind2 == OWNER_LOCAL && n.slot >= 0) || (n.ind2 == OWNER_UNQUALIFIED && n.ind >= kBuiltinVarLimit) ||
               ((n.ind2 == OWNER_UNQUALIFIED || n.ind2 == OWNER_SELF) &&
                (IsArgumentVariable(n.ind) || (n.ind < kBuiltinVarLimit && PlainBuiltin(n.ind))));
      break;
    case TK_VARIABLE: {
      const RToken& owner = n.items[0];
      if (owner.kind == TK_CONSTANT && owner.value.IsReal()) {
        n.constowner = true;
        n.ind2 = RoundToInt(owner.value.val);
      }
      bool plain = (n.ind2 == OWNER_LOCAL && n.slot >= 0) || (n.ind2 == OWNER_UNQUALIFIED && n.ind >= kBuiltinVarLimit);
      n.pure = n.constowner && plain;
      for (size_t k = 1; k < n.items.size(); ++k) n.pure = n.pure && n.items[k].pure;
      if (n.pure && n.items.size() == 2) n.indexmode = IndexModeOf(n.items[1]);
      break;
    }
    case TK_BINARY:
      n.pure = PureOperator(n.ind) && n.items[0].pure && n.items[1].pure;
      n.longchain = n.pure && LeftEdgeAtLeast(n, kLongChain);
      // mod by a whole constant from 1 to 2^31 keeps the constant's
      // reciprocal in its value, with which the interpreter finds the
      // remainder without a division; 0 means none.
      if (n.ind == SYM_MOD) {
        n.value.SetReal(0);
        const RToken& k = n.items[1];
        if (n.pure && k.kind == TK_CONSTANT && k.value.val >= 1 && k.value.val <= 0x1p31 &&
            k.value.val == std::trunc(k.value.val))
          n.value.SetReal(1.0 / k.value.val);
      }
      break;
    case TK_UNARY: n.pure = (n.ind == SYM_MINUS || n.ind == SYM_PLUS || n.ind == SYM_NOT) && n.items[0].pure; break;
    case TK_ASSIGN: {
      const RToken& t = n.items[0];
      if (n.items[1].pure && t.kind == TK_CONSTOWNERVAR &&
          (n.ind == SYM_ASSIGN || n.ind == SYM_ADDASSIGN || n.ind == SYM_SUBASSIGN)) {
        if (t.ind2 == OWNER_LOCAL && t.slot >= 0) n.fastassign = 1;
        else if (t.ind2 == OWNER_UNQUALIFIED && t.ind >= kBuiltinVarLimit) n.fastassign = 2;
      }
      break;
    }
    default: break;
  }
  n.real = n.pure ? PureEvaluator(n) : nullptr;
  for (RToken& child : n.items) child.pureroot = child.pure && !n.pure;
  // An infinity or NaN from an operand of +, - or * reaches the result, which
  // this node checks: its operands of those kinds skip their own check.
  // (Comparisons, division, div and mod can turn one into a finite number.)
  if (n.pure && n.kind == TK_BINARY && (n.ind == SYM_PLUS || n.ind == SYM_MINUS || n.ind == SYM_TIMES))
    for (RToken& child : n.items)
      if (child.kind == TK_BINARY && (child.ind == SYM_PLUS || child.ind == SYM_MINUS || child.ind == SYM_TIMES))
        child.real = PureEvaluator(child, false);
}
void MarkPure(RToken& root) {
  VisitAfterChildren(root, [](RToken& n) {
    MarkPureNode(n);
    return true;
  });
}
bool Contains(const RToken& root, int kind) {
  std::vector<const RToken*> work{&root};
  while (!work.empty()) {
    const RToken* n = work.back();
    work.pop_back();
    if (n->kind == kind) return true;
    for (const RToken& child : n->items) work.push_back(&child);
  }
  return false;
}
bool Escapes(const RToken& n) { return Contains(n, TK_EXIT) || Contains(n, TK_BREAK) || Contains(n, TK_CONTINUE); }
bool WritesResult(const RToken& n) { return n.kind == TK_ASSIGN || n.kind == TK_CALL || n.kind == TK_RETURN; }

// `killed`: once statement n completes normally, a statement that writes the
// result slot always runs before the code can end. Conservative: a later
// exit, break or continue on the way keeps the result alive.
void MarkDeadResults(RToken& n, bool killed) {
  switch (n.kind) {
    case TK_ASSIGN: n.resultdead = killed; break;
    case TK_BLOCK: {
      const size_t count = n.items.size();
      for (size_t i = 0; i < count; ++i) {
        bool k = false, clean = true;
        for (size_t j = i + 1; j < count && clean && !k; ++j) {
          if (WritesResult(n.items[j])) k = true;
          else if (Escapes(n.items[j])) clean = false;
        }
        MarkDeadResults(n.items[i], k || (clean && killed));
      }
      break;
    }
    case TK_IF: {
      // An else-if chain is followed in a loop.
      RToken* link = &n;
      for (;;) {
        MarkDeadResults(link->items[1], killed);
        if (link->items.size() < 3) break;
        RToken& other = link->items[2];
        if (other.kind != TK_IF) {
          MarkDeadResults(other, killed);
          break;
        }
        link = &other;
      }
      break;
    }
    case TK_WHILE: case TK_REPEAT:
      // The body runs again or the loop ends; only an exit inside it can end
      // the code right after a statement of the body.
      MarkDeadResults(n.items[1], killed && !Contains(n.items[1], TK_EXIT));
      break;
    case TK_WITH:
      // A break in a with body ends the enclosing loop as well.
      MarkDeadResults(n.items[1], killed && !Contains(n.items[1], TK_EXIT) && !Contains(n.items[1], TK_BREAK));
      break;
    case TK_DO: MarkDeadResults(n.items[0], killed && !Contains(n.items[0], TK_EXIT)); break;
    case TK_FOR:
      // The initial and step statements write a scratch slot.
      MarkDeadResults(n.items[0], true);
      MarkDeadResults(n.items[2], true);
      MarkDeadResults(n.items[3], killed && !Contains(n.items[3], TK_EXIT));
      break;
    case TK_SWITCH:
      for (size_t i = 1; i < n.items.size(); ++i) MarkDeadResults(n.items[i], false);
      break;
    default: break;
  }
}

bool SameVariable(const RToken& a, const RToken& b) {
  return a.kind == TK_CONSTOWNERVAR && b.kind == TK_CONSTOWNERVAR && a.ind == b.ind && a.ind2 == b.ind2 &&
         a.slot == b.slot;
}

void MarkAppend(RToken& n) {
  if (n.kind != TK_ASSIGN || n.ind != SYM_ASSIGN) return;
  const RToken& target = n.items[0];
  const RToken& expr = n.items[1];
  if (expr.kind != TK_BINARY || expr.ind != SYM_PLUS || !SameVariable(target, expr.items[0])) return;
  // A call could change the variable between the general path's read and
  // the append, except a local's: a call runs with locals of its own.
  bool local = target.ind2 == OWNER_LOCAL && target.slot >= 0;
  bool plain = local || (target.ind >= kBuiltinVarLimit &&
                         (target.ind2 == OWNER_UNQUALIFIED || target.ind2 == OWNER_SELF ||
                          target.ind2 == OWNER_OTHER || target.ind2 == OWNER_GLOBAL));
  n.appendself = plain && (local || !Contains(expr.items[1], TK_CALL));
}
void MarkAppends(RToken& root) {
  VisitAfterChildren(root, [](RToken& n) {
    MarkAppend(n);
    return true;
  });
}
// A block of one statement is that statement: its routine need not be
// called through the block's. A lone case or default label keeps its block,
// which keeps it from becoming a label of an enclosing switch.
void DropSingleBlocks(RToken& root) {
  VisitAfterChildren(root, [](RToken& n) {
    if (n.kind == TK_BLOCK && n.items.size() == 1 && n.items[0].kind != TK_CASE && n.items[0].kind != TK_DEFAULT) {
      RToken only = std::move(n.items[0]);
      n = std::move(only);
    }
    return true;
  });
}
void MarkStatements(RToken& root) {
  VisitAfterChildren(root, [](RToken& n) {
    n.exec = StatementExecutor(n);
    return true;
  });
}
}  // namespace

bool CCode::Compile() {
  ErrorClear();
  if (i_compiled) {
    RecordCodeError(*this, 0, "Internal Error: Recompiling compiled code.");
    return false;
  }
  CompileArgsReset();
  RToken root;
  {
    std::vector<RToken1> lexemes;
    std::vector<RToken2> tokens;
    if (!CodePhase1(*this, lexemes)) return false;
    if (!CodePhase2(*this, lexemes, tokens)) return false;
    lexemes.clear();
    if (!CodePhase3(*this, tokens, root)) return false;
  }
  if (!CodePhase4(*this, root)) return false;
  i_token = std::move(root);
  if (g_fastPaths && i_kind == 1) DropSingleBlocks(i_token);
  i_localIds.clear();
  CollectLocals(i_token, i_localIds);
  if (!i_localIds.empty()) AssignSlots(i_token, i_localIds);
  if (g_fastPaths) {
    MarkPure(i_token);
    i_token.pureroot = i_token.pure;
    MarkDeadResults(i_token, false);
    MarkAppends(i_token);
  }
  MarkStatements(i_token);
  if (i_kind == 2 && i_token.kind == TK_CONSTANT) {
    i_value = i_token.value;
    i_kind = 3;
  }
  i_compiled = true;
  i_Args = CompileArgsCount();
  i_ArgArray = CompileArgsArray();
  return true;
}
