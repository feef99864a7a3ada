#pragma once
// The project folder model: game.json plus the files it names, loaded and
// checked before anything is written, so that a broken folder never yields a
// half-written game file.
#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "runner/DataNew_Class.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"

// A problem in a project folder, told as "file: field: what is wrong".
class ProjectError : public std::runtime_error {
 public:
  ProjectError(std::string file, std::string field, std::string problem);
  const std::string& File() const { return file_; }
  const std::string& Field() const { return field_; }
  const std::string& Problem() const { return problem_; }

 private:
  std::string file_, field_, problem_;
};

// Typed, checked access to one value of a JSON document. The path ("settings.scale",
// "included_files[2].path") and the file name go into every error message.
class JsonField {
 public:
  JsonField(const nlohmann::json& value, std::string file, std::string path)
      : value_(&value), file_(std::move(file)), path_(std::move(path)) {}

  const nlohmann::json& Value() const { return *value_; }
  const std::string& File() const { return file_; }
  const std::string& Path() const { return path_; }
  bool IsNull() const { return value_->is_null(); }

  // Object members. Get* return the default when the key is absent or null.
  bool Has(const char* key) const;
  std::optional<JsonField> Find(const char* key) const;
  JsonField Member(const char* key) const;  // fails when absent
  int GetInt(const char* key, int fallback) const;
  bool GetBool(const char* key, bool fallback) const;
  std::string GetString(const char* key, const std::string& fallback) const;
  int GetColor(const char* key, int fallback) const;
  // Fails on a member whose name is not in the list (catches misspelt keys).
  void CheckKeys(std::initializer_list<const char*> allowed) const;

  // Lists.
  size_t Size() const;  // fails unless a list
  JsonField At(size_t index) const;

  int AsInt() const;
  bool AsBool() const;
  std::string AsString() const;
  // A colour: an integer 0x00BBGGRR or the text "#RRGGBB".
  int AsColor() const;
  void ExpectObject() const;
  void ExpectList() const;

  [[noreturn]] void Fail(const std::string& problem) const;

 private:
  const nlohmann::json* value_;
  std::string file_, path_;
};

// The names of one resource kind in index order; an empty entry is an empty index.
struct ResourceList {
  std::vector<std::optional<std::string>> names;
  // Index of the first entry with exactly this name, or -1.
  int Find(const std::string& name) const;
};

// One code text of the project and where it came from, compiled at pack time
// with the runner's own compiler.
struct RCodeSite {
  std::string file;       // the file holding the text (a .code file or a JSON file)
  std::string field;      // for text inside a JSON file: its field path; else empty
  std::string place;      // "object obj_a, step event, action 1", "script scr_x", ...
  std::string text;
  bool expression = false;
};

// The settings and game information a project gets when game.json names none.
RGameSettings DefaultSettings();
RGameInfo DefaultGameInfo();

struct Project {
  std::filesystem::path dir;
  nlohmann::json doc;  // the whole of game.json, for the writers of resource records

  int game_id = 0;
  std::array<uint8_t, 16> guid{};  // Windows GUID byte layout
  bool debug = false;
  RGameSettings settings = DefaultSettings();
  std::string library_name = "D3DX8.dll";
  std::vector<uint8_t> library_data;
  std::vector<std::pair<std::string, std::string>> constants;  // name, value text
  std::map<std::string, ResourceList> resources;                // by game.json key
  std::vector<std::optional<std::string>> script_texts;         // parallel to resources["scripts"]
  std::vector<CDataFile> included_files;
  RGameInfo info = DefaultGameInfo();
  std::vector<std::string> library_init;  // code texts
  std::vector<int> room_order;            // room indices

  // Problems that do not stop the pack, each told once; and errors found
  // while writing that are all reported before the pack fails.
  mutable std::vector<std::string> warnings;
  mutable std::vector<std::string> errors;
  mutable std::vector<std::string> warned_keys;
  // Adds the warning unless one with the same key was given.
  void Warn(const std::string& key, const std::string& text) const;
  // Every code text packed, for the compile check after packing.
  mutable std::vector<RCodeSite> code_sites;
  // Where the actions being read belong ("object obj_a, step event").
  mutable std::string code_place;
  // Notes a code text taken from field f: a code file it names (in_file) or
  // the text of f itself.
  void NoteCode(const JsonField& f, bool in_file, const std::string& place, const std::string& text,
                bool expression) const;

  JsonField Root() const { return JsonField(doc, "game.json", ""); }
  const ResourceList& Resources(const std::string& key) const;
  // The bytes of a file named by a field of game.json (path relative to the folder).
  std::vector<uint8_t> ReadFile(const std::string& relpath, const JsonField& from) const;
  // The same, checked to be UTF-8 text; a leading byte-order mark is dropped.
  std::string ReadText(const std::string& relpath, const JsonField& from) const;
};

// Parses JSON text (a leading byte-order mark is skipped); a syntax error
// names the file, the line and the column.
nlohmann::json ParseJsonText(std::string text, const std::string& relpath);

// The game.json keys that list resources, in the order of the game file's sections.
extern const std::vector<std::string> kResourceKeys;

// Loads and checks a project folder; throws ProjectError.
Project LoadProject(const std::filesystem::path& dir);

// Parses a GUID in its text form, with or without braces; false when malformed.
bool ParseGuid(const std::string& text, std::array<uint8_t, 16>& out);
// Wraps plain text into a minimal rich text document.
std::string PlainTextToRtf(const std::string& text);
// True when the bytes are well-formed UTF-8; otherwise sets the 1-based line of the fault.
bool CheckUtf8(const std::string& text, int& badline);
