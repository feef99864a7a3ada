// The interpreter. It walks the node tree directly: names were resolved to ids
// at compile time, constant owners were resolved (node kind 8), constants were
// folded, and every variable node remembers where its variable was found last,
// so the common access costs one compare in a variable list.
#include "script/Code_Spaces.h"
#include "script/Code_Exec.h"

#include <pthread.h>

#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runner/Option_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Interrupt.h"
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
// A slot is a power of two in size (the address of slot k is one shift
// away) with `defined` and the value on its first cache line.
struct alignas(64) LocalSlot {
  bool defined = false;
  RVariable var;
};

}  // namespace

struct RExecContext {
  CInstance* self;
  CInstance* other;
  CVariableList* locals;  // locals without a slot; null until the first write
  const CCode* code;
  LocalSlot* lslots;      // one per entry of code->i_localIds
};

namespace {
using Ctx = RExecContext;

int g_arg0 = -1000;  // variable id of argument0

// ---- execution budget and attention ----
// The one word every loop pass and script call reads: negative while code
// runs freely, the steps left while a budget is set (tests and hostile-code
// limits), or kAttention when another thread asked the running code to let
// the host look in (the window's close button, a termination signal). Only
// the game thread writes it, except that other threads turn "free" into
// kAttention, so the free path stays one load and one compare.
constexpr long long kAttention = LLONG_MAX;
std::atomic<long long> g_budget{-1};
constexpr const char* kBudgetText = "Execution step limit reached.";
bool (*g_attentionHandler)() = nullptr;
std::atomic<bool> g_codeStopped{false};

// The host looks in; false stops the code, and every code after it, for good.
__attribute__((noinline)) bool Attend() {
  if (g_codeStopped.load(std::memory_order_relaxed)) return false;
  long long asked = kAttention;
  g_budget.compare_exchange_strong(asked, -1, std::memory_order_relaxed);
  if (g_attentionHandler == nullptr || g_attentionHandler()) return true;
  g_codeStopped.store(true, std::memory_order_relaxed);
  g_budget.store(kAttention, std::memory_order_relaxed);
  return false;
}

__attribute__((noinline)) bool SpendCounted(const CCode& code, int position) {
  const long long left = g_budget.load(std::memory_order_relaxed);
  if (left == kAttention) return Attend();
  if (left < 0) return true;
  if (left == 0) {
    RecordCodeError(code, position, kBudgetText);
    return false;
  }
  g_budget.store(left - 1, std::memory_order_relaxed);
  return true;
}
// The position is read only when the word is not free, which keeps it out of
// every loop's pass.
inline bool Spend(const Ctx& c, const RToken& n) {
  if (g_budget.load(std::memory_order_relaxed) < 0) [[likely]] return true;
  return SpendCounted(*c.code, n.position);
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

// A script call reserves the next frame, fills its argument slots (the
// arguments are evaluated while the caller's frame is still current; a call
// among them reserves the frame after), then makes it current. The frame in
// use before is restored afterwards.
__attribute__((noinline)) void GrowFrames() { g_frames.push_back(std::make_unique<RArgFrame>()); }
inline RArgFrame& ReserveFrame() {
  ++g_frameDepth;
  if (g_frameDepth >= g_frames.size()) [[unlikely]] GrowFrames();
  return *g_frames[g_frameDepth];
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

bool RunInFrame(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, RArgFrame& f, int count);
__attribute__((always_inline)) inline bool CallInFrame(Ctx& c, const RToken& n, RArgFrame& f, int count,
                                                       RValue& out);

__attribute__((always_inline)) inline bool Eval(Ctx& c, const RToken& n, RValue& out);
bool EvalGeneral(Ctx& c, const RToken& n, RValue& out);
inline bool Operand(Ctx& c, const RToken& n, double& out);
inline bool Finite(double d, double& out);
// Runs a statement: one indirect call to the routine its node carries.
inline int Exec(Ctx& c, const RToken& n, RValue& result) { return n.exec(c, n, result); }

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
// A script call in code: the arguments go straight into the callee's slots.
__attribute__((noinline)) bool ArgumentFailed(RArgFrame& f, int count) {
  if (f.dirty < count) f.dirty = count;
  --g_frameDepth;
  return false;
}
// Arguments past the sixteenth are evaluated for their effects only.
__attribute__((noinline)) bool ExtraArguments(Ctx& c, const RToken& n) {
  for (int k = 16; k < n.itemnumb; ++k) {
    RValue extra;
    if (!Eval(c, n.items[static_cast<size_t>(k)], extra)) return false;
  }
  return true;
}
inline bool LocalValue(const Ctx& c, const RToken& n, double& out);
bool PLocal(Ctx& c, const RToken& n, double& out);
template <bool (*F)(Ctx&, const RToken&, double&)>
RealResult Real(Ctx& c, const RToken& n);
bool CallScript(Ctx& c, const RToken& n, RValue& out) {
  const int argc = n.itemnumb;
  RArgFrame& f = ReserveFrame();
  const int count = argc < 16 ? argc : 16;
  const RToken* args = n.items.data();
  for (int k = 0; k < count; ++k) {
    const RToken& a = args[k];
    RValue& slot = f.slots[k];
    // Constants and locals, the common arguments, are read here rather than
    // through EvalGeneral or the node's evaluator.
    double d;
    if (a.kind == TK_CONSTANT) CopyValue(slot, a.value);
    else if (a.real == Real<PLocal> && LocalValue(c, a, d)) slot.SetReal(d);
    else if (!Eval(c, a, slot)) [[unlikely]]
      return ArgumentFailed(f, count);
  }
  if (argc > 16) [[unlikely]]
    if (!ExtraArguments(c, n)) return ArgumentFailed(f, count);
  return CallInFrame(c, n, f, count, out);
}

bool CallFunction(Ctx& c, const RToken& n, RValue& out) {
  int argc = n.itemnumb;
  if (n.ind >= kScriptFunctionBase && n.ind < kExtensionFunctionBase) return CallScript(c, n, out);
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
    if (id >= 0 && id < g_builtinCount) {
      const RFunction& f = g_builtinTable[id];
      if (f.f_routine) f.f_routine(c.self, c.other, argc, out, args);
      // A fatal error stops the code: nothing after it may undo the end.
      if (ErrorTerminating()) ok = false;
    }
  } else {
    ok = ExtensionFunctionCall(id - kExtensionFunctionBase, c.self, c.other, out, args, argc);
  }
  g_values.Restore(mark);
  return ok;
}

inline bool Finite(double d, double& out) {
  if (!std::isfinite(d)) [[unlikely]]
    return false;
  out = d;
  return true;
}

// The operators of pure arithmetic; false when the operation would fail.
// CHECK false (for +, - and * only): the result is not checked here because
// the operator it goes into checks it, and an infinity or a NaN in an
// operand of +, - or * always gives one in the result (inf - inf and
// inf * 0 are NaN): see PureEvaluator.
template <int OP, bool CHECK = true>
inline bool Apply(double l, double r, double& out) {
  constexpr double e = kCompareEpsilon;
  // A result that is no finite number is an error, which BinaryOperation
  // reports; out is left alone so that a variable combined in place keeps
  // its value.
  if constexpr (!CHECK) {
    static_assert(OP == SYM_PLUS || OP == SYM_MINUS || OP == SYM_TIMES, "only these propagate");
    out = OP == SYM_PLUS ? l + r : OP == SYM_MINUS ? l - r : l * r;
  }
  else if constexpr (OP == SYM_PLUS) return Finite(l + r, out);
  else if constexpr (OP == SYM_MINUS) return Finite(l - r, out);
  else if constexpr (OP == SYM_TIMES) return Finite(l * r, out);
  else if constexpr (OP == SYM_DIVIDE) return r != 0 && Finite(l / r, out);
  else if constexpr (OP == SYM_DIV) return r != 0 && Finite(std::trunc(l / r), out);
  else if constexpr (OP == SYM_MOD) return r != 0 && Finite(l - std::trunc(l / r) * r, out);
  else if constexpr (OP == SYM_LT) out = l - r < -e ? 1 : 0;
  else if constexpr (OP == SYM_LE) out = l - r <= e ? 1 : 0;
  else if constexpr (OP == SYM_ASSIGN || OP == SYM_EQ) out = (l - r > -e && l - r < e) ? 1 : 0;
  else if constexpr (OP == SYM_NE) out = (l - r < -e || l - r > e) ? 1 : 0;
  else if constexpr (OP == SYM_GE) out = l - r >= -e ? 1 : 0;
  else if constexpr (OP == SYM_GT) out = l - r > e ? 1 : 0;
  else if constexpr (OP == SYM_AND) out = (l >= 0.5 && r >= 0.5) ? 1 : 0;
  else if constexpr (OP == SYM_OR) out = (l >= 0.5 || r >= 0.5) ? 1 : 0;
  else if constexpr (OP == SYM_XOR) out = ((l >= 0.5) != (r >= 0.5)) ? 1 : 0;
  else static_assert(OP == SYM_PLUS, "not an operator of pure arithmetic");
  return true;
}

// The operators of pure arithmetic by code (for the general path's
// shortcuts on two reals); false for any other operator.
inline bool ApplyReal(int op, double l, double r, double& out) {
  switch (op) {
    case SYM_PLUS: return Apply<SYM_PLUS>(l, r, out);
    case SYM_MINUS: return Apply<SYM_MINUS>(l, r, out);
    case SYM_TIMES: return Apply<SYM_TIMES>(l, r, out);
    case SYM_DIVIDE: return Apply<SYM_DIVIDE>(l, r, out);
    case SYM_DIV: return Apply<SYM_DIV>(l, r, out);
    case SYM_MOD: return Apply<SYM_MOD>(l, r, out);
    case SYM_LT: return Apply<SYM_LT>(l, r, out);
    case SYM_LE: return Apply<SYM_LE>(l, r, out);
    case SYM_ASSIGN: return Apply<SYM_ASSIGN>(l, r, out);
    case SYM_EQ: return Apply<SYM_EQ>(l, r, out);
    case SYM_NE: return Apply<SYM_NE>(l, r, out);
    case SYM_GE: return Apply<SYM_GE>(l, r, out);
    case SYM_GT: return Apply<SYM_GT>(l, r, out);
    case SYM_AND: return Apply<SYM_AND>(l, r, out);
    case SYM_OR: return Apply<SYM_OR>(l, r, out);
    case SYM_XOR: return Apply<SYM_XOR>(l, r, out);
    default: return false;
  }
}

// An existing element of the first row (a one-dimensional array, the common
// case) without a call; null for anything else.
__attribute__((always_inline)) inline RValue* FirstRow(const RVariable& var, int index) {
  if (index <= 0 || index >= kArrayDim || var.value.empty()) return nullptr;
  const std::vector<RValue>& row = var.value[0];
  // Bounds in bytes: size() would divide by the element size.
  const size_t bytes = static_cast<size_t>(reinterpret_cast<const char*>(std::to_address(row.end())) -
                                           reinterpret_cast<const char*>(row.data()));
  if (static_cast<size_t>(index) * sizeof(RValue) >= bytes) return nullptr;
  return const_cast<RValue*>(row.data() + index);
}

// ---- pure arithmetic ----
// Every node of a pure expression carries its evaluator (RToken::real),
// chosen at compile time by PureEvaluator from the node's shape, so an
// operation costs one indirect call and no dispatch on kinds or operators.
// An evaluator fails when a variable on the way is missing or not a real, or
// an operation would fail; the caller then evaluates the expression the
// general way, which is safe because pure expressions have no side effects.
inline bool Operand(Ctx& c, const RToken& n, double& out) {
  const RealResult r = n.real(c, n);
  out = r.value;
  return r.ok;
}
// The evaluator made of F, which reports through an out parameter as the
// routines here do; F is inlined into it.
template <bool (*F)(Ctx&, const RToken&, double&)>
RealResult Real(Ctx& c, const RToken& n) {
  double d = 0;
  const bool ok = F(c, n, d);
  return {d, ok};
}

inline bool RealOf(const RValue& v, double& out) {
  if (v.kind != RValue::kReal) return false;
  out = v.val;
  return true;
}

bool PConst(Ctx&, const RToken& n, double& out) {
  out = n.value.val;
  return true;
}
inline bool LocalValue(const Ctx& c, const RToken& n, double& out) {
  const LocalSlot& s = c.lslots[n.slot];
  return s.defined && RealOf(s.var.simplevalue, out);
}
bool PLocal(Ctx& c, const RToken& n, double& out) { return LocalValue(c, n, out); }
// argumentK: slot K of the current frame, the slot fixed per node.
template <int K>
bool PArgument(Ctx&, const RToken&, double& out) {
  return RealOf(g_frame->slots[K], out);
}
template <size_t... K>
constexpr std::array<RealEval, 16> ArgumentEvaluators(std::index_sequence<K...>) {
  return {Real<PArgument<static_cast<int>(K)>>...};
}
inline RealEval ArgumentEvaluator(int k) {
  static constexpr std::array<RealEval, 16> kTable = ArgumentEvaluators(std::make_index_sequence<16>());
  return kTable[static_cast<size_t>(k)];
}
// A pure read of argument0..argument15.
inline bool IsArgumentRead(const RToken& n) {
  return n.pure && n.kind == TK_CONSTOWNERVAR && n.ind2 != OWNER_LOCAL && IsArgumentVariable(n.ind);
}
// An unqualified user variable: a global when declared so, else self's.
__attribute__((noinline)) RVariable* FindUserSlow(Ctx& c, const RToken& n) {
  CVariableList& list = GlobalIsDeclared(n.ind) ? GlobalVars() : c.self->i_vars;
  return list.Find(n.ind, n.cache);
}
// The common case (self's variable where the node found it last) inline; the
// globalvar test comes first, as a declared global hides self's variable.
inline RVariable* FindUser(Ctx& c, const RToken& n) {
  if (!GlobalIsDeclared(n.ind)) [[likely]]
    if (RVariable* v = c.self->i_vars.Cached(n.ind, n.cache)) return v;
  return FindUserSlow(c, n);
}
bool PUser(Ctx& c, const RToken& n, double& out) {
  const RVariable* var = FindUser(c, n);
  return var && RealOf(var->simplevalue, out);
}
// A built-in variable of self whose reading is a plain field read (see
// MarkPure): its getter, with the value required to be a real.
bool PBuiltin(Ctx& c, const RToken& n, double& out) {
  // A getter that reads one real field of the instance is that field.
  const std::vector<RBuiltinVariable>& table = BuiltinVariableTable();
  if (static_cast<size_t>(n.ind) < table.size()) {
    if (double CInstance::* field = table[static_cast<size_t>(n.ind)].field) {
      out = c.self->*field;
      return true;
    }
  }
  RValue v;
  return BuiltinGetVar(c.self, n.ind, 0, v) && RealOf(v, out);
}
// The index of a one-dimensional element when pure arithmetic gives one
// inside the array limits; false otherwise (the general path then rounds and
// reports as usual). The node is the element; its index is read as its
// IndexMode says. x mod k for a whole constant k is worked out on integers
// when x is whole and not negative: the quotient from k's reciprocal is exact
// or one off, one correction gives the exact remainder (see PModWhole), which
// is below k and so inside the limits of an int. Anything else takes the
// evaluators.
__attribute__((always_inline)) inline bool PureIndex(Ctx& c, const RToken& elem, int& out) {
  const RToken& idx = elem.items[1];
  double d;
  if (elem.indexmode >= IX_MODLOCAL) {
    const RToken& x = idx.items[0];
    double l;
    const bool read = elem.indexmode == IX_MODLOCAL ? LocalValue(c, x, l) : Operand(c, x, l);
    if (read && l >= 0 && l < 0x1p52) {
      const int64_t whole = static_cast<int64_t>(l);
      if (static_cast<double>(whole) == l) [[likely]] {
        const int64_t k = static_cast<int64_t>(idx.items[1].value.val);
        int64_t r = whole - static_cast<int64_t>(l * idx.value.val) * k;
        if (r >= k) r -= k;
        else if (r < 0) r += k;
        if (r >= g_maxArrayIndex) return false;
        out = static_cast<int>(r);
        return true;
      }
    }
  }
  if (elem.indexmode == IX_CONST) d = idx.value.val;
  else if (elem.indexmode == IX_LOCAL) {
    if (!LocalValue(c, idx, d)) return false;
  } else if (!Operand(c, idx, d)) return false;
  if (!(d > -1.0 && d < 2147483647.0)) return false;
  int i = static_cast<int>(d);  // toward zero: exact for the usual whole index
  if (static_cast<double>(i) != d) i = static_cast<int>(RoundHalfEven(d));
  if (i < 0 || i >= g_maxArrayIndex) return false;
  out = i;
  return true;
}
// The variable of an element node that is a local or an unqualified user
// variable (see MarkPureNode); null while it does not exist.
__attribute__((always_inline)) inline RVariable* ArrayVar(Ctx& c, const RToken& n) {
  if (n.ind2 == OWNER_LOCAL) {
    LocalSlot& s = c.lslots[n.slot];
    return s.defined ? &s.var : nullptr;
  }
  return FindUser(c, n);
}
// An existing element of a one-dimensional array: [0] is the simple value.
__attribute__((always_inline)) inline RValue* RowElement(RVariable& var, int index) {
  return index == 0 ? &var.simplevalue : FirstRow(var, index);
}
// An array element of a local or an unqualified user variable.
bool PElement(Ctx& c, const RToken& n, double& out) {
  int index = 0;
  for (size_t k = 1; k < n.items.size(); ++k) {
    double d;
    if (!Operand(c, n.items[k], d)) return false;
    int64_t i = RoundToInt64(d);
    if (i < 0 || i >= g_maxArrayIndex) return false;
    index = index * kArrayDim + static_cast<int>(i);
  }
  const RVariable* var = ArrayVar(c, n);
  if (!var) return false;
  const RValue* v = FirstRow(*var, index);
  if (!v) v = CVariableList::Element(*var, index);
  return v && RealOf(*v, out);
}
// The same with one index, the common shape.
__attribute__((always_inline)) inline bool Element1Value(Ctx& c, const RToken& n, double& out) {
  int index;
  if (!PureIndex(c, n, index)) return false;
  RVariable* var = ArrayVar(c, n);
  if (!var) return false;
  const RValue* v = RowElement(*var, index);
  return v && RealOf(*v, out);
}
bool PElement1(Ctx& c, const RToken& n, double& out) { return Element1Value(c, n, out); }
bool PMinus(Ctx& c, const RToken& n, double& out) {
  if (!Operand(c, n.items[0], out)) return false;
  out = -out;
  return true;
}
bool PNot(Ctx& c, const RToken& n, double& out) {
  if (!Operand(c, n.items[0], out)) return false;
  out = out < 0.5 ? 1 : 0;
  return true;
}
bool PPlus(Ctx& c, const RToken& n, double& out) { return Operand(c, n.items[0], out); }

// How a binary node reads an operand, chosen at compile time from the
// operand's shape: a constant, a local slot or an unqualified user variable
// is read in place; anything else through its own evaluator.
// The value of a statement has four modes more: a one-index element, and
// +, - or * of operands that are constants or have evaluators of their own
// (see ValueMode).
// Binary operands have one mode more: argument0..argument15 read from the
// argument frame (see OperandModeOf).
enum OperandMode : int { M_CONST, M_LOCAL, M_USER, M_EVAL, M_ELEM1, M_BINPLUS, M_BINMINUS, M_BINTIMES, M_ARG };
// A constant in place, anything else through its evaluator.
__attribute__((always_inline)) inline bool ConstOrOperand(Ctx& c, const RToken& n, double& out) {
  if (n.kind == TK_CONSTANT) {
    out = n.value.val;
    return true;
  }
  return Operand(c, n, out);
}
template <int M>
__attribute__((always_inline)) inline bool ReadOperand(Ctx& c, const RToken& n, double& out) {
  if constexpr (M == M_ELEM1) {
    return Element1Value(c, n, out);
  } else if constexpr (M == M_BINPLUS || M == M_BINMINUS || M == M_BINTIMES) {
    constexpr int op = M == M_BINPLUS ? SYM_PLUS : M == M_BINMINUS ? SYM_MINUS : SYM_TIMES;
    double l, r;
    return ConstOrOperand(c, n.items[0], l) && ConstOrOperand(c, n.items[1], r) && Apply<op>(l, r, out);
  } else if constexpr (M == M_CONST) {
    out = n.value.val;
    return true;
  } else if constexpr (M == M_LOCAL) {
    return LocalValue(c, n, out);
  } else if constexpr (M == M_USER) {
    const RVariable* var = FindUser(c, n);
    return var && RealOf(var->simplevalue, out);
  } else if constexpr (M == M_ARG) {
    return RealOf(g_frame->slots[n.ind - g_arg0], out);
  } else {
    return Operand(c, n, out);
  }
}
inline int ModeOf(const RToken& n) {
  if (n.kind == TK_CONSTANT) return M_CONST;
  if (n.real == Real<PLocal>) return M_LOCAL;
  if (n.real == Real<PUser>) return M_USER;
  return M_EVAL;
}
inline int OperandModeOf(const RToken& n) { return IsArgumentRead(n) ? M_ARG : ModeOf(n); }

// A user variable at the position where its node found it last, without
// the search; false otherwise.
inline bool QuickUser(Ctx& c, const RToken& n, double& out) {
  if (GlobalIsDeclared(n.ind)) return false;
  const RVariable* var = c.self->i_vars.Cached(n.ind, n.cache);
  return var && RealOf(var->simplevalue, out);
}
template <int M>
inline bool QuickOperand(Ctx& c, const RToken& n, double& out) {
  if constexpr (M == M_USER) return QuickUser(c, n, out);
  else return ReadOperand<M>(c, n, out);
}
template <int M>
constexpr int kSearching = M == M_USER ? M_EVAL : M;

template <int OP, int LM, int RM, bool CHECK>
__attribute__((noinline)) bool PBinarySearching(Ctx& c, const RToken& n, double& out) {
  double l, r;
  return ReadOperand<LM>(c, n.items[0], l) && ReadOperand<RM>(c, n.items[1], r) && Apply<OP, CHECK>(l, r, out);
}
template <int OP, int LM, int RM, bool CHECK>
bool PBinary(Ctx& c, const RToken& n, double& out) {
  double l, r;
  if constexpr (LM == M_USER || RM == M_USER) {
    // The operands read in place; a user variable not at its cached
    // position (or anything else amiss) tries again through the
    // evaluators, out of line, so that this path saves no registers.
    if (QuickOperand<LM>(c, n.items[0], l) && QuickOperand<RM>(c, n.items[1], r)) [[likely]]
      return Apply<OP, CHECK>(l, r, out);
    return PBinarySearching<OP, kSearching<LM>, kSearching<RM>, CHECK>(c, n, out);
  } else {
    return ReadOperand<LM>(c, n.items[0], l) && ReadOperand<RM>(c, n.items[1], r) && Apply<OP, CHECK>(l, r, out);
  }
}
// x mod k for a whole constant k from 1 to 2^31, whose reciprocal the node
// keeps (see MarkPureNode), and a whole x below 2^52 in magnitude: the
// quotient taken with the reciprocal is exact or one off, and one correction
// gives the exact remainder, which is also what the division gives for such
// operands (its quotient and product are exact there). Other operands take
// the division.
template <int LM>
bool PModWhole(Ctx& c, const RToken& n, double& out) {
  double l;
  if (!ReadOperand<LM>(c, n.items[0], l)) return false;
  const double k = n.items[1].value.val;
  // Below 2^52 a round trip through a 64-bit integer truncates exactly
  // (std::trunc is no single instruction on the base x86-64).
  if (std::fabs(l) < 0x1p52 && l == static_cast<double>(static_cast<int64_t>(l))) [[likely]] {
    double r = l - static_cast<double>(static_cast<int64_t>(l * n.value.val)) * k;
    if (l >= 0) {
      if (r >= k) r -= k;
      else if (r < 0) r += k;
    } else {
      if (r <= -k) r += k;
      else if (r > 0) r -= k;
    }
    out = r + 0.0;  // a zero remainder is +0, as x - x is
    return true;
  }
  return Apply<SYM_MOD>(l, k, out);
}
template <int OP, int LM, bool CHECK>
RealEval BinaryEvaluatorRight(int rm) {
  switch (rm) {
    case M_CONST: return Real<PBinary<OP, LM, M_CONST, CHECK>>;
    case M_LOCAL: return Real<PBinary<OP, LM, M_LOCAL, CHECK>>;
    case M_USER: return Real<PBinary<OP, LM, M_USER, CHECK>>;
    case M_ARG: return Real<PBinary<OP, LM, M_ARG, CHECK>>;
    default: return Real<PBinary<OP, LM, M_EVAL, CHECK>>;
  }
}
template <int OP, bool CHECK = true>
RealEval BinaryEvaluator(const RToken& n) {
  const int rm = OperandModeOf(n.items[1]);
  if (OP == SYM_MOD && rm == M_CONST && n.value.val != 0) {
    switch (OperandModeOf(n.items[0])) {
      case M_LOCAL: return Real<PModWhole<M_LOCAL>>;
      case M_USER: return Real<PModWhole<M_USER>>;
      case M_ARG: return Real<PModWhole<M_ARG>>;
      default: return Real<PModWhole<M_EVAL>>;
    }
  }
  switch (OperandModeOf(n.items[0])) {
    case M_CONST: return BinaryEvaluatorRight<OP, M_CONST, CHECK>(rm);
    case M_LOCAL: return BinaryEvaluatorRight<OP, M_LOCAL, CHECK>(rm);
    case M_USER: return BinaryEvaluatorRight<OP, M_USER, CHECK>(rm);
    case M_ARG: return BinaryEvaluatorRight<OP, M_ARG, CHECK>(rm);
    default: return BinaryEvaluatorRight<OP, M_EVAL, CHECK>(rm);
  }
}

// Binary node n starts a chain of three links or more: walked in a loop
// (see g_chain). Shorter ones recurse, at most two levels, at no cost.
inline bool LongChain(const RToken& n) {
  const RToken& left = n.items[0];
  return left.kind == TK_BINARY && left.items[0].kind == TK_BINARY;
}

// Pure arithmetic on a long chain (see LongChain and g_chain): its links in
// a loop, so a chain of any length needs no stack per link.
__attribute__((noinline)) bool PChain(Ctx& c, const RToken& n, double& out) {
  const size_t base = g_chain.size();
  const RToken* link = &n;
  while (link->kind == TK_BINARY && link->longchain) {
    g_chain.push_back(link);
    link = &link->items[0];
  }
  double acc;
  bool ok = Operand(c, *link, acc);
  for (size_t k = g_chain.size(); ok && k-- > base;) {
    const RToken& node = *g_chain[k];
    double r;
    ok = Operand(c, node.items[1], r) && ApplyReal(node.ind, acc, r, acc);
  }
  g_chain.resize(base);
  if (ok) out = acc;
  return ok;
}

inline bool IsScriptCall(const RToken& n) { return n.ind >= kScriptFunctionBase && n.ind < kExtensionFunctionBase; }
// An operand of a general operator: a call (as in `f(a) + f(b)`) without the
// dispatch of EvalGeneral.
inline bool EvalOperand(Ctx& c, const RToken& n, RValue& out) {
  if (n.kind != TK_CALL) return Eval(c, n, out);
  return IsScriptCall(n) ? CallScript(c, n, out) : CallFunction(c, n, out);
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
  if (!EvalOperand(c, rn, right)) return false;
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
    if (left.pureroot && Operand(c, left, d)) {  // as Eval tries it first
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


// Evaluates a node: pure arithmetic is tried in place (an operand costs no
// frame of the general evaluator), the rest goes to EvalGeneral.
__attribute__((always_inline)) inline bool Eval(Ctx& c, const RToken& n, RValue& out) {
  if (n.pureroot && n.kind != TK_CONSTANT) {
    double d;
    if (Operand(c, n, d)) {
      out.SetReal(d);
      return true;
    }
  }
  return EvalGeneral(c, n, out);
}

bool EvalGeneral(Ctx& c, const RToken& n, RValue& out) {
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
        if (const RVariable* v = FindUser(c, n)) {
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
      if (!EvalOperand(c, n.items[0], out)) return false;
      return Combine(c, n, out);
    case TK_UNARY:
      if (!Eval(c, n.items[0], out)) return false;
      return UnaryOperation(*c.code, n.position, n.ind, out);
    case TK_CALL:
      return IsScriptCall(n) ? CallScript(c, n, out) : CallFunction(c, n, out);
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

__attribute__((noinline)) int Assign(Ctx& c, const RToken& n, RValue& result) {
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
        RValue* e = FirstRow(*var, ref.index);
        (e ? *e : CVariableList::ElementForWrite(*var, ref.index)).SetReal(d);
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

// The shortest paths of an assignment (see RToken::fastassign), one per kind
// of target and operator; the value is read as its mode says (VM, see
// ReadOperand). Anything they cannot finish goes to Assign, which starts
// from scratch (the value is pure, so computing it twice has no effect).
// SELF: `v = v + e` or `v = v - e`, which is `v += e` or `v -= e` when it
// succeeds (the same variable is read, combined with e in that order and
// stored); e is then the right operand of the expression.
template <bool SELF>
inline const RToken& ValueOf(const RToken& n) {
  return SELF ? n.items[1].items[1] : n.items[1];
}
template <int VM>
int FastSetLocal(Ctx& c, const RToken& n, RValue& result) {
  const RToken& target = n.items[0];
  double d;
  if (!ReadOperand<VM>(c, n.items[1], d)) return Assign(c, n, result);
  LocalSlot& s = c.lslots[target.slot];
  s.defined = true;
  s.var.ind = target.ind;
  s.var.simplevalue.SetReal(d);
  result.SetReal(d);
  return C_NORMAL;
}
template <int OP, bool SELF, int VM>
int FastCombineLocal(Ctx& c, const RToken& n, RValue& result) {
  LocalSlot& s = c.lslots[n.items[0].slot];
  RValue& v = s.var.simplevalue;
  double d;
  if (!s.defined || v.kind != RValue::kReal || !ReadOperand<VM>(c, ValueOf<SELF>(n), d) ||
      !Apply<OP>(v.val, d, v.val))
    return Assign(c, n, result);
  result.SetReal(v.val);
  return C_NORMAL;
}
template <int VM>
int FastSetUser(Ctx& c, const RToken& n, RValue& result) {
  RVariable* var = FindUser(c, n.items[0]);
  double d;
  if (!var || !ReadOperand<VM>(c, n.items[1], d)) return Assign(c, n, result);
  var->simplevalue.SetReal(d);
  result.SetReal(d);
  return C_NORMAL;
}
template <int OP, bool SELF, int VM>
int FastCombineUser(Ctx& c, const RToken& n, RValue& result) {
  RVariable* var = FindUser(c, n.items[0]);
  double d;
  if (!var || var->simplevalue.kind != RValue::kReal || !ReadOperand<VM>(c, ValueOf<SELF>(n), d) ||
      !Apply<OP>(var->simplevalue.val, d, var->simplevalue.val))
    return Assign(c, n, result);
  result.SetReal(var->simplevalue.val);
  return C_NORMAL;
}

// `a[i] = e`, `a[i] += e`, `a[i] -= e` with e pure, on an element that
// exists of a one-dimensional array of a local or an unqualified user
// variable: the index once, the element changed in place. SELF as above:
// `a[i] = a[i] + e` with the same index on both sides. Anything else (a
// missing variable or element, a text, an index out of the limits, a
// failing operation) goes to Assign from scratch: the index and e are pure,
// and nothing was changed.
template <int OP, bool SELF, int VM>
int FastElement(Ctx& c, const RToken& n, RValue& result) {
  const RToken& target = n.items[0];
  double d;
  int index;
  if (!ReadOperand<VM>(c, ValueOf<SELF>(n), d) || !PureIndex(c, target, index))
    return Assign(c, n, result);
  RVariable* var = ArrayVar(c, target);
  RValue* e = var ? RowElement(*var, index) : nullptr;
  if (!e) return Assign(c, n, result);
  if constexpr (OP == SYM_ASSIGN) {
    e->SetReal(d);
  } else if (e->kind != RValue::kReal || !Apply<OP>(e->val, d, e->val)) {
    return Assign(c, n, result);
  }
  result.SetReal(e->val);
  return C_NORMAL;
}

// Two pure trees that compute the same value from the same variables.
bool SameTree(const RToken& a, const RToken& b) {
  std::vector<std::pair<const RToken*, const RToken*>> work{{&a, &b}};
  while (!work.empty()) {
    auto [x, y] = work.back();
    work.pop_back();
    if (x->kind != y->kind || x->ind != y->ind || x->ind2 != y->ind2 || x->slot != y->slot ||
        x->constowner != y->constowner || x->value.kind != y->value.kind || x->items.size() != y->items.size())
      return false;
    if (x->kind == TK_CONSTANT && !(x->value.kind == RValue::kReal && x->value.val == y->value.val &&
                                    std::signbit(x->value.val) == std::signbit(y->value.val)))
      return false;
    for (size_t k = 0; k < x->items.size(); ++k) work.emplace_back(&x->items[k], &y->items[k]);
  }
  return true;
}

// A condition that pure arithmetic did not settle: -1 error, 0 false, 1 true.
inline int GeneralCondition(Ctx& c, const RToken& e, RValue& scratch, const char* msg) {
  if (!EvalGeneral(c, e, scratch)) return -1;
  if (scratch.kind != RValue::kReal) {
    Fail(c, e.position, msg);
    return -1;
  }
  return scratch.val >= 0.5 ? 1 : 0;
}
// A condition: -1 error, 0 false, 1 true.
inline int Condition(Ctx& c, const RToken& e, RValue& scratch, const char* msg) {
  double d;
  if (e.pure && Operand(c, e, d)) return d >= 0.5 ? 1 : 0;
  return GeneralCondition(c, e, scratch, msg);
}
// The condition of a loop known to be pure at compile time.
inline int PureCondition(Ctx& c, const RToken& e, RValue& scratch, const char* msg) {
  double d;
  if (Operand(c, e, d)) return d >= 0.5 ? 1 : 0;
  return GeneralCondition(c, e, scratch, msg);
}

// The condition of an if that pure arithmetic could not settle.
__attribute__((noinline)) int IfCondition(Ctx& c, const RToken& e) {
  RValue scratch;
  return Condition(c, e, scratch, "Expression expected");
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

__attribute__((noinline)) int With(Ctx& c, const RToken& n, RValue& result) {
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

__attribute__((noinline)) int Switch(Ctx& c, const RToken& n, RValue& result) {
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

// The loops. Those whose condition is pure arithmetic have routines of
// their own (chosen at compile time), with the same steps and errors.
int XBlock(Ctx& c, const RToken& n, RValue& result);
// A loop's body: when it is a block, its statements run from here, which
// saves the block's own call on every pass.
__attribute__((always_inline)) inline int RunBody(Ctx& c, const RToken& body, bool block, RValue& result) {
  if (!block) return Exec(c, body, result);
  for (const RToken& s : body.items) {
    int r = Exec(c, s, result);
    if (r != C_NORMAL) return r;
  }
  return C_NORMAL;
}

template <auto COND>
int WhileLoop(Ctx& c, const RToken& n, RValue& result) {
  RValue scratch;
  const RToken& body = n.items[1];
  const bool block = body.exec == XBlock;
  for (;;) {
    int cond = COND(c, n.items[0], scratch, "Boolean expression expected");
    if (cond < 0) return C_ERROR;
    if (!cond) return C_NORMAL;
    if (!Spend(c, n)) return C_ERROR;
    int r = RunBody(c, body, block, result);
    if (r == C_NORMAL || r == C_CONTINUE) continue;
    return r == C_BREAK ? C_NORMAL : r;
  }
}

__attribute__((noinline)) int Do(Ctx& c, const RToken& n, RValue& result) {
  RValue scratch;
  for (;;) {
    if (!Spend(c, n)) return C_ERROR;
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

// A for loop; STEP runs the step statement: its own routine in general, or
// one of the fast assignments called directly when the loop's condition is
// pure and the step is such an assignment to a local.
template <auto COND, StmtExec STEP>
int ForLoop(Ctx& c, const RToken& n, RValue& result) {
  RValue scratch;
  const RToken& body = n.items[3];
  const RToken& step = n.items[2];
  const bool block = body.exec == XBlock;
  int r = Exec(c, n.items[0], scratch);
  while (r == C_NORMAL) {
    int cond = COND(c, n.items[1], scratch, "Expression expected");
    if (cond < 0) return C_ERROR;
    if (!cond) return C_NORMAL;
    if (!Spend(c, n)) return C_ERROR;
    r = RunBody(c, body, block, result);
    if (r == C_NORMAL || r == C_CONTINUE) {
      r = STEP(c, step, scratch);
      continue;
    }
    return r == C_BREAK ? C_NORMAL : r;
  }
  return r;
}

// A counting loop, `for (init; v CMP limit; v += k)` (or `-= k`) on a local
// v, with a constant k and a limit that is a constant or a local: the
// comparison and the step read the slots in place. A slot that is not
// (or no longer) a defined real, or a step that would fail, takes the
// routines the loop has otherwise (the pure condition, the fast step and
// through it Assign), with their errors.
template <int CMP, int STEP, int LIMIT>
int CountLoop(Ctx& c, const RToken& n, RValue& result) {
  RValue scratch;
  const RToken& cond = n.items[1];
  const RToken& step = n.items[2];
  const RToken& body = n.items[3];
  const LocalSlot& limit = c.lslots[LIMIT == M_LOCAL ? cond.items[1].slot : 0];
  LocalSlot& v = c.lslots[cond.items[0].slot];
  // Code does not change while it runs: the constants and the shape of the
  // body are read once.
  const double k = step.items[1].value.val;
  const double constlimit = cond.items[1].value.val;
  const bool block = body.exec == XBlock;
  int r = Exec(c, n.items[0], scratch);
  if (r != C_NORMAL) return r;
  RValue& x = v.var.simplevalue;
  // known: x holds a real the step just wrote, so the test needs no checks.
  bool known = false;
  for (;;) {
    int go;
    if (LIMIT == M_CONST && (known || (v.defined && x.kind == RValue::kReal))) [[likely]] {
      double t;
      Apply<CMP>(x.val, constlimit, t);
      go = t >= 0.5;
    } else if (LIMIT == M_LOCAL && (known || (v.defined && x.kind == RValue::kReal)) && limit.defined &&
               limit.var.simplevalue.kind == RValue::kReal) [[likely]] {
      double t;
      Apply<CMP>(x.val, limit.var.simplevalue.val, t);
      go = t >= 0.5;
    } else {
      go = PureCondition(c, cond, scratch, "Expression expected");
    }
    if (go < 0) return C_ERROR;
    if (!go) return C_NORMAL;
    if (!Spend(c, n)) return C_ERROR;
    r = RunBody(c, body, block, result);
    if (r != C_NORMAL) [[unlikely]]
      if (r != C_CONTINUE) return r == C_BREAK ? C_NORMAL : r;
    if (v.defined && x.kind == RValue::kReal && Apply<STEP>(x.val, k, x.val)) [[likely]] {
      known = true;
    } else {
      known = false;
      r = FastCombineLocal<STEP, false, M_CONST>(c, step, scratch);
      if (r != C_NORMAL) return r;
    }
  }
}

__attribute__((noinline)) int Repeat(Ctx& c, const RToken& n, RValue& result) {
  RValue count;
  if (!Eval(c, n.items[0], count)) return C_ERROR;
  if (count.kind != RValue::kReal) {
    Fail(c, n.items[0].position, "Repeat count must be a number");
    return C_ERROR;
  }
  int64_t times = RoundToInt64(count.val);
  for (int64_t k = 0; k < times; ++k) {
    if (!Spend(c, n)) return C_ERROR;
    int r = Exec(c, n.items[1], result);
    if (r == C_NORMAL || r == C_CONTINUE) continue;
    return r == C_BREAK ? C_NORMAL : r;
  }
  return C_NORMAL;
}

// ---- statement routines (see StatementExecutor) ----
int RunExec(Ctx& c, const RToken& n, RValue& result) { return Exec(c, n, result); }

int XBlock(Ctx& c, const RToken& n, RValue& result) {
  for (const RToken& s : n.items) {
    int r = Exec(c, s, result);
    if (r != C_NORMAL) return r;
  }
  return C_NORMAL;
}

int XCall(Ctx& c, const RToken& n, RValue& result) { return CallFunction(c, n, result) ? C_NORMAL : C_ERROR; }
int XCallScript(Ctx& c, const RToken& n, RValue& result) { return CallScript(c, n, result) ? C_NORMAL : C_ERROR; }

// An if or an else-if chain, followed in a loop.
int XIf(Ctx& c, const RToken& n, RValue& result) {
  for (const RToken* link = &n;;) {
    // Conditions do not write the result slot: only calls, assignments and
    // return do.
    const RToken& e = link->items[0];
    double d;
    int cond;
    if (e.pure && Operand(c, e, d)) {
      cond = d >= 0.5 ? 1 : 0;
    } else {
      cond = IfCondition(c, e);
    }
    if (cond < 0) return C_ERROR;
    if (cond) return Exec(c, link->items[1], result);
    if (link->itemnumb <= 2) return C_NORMAL;
    const RToken& other = link->items[2];
    if (other.kind != TK_IF) return Exec(c, other, result);
    link = &other;
  }
}
// An if whose condition is pure and whose else part is no further if.
int XIfPure(Ctx& c, const RToken& n, RValue& result) {
  const RToken& e = n.items[0];
  double d;
  int cond = Operand(c, e, d) ? (d >= 0.5 ? 1 : 0) : IfCondition(c, e);
  if (cond < 0) return C_ERROR;
  if (cond) return Exec(c, n.items[1], result);
  if (n.itemnumb <= 2) return C_NORMAL;
  return Exec(c, n.items[2], result);
}

// An if whose condition compares two operands read in place (a local, an
// argument, a user variable or a constant): the comparison needs no
// evaluator call; anything amiss goes to IfCondition as in XIfPure.
template <int OP, int LM, int RM>
int XIfCompare(Ctx& c, const RToken& n, RValue& result) {
  const RToken& e = n.items[0];
  double l, r, d;
  int cond = ReadOperand<LM>(c, e.items[0], l) && ReadOperand<RM>(c, e.items[1], r) && Apply<OP>(l, r, d)
                 ? (d >= 0.5 ? 1 : 0)
                 : IfCondition(c, e);
  if (cond < 0) return C_ERROR;
  if (cond) return Exec(c, n.items[1], result);
  if (n.itemnumb <= 2) return C_NORMAL;
  return Exec(c, n.items[2], result);
}
template <int OP, int LM>
StmtExec IfCompareRight(int rm) {
  switch (rm) {
    case M_CONST: return XIfCompare<OP, LM, M_CONST>;
    case M_LOCAL: return XIfCompare<OP, LM, M_LOCAL>;
    case M_USER: return XIfCompare<OP, LM, M_USER>;
    case M_ARG: return XIfCompare<OP, LM, M_ARG>;
    default: return nullptr;
  }
}
template <int OP>
StmtExec IfCompare(const RToken& e) {
  const int rm = OperandModeOf(e.items[1]);
  switch (OperandModeOf(e.items[0])) {
    case M_LOCAL: return IfCompareRight<OP, M_LOCAL>(rm);
    case M_USER: return IfCompareRight<OP, M_USER>(rm);
    case M_ARG: return IfCompareRight<OP, M_ARG>(rm);
    default: return nullptr;
  }
}
// The routine of an if whose condition is pure and whose else part is no
// further if: a comparison of plain operands has its own.
StmtExec IfPureExecutor(const RToken& n) {
  const RToken& e = n.items[0];
  StmtExec x = nullptr;
  if (e.kind == TK_BINARY) {
    switch (e.ind) {
      case SYM_LT: x = IfCompare<SYM_LT>(e); break;
      case SYM_LE: x = IfCompare<SYM_LE>(e); break;
      case SYM_GT: x = IfCompare<SYM_GT>(e); break;
      case SYM_GE: x = IfCompare<SYM_GE>(e); break;
      case SYM_EQ: x = IfCompare<SYM_EQ>(e); break;
      case SYM_ASSIGN: x = IfCompare<SYM_ASSIGN>(e); break;
      case SYM_NE: x = IfCompare<SYM_NE>(e); break;
      default: break;
    }
  }
  return x ? x : XIfPure;
}

int XReturn(Ctx& c, const RToken& n, RValue& result) { return Eval(c, n.items[0], result) ? C_EXIT : C_ERROR; }
int XReturnPure(Ctx& c, const RToken& n, RValue& result) {
  const RToken& e = n.items[0];
  double d;
  if (Operand(c, e, d)) {
    result.SetReal(d);
    return C_EXIT;
  }
  return EvalGeneral(c, e, result) ? C_EXIT : C_ERROR;
}

// `return a op b` whose left operand is a call (`return f(n - 1) + f(n - 2)`):
// EvalGeneral's steps for a binary node without its dispatch.
int XReturnCallOp(Ctx& c, const RToken& n, RValue& result) {
  const RToken& e = n.items[0];
  return EvalOperand(c, e.items[0], result) && Combine(c, e, result) ? C_EXIT : C_ERROR;
}
// The same where both operands are script calls and OP is +, - or *:
// Combine's steps with the operator and the callees' kind known.
template <int OP>
int XReturnCalls(Ctx& c, const RToken& n, RValue& result) {
  const RToken& e = n.items[0];
  const RToken& rn = e.items[1];
  if (!CallScript(c, e.items[0], result)) return C_ERROR;
  RValue right;
  if (!CallScript(c, rn, right)) return C_ERROR;
  if (result.kind == RValue::kReal && right.kind == RValue::kReal && Apply<OP>(result.val, right.val, result.val))
    return C_EXIT;
  return BinaryOperation(*c.code, rn.position, OP, right, result) ? C_EXIT : C_ERROR;
}
// The routine of a return statement by the shape of its value.
StmtExec ReturnExecutor(const RToken& n) {
  const RToken& e = n.items[0];
  if (!g_fastPaths) return XReturn;
  if (e.pure) return XReturnPure;
  if (e.kind != TK_BINARY || LongChain(e) || e.items[0].kind != TK_CALL) return XReturn;
  if (IsScriptCall(e.items[0]) && e.items[1].kind == TK_CALL && IsScriptCall(e.items[1])) {
    if (e.ind == SYM_PLUS) return XReturnCalls<SYM_PLUS>;
    if (e.ind == SYM_MINUS) return XReturnCalls<SYM_MINUS>;
    if (e.ind == SYM_TIMES) return XReturnCalls<SYM_TIMES>;
  }
  return XReturnCallOp;
}

int XExit(Ctx&, const RToken&, RValue&) { return C_EXIT; }
int XBreak(Ctx&, const RToken&, RValue&) { return C_BREAK; }
int XContinue(Ctx&, const RToken&, RValue&) { return C_CONTINUE; }
int XNothing(Ctx&, const RToken&, RValue&) { return C_NORMAL; }
int XGlobalVar(Ctx&, const RToken& n, RValue&) {
  for (const RToken& name : n.items) GlobalDeclare(name.ind);
  return C_NORMAL;
}
int XCase(Ctx& c, const RToken& n, RValue&) {
  Fail(c, n.position, "Case statement only allowed inside switch statement.");
  return C_ERROR;
}
int XDefault(Ctx& c, const RToken& n, RValue&) {
  Fail(c, n.position, "Default statement only allowed inside switch statement.");
  return C_ERROR;
}
int XNotStatement(Ctx& c, const RToken& n, RValue&) {
  Fail(c, n.position, "Statement expected.");
  return C_ERROR;
}

// The routine of a for loop by its shape.
template <int CMP, int STEP>
StmtExec CountExecutor(bool locallimit) {
  return locallimit ? CountLoop<CMP, STEP, M_LOCAL> : CountLoop<CMP, STEP, M_CONST>;
}
template <int STEP>
StmtExec CountExecutor(int cmp, bool locallimit) {
  switch (cmp) {
    case SYM_LT: return CountExecutor<SYM_LT, STEP>(locallimit);
    case SYM_LE: return CountExecutor<SYM_LE, STEP>(locallimit);
    case SYM_GT: return CountExecutor<SYM_GT, STEP>(locallimit);
    default: return CountExecutor<SYM_GE, STEP>(locallimit);
  }
}
// The routine of a counting loop (see CountLoop), or null for another shape.
StmtExec CountLoopExecutor(const RToken& n) {
  const RToken& cond = n.items[1];
  const RToken& step = n.items[2];
  if (cond.kind != TK_BINARY || !cond.pure || cond.longchain) return nullptr;
  if (cond.ind != SYM_LT && cond.ind != SYM_LE && cond.ind != SYM_GT && cond.ind != SYM_GE) return nullptr;
  const RToken& v = cond.items[0];
  const RToken& limit = cond.items[1];
  if (!IsLocalSlot(v) || !(limit.kind == TK_CONSTANT || IsLocalSlot(limit))) return nullptr;
  if (step.kind != TK_ASSIGN || step.fastassign != 1 || step.items[0].slot != v.slot) return nullptr;
  if (step.items[1].kind != TK_CONSTANT) return nullptr;
  const bool locallimit = limit.kind != TK_CONSTANT;
  if (step.ind == SYM_ADDASSIGN) return CountExecutor<SYM_PLUS>(cond.ind, locallimit);
  if (step.ind == SYM_SUBASSIGN) return CountExecutor<SYM_MINUS>(cond.ind, locallimit);
  return nullptr;
}

StmtExec ForExecutor(const RToken& n) {
  if (!g_fastPaths || !n.items[1].pure) return ForLoop<Condition, RunExec>;
  if (StmtExec count = CountLoopExecutor(n)) return count;
  const RToken& step = n.items[2];
  if (step.fastassign == 1) {
    if (step.ind == SYM_ASSIGN) return ForLoop<PureCondition, FastSetLocal<M_EVAL>>;
    if (step.ind == SYM_ADDASSIGN) return ForLoop<PureCondition, FastCombineLocal<SYM_PLUS, false, M_EVAL>>;
    return ForLoop<PureCondition, FastCombineLocal<SYM_MINUS, false, M_EVAL>>;
  }
  return ForLoop<PureCondition, RunExec>;
}

// `local = e` where e is no pure arithmetic (a call, a string, ...): the
// steps of Assign for this shape, the value first, then the store.
int SetLocal(Ctx& c, const RToken& n, RValue& result) {
  if (!EvalOperand(c, n.items[1], result)) return C_ERROR;
  const RToken& target = n.items[0];
  LocalSlot& s = c.lslots[target.slot];
  s.defined = true;
  s.var.ind = target.ind;
  StorePlain(s.var.simplevalue, result, n.resultdead);
  return C_NORMAL;
}

// The routine of an assignment: with the fast paths on, one per kind of
// fast assignment, operator and mode of the value.
// The mode of a statement's value: a one-index element, or +, - or * whose
// operands are constants or need their evaluators anyway, is computed in the
// statement's routine, which saves a call.
int ValueMode(const RToken& value) {
  if (value.real == Real<PElement1>) return M_ELEM1;
  if (value.kind == TK_BINARY && !value.longchain) {
    const int l = ModeOf(value.items[0]), r = ModeOf(value.items[1]);
    const bool plain = (l == M_CONST || l == M_EVAL) && (r == M_CONST || r == M_EVAL) && !(l == M_CONST && r == M_CONST);
    if (plain && value.ind == SYM_PLUS) return M_BINPLUS;
    if (plain && value.ind == SYM_MINUS) return M_BINMINUS;
    if (plain && value.ind == SYM_TIMES) return M_BINTIMES;
  }
  return ModeOf(value);
}
template <template <int, bool, int> class R, int OP, bool SELF>
StmtExec ByMode(const RToken& value) {
  switch (ValueMode(value)) {
    case M_CONST: return R<OP, SELF, M_CONST>::run;
    case M_LOCAL: return R<OP, SELF, M_LOCAL>::run;
    case M_USER: return R<OP, SELF, M_USER>::run;
    case M_ELEM1: return R<OP, SELF, M_ELEM1>::run;
    case M_BINPLUS: return R<OP, SELF, M_BINPLUS>::run;
    case M_BINMINUS: return R<OP, SELF, M_BINMINUS>::run;
    case M_BINTIMES: return R<OP, SELF, M_BINTIMES>::run;
    default: return R<OP, SELF, M_EVAL>::run;
  }
}
template <int OP, bool SELF, int VM>
struct RSetLocal {
  static constexpr StmtExec run = FastSetLocal<VM>;
};
template <int OP, bool SELF, int VM>
struct RCombineLocal {
  static constexpr StmtExec run = FastCombineLocal<OP, SELF, VM>;
};
template <int OP, bool SELF, int VM>
struct RSetUser {
  static constexpr StmtExec run = FastSetUser<VM>;
};
template <int OP, bool SELF, int VM>
struct RCombineUser {
  static constexpr StmtExec run = FastCombineUser<OP, SELF, VM>;
};
template <int OP, bool SELF, int VM>
struct RElement {
  static constexpr StmtExec run = FastElement<OP, SELF, VM>;
};

// `v = v + e` or `v = v - e` on the target of n (see ValueOf).
inline bool SelfUpdate(const RToken& n) {
  const RToken& expr = n.items[1];
  return n.ind == SYM_ASSIGN && expr.kind == TK_BINARY && expr.pure && !expr.longchain &&
         (expr.ind == SYM_PLUS || expr.ind == SYM_MINUS) && SameTree(n.items[0], expr.items[0]);
}
template <template <int, bool, int> class R>
StmtExec CombineExecutor(const RToken& n) {
  if (SelfUpdate(n)) {
    const RToken& e = n.items[1].items[1];
    return n.items[1].ind == SYM_PLUS ? ByMode<R, SYM_PLUS, true>(e) : ByMode<R, SYM_MINUS, true>(e);
  }
  if (n.ind == SYM_ADDASSIGN) return ByMode<R, SYM_PLUS, false>(n.items[1]);
  if (n.ind == SYM_SUBASSIGN) return ByMode<R, SYM_MINUS, false>(n.items[1]);
  return nullptr;
}

StmtExec AssignExecutor(const RToken& n) {
  if (!g_fastPaths) return Assign;
  const RToken& target = n.items[0];
  const RToken& expr = n.items[1];
  if (!n.fastassign && n.ind == SYM_ASSIGN && !n.appendself && !expr.pure && target.kind == TK_CONSTOWNERVAR &&
      target.ind2 == OWNER_LOCAL && target.slot >= 0)
    return SetLocal;
  if (!n.fastassign && !n.appendself && expr.pure && target.kind == TK_VARIABLE && target.pure &&
      target.items.size() == 2) {
    if (StmtExec r = CombineExecutor<RElement>(n)) return r;
    if (n.ind == SYM_ASSIGN) return ByMode<RElement, SYM_ASSIGN, false>(expr);
    return Assign;
  }
  if (!n.fastassign) return Assign;
  if (n.fastassign == 1) {
    if (StmtExec r = CombineExecutor<RCombineLocal>(n)) return r;
    return ByMode<RSetLocal, SYM_ASSIGN, false>(expr);
  }
  if (StmtExec r = CombineExecutor<RCombineUser>(n)) return r;
  return ByMode<RSetUser, SYM_ASSIGN, false>(expr);
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

__attribute__((noinline)) LocalSlot* GrowSlots(size_t depth, size_t nslots) {
  if (g_slotPool.size() <= depth) g_slotPool.resize(depth + 1);
  auto& pool = g_slotPool[depth];
  if (pool.size() < nslots) pool.resize(nslots);
  return pool.data();
}
inline LocalSlot* SlotsFor(size_t depth, size_t nslots) {
  if (depth < g_slotPool.size()) {
    auto& pool = g_slotPool[depth];
    if (pool.size() >= nslots) return pool.data();
  }
  return GrowSlots(depth, nslots);
}

// The locals of a run that ends are fresh for the next run at this depth:
// only slots that were written are touched.
inline void ResetSlots(LocalSlot* slots, size_t nslots) {
  for (size_t k = 0; k < nslots; ++k) {
    LocalSlot& s = slots[k];
    if (!s.defined) continue;
    s.defined = false;
    s.var.simplevalue.SetReal(0);
    if (!s.var.value.empty()) s.var.value.clear();
  }
}

// Runs the tree of a compiled program or expression with fresh locals; every
// check of the code, the instances and the limits was made by the caller.
inline bool RunTree(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  const size_t nslots = code->i_localIds.size();
  LocalSlot* slots = nslots ? SlotsFor(static_cast<size_t>(g_execDepth), nslots) : nullptr;
  Ctx c{self, other, nullptr, code, slots};
  ++g_execDepth;
  bool ok;
  if (code->i_kind == 2) ok = Eval(c, code->i_token, result);
  else ok = Exec(c, code->i_token, result) != C_ERROR;
  --g_execDepth;
  if (nslots) ResetSlots(slots, nslots);
  if (c.locals) FreeLocals(c.locals);
  return ok;
}

// The outer entry: every check that a code run from outside the interpreter
// needs.
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
  if (g_budget.load(std::memory_order_relaxed) >= 0 && !SpendCounted(*code, 0)) return false;
  return RunTree(self, other, code, result);
}

const CCode kNotCompiled;

// Makes the reserved frame f current for a script's run: slots from count on
// read as real 0, as a fresh frame's would.
inline void EnterFrame(RArgFrame& f, int count, const std::string* name) {
  f.count = count;
  f.name = name;
  for (int k = count; k < f.dirty; ++k) f.slots[k].SetReal(0);
  f.dirty = count;
  g_frame = &f;
}

// Runs script `index` in the reserved frame f, whose slots 0..count-1 hold
// the arguments, and releases the frame.
bool RunInFrame(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, RArgFrame& f, int count) {
  CScript* script = ScriptGet(index);
  if (!script) {
    if (f.dirty < count) f.dirty = count;
    --g_frameDepth;
    return false;
  }
  RArgFrame* const caller = g_frame;
  const std::string& name = ScriptGetName(index);
  EnterFrame(f, count, &name);
  result.SetReal(0);
  const CCode* code = script->s_code.get();
  bool ok = RunCompiled(self, other, code ? code : &kNotCompiled, result);
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
  g_frame = caller;
  --g_frameDepth;
  return ok;
}

// The callee of script call node n, cached on the node (see
// RToken::callee): false, and nothing cached, when the script is missing or
// its code is not a compiled program (RunInFrame reports those).
__attribute__((noinline)) bool ResolveCallee(const RToken& n) {
  const std::string* name = nullptr;
  const CScript* script = ScriptGetNamed(n.ind - kScriptFunctionBase, name);
  const CCode* code = script ? script->s_code.get() : nullptr;
  if (!code || !code->i_compiled || code->i_kind != 1) return false;
  // A callee whose code is one `return e` with e pure arithmetic and which
  // has no local slots: its value is e, evaluated with no tree walk.
  const RToken* leaf = nullptr;
  // The root is the return itself when the compiler dropped its block.
  const RToken& root = code->i_token;
  const RToken& s = root.kind == TK_BLOCK && root.itemnumb == 1 ? root.items[0] : root;
  if (s.kind == TK_RETURN && s.itemnumb == 1 && code->i_localIds.empty() && s.items[0].pure && s.items[0].real)
    leaf = &s.items[0];
  n.callee = code;
  n.calleeName = name;
  n.calleeLeaf = leaf;
  n.calleeSlots = !code->i_localIds.empty();
  n.calleeEpoch = g_scriptEpoch;
  return true;
}

// A script call made by the interpreter (self and other are the caller's,
// frames and stack limit are set up, the argument frame f is reserved and
// filled): the common case runs the script's tree here, with its callee
// cached on the node; a missing or uncompiled script, a low stack, a spent
// step budget or a wrong argument count under opt_argerrors take RunInFrame,
// which has every check and error.
__attribute__((always_inline)) inline bool CallInFrame(Ctx& c, const RToken& n, RArgFrame& f, int count,
                                                       RValue& out) {
  if (n.calleeEpoch != g_scriptEpoch && !ResolveCallee(n)) [[unlikely]]
    return RunInFrame(n.ind - kScriptFunctionBase, c.self, c.other, out, true, f, count);
  const CCode* code = n.callee;
  if (!g_fastPaths || StackLow() ||
      (opt_argerrors && (code->i_ArgArray ? count < code->i_Args : count != code->i_Args))) [[unlikely]]
    return RunInFrame(n.ind - kScriptFunctionBase, c.self, c.other, out, true, f, count);
  // A budget or a request for attention: the outer entry spends and looks.
  if (g_budget.load(std::memory_order_relaxed) >= 0) [[unlikely]]
    return RunInFrame(n.ind - kScriptFunctionBase, c.self, c.other, out, true, f, count);
  RArgFrame* const caller = g_frame;
  EnterFrame(f, count, n.calleeName);
  ErrorClear();
  bool ok;
  double d;
  // Pure arithmetic reads self and the argument frame only, so the caller's
  // context serves.
  if (const RToken* e = n.calleeLeaf; e && Operand(c, *e, d)) {
    out.SetReal(d);
    ok = true;
  } else {
    // RunTree for a script (always a program), with the root block's loop
    // run here rather than through its node.
    out.SetReal(0);
    const size_t nslots = n.calleeSlots ? code->i_localIds.size() : 0;
    LocalSlot* slots = nslots ? SlotsFor(static_cast<size_t>(g_execDepth), nslots) : nullptr;
    Ctx cc{c.self, c.other, nullptr, code, slots};
    const RToken& root = code->i_token;
    ++g_execDepth;
    ok = (root.exec == XBlock ? XBlock(cc, root, out) : Exec(cc, root, out)) != C_ERROR;
    --g_execDepth;
    if (nslots) ResetSlots(slots, nslots);
    if (cc.locals) FreeLocals(cc.locals);
    if (!ok) [[unlikely]] {
      out.SetString("ERROR");
      AddScriptLine(*n.calleeName);
    }
  }
  g_frame = caller;
  --g_frameDepth;
  return ok;
}

}  // namespace

void SetExecutionBudget(long long steps) { g_budget.store(steps, std::memory_order_relaxed); }

void CodeRequestAttention() {
  long long free_running = -1;
  g_budget.compare_exchange_strong(free_running, kAttention, std::memory_order_relaxed);
}

void CodeSetAttentionHandler(bool (*handler)()) { g_attentionHandler = handler; }

bool CodeStopped() { return g_codeStopped.load(std::memory_order_relaxed); }

void CodeStopResetForTests() {
  g_codeStopped.store(false, std::memory_order_relaxed);
  g_budget.store(-1, std::memory_order_relaxed);
}

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
  if (count > 16) count = 16;
  if (count < 0) count = 0;
  RArgFrame& f = ReserveFrame();
  for (int k = 0; k < count; ++k) CopyValue(f.slots[k], args[k]);
  return RunInFrame(index, self, other, result, checkargs, f, count);
}

RealEval PureEvaluator(const RToken& n, bool check) {
  if (!check && n.kind == TK_BINARY && !n.longchain) {
    switch (n.ind) {
      case SYM_PLUS: return BinaryEvaluator<SYM_PLUS, false>(n);
      case SYM_MINUS: return BinaryEvaluator<SYM_MINUS, false>(n);
      case SYM_TIMES: return BinaryEvaluator<SYM_TIMES, false>(n);
      default: break;
    }
  }
  switch (n.kind) {
    case TK_CONSTANT:
      return Real<PConst>;
    case TK_CONSTOWNERVAR:
      if (n.ind2 == OWNER_LOCAL) return Real<PLocal>;
      if (n.ind < kBuiltinVarLimit) return IsArgumentVariable(n.ind) ? ArgumentEvaluator(n.ind - g_arg0) : Real<PBuiltin>;
      return Real<PUser>;
    case TK_VARIABLE:
      return n.items.size() == 2 ? Real<PElement1> : Real<PElement>;
    case TK_UNARY:
      return n.ind == SYM_MINUS ? Real<PMinus> : n.ind == SYM_NOT ? Real<PNot> : Real<PPlus>;
    case TK_BINARY:
      if (n.longchain) return Real<PChain>;
      switch (n.ind) {
        case SYM_PLUS: return BinaryEvaluator<SYM_PLUS>(n);
        case SYM_MINUS: return BinaryEvaluator<SYM_MINUS>(n);
        case SYM_TIMES: return BinaryEvaluator<SYM_TIMES>(n);
        case SYM_DIVIDE: return BinaryEvaluator<SYM_DIVIDE>(n);
        case SYM_DIV: return BinaryEvaluator<SYM_DIV>(n);
        case SYM_MOD: return BinaryEvaluator<SYM_MOD>(n);
        case SYM_LT: return BinaryEvaluator<SYM_LT>(n);
        case SYM_LE: return BinaryEvaluator<SYM_LE>(n);
        case SYM_ASSIGN: return BinaryEvaluator<SYM_ASSIGN>(n);
        case SYM_EQ: return BinaryEvaluator<SYM_EQ>(n);
        case SYM_NE: return BinaryEvaluator<SYM_NE>(n);
        case SYM_GE: return BinaryEvaluator<SYM_GE>(n);
        case SYM_GT: return BinaryEvaluator<SYM_GT>(n);
        case SYM_AND: return BinaryEvaluator<SYM_AND>(n);
        case SYM_OR: return BinaryEvaluator<SYM_OR>(n);
        case SYM_XOR: return BinaryEvaluator<SYM_XOR>(n);
        default: return nullptr;
      }
    default:
      return nullptr;
  }
}

StmtExec StatementExecutor(const RToken& n) {
  const bool fast = g_fastPaths;
  switch (n.kind) {
    case TK_BLOCK: return XBlock;
    case TK_ASSIGN: return AssignExecutor(n);
    case TK_CALL:
      return fast && n.ind >= kScriptFunctionBase && n.ind < kExtensionFunctionBase ? XCallScript : XCall;
    case TK_IF:
      return fast && n.items[0].pure && (n.itemnumb <= 2 || n.items[2].kind != TK_IF) ? IfPureExecutor(n) : XIf;
    case TK_WHILE: return fast && n.items[0].pure ? WhileLoop<PureCondition> : WhileLoop<Condition>;
    case TK_DO: return Do;
    case TK_FOR: return ForExecutor(n);
    case TK_REPEAT: return Repeat;
    case TK_EXIT: return XExit;
    case TK_BREAK: return XBreak;
    case TK_CONTINUE: return XContinue;
    case TK_RETURN: return ReturnExecutor(n);
    case TK_WITH: return With;
    case TK_SWITCH: return Switch;
    case TK_CASE: return XCase;
    case TK_DEFAULT: return XDefault;
    case TK_VAR: case TK_EMPTYPROGRAM: return XNothing;
    case TK_GLOBALVAR: return XGlobalVar;
    default: return XNotStatement;
  }
}
