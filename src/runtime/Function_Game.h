#pragma once
// Built-in functions of the game runtime: instances, rooms, the game, event
// performing and debug messages.
#include <string>

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Game;

// Where show_debug_message lines go in a headless run (stdout by default).
void SetDebugMessageSink(void (*sink)(const std::string& line));
