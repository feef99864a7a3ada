#pragma once
// Helpers used all over the runner: the trace log and the messages that stop
// the run.
#include <functional>
#include <string>

// Whether trace lines are written to "Trace.log" beside the executable.
extern bool TraceEnabled;
// No window, no sound: messages go to stderr only.
extern bool Headless;
// The application title (the executable's name without extension), used as
// the caption of message boxes.
extern std::string ApplicationTitle;

// Appends one line to "Trace.log" beside the executable when tracing is on.
void TraceWrite(const std::string& text);
// Writes the three banner lines to the trace.
void TraceBanner();
// Sets TraceEnabled from VTLOG_TRACE and the command line.
void InitTrace(int argc, char** argv);

// Shows a message to the player: always on stderr, and in a message box when
// there is a display and the runner is not headless. Tests and tools can
// capture the messages instead by installing a sink (an empty function
// restores the default).
void ShowMessage(const std::string& text);
using MessageSink = std::function<void(const std::string&)>;
void SetMessageSink(MessageSink sink);
