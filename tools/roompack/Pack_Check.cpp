// The pack-time code check: every code text of the project compiled with the
// runner's own compiler against the packed game, errors as FILE:LINE:COLUMN.
#include "Pack.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"
#include "script/Code_Phases.h"
#include "script/Code_Spaces.h"
#include "script/Code_Variable.h"
#include "script/Constant_Main.h"
#include "script/Extension_Main.h"

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

// "FILE:LINE:COLUMN" of a 1-based position in a site's text, or "FILE: field"
// when the JSON file spells the text another way.
std::string WhereIs(const Project& project, const RCodeSite& site, int position) {
  const size_t offset = ByteOffset(site.text, position);
  if (site.field.empty()) {
    const RTextPlace p = PlaceOf(site.text, offset);
    return site.file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
  }
  std::string file_text;
  std::vector<uint8_t> bytes;
  size_t at = 0;
  if (ReadWholeFile((project.dir / site.file).string(), bytes)) file_text.assign(bytes.begin(), bytes.end());
  if (FindInJson(file_text, site.text, offset, at)) {
    const RTextPlace p = PlaceOf(file_text, at);
    return site.file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
  }
  return site.file + ": " + site.field;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

bool IsAssignment(int symbol) {
  return (symbol >= SYM_ASSIGN && symbol <= SYM_DIVASSIGN) ||
         (symbol >= SYM_ORASSIGN && symbol <= SYM_XORASSIGN);
}

struct RNameUse {
  const RCodeSite* site = nullptr;
  int position = 0;
};

// A name read as a variable that nothing in the project ever sets, and that
// names no resource, script or constant, is most likely a misspelt name: the
// game would stop at it with an unknown-variable error. Only a warning, since
// a variable may be set in ways the text does not show (other games' code,
// execute_string); names that appear in any string are taken as set that way.
void WarnAboutUnknownNames(const Project& project, const std::vector<const RCodeSite*>& sites) {
  std::set<std::string> set_names, strings;
  std::map<std::string, RNameUse> reads;
  std::vector<std::string> read_order;
  for (const RCodeSite* site : sites) {
    CCode code(site->text, site->expression);
    std::vector<RToken1> lexemes;
    std::vector<RToken2> tokens;
    ErrorClear();
    if (!CodePhase1(code, lexemes) || !CodePhase2(code, lexemes, tokens)) continue;
    bool declaring = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
      const RToken2& t = tokens[i];
      if (t.symbol == SYM_VARDECL || t.symbol == SYM_GLOBALVAR) {
        declaring = true;
        continue;
      }
      if (t.symbol == SYM_CONST && t.val.kind == RValue::kString) strings.insert(t.val.str);
      if (t.symbol != SYM_VAR) {
        if (t.symbol != SYM_COMMA) declaring = false;
        continue;
      }
      if (t.ind < kUserVarBase) continue;
      const std::string name = VariableGetName(t.ind);
      size_t next = i + 1;
      if (next < tokens.size() && tokens[next].symbol == SYM_LBRACKET) {
        int depth = 0;
        for (; next < tokens.size(); ++next) {
          if (tokens[next].symbol == SYM_LBRACKET) ++depth;
          if (tokens[next].symbol == SYM_RBRACKET && --depth == 0) break;
        }
        ++next;
      }
      if (declaring || (next < tokens.size() && IsAssignment(tokens[next].symbol))) {
        set_names.insert(name);
      } else if (!reads.count(name)) {
        reads[name] = RNameUse{site, t.position};
        read_order.push_back(name);
      }
    }
  }
  ErrorClear();

  std::vector<std::string> known(set_names.begin(), set_names.end());
  for (const auto& [kind, list] : project.resources)
    for (const auto& n : list.names)
      if (n) known.push_back(*n);
  for (const auto& c : project.constants) known.push_back(c.first);

  for (const std::string& name : read_order) {
    if (set_names.count(name) || strings.count(name)) continue;
    const RNameUse& use = reads[name];
    std::string best;
    size_t best_distance = std::max<size_t>(1, std::min<size_t>(3, name.size() / 3)) + 1;
    for (const std::string& k : known) {
      const size_t d = EditDistance(name, k);
      if (d < best_distance) {
        best_distance = d;
        best = k;
      }
    }
    std::string text = WhereIs(project, *use.site, use.position) + ": " + name +
                       " is never set and names no resource, script or constant";
    if (!best.empty()) text += " (did you mean " + best + "?)";
    project.Warn("unknown name " + name, text + " (" + use.site->place + ")");
  }
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
  if (loaded) {
    ExtensionsDefineConstants();
    ConstantsDefine();
  }
  ErrorHooks().show_window = saved_window;
  ErrorResetForTests();
  SetMessageSink(nullptr);
  if (!loaded) {
    for (const std::string& m : load_messages) project.errors.push_back("roompack: the packed game does not load: " + m);
    if (load_messages.empty()) project.errors.push_back("roompack: the packed game does not load");
    return;
  }
  std::vector<const RCodeSite*> compiled;
  for (const RCodeSite& site : project.code_sites) {
    if (site.text.empty()) continue;
    CCode code(site.text, site.expression);
    ErrorClear();
    if (code.Compile()) {
      compiled.push_back(&site);
      continue;
    }
    project.errors.push_back(WhereIs(project, site, RecordedCodePosition()) + ": " + RecordedCodeMessage() + " (" +
                             site.place + ")");
  }
  WarnAboutUnknownNames(project, compiled);
  ErrorClear();
  ClearGameData();
}
