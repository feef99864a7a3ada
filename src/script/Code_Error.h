#pragma once
// Reporting of run-time and compile errors to the player, and the error
// record that the compiler and the interpreter fill (the first error wins).
#include <string>

class CCode;

// The general report: trace, error window (or the headless choice), log,
// error_last and error_occurred; a fatal report ends the game.
void ReportError(const std::string& text, bool fatal);
// Prefixes the place (action, event, object or time line) and reports.
void ReportActionError(const std::string& text, bool fatal);

// ---- the error record ----
// Records a compile or run-time error of a code at a 1-based position of its
// text; does nothing when an error is already pending.
void RecordCodeError(const CCode& code, int position, const std::string& message);
// The position and plain message of the last code error recorded, for
// tools that show it their own way (the packer's FILE:LINE:COLUMN).
int RecordedCodePosition();
const std::string& RecordedCodeMessage();
// Replaces the recorded text and marks the record as set.
void RecordErrorText(const std::string& text);
// Puts the line "In script NAME:" + CR in front of the recorded text.
void ErrorAddScriptLine(const std::string& name);
extern bool g_errorPending;
void ErrorClearSlow();
inline void ErrorClear() {
  if (g_errorPending) ErrorClearSlow();
}
inline bool ErrorPending() { return g_errorPending; }
const std::string& ErrorText();
// The text that pinpoints `position` in `source` (used by RecordCodeError).
std::string FormatCodeError(const std::string& source, bool isexpression, int position, const std::string& message);

// ---- state readable by the game ----
extern std::string error_last;
extern bool error_occurred;
// Set by a fatal report; later reports are dropped.
extern bool g_errorTerminating;
inline bool ErrorTerminating() { return g_errorTerminating; }

// ---- hooks for the parts that come later ----
struct RErrorHooks {
  // Shows the error window; returns true for abort. Null: headless.
  bool (*show_window)(const std::string& text, bool ignorable) = nullptr;
  // Writes a line to the trace log. Null: the runner's trace (TraceWrite).
  void (*trace)(const std::string& text) = nullptr;
  // Clears the input state after a report. Null: nothing.
  void (*clear_input)() = nullptr;
  // Requests the end of the game after a fatal error (pending room change
  // -400). Null: nothing.
  void (*fatal)() = nullptr;
  // The place prefix for action errors ("ERROR in" CR LF "action number ...").
  // Null: no place is known, only "FATAL " is prefixed for fatal errors.
  std::string (*action_place)() = nullptr;
};
RErrorHooks& ErrorHooks();
// Without an error window: the answer given to a non-fatal error (true
// abort, the default; false ignore). Reports are echoed to stderr.
void SetHeadlessErrorChoice(bool abort);
// Identical ignored errors echoed to stderr in a row are counted, not
// repeated; this writes the count still owed (at the end of a run).
void ErrorFlushRepeats();
// Restores the state of a fresh run (terminating off, log fresh, no record).
void ErrorResetForTests();
