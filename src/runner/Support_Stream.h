#pragma once
// CStream: the in-memory byte stream through which game files, saved games and
// the text form of data structures are read and written.
//
// A stream either owns its bytes (a growable buffer) or is a read-only view of
// bytes owned by another stream. Views exist so that the loader can walk the
// one buffer that holds the whole game file without copying it; a view must
// not outlive the stream it looks into. Writing to a view first turns it into
// an owning copy.
//
// All numbers are little-endian. Every reader throws EStreamError when it
// would run past the end, and every length or count read from the data is
// checked against the bytes that remain before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised by every reader on truncated or corrupt data.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by ConvertFromString on a pair of characters that is not hexadecimal.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The fixed affixes of the payload key text (see DecryptWad). Shared with the
// packer, which scrambles with the same key.
inline constexpr std::string_view kPayloadKeyPrefix = "Rm#8";
inline constexpr std::string_view kPayloadKeySuffix = "q!Wd";

// Inflated blocks may be at most this large whatever the caller allows.
inline constexpr size_t kInflateCeiling = size_t(1) << 30;  // 1 GiB
// deflate cannot compress better than about 1032:1, so an inflated block can
// never legitimately be larger than this many times its compressed size.
inline constexpr size_t kInflateMaxRatio = 1032;

class CStream {
 public:
  CStream() = default;
  explicit CStream(std::vector<uint8_t> bytes);
  CStream(const uint8_t* bytes, size_t size);  // owning copy
  static CStream View(const uint8_t* bytes, size_t size);

  CStream(const CStream& other);
  CStream& operator=(const CStream& other);
  CStream(CStream&& other) noexcept;
  CStream& operator=(CStream&& other) noexcept;

  // --- plain memory stream ---------------------------------------------
  const uint8_t* Data() const { return data_; }
  uint8_t* MutableData();  // turns a view into an owning copy first
  size_t Size() const { return size_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool IsView() const { return data_ != nullptr && data_ != own_.data(); }
  void Seek(size_t pos);  // throws when beyond the end
  void Skip(size_t count);
  void SetSize(size_t size);  // keeps the position when still inside
  void Clear();
  // Copies the bytes out (owning streams give them up when moved from).
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(data_, data_ + size_); }
  std::vector<uint8_t> TakeBytes();

  void ReadBuffer(void* dest, size_t count);
  // Returns a pointer to the next count bytes and advances past them.
  const uint8_t* ReadSpan(size_t count);
  void WriteBuffer(const void* src, size_t count);

  // --- typed readers ---------------------------------------------------
  uint8_t ReadByte();
  int32_t ReadInteger();
  uint32_t ReadCardinal();
  double ReadReal();
  bool ReadBoolean();  // true when the stored integer is above 0
  std::string ReadString();  // n <= 0 reads as ""
  // The next n bytes as a new owning stream positioned at 0.
  CStream ReadStream();
  // The inflated content of the next compressed block. max_size limits the
  // inflated size; 0 picks the default: kInflateMaxRatio times the block's
  // compressed size, never above kInflateCeiling.
  CStream ReadStreamC(size_t max_size = 0);
  // Inflates and checks the next compressed block without keeping it.
  // Returns the inflated size.
  size_t SkipStreamC(size_t max_size = 0);
  // The restored content of the next permuted block as a new owning stream.
  CStream ReadStreamE();
  // Same, but restores the bytes inside this stream's own buffer and returns
  // a view of them: no copy. This stream must be an owning one and must
  // outlive the view.
  CStream ReadStreamEInPlace();
  // A stored bitmap: the inflated bytes of the BMP file, or none when the
  // present flag is false or the content is not a BMP file.
  std::optional<std::vector<uint8_t>> ReadBitmap();

  // --- typed writers ---------------------------------------------------
  void WriteByte(uint8_t value);
  void WriteInteger(int32_t value);
  void WriteCardinal(uint32_t value);
  void WriteReal(double value);
  void WriteBoolean(bool value);  // 1 or 0
  void WriteString(std::string_view text);
  // Writes the whole of source from its start; source's position is kept.
  void WriteStream(const CStream& source);
  void WriteStreamC(const CStream& source);
  void WriteStreamC(const uint8_t* bytes, size_t size);
  // Writes source as a permuted block. Permutes source's bytes in place.
  void WriteStreamE(CStream& source);
  // Absent bitmap (present flag false) when bmp is null.
  void WriteBitmap(const std::vector<uint8_t>* bmp);
  void WriteBitmap(const std::optional<std::vector<uint8_t>>& bmp) {
    WriteBitmap(bmp ? &*bmp : nullptr);
  }

  // --- checks and conversions ------------------------------------------
  static void InitFastCRC();  // kept for callers; the CRC needs no table
  static uint32_t CalcCRC(const void* buffer, size_t size);
  int CheckSum() const;
  std::string ConvertToString() const;
  void ConvertFromString(std::string_view text);
  static uint32_t LocalRandom(uint32_t& z, uint32_t& w);
  // Restores and verifies the game payload whose key integer is at base.
  // Returns false when the checksum does not match (or the data is too short
  // to hold the keys).
  bool DecryptWad(size_t base);
  // The inverse of DecryptWad for the packer: computes and stores K2 (the
  // checksum of the plain payload) at base + 4, then scrambles. K1 must
  // already be at base. Returns K2.
  uint32_t EncryptWad(size_t base);

  // Substitution scrambling of [start, start + count); count <= 0 means to
  // the end of the stream.
  void Encrypt(int32_t seed, int64_t start, int64_t count);
  void Decrypt(int32_t seed, int64_t start, int64_t count);
  void Encrypt2(int32_t seed, int64_t start, int64_t count);
  void Decrypt2(int32_t seed, int64_t start, int64_t count);

 private:
  void Need(size_t count) const;
  void Reserve(size_t capacity);
  void MakeOwning();
  void ScrambleRange(int kind, int32_t seed, int64_t start, int64_t count);
  // Checks the permuted block header and restores its bytes in place in
  // dest; returns the content length. dest holds the stored bytes.
  static void RestorePermuted(uint8_t* data, size_t len, const uint8_t table[256]);

  std::vector<uint8_t> own_;
  uint8_t* data_ = nullptr;  // own_.data() or the viewed bytes
  size_t size_ = 0;
  size_t pos_ = 0;
};

// Reads a compressed block's content as it is inflated, so that large parts
// can go straight to their final place (no intermediate buffer). Throws
// EStreamError on corrupt data, on a read past the end of the content and
// when the content grows beyond the cap (as for ReadStreamC).
class CInflateReader {
 public:
  // Reads the block at the stream's position (length, then zlib data) and
  // moves the stream past it.
  explicit CInflateReader(CStream& stream, size_t max_size = 0);
  // Reads the given zlib data (a block's bytes after its length).
  CInflateReader(const uint8_t* zdata, size_t size, size_t max_size = 0);
  ~CInflateReader();
  CInflateReader(const CInflateReader&) = delete;
  CInflateReader& operator=(const CInflateReader&) = delete;

  void Read(void* dest, size_t count);
  int32_t ReadInteger();
  bool ReadBoolean();
  std::string ReadString();
  // Inflated bytes still allowed by the cap.
  size_t Allowance() const { return max_size_ - produced_; }
  // Inflates whatever content is left (checking it, including the trailer).
  void Finish();

 private:
  void Start(const uint8_t* zdata, size_t size, size_t max_size);
  bool Pull(uint8_t* dest, size_t count);  // false when the content ended first
  void* zs_ = nullptr;
  size_t max_size_ = 0;
  size_t produced_ = 0;
  bool ended_ = false;
};

// The payload key text for K1: prefix, K1 as unsigned decimal, suffix.
std::string PayloadKeyText(uint32_t k1);

// Inflates zlib data, checking it ends properly. Throws EStreamError.
void InflateBlock(const uint8_t* src, size_t size, size_t max_size, std::vector<uint8_t>& out);
// Lets the permuted-block restore use vector instructions where the processor
// has them (the default); off forces the plain code, for tests.
void SetPermutedRestoreSimd(bool allowed);
// The same for descrambling the payload (DecryptWad).
void SetDescrambleSimd(bool allowed);

// Frees the per-thread inflation buffer (it keeps the size of the largest
// block inflated so far).
void ReleaseInflateScratch();
// Deflates at zlib's default level.
std::vector<uint8_t> DeflateBlock(const uint8_t* src, size_t size);

// A random generator seeded from the bytes, for the filler and permutations
// of written files: the same content always gives the same bytes.
std::mt19937 ContentSeededRandom(const uint8_t* data, size_t size);
