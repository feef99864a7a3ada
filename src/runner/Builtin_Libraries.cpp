// The function libraries in their registration order: a function's id is its
// place in this order, so new libraries go at the end.
#include "graphics/Function_Graphics.h"
#include "graphics/Room_Draw.h"
#include "graphics/Function_Window.h"
#include "library/Function_Data_Structures.h"
#include "library/Function_Math.h"
#include "resources/Function_Tile.h"
#include "runtime/Function_Game.h"
#include "runtime/IO_Joystick.h"
#include "runtime/IO_Main.h"
#include "script/Function_Library.h"

namespace {
const RFunctionLibrary* const kLibraries[] = {
    &kLibrary_Math, &kLibrary_Data_Structures, &kLibrary_Tile, &kLibrary_Game, &kLibrary_IO, &kLibrary_Room_Draw,
    &kLibrary_Graphics, &kLibrary_Window,
    &kLibrary_Joystick,
};
}  // namespace

void RegisterBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterLanguage();
  for (const RFunctionLibrary* library : kLibraries) FunctionAddLibrary(*library);
}
