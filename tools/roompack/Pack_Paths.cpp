// Paths: paths/NAME.json with the control points.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Path_Class.h"
#include "runner/DataNew_Write.h"

void PackPaths(const Project& project, CGameWriter& out) {
  PackResourceList(project, "paths", kSectionVersionPaths, out, [&](int, const std::string& name, CStream& rec) {
    const std::string file = "paths/" + name + ".json";
    const nlohmann::json doc = ReadResourceJson(project, file, true);
    const JsonField root(doc, file, "");
    root.CheckKeys({"smooth", "closed", "precision", "points"});
    CPath p;
    p.i_kind = root.GetBool("smooth", false) ? 1 : 0;
    p.i_closed = root.GetBool("closed", true);
    p.i_precision = root.GetInt("precision", 4);
    if (p.i_precision < 0 || p.i_precision > 8) root.Member("precision").Fail("expected 0 to 8");
    const JsonField pts = root.Member("points");
    pts.ExpectList();
    if (pts.Size() == 0) pts.Fail("a path needs at least one point");
    for (size_t i = 0; i < pts.Size(); ++i) {
      const JsonField pt = pts.At(i);
      pt.ExpectList();
      if (pt.Size() != 2 && pt.Size() != 3) pt.Fail("expected [x, y] or [x, y, speed]");
      auto num = [](const JsonField& f) {
        if (!f.Value().is_number()) f.Fail("expected a number");
        return f.Value().get<double>();
      };
      p.i_points.push_back({num(pt.At(0)), num(pt.At(1)), pt.Size() == 3 ? num(pt.At(2)) : 100.0});
    }
    p.i_count = int(p.i_points.size());
    p.SaveToStream(rec);
  });
}
