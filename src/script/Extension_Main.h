#pragma once
// The game's extension packages: loading them from the game file, preparing
// their libraries, scripts and constants, calling their functions and running
// their initialisation and finalisation functions.
#include <string>
#include <string_view>

class CInstance;
class CStream;
class CExtensionPackage;
struct RValue;

// Reads the extension-package section (version 700) and unpacks each
// package's files under the temporary directory. False on a wrong version or
// marker; throws EStreamError on corrupt data.
bool ExtensionsLoad(CStream& stream);
// Constants, libraries (never opened in secure mode) and script functions.
// False after a script function failed to compile (reported as fatal).
bool ExtensionsPrepare();
// Only the package constants (the packer's compile check uses this).
void ExtensionsDefineConstants();
// The files' initialisation or finalisation functions in package and file
// order; the first failure is reported as fatal and ends the run of them.
bool ExtensionsInit();
bool ExtensionsFinal();
// Forgets every package (the libraries stay loaded).
void ExtensionsClear();

int ExtensionPackageCount();
const CExtensionPackage& ExtensionPackage(int index);

// Function lookups: id or -1; the declared argument count or -100 when no
// function has the id; the name or empty.
int ExtensionFunctionFind(std::string_view name);
int ExtensionFunctionArgCount(int id);
std::string ExtensionFunctionName(int id);
// Calls function id (code calls it as 500000 + id). False with the error
// text recorded when it fails (secure mode, a failing script function).
bool ExtensionFunctionRun(int id, CInstance* self, CInstance* other, RValue& result, RValue* args, int count);
