#pragma once
// Built-in functions for the game's files: binary and text files, the file
// system, file names, included files, programs, parameters, environment,
// ini files and the registry.
#include <string>

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_File;

// The command line as parameter_string sees it (0 is the program).
void SetProgramParameters(int argc, char** argv);
// Closes every file the game left open, ends its file search, closes the
// ini file (writing a change not yet on disk) and resets the registry root.
void CloseGameFiles();

// How a real is written to a text file: a blank, "-" when negative, the
// integer part, then "." and six digits unless the millionths are 0.
std::string FormatFileReal(double v);

// Windows file-name splitting ("\" and ":" end the folder part).
namespace filename {
std::string Name(const std::string& s);
std::string Path(const std::string& s);
std::string Dir(const std::string& s);
std::string Drive(const std::string& s);
std::string Ext(const std::string& s);
std::string ChangeExt(const std::string& s, const std::string& ext);
}  // namespace filename
