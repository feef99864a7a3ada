#include "resources/Room_Main.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_set>

#include "resources/Resource_Section.h"
#include "runner/DataNew_Main.h"
#include "script/Code_Spaces.h"

CResourceList<CRoom>& RoomList() {
  static CResourceList<CRoom> list;
  return list;
}
int RoomCount() { return RoomList().Count(); }
bool RoomExists(int index) { return RoomList().Exists(index); }
CRoom* GetRoom(int index) { return RoomList().Get(index); }
std::string GetRoomName(int index) { return RoomList().Name(index); }
int FindRoom(std::string_view name) { return RoomList().Find(name); }
int AddRoom() { return RoomList().Add(std::make_unique<CRoom>(), "room"); }
int DuplicateRoom(int index) { return RoomList().Duplicate(index, "room"); }
bool DeleteRoom(int index) { return RoomList().Delete(index); }
void ClearRooms() { RoomList().Clear(); }

bool AssignRoom(int target, int source) {
  auto& list = RoomList();
  if (target < 0 || target >= list.Count() || source < 0 || source >= list.Count()) return false;
  if (target == source) return true;
  CRoom* dst = list.Ensure(target);
  if (const CRoom* src = list.Get(source)) dst->Assign(*src);
  else dst->Clear();
  return true;
}

int PreviousRoom(const std::vector<int>& order, int r) {
  const int n = int(order.size());
  if (n < 2) return -1;
  for (int i = 1; i < n; ++i)
    if (order[size_t(i)] == r) return order[size_t(i - 1)];
  return -1;
}

int NextRoom(const std::vector<int>& order, int r) {
  const int n = int(order.size());
  if (n < 2) return -1;
  for (int i = n - 2; i >= 0; --i)
    if (order[size_t(i)] == r) return order[size_t(i + 1)];
  return -1;
}

namespace {
// Placed instance ids are instance ids (not object indices or the special
// owners) and unique across the game; a counter below a placed id (or below
// the first instance id) is raised so new ids never meet placed ones.
bool CheckPlacedIds() {
  std::unordered_set<int> seen;
  int highest = LastInstanceId;
  for (int r = 0; r < RoomCount(); ++r) {
    const CRoom* room = GetRoom(r);
    if (room == nullptr) continue;
    for (const RRoomInstance& in : room->r_inst) {
      if (in.id < kFirstInstanceId || in.id == std::numeric_limits<int>::max() || !seen.insert(in.id).second)
        return false;
      highest = std::max(highest, in.id);
    }
  }
  LastInstanceId = std::max(highest, kFirstInstanceId);
  return true;
}
}  // namespace

bool LoadSection_Rooms(CStream& stream) {
  if (!LoadResourceSection(stream, RoomList())) return false;
  LastInstanceId = stream.ReadInteger();
  LastTileId = stream.ReadInteger();
  return CheckPlacedIds();
}
void SaveSection_Rooms(CStream& stream) {
  SaveResourceSection(stream, RoomList());
  stream.WriteInteger(LastInstanceId);
  stream.WriteInteger(LastTileId);
}

namespace {
CRoom* g_current = nullptr;
}  // namespace

CRoom* RoomCurrent() { return g_current; }
void SetRoomCurrent(CRoom* room) { g_current = room; }
