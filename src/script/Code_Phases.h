#pragma once
// Internal interfaces between the four compiler phases.
#include <string>
#include <vector>

#include "script/Code_Main.h"

struct RToken1 {
  int symbol = 0;
  std::string str;  // the lexeme's text (UTF-8); for strings without the quotes
  int position = 0;
};

struct RToken2 {
  int symbol = 0;
  int ind = 0;
  RValue val;
  int position = 0;
};

// Each phase records its first error through RecordCodeError and returns false.
bool CodePhase1(const CCode& code, std::vector<RToken1>& out);
bool CodePhase2(const CCode& code, const std::vector<RToken1>& in, std::vector<RToken2>& out);
bool CodePhase3(const CCode& code, const std::vector<RToken2>& in, RToken& root);
bool CodePhase4(const CCode& code, RToken& root);
