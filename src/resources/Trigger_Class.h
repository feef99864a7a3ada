#pragma once
// Triggers: user-defined events whose condition code is checked every step.
#include <string>

#include "resources/Action_Class.h"

class CStream;
class CInstance;

class CTrigger {
 public:
  std::string i_name;
  std::string i_condition;
  CodeHandle i_code;
  std::string i_constname;
  int i_moment = 1;  // 1 begin step, 0 step, 2 end step

  void Clear() { *this = CTrigger(); }
  void Assign(const CTrigger& t) { *this = t; }
  // Record: version 800, name, condition, moment, constant name.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;
  // Compiles the condition as a program.
  bool Prepare();
  // Runs the condition for an instance (self and other); true when it ran
  // and gave a real of 0.5 or more. A failing run is reported.
  bool Evaluate(CInstance* inst) const;
};
