// The interpreter. It walks the node tree directly: names were resolved to ids
// at compile time, constant owners were resolved (node kind 8), constants were
// folded, and every variable node remembers where its variable was found last,
// so the common access costs one compare in a variable list.
#include "script/Code_Spaces.h"
#include "script/Code_Exec.h"

#include <pthread.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "runner/Option_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Code_Operator.h"
#include "script/Code_Variable.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "script/Variable_Main.h"

namespace {
enum Completion : int { C_NORMAL = 0, C_ERROR = -1, C_EXIT = -2, C_BREAK = -3, C_CONTINUE = -4 };

// A local variable kept in a slot of the execution; `defined` is false until
// the first write, so reading it earlier fails as for a missing variable.
struct LocalSlot {
  RVariable var;
  bool defined = false;
};

struct Ctx {
  CInstance* self;
  CInstance* other;
  CVariableList* locals;  // locals without a slot; null until the first write
  const CCode* code;
  LocalSlot* lslots;      // one per entry of code->i_localIds
};

int g_arg0 = -1000;  // variable id of argument0

// ---- execution budget ----
long long g_budget = -1;
constexpr const char* kBudgetText = "Execution step limit reached.";

inline bool Spend(const Ctx& c, int position) {
  if (g_budget < 0) return true;
  if (g_budget == 0) {
    RecordCodeError(*c.code, position, kBudgetText);
    return false;
  }
  --g_budget;
  return true;
}

// ---- stack guard ----
// Script calls recurse on the machine stack; the guard refuses a call when
// less than a safety margin of the thread's stack is left.
thread_local uintptr_t g_stackLimit = 0;

void InitStackLimit() {
  if (g_stackLimit != 0) return;
  pthread_attr_t attr;
  void* addr = nullptr;
  size_t size = 0;
  uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    pthread_attr_getstack(&attr, &addr, &size);
    pthread_attr_destroy(&attr);
  }
  uintptr_t low = reinterpret_cast<uintptr_t>(addr);
  if (addr == nullptr || size == 0 || here < low || here - low > (size_t{1} << 30)) {
    // Unknown layout: allow 4 MB below the current frame.
    g_stackLimit = here - (size_t{4} << 20);
    return;
  }
  // The margin covers what one code may still need below the check: its
  // tree is at most kMaxParseDepth deep.
  size_t margin = size >= (size_t{8} << 20) ? (size_t{2} << 20) : size / 4;
  g_stackLimit = low + margin;
}

inline bool StackLow() {
  uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  return here < g_stackLimit;
}

// ---- argument frames ----
std::vector<std::unique_ptr<RArgFrame>> g_frames;
size_t g_frameDepth = 0;
RArgFrame* g_frame = nullptr;

__attribute__((noinline)) void CreateFrames() {
  if (g_frames.empty()) g_frames.push_back(std::make_unique<RArgFrame>());
  g_frame = g_frames[0].get();
}
inline void EnsureFrames() {
  if (!g_frame) CreateFrames();
}

RArgFrame& PushFrame() {
  ++g_frameDepth;
  if (g_frameDepth >= g_frames.size()) g_frames.push_back(std::make_unique<RArgFrame>());
  g_frame = g_frames[g_frameDepth].get();
  return *g_frame;
}
void PopFrame() {
  --g_frameDepth;
  g_frame = g_frames[g_frameDepth].get();
}

// ---- locals pool ----
std::vector<std::unique_ptr<CVariableList>> g_localsPool;
CVariableList* NewLocals() {
  if (g_localsPool.empty()) return new CVariableList();
  CVariableList* list = g_localsPool.back().release();
  g_localsPool.pop_back();
  return list;
}
void FreeLocals(CVariableList* list) {
  if (!list) return;
  list->Clear();
  if (g_localsPool.size() < 64) g_localsPool.emplace_back(list);
  else delete list;
}

// ---- value stack for call arguments ----
class ValueStack {
 public:
  struct Mark {
    size_t chunk, used;
  };
  Mark Save() const { return {chunk_, used_}; }
  void Restore(Mark m) {
    chunk_ = m.chunk;
    used_ = m.used;
  }
  RValue* Push(int n) {
    if (chunks_.empty()) chunks_.push_back(std::make_unique<RValue[]>(kChunk));
    if (used_ + static_cast<size_t>(n) > kChunk) {
      ++chunk_;
      used_ = 0;
      if (chunk_ >= chunks_.size()) chunks_.push_back(std::make_unique<RValue[]>(kChunk));
    }
    RValue* p = chunks_[chunk_].get() + used_;
    used_ += static_cast<size_t>(n);
    return p;
  }

 private:
  static constexpr size_t kChunk = 1024;
  std::vector<std::unique_ptr<RValue[]>> chunks_;
  size_t chunk_ = 0, used_ = 0;
};
ValueStack g_values;

// Nodes of the chain being evaluated (a + b + c ..., a.b.c ...): a chain is
// walked down its left edge in a loop and combined on the way back up, so
// its length costs no stack. Nested evaluations use the part above their
// own start.
std::vector<const RToken*> g_chain;

// ---- errors ----
inline bool Fail(const Ctx& c, int position, const char* msg) {
  RecordCodeError(*c.code, position, msg);
  return false;
}

bool UnknownVariable(const Ctx& c, const RToken& n, int id, int index) {
  std::string msg = "Unknown variable " + VariableGetName(id);
  if (index != 0) msg += " or array index out of bounds";
  RecordCodeError(*c.code, n.position, msg);
  return false;
}

bool RunScript(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, RValue* args, int count,
               bool moveargs);

bool Eval(Ctx& c, const RToken& n, RValue& out);
bool EvalReal(Ctx& c, const RToken& n, double& out);
inline bool Operand(Ctx& c, const RToken& n, double& out);
int Exec(Ctx& c, const RToken& n, RValue& result);

// ---- variables ----
struct VarRef {
  int owner;
  int id;
  int index;
};

// Owner and combined index of a variable node. `owner`, when given, is the
// value of the owner child, already evaluated.
bool Resolve(Ctx& c, const RToken& n, VarRef& ref, const RValue* owner = nullptr) {
  ref.id = n.ind;
  if (n.kind == TK_CONSTOWNERVAR) {
    ref.owner = n.ind2;
    ref.index = 0;
    return true;
  }
  RValue v;
  if (n.constowner) {
    ref.owner = n.ind2;
  } else {
    if (!owner) {
      if (!Eval(c, n.items[0], v)) return false;
      owner = &v;
    }
    if (owner->kind != RValue::kReal) return Fail(c, n.items[0].position, "Wrong type of variable index");
    ref.owner = RoundToInt(owner->val);
  }
  ref.index = 0;
  for (int k = 1; k < n.itemnumb && k <= 2; ++k) {
    const RToken& idx = n.items[static_cast<size_t>(k)];
    double d;
    if (idx.pure && Operand(c, idx, d)) {
      v.val = d;
    } else {
      if (!Eval(c, idx, v)) return false;
      if (v.kind != RValue::kReal) return Fail(c, idx.position, "Wrong type of array index");
    }
    int64_t i = RoundToInt64(v.val);
    if (i < 0) return Fail(c, idx.position, "Negative array index");
    if (i >= g_maxArrayIndex) return Fail(c, idx.position, "Array index >= 32000");
    ref.index = k == 1 ? static_cast<int>(i) : ref.index * kArrayDim + static_cast<int>(i);
  }
  return true;
}

// The variable (owner, id) when it lives in plain storage (locals, globals,
// an instance's own list): the variable, or nullptr when it does not exist and
// `create` is false. Sets generic when the access goes through built-in
// getters/setters or owner lookups instead.
inline RVariable* PlainVar(Ctx& c, const RToken& n, int owner, int id, bool create, bool& generic) {
  generic = false;
  CVariableList* list;
  switch (owner) {
    case OWNER_LOCAL:
      if (n.slot >= 0) {
        LocalSlot& s = c.lslots[n.slot];
        if (!s.defined) {
          if (!create) return nullptr;
          s.defined = true;
          s.var.ind = id;
        }
        return &s.var;
      }
      if (!c.locals) {
        if (!create) return nullptr;
        c.locals = NewLocals();
      }
      list = c.locals;
      break;
    case OWNER_UNQUALIFIED:
      if (id < kBuiltinVarLimit) {
        generic = true;
        return nullptr;
      }
      list = GlobalIsDeclared(id) ? &GlobalVars() : &c.self->i_vars;
      break;
    case OWNER_GLOBAL:
      list = &GlobalVars();
      break;
    case OWNER_SELF:
    case OWNER_OTHER:
      if (id < kBuiltinVarLimit) {
        generic = true;
        return nullptr;
      }
      list = owner == OWNER_SELF ? &c.self->i_vars : &c.other->i_vars;
      break;
    default:
      generic = true;
      return nullptr;
  }
  return create ? &list->FindOrAdd(id, n.cache) : list->Find(id, n.cache);
}

// Reads without reporting; false when the variable or element is missing.
bool ReadRaw(Ctx& c, const RToken& n, const VarRef& ref, RValue& out) {
  bool generic;
  if (RVariable* var = PlainVar(c, n, ref.owner, ref.id, false, generic)) {
    if (const RValue* e = CVariableList::Element(*var, ref.index)) {
      CopyValue(out, *e);
      return true;
    }
    return false;
  }
  if (!generic) return false;  // no such variable
  switch (ref.owner) {
    case OWNER_UNQUALIFIED:
    case OWNER_SELF:
      if (static_cast<unsigned>(ref.id - g_arg0) < 16u && ref.index == 0) {
        CopyValue(out, g_frame->slots[ref.id - g_arg0]);
        return true;
      }
      return InstanceGetVar(c.self, ref.id, ref.index, out);
    case OWNER_OTHER:
      return InstanceGetVar(c.other, ref.id, ref.index, out);
    case OWNER_NOONE:
      return false;
    default:
      return OwnerGetVar(ref.owner, ref.id, ref.index, out);
  }
}

inline bool ReadVar(Ctx& c, const RToken& n, const VarRef& ref, RValue& out) {
  if (ReadRaw(c, n, ref, out)) return true;
  if (opt_uninitzero) {
    out.SetReal(0);
    return true;
  }
  return UnknownVariable(c, n, ref.id, ref.index);
}

bool Store(Ctx& c, const RToken& n, const VarRef& ref, const RValue& v) {
  bool generic;
  if (RVariable* var = PlainVar(c, n, ref.owner, ref.id, true, generic)) {
    CopyValue(CVariableList::ElementForWrite(*var, ref.index), v);
    return true;
  }
  switch (ref.owner) {
    case OWNER_UNQUALIFIED:
    case OWNER_SELF:
      return InstanceSetVar(c.self, ref.id, ref.index, v);
    case OWNER_OTHER:
      return InstanceSetVar(c.other, ref.id, ref.index, v);
    case OWNER_NOONE:
      return false;
    default:
      return OwnerSetVar(ref.owner, ref.id, ref.index, v);
  }
}

// ---- expressions ----
bool CallFunction(Ctx& c, const RToken& n, RValue& out) {
  int argc = n.itemnumb;
  ValueStack::Mark mark = g_values.Save();
  RValue* args = g_values.Push(argc);
  for (int k = 0; k < argc; ++k)
    if (!Eval(c, n.items[static_cast<size_t>(k)], args[k])) {
      g_values.Restore(mark);
      return false;
    }
  bool ok = true;
  int id = n.ind;
  if (id < kScriptFunctionBase) {
    out.SetReal(0);
    if (id >= 0 && id < FunctionCount()) {
      const RFunction& f = FunctionGet(id);
      if (f.f_routine) f.f_routine(c.self, c.other, argc, out, args);
      // A fatal error stops the code: nothing after it may undo the end.
      if (ErrorTerminating()) ok = false;
    }
  } else if (id < kExtensionFunctionBase) {
    ok = RunScript(id - kScriptFunctionBase, c.self, c.other, out, true, args, argc, true);
  } else {
    ok = ExtensionFunctionCall(id - kExtensionFunctionBase, c.self, c.other, out, args, argc);
  }
  g_values.Restore(mark);
  return ok;
}

inline bool ApplyReal(int op, double l, double r, double& out);
inline bool Finite(double d, double& out);

// A built-in variable of self whose reading is a plain field read (see
// MarkPure): its getter, with the value required to be a real.
__attribute__((noinline)) bool BuiltinLeaf(Ctx& c, const RToken& n, double& out) {
  RValue v;
  if (!BuiltinGetVar(c.self, n.ind, 0, v) || v.kind != RValue::kReal) return false;
  out = v.val;
  return true;
}

// A leaf of pure arithmetic read in place: constants, local slots, argument
// slots and unqualified user variables. Pure built-in variables are left to
// EvalRealOther, which keeps this inlined path free of calls. False when the
// node is no such leaf (`leaf` false) or the value is missing or not a real.
inline bool Leaf(Ctx& c, const RToken& n, double& out, bool& leaf) {
  leaf = true;
  if (n.kind == TK_CONSTANT) {
    out = n.value.val;
    return true;
  }
  if (n.kind == TK_CONSTOWNERVAR) {
    const RValue* v;
    if (n.ind2 == OWNER_LOCAL) {
      const LocalSlot& s = c.lslots[n.slot];
      if (!s.defined) return false;
      v = &s.var.simplevalue;
    } else if (n.ind < kBuiltinVarLimit) {
      if (static_cast<unsigned>(n.ind - g_arg0) >= 16u) [[unlikely]] {
        leaf = false;  // a built-in variable: read by EvalRealOther
        return false;
      }
      v = &g_frame->slots[n.ind - g_arg0];
    } else {
      CVariableList& list = GlobalIsDeclared(n.ind) ? GlobalVars() : c.self->i_vars;
      const RVariable* var = list.Find(n.ind, n.cache);
      if (!var) return false;
      v = &var->simplevalue;
    }
    if (v->kind != RValue::kReal) return false;
    out = v->val;
    return true;
  }
  leaf = false;
  return false;
}

// An operand of pure arithmetic: leaves and operators on two leaves are
// computed in place, anything else through EvalReal.
inline bool Operand(Ctx& c, const RToken& n, double& out) {
  bool leaf;
  bool ok = Leaf(c, n, out, leaf);
  if (leaf) return ok;
  if (n.kind == TK_BINARY) {
    double l, r;
    bool leafl, leafr;
    bool okl = Leaf(c, n.items[0], l, leafl);
    if (leafl) {
      if (!okl) return false;
      bool okr = Leaf(c, n.items[1], r, leafr);
      if (!leafr) okr = EvalReal(c, n.items[1], r);
      return okr && ApplyReal(n.ind, l, r, out);
    }
  }
  return EvalReal(c, n, out);
}

inline bool Finite(double d, double& out) {
  if (!std::isfinite(d)) [[unlikely]]
    return false;
  out = d;
  return true;
}

// The operators of pure arithmetic; false when the operation would fail.
// Always inlined: the chain walkers add call sites that would otherwise tip
// the compiler into an out-of-line copy on the hot paths.
__attribute__((always_inline)) inline bool ApplyReal(int op, double l, double r, double& out) {
  const double e = kCompareEpsilon;
  switch (op) {
    // A result that is no finite number is an error, which BinaryOperation
    // reports; out is left alone so that a variable combined in place keeps
    // its value.
    case SYM_PLUS: return Finite(l + r, out);
    case SYM_MINUS: return Finite(l - r, out);
    case SYM_TIMES: return Finite(l * r, out);
    case SYM_DIVIDE: return r != 0 && Finite(l / r, out);
    case SYM_DIV: return r != 0 && Finite(std::trunc(l / r), out);
    case SYM_MOD: return r != 0 && Finite(l - std::trunc(l / r) * r, out);
    case SYM_LT: out = l - r < -e ? 1 : 0; return true;
    case SYM_LE: out = l - r <= e ? 1 : 0; return true;
    case SYM_ASSIGN: case SYM_EQ: out = (l - r > -e && l - r < e) ? 1 : 0; return true;
    case SYM_NE: out = (l - r < -e || l - r > e) ? 1 : 0; return true;
    case SYM_GE: out = l - r >= -e ? 1 : 0; return true;
    case SYM_GT: out = l - r > e ? 1 : 0; return true;
    case SYM_AND: out = (l >= 0.5 && r >= 0.5) ? 1 : 0; return true;
    case SYM_OR: out = (l >= 0.5 || r >= 0.5) ? 1 : 0; return true;
    case SYM_XOR: out = ((l >= 0.5) != (r >= 0.5)) ? 1 : 0; return true;
    default: return false;
  }
}

bool EvalRealChain(Ctx& c, const RToken& n, double& out);

// The other node kinds of pure arithmetic.
__attribute__((noinline)) bool EvalRealOther(Ctx& c, const RToken& n, double& out) {
  switch (n.kind) {
    case TK_BINARY:
      return EvalRealChain(c, n, out);
    case TK_CONSTANT:
      out = n.value.val;
      return true;
    case TK_CONSTOWNERVAR: {
      // The leaf rules live in Leaf alone: a second copy here once read
      // `local.x` as the instance's built-in x (a local string became 0).
      bool leaf;
      bool ok = Leaf(c, n, out, leaf);
      return leaf ? ok : BuiltinLeaf(c, n, out);
    }
    case TK_VARIABLE: {
      int index = 0;
      for (size_t k = 1; k < n.items.size(); ++k) {
        double d;
        if (!Operand(c, n.items[k], d)) return false;
        int64_t i = RoundToInt64(d);
        if (i < 0 || i >= g_maxArrayIndex) return false;
        index = index * kArrayDim + static_cast<int>(i);
      }
      const RVariable* var;
      if (n.ind2 == OWNER_LOCAL) {
        const LocalSlot& s = c.lslots[n.slot];
        if (!s.defined) return false;
        var = &s.var;
      } else {
        CVariableList& list = GlobalIsDeclared(n.ind) ? GlobalVars() : c.self->i_vars;
        var = list.Find(n.ind, n.cache);
        if (!var) return false;
      }
      const RValue* v = CVariableList::Element(*var, index);
      if (!v || v->kind != RValue::kReal) return false;
      out = v->val;
      return true;
    }
    case TK_UNARY: {
      if (!EvalReal(c, n.items[0], out)) return false;
      if (n.ind == SYM_MINUS) out = -out;
      else if (n.ind == SYM_NOT) out = out < 0.5 ? 1 : 0;
      return true;
    }
    default:
      return false;
  }
}

// Binary node n starts a chain of three links or more: walked in a loop
// (see g_chain). Shorter ones recurse, at most two levels, at no cost.
inline bool LongChain(const RToken& n) {
  const RToken& left = n.items[0];
  return left.kind == TK_BINARY && left.items[0].kind == TK_BINARY;
}

// Pure arithmetic on a pure expression. False when a variable on the way is
// missing or not a real, or an operation would fail; the caller then
// evaluates the expression the general way, which is safe because pure
// expressions have no side effects.
bool EvalReal(Ctx& c, const RToken& n, double& out) {
  // Long chains go the way of the other kinds, which keeps this path short.
  if (n.kind == TK_BINARY && !n.longchain) {
    double l, r;
    return Operand(c, n.items[0], l) && Operand(c, n.items[1], r) && ApplyReal(n.ind, l, r, out);
  }
  return EvalRealOther(c, n, out);
}

// EvalReal of a left-deep chain (see g_chain).
bool EvalRealChain(Ctx& c, const RToken& n, double& out) {
  const size_t base = g_chain.size();
  const RToken* link = &n;
  while (link->kind == TK_BINARY) {
    g_chain.push_back(link);
    link = &link->items[0];
  }
  // EvalReal rather than the inlined Operand: the same value, and the hot
  // paths elsewhere keep their inlining.
  double acc;
  bool ok = EvalReal(c, *link, acc);
  for (size_t k = g_chain.size(); ok && k-- > base;) {
    const RToken& node = *g_chain[k];
    double r;
    ok = EvalReal(c, node.items[1], r) && ApplyReal(node.ind, acc, r, acc);
  }
  g_chain.resize(base);
  if (ok) out = acc;
  return ok;
}

// The right operand of binary node n combined into out, which holds the
// value of the left operand.
inline bool Combine(Ctx& c, const RToken& n, RValue& out) {
  const RToken& rn = n.items[1];
  // Two reals: the operators that cannot fail are computed here (as pure
  // arithmetic computes them); the rest, and every error, go to
  // BinaryOperation.
  if (rn.kind == TK_CONSTANT) {
    if (out.kind == RValue::kReal && rn.value.kind == RValue::kReal && g_fastPaths &&
        ApplyReal(n.ind, out.val, rn.value.val, out.val))
      return true;
    return BinaryOperation(*c.code, rn.position, n.ind, rn.value, out);
  }
  RValue right;
  if (!Eval(c, rn, right)) return false;
  if (out.kind == RValue::kReal && right.kind == RValue::kReal && g_fastPaths &&
      ApplyReal(n.ind, out.val, right.val, out.val))
    return true;
  return BinaryOperation(*c.code, rn.position, n.ind, right, out);
}

// Eval of a long chain (see LongChain and g_chain).
__attribute__((noinline)) bool EvalChain(Ctx& c, const RToken& n, RValue& out) {
  const size_t base = g_chain.size();
  const RToken* link = &n;
  bool known = false;  // the left operand of the last link is in out
  for (;;) {
    g_chain.push_back(link);
    const RToken& left = link->items[0];
    if (left.kind != TK_BINARY) break;
    double d;
    if (left.pureroot && EvalReal(c, left, d)) {  // as Eval tries it first
      out.SetReal(d);
      known = true;
      break;
    }
    link = &left;
  }
  bool ok = known || Eval(c, g_chain.back()->items[0], out);
  for (size_t k = g_chain.size(); ok && k-- > base;) ok = Combine(c, *g_chain[k], out);
  g_chain.resize(base);
  return ok;
}

// Eval of a variable whose owner is a variable that is read first (a.b.c;
// see g_chain).
__attribute__((noinline)) bool EvalVariableChain(Ctx& c, const RToken& n, RValue& out) {
  const size_t base = g_chain.size();
  const RToken* link = &n;
  while (link->kind == TK_VARIABLE && !link->constowner && link->items[0].kind == TK_VARIABLE) {
    g_chain.push_back(link);
    link = &link->items[0];
  }
  bool ok = Eval(c, *link, out);
  for (size_t k = g_chain.size(); ok && k-- > base;) {
    const RToken& node = *g_chain[k];
    VarRef ref;
    ok = Resolve(c, node, ref, &out) && ReadVar(c, node, ref, out);
  }
  g_chain.resize(base);
  return ok;
}

bool Eval(Ctx& c, const RToken& n, RValue& out) {
  if (n.pureroot && n.kind != TK_CONSTANT) {
    double d;
    if (Operand(c, n, d)) {
      out.SetReal(d);
      return true;
    }
  }
  switch (n.kind) {
    case TK_CONSTANT:
      CopyValue(out, n.value);
      return true;
    case TK_CONSTOWNERVAR: {
      if (n.ind2 == OWNER_LOCAL && n.slot >= 0) {
        const LocalSlot& s = c.lslots[n.slot];
        if (s.defined) {
          CopyValue(out, s.var.simplevalue);
          return true;
        }
      } else if (n.ind2 == OWNER_UNQUALIFIED && n.ind >= kBuiltinVarLimit && g_fastPaths) {
        CVariableList& list = GlobalIsDeclared(n.ind) ? GlobalVars() : c.self->i_vars;
        if (const RVariable* v = list.Find(n.ind, n.cache)) {
          CopyValue(out, v->simplevalue);
          return true;
        }
      }
      VarRef ref{n.ind2, n.ind, 0};
      return ReadVar(c, n, ref, out);
    }
    case TK_VARIABLE: {
      if (!n.constowner && n.items[0].kind == TK_VARIABLE) return EvalVariableChain(c, n, out);
      VarRef ref;
      if (!Resolve(c, n, ref)) return false;
      return ReadVar(c, n, ref, out);
    }
    case TK_BINARY:
      if (LongChain(n)) return EvalChain(c, n, out);
      if (!Eval(c, n.items[0], out)) return false;
      return Combine(c, n, out);
    case TK_UNARY:
      if (!Eval(c, n.items[0], out)) return false;
      return UnaryOperation(*c.code, n.position, n.ind, out);
    case TK_CALL:
      return CallFunction(c, n, out);
    default:
      return Fail(c, n.position, "(Sub-)expression expected.");
  }
}

// ---- statements ----
// `v = v + e` on a string: e is appended in place (amortised constant time).
// The read of v that the general path does first has no effect, and e cannot
// change v (see MarkAppends), so only the order of the checks matters: a
// missing or real v goes the general way. Returns 1 when not applicable.
int AppendSelf(Ctx& c, const RToken& n, RValue& result) {
  const RToken& target = n.items[0];
  const RToken& right = n.items[1].items[1];
  bool generic;
  RVariable* var = PlainVar(c, target, target.ind2, target.ind, false, generic);
  if (!var || var->simplevalue.kind != RValue::kString) return 1;
  RValue tail;
  if (!Eval(c, right, tail)) return C_ERROR;
  var = PlainVar(c, target, target.ind2, target.ind, false, generic);
  RValue& v = var->simplevalue;
  if (tail.kind == RValue::kString && v.kind == RValue::kString &&
      v.str.size() + tail.str.size() <= g_maxStringLength) {
    v.str += tail.str;
  } else if (!BinaryOperation(*c.code, right.position, SYM_PLUS, tail, v)) {
    return C_ERROR;
  }
  if (!n.resultdead) CopyValue(result, v);
  return C_NORMAL;
}

// Stores into a plain variable, moving the text when the result slot is dead.
inline void StorePlain(RValue& dst, RValue& result, bool resultdead) {
  if (resultdead && result.kind == RValue::kString) {
    dst.kind = RValue::kString;
    dst.str.swap(result.str);
  } else {
    CopyValue(dst, result);
  }
}

int Assign(Ctx& c, const RToken& n, RValue& result) {
  const RToken& target = n.items[0];
  const RToken& expr = n.items[1];
  if (n.appendself) {
    int r = AppendSelf(c, n, result);
    if (r != 1) return r;
  }
  if (expr.pureroot && target.kind == TK_CONSTOWNERVAR && (n.ind == SYM_ASSIGN || n.ind == SYM_ADDASSIGN ||
                                                           n.ind == SYM_SUBASSIGN)) {
    bool generic;
    double d;
    if (n.ind == SYM_ASSIGN) {
      // The value first: the target must not exist while it is computed.
      if (Operand(c, expr, d)) {
        RVariable* var = PlainVar(c, target, target.ind2, target.ind, true, generic);
        if (var) {
          var->simplevalue.SetReal(d);
          result.SetReal(d);
          return C_NORMAL;
        }
        if (generic) {
          // A built-in variable or one reached through an owner: the value
          // is known, only the store remains (the general path below would
          // compute it a second time).
          result.SetReal(d);
          const VarRef ref{target.ind2, target.ind, 0};
          const bool ofself = target.ind2 == OWNER_UNQUALIFIED || target.ind2 == OWNER_SELF;
          if (!(ofself ? BuiltinSetVar(c.self, target.ind, 0, result) : Store(c, target, ref, result))) {
            RecordCodeError(*c.code, n.position, "Cannot assign to the variable");
            return C_ERROR;
          }
          return C_NORMAL;
        }
      }
    } else if (RVariable* var = PlainVar(c, target, target.ind2, target.ind, false, generic)) {
      RValue& v = var->simplevalue;
      if (v.kind == RValue::kReal && Operand(c, expr, d) &&
          Finite(n.ind == SYM_ADDASSIGN ? v.val + d : v.val - d, v.val)) {
        result.SetReal(v.val);
        return C_NORMAL;
      }
    } else if (generic && (target.ind2 == OWNER_UNQUALIFIED || target.ind2 == OWNER_SELF) &&
               !IsArgumentVariable(target.ind) && Operand(c, expr, d)) {
      // `x += ...` on a built-in variable of self: the steps of the general
      // path below (read, combine, store, with its errors) without resolving
      // the target again.
      if (!BuiltinGetVar(c.self, target.ind, 0, result)) {
        if (opt_uninitzero) {
          result.SetReal(0);
          return C_NORMAL;
        }
        UnknownVariable(c, target, target.ind, 0);
        return C_ERROR;
      }
      const int op = n.ind == SYM_ADDASSIGN ? SYM_PLUS : SYM_MINUS;
      if (result.kind == RValue::kReal && Finite(op == SYM_PLUS ? result.val + d : result.val - d, result.val)) {
      } else if (!BinaryOperation(*c.code, expr.position, op, RValue(d), result)) {
        return C_ERROR;
      }
      if (!BuiltinSetVar(c.self, target.ind, 0, result)) {
        RecordCodeError(*c.code, n.position, "Cannot assign to the variable");
        return C_ERROR;
      }
      return C_NORMAL;
    }
  }
  if (expr.pureroot && target.pure && n.ind == SYM_ASSIGN) {
    // An element of a plain array set to pure arithmetic.
    double d;
    VarRef ref;
    if (Operand(c, expr, d) && Resolve(c, target, ref)) {
      bool generic;
      if (RVariable* var = PlainVar(c, target, ref.owner, ref.id, true, generic)) {
        CVariableList::ElementForWrite(*var, ref.index).SetReal(d);
        result.SetReal(d);
        return C_NORMAL;
      }
    }
    if (ErrorPending()) return C_ERROR;
  }
  VarRef ref;
  if (!Resolve(c, target, ref)) return C_ERROR;
  if (n.ind == SYM_ASSIGN) {
    if (!Eval(c, n.items[1], result)) return C_ERROR;
  } else {
    RValue value;
    if (!Eval(c, n.items[1], value)) return C_ERROR;
    int op;
    switch (n.ind) {
      case SYM_ADDASSIGN: op = SYM_PLUS; break;
      case SYM_SUBASSIGN: op = SYM_MINUS; break;
      case SYM_MULASSIGN: op = SYM_TIMES; break;
      case SYM_DIVASSIGN: op = SYM_DIVIDE; break;
      case SYM_ORASSIGN: op = SYM_BITOR; break;
      case SYM_ANDASSIGN: op = SYM_BITAND; break;
      default: op = SYM_BITXOR; break;
    }
    // Combine in place when the variable lives in a plain list.
    bool generic;
    RVariable* var = g_fastPaths ? PlainVar(c, target, ref.owner, ref.id, false, generic) : nullptr;
    if (var) {
      RValue* e = const_cast<RValue*>(CVariableList::Element(*var, ref.index));
      if (e) {
        if (op == SYM_PLUS && e->kind == RValue::kReal && value.kind == RValue::kReal &&
            Finite(e->val + value.val, e->val)) {
        } else if (!BinaryOperation(*c.code, n.items[1].position, op, value, *e)) {
          return C_ERROR;
        }
        if (!n.resultdead) CopyValue(result, *e);
        return C_NORMAL;
      }
    }
    if (!ReadRaw(c, target, ref, result)) {
      if (opt_uninitzero) {
        result.SetReal(0);
        return C_NORMAL;
      }
      UnknownVariable(c, target, ref.id, ref.index);
      return C_ERROR;
    }
    if (result.kind != RValue::kReal || value.kind != RValue::kReal || !g_fastPaths ||
        !ApplyReal(op, result.val, value.val, result.val)) {
      if (!BinaryOperation(*c.code, n.items[1].position, op, value, result)) return C_ERROR;
    }
  }
  if (n.resultdead) {
    bool generic;
    if (RVariable* var = PlainVar(c, target, ref.owner, ref.id, true, generic)) {
      StorePlain(CVariableList::ElementForWrite(*var, ref.index), result, true);
      return C_NORMAL;
    }
  }
  if (!Store(c, target, ref, result)) {
    RecordCodeError(*c.code, n.position, "Cannot assign to the variable");
    return C_ERROR;
  }
  return C_NORMAL;
}

// The shortest path of an assignment (see RToken::fastassign); anything it
// cannot finish goes to Assign, which starts from scratch (the value is pure,
// so computing it twice has no effect).
inline int FastAssign(Ctx& c, const RToken& n, RValue& result) {
  const RToken& target = n.items[0];
  double d;
  RValue* v;
  if (n.fastassign == 1) {
    LocalSlot& s = c.lslots[target.slot];
    if (n.ind == SYM_ASSIGN) {
      if (!Operand(c, n.items[1], d)) return Assign(c, n, result);
      s.defined = true;
      s.var.ind = target.ind;
      s.var.simplevalue.SetReal(d);
      result.SetReal(d);
      return C_NORMAL;
    }
    if (!s.defined) return Assign(c, n, result);
    v = &s.var.simplevalue;
  } else {
    CVariableList& list = GlobalIsDeclared(target.ind) ? GlobalVars() : c.self->i_vars;
    RVariable* var = list.Find(target.ind, target.cache);
    if (!var) return Assign(c, n, result);
    v = &var->simplevalue;
    if (n.ind == SYM_ASSIGN) {
      if (!Operand(c, n.items[1], d)) return Assign(c, n, result);
      v->SetReal(d);
      result.SetReal(d);
      return C_NORMAL;
    }
  }
  if (v->kind != RValue::kReal || !Operand(c, n.items[1], d)) return Assign(c, n, result);
  if (!Finite(n.ind == SYM_ADDASSIGN ? v->val + d : v->val - d, v->val)) return Assign(c, n, result);
  result.SetReal(v->val);
  return C_NORMAL;
}

// One statement of a list: assignments without the general dispatch.
inline int Statement(Ctx& c, const RToken& s, RValue& result) {
  if (s.fastassign) return FastAssign(c, s, result);
  return s.kind == TK_ASSIGN ? Assign(c, s, result) : Exec(c, s, result);
}

// A condition: -1 error, 0 false, 1 true.
inline int Condition(Ctx& c, const RToken& e, RValue& scratch, const char* msg) {
  double d;
  if (e.pure && Operand(c, e, d)) return d >= 0.5 ? 1 : 0;
  if (!Eval(c, e, scratch)) return -1;
  if (scratch.kind != RValue::kReal) {
    Fail(c, e.position, msg);
    return -1;
  }
  return scratch.val >= 0.5 ? 1 : 0;
}

// Runs a with body for one instance: self becomes it, other the old self.
inline int WithBody(Ctx& c, CInstance* inst, const RToken& body, RValue& result) {
  CInstance* oldSelf = c.self;
  CInstance* oldOther = c.other;
  c.other = c.self;
  c.self = inst;
  int r = Exec(c, body, result);
  c.self = oldSelf;
  c.other = oldOther;
  return r;
}

int With(Ctx& c, const RToken& n, RValue& result) {
  RValue v;
  if (!Eval(c, n.items[0], v)) return C_ERROR;
  if (v.kind != RValue::kReal) {
    Fail(c, n.items[0].position, "Object id expected");
    return C_ERROR;
  }
  int owner = RoundToInt(v.val);
  const RToken& body = n.items[1];
  IInstanceSource& src = Instances();
  switch (owner) {
    case OWNER_LOCAL:
      Fail(c, n.position, "Cannot use local in with statement.");
      return C_ERROR;
    case OWNER_GLOBAL:
      Fail(c, n.position, "Cannot use global in with statement.");
      return C_ERROR;
    case OWNER_NOONE:
      return C_NORMAL;
    case OWNER_OTHER: {
      int r = WithBody(c, c.other, body, result);
      return r == C_CONTINUE ? C_NORMAL : r;
    }
    case OWNER_SELF:
    case OWNER_UNQUALIFIED: {
      int r = WithBody(c, c.self, body, result);
      return r == C_CONTINUE ? C_NORMAL : r;
    }
    case OWNER_ALL: {
      int count = src.Count();
      for (int pos = 0; pos < count; ++pos) {
        CInstance* inst = src.At(pos);
        if (!inst) break;
        if (inst->i_marked) continue;
        int r = WithBody(c, inst, body, result);
        if (r == C_NORMAL || r == C_CONTINUE) continue;
        return r == C_BREAK ? C_NORMAL : r;
      }
      return C_NORMAL;
    }
    default:
      break;
  }
  if (owner < 0) return C_NORMAL;
  if (owner > kMaxObjectIndex) {
    int count = src.Count();
    for (int pos = 0; pos < count; ++pos) {
      CInstance* inst = src.At(pos);
      if (!inst) break;
      if (inst->i_id != owner) continue;
      if (inst->i_marked) return C_NORMAL;
      int r = WithBody(c, inst, body, result);
      return r == C_CONTINUE ? C_NORMAL : r;
    }
    return C_NORMAL;
  }
  int count = src.ObjCount(owner);
  for (int k = 0; k < count; ++k) {
    CInstance* inst = src.ObjAt(owner, k);
    if (!inst) break;
    if (inst->i_marked) continue;
    int r = WithBody(c, inst, body, result);
    if (r == C_NORMAL || r == C_CONTINUE) continue;
    return r == C_BREAK ? C_NORMAL : r;
  }
  return C_NORMAL;
}

bool SwitchEqual(const RValue& a, const RValue& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == RValue::kReal) return a.val == b.val;
  return a.str == b.str;
}

int Switch(Ctx& c, const RToken& n, RValue& result) {
  RValue value;
  if (!Eval(c, n.items[0], value)) return C_ERROR;
  size_t start = 0;
  RValue label;
  for (size_t k = 1; k < n.items.size(); ++k) {
    const RToken& s = n.items[k];
    if (s.kind == TK_DEFAULT) {
      start = k + 1;
      break;
    }
    if (s.kind == TK_CASE) {
      if (!Eval(c, s.items[0], label)) return C_ERROR;
      if (SwitchEqual(value, label)) {
        start = k + 1;
        break;
      }
    }
  }
  if (start == 0) return C_NORMAL;
  for (size_t k = start; k < n.items.size(); ++k) {
    const RToken& s = n.items[k];
    if (s.kind == TK_CASE || s.kind == TK_DEFAULT) continue;
    int r = Exec(c, s, result);
    if (r == C_NORMAL) continue;
    return r == C_BREAK ? C_NORMAL : r;
  }
  return C_NORMAL;
}

int Exec(Ctx& c, const RToken& n, RValue& result) {
  switch (n.kind) {
    case TK_BLOCK:
      for (const RToken& s : n.items) {
        int r = Statement(c, s, result);
        if (r != C_NORMAL) return r;
      }
      return C_NORMAL;
    case TK_ASSIGN:
      return n.fastassign ? FastAssign(c, n, result) : Assign(c, n, result);
    case TK_CALL:
      return CallFunction(c, n, result) ? C_NORMAL : C_ERROR;
    case TK_IF:
      // An else-if chain is followed in a loop.
      for (const RToken* link = &n;;) {
        // Conditions do not write the result slot: only calls, assignments
        // and return do.
        const RToken& e = link->items[0];
        double d;
        int cond;
        if (e.pure && Operand(c, e, d)) {
          cond = d >= 0.5 ? 1 : 0;
        } else {
          RValue scratch;
          cond = Condition(c, e, scratch, "Expression expected");
        }
        if (cond < 0) return C_ERROR;
        if (cond) return Exec(c, link->items[1], result);
        if (link->itemnumb <= 2) return C_NORMAL;
        const RToken& other = link->items[2];
        if (other.kind != TK_IF) return Exec(c, other, result);
        link = &other;
      }
    case TK_WHILE: {
      RValue scratch;
      for (;;) {
        int cond = Condition(c, n.items[0], scratch, "Boolean expression expected");
        if (cond < 0) return C_ERROR;
        if (!cond) return C_NORMAL;
        if (!Spend(c, n.position)) return C_ERROR;
        int r = Exec(c, n.items[1], result);
        if (r == C_NORMAL || r == C_CONTINUE) continue;
        return r == C_BREAK ? C_NORMAL : r;
      }
    }
    case TK_DO: {
      RValue scratch;
      for (;;) {
        if (!Spend(c, n.position)) return C_ERROR;
        int r = Exec(c, n.items[0], result);
        if (r == C_NORMAL || r == C_CONTINUE) {
          int cond = Condition(c, n.items[1], scratch, "Boolean expression expected");
          if (cond < 0) return C_ERROR;
          if (cond) return C_NORMAL;
          continue;
        }
        return r == C_BREAK ? C_NORMAL : r;
      }
    }
    case TK_FOR: {
      RValue scratch;
      int r = Exec(c, n.items[0], scratch);
      while (r == C_NORMAL) {
        int cond = Condition(c, n.items[1], scratch, "Expression expected");
        if (cond < 0) return C_ERROR;
        if (!cond) return C_NORMAL;
        if (!Spend(c, n.position)) return C_ERROR;
        r = Statement(c, n.items[3], result);
        if (r == C_NORMAL || r == C_CONTINUE) {
          r = Statement(c, n.items[2], scratch);
          continue;
        }
        return r == C_BREAK ? C_NORMAL : r;
      }
      return r;
    }
    case TK_REPEAT: {
      RValue count;
      if (!Eval(c, n.items[0], count)) return C_ERROR;
      if (count.kind != RValue::kReal) {
        Fail(c, n.items[0].position, "Repeat count must be a number");
        return C_ERROR;
      }
      int64_t times = RoundToInt64(count.val);
      for (int64_t k = 0; k < times; ++k) {
        if (!Spend(c, n.position)) return C_ERROR;
        int r = Exec(c, n.items[1], result);
        if (r == C_NORMAL || r == C_CONTINUE) continue;
        return r == C_BREAK ? C_NORMAL : r;
      }
      return C_NORMAL;
    }
    case TK_EXIT:
      return C_EXIT;
    case TK_BREAK:
      return C_BREAK;
    case TK_CONTINUE:
      return C_CONTINUE;
    case TK_RETURN:
      return Eval(c, n.items[0], result) ? C_EXIT : C_ERROR;
    case TK_WITH:
      return With(c, n, result);
    case TK_SWITCH:
      return Switch(c, n, result);
    case TK_CASE:
      Fail(c, n.position, "Case statement only allowed inside switch statement.");
      return C_ERROR;
    case TK_DEFAULT:
      Fail(c, n.position, "Default statement only allowed inside switch statement.");
      return C_ERROR;
    case TK_VAR:
      return C_NORMAL;
    case TK_GLOBALVAR:
      for (const RToken& name : n.items) GlobalDeclare(name.ind);
      return C_NORMAL;
    case TK_EMPTYPROGRAM:
      // An empty code does nothing.
      return C_NORMAL;
    default:
      Fail(c, n.position, "Statement expected.");
      return C_ERROR;
  }
}

__attribute__((noinline)) void ArgCountError(const std::string& name, bool atleast, int required, int supplied) {
  RecordErrorText("Illegal argument count calling script \"" + name + "\".\r" +
                  (atleast ? "Script requires at least " : "Script requires ") + std::to_string(required) +
                  " arguments, " + std::to_string(supplied) + " have been supplied.");
}

__attribute__((noinline)) void AddScriptLine(const std::string& name) { ErrorAddScriptLine(name); }

int g_execDepth = 0;
// Local slots of the executions in progress, one vector per nesting depth
// (a vector's storage does not move when the outer vector grows).
std::vector<std::vector<LocalSlot>> g_slotPool;

inline bool RunCompiled(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  ErrorClear();
  EnsureFrames();
  if (g_execDepth == 0) InitStackLimit();
  if (!code || !code->i_compiled) {
    if (code) RecordCodeError(*code, 0, "Internal Error: Executing non-compiled code.");
    else RecordErrorText("Internal Error: Executing non-compiled code.");
    return false;
  }
  if (code->i_kind == 3) {
    CopyValue(result, code->i_value);
    return true;
  }
  if (!self || !other) {
    RecordCodeError(*code, 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  if (StackLow()) {
    RecordCodeError(*code, 0, "Recursion too deep: out of stack space.");
    return false;
  }
  if (g_budget >= 0) {
    if (g_budget == 0) {
      RecordCodeError(*code, 0, kBudgetText);
      return false;
    }
    --g_budget;
  }
  size_t nslots = code->i_localIds.size();
  LocalSlot* slots = nullptr;
  if (nslots) {
    if (g_slotPool.size() <= static_cast<size_t>(g_execDepth)) g_slotPool.resize(static_cast<size_t>(g_execDepth) + 1);
    auto& pool = g_slotPool[static_cast<size_t>(g_execDepth)];
    if (pool.size() < nslots) pool.resize(nslots);
    slots = pool.data();
  }
  Ctx c{self, other, nullptr, code, slots};
  ++g_execDepth;
  bool ok;
  if (code->i_kind == 2) ok = Eval(c, code->i_token, result);
  else ok = Exec(c, code->i_token, result) != C_ERROR;
  --g_execDepth;
  for (size_t k = 0; k < nslots; ++k) {
    LocalSlot& s = slots[k];
    if (!s.defined) continue;
    s.defined = false;
    s.var.simplevalue.SetReal(0);
    if (!s.var.value.empty()) s.var.value.clear();
  }
  if (c.locals) FreeLocals(c.locals);
  return ok;
}


bool RunScript(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, RValue* args, int count,
               bool moveargs) {
  CScript* script = ScriptGet(index);
  if (!script) return false;
  if (count > 16) count = 16;
  if (count < 0) count = 0;
  const std::string& name = ScriptGetName(index);
  RArgFrame& f = PushFrame();
  f.count = count;
  f.name = &name;
  for (int k = 0; k < count; ++k) {
    RValue& slot = f.slots[k];
    if (moveargs && args[k].kind == RValue::kString) {
      slot.kind = RValue::kString;
      slot.str.swap(args[k].str);
    } else {
      CopyValue(slot, args[k]);
    }
  }
  for (int k = count; k < f.dirty; ++k) f.slots[k].SetReal(0);
  f.dirty = count;
  result.SetReal(0);
  const CCode* code = script->s_code.get();
  bool ok;
  static const CCode kNotCompiled;
  ok = RunCompiled(self, other, code ? code : &kNotCompiled, result);
  if (!ok) result.SetString("ERROR");
  if (!ok) AddScriptLine(name);
  if (checkargs && opt_argerrors && code) {
    bool atleast = code->i_ArgArray;
    bool bad = atleast ? count < code->i_Args : count != code->i_Args;
    if (bad) {
      ArgCountError(name, atleast, code->i_Args, count);
      ok = false;
    }
  }
  PopFrame();
  return ok;
}

}  // namespace

void SetExecutionBudget(long long steps) { g_budget = steps; }

bool IsArgumentVariable(int id) { return static_cast<unsigned>(id - g_arg0) < 16u; }

void SetArgumentVariableIds(int argument0) { g_arg0 = argument0; }

RArgFrame& CurrentArgs() {
  EnsureFrames();
  return *g_frame;
}

std::string CurrentScriptName() {
  const RArgFrame& f = CurrentArgs();
  return f.name ? *f.name : std::string("<unknown>");
}

bool ExecuteCode(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  return RunCompiled(self, other, code, result);
}

bool ExecuteCodeReport(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  if (ExecuteCode(self, other, code, result)) return true;
  ReportActionError(ErrorText(), false);
  ErrorClear();
  return false;
}

bool ExecuteCodeValue(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  if (ExecuteCode(self, other, code, result)) return true;
  result.SetString("ERROR");
  return false;
}

bool ExecuteScript(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, const RValue* args,
                   int count) {
  EnsureFrames();
  return RunScript(index, self, other, result, checkargs, const_cast<RValue*>(args), count, false);
}
