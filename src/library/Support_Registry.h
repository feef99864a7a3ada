#pragma once
// The registry of this system: one file per game holding keys with named
// string and real values, shared safely between runs of the game.
#include <string>

// The store lives at $ROOMRUN_CONFIG_HOME (else $XDG_CONFIG_HOME/roomrun,
// else ~/.config/roomrun) + "/registry-" + game id + ".ini": one section per
// key (its root first, "HKCU\Software\..."), values "s:" + escaped text or
// "r:" + the real. Every write takes the store's lock, reads what another
// process may have written, changes the one value and replaces the file
// atomically; reads re-read the file when it changed on disk.
std::string RegistryStorePath();

struct RRegistryValue {
  bool exists = false;
  bool is_real = false;
  std::string text;
  double real = 0;
};

// The key of the game's own values: "HKCU\Software\Orrin\" + game id.
std::string RegistryGameKey();
// A key under a root: 1 local machine, 2 classes root, 3 users, else the
// current user.
std::string RegistryRootKey(int root, const std::string& key);

RRegistryValue RegistryRead(const std::string& key, const std::string& name);
// False when the store could not be written (the reason goes to the trace).
bool RegistryWriteString(const std::string& key, const std::string& name, const std::string& text);
bool RegistryWriteReal(const std::string& key, const std::string& name, double value);
// Forgets what was read (the next read goes to the file): for tests that
// change the store's place.
void RegistryForget();
