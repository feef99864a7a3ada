// Feeds arbitrary bytes to the picture loader (PNG, JPEG, GIF and Windows
// bitmaps, told apart by content). It may refuse the data but must not
// crash, hang or allocate beyond the picture size limit.
#include <cstddef>
#include <cstdint>

#include "graphics/BM32_Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBitmap32 bm;
  if (bm.LoadFromImageData(data, size)) {
    // A loaded picture is whole: its pixels match its size.
    if (bm.s_data.size() != size_t(bm.s_w) * size_t(bm.s_h)) __builtin_trap();
  }
  return 0;
}
