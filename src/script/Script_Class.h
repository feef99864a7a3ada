#pragma once
// A script: a named program resource.
#include <memory>
#include <string>

#include "script/Code_Main.h"

class CStream;

class CScript {
 public:
  std::string s_text;
  std::unique_ptr<CCode> s_code;  // absent until compiled

  // Creates the code from s_text as a program and compiles it.
  bool Compile();
  // The script's record: version 800 and the text.
  bool LoadFromStream(CStream& stream);
  void SaveToStream(CStream& stream) const;
};
