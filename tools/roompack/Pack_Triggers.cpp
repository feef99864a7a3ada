// Triggers: triggers/NAME.code holds the condition, triggers/NAME.json
// (optional) the moment and the constant name.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Trigger_Class.h"
#include "runner/DataNew_Write.h"

void PackTriggers(const Project& project, CGameWriter& out) {
  const ResourceList& list = project.Resources("triggers");
  out.BeginList(kSectionVersionTriggers, int32_t(list.names.size()));
  for (size_t i = 0; i < list.names.size(); ++i) {
    CStream block;
    block.WriteBoolean(list.names[i].has_value());
    if (list.names[i]) {
      const std::string& name = *list.names[i];
      const std::string file = "triggers/" + name + ".json";
      const nlohmann::json doc = ReadResourceJson(project, file, false);
      const JsonField root(doc, file, "");
      root.CheckKeys({"condition", "moment", "constant"});
      CTrigger t;
      t.i_name = name;
      const std::string cond = root.GetString("condition", "triggers/" + name + ".code");
      t.i_condition = project.ReadText(cond, root.Find("condition") ? root.Member("condition") : root);
      RCodeSite site;
      site.file = cond;
      site.place = "condition of trigger " + name;
      site.text = t.i_condition;
      project.code_sites.push_back(std::move(site));
      const std::string moment = root.GetString("moment", "step");
      if (moment == "step") t.i_moment = 0;
      else if (moment == "begin_step") t.i_moment = 1;
      else if (moment == "end_step") t.i_moment = 2;
      else root.Member("moment").Fail("expected \"step\", \"begin_step\" or \"end_step\"");
      t.i_constname = root.GetString("constant", "");
      t.SaveToStream(block);
    }
    out.WriteBlock(block);
  }
}
