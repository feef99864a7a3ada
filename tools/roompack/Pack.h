#pragma once
// Writers of the game file's sections. Each appends one whole section (its
// version, count and items) to the writer's sections, using the writer's
// section-shape helpers; PackSections calls them in the order the runner reads
// them. A writer reports a problem in the project folder by throwing
// ProjectError.
#include <cstdint>
#include <vector>

#include "Project.h"

// Compiles every code text of the project (project.code_sites) with the
// runner's compiler against the packed game; each error is added to
// project.errors as "FILE:LINE:COLUMN: message (place)".
void CheckProjectCode(const Project& project, const std::vector<uint8_t>& game);

class CGameWriter;

void PackExtensionPackages(const Project& project, CGameWriter& out);
void PackTriggers(const Project& project, CGameWriter& out);
void PackConstants(const Project& project, CGameWriter& out);
void PackSounds(const Project& project, CGameWriter& out);
void PackSprites(const Project& project, CGameWriter& out);
void PackBackgrounds(const Project& project, CGameWriter& out);
void PackPaths(const Project& project, CGameWriter& out);
void PackScripts(const Project& project, CGameWriter& out);
void PackFonts(const Project& project, CGameWriter& out);
void PackTimeLines(const Project& project, CGameWriter& out);
void PackObjects(const Project& project, CGameWriter& out);
void PackRooms(const Project& project, CGameWriter& out);
void PackIncludedFiles(const Project& project, CGameWriter& out);
void PackGameInformation(const Project& project, CGameWriter& out);
void PackLibraryInitCode(const Project& project, CGameWriter& out);
void PackRoomOrder(const Project& project, CGameWriter& out);

// All sections above, in order.
void PackSections(const Project& project, CGameWriter& out);

// The complete bare game file: the header fields and settings from the project,
// the graphics helper library and every section, sealed by the writer.
std::vector<uint8_t> PackGame(const Project& project);
