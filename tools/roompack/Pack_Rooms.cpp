// Rooms: rooms/NAME.json with settings, layers, views, instances and tiles.
// Instances and tiles are numbered across all rooms in index order.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Room_Class.h"
#include "runner/DataNew_Write.h"

namespace {
constexpr int kFirstInstanceId = 100000;
constexpr int kFirstTileId = 10000000;

std::string CodeOf(const Project& project, const JsonField& obj, const std::string& place) {
  if (obj.Has("code") && obj.Has("code_text")) obj.Fail("give the code as \"code\" or \"code_text\", not both");
  if (auto f = obj.Find("code")) {
    if (f->IsNull()) return "";
    const std::string text = project.ReadText(f->AsString(), *f);
    project.NoteCode(*f, true, place, text, false);
    return text;
  }
  if (auto t = obj.Find("code_text")) {
    if (t->IsNull()) return "";
    project.NoteCode(*t, false, place, t->AsString(), false);
    return t->AsString();
  }
  return "";
}

double Alpha(const JsonField& obj) {
  const double a = GetReal(obj, "alpha", 1);
  if (a < 0 || a > 1) obj.Member("alpha").Fail("expected 0 to 1");
  return a;
}
}  // namespace

void PackRooms(const Project& project, CGameWriter& out) {
  int lastinst = kFirstInstanceId, lasttile = kFirstTileId;
  PackResourceList(project, "rooms", kSectionVersionRooms, out, [&](int, const std::string& name, CStream& rec) {
    const std::string file = "rooms/" + name + ".json";
    const nlohmann::json doc = ReadResourceJson(project, file, true);
    const JsonField root(doc, file, "");
    root.CheckKeys({"caption", "width", "height", "speed", "persistent", "color", "show_color",
                    "clear_view_background", "code", "code_text", "backgrounds", "enable_views", "views",
                    "instances", "tiles"});
    CRoom r;
    r.r_caption = root.GetString("caption", "");
    r.r_width = root.GetInt("width", 640);
    r.r_height = root.GetInt("height", 480);
    r.r_speed = root.GetInt("speed", 30);
    if (r.r_width < 1 || r.r_height < 1) root.Fail("the room must be at least 1 x 1");
    if (r.r_speed < 1) root.Member("speed").Fail("expected at least 1 step per second");
    r.r_persistent = root.GetBool("persistent", false);
    r.r_color = root.GetColor("color", 0xC0C0C0);
    r.r_showcolor = root.GetBool("show_color", true);
    r.r_clearViewBackground = root.GetBool("clear_view_background", true);
    r.r_code = CodeOf(project, root, "creation code of room " + name);
    if (auto bs = root.Find("backgrounds")) {
      bs->ExpectList();
      if (bs->Size() > 8) bs->Fail("at most 8 background layers");
      for (size_t i = 0; i < bs->Size(); ++i) {
        const JsonField b = bs->At(i);
        b.ExpectObject();
        b.CheckKeys({"visible", "foreground", "background", "x", "y", "htiled", "vtiled", "hspeed", "vspeed",
                     "stretch"});
        CBack& l = r.r_background[i];
        l.visible = b.GetBool("visible", true);
        l.foreground = b.GetBool("foreground", false);
        l.index = ResourceRefMember(project, "backgrounds", b, "background");
        l.x = b.GetInt("x", 0);
        l.y = b.GetInt("y", 0);
        l.htiled = b.GetBool("htiled", true);
        l.vtiled = b.GetBool("vtiled", true);
        l.hspeed = b.GetInt("hspeed", 0);
        l.vspeed = b.GetInt("vspeed", 0);
        l.stretch = b.GetBool("stretch", false);
      }
    }
    r.r_enableviews = root.GetBool("enable_views", false);
    if (auto vs = root.Find("views")) {
      vs->ExpectList();
      if (vs->Size() > 8) vs->Fail("at most 8 views");
      for (size_t i = 0; i < vs->Size(); ++i) {
        const JsonField v = vs->At(i);
        v.ExpectObject();
        v.CheckKeys({"visible", "x", "y", "width", "height", "port_x", "port_y", "port_width", "port_height",
                     "hborder", "vborder", "hspeed", "vspeed", "follow"});
        CView& w = r.r_view[i];
        w.visible = v.GetBool("visible", true);
        w.xview = v.GetInt("x", 0);
        w.yview = v.GetInt("y", 0);
        w.wview = v.GetInt("width", 640);
        w.hview = v.GetInt("height", 480);
        w.xport = v.GetInt("port_x", 0);
        w.yport = v.GetInt("port_y", 0);
        w.wport = v.GetInt("port_width", w.wview);
        w.hport = v.GetInt("port_height", w.hview);
        w.hborder = v.GetInt("hborder", 32);
        w.vborder = v.GetInt("vborder", 32);
        w.hspeed = v.GetInt("hspeed", -1);
        w.vspeed = v.GetInt("vspeed", -1);
        w.index = ResourceRefMember(project, "objects", v, "follow");
      }
    }
    if (auto is = root.Find("instances")) {
      is->ExpectList();
      for (size_t i = 0; i < is->Size(); ++i) {
        const JsonField in = is->At(i);
        in.ExpectObject();
        in.CheckKeys({"object", "x", "y", "code", "code_text", "xscale", "yscale", "color", "alpha", "angle"});
        RRoomInstance ri;
        ri.object = ResourceRef(project, "objects", in.Member("object"));
        ri.x = in.GetInt("x", 0);
        ri.y = in.GetInt("y", 0);
        ri.id = ++lastinst;
        ri.code = CodeOf(project, in, "creation code of instance " + std::to_string(ri.id) + " in room " + name);
        ri.xscale = GetReal(in, "xscale", 1);
        ri.yscale = GetReal(in, "yscale", 1);
        ri.blend = in.GetColor("color", 0xFFFFFF);
        ri.alpha = Alpha(in);
        ri.angle = GetReal(in, "angle", 0);
        r.r_inst.push_back(std::move(ri));
      }
    }
    if (auto ts = root.Find("tiles")) {
      ts->ExpectList();
      for (size_t i = 0; i < ts->Size(); ++i) {
        const JsonField t = ts->At(i);
        t.ExpectObject();
        t.CheckKeys({"background", "x", "y", "left", "top", "width", "height", "depth", "xscale", "yscale",
                     "color", "alpha"});
        RTile tile;
        tile.index = ResourceRef(project, "backgrounds", t.Member("background"));
        tile.x = t.GetInt("x", 0);
        tile.y = t.GetInt("y", 0);
        tile.xo = t.GetInt("left", 0);
        tile.yo = t.GetInt("top", 0);
        tile.w = t.GetInt("width", 16);
        tile.h = t.GetInt("height", 16);
        tile.depth = t.GetInt("depth", 1000000);
        tile.id = ++lasttile;
        tile.xscale = GetReal(t, "xscale", 1);
        tile.yscale = GetReal(t, "yscale", 1);
        tile.blend = t.GetColor("color", 0xFFFFFF);
        tile.alpha = Alpha(t);
        r.r_tile.push_back(tile);
      }
      r.r_tnumb = int(r.r_tile.size());
    }
    r.SaveToStream(rec);
  });
  out.Sections().WriteInteger(lastinst);
  out.Sections().WriteInteger(lasttile);
}
