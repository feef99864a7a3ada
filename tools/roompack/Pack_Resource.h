#pragma once
// Shared helpers of the resource writers: the per-resource JSON files, name
// references between resources, pictures and actions.
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "Project.h"
#include "graphics/BM32_Bitmap.h"
#include "resources/Event_Class.h"

class CStream;
class CGameWriter;

// A resource's description file, KIND/NAME.json. With required false a
// missing file gives an empty object.
nlohmann::json ReadResourceJson(const Project& project, const std::string& relpath, bool required);

// The index of the resource of kind `key` named by the text at f; null gives
// -1. Fails when no such resource exists.
int ResourceRef(const Project& project, const std::string& key, const JsonField& f);
int ResourceRefMember(const Project& project, const std::string& key, const JsonField& obj,
                      const char* member);

// A PNG picture of the project as a bitmap.
TBitmap32 LoadPicture(const Project& project, const std::string& relpath, const JsonField& from);

double GetReal(const JsonField& obj, const char* key, double fallback);

// An action list: a JSON list of actions, each one of
//   {"code": "path.code"} or {"code_text": "..."}           code action
//   {"call": "function", "args": [...], "arg_kinds": [...]} function action
//   {"set": "variable", "value": "expression"}               variable action
//   {"repeat": "expression"}                                 repeat
//   {"control": "begin" | "end" | "else" | "exit"}
// with the optional members "question", "not", "relative", "applies_to"
// ("self", "other" or an object name).
void ReadActions(const Project& project, const JsonField& list, CEvent& ev);

// Appends one resource list section; make writes the record of each present
// resource.
void PackResourceList(const Project& project, const std::string& key, int version, CGameWriter& out,
                      const std::function<void(int index, const std::string& name, CStream& record)>& make);
