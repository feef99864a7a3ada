// Objects: objects/NAME.json with the object's settings and its events.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Object_Class.h"
#include "runner/DataNew_Write.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Script.h"

namespace {
const char* const kEventNames[kEventTypes] = {"create",    "destroy", "alarm", "step",
                                               "collision", "keyboard", "mouse", "other",
                                               "draw",      "keypress", "keyrelease", "trigger"};

int EventNumber(const Project& project, int type, const JsonField& ev) {
  auto f = ev.Find("number");
  if (!f || f->IsNull()) return 0;
  if (f->Value().is_string()) {
    const std::string s = f->AsString();
    if (type == ev_step) {
      if (s == "normal") return 0;
      if (s == "begin") return 1;
      if (s == "end") return 2;
      f->Fail("expected \"normal\", \"begin\" or \"end\"");
    }
    if (type == ev_keyboard || type == ev_keypress || type == ev_keyrelease) {
      int code = 0;
      if (IO_ParseKeyName(s, code)) return code;
      f->Fail("unknown key \"" + s + "\" (a code 0..255, a letter, '0'..'9' or a key name such as vk_left)");
    }
    if (type == ev_collision) return ResourceRef(project, "objects", *f);
    if (type == ev_trigger) return ResourceRef(project, "triggers", *f);
    f->Fail("expected a number");
  }
  const int n = f->AsInt();
  if (n < 0 || n > kMaxEventNumber) f->Fail("expected 0 to 99999");
  return n;
}
}  // namespace

void PackObjects(const Project& project, CGameWriter& out) {
  PackResourceList(project, "objects", kSectionVersionObjects, out, [&](int index, const std::string& name,
                                                                         CStream& rec) {
    const std::string file = "objects/" + name + ".json";
    const nlohmann::json doc = ReadResourceJson(project, file, true);
    const JsonField root(doc, file, "");
    root.CheckKeys({"sprite", "solid", "visible", "depth", "persistent", "parent", "mask", "events"});
    CObject o;
    o.o_spriteindex = ResourceRefMember(project, "sprites", root, "sprite");
    o.o_solid = root.GetBool("solid", false);
    o.o_visible = root.GetBool("visible", true);
    o.o_depth = root.GetInt("depth", 0);
    o.o_persistent = root.GetBool("persistent", false);
    o.o_parent = ResourceRefMember(project, "objects", root, "parent");
    o.o_mask = ResourceRefMember(project, "sprites", root, "mask");
    // The parent chain must end; follow it through the other objects' files.
    {
      int p = o.o_parent, steps = 0;
      const ResourceList& objs = project.Resources("objects");
      while (p >= 0) {
        if (p == index || ++steps > int(objs.names.size())) root.Member("parent").Fail("the parent chain loops");
        const std::string pf = "objects/" + *objs.names[size_t(p)] + ".json";
        const nlohmann::json pd = ReadResourceJson(project, pf, true);
        const JsonField pr(pd, pf, "");
        p = ResourceRefMember(project, "objects", pr, "parent");
      }
    }
    if (auto evs = root.Find("events")) {
      evs->ExpectList();
      for (size_t i = 0; i < evs->Size(); ++i) {
        const JsonField ev = evs->At(i);
        ev.ExpectObject();
        ev.CheckKeys({"event", "number", "actions"});
        const std::string kind = ev.Member("event").AsString();
        int type = -1;
        for (int t = 0; t < kEventTypes; ++t)
          if (kind == kEventNames[t]) type = t;
        if (type < 0) ev.Member("event").Fail("unknown event \"" + kind + "\"");
        const int number = EventNumber(project, type, ev);
        if (o.GetEventDirect(type, number) != nullptr) ev.Fail("the event is given twice");
        project.code_place = "object " + name + ", " + kind + " event" +
                             (ev.Has("number") ? " " + ev.Member("number").Value().dump() : std::string());
        ReadActions(project, ev.Member("actions"), *o.CreateEvent(type, number));
      }
    }
    o.SaveToStream(rec);
  });
}
