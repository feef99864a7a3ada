#include "script/Code_Error.h"

#include <cstdio>
#include <vector>

#include "runner/Option_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"
#include "script/Code_Interrupt.h"
#include "script/Code_Main.h"
#include "script/Code_Text.h"

std::string error_last;
bool error_occurred = false;

bool g_errorPending = false;
bool g_errorTerminating = false;

namespace {
std::string g_text;
// Script names whose "In script NAME:" lines still have to be put in front
// of g_text, innermost first. Kept apart so that deep recursion does not
// rebuild a growing text at every level.
std::vector<std::string> g_scriptLines;

void MaterializeScriptLines() {
  if (g_scriptLines.empty()) return;
  std::string text;
  for (size_t i = g_scriptLines.size(); i-- > 0;) text += "In script " + g_scriptLines[i] + ":\r";
  text += g_text;
  g_text = std::move(text);
  g_scriptLines.clear();
}
bool g_logFresh = true;
bool g_headlessAbort = true;
RErrorHooks g_hooks;

// An ignored error that recurses through many instances repeats the same
// message thousands of times a step; stderr gets it once and then a count.
std::string g_lastShown;
long long g_repeats = 0;

void FlushRepeats() {
  if (g_repeats > 0)
    std::fprintf(stderr, "(the same message %lld more time%s)\n", g_repeats, g_repeats == 1 ? "" : "s");
  g_repeats = 0;
}

bool ShowWindow(const std::string& text, bool ignorable) {
  if (g_hooks.show_window) return g_hooks.show_window(text, ignorable);
  // As the error window shows it: lines end at CR, LF characters are dropped.
  std::string shown;
  for (char c : text) {
    if (c == '\r') shown += '\n';
    else if (c != '\n') shown += c;
  }
  const bool goes_on = ignorable && !g_headlessAbort;
  if (goes_on && !g_lastShown.empty() && shown == g_lastShown) {
    ++g_repeats;
    return false;
  }
  FlushRepeats();
  std::fprintf(stderr, "%s\n", shown.c_str());
  // Only a message the game goes on after can be followed by a repeat.
  if (goes_on) g_lastShown = std::move(shown);
  else g_lastShown.clear();
  return !goes_on;
}
}  // namespace

RErrorHooks& ErrorHooks() { return g_hooks; }
void ErrorFlushRepeats() {
  FlushRepeats();
  g_lastShown.clear();
}
void SetHeadlessErrorChoice(bool abort) { g_headlessAbort = abort; }

void ErrorResetForTests() {
  g_errorPending = false;
  g_text.clear();
  g_scriptLines.clear();
  g_logFresh = true;
  g_errorTerminating = false;
  error_last.clear();
  error_occurred = false;
  g_lastShown.clear();
  g_repeats = 0;
}

void ErrorClearSlow() {
  g_errorPending = false;
  g_text.clear();
  g_scriptLines.clear();
}
const std::string& ErrorText() {
  MaterializeScriptLines();
  return g_text;
}

void ErrorAddScriptLine(const std::string& name) {
  g_errorPending = true;
  g_scriptLines.push_back(name);
}

void RecordErrorText(const std::string& text) {
  g_errorPending = true;
  g_scriptLines.clear();
  g_text = text;
}

std::string FormatCodeError(const std::string& source, bool isexpression, int position, const std::string& message) {
  std::u16string text = Utf8ToUtf16(source);
  int p = position;
  // Code written with LF (or mixed) line ends reads as the same code with
  // CR LF, so the line, its text and the caret come out as they do there.
  {
    std::u16string crlf;
    int shift = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) {
        crlf += u'\r';
        if (static_cast<int>(i) < p - 1) ++shift;
      }
      crlf += text[i];
    }
    p += shift;
    text = std::move(crlf);
  }
  int len = static_cast<int>(text.size());
  if (p > len) p = len;
  if (p < 1) p = 1;
  int line = 1, column = 0;
  for (int i = 1; i <= p && i <= len; ++i) {
    char16_t ch = text[static_cast<size_t>(i - 1)];
    if (ch == u'\r' || (ch == u'\n' && (i == 1 || text[static_cast<size_t>(i - 2)] != u'\r'))) {
      ++line;
      column = 0;
    } else {
      ++column;
    }
  }
  if (isexpression)
    return "Error in expression:" + Utf16ToUtf8(text) + "\r position " + std::to_string(column) + ": " + message;
  // The line around p, delimited by CR characters.
  size_t start = 0, end = text.size();
  if (len > 0) {
    size_t at = static_cast<size_t>(p - 1);
    for (size_t i = at; i-- > 0;)
      if (text[i] == u'\r') {
        start = i + 1;
        break;
      }
    for (size_t i = at; i < text.size(); ++i)
      if (text[i] == u'\r') {
        end = i;
        break;
      }
    if (end < start) end = start;
  }
  std::string linetext = Utf16ToUtf8(text.substr(start, end - start));
  return "Error in code at line " + std::to_string(line) + ":\r   " + linetext + "\r" +
         std::string(static_cast<size_t>(column + 1), ' ') + "^\rat position " + std::to_string(column) + ": " +
         message;
}

namespace {
int g_codePosition = 0;
std::string g_codeMessage;
}  // namespace

int RecordedCodePosition() { return g_codePosition; }
const std::string& RecordedCodeMessage() { return g_codeMessage; }

void RecordCodeError(const CCode& code, int position, const std::string& message) {
  if (g_errorPending) return;
  g_errorPending = true;
  g_codePosition = position;
  g_codeMessage = message;
  g_scriptLines.clear();
  g_text = FormatCodeError(code.i_str, code.i_kind != 1, position, message);
}

void ReportError(const std::string& text, bool fatal) {
  if (g_hooks.trace) g_hooks.trace(text);
  else TraceWrite(text);
  // Code stopped from outside ends quietly: what fails on its way out is no
  // error of the game.
  if (g_errorTerminating || CodeStopped()) return;
  if (opt_aborterrors) fatal = true;
  if (opt_showerrors) {
    if (fatal) ShowWindow(text, false);
    else if (ShowWindow(text, true)) fatal = true;
  }
  if (g_hooks.clear_input) g_hooks.clear_input();
  if (opt_logerrors) {
    // The game never hears of a log failure; the exit status does.
    std::string why;
    if (!AppendFileSafely("game_errors.log", text + "\r\n\r\n\r\n", g_logFresh, &why)) {
      if (!OutputFailed()) std::fprintf(stderr, "roomrun: game_errors.log: %s\n", why.c_str());
      NoteOutputFailure();
    }
    g_logFresh = false;
  }
  error_last = text;
  error_occurred = true;
  if (fatal) {
    g_errorTerminating = true;
    if (g_hooks.fatal) g_hooks.fatal();
  }
}

void ReportActionError(const std::string& text, bool fatal) {
  std::string prefix = fatal ? "FATAL " : "";
  if (g_hooks.action_place) prefix += g_hooks.action_place();
  ReportError(prefix + text, fatal);
}
