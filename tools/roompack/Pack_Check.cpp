// The pack-time code check: every code text of the project compiled with the
// runner's own compiler against the packed game, errors as FILE:LINE:COLUMN.
#include "Pack.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Constant_Main.h"

namespace {

struct RTextPlace {
  int line = 1, column = 1;
};

// Line and byte column (both from 1) of a byte offset; CR LF, LF and CR each
// end a line.
RTextPlace PlaceOf(const std::string& text, size_t offset) {
  RTextPlace p;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++p.line;
      p.column = 1;
    } else {
      ++p.column;
    }
  }
  return p;
}

// The byte offset in UTF-8 text of a 1-based position counted in UTF-16 units.
size_t ByteOffset(const std::string& text, int position) {
  int units = 0;
  size_t i = 0;
  while (i < text.size() && units < position - 1) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return std::min(i, text.size());
}

// Where the string value `text` starts in a JSON file and the file offset of
// its byte `offset`, found by looking for the value as written; false when
// the file spells it another way.
bool FindInJson(const std::string& file_text, const std::string& text, size_t offset, size_t& at) {
  const std::string quoted = nlohmann::json(text).dump();
  const size_t start = file_text.find(quoted);
  if (start == std::string::npos) return false;
  // Walk the written form: an escape stands for one byte of the value
  // (\uXXXX for the bytes of one character, counted by its first).
  size_t i = start + 1, done = 0;
  while (done < offset && i < start + quoted.size() - 1) {
    if (quoted[i - start] == '\\') {
      if (quoted[i - start + 1] == 'u') {
        i += 6;
        ++done;
        continue;
      }
      i += 2;
    } else {
      ++i;
    }
    ++done;
  }
  at = i;
  return true;
}

}  // namespace

void CheckProjectCode(const Project& project, const std::vector<uint8_t>& game) {
  RegisterBuiltins();
  ClearGameData();
  std::vector<std::string> load_messages;
  SetMessageSink([&](const std::string& m) { load_messages.push_back(m); });
  // A constant that does not compile is reported below with its place; the
  // runner's own report of it is not wanted here.
  const auto saved_window = ErrorHooks().show_window;
  ErrorHooks().show_window = [](const std::string&, bool) { return true; };
  const bool loaded = LoadGameFromBuffer(game);
  if (loaded) ConstantsDefine();
  ErrorHooks().show_window = saved_window;
  ErrorResetForTests();
  SetMessageSink(nullptr);
  if (!loaded) {
    for (const std::string& m : load_messages) project.errors.push_back("roompack: the packed game does not load: " + m);
    if (load_messages.empty()) project.errors.push_back("roompack: the packed game does not load");
    return;
  }
  for (const RCodeSite& site : project.code_sites) {
    if (site.text.empty()) continue;
    CCode code(site.text, site.expression);
    ErrorClear();
    if (code.Compile()) continue;
    const size_t offset = ByteOffset(site.text, RecordedCodePosition());
    std::string where;
    if (site.field.empty()) {
      const RTextPlace p = PlaceOf(site.text, offset);
      where = site.file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
    } else {
      std::string file_text;
      std::vector<uint8_t> bytes;
      size_t at = 0;
      if (ReadWholeFile((project.dir / site.file).string(), bytes)) file_text.assign(bytes.begin(), bytes.end());
      if (FindInJson(file_text, site.text, offset, at)) {
        const RTextPlace p = PlaceOf(file_text, at);
        where = site.file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
      } else {
        where = site.file + ": " + site.field;
      }
    }
    project.errors.push_back(where + ": " + RecordedCodeMessage() + " (" + site.place + ")");
  }
  ErrorClear();
  ClearGameData();
}
