#include "runner/Support_Various.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform_Dialog.h"
#include "runner/Support_File.h"

bool TraceEnabled = false;
bool Headless = false;
std::string ApplicationTitle = "roomrun";

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
}  // namespace

void TraceWrite(const std::string& text) {
  if (!TraceEnabled) return;
  std::string dir = ExecutableDir();
  std::string path = (dir.empty() ? std::string(".") : dir) + "/Trace.log";
  // Opened and closed for every line so that the log survives a crash.
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

void TraceBanner() {
  const std::string stars(86, '*');
  TraceWrite(stars);
  TraceWrite(std::string(15, ' ') + "Orrin Runner v8.1." + "52" + "." + "11948");
  TraceWrite(stars);
}

void InitTrace(int argc, char** argv) {
  const char* env = std::getenv("VTLOG_TRACE");
  TraceEnabled = env != nullptr && std::strcmp(env, "1") == 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--VTTrace") == 0) TraceEnabled = true;
  }
}

void ShowMessage(const std::string& text) {
  if (Sink()) {
    Sink()(text);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (!Headless && PlatformDisplayAvailable()) PlatformMessageBox(ApplicationTitle, text);
}

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }
