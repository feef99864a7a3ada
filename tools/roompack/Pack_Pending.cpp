// Sections whose records the packer does not write yet: each writes the
// section with no entries, so that the runner reads a well-formed game file.
#include "Pack.h"
#include "runner/DataNew_Write.h"

void PackExtensionPackages(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionExtensions); }

void PackTriggers(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionTriggers); }

void PackSounds(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionSounds); }

void PackSprites(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionSprites); }

void PackBackgrounds(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionBackgrounds); }

void PackPaths(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionPaths); }

void PackFonts(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionFonts); }

void PackTimeLines(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionTimeLines); }

void PackObjects(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionObjects); }

void PackRooms(const Project&, CGameWriter& out) {
  out.WriteEmptyList(kSectionVersionRooms);
  out.Sections().WriteInteger(100000);    // last instance id: placed instances start above it
  out.Sections().WriteInteger(10000000);  // last tile id
}
