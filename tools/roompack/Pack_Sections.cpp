#include "Pack.h"

#include <climits>

#include "runner/DataNew_Write.h"

void PackSections(const Project& project, CGameWriter& out) {
  PackExtensionPackages(project, out);
  PackTriggers(project, out);
  PackConstants(project, out);
  PackSounds(project, out);
  PackSprites(project, out);
  PackBackgrounds(project, out);
  PackPaths(project, out);
  PackScripts(project, out);
  PackFonts(project, out);
  PackTimeLines(project, out);
  PackObjects(project, out);
  PackRooms(project, out);
  PackIncludedFiles(project, out);
  PackGameInformation(project, out);
  PackLibraryInitCode(project, out);
  PackRoomOrder(project, out);
}

std::vector<uint8_t> PackGame(const Project& project) {
  CGameWriter writer;
  writer.debug = project.debug;
  writer.settings = project.settings;
  if (!writer.settings.showprogress) {
    // The bar pictures are stored only together with the progress bar.
    writer.settings.progressback.reset();
    writer.settings.progressfront.reset();
  }
  writer.library_name = project.library_name;
  writer.library_bytes = project.library_data;
  writer.game_id = project.game_id;
  writer.guid = project.guid;
  PackSections(project, writer);
  // Lengths in the game file are 32-bit; refuse what would not fit.
  if (writer.Sections().Size() > size_t(INT_MAX) - 65536) {
    throw ProjectError("game.json", "", "the game is too large (more than 2 GB of data)");
  }
  return writer.Finish();
}
