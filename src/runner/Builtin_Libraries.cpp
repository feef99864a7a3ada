// The function libraries in their registration order: a function's id is its
// place in this order, so new libraries go at the end.
#include "graphics/Function_Draw.h"
#include "graphics/Function_Graphics.h"
#include "graphics/Function_Surface.h"
#include "graphics/Function_Text.h"
#include "graphics/Function_Window.h"
#include "graphics/Graphics_Transition.h"
#include "graphics/Room_Draw.h"
#include "library/Function_Data_Structures.h"
#include "library/Function_File.h"
#include "library/Function_Math.h"
#include "library/Function_Misc.h"
#include "resources/Function_Tile.h"
#include "runtime/Function_Action.h"
#include "runtime/Function_Collision.h"
#include "runtime/Function_Game.h"
#include "runtime/Function_Motion.h"
#include "runtime/IO_Joystick.h"
#include "runtime/IO_Main.h"
#include "script/Function_Library.h"
#include "sound/Function_Sound.h"

namespace {
const RFunctionLibrary* const kLibraries[] = {
    &kLibrary_Math,
    &kLibrary_Data_Structures,
    &kLibrary_Tile,
    &kLibrary_Game,
    &kLibrary_IO,
    &kLibrary_Room_Draw,
    &kLibrary_Graphics,
    &kLibrary_Window,
    &kLibrary_Surface,
    &kLibrary_Transition,
    &kLibrary_Action,
    &kLibrary_Text,
    &kLibrary_Sound,
    &kLibrary_Draw,
    &kLibrary_File,
    &kLibrary_Misc,
    &kLibrary_Collision,
    &kLibrary_Motion,
    &kLibrary_Joystick,
};
}  // namespace

void RegisterBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterLanguage();
  size_t count = 0;
  for (const RFunctionLibrary* library : kLibraries) count += library->functions.size();
  FunctionReserve(count);
  for (const RFunctionLibrary* library : kLibraries) FunctionAddLibrary(*library);
}
