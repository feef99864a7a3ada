#include "runner/Support_Stream.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <utility>

namespace {

constexpr size_t kZChunk = 32768;

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

size_t DefaultInflateCap(size_t compressed, size_t max_size) {
  if (max_size != 0) return max_size;
  size_t cap = compressed > kInflateCeiling / kInflateMaxRatio ? kInflateCeiling
                                                               : compressed * kInflateMaxRatio + 1024;
  return std::min(cap, kInflateCeiling);
}

// One inflation of a compressed block: feeds the input in pieces zlib's
// counters can hold and ends the stream however the caller leaves.
class CInflater {
 public:
  CInflater(const uint8_t* src, size_t size) : src_(src), size_(size) {
    if (inflateInit(&zs_) != Z_OK) throw EStreamError("Stream read error: cannot start inflation");
  }
  ~CInflater() { inflateEnd(&zs_); }
  CInflater(const CInflater&) = delete;
  CInflater& operator=(const CInflater&) = delete;

  // Inflates into out[0, room); returns zlib's code. Needing input after the
  // whole block was given means the block is truncated.
  int Step(uint8_t* out, size_t room) {
    if (zs_.avail_in == 0) {
      if (fed_ >= size_) throw EStreamError("Stream read error: compressed block is truncated");
      const size_t n = std::min(size_ - fed_, size_t(1) << 30);
      zs_.next_in = const_cast<Bytef*>(src_ + fed_);
      zs_.avail_in = uInt(n);
      fed_ += n;
    }
    zs_.next_out = out;
    zs_.avail_out = uInt(room);
    return inflate(&zs_, Z_NO_FLUSH);
  }
  // What the last Step left of its room.
  size_t Left() const { return zs_.avail_out; }
  // Z_BUF_ERROR with all input used only asks for more; every other code
  // but Z_OK and Z_STREAM_END means corrupt data.
  void Check(int rc) const {
    if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && zs_.avail_in == 0))
      throw EStreamError("Stream read error: corrupt compressed block");
  }

 private:
  z_stream zs_{};
  const uint8_t* src_;
  size_t size_;
  size_t fed_ = 0;
};

// Runs inflate over src, handing every produced chunk to sink. The total is
// checked against max_size; data that ends early, has trailing garbage inside
// the block or is not zlib data throws.
template <typename Sink>
size_t InflateChunks(const uint8_t* src, size_t size, size_t max_size, uint8_t* out, size_t out_size,
                     Sink&& sink) {
  CInflater z(src, size);
  size_t total = 0;
  for (int rc = Z_OK; rc != Z_STREAM_END;) {
    rc = z.Step(out, out_size);
    z.Check(rc);
    const size_t produced = out_size - z.Left();
    if (produced > max_size - total) throw EStreamError("Stream read error: compressed block too large");
    if (produced) sink(out, produced, total);
    total += produced;
  }
  return total;
}

}  // namespace

namespace {
// Blocks are inflated into one buffer per thread that keeps its size between
// calls, so the pages are touched once and never zero-filled again; the
// result is then copied out at its exact size.
std::vector<uint8_t>& InflateScratch() {
  thread_local std::vector<uint8_t> scratch;
  return scratch;
}

size_t InflateToScratch(const uint8_t* src, size_t size, size_t max_size) {
  max_size = DefaultInflateCap(size, max_size);
  std::vector<uint8_t>& out = InflateScratch();
  if (out.size() < 65536) out.resize(std::min<size_t>(std::max<size_t>(max_size, 1), 65536));
  CInflater z(src, size);
  size_t total = 0;
  for (int rc = Z_OK; rc != Z_STREAM_END;) {
    size_t limit = std::min(out.size(), max_size);
    if (total == limit) {
      if (limit >= max_size) {
        // Full: only the end of the stream may follow. Probe with one byte.
        uint8_t probe;
        rc = z.Step(&probe, 1);
        if (z.Left() == 0) throw EStreamError("Stream read error: compressed block too large");
        z.Check(rc);
        continue;
      }
      out.resize(std::min(max_size, out.size() * 2));
      limit = out.size();
    }
    const size_t room = std::min(limit - total, size_t(1) << 30);
    rc = z.Step(out.data() + total, room);
    total += room - z.Left();
    z.Check(rc);
  }
  return total;
}
}  // namespace

void InflateBlock(const uint8_t* src, size_t size, size_t max_size, std::vector<uint8_t>& out) {
  size_t total = InflateToScratch(src, size, max_size);
  const std::vector<uint8_t>& scratch = InflateScratch();
  out.assign(scratch.begin(), scratch.begin() + ptrdiff_t(total));
}

void ReleaseInflateScratch() {
  std::vector<uint8_t>().swap(InflateScratch());
}

std::vector<uint8_t> DeflateBlock(const uint8_t* src, size_t size) {
  z_stream zs{};
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) throw EStreamError("Stream write error: deflate");
  std::vector<uint8_t> out(deflateBound(&zs, uLong(std::min(size, size_t(0xFFFFFFFF)))) + 64);
  size_t fed = 0;
  size_t total = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (zs.avail_in == 0 && fed < size) {
      size_t n = std::min(size - fed, kZChunk);
      zs.next_in = const_cast<Bytef*>(src + fed);
      zs.avail_in = uInt(n);
      fed += n;
    }
    if (total == out.size()) out.resize(out.size() * 2);
    size_t room = std::min(out.size() - total, size_t(1) << 30);
    zs.next_out = out.data() + total;
    zs.avail_out = uInt(room);
    rc = deflate(&zs, fed >= size && zs.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH);
    total += room - zs.avail_out;
    if (rc == Z_STREAM_ERROR) {
      deflateEnd(&zs);
      throw EStreamError("Stream write error: deflate");
    }
  }
  deflateEnd(&zs);
  out.resize(total);
  return out;
}

std::string PayloadKeyText(uint32_t k1) {
  std::string key(kPayloadKeyPrefix);
  key += std::to_string(k1);
  key += kPayloadKeySuffix;
  return key;
}

// ---------------------------------------------------------------------------

CStream::CStream(std::vector<uint8_t> bytes) : own_(std::move(bytes)) {
  data_ = own_.data();
  size_ = own_.size();
}

CStream::CStream(const uint8_t* bytes, size_t size) : own_(bytes, bytes + size) {
  data_ = own_.data();
  size_ = size;
}

CStream CStream::View(const uint8_t* bytes, size_t size) {
  CStream s;
  s.data_ = const_cast<uint8_t*>(bytes);
  s.size_ = size;
  return s;
}

CStream::CStream(const CStream& other) : own_(other.data_, other.data_ + other.size_) {
  data_ = own_.data();
  size_ = other.size_;
  pos_ = other.pos_;
}

CStream& CStream::operator=(const CStream& other) {
  if (this != &other) {
    own_.assign(other.data_, other.data_ + other.size_);
    data_ = own_.data();
    size_ = other.size_;
    pos_ = other.pos_;
  }
  return *this;
}

CStream::CStream(CStream&& other) noexcept {
  *this = std::move(other);
}

CStream& CStream::operator=(CStream&& other) noexcept {
  if (this != &other) {
    bool view = other.IsView();
    own_ = std::move(other.own_);
    data_ = view ? other.data_ : own_.data();
    size_ = other.size_;
    pos_ = other.pos_;
    other.own_.clear();
    other.data_ = nullptr;
    other.size_ = 0;
    other.pos_ = 0;
  }
  return *this;
}

uint8_t* CStream::MutableData() {
  MakeOwning();
  return data_;
}

void CStream::MakeOwning() {
  if (IsView()) {
    std::vector<uint8_t> copy(data_, data_ + size_);
    own_ = std::move(copy);
    data_ = own_.data();
  }
}

void CStream::Reserve(size_t capacity) {
  MakeOwning();
  if (capacity > own_.size()) {
    own_.resize(std::max(capacity, own_.size() + own_.size() / 2 + 64));
    data_ = own_.data();
  }
}

void CStream::Need(size_t count) const {
  if (count > size_ - pos_) throw EStreamError("Stream read error");
}

void CStream::Seek(size_t pos) {
  if (pos > size_) throw EStreamError("Stream read error: seek beyond the end");
  pos_ = pos;
}

void CStream::Skip(size_t count) {
  Need(count);
  pos_ += count;
}

void CStream::SetSize(size_t size) {
  if (size > size_) {
    Reserve(size);
    std::memset(data_ + size_, 0, size - size_);
  } else {
    MakeOwning();
  }
  size_ = size;
  if (pos_ > size_) pos_ = size_;
}

void CStream::Clear() {
  own_.clear();
  data_ = nullptr;
  size_ = 0;
  pos_ = 0;
}

std::vector<uint8_t> CStream::TakeBytes() {
  std::vector<uint8_t> out;
  if (IsView()) {
    out.assign(data_, data_ + size_);
  } else {
    own_.resize(size_);
    out = std::move(own_);
  }
  Clear();
  return out;
}

void CStream::ReadBuffer(void* dest, size_t count) {
  Need(count);
  if (count) std::memcpy(dest, data_ + pos_, count);
  pos_ += count;
}

const uint8_t* CStream::ReadSpan(size_t count) {
  Need(count);
  const uint8_t* p = data_ + pos_;
  pos_ += count;
  return p;
}

void CStream::WriteBuffer(const void* src, size_t count) {
  if (count == 0) return;
  if (pos_ + count > own_.size() || IsView()) Reserve(pos_ + count);
  std::memcpy(data_ + pos_, src, count);
  pos_ += count;
  if (pos_ > size_) size_ = pos_;
}

uint8_t CStream::ReadByte() {
  Need(1);
  return data_[pos_++];
}

int32_t CStream::ReadInteger() { return int32_t(ReadCardinal()); }

uint32_t CStream::ReadCardinal() {
  Need(4);
  uint32_t v = LoadU32(data_ + pos_);
  pos_ += 4;
  return v;
}

double CStream::ReadReal() {
  Need(8);
  uint64_t bits = uint64_t(LoadU32(data_ + pos_)) | (uint64_t(LoadU32(data_ + pos_ + 4)) << 32);
  pos_ += 8;
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

bool CStream::ReadBoolean() { return ReadInteger() > 0; }

std::string CStream::ReadString() {
  int32_t n = ReadInteger();
  if (n <= 0) return std::string();
  const uint8_t* p = ReadSpan(size_t(n));
  return std::string(reinterpret_cast<const char*>(p), size_t(n));
}

CStream CStream::ReadStream() {
  int32_t n = ReadInteger();
  if (n < 0) throw EStreamError("Stream read error: negative length");
  const uint8_t* p = ReadSpan(size_t(n));
  return CStream(p, size_t(n));
}

CStream CStream::ReadStreamC(size_t max_size) {
  int32_t n = ReadInteger();
  if (n < 0) throw EStreamError("Stream read error: negative length");
  const uint8_t* p = ReadSpan(size_t(n));
  size_t total = InflateToScratch(p, size_t(n), max_size);
  return CStream(InflateScratch().data(), total);
}

size_t CStream::SkipStreamC(size_t max_size) {
  int32_t n = ReadInteger();
  if (n < 0) throw EStreamError("Stream read error: negative length");
  const uint8_t* p = ReadSpan(size_t(n));
  thread_local std::vector<uint8_t> scratch(256 * 1024);
  return InflateChunks(p, size_t(n), DefaultInflateCap(size_t(n), max_size), scratch.data(), scratch.size(),
                       [](const uint8_t*, size_t, size_t) {});
}

std::optional<std::vector<uint8_t>> CStream::ReadBitmap() {
  if (!ReadBoolean()) return std::nullopt;
  CStream block = ReadStreamC();
  std::vector<uint8_t> bytes = block.TakeBytes();
  // Only the file header is checked here; the picture decoder checks the rest.
  if (bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  return bytes;
}

// --- permuted blocks --------------------------------------------------------

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ROOMRUN_HAVE_VBMI 1
#include <immintrin.h>
#else
#define ROOMRUN_HAVE_VBMI 0
#endif

namespace {
bool g_restore_simd = true;

#if ROOMRUN_HAVE_VBMI
bool UseVbmi() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi");
  return has && g_restore_simd;
}

// The group sweep of RestorePermuted for groups m = groups - 1 down to 2,
// with byte permutes: the 512-byte window lives in eight registers, the
// inverse table in four. carry holds the window's upper half on entry and
// on return.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void RestoreGroupsVbmi(uint8_t* d, size_t groups,
                                                                               const uint8_t inv[256],
                                                                               const uint16_t perm[512],
                                                                               uint8_t* carry) {
  alignas(64) uint8_t idx_bytes[512];
  __mmask64 sel[8][3];
  for (int c = 0; c < 8; ++c) {
    uint64_t m1 = 0, m2 = 0, m3 = 0;
    for (int j = 0; j < 64; ++j) {
      uint16_t p = perm[64 * c + j];
      idx_bytes[64 * c + j] = uint8_t(p & 127);
      uint64_t bit = uint64_t(1) << j;
      if ((p >> 7) == 1) m1 |= bit;
      if ((p >> 7) == 2) m2 |= bit;
      if ((p >> 7) == 3) m3 |= bit;
    }
    sel[c][0] = m1;
    sel[c][1] = m2;
    sel[c][2] = m3;
  }
  __m512i idx[8];
  for (int c = 0; c < 8; ++c) idx[c] = _mm512_load_si512(idx_bytes + 64 * c);
  const __m512i i0 = _mm512_loadu_si512(inv), i1 = _mm512_loadu_si512(inv + 64);
  const __m512i i2 = _mm512_loadu_si512(inv + 128), i3 = _mm512_loadu_si512(inv + 192);
  alignas(64) uint8_t ramp[256];
  for (int j = 0; j < 256; ++j) ramp[j] = uint8_t(j);
  __m512i jv[4];
  for (int q = 0; q < 4; ++q) jv[q] = _mm512_load_si512(ramp + 64 * q);
  __m512i w[8];
  for (int q = 0; q < 4; ++q) w[4 + q] = _mm512_loadu_si512(carry + 64 * q);
  for (size_t m = groups - 1; m >= 2; --m) {
    uint8_t* lo = d + 256 * (m - 1);
    for (int q = 0; q < 4; ++q) {
      __m512i x = _mm512_loadu_si512(lo + 64 * q);
      __m512i prev = _mm512_loadu_si512(lo + 64 * q - 1);
      __m512i a = _mm512_permutex2var_epi8(i0, x, i1);
      __m512i b = _mm512_permutex2var_epi8(i2, x, i3);
      __m512i looked = _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), a, b);
      w[q] = _mm512_sub_epi8(_mm512_sub_epi8(looked, jv[q]), prev);
    }
    __m512i out[8];
    for (int c = 0; c < 8; ++c) {
      __m512i r = _mm512_permutex2var_epi8(w[0], idx[c], w[1]);
      r = _mm512_mask_mov_epi8(r, sel[c][0], _mm512_permutex2var_epi8(w[2], idx[c], w[3]));
      r = _mm512_mask_mov_epi8(r, sel[c][1], _mm512_permutex2var_epi8(w[4], idx[c], w[5]));
      r = _mm512_mask_mov_epi8(r, sel[c][2], _mm512_permutex2var_epi8(w[6], idx[c], w[7]));
      out[c] = r;
    }
    uint8_t* hi = lo + 256;
    for (int q = 0; q < 4; ++q) _mm512_storeu_si512(hi + 64 * q, out[4 + q]);
    for (int q = 0; q < 4; ++q) w[4 + q] = out[q];
  }
  for (int q = 0; q < 4; ++q) _mm512_storeu_si512(carry + 64 * q, w[4 + q]);
}
#endif
}  // namespace

void SetPermutedRestoreSimd(bool allowed) { g_restore_simd = allowed; }

void CStream::RestorePermuted(uint8_t* d, size_t len, const uint8_t table[256]) {
  if (len == 0) return;
  uint8_t inv[256];
  for (int i = 0; i < 256; ++i) inv[table[i]] = uint8_t(i);
  // Two passes undo the writer's two: (1) the chaining, where every byte is
  // restored from its stored value and the stored value of the byte before
  // it; (2) the swaps, from the last position down: d[i] with
  // d[i - table[i mod 256]] (or d[0] when that is negative).
  //
  // Pass (1) on [from, to), reading the stored byte before from.
  auto unchain = [&](size_t from, size_t to) {
    if (from >= to) return;
    uint8_t prev = from == 0 ? 0 : d[from - 1];
    for (size_t i = from; i < to; ++i) {
      uint8_t cur = d[i];
      if (i != 0) d[i] = uint8_t(inv[cur] - uint8_t(i) - prev);
      prev = cur;
    }
  };
  // Pass (2) for i = from - 1 down to to.
  auto swap_down = [&](size_t from, size_t to) {
    for (size_t i = from; i-- > to;) {
      size_t t = table[i & 0xFF];
      size_t k = i >= t ? i - t : 0;
      std::swap(d[i], d[k]);
    }
  };

  size_t groups = len / 256;  // whole groups of 256 bytes
  if (groups < 2) {
    unchain(0, len);
    swap_down(len, 0);
    return;
  }
  // The incomplete group at the end swaps into the last whole group, so both
  // are unchained first.
  unchain(256 * (groups - 1), len);
  swap_down(len, 256 * groups);

  // For a group m >= 1 the 256 swaps only touch the 512 bytes from
  // 256 (m - 1) on, always in the same pattern: a fixed permutation of that
  // window, worked out once. Going down group by group, the upper half of
  // the window is final afterwards and the lower half is carried into the
  // next window; the lower half is unchained as it is loaded (the byte
  // before it still holds its stored value). One sweep, no chain of
  // dependent swaps, each byte read and written once.
  uint16_t perm[512];
  for (int j = 0; j < 512; ++j) perm[j] = uint16_t(j);
  for (int off = 255; off >= 0; --off) std::swap(perm[256 + off], perm[256 + off - table[off]]);
  // Two windows take turns: the carried half is written straight into the
  // upper half of the other one.
  uint8_t windows[2][512];
  int cur = 0;
  std::memcpy(windows[cur] + 256, d + 256 * (groups - 1), 256);
  size_t m = groups - 1;
#if ROOMRUN_HAVE_VBMI
  if (groups >= 3 && UseVbmi()) {
    RestoreGroupsVbmi(d, groups, inv, perm, windows[cur] + 256);
    m = 1;
  }
#endif
  for (; m >= 1; --m) {
    uint8_t* w = windows[cur];
    uint8_t* lo = d + 256 * (m - 1);
    // Unchain the lower group into the window; its positions are a multiple
    // of 256 plus j, so the position byte is j.
    uint8_t prev = m == 1 ? 0 : lo[-1];
    for (int j = 0; j < 256; ++j) {
      uint8_t stored = lo[j];
      w[j] = uint8_t(inv[stored] - uint8_t(j) - prev);
      prev = stored;
    }
    if (m == 1) w[0] = lo[0];  // byte 0 is stored as it is
    uint8_t* hi = lo + 256;
    for (int j = 0; j < 256; ++j) hi[j] = w[perm[256 + j]];
    uint8_t* next = windows[cur ^ 1] + 256;
    for (int j = 0; j < 256; ++j) next[j] = w[perm[j]];
    cur ^= 1;
  }
  std::memcpy(d, windows[cur] + 256, 256);
  swap_down(256, 0);
}

namespace {
struct PermutedHeader {
  const uint8_t* table;
  size_t data_pos;
  size_t len;
};

PermutedHeader ReadPermutedHeader(CStream& s) {
  int32_t lead = s.ReadInteger();
  int32_t trail = s.ReadInteger();
  if (lead < 0 || trail < 0) throw EStreamError("Stream read error: negative padding");
  s.Skip(size_t(lead) * 4);
  PermutedHeader h;
  h.table = s.ReadSpan(256);
  s.Skip(size_t(trail) * 4);
  // The table must be a permutation, or the block cannot be restored.
  bool seen[256] = {};
  for (int i = 0; i < 256; ++i) {
    if (seen[h.table[i]]) throw EStreamError("Stream read error: bad permutation table");
    seen[h.table[i]] = true;
  }
  int32_t len = s.ReadInteger();
  if (len < 0) throw EStreamError("Stream read error: negative length");
  h.data_pos = s.Position();
  h.len = size_t(len);
  s.Skip(h.len);
  return h;
}
}  // namespace

CStream CStream::ReadStreamE() {
  PermutedHeader h = ReadPermutedHeader(*this);
  CStream out(data_ + h.data_pos, h.len);
  RestorePermuted(out.data_, h.len, h.table);
  return out;
}

CStream CStream::ReadStreamEInPlace() {
  if (IsView()) return ReadStreamE();
  PermutedHeader h = ReadPermutedHeader(*this);
  RestorePermuted(data_ + h.data_pos, h.len, h.table);
  return View(data_ + h.data_pos, h.len);
}

std::mt19937 ContentSeededRandom(const uint8_t* data, size_t size) {
  // FNV-1a over the bytes: the same content gives the same choices, so a
  // game packed twice is the same file.
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  std::seed_seq seq{uint32_t(h), uint32_t(h >> 32), uint32_t(size)};
  return std::mt19937(seq);
}

void CStream::WriteStreamE(CStream& source) {
  std::mt19937 rng = ContentSeededRandom(source.Data(), source.Size());
  uint8_t t[256];
  for (int i = 0; i < 256; ++i) t[i] = uint8_t(i);
  for (int i = 0; i < 256; ++i) std::swap(t[i], t[rng() % 255]);
  int32_t lead = 100 + int32_t(rng() % 500);
  int32_t trail = 100 + int32_t(rng() % 500);
  uint8_t* m = source.MutableData();
  size_t len = source.Size();
  if (len > 0x7FFFFFFF) throw EStreamError("Stream write error: block too large");
  for (size_t i = 0; i < len; ++i) {
    size_t ti = t[i & 0xFF];
    size_t k = i >= ti ? i - ti : 0;
    std::swap(m[i], m[k]);
  }
  for (size_t i = 1; i < len; ++i) m[i] = t[uint8_t(m[i] + m[i - 1] + uint8_t(i))];
  WriteInteger(lead);
  WriteInteger(trail);
  for (int32_t i = 0; i < lead; ++i) WriteInteger(int32_t(rng() % 0xFFFFFFF));
  WriteBuffer(t, 256);
  for (int32_t i = 0; i < trail; ++i) WriteInteger(int32_t(rng() % 0xFFFFFFF));
  WriteInteger(int32_t(len));
  WriteBuffer(m, len);
}

// --- streaming inflation ----------------------------------------------------

CInflateReader::CInflateReader(CStream& stream, size_t max_size) {
  int32_t n = stream.ReadInteger();
  if (n < 0) throw EStreamError("Stream read error: negative length");
  const uint8_t* p = stream.ReadSpan(size_t(n));
  Start(p, size_t(n), max_size);
}

CInflateReader::CInflateReader(const uint8_t* zdata, size_t size, size_t max_size) { Start(zdata, size, max_size); }

void CInflateReader::Start(const uint8_t* p, size_t n, size_t max_size) {
  if (n > 0xFFFFFFFFu) throw EStreamError("Stream read error: compressed block too large");
  max_size_ = DefaultInflateCap(n, max_size);
  auto* zs = new z_stream{};
  if (inflateInit(zs) != Z_OK) {
    delete zs;
    throw EStreamError("Stream read error: cannot start inflation");
  }
  zs->next_in = const_cast<Bytef*>(p);
  zs->avail_in = uInt(n);
  zs_ = zs;
}

CInflateReader::~CInflateReader() {
  auto* zs = static_cast<z_stream*>(zs_);
  inflateEnd(zs);
  delete zs;
}

bool CInflateReader::Pull(uint8_t* dest, size_t count) {
  auto* zs = static_cast<z_stream*>(zs_);
  while (count > 0) {
    if (ended_) return false;
    size_t room = std::min(count, size_t(1) << 30);
    zs->next_out = dest;
    zs->avail_out = uInt(room);
    int rc = inflate(zs, Z_NO_FLUSH);
    size_t got = room - zs->avail_out;
    produced_ += got;
    dest += got;
    count -= got;
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc != Z_OK) {
      if (rc == Z_BUF_ERROR && zs->avail_in == 0) throw EStreamError("Stream read error: compressed block is truncated");
      throw EStreamError("Stream read error: corrupt compressed block");
    }
  }
  return true;
}

void CInflateReader::Read(void* dest, size_t count) {
  if (count > Allowance()) throw EStreamError("Stream read error: compressed block too large");
  if (!Pull(static_cast<uint8_t*>(dest), count)) throw EStreamError("Stream read error");
}

int32_t CInflateReader::ReadInteger() {
  uint8_t b[4];
  Read(b, 4);
  return int32_t(LoadU32(b));
}

bool CInflateReader::ReadBoolean() { return ReadInteger() > 0; }

std::string CInflateReader::ReadString() {
  int32_t n = ReadInteger();
  if (n <= 0) return std::string();
  if (size_t(n) > Allowance()) throw EStreamError("Stream read error: compressed block too large");
  std::string text;
  // Grown in steps so that a false length cannot claim much memory before
  // the content runs out.
  size_t done = 0;
  while (done < size_t(n)) {
    size_t step = std::min(size_t(n) - done, std::max(done, size_t(1) << 16));
    text.resize(done + step);
    Read(text.data() + done, step);
    done += step;
  }
  return text;
}

void CInflateReader::Finish() {
  uint8_t sink[4096];
  while (!ended_) {
    auto* zs = static_cast<z_stream*>(zs_);
    zs->next_out = sink;
    zs->avail_out = sizeof sink;
    int rc = inflate(zs, Z_NO_FLUSH);
    produced_ += sizeof sink - zs->avail_out;
    if (produced_ > max_size_) throw EStreamError("Stream read error: compressed block too large");
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc != Z_OK) {
      if (rc == Z_BUF_ERROR && zs->avail_in == 0) throw EStreamError("Stream read error: compressed block is truncated");
      throw EStreamError("Stream read error: corrupt compressed block");
    }
  }
}

// --- writers -----------------------------------------------------------------

void CStream::WriteByte(uint8_t value) { WriteBuffer(&value, 1); }

void CStream::WriteInteger(int32_t value) { WriteCardinal(uint32_t(value)); }

void CStream::WriteCardinal(uint32_t value) {
  uint8_t b[4];
  StoreU32(b, value);
  WriteBuffer(b, 4);
}

void CStream::WriteReal(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  uint8_t b[8];
  StoreU32(b, uint32_t(bits));
  StoreU32(b + 4, uint32_t(bits >> 32));
  WriteBuffer(b, 8);
}

void CStream::WriteBoolean(bool value) { WriteInteger(value ? 1 : 0); }

void CStream::WriteString(std::string_view text) {
  if (text.size() > 0x7FFFFFFF) throw EStreamError("Stream write error: text too long");
  WriteInteger(int32_t(text.size()));
  WriteBuffer(text.data(), text.size());
}

void CStream::WriteStream(const CStream& source) {
  if (source.Size() > 0x7FFFFFFF) throw EStreamError("Stream write error: block too large");
  // Copy first: source may be this very stream.
  std::vector<uint8_t> bytes(source.Data(), source.Data() + source.Size());
  WriteInteger(int32_t(bytes.size()));
  WriteBuffer(bytes.data(), bytes.size());
}

void CStream::WriteStreamC(const CStream& source) { WriteStreamC(source.Data(), source.Size()); }

void CStream::WriteStreamC(const uint8_t* bytes, size_t size) {
  std::vector<uint8_t> z = DeflateBlock(bytes, size);
  if (z.size() > 0x7FFFFFFF) throw EStreamError("Stream write error: block too large");
  WriteInteger(int32_t(z.size()));
  WriteBuffer(z.data(), z.size());
}

void CStream::WriteBitmap(const std::vector<uint8_t>* bmp) {
  WriteBoolean(bmp != nullptr);
  if (bmp) WriteStreamC(bmp->data(), bmp->size());
}

// --- checks and conversions ------------------------------------------------

void CStream::InitFastCRC() {}

uint32_t CStream::CalcCRC(const void* buffer, size_t size) {
  // zlib's CRC-32 applies the final inversion; this CRC does not.
  return ~libdeflate_crc32(0, buffer, size);
}

int CStream::CheckSum() const {
  // Each addition adds at most 255, so reducing once per 8,000,000 bytes
  // gives the same result as reducing after every addition.
  uint64_t sum = 0;
  for (size_t i = 0; i < size_; ++i) sum += data_[i];
  return int(sum % 1000000);
}

std::string CStream::ConvertToString() const {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out(size_ * 2, '0');
  for (size_t i = 0; i < size_; ++i) {
    out[2 * i] = kHex[data_[i] >> 4];
    out[2 * i + 1] = kHex[data_[i] & 15];
  }
  return out;
}

void CStream::ConvertFromString(std::string_view text) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Clear();
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int hi = digit(text[i]);
    int lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) throw EConvertError("'" + std::string(text.substr(i, 2)) + "' is not a valid hexadecimal value");
    bytes[i / 2] = uint8_t(hi * 16 + lo);
  }
  *this = CStream(std::move(bytes));
}

uint32_t CStream::LocalRandom(uint32_t& z, uint32_t& w) {
  z = 36969u * (z & 0xFFFF) + (z >> 16);
  w = 18000u * (w & 0xFFFF) + (w >> 16);
  return (z << 16) + (w & 0xFFFF);
}

namespace {
uint32_t KeyCRC(uint32_t k1) {
  std::string key = PayloadKeyText(k1);
  // The key is hashed as UTF-16LE; it is plain ASCII.
  std::vector<uint8_t> wide(key.size() * 2, 0);
  for (size_t i = 0; i < key.size(); ++i) wide[2 * i] = uint8_t(key[i]);
  return CStream::CalcCRC(wide.data(), wide.size());
}

void XorPayload(uint8_t* d, int64_t len, uint32_t k1, uint32_t k2) {
  uint32_t w = KeyCRC(k1);
  uint32_t z = k2;
  for (int64_t i = int64_t(w & 0xFF) + 6; i < len - 5; i += 4) {
    uint8_t* p = d + 12 + i;
    uint32_t v;
    std::memcpy(&v, p, 4);  // little-endian host
    v ^= CStream::LocalRandom(z, w);
    std::memcpy(p, &v, 4);
  }
}
// The key stream is two multiply-with-carry generators, z = a * (z mod 2^16)
// + z div 2^16 with a = 36969 and 18000. Once z is below m = a * 2^16 - 1
// it stays there and each step is z -> a * z mod m, so the state n steps on
// is z * a^n mod m: the payload can be cut into stretches whose starting
// states are known at once, and sixteen stretches are descrambled side by
// side with vector instructions.
bool g_descramble_simd = true;

#if ROOMRUN_HAVE_VBMI
constexpr uint32_t kMwcA = 36969, kMwcB = 18000;
constexpr uint64_t MwcModulus(uint32_t a) { return uint64_t(a) * 65536 - 1; }

uint64_t PowMod(uint64_t base, uint64_t n, uint64_t m) {
  uint64_t r = 1 % m;
  base %= m;
  for (; n > 0; n >>= 1) {
    if (n & 1) r = r * base % m;
    base = base * base % m;
  }
  return r;
}

bool UseAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && g_descramble_simd;
}

// Eight steps of eight generator pairs: row t of out holds the key words of
// step t, lane j that of stretch j.
__attribute__((target("avx2"))) inline void MwcSteps8(__m256i& z, __m256i& w, __m256i out[8]) {
  const __m256i lo = _mm256_set1_epi32(0xFFFF);
  const __m256i a = _mm256_set1_epi32(int(kMwcA)), b = _mm256_set1_epi32(int(kMwcB));
  for (int t = 0; t < 8; ++t) {
    z = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(z, lo), a), _mm256_srli_epi32(z, 16));
    w = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(w, lo), b), _mm256_srli_epi32(w, 16));
    out[t] = _mm256_add_epi32(_mm256_slli_epi32(z, 16), _mm256_and_si256(w, lo));
  }
}

// Rows become columns: on return r[j] holds lane j of the eight rows.
__attribute__((target("avx2"))) inline void Transpose8(__m256i r[8]) {
  __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// Descrambles 16 stretches of kStretch words from p (words 4 bytes apart,
// any alignment); z and w are the states before the first word, below their
// moduli, and on return the states after the last.
constexpr size_t kStretch = 1024;
__attribute__((target("avx2"))) void XorStretches(uint8_t* p, uint32_t& z, uint32_t& w) {
  const uint64_t mz = MwcModulus(kMwcA), mw = MwcModulus(kMwcB);
  const uint64_t jz = PowMod(kMwcA, kStretch, mz), jw = PowMod(kMwcB, kStretch, mw);
  alignas(32) uint32_t zs[16], ws[16];
  uint64_t zc = z, wc = w;
  for (int j = 0; j < 16; ++j) {
    zs[j] = uint32_t(zc);
    ws[j] = uint32_t(wc);
    zc = zc * jz % mz;
    wc = wc * jw % mw;
  }
  __m256i z0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(zs));
  __m256i z1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(zs + 8));
  __m256i w0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(ws));
  __m256i w1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(ws + 8));
  constexpr size_t kBytes = kStretch * 4;
  for (size_t t = 0; t < kStretch; t += 8) {
    __m256i r0[8], r1[8];
    MwcSteps8(z0, w0, r0);
    MwcSteps8(z1, w1, r1);
    Transpose8(r0);
    Transpose8(r1);
    for (int j = 0; j < 8; ++j) {
      auto* q0 = reinterpret_cast<__m256i*>(p + size_t(j) * kBytes + 4 * t);
      auto* q1 = reinterpret_cast<__m256i*>(p + size_t(j + 8) * kBytes + 4 * t);
      _mm256_storeu_si256(q0, _mm256_xor_si256(_mm256_loadu_si256(q0), r0[j]));
      _mm256_storeu_si256(q1, _mm256_xor_si256(_mm256_loadu_si256(q1), r1[j]));
    }
  }
  z = uint32_t(zc);  // the states 16 stretches on
  w = uint32_t(wc);
}
#endif

// Descrambles like XorPayload and, in the same pass, computes zlib's CRC-32
// of d[12 .. 12 + len): each 64 KiB piece is checksummed right after it is
// descrambled, while it is still in the cache.
uint32_t XorPayloadAndCrc(uint8_t* d, int64_t len, uint32_t k1, uint32_t k2) {
  uint32_t w = KeyCRC(k1);
  uint32_t z = k2;
  uint8_t* p0 = d + 12;
  uint32_t crc = 0;
  int64_t i = int64_t(w & 0xFF) + 6;
  int64_t done = 0;
#if ROOMRUN_HAVE_VBMI
  if (UseAvx2()) {
    // A few words one by one bring both states below their moduli.
    constexpr int64_t kGroup = 16 * int64_t(kStretch) * 4;
    for (int k = 0; k < 4 && i < len - 5; ++k, i += 4) {
      uint32_t v;
      std::memcpy(&v, p0 + i, 4);
      v ^= CStream::LocalRandom(z, w);
      std::memcpy(p0 + i, &v, 4);
    }
    if (z < MwcModulus(kMwcA) && w < MwcModulus(kMwcB)) {
      // Whole groups of words, each checksummed right after.
      while (i + kGroup <= len - 5) {
        XorStretches(p0 + i, z, w);
        i += kGroup;
        crc = libdeflate_crc32(crc, p0 + done, size_t(i - done));
        done = i;
      }
    }
  }
#endif
  constexpr int64_t kPiece = 1 << 16;
  while (done < len) {
    int64_t piece_end = std::min(len, done + kPiece);
    for (; i < len - 5 && i + 4 <= piece_end; i += 4) {
      uint32_t v;
      std::memcpy(&v, p0 + i, 4);
      v ^= CStream::LocalRandom(z, w);
      std::memcpy(p0 + i, &v, 4);
    }
    // A word that crosses the end of the piece is checksummed with the next.
    int64_t crc_end = (i < len - 5 && i < piece_end) ? i : piece_end;
    crc = libdeflate_crc32(crc, p0 + done, size_t(crc_end - done));
    done = crc_end;
  }
  return crc;
}
}  // namespace

void SetDescrambleSimd(bool allowed) { g_descramble_simd = allowed; }

static_assert(std::endian::native == std::endian::little, "the payload scrambling assumes a little-endian host");

bool CStream::DecryptWad(size_t base) {
  if (base > size_ || size_ - base < 12) return false;
  MakeOwning();
  uint8_t* d = data_ + base;
  int64_t len = int64_t(size_ - base) - 12;
  uint32_t k1 = LoadU32(d);
  uint32_t k2 = LoadU32(d + 4);
  return ~XorPayloadAndCrc(d, len, k1, k2) == k2;
}

uint32_t CStream::EncryptWad(size_t base) {
  if (base > size_ || size_ - base < 12) throw EStreamError("Stream write error: payload too short");
  MakeOwning();
  uint8_t* d = data_ + base;
  int64_t len = int64_t(size_ - base) - 12;
  uint32_t k1 = LoadU32(d);
  uint32_t k2 = CalcCRC(d + 12, size_t(len));
  StoreU32(d + 4, k2);
  XorPayload(d, len, k1, k2);
  return k2;
}

// --- substitution scrambling --------------------------------------------------

namespace {
void BuildTables(int32_t seed, uint8_t forward[256], uint8_t inverse[256]) {
  int64_t a = int64_t(seed) % 250 + 6;
  int64_t b = int64_t(seed) / 250;
  if (a < 0) a += 256;
  if (b < 0) b += 256;
  for (int i = 0; i < 256; ++i) forward[i] = inverse[i] = uint8_t(i);
  for (int64_t i = 1; i <= 10000; ++i) {
    // For very negative seeds b stays negative and the truncating remainder
    // could go below zero; the floored remainder keeps j within 1..254 and
    // equals the truncating one whenever i * a + b is not negative.
    int64_t r = (i * a + b) % 254;
    if (r < 0) r += 254;
    int64_t j = r + 1;
    std::swap(forward[j], forward[j + 1]);
  }
  for (int i = 1; i < 256; ++i) inverse[forward[i]] = uint8_t(i);
}
}  // namespace

void CStream::ScrambleRange(int kind, int32_t seed, int64_t start, int64_t count) {
  uint8_t fwd[256], inv[256];
  BuildTables(seed, fwd, inv);
  if (start < 0) start = 0;
  if (size_t(start) >= size_) return;
  int64_t end = count <= 0 ? int64_t(size_) : std::min<int64_t>(int64_t(size_), start + count);
  MakeOwning();
  for (int64_t p = start; p < end; ++p) {
    uint8_t old = data_[p];
    switch (kind) {
      case 0: data_[p] = fwd[old]; break;
      case 1: data_[p] = inv[old]; break;
      case 2: data_[p] = fwd[uint8_t(old + p)]; break;
      default: data_[p] = uint8_t(inv[old] - p); break;
    }
  }
}

void CStream::Encrypt(int32_t seed, int64_t start, int64_t count) { ScrambleRange(0, seed, start, count); }
void CStream::Decrypt(int32_t seed, int64_t start, int64_t count) { ScrambleRange(1, seed, start, count); }
void CStream::Encrypt2(int32_t seed, int64_t start, int64_t count) { ScrambleRange(2, seed, start, count); }
void CStream::Decrypt2(int32_t seed, int64_t start, int64_t count) { ScrambleRange(3, seed, start, count); }
