#include "Image_Bmp.h"

#include <png.h>

#include <cstring>

namespace {
void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}
}  // namespace

std::vector<uint8_t> EncodeBmp32(uint32_t width, uint32_t height, const uint8_t* bgra) {
  const size_t kHeaders = 14 + 40;
  const size_t rowbytes = size_t(width) * 4;  // 32-bit rows need no padding
  const size_t pixels = rowbytes * height;
  std::vector<uint8_t> out(kHeaders + pixels, 0);
  // File header.
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, uint32_t(out.size()));
  Put32(out, 10, uint32_t(kHeaders));
  // Info header: positive height means the rows are stored bottom-up.
  Put32(out, 14, 40);
  Put32(out, 18, width);
  Put32(out, 22, height);
  Put16(out, 26, 1);   // planes
  Put16(out, 28, 32);  // bits per pixel
  Put32(out, 30, 0);   // uncompressed
  Put32(out, 34, uint32_t(pixels));
  Put32(out, 38, 2835);  // 72 dots per inch
  Put32(out, 42, 2835);
  for (uint32_t y = 0; y < height; ++y) {
    std::memcpy(out.data() + kHeaders + size_t(height - 1 - y) * rowbytes, bgra + size_t(y) * rowbytes, rowbytes);
  }
  return out;
}

bool DecodePng(const std::vector<uint8_t>& png, RPicture& out, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    error = std::string("not a readable PNG picture (") + image.message + ")";
    png_image_free(&image);
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide || image.height > kMaxPictureSide) {
    error = "picture size " + std::to_string(image.width) + " x " + std::to_string(image.height) +
            " is outside 1 to " + std::to_string(kMaxPictureSide) + " pixels per side";
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  out.width = image.width;
  out.height = image.height;
  out.bgra.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.bgra.data(), 0, nullptr)) {
    error = std::string("not a readable PNG picture (") + image.message + ")";
    png_image_free(&image);
    out = RPicture();
    return false;
  }
  return true;
}

bool PngToBmp(const std::vector<uint8_t>& png, std::vector<uint8_t>& bmp, std::string& error) {
  RPicture picture;
  if (!DecodePng(png, picture, error)) return false;
  bmp = EncodeBmp32(picture.width, picture.height, picture.bgra.data());
  return true;
}
