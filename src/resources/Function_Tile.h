#pragma once
// The tile functions of the language: they read and change the tiles of the
// room being played (RoomCurrent).

// Registers the 33 tile functions.
void InitFunction_Tile();
