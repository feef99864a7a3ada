#pragma once
// Reporting of run-time and compile errors to the player.
#include <string>

// The general report: trace, error window or stderr, log, error_last.
void ReportError(const std::string& text, bool fatal);
// Prefixes the place (action, event, object or time line) and reports.
void ReportActionError(const std::string& text, bool fatal);
