#pragma once
// Picture conversion for the bitmaps stored in the game settings: the project
// keeps pictures as PNG files, the game file stores 32-bit Windows bitmaps.
#include <cstdint>
#include <string>
#include <vector>

// Largest width or height accepted, so that a damaged or hostile PNG cannot
// make the packer allocate gigabytes.
constexpr uint32_t kMaxPictureSide = 16384;

// A decoded picture: width x height pixels, four bytes each (blue, green, red,
// alpha, not premultiplied), rows from the top.
struct RPicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> bgra;
};

// Decodes PNG bytes of any colour type. Returns false with a reason in `error`
// when they are not a readable PNG or the picture is too large.
bool DecodePng(const std::vector<uint8_t>& png, RPicture& out, std::string& error);

// Decodes PNG bytes and encodes them as a 32-bit bottom-up Windows bitmap file
// (file header, 40-byte info header, blue-green-red-alpha pixels). Returns false
// with a reason in `error` when the PNG cannot be decoded.
bool PngToBmp(const std::vector<uint8_t>& png, std::vector<uint8_t>& bmp, std::string& error);

// Encodes blue-green-red-alpha pixels, rows from the top, as that bitmap file.
std::vector<uint8_t> EncodeBmp32(uint32_t width, uint32_t height, const uint8_t* bgra);
