#pragma once
// Helpers used all over the runner: the trace log and the messages that stop
// the run.
#include <functional>
#include <string>
#include <vector>

// Whether trace lines are written to "Trace.log" beside the executable.
extern bool TraceEnabled;
// The application title (the executable's name without extension), used as
// the caption of message boxes.
extern std::string ApplicationTitle;

// Appends one line to "Trace.log" beside the executable when tracing is on.
void TraceWrite(const std::string& text);
// Writes the three banner lines to the trace.
void TraceBanner();

// The version of the programs ("roomrun 0.1"-style lines print it).
const char* ProgramVersion();
// The --version command of roomrun: prints "roomrun VERSION" and returns 0.
int PrintVersionCommand(int argc, char** argv);
// Sets TraceEnabled from VTLOG_TRACE and the command line.
void InitTrace(bool asked);

// Shows a message to the player: always on stderr, and in a message box when
// the installed game window can show one. Tests and tools can
// capture the messages instead by installing a sink (an empty function
// restores the default).
void ShowMessage(const std::string& text);
using MessageSink = std::function<void(const std::string&)>;
void SetMessageSink(MessageSink sink);

// Installs the handler for exceptions that escape everything: it writes
// "Unhandled Exception - " + text, "Stack Trace" and the call stack to the
// trace, shows the text and ends the process.
void InstallExceptionHandler();
// Logs an exception the same way (without ending the process).
void VTExceptionHandler(const std::string& text);

// Asks the desktop to open a document or program (xdg-open), or runs an
// executable file with parameters. True when it could be started.
bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory);
// Runs program with parameters split by SplitCommandLine, never through a
// shell, in directory (the current one when empty); a program without a
// slash is searched in PATH. With wait, polls every 50 ms, pumping window
// events, until it has ended. True when it could be started.
bool RunProgram(const std::string& program, const std::string& parameters, const std::string& directory, bool wait);

// Splits a command line the way Windows programs do: blanks and tabs part
// arguments outside double quotes; 2n backslashes before a quote give n
// backslashes and the quote opens or closes quoting, 2n+1 give n and a
// literal quote; "" inside quotes is a literal quote; other backslashes are
// kept. An empty quoted argument is kept.
std::vector<std::string> SplitCommandLine(const std::string& line);
