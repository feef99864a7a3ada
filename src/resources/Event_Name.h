#pragma once
// Names of events as shown to the player in messages.
#include <string>

std::string GetEventName(int type, int number);
std::string GetKeyName(int key);
