#pragma once
// Every numbering the language and the runtime share, named once: owner
// codes, the id bases that tell objects, instances, variables and functions
// apart, the pending room change codes and the key codes with a fixed role.

// Owner codes: where the language names instances (a value of 0 and up
// below kFirstInstanceId is an object index, from it up an instance id).
enum : int {
  OWNER_SELF = -1, OWNER_OTHER = -2, OWNER_ALL = -3, OWNER_NOONE = -4, OWNER_GLOBAL = -5,
  OWNER_UNQUALIFIED = -6, OWNER_LOCAL = -7,
};

// Object indices are below this; instance ids start at it.
constexpr int kFirstInstanceId = 100000;
constexpr int kMaxObjectIndex = kFirstInstanceId - 1;
// Variable ids: built-in variables below kBuiltinVarLimit, user variables
// from kUserVarBase.
constexpr int kBuiltinVarLimit = 10000;
constexpr int kUserVarBase = 100000;
// Function ids: built-ins from 0, scripts and extension package functions
// from their bases.
constexpr int kScriptFunctionBase = 100000;
constexpr int kExtensionFunctionBase = 500000;
// The event type under which time line moments run.
constexpr int kTimelineEventType = 100000;
// Tile ids start here.
constexpr int kFirstTileId = 10000000;

// The pending room change: none, a room index (0 and up), or one of these.
enum : int {
  ROOM_NONE = -1, ROOM_END = -100, ROOM_RESTART = -200, ROOM_LOAD = -300, ROOM_ABORT = -400,
};

// Key codes with a fixed role in the runner.
enum : int {
  VK_ESCAPE = 27, VK_F1 = 112, VK_F4 = 115, VK_F5 = 116, VK_F6 = 117, VK_F9 = 120,
};
