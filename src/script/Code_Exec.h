#pragma once
// The interpreter: runs compiled code for a pair of instances.
#include "script/RValue.h"

class CCode;
class CInstance;

// Runs a compiled code; false only when an error was recorded (Code_Error).
bool ExecuteCode(CInstance* self, CInstance* other, const CCode* code, RValue& result);
// ExecuteCode; a failure is reported as a non-fatal action error.
bool ExecuteCodeReport(CInstance* self, CInstance* other, const CCode* code, RValue& result);
// ExecuteCode; on failure the result becomes the string "ERROR".
bool ExecuteCodeValue(CInstance* self, CInstance* other, const CCode* code, RValue& result);
// Calls script `index` with the given arguments (copied).
bool ExecuteScript(int index, CInstance* self, CInstance* other, RValue& result, bool checkargs, const RValue* args,
                   int count);

// The variable id of argument0 (argument0..15 are consecutive); set when the
// built-in variables are registered.
void SetArgumentVariableIds(int argument0);
// True for the ids of argument0..argument15.
bool IsArgumentVariable(int id);
