// Differential fuzzing of the interpreter: the input bytes choose a small
// program, which runs twice from the same state, once with the fast paths and
// once with them switched off. The result, the error text and every variable
// the program can reach must come out the same; a difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runner/Option_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "script/Code_Constant.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "script/Variable_BuiltIn.h"
#include "script/Variable_Main.h"

namespace {

// Scripts the programs call; their recursion is bounded so that both runs
// stay far from the stack guard, whose depth depends on frame sizes.
const char* const kScripts[][2] = {
    {"scr_rec", "if (argument0 >= 1 && argument0 < 12) return scr_rec(argument0 - 1, argument1) + argument1; "
                "return argument1"},
    {"scr_cat", "var s, k; s = \"\"; k = 0; repeat (argument0 mod 6) { s += argument1; s = s + \"-\"; k += 1 } "
                "return s"},
    {"scr_args", "argument1 = argument0 * 2; return argument[1] - argument_count"},
    {"scr_set", "v0 = argument0; global.g0 = argument1; return v0"},
    // One `return` of pure arithmetic (evaluated without its tree when it
    // can be; argument2 is past the count of every call below).
    {"scr_leaf", "return argument0 * argument1 - argument2"},
    // A return of two calls.
    {"scr_two", "if (argument0 >= 1 && argument0 < 5) return scr_two(argument0 - 1, argument1) + "
                "scr_leaf(argument1, argument0); return argument1"},
};
constexpr int kScriptCount = static_cast<int>(sizeof kScripts / sizeof kScripts[0]);

// Turns bytes into program text. Every choice takes one byte; when the bytes
// run out the choices are 0, so each input gives one finite program.
class Gen {
 public:
  Gen(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

  std::string Program() {
    std::string s = "var l0, l1, l2; ";
    int n = 1 + Pick(8);
    for (int k = 0; k < n; ++k) s += Statement(0);
    return s;
  }

 private:
  int Pick(int n) {
    int b = p_ < end_ ? *p_++ : 0;
    return b % n;
  }

  std::string Literal() {
    static const char* const kLits[] = {"0", "1", "2", "3", "0.5", "0.25", "-1", "7.5", "1e300", "100000",
                                        "\"\"", "\"a\"", "\"ab\"", "\"10\"", "0.49", "31999"};
    return kLits[Pick(16)];
  }

  // A variable: slots, instance, global, array cells, arguments, built-ins,
  // owners given as constants and computed.
  std::string Var(int depth) {
    static const char* const kVars[] = {"l0", "l1", "l2", "v0", "v1", "global.g0", "self.v1", "other.v0",
                                        "argument0", "argument1", "x", "depth", "local.y", "(0).v0", "(100002).v1",
                                        "all.v0"};
    int k = Pick(19);
    if (k < 16) return kVars[k];
    std::string name = k == 16 ? "a" : k == 17 ? "l1" : "global.g1";
    if (depth > 2) return name + "[" + std::to_string(Pick(4)) + "]";
    if (Pick(4) == 0) {
      // An index taken mod a whole constant, read in place on integers.
      static const char* const kMods[] = {"1", "2", "7", "1000", "31999", "2147483648"};
      return name + "[" + Expr(depth + 1) + " mod " + kMods[Pick(6)] + "]";
    }
    return name + "[" + Expr(depth + 1) + (Pick(3) == 0 ? ", " + Expr(depth + 1) : "") + "]";
  }

  std::string Expr(int depth) {
    int k = depth > 3 ? Pick(2) : Pick(9);
    switch (k) {
      case 0: return Literal();
      case 1: return Var(depth);
      case 2: case 3: case 4: {
        static const char* const kOps[] = {"+", "-", "*", "/", "div", "mod", "&&", "||", "^^", "|", "&", "^",
                                           "<<", ">>", "<", "<=", "==", "!=", ">=", ">", "="};
        std::string l = Expr(depth + 1);
        return l + " " + kOps[Pick(21)] + " " + Expr(depth + 1);
      }
      case 5: {
        static const char* const kUn[] = {"-", "!", "~", "+"};
        return std::string(kUn[Pick(4)]) + Expr(depth + 1);
      }
      case 6: return "(" + Expr(depth + 1) + ")";
      case 7: {
        const char* name = kScripts[Pick(kScriptCount)][0];
        return std::string(name) + "(" + Expr(depth + 1) + ", " + Expr(depth + 1) + ")";
      }
      default: return "argument_count + argument[" + std::to_string(Pick(3)) + "]";
    }
  }

  std::string Statement(int depth) {
    int k = depth > 2 ? Pick(4) : Pick(14);
    switch (k) {
      case 0: case 1: case 2: {
        static const char* const kAssign[] = {"=", "=", "+=", "-=", "*=", "/=", "|=", "&=", "^="};
        return Var(depth) + " " + kAssign[Pick(9)] + " " + Expr(depth) + "; ";
      }
      case 3: {
        // The append forms on one variable.
        std::string v = Var(3);
        switch (Pick(4)) {
          case 0: return v + " += " + Expr(depth) + "; ";
          case 1: return v + " = " + v + " + " + Expr(depth) + "; ";
          default: {
            // An element updated from itself, in place when the index is pure.
            std::string e = std::string(Pick(2) ? "a" : "l1") + "[" + Expr(depth + 1) + "]";
            return e + " = " + e + (Pick(2) ? " + " : " - ") + Expr(depth) + "; ";
          }
        }
      }
      case 4: return "if (" + Expr(depth) + ") " + Statement(depth + 1) + (Pick(2) ? "else " + Statement(depth + 1) : "");
      case 5: return "repeat (" + std::to_string(Pick(5)) + ") " + Statement(depth + 1);
      case 6: {
        // Counting loops of every direction, limit and step the interpreter
        // has a routine for, and their neighbours.
        static const char* const kCmp[] = {"<", "<=", ">", ">=", "!="};
        static const char* const kLimit[] = {"3", "l0", "l1", "4.5", "-2", "v0"};
        static const char* const kStep[] = {"+= 1", "-= 1", "+= 2.5", "-= 0.5", "+= l0", "= l2 + 1"};
        std::string start = std::to_string(Pick(5));
        std::string cmp = kCmp[Pick(5)], limit = kLimit[Pick(6)], step = kStep[Pick(6)];
        std::string body = Pick(2) ? Block(depth + 1) : Statement(depth + 1);
        return "for (l2 = " + start + "; l2 " + cmp + " " + limit + "; l2 " + step + ") " + body;
      }
      case 7: return "while (" + Expr(depth) + ") { " + Statement(depth + 1) + "break; } ";
      case 8: return "with (" + std::string(Pick(2) ? "other" : "all") + ") " + Statement(depth + 1);
      case 9: return "return " + Expr(depth) + "; ";
      case 10: return "switch (" + Expr(depth) + ") { case 1: " + Statement(depth + 1) + "break; case \"a\": " +
                      Statement(depth + 1) + "default: " + Statement(depth + 1) + "} ";
      case 11: return Block(depth + 1);
      case 12: {
        static const char* const kJumps[] = {"exit; ", "break; ", "continue; ", "globalvar v1; "};
        return kJumps[Pick(4)];
      }
      default: return std::string(kScripts[Pick(kScriptCount)][0]) + "(" + Expr(depth) + ", " + Expr(depth) + "); ";
    }
  }

  std::string Block(int depth) {
    std::string s = "{ ";
    int n = Pick(4);
    for (int k = 0; k < n; ++k) s += Statement(depth);
    return s + "} ";
  }

  const uint8_t* p_;
  const uint8_t* end_;
};

void Setup() {
  RegisterBuiltinVariables();
  ConstantsAddBuiltins();
  opt_showerrors = false;
  opt_logerrors = false;
  SetHeadlessErrorChoice(false);
  SetResourceBoundsForFuzzing(4096, 1000);
}

void Describe(std::string& out, const RValue& v) {
  char buf[64];
  if (v.kind == RValue::kReal) {
    std::snprintf(buf, sizeof buf, "r%a", v.val);
    out += buf;
  } else {
    out += "s\"" + v.str + "\"";
  }
  out += ' ';
}

void Describe(std::string& out, const CVariableList& list) {
  for (const RVariable& var : list.v_vars) {
    out += std::to_string(var.ind) + ":";
    Describe(out, var.simplevalue);
    for (const auto& row : var.value) {
      out += "[";
      for (const RValue& e : row) Describe(out, e);
      out += "]";
    }
  }
  out += '\n';
}

// Everything a run leaves behind: compile outcome, result or error text,
// instance and global variables, and the built-in fields the programs write.
std::string RunOnce(const std::string& text, bool fast) {
  SetFastPaths(fast);
  ScriptsClear();
  for (const auto& s : kScripts) ScriptAdd(s[0], s[1]);
  for (int i = 0; i < ScriptCount(); ++i) ScriptGet(i)->Compile();
  GlobalClear();
  ErrorResetForTests();
  // Top-level code may write argument slots; both runs start from empty ones.
  RArgFrame& frame = CurrentArgs();
  for (RValue& slot : frame.slots) slot = RValue();
  frame.count = 0;
  frame.dirty = 0;
  std::string out;
  CCode code(text, false);
  if (!code.Compile()) return "compile: " + ErrorText();
  CInstance a(100001, 0), b(100002, 1);
  SimpleInstanceList().list = {&a, &b};
  SetExecutionBudget(3000);
  RValue result;
  bool ok = ExecuteCode(&a, &b, &code, result);
  SetExecutionBudget(-1);
  SimpleInstanceList().list.clear();
  // After an error the result slot is left as it happens to be (no caller
  // reads it then: failed scripts return "ERROR"), so only a success's counts.
  out += ok ? "ok " : "error " + ErrorText() + "\n";
  if (ok) Describe(out, result);
  out += '\n';
  Describe(out, a.i_vars);
  Describe(out, b.i_vars);
  Describe(out, GlobalVars());
  for (const CInstance* i : {&a, &b}) {
    Describe(out, RValue(i->i_x));
    Describe(out, RValue(i->i_y));
    Describe(out, RValue(i->i_depth));
  }
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  if (size == 0) return 0;
  opt_uninitzero = data[0] & 1;
  opt_argerrors = data[0] & 2;
  Gen gen(data + 1, size - 1);
  const std::string text = gen.Program();
  const std::string fast = RunOnce(text, true);
  const std::string slow = RunOnce(text, false);
  SetFastPaths(true);
  if (fast != slow) {
    std::fprintf(stderr, "The fast paths disagree with the general evaluation.\nProgram: %s\n--- fast:\n%s--- general:\n%s",
                 text.c_str(), fast.c_str(), slow.c_str());
    std::abort();
  }
  return 0;
}
