#pragma once
// The ds_ built-in functions: stacks, queues, lists, maps, priority queues and
// grids addressed by small integer ids, one id space per kind.

// Registers the 110 data structure functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Data_Structures;
