#pragma once
// An event's action list.
#include <string>
#include <vector>

#include "resources/Action_Class.h"

class CStream;

// How deep the action runner follows questions, repeats and blocks.
constexpr int kMaxActionNesting = 2000;

class CEvent {
 public:
  std::vector<CAction> e_actions;
  int e_number = 0;

  void Clear() {
    e_actions.clear();
    e_number = 0;
  }
  CAction* Action(int i) {
    return (i >= 0 && i < e_number) ? &e_actions[size_t(i)] : nullptr;
  }
  const CAction* Action(int i) const {
    return (i >= 0 && i < e_number) ? &e_actions[size_t(i)] : nullptr;
  }
  void AddAction(CAction act) {
    e_actions.push_back(std::move(act));
    e_number = int(e_actions.size());
  }
  // Appends a code action; the caller compiles it.
  CAction& AddCodeAction(const std::string& code) {
    AddAction(CAction::CreateCode(code));
    return e_actions.back();
  }
  // Record: version 400, action count, actions. A list whose questions,
  // repeats and blocks nest deeper than kMaxActionNesting is refused: the
  // runner could never perform its inner actions.
  bool LoadFromStream(CStream& str);
  // The deepest nesting at which an action of the list runs (1 for a flat
  // list), counted up to limit + 1.
  int NestingDepth(int limit) const;
  void SaveToStream(CStream& str) const;
  bool Compile();
};

// What is being compiled, for messages naming the place of an error.
struct RCompileContext {
  int object = -1;    // object index, or time line index
  int type = -1;      // event type; 100000 for a time line moment
  int number = -1;    // event number or moment step
  int action = -1;
};
RCompileContext& CompileContext();
