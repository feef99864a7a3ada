#include "script/Code_Main.h"

#include <string_view>

#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Operator.h"
#include "script/Code_Phases.h"
#include "script/Code_Variable.h"
#include "script/Variable_Main.h"

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

void SetResourceBoundsForFuzzing(size_t maxstring, int maxindex) {
  g_maxStringLength = maxstring;
  g_maxArrayIndex = maxindex;
}

namespace {
void CollectLocals(const RToken& n, std::vector<int>& ids) {
  for (const RToken& child : n.items) CollectLocals(child, ids);
  bool local = (n.kind == TK_CONSTOWNERVAR && n.ind2 == OWNER_LOCAL) ||
               (n.kind == TK_VARIABLE && n.items[0].kind == TK_CONSTANT && n.items[0].value.IsReal() &&
                n.items[0].value.val == static_cast<double>(OWNER_LOCAL));
  if (local) {
    for (int id : ids)
      if (id == n.ind) return;
    ids.push_back(n.ind);
  }
}
void AssignSlots(RToken& n, const std::vector<int>& ids) {
  for (RToken& child : n.items) AssignSlots(child, ids);
  if (n.kind != TK_CONSTOWNERVAR && n.kind != TK_VARIABLE) return;
  for (size_t k = 0; k < ids.size(); ++k)
    if (ids[k] == n.ind) n.slot = static_cast<int>(k);
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

void MarkPure(RToken& n) {
  for (RToken& child : n.items) MarkPure(child);
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
      break;
    }
    case TK_BINARY: n.pure = PureOperator(n.ind) && n.items[0].pure && n.items[1].pure; break;
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
  for (RToken& child : n.items) child.pureroot = child.pure && !n.pure;
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
  i_localIds.clear();
  CollectLocals(i_token, i_localIds);
  if (!i_localIds.empty()) AssignSlots(i_token, i_localIds);
  MarkPure(i_token);
  i_token.pureroot = i_token.pure;
  if (i_kind == 2 && i_token.kind == TK_CONSTANT) {
    i_value = i_token.value;
    i_kind = 3;
  }
  i_compiled = true;
  i_Args = CompileArgsCount();
  i_ArgArray = CompileArgsArray();
  return true;
}
