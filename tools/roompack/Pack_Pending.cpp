// Sections whose records the packer does not write yet: each writes the
// section with no entries, so that the runner reads a well-formed game file.
#include "Pack.h"
#include "runner/DataNew_Write.h"

void PackExtensionPackages(const Project&, CGameWriter& out) { out.WriteEmptyList(kSectionVersionExtensions); }

