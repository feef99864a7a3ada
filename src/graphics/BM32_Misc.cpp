// The picture loader: recognises a picture file by its first bytes and
// decodes JPEG (libjpeg) and GIF (giflib) pictures; PNG and Windows bitmaps
// have decoders of their own.
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "graphics/BM32_Bitmap.h"
#include "runner/Support_File.h"

namespace {
// A picture file is read whole; none of the sizes allowed compresses to more.
constexpr uintmax_t kMaxPictureFileBytes = uintmax_t(1) << 30;
// Progressive JPEGs may hold any number of scans, each one a pass over the
// whole image; real encoders use a dozen, so more is an attack on the time.
constexpr int kMaxJpegScans = 1000;

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
  return size >= n && std::memcmp(data, magic, n) == 0;
}

// A picture that carries no alpha above 0 anywhere has no alpha channel in
// use: it becomes opaque.
void OpaqueUnlessAlpha(std::vector<TColor32>& px) {
  for (TColor32 c : px)
    if (C32_Alpha(c) != 0) return;
  for (TColor32& c : px) c |= 0xFF000000u;
}

// ---------------------------------------------------------------- JPEG
// libjpeg leaves a failing call by longjmp, so, as for PNG, the routines that
// call it hold only plain values and the buffers live with the caller.
struct RJpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  bool truncated;
};

[[noreturn]] void JpegExit(j_common_ptr c) { longjmp(reinterpret_cast<RJpegError*>(c->err)->jump, 1); }

void JpegMessage(j_common_ptr c, int level) {
  // A picture whose data ends early is refused, not shown half grey.
  if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<RJpegError*>(c->err)->truncated = true;
}

void JpegProgress(j_common_ptr c) {
  if (c->is_decompressor && reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > kMaxJpegScans)
    ERREXIT(c, JERR_NOTIMPL);
}

bool JpegHeader(j_decompress_ptr cinfo, RJpegError* err, const uint8_t* data, size_t size) {
  if (setjmp(err->jump)) return false;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_calc_output_dimensions(cinfo);
  return cinfo->output_components == 4;
}

bool JpegRows(j_decompress_ptr cinfo, RJpegError* err, uint8_t* out) {
  if (setjmp(err->jump)) return false;
  jpeg_start_decompress(cinfo);
  const size_t stride = size_t(cinfo->output_width) * 4;
  while (cinfo->output_scanline < cinfo->output_height && !err->truncated) {
    JSAMPROW row = out + size_t(cinfo->output_scanline) * stride;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
  }
  if (err->truncated) return false;
  jpeg_finish_decompress(cinfo);
  return !err->truncated;
}

// ---------------------------------------------------------------- GIF
struct RGifSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int GifRead(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<RGifSource*>(gif->UserData);
  const size_t k = std::min(size_t(n < 0 ? 0 : n), src->size - src->pos);
  std::memcpy(out, src->data + src->pos, k);
  src->pos += k;
  return int(k);
}

// The first frame drawn onto a transparent canvas of the animation's size,
// its transparent colour left transparent.
bool GifFirstFrame(GifFileType* gif, int& w, int& h, std::vector<TColor32>& px) {
  w = std::max(gif->SWidth, 1);
  h = std::max(gif->SHeight, 1);
  if (!BM32_PictureSizeOk(w, h)) return false;
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == TERMINATE_RECORD_TYPE) return false;  // no image at all
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext != nullptr && ext[0] >= 4)
        transparent = (ext[1] & 1) ? ext[4] : -1;
      while (ext != nullptr)
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) return false;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (map == nullptr || d.Width <= 0 || d.Height <= 0 || !BM32_PictureSizeOk(d.Width, d.Height)) return false;
    px.assign(size_t(w) * size_t(h), 0);
    std::vector<GifPixelType> line(size_t(d.Width));
    // Interlaced rows come in four passes.
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
      for (int row = start; row < d.Height; row += step) {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) return false;
        const int y = d.Top + row;
        if (y < 0 || y >= h) continue;
        for (int col = 0; col < d.Width; ++col) {
          const int x = d.Left + col, idx = line[size_t(col)];
          if (x < 0 || x >= w || idx == transparent) continue;
          TColor32 c = C32_Make(0, 0, 0, 255);
          if (idx < map->ColorCount) {
            const GifColorType& e = map->Colors[idx];
            c = C32_Make(e.Red, e.Green, e.Blue, 255);
          }
          px[size_t(y) * size_t(w) + size_t(x)] = c;
        }
      }
    }
    return true;
  }
}
}  // namespace

bool TBitmap32::LoadFromJPEG(const uint8_t* data, size_t size) {
  if (!StartsWith(data, size, "\xFF\xD8\xFF", 3)) return false;
  jpeg_decompress_struct cinfo;
  RJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegExit;
  err.mgr.emit_message = JpegMessage;
  err.truncated = false;
  jpeg_progress_mgr progress{};
  progress.progress_monitor = JpegProgress;
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  bool ok = JpegHeader(&cinfo, &err, data, size) && BM32_PictureSizeOk(cinfo.output_width, cinfo.output_height);
  std::vector<TColor32> px;
  const bool cmyk = ok && cinfo.out_color_space == JCS_CMYK;
  const bool inverted = cinfo.saw_Adobe_marker;
  if (ok) {
    px.resize(size_t(cinfo.output_width) * cinfo.output_height);
    ok = JpegRows(&cinfo, &err, reinterpret_cast<uint8_t*>(px.data()));
  }
  const int w = int(cinfo.output_width), h = int(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) return false;
  if (cmyk) {
    // Bytes C, M, Y, K per pixel; Adobe's encoders store them inverted.
    for (TColor32& p : px) {
      const uint8_t* b = reinterpret_cast<const uint8_t*>(&p);
      int c = b[0], m = b[1], y = b[2], k = b[3];
      if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      p = C32_Make(c * k / 255, m * k / 255, y * k / 255, 255);
    }
  }
  s_w = w;
  s_h = h;
  s_data = std::move(px);
  return true;
}

bool TBitmap32::LoadFromGIF(const uint8_t* data, size_t size) {
  if (!StartsWith(data, size, "GIF87a", 6) && !StartsWith(data, size, "GIF89a", 6)) return false;
  RGifSource src{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&src, GifRead, &error);
  if (gif == nullptr) return false;
  int w = 0, h = 0;
  std::vector<TColor32> px;
  const bool ok = GifFirstFrame(gif, w, h, px);
  DGifCloseFile(gif, &error);
  if (!ok) return false;
  OpaqueUnlessAlpha(px);
  s_w = w;
  s_h = h;
  s_data = std::move(px);
  return true;
}

bool TBitmap32::LoadFromImageData(const uint8_t* data, size_t size) {
  TBitmap32 bm;
  bool ok = false;
  if (StartsWith(data, size, "\x89PNG", 4)) ok = bm.LoadFromPNG(data, size);
  else if (StartsWith(data, size, "\xFF\xD8\xFF", 3)) ok = bm.LoadFromJPEG(data, size);
  else if (StartsWith(data, size, "GIF8", 4)) ok = bm.LoadFromGIF(data, size);
  else if (StartsWith(data, size, "BM", 2)) ok = bm.LoadFromBMP(data, size);
  if (!ok || bm.Empty()) return false;
  OpaqueUnlessAlpha(bm.s_data);
  *this = std::move(bm);
  return true;
}

bool TBitmap32::LoadFromImageFile(const std::string& fname) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(fname, ec);
  if (ec || size > kMaxPictureFileBytes) return false;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fname, bytes)) return false;
  return LoadFromImageData(bytes.data(), bytes.size());
}
