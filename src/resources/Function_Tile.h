#pragma once
// The tile functions of the language: they read and change the tiles of the
// room being played (RoomCurrent).

// Registers the 33 tile functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Tile;
