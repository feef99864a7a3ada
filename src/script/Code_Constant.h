#pragma once
// The constant table (built-in and user constants) and the lookup the
// compiler uses: resource names first, then the table from the newest entry.
#include <string>
#include <string_view>

#include "script/RValue.h"

struct RBuiltinConstant {
  const char* name;
  double value;
};
extern const RBuiltinConstant kBuiltinConstants[];
extern const int kBuiltinConstantCount;

void ConstantAdd(const std::string& name, const RValue& value);
void ConstantAddReal(const std::string& name, double value);
// Resource names (through the hook), then the table, newest first.
bool ConstantFind(std::string_view name, RValue& out);
int ConstantCount();
// Adds the built-in constants (once per process).
void ConstantsAddBuiltins();

// Resource names are looked up in the order objects, sprites, sounds,
// backgrounds, paths, fonts, time lines, scripts, rooms, trigger constant
// names. A lookup installed here replaces that search (tests use it); it
// gives the index of the first match.
using ResourceNameLookup = bool (*)(std::string_view name, int& index);
void SetResourceNameLookup(ResourceNameLookup lookup);
