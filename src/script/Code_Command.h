#pragma once
// Command-line services of the language: listing the registries and running
// a code file once (roomrun --list-functions, --list-variables, --eval).
#include <cstdio>
#include <string>

// One line per built-in function: name and argument count (-1 any).
void ListFunctions(std::FILE* out);
// One line per built-in variable: name, and "(read-only)" when not writable.
void ListVariables(std::FILE* out);
// Compiles the text of `path` as a program, runs it once with one instance as
// self and other and prints the result (a real in its shortest exact form, a
// string in double quotes). `scriptsdir` (may be null) holds one script per
// file, named by the file name up to its first ".". Returns the exit code:
// 0, or 1 after printing the error text.
int RunEvalCommand(const char* path, const char* scriptsdir);
// Formats a value as --eval prints it.
std::string FormatValue(const struct RValue& value);
