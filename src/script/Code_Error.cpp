#include "script/Code_Error.h"

#include <cstdio>

// Until the error window exists, reports go to standard error.
void ReportError(const std::string& text, bool fatal) {
  std::fprintf(stderr, "%s%s\n", fatal ? "FATAL " : "", text.c_str());
}

void ReportActionError(const std::string& text, bool fatal) { ReportError(text, fatal); }
