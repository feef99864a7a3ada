#pragma once
// The script list: scripts by index with a parallel table of names.
#include <string>
#include <string_view>

class CScript;
class CStream;

int ScriptCount();
// Appends a script (name and text) and returns its index.
int ScriptAdd(const std::string& name, const std::string& text);
// Sets the list length; new entries are empty.
void ScriptsClear();
// -1 when absent; exact, case-sensitive, first index wins, empty entries skipped.
int ScriptFind(std::string_view name);
// "<undefined>" for an empty or out-of-range index.
const std::string& ScriptGetName(int index);
CScript* ScriptGet(int index);
// ScriptGet and ScriptGetName in one look-up (for the interpreter's calls).
CScript* ScriptGetNamed(int index, const std::string*& name);
// Changes whenever a script is added, removed, loaded or compiled: what the
// interpreter caches about a called script (its code, see RToken::callee)
// is valid while this value is unchanged.
extern unsigned g_scriptEpoch;
inline void ScriptsChanged() { ++g_scriptEpoch; }
// Compiles every script in index order; the first failure is reported as the
// fatal error "COMPILATION ERROR in Script: " + name and false returned.
bool ScriptsCompileAll();
// Reads the scripts section (framed blocks of the game file).
bool LoadSection_Scripts(CStream& stream);
