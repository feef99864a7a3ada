// Sections that hold code and constants: constants, scripts and the library
// initialisation code.
#include "Pack.h"
#include "runner/DataNew_Write.h"
#include "script/Script_Class.h"

void PackConstants(const Project& project, CGameWriter& out) {
  out.BeginList(kSectionVersionConstants, int32_t(project.constants.size()));
  for (const auto& [name, value] : project.constants) {
    out.Sections().WriteString(name);
    out.Sections().WriteString(value);
  }
}

void PackScripts(const Project& project, CGameWriter& out) {
  const ResourceList& scripts = project.Resources("scripts");
  out.BeginList(kSectionVersionScripts, int32_t(scripts.names.size()));
  for (size_t i = 0; i < scripts.names.size(); ++i) {
    if (!scripts.names[i]) {
      out.WriteEmptyResource();
      continue;
    }
    CScript script;
    script.s_text = *project.script_texts[i];
    CStream record;
    script.SaveToStream(record);
    out.WriteResource(*scripts.names[i], record);
  }
}

void PackLibraryInitCode(const Project& project, CGameWriter& out) { out.WriteLibraryInitCode(project.library_init); }
