// Feeds arbitrary bytes to every resource section reader and to the sprite
// and background file readers. The first byte picks the reader; the rest is
// the section. Readers may refuse the data or throw a stream error, but must
// not crash, hang or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "resources/Background_Main.h"
#include "resources/Font_Main.h"
#include "resources/Object_Main.h"
#include "resources/Path_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sound_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    // Actions naming unknown functions report it while loading.
    SetMessageSink([](const std::string&) {});
    return true;
  }();
  (void)quiet;
  if (size < 1) return 0;
  CStream s(data + 1, size - 1);
  try {
    switch (data[0] % 11) {
      case 0: LoadSection_Triggers(s); break;
      case 1: LoadSection_Sounds(s); break;
      case 2: LoadSection_Sprites(s); break;
      case 3: LoadSection_Backgrounds(s); break;
      case 4: LoadSection_Paths(s); break;
      case 5: LoadSection_Fonts(s); break;
      case 6: LoadSection_TimeLines(s); break;
      case 7: LoadSection_Objects(s); break;
      case 8: LoadSection_Rooms(s); break;
      case 9: {
        CSprite spr;
        spr.LoadFromSpriteData(s);
        break;
      }
      default: {
        CBackground b;
        b.LoadFromBackgroundData(s);
        break;
      }
    }
  } catch (const std::exception&) {
  }
  // Objects must exist for rooms to load; keep a couple between runs and
  // drop the rest so that memory stays flat.
  ClearTriggers();
  ClearSounds();
  ClearSprites();
  ClearBackgrounds();
  ClearPaths();
  ClearFonts();
  ClearTimeLines();
  ClearRooms();
  ClearObjects();
  AddObject();
  AddObject();
  return 0;
}
