#pragma once
// Small picture files made in memory with the libraries' own encoders, so
// that the loader is checked against files it did not write itself.
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace picfix {

// An RGB JPEG of w x h: the left half pure red, the right half pure blue.
inline std::vector<uint8_t> Jpeg(int w, int h, int quality = 95) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * 3);
  for (int x = 0; x < w; ++x) {
    const bool left = x < w / 2;
    row[size_t(x) * 3] = left ? 255 : 0;
    row[size_t(x) * 3 + 1] = 0;
    row[size_t(x) * 3 + 2] = left ? 0 : 255;
  }
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(buf, buf + size);
  jpeg_destroy_compress(&c);
  free(buf);
  return out;
}

inline int GifWrite(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// A GIF89a with a 4-colour palette (black, red, green, blue) whose colour
// index transparent (or none for -1) is transparent; the image is placed at
// (left, top) of a screen of sw x sh.
inline std::vector<uint8_t> Gif(int sw, int sh, int left, int top, int w, int h, const std::vector<uint8_t>& idx,
                                int transparent, bool interlace = false) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, GifWrite, &error);
  const GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, sw, sh, 2, 0, map);
  if (transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
  }
  EGifPutImageDesc(gif, left, top, w, h, interlace, nullptr);
  // Interlaced images are written in the order of the four passes.
  std::vector<int> order;
  if (interlace) {
    for (int y = 0; y < h; y += 8) order.push_back(y);
    for (int y = 4; y < h; y += 8) order.push_back(y);
    for (int y = 2; y < h; y += 4) order.push_back(y);
    for (int y = 1; y < h; y += 2) order.push_back(y);
  } else {
    for (int y = 0; y < h; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> line(idx.begin() + y * w, idx.begin() + (y + 1) * w);
    EGifPutLine(gif, line.data(), w);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// A PNG of another colour type than the saver writes, through libpng's
// simplified writer: format is one of PNG_FORMAT_*, pixels in that format.
inline std::vector<uint8_t> Png(int w, int h, uint32_t format, const std::vector<uint8_t>& pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(w);
  image.height = png_uint_32(h);
  image.format = format;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) out.clear();
  out.resize(size);
  return out;
}

}  // namespace picfix
