// PNG pictures: decoding any PNG into a bitmap and writing bitmaps as 8-bit
// RGBA PNG files, through libpng.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "graphics/BM32_Bitmap.h"
#include "runner/Support_File.h"

// libpng leaves a failing call by longjmp to the setjmp of the routine that
// made the call. Each such routine below therefore holds only plain values
// (no object with a destructor may be skipped); the buffers live with the
// callers.
namespace {
// Ancillary chunks (texts, colour profiles) larger than this are refused.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(8) << 20;

struct RPngSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void ReadData(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<RPngSource*>(png_get_io_ptr(png));
  if (n > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Reads the header and sets up conversion of every colour type to 8-bit
// blue, green, red, alpha (the bitmap's memory order).
bool ReadHeader(png_structp png, png_infop info, png_uint_32* w, png_uint_32* h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  *w = png_get_image_width(png, info);
  *h = png_get_image_height(png, info);
  const int color = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (color == PNG_COLOR_TYPE_GRAY || color == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // only where there is no alpha
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) == size_t(*w) * 4;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

void WriteData(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    out->insert(out->end(), data, data + n);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) png_error(png, "out of memory");
}

void FlushData(png_structp) {}

bool WriteImage(png_structp png, png_infop info, png_uint_32 w, png_uint_32 h, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
  // A compression buffer that holds the whole compressed image makes libpng
  // write one IDAT chunk.
  png_set_compression_buffer_size(png, compressBound(uLong(h) * (uLong(w) * 4 + 1)));
  png_write_info(png, info);
  png_set_bgr(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}
}  // namespace

bool TBitmap32::LoadFromPNG(const uint8_t* data, size_t size) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_set_user_limits(png, kBM32_MaxPictureSide, kBM32_MaxPictureSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  RPngSource src{data, size, 0};
  png_set_read_fn(png, &src, ReadData);
  png_uint_32 w = 0, h = 0;
  bool ok = ReadHeader(png, info, &w, &h) && BM32_PictureSizeOk(w, h);
  std::vector<TColor32> px;
  if (ok) {
    px.resize(size_t(w) * h);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = reinterpret_cast<png_bytep>(&px[size_t(y) * w]);
    ok = ReadRows(png, rows.data());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return false;
  s_w = int(w);
  s_h = int(h);
  s_data = std::move(px);
  return true;
}

std::vector<uint8_t> TBitmap32::SaveToPNG() const {
  std::vector<uint8_t> out;
  if (Empty()) return out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png == nullptr) return out;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return out;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(s_h));
  for (int y = 0; y < s_h; ++y)
    rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<TColor32*>(&s_data[size_t(y) * size_t(s_w)]));
  png_set_write_fn(png, &out, WriteData, FlushData);
  const bool ok = WriteImage(png, info, png_uint_32(s_w), png_uint_32(s_h), rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

bool TBitmap32::SaveToImageFile(const std::string& fname) const {
  const std::vector<uint8_t> bytes = SaveToPNG();
  return !bytes.empty() && ReplaceFileSafely(fname, bytes.data(), bytes.size());
}
