#pragma once
// The game at run time: the room being played and the room copies kept for
// persistent rooms, entering and leaving rooms, starting and ending the game,
// and the run-wide game state (score, lives, health, ...).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/Room_Class.h"
#include "runtime/Object_Lists.h"

class CInstance;

// A room being played: its live copy of the design and its instances.
struct CRunRoom {
  CRoom room;
  CRoomInstances inst;
};

extern int Current_Room;          // index of the room being played, -1 none
CRunRoom* Run_Room();             // the room being played, null when none
extern int Score;
extern int Lives;
extern double Health;
extern int Cursor_Sprite;
extern int Cursor_Subimage;
extern int Transition_Kind;
extern int Transition_Steps;
extern bool Automatic_Draw;

// The room order's first room (-1 without rooms).
int FirstRoom();

void StartGame();
void EndGame();
void EnterRoom(int index, bool newgame);
void LeaveRoom(bool gameend);
void GotoRoom(int index);

// Saved games. SaveGame writes the whole game state; the previous file of
// that name stays intact unless the new one was written completely. LoadGame
// reads and checks the whole file before anything of the running game is
// replaced; a missing file does nothing, a bad one is reported and the game
// goes on as it was. Both report their own errors (non-fatal) and give true
// on success. No event is performed by a load.
bool SaveGame(const std::string& file);
bool LoadGame(const std::string& file);
// The file of the save and load keys (F5, F6): "_save" + game id + ".sav".
std::string SpecialKeySaveFile();
// The file game_load asked for; LoadPendingGame (pending room change -300,
// between steps) loads it.
void SetPendingGameFile(const std::string& file);
void LoadPendingGame();
// Checks saved-game bytes as LoadGame would, without touching the running
// game. Gives the message a load would report in error when they are bad.
bool CheckSavedGame(const uint8_t* bytes, size_t size, const std::string& file, std::string& error);

// Run-time instance management (the instance functions build on these).
// Creates an instance of obj at (x, y) and performs its create event; null
// (with the error reported) when the object does not exist.
CInstance* CreateInstance(int obj, double x, double y);
// Performs the destroy event and marks the instance.
void DestroyInstance(CInstance* inst);

// Runs code text once with a throw-away instance as self and other. Returns
// false and fills error when it does not compile or fails.
bool RunCodeOnce(const std::string& text, CInstance* self, bool& compiled, std::string& error);
