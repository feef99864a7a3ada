#include "Pack_Resource.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Image_Bmp.h"
#include "runner/DataNew_Write.h"

using nlohmann::json;

json ReadResourceJson(const Project& project, const std::string& relpath, bool required) {
  const std::filesystem::path file = project.dir / relpath;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    if (!required) return json::object();
    throw ProjectError(relpath, "", "not found");
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  if (!in) throw ProjectError(relpath, "", "cannot read the file");
  json doc = ParseJsonText(ss.str(), relpath);
  if (!doc.is_object()) throw ProjectError(relpath, "", "expected an object");
  return doc;
}

int ResourceRef(const Project& project, const std::string& key, const JsonField& f) {
  if (f.IsNull()) return -1;
  const std::string name = f.AsString();
  const int i = project.Resources(key).Find(name);
  if (i < 0) f.Fail("no " + key.substr(0, key.size() - 1) + " named \"" + name + "\" in \"" + key + "\"");
  return i;
}

int ResourceRefMember(const Project& project, const std::string& key, const JsonField& obj,
                      const char* member) {
  auto f = obj.Find(member);
  return f ? ResourceRef(project, key, *f) : -1;
}

TBitmap32 LoadPicture(const Project& project, const std::string& relpath, const JsonField& from) {
  const std::vector<uint8_t> png = project.ReadFile(relpath, from);
  RPicture pic;
  std::string error;
  if (!DecodePng(png, pic, error)) throw ProjectError(relpath, "", error);
  TBitmap32 bm(int(pic.width), int(pic.height));
  if (bm.Empty() && pic.width > 0 && pic.height > 0) throw ProjectError(relpath, "", "picture too large");
  for (size_t i = 0; i < bm.s_data.size(); ++i) {
    const uint8_t* p = &pic.bgra[i * 4];
    bm.s_data[i] = C32_Make(p[2], p[1], p[0], p[3]);
  }
  return bm;
}

double GetReal(const JsonField& obj, const char* key, double fallback) {
  auto f = obj.Find(key);
  if (!f || f->IsNull()) return fallback;
  if (!f->Value().is_number()) f->Fail("expected a number");
  const double v = f->Value().get<double>();
  if (!std::isfinite(v)) f->Fail("expected a finite number");
  return v;
}

namespace {
int AppliesTo(const Project& project, const JsonField& a) {
  auto f = a.Find("applies_to");
  if (!f || f->IsNull()) return -1;
  const std::string who = f->AsString();
  if (who == "self") return -1;
  if (who == "other") return -2;
  return ResourceRef(project, "objects", *f);
}

std::string ArgText(const JsonField& f) {
  if (f.Value().is_number_integer()) return std::to_string(f.Value().get<long long>());
  if (f.Value().is_number()) {
    std::ostringstream os;
    os.precision(17);
    os << f.Value().get<double>();
    return os.str();
  }
  return f.AsString();
}
}  // namespace

void ReadActions(const Project& project, const JsonField& list, CEvent& ev) {
  list.ExpectList();
  for (size_t i = 0; i < list.Size(); ++i) {
    const JsonField a = list.At(i);
    a.ExpectObject();
    a.CheckKeys({"code", "code_text", "call", "args", "arg_kinds", "set", "value", "repeat", "control",
                 "question", "not", "relative", "applies_to"});
    CAction act;
    const int forms = int(a.Has("code")) + int(a.Has("code_text")) + int(a.Has("call")) +
                      int(a.Has("set")) + int(a.Has("repeat")) + int(a.Has("control"));
    if (forms != 1) a.Fail("an action is exactly one of code, code_text, call, set, repeat, control");
    const std::string place = project.code_place + ", action " + std::to_string(i + 1);
    if (auto f = a.Find("code")) {
      act = CAction::CreateCode(project.ReadText(f->AsString(), *f));
      project.NoteCode(*f, true, place, act.act_argstring[0], false);
    } else if (auto t = a.Find("code_text")) {
      act = CAction::CreateCode(t->AsString());
      project.NoteCode(*t, false, place, t->AsString(), false);
    } else if (auto c = a.Find("call")) {
      act.act_kind = kActNormal;
      act.act_exetype = kExeFunction;
      act.act_functionname = c->AsString();
      if (act.act_functionname.empty()) c->Fail("empty function name");
      if (auto args = a.Find("args")) {
        args->ExpectList();
        if (args->Size() > size_t(kMaxActionArgs)) args->Fail("at most 8 arguments");
        act.act_argumentcount = int(args->Size());
        for (size_t k = 0; k < args->Size(); ++k) act.act_argstring[k] = ArgText(args->At(k));
      }
      if (auto kinds = a.Find("arg_kinds")) {
        kinds->ExpectList();
        if (kinds->Size() != size_t(act.act_argumentcount)) kinds->Fail("one kind per argument");
        for (size_t k = 0; k < kinds->Size(); ++k) act.act_argtype[k] = kinds->At(k).AsInt();
      }
    } else if (auto s = a.Find("set")) {
      act.act_kind = kActVariable;
      act.act_exetype = kExeCode;
      act.act_argumentcount = 2;
      act.act_argstring[0] = s->AsString();
      act.act_argstring[1] = ArgText(a.Member("value"));
      project.NoteCode(a.Member("value"), false, place, act.act_argstring[1], true);
    } else if (auto r = a.Find("repeat")) {
      act.act_kind = kActRepeat;
      act.act_argumentcount = 1;
      act.act_argstring[0] = ArgText(*r);
      project.NoteCode(*r, false, place, act.act_argstring[0], true);
    } else {
      const JsonField c = a.Member("control");
      const std::string k = c.AsString();
      if (k == "begin") act.act_kind = kActBeginBlock;
      else if (k == "end") act.act_kind = kActEndBlock;
      else if (k == "else") act.act_kind = kActElse;
      else if (k == "exit") act.act_kind = kActExit;
      else c.Fail("expected \"begin\", \"end\", \"else\" or \"exit\"");
    }
    act.act_isquestion = a.GetBool("question", false);
    act.act_isnot = a.GetBool("not", false);
    if (act.act_isnot && !act.act_isquestion) a.Fail("\"not\" needs \"question\": true");
    act.act_relative = a.GetBool("relative", false);
    act.act_userelative = a.Has("relative");
    act.act_who = AppliesTo(project, a);
    act.act_useapplyto = a.Has("applies_to");
    ev.AddAction(std::move(act));
  }
}

void PackResourceList(const Project& project, const std::string& key, int version, CGameWriter& out,
                      const std::function<void(int index, const std::string& name, CStream& record)>& make) {
  const ResourceList& list = project.Resources(key);
  out.BeginList(version, int32_t(list.names.size()));
  for (size_t i = 0; i < list.names.size(); ++i) {
    if (!list.names[i]) {
      out.WriteEmptyResource();
      continue;
    }
    CStream record;
    make(int(i), *list.names[i], record);
    out.WriteResource(*list.names[i], record);
  }
}
