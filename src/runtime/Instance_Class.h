#pragma once
// A running instance of an object. This holds what the script language needs
// (identity, the deletion mark and the instance's own variables); the room
// runtime adds position, motion, drawing and event state.
#include <memory>

#include "script/Variable_Class.h"

class CInstance {
 public:
  CInstance();
  CInstance(int id, int objectindex);
  ~CInstance();
  CInstance(const CInstance&) = delete;
  CInstance& operator=(const CInstance&) = delete;

  int i_id = 0;            // unique instance id (100000 and up in a game)
  int i_objectindex = -1;  // object resource index
  bool i_marked = false;   // destroyed, waiting for removal at the end of the step
  bool i_deactivated = false;
  CVariableList i_vars;    // the instance's own variables
};
