#pragma once
// One action of an event's action list: a call of a function, a piece of
// code, or a control element (block, else, exit, repeat).
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "script/RValue.h"

class CStream;
class CCode;

enum : int {
  kActNormal = 0,
  kActBeginBlock = 1,
  kActEndBlock = 2,
  kActElse = 3,
  kActExit = 4,
  kActRepeat = 5,
  kActVariable = 6,
  kActCode = 7,
};
enum : int { kExeNone = 0, kExeFunction = 1, kExeCode = 2 };
inline constexpr int kMaxActionArgs = 8;

// Compiled code is held through this handle so that resources do not depend
// on how the compiler lays out its trees.
using CodeHandle = std::shared_ptr<CCode>;

// Replacements for the language's compiler and messages, for tests. When
// compile is not set, code is compiled by the language (CCode) and folded
// constants are recognised by it; unset messages go to the message box and
// the fatal error report.
struct RActionCompiler {
  // Compiles text as a program (expression false) or an expression. On
  // failure returns null and sets error to the compiler's message.
  std::function<CodeHandle(const std::string& text, bool expression, std::string& error)> compile;
  // True when the compiled expression is a constant; its value goes to value.
  std::function<bool(const CodeHandle& code, RValue& value)> constant;
  // Resolves an action's function name: script, extension function or
  // built-in id, -1 when unknown.
  std::function<int(const std::string& name)> find_function;
  // Shows a message during loading.
  std::function<void(const std::string& text)> load_message;
  // Reports a fatal compile error (the error window of the language module).
  std::function<void(const std::string& text)> report_fatal;
};
RActionCompiler& ActionCompiler();
// Compiles code with the installed compiler (the language's by default).
CodeHandle CompileActionCode(const std::string& text, bool expression, std::string& error);

class CAction {
 public:
  int act_libid = 0;
  int act_id = 0;
  int act_kind = kActNormal;
  bool act_userelative = false;
  bool act_isquestion = false;
  bool act_useapplyto = false;
  int act_exetype = kExeNone;
  int act_functionid = -1;
  std::string act_functionname;  // as stored, kept for messages and writing
  std::string act_codestring;
  CodeHandle act_codecode;
  int act_argumentcount = 0;
  std::array<int, kMaxActionArgs> act_argtype{};
  int act_who = -1;
  bool act_relative = false;
  std::array<std::string, kMaxActionArgs> act_argstring;
  std::array<RValue, kMaxActionArgs> act_argvalue;
  std::array<CodeHandle, kMaxActionArgs> act_argcode;
  bool act_isnot = false;

  CAction() = default;
  explicit CAction(int kind) : act_kind(kind) {}
  static CAction CreateCode(const std::string& code);
  void Clear() { *this = CAction(); }

  // Record: version 440 and the fields in stored order. False for another
  // version or more argument kinds or texts than an action holds.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  // Turns variable and code actions into code, compiles the code and the
  // argument expressions, and empties the texts.
  bool Compile();
};
