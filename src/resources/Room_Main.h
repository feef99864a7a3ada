#pragma once
// The room table: rooms by index (entries may be empty) with their names.
#include <string>
#include <string_view>
#include <vector>

#include "resources/Room_Class.h"
#include "resources/Resource_List.h"

class CStream;

CResourceList<CRoom>& RoomList();
int RoomCount();
bool RoomExists(int index);
CRoom* GetRoom(int index);
std::string GetRoomName(int index);
int FindRoom(std::string_view name);
// Appends an empty room named "__newroom" + index; returns the index.
int AddRoom();
int DuplicateRoom(int index);
// Copies room source into target (creating it when empty); an empty source
// clears the target. False when either index is outside the table.
bool AssignRoom(int target, int source);
bool DeleteRoom(int index);
void ClearRooms();

// Navigation in a room order: the room before or after r, -1 when there is
// none or r is not in the order.
int PreviousRoom(const std::vector<int>& order, int r);
int NextRoom(const std::vector<int>& order, int r);

// The rooms section: a resource list of version 800 followed by the last
// instance id and the last tile id.
bool LoadSection_Rooms(CStream& stream);
void SaveSection_Rooms(CStream& stream);

// The room being played: the live copy whose tiles the tile functions change.
// The room runtime sets it when it enters a room (null: no room is running).
CRoom* RoomCurrent();
void SetRoomCurrent(CRoom* room);
