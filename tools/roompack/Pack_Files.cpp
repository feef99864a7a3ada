// Sections of included files, game information and the room order.
#include "Pack.h"
#include "runner/DataNew_Write.h"

void PackIncludedFiles(const Project& project, CGameWriter& out) { out.WriteIncludedFiles(project.included_files); }

void PackGameInformation(const Project& project, CGameWriter& out) { out.WriteGameInfo(project.info); }

void PackRoomOrder(const Project& project, CGameWriter& out) {
  out.WriteRoomOrder(std::vector<int32_t>(project.room_order.begin(), project.room_order.end()));
}
