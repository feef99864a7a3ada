#pragma once
// Names the game gives for files, written for Windows, turned into paths on
// this system, and the secure-mode test of a name.
#include <string>
#include <vector>

// The per-game folder that stands for the drives: $ROOMRUN_DATA_HOME, else
// $XDG_DATA_HOME/roomrun, else ~/.local/share/roomrun; then "/" + game id.
std::string GameDataDir();

// The host path of a game's file name: backslashes become slashes, a drive
// ("C:" or "C:\") becomes GameDataDir() + "/drive_c", a network name
// ("\\server\share") GameDataDir() + "/unc/server/share". When the exact
// path does not exist, each missing component is matched case-insensitively
// against its folder (the first match in name order); components that match
// nothing are kept as given, so a new file gets the name the game wrote.
std::string HostPath(const std::string& name);

// Secure mode's test of a raw name, made before anything is touched: true
// when secure mode is on and the name is not a plain file name of the
// working folder (a separator, ".", "..", a drive or a NUL).
bool SecureRefuses(const std::string& name);
