// Time lines: timelines/NAME.json with the moments and their actions.
#include <set>

#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/TimeLine_Class.h"
#include "runner/DataNew_Write.h"

void PackTimeLines(const Project& project, CGameWriter& out) {
  PackResourceList(project, "timelines", kSectionVersionTimeLines, out,
                   [&](int, const std::string& name, CStream& rec) {
                     const std::string file = "timelines/" + name + ".json";
                     const nlohmann::json doc = ReadResourceJson(project, file, true);
                     const JsonField root(doc, file, "");
                     root.CheckKeys({"moments"});
                     CTimeLine t;
                     const JsonField ms = root.Member("moments");
                     ms.ExpectList();
                     for (size_t i = 0; i < ms.Size(); ++i) {
                       const JsonField m = ms.At(i);
                       m.ExpectObject();
                       m.CheckKeys({"step", "actions"});
                       const int step = m.Member("step").AsInt();
                       if (t.Find(step) >= 0) m.Member("step").Fail("step " + std::to_string(step) + " given twice");
                       t.AddMoment(step);
                       project.code_place = "time line " + name + ", step " + std::to_string(step);
                       ReadActions(project, m.Member("actions"), *t.Event(t.Find(step)));
                     }
                     t.SaveToStream(rec);
                   });
}
