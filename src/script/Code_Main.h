#pragma once
// Compiled code: the node tree the compiler builds and the interpreter walks,
// the compiled unit CCode, and the argument slots of the running script.
#include <string>
#include <string_view>
#include <vector>

#include "script/Code_Spaces.h"
#include "script/RValue.h"

// Lexeme symbols; also the operator codes of the operator routines.
enum : int {
  SYM_END = -2, SYM_BAD = -1, SYM_IDENT = 0, SYM_NUMBER = 1, SYM_STRING = 2,
  SYM_CONST = 5, SYM_FUNC = 6, SYM_VAR = 7,
  SYM_BEGIN = 11, SYM_END_BLOCK = 12,
  SYM_IF = 13, SYM_THEN = 14, SYM_ELSE = 15, SYM_WHILE = 16, SYM_DO = 17, SYM_FOR = 18,
  SYM_UNTIL = 19, SYM_REPEAT = 20, SYM_EXIT = 21, SYM_BREAK = 22, SYM_CONTINUE = 23,
  SYM_WITH = 24, SYM_RETURN = 25, SYM_SWITCH = 26, SYM_CASE = 27, SYM_DEFAULT = 28,
  SYM_VARDECL = 29, SYM_GLOBALVAR = 30,
  SYM_ASSIGN = 101, SYM_ADDASSIGN = 102, SYM_SUBASSIGN = 103, SYM_MULASSIGN = 104,
  SYM_DIVASSIGN = 105, SYM_LPAREN = 106, SYM_RPAREN = 107, SYM_SEMI = 108, SYM_COMMA = 109,
  SYM_LBRACKET = 110, SYM_RBRACKET = 111, SYM_DOT = 112, SYM_COLON = 113,
  SYM_ORASSIGN = 114, SYM_ANDASSIGN = 115, SYM_XORASSIGN = 116,
  SYM_AND = 201, SYM_OR = 202, SYM_NOT = 203, SYM_LT = 204, SYM_LE = 205, SYM_EQ = 206,
  SYM_NE = 207, SYM_GE = 208, SYM_GT = 209, SYM_PLUS = 210, SYM_MINUS = 211, SYM_TIMES = 212,
  SYM_DIVIDE = 213, SYM_DIV = 214, SYM_MOD = 215, SYM_XOR = 216, SYM_BITOR = 217,
  SYM_BITAND = 218, SYM_BITXOR = 219, SYM_BITNOT = 220, SYM_SHL = 221, SYM_SHR = 222,
};

// Node kinds of the tree.
enum : int {
  TK_EMPTYPROGRAM = -2, TK_EMPTY = -1, TK_CONSTANT = 5, TK_CALL = 6, TK_VARIABLE = 7,
  TK_CONSTOWNERVAR = 8, TK_IF = 13, TK_WHILE = 16, TK_DO = 17, TK_FOR = 18, TK_REPEAT = 20,
  TK_EXIT = 21, TK_BREAK = 22, TK_CONTINUE = 23, TK_WITH = 24, TK_RETURN = 25, TK_SWITCH = 26,
  TK_CASE = 27, TK_DEFAULT = 28, TK_VAR = 29, TK_GLOBALVAR = 30, TK_ASSIGN = 101,
  TK_BLOCK = 1000, TK_UNARY = 1010, TK_BINARY = 1011,
};

// How the interpreter reads the index of a pure one-index element node, from
// the index's shape: through its evaluator, or in place a constant, a local
// slot, or x mod a whole constant (whose node keeps the reciprocal) with x a
// local slot or read through its evaluator.
enum IndexMode : unsigned char { IX_EVAL = 0, IX_CONST, IX_LOCAL, IX_MODLOCAL, IX_MOD };

struct RToken;
class CCode;
struct RExecContext;
// The evaluator of a node of pure arithmetic, chosen when the code is
// compiled: ok false when a value on the way is missing or not a real, or an
// operation would fail (the interpreter then takes the general path). The
// pair comes back in two registers, so a value passes from node to node
// without a trip through memory.
struct RealResult {
  double value;
  bool ok;
};
using RealEval = RealResult (*)(RExecContext& c, const RToken& n);
// The routine that runs a node as a statement, chosen when the code is
// compiled; returns the statement's completion (normal, exit, break,
// continue or error).
using StmtExec = int (*)(RExecContext& c, const RToken& n, RValue& result);

struct RToken {
  int kind = -1;
  int ind = 0;       // function id, variable id or operator symbol
  int ind2 = 0;      // owner of a kind 8 node
  RValue value;      // constant of a kind 5 node
  int itemnumb = 0;  // == items.size()
  std::vector<RToken> items;
  int position = 0;  // 1-based position in the source text
  // Interpreter hint: where the variable was found last in a variable list.
  mutable int cache = -1;
  // Variable nodes: the local slot of the variable id in this code, or -1.
  int slot = -1;
  // Set on expressions made only of real constants, plain variable reads and
  // operators: the interpreter first tries them as pure arithmetic on doubles.
  bool pure = false;
  bool pureroot = false;  // pure, and the parent is not
  RealEval real = nullptr;  // set on pure nodes
  StmtExec exec = nullptr;  // set on every node of compiled code
  // Pure binary nodes with eight binary links or more down their left edge:
  // pure arithmetic walks such a chain in a loop.
  bool longchain = false;
  // Kind 7 nodes whose owner child is a real constant: the owner, rounded, is
  // kept in ind2 so that it need not be evaluated.
  bool constowner = false;
  // Assignments of pure arithmetic to a local slot (1) or to an unqualified
  // user variable (2) with =, += or -=: the interpreter's shortest path.
  unsigned char fastassign = 0;
  // Statements: nothing can observe what this statement writes to the result
  // slot (a later statement always overwrites it before the code ends), so
  // a string need not be copied there.
  bool resultdead = false;
  // `v = v + e` on one plain variable, where e cannot change v: appended in
  // place when v holds a string.
  bool appendself = false;
  // Pure element nodes with one index: an IndexMode.
  unsigned char indexmode = IX_EVAL;
  // Script call nodes: the callee as the interpreter last found it, valid
  // while calleeEpoch equals g_scriptEpoch (Script_Main), so a call costs no
  // look-up in the script list. calleeLeaf is the value of a callee whose
  // whole code is `return <pure arithmetic>`, else null.
  mutable unsigned calleeEpoch = 0;
  mutable bool calleeSlots = false;  // the callee has local slots
  mutable const CCode* callee = nullptr;
  mutable const std::string* calleeName = nullptr;
  mutable const RToken* calleeLeaf = nullptr;

  RToken() = default;
  RToken(int k, int pos) : kind(k), position(pos) {}
  RToken(RToken&&) noexcept = default;
  RToken& operator=(RToken&&) noexcept = default;
  // Trees are moved, never copied.
  RToken(const RToken&) = delete;
  RToken& operator=(const RToken&) = delete;
  // Long chains make trees far deeper than the machine stack allows for a
  // recursive destruction: the children are taken apart with a work list.
  ~RToken() {
    if (!items.empty()) ReleaseChildren();
  }
  void Add(RToken&& child) {
    items.push_back(std::move(child));
    itemnumb = static_cast<int>(items.size());
  }

 private:
  void ReleaseChildren() noexcept;
};

// A read of a local that has a slot in its code.
inline bool IsLocalSlot(const RToken& n) {
  return n.kind == TK_CONSTOWNERVAR && n.ind2 == OWNER_LOCAL && n.slot >= 0;
}

// The evaluator of a node marked pure (its children already have theirs);
// defined by the interpreter. check false: the node's value goes straight
// into +, - or * of a pure parent, which checks for an infinity or NaN in
// its own result, so this node need not (only +, - and * nodes use it).
RealEval PureEvaluator(const RToken& n, bool check = true);
// The statement routine of a node (after every other mark is set): the
// general routine of its kind, or with the fast paths on a specialised one
// for its shape; defined by the interpreter.
StmtExec StatementExecutor(const RToken& n);

class CCode {
 public:
  int i_kind = 1;           // 1 program, 2 expression, 3 folded constant expression
  bool i_compiled = false;
  std::string i_str;        // the source text (UTF-8)
  RToken i_token;           // root of the tree
  RValue i_value;           // the value when i_kind is 3
  int i_Args = 0;           // 1 + highest N of argumentN used
  bool i_ArgArray = false;  // `argument` used
  // Variable ids that this code uses as locals with a constant owner; the
  // interpreter keeps them in slots instead of a searched list.
  std::vector<int> i_localIds;

  CCode() = default;
  CCode(const std::string& text, bool isexpression) { Create(text, isexpression); }
  void Create(const std::string& text, bool isexpression);
  // Runs the four phases; false with the error recorded (Code_Error).
  bool Compile();
  const std::string& GetText() const { return i_str; }
};

// ---- the argument slots of the running script ----
struct RArgFrame {
  RValue slots[16];
  int count = 0;
  const std::string* name = nullptr;  // nullptr outside any script
  int dirty = 0;  // slots from here on are known to hold real 0
};
// The frame in use. Script calls switch to a fresh frame and back, which is
// the same as saving and restoring every slot.
RArgFrame& CurrentArgs();
// Name of the running script, "<unknown>" outside any.
std::string CurrentScriptName();

// ---- bounds that keep hostile code from exhausting the process ----
// Maximal length of a string the operators build (64 MB).
extern size_t g_maxStringLength;
// Array indices the interpreter accepts are below this (32000). The fuzzer
// lowers both bounds so that a step budget also bounds memory.
extern int g_maxArrayIndex;
void SetResourceBoundsForFuzzing(size_t maxstring, int maxindex);
// Nesting depth of statements and expressions the parser accepts.
constexpr int kMaxParseDepth = 1000;
// Optional budget of loop iterations and calls for one top-level execution
// (negative: unlimited). Used by the fuzzer and by tests of endless loops.
void SetExecutionBudget(long long steps);

// ---- the switch for tests that compare the fast paths with the general one ----
// On by default. Off: code compiled afterwards carries no fast-path marks and
// the interpreter takes none of its run-time shortcuts, so every construct is
// evaluated the general way (operators through UnaryOperation and
// BinaryOperation, variables through Resolve, read and store).
extern bool g_fastPaths;
inline void SetFastPaths(bool on) { g_fastPaths = on; }
