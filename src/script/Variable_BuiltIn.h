#pragma once
#include <string>
// Registration of the built-in variables in their fixed order. The variables
// that belong to the language itself are implemented here; every other module
// hands in its getters and setters with BuiltinVariableProvide before
// RegisterBuiltins runs. A name without an implementation is not registered.
#include "script/Variable_Main.h"

// Supplies the implementation of a built-in variable; the setter is null for
// a read-only variable.
void BuiltinVariableProvide(const char* name, BuiltinGetter getter, BuiltinSetter setter);
// Registers every implemented variable, in the fixed order of the names.
void RegisterBuiltinVariables();
// The names in registration order (164 entries).
extern const char* const kBuiltinVariableNames[];
extern const int kBuiltinVariableNameCount;

// Set by the action runner while an action whose relative box is ticked runs.
extern double argument_relative;

// The view being drawn (view_current): the room drawer sets it to each view
// while it draws that view and its draw events run, and back to 0 after; it is
// 0 whenever no drawing is going on.
extern int View_Current;
// The window caption: the room caption with score, lives and health as
// their show flags ask.
std::string CaptionWithScores(const std::string& caption);
