// Sections that hold code and constants: constants, scripts and the library
// initialisation code.
#include "Pack.h"
#include "runner/DataNew_Write.h"

void PackConstants(const Project& project, CGameWriter& out) {
  out.BeginList(kSectionVersionConstants, int32_t(project.constants.size()));
  for (const auto& [name, value] : project.constants) {
    out.Sections().WriteString(name);
    out.Sections().WriteString(value);
  }
}

void PackScripts(const Project& project, CGameWriter& out) {
  constexpr int kScriptVersion = 800;
  const ResourceList& scripts = project.Resources("scripts");
  out.BeginList(kSectionVersionScripts, int32_t(scripts.names.size()));
  for (size_t i = 0; i < scripts.names.size(); ++i) {
    if (!scripts.names[i]) {
      out.WriteEmptyResource();
      continue;
    }
    CStream record;
    record.WriteInteger(kScriptVersion);
    record.WriteString(*project.script_texts[i]);
    out.WriteResource(*scripts.names[i], record);
  }
}

void PackLibraryInitCode(const Project& project, CGameWriter& out) { out.WriteLibraryInitCode(project.library_init); }
