#pragma once
// The game's own constants: the names and value texts of the constants
// section, defined in stored order while the game is prepared.
#include <string>
#include <utility>
#include <vector>

class CStream;

// The stored (name, value text) pairs.
std::vector<std::pair<std::string, std::string>>& UserConstants();
// Defines one constant: the name is trimmed and checked, the value compiled
// and evaluated as an expression. On failure shows "Constant name ...  is
// not valid." or "Value for constant ...  is not valid." and returns false.
bool ConstantDefine(const std::string& name, const std::string& valuetext);
// Defines every stored constant in order, stopping at the first failure.
bool ConstantsDefine();
// Reads the constants section: version 800, count, then name and value.
bool LoadSection_Constants(CStream& stream);
