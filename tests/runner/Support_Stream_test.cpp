#include "runner/Support_Stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <numeric>
#include <random>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

}  // namespace

TEST(Stream, PrimitivesRoundTripLittleEndian) {
  CStream s;
  s.WriteInteger(-2);
  s.WriteReal(1.5);
  s.WriteBoolean(true);
  s.WriteString("h\xC3\xA9llo");
  s.WriteByte(7);
  ASSERT_EQ(s.Size(), 4u + 8 + 4 + 4 + 6 + 1);
  EXPECT_EQ(s.Data()[0], 0xFE);
  EXPECT_EQ(s.Data()[3], 0xFF);
  s.Seek(0);
  EXPECT_EQ(s.ReadInteger(), -2);
  EXPECT_EQ(s.ReadReal(), 1.5);
  EXPECT_TRUE(s.ReadBoolean());
  EXPECT_EQ(s.ReadString(), "h\xC3\xA9llo");
  EXPECT_EQ(s.ReadByte(), 7);
  EXPECT_EQ(s.Remaining(), 0u);
}

TEST(Stream, BooleanIsTrueOnlyAboveZero) {
  CStream s;
  for (int v : {2, 1, 0, -1}) s.WriteInteger(v);
  s.Seek(0);
  EXPECT_TRUE(s.ReadBoolean());
  EXPECT_TRUE(s.ReadBoolean());
  EXPECT_FALSE(s.ReadBoolean());
  EXPECT_FALSE(s.ReadBoolean());
}

TEST(Stream, ZeroOrNegativeStringLengthReadsEmptyAndConsumesFourBytes) {
  CStream s;
  s.WriteInteger(0);
  s.WriteInteger(-5);
  s.WriteInteger(99);
  s.Seek(0);
  EXPECT_EQ(s.ReadString(), "");
  EXPECT_EQ(s.Position(), 4u);
  EXPECT_EQ(s.ReadString(), "");
  EXPECT_EQ(s.ReadInteger(), 99);
}

TEST(Stream, ReadsPastTheEndThrow) {
  // Each case: bytes written, then the read that must fail.
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    void (*read)(CStream&);
  };
  std::vector<Case> cases = {
      {"integer", {1, 2, 3}, [](CStream& s) { s.ReadInteger(); }},
      {"real", {1, 2, 3, 4, 5, 6, 7}, [](CStream& s) { s.ReadReal(); }},
      {"string longer than data", {10, 0, 0, 0, 'a', 'b'}, [](CStream& s) { s.ReadString(); }},
      {"huge string length", {0xFF, 0xFF, 0xFF, 0x7F}, [](CStream& s) { s.ReadString(); }},
      {"stream", {5, 0, 0, 0, 1}, [](CStream& s) { s.ReadStream(); }},
      {"negative stream", {0xFF, 0xFF, 0xFF, 0xFF}, [](CStream& s) { s.ReadStream(); }},
      {"compressed block", {9, 0, 0, 0, 0x78}, [](CStream& s) { s.ReadStreamC(); }},
      {"negative compressed block", {0xFE, 0xFF, 0xFF, 0xFF}, [](CStream& s) { s.ReadStreamC(); }},
      {"permuted header", {1, 0, 0, 0}, [](CStream& s) { s.ReadStreamE(); }},
      {"permuted huge padding", {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, [](CStream& s) { s.ReadStreamE(); }},
      {"permuted negative padding", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, [](CStream& s) { s.ReadStreamE(); }},
      {"seek", {}, [](CStream& s) { s.Seek(1); }},
  };
  for (auto& c : cases) {
    CStream s(c.bytes);
    EXPECT_THROW(c.read(s), EStreamError) << c.name;
  }
}

TEST(Stream, CompressedBlockRoundTripAndCorruption) {
  auto data = RandomBytes(100000, 1);
  for (size_t i = 0; i < data.size(); i += 3) data[i] = 0;  // compressible
  CStream s;
  s.WriteStreamC(data.data(), data.size());
  s.WriteInteger(42);
  s.Seek(0);
  CStream c = s.ReadStreamC();
  EXPECT_EQ(c.Position(), 0u);
  EXPECT_EQ(c.Bytes(), data);
  EXPECT_EQ(s.ReadInteger(), 42);

  s.Seek(0);
  EXPECT_EQ(s.SkipStreamC(), data.size());
  EXPECT_EQ(s.ReadInteger(), 42);

  // The block must be plain zlib data: header, deflate, adler-32.
  s.Seek(4);
  EXPECT_EQ(s.Data()[4], 0x78);

  // A flipped byte in the deflate data or the adler trailer, and a block cut
  // short, each throw instead of returning garbage or looping.
  for (size_t at : {size_t(20), s.Size() - 6}) {
    CStream bad(s.Bytes());
    bad.MutableData()[at] ^= 0x55;
    bad.Seek(0);
    EXPECT_THROW(bad.ReadStreamC(), EStreamError) << at;
    bad.Seek(0);
    EXPECT_THROW(bad.SkipStreamC(), EStreamError) << at;
  }
  CStream cut;
  int32_t n;
  std::memcpy(&n, s.Data(), 4);
  cut.WriteInteger(n / 2);
  cut.WriteBuffer(s.Data() + 4, size_t(n / 2));
  cut.Seek(0);
  EXPECT_THROW(cut.ReadStreamC(), EStreamError);
  cut.Seek(0);
  EXPECT_THROW(cut.SkipStreamC(), EStreamError);
}

TEST(Stream, InflationIsCapped) {
  std::vector<uint8_t> zeros(1 << 20, 0);
  CStream s;
  s.WriteStreamC(zeros.data(), zeros.size());
  s.Seek(0);
  EXPECT_THROW(s.ReadStreamC(1000), EStreamError);
  s.Seek(0);
  EXPECT_THROW(s.SkipStreamC(1000), EStreamError);
  s.Seek(0);
  EXPECT_EQ(s.ReadStreamC(zeros.size()).Size(), zeros.size());
  s.Seek(0);
  EXPECT_EQ(s.ReadStreamC().Size(), zeros.size());  // default cap admits real data
}

TEST(Stream, EmptyCompressedBlock) {
  CStream s;
  s.WriteStreamC(nullptr, 0);
  s.Seek(0);
  EXPECT_EQ(s.ReadStreamC().Size(), 0u);
}

TEST(Stream, PermutedBlockRoundTrip) {
  for (size_t len : {0, 1, 2, 255, 256, 257, 511, 512, 513, 767, 5000, 100003}) {
    auto data = RandomBytes(len, uint32_t(len));
    CStream src(data);
    CStream s;
    s.WriteInteger(11);
    s.WriteStreamE(src);
    s.WriteInteger(22);
    s.Seek(0);
    ASSERT_EQ(s.ReadInteger(), 11);
    CStream copy = s.ReadStreamE();
    EXPECT_EQ(copy.Bytes(), data) << len;
    EXPECT_EQ(copy.Position(), 0u);
    EXPECT_EQ(s.ReadInteger(), 22);
    // The in-place reader restores the same bytes inside the stream.
    s.Seek(4);
    CStream view = s.ReadStreamEInPlace();
    EXPECT_TRUE(len == 0 || view.IsView());
    EXPECT_EQ(view.Bytes(), data) << len;
    EXPECT_EQ(s.ReadInteger(), 22);
  }
}

TEST(Stream, PermutedBlockRestoreGivesTheSameBytesWithAndWithoutVectorCode) {
  for (size_t len : {767, 768, 769, 1024, 70001}) {
    auto data = RandomBytes(len, uint32_t(len) + 5);
    CStream src(data);
    CStream s;
    s.WriteStreamE(src);
    for (bool simd : {true, false}) {
      SetPermutedRestoreSimd(simd);
      s.Seek(0);
      EXPECT_EQ(s.ReadStreamE().Bytes(), data) << len << " simd " << simd;
    }
  }
  SetPermutedRestoreSimd(true);
}

TEST(Stream, PermutedBlockLayout) {
  CStream src(std::vector<uint8_t>{1, 2, 3});
  CStream s;
  s.WriteStreamE(src);
  s.Seek(0);
  int32_t lead = s.ReadInteger();
  int32_t trail = s.ReadInteger();
  EXPECT_GE(lead, 100);
  EXPECT_LT(lead, 600);
  EXPECT_GE(trail, 100);
  EXPECT_LT(trail, 600);
  for (int i = 0; i < lead; ++i) EXPECT_LT(uint32_t(s.ReadInteger()), 0xFFFFFFFu);
  const uint8_t* t = s.ReadSpan(256);
  std::vector<int> seen(256);
  for (int i = 0; i < 256; ++i) seen[t[i]]++;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);
  s.Skip(size_t(trail) * 4);
  EXPECT_EQ(s.ReadInteger(), 3);
  EXPECT_EQ(s.Remaining(), 3u);
}

TEST(Stream, PermutedBlockWithBadTableThrows) {
  CStream s;
  s.WriteInteger(0);
  s.WriteInteger(0);
  std::vector<uint8_t> table(256, 0);  // not a permutation
  s.WriteBuffer(table.data(), 256);
  s.WriteInteger(0);
  s.Seek(0);
  EXPECT_THROW(s.ReadStreamE(), EStreamError);
}

TEST(Stream, CRCIsTheComplementOfCrc32) {
  EXPECT_EQ(CStream::CalcCRC("abc", 3), 0xCADBBE3Du);
  EXPECT_EQ(CStream::CalcCRC("", 0), 0xFFFFFFFFu);
  auto data = RandomBytes(1000, 5);
  // The register-by-register definition, to pin the algorithm down.
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
  uint32_t reg = 0xFFFFFFFFu;
  for (uint8_t b : data) reg = (reg >> 8) ^ table[(reg ^ b) & 0xFF];
  EXPECT_EQ(CStream::CalcCRC(data.data(), data.size()), reg);
}

TEST(Stream, CheckSum) {
  CStream s(std::vector<uint8_t>(4000, 255));
  EXPECT_EQ(s.CheckSum(), 20000);
  CStream big(std::vector<uint8_t>(10000000, 255));
  EXPECT_EQ(big.CheckSum(), int(uint64_t(10000000) * 255 % 1000000));
  EXPECT_EQ(CStream().CheckSum(), 0);
}

TEST(Stream, HexConversion) {
  CStream s(std::vector<uint8_t>{0x00, 0xAB, 0x10});
  EXPECT_EQ(s.ConvertToString(), "00AB10");
  EXPECT_EQ(CStream().ConvertToString(), "");
  CStream t;
  t.WriteInteger(5);
  t.ConvertFromString("00ab1");
  EXPECT_EQ(t.Bytes(), (std::vector<uint8_t>{0x00, 0xAB}));
  EXPECT_EQ(t.Position(), 0u);
  EXPECT_THROW(t.ConvertFromString("0g"), EConvertError);
  t.ConvertFromString("");
  EXPECT_EQ(t.Size(), 0u);
}

TEST(Stream, LocalRandomIsMultiplyWithCarry) {
  uint32_t z = 1, w = 2;
  uint32_t r = CStream::LocalRandom(z, w);
  EXPECT_EQ(z, 36969u);
  EXPECT_EQ(w, 36000u);
  EXPECT_EQ(r, (36969u << 16) + 36000u);
  z = 0xFFFFFFFFu;
  w = 0xFFFFFFFFu;
  CStream::LocalRandom(z, w);
  EXPECT_EQ(z, 36969u * 0xFFFFu + 0xFFFFu);
  EXPECT_EQ(w, 18000u * 0xFFFFu + 0xFFFFu);
}

TEST(Stream, ScramblingSchemesRoundTrip) {
  auto data = RandomBytes(3000, 9);
  struct Range {
    int64_t start, count;
  };
  for (int32_t seed : {0, 1, 249, 250, 12345, -1, -250, -64000, -100000, INT32_MIN, INT32_MAX}) {
    for (Range r : {Range{0, 0}, Range{10, 100}, Range{2990, 50}, Range{5, -1}}) {
      CStream a(data), b(data);
      a.Encrypt(seed, r.start, r.count);
      b.Encrypt2(seed, r.start, r.count);
      if (seed == 12345) {
        EXPECT_NE(a.Bytes(), data);
        EXPECT_NE(b.Bytes(), data);
      }
      if (r.start > 4) {
        EXPECT_EQ(a.Data()[4], data[4]);  // outside the range untouched
      }
      a.Decrypt(seed, r.start, r.count);
      b.Decrypt2(seed, r.start, r.count);
      EXPECT_EQ(a.Bytes(), data) << seed;
      EXPECT_EQ(b.Bytes(), data) << seed;
    }
  }
}

TEST(Stream, EncryptLeavesByteZeroAloneAndOnlyTouchesTheRange) {
  std::vector<uint8_t> data(256);
  std::iota(data.begin(), data.end(), 0);
  CStream s(data);
  s.Encrypt(777, 0, 0);
  EXPECT_EQ(s.Data()[0], 0);  // forward[0] == 0
  std::vector<int> seen(256);
  for (size_t i = 0; i < 256; ++i) seen[s.Data()[i]]++;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);  // a permutation
  CStream t(data);
  t.Encrypt2(777, 100, 10);
  for (size_t i = 0; i < 256; ++i) {
    if (i < 100 || i >= 110) {
      EXPECT_EQ(t.Data()[i], data[i]);
    }
  }
}

TEST(Stream, WadScramblingRoundTripAndVerification) {
  auto payload = RandomBytes(4096, 3);
  CStream s;
  s.WriteInteger(0x1234);  // something before the key
  s.WriteCardinal(3000000000u);  // K1
  s.WriteInteger(0);  // K2, filled in
  s.WriteInteger(810);  // version word, outside the scrambled range
  s.WriteBuffer(payload.data(), payload.size());
  uint32_t k2 = s.EncryptWad(4);
  EXPECT_EQ(k2, CStream::CalcCRC(payload.data(), payload.size()));
  std::vector<uint8_t> scrambled = s.Bytes();
  EXPECT_NE(std::vector<uint8_t>(scrambled.begin() + 16, scrambled.end()), payload);
  // The first bytes after the version are never scrambled (offset >= 6).
  EXPECT_EQ(std::memcmp(scrambled.data() + 16, payload.data(), 6), 0);
  ASSERT_TRUE(s.DecryptWad(4));
  EXPECT_EQ(std::vector<uint8_t>(s.Data() + 16, s.Data() + s.Size()), payload);

  CStream flipped(scrambled);
  flipped.MutableData()[2000] ^= 1;
  EXPECT_FALSE(flipped.DecryptWad(4));
  CStream tiny(std::vector<uint8_t>(10, 0));
  EXPECT_FALSE(tiny.DecryptWad(0));
  EXPECT_FALSE(tiny.DecryptWad(11));
  EXPECT_FALSE(tiny.DecryptWad(100));
}

TEST(Stream, WadDescramblingGivesTheSameBytesWithAndWithoutVectorCode) {
  // Lengths around whole groups of stretches (64 KiB) and K2 values that
  // start the generator at zero, below and above its modulus. The checksum
  // fails for a made-up K2, but the bytes are descrambled all the same.
  for (size_t len : {100, 65536 + 40, 65536 * 3 + 301, 400003}) {
    for (uint32_t k2 : {0u, 1u, 0x12345678u, 0x90000000u, 0xFFFFFFFFu}) {
      for (uint32_t k1 : {7u, 3000000000u}) {
        CStream s;
        s.WriteCardinal(k1);
        s.WriteCardinal(k2);
        s.WriteInteger(810);
        auto payload = RandomBytes(len, k2 ^ uint32_t(len));
        s.WriteBuffer(payload.data(), payload.size());
        CStream plain(s.Bytes());
        SetDescrambleSimd(false);
        bool plain_ok = plain.DecryptWad(0);
        SetDescrambleSimd(true);
        CStream vector(s.Bytes());
        EXPECT_EQ(vector.DecryptWad(0), plain_ok);
        ASSERT_EQ(vector.Bytes(), plain.Bytes()) << len << " " << k1 << " " << k2;
      }
    }
  }
  SetDescrambleSimd(true);
}

TEST(Stream, WadKeyText) {
  EXPECT_EQ(PayloadKeyText(4294967295u),
            std::string(kPayloadKeyPrefix) + "4294967295" + std::string(kPayloadKeySuffix));
  EXPECT_EQ(kPayloadKeyPrefix.size(), 4u);
  EXPECT_EQ(kPayloadKeySuffix.size(), 4u);
}

TEST(Stream, StreamAndBitmapRecords) {
  CStream inner(std::vector<uint8_t>{1, 2, 3});
  inner.Seek(2);
  std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
  std::vector<uint8_t> not_bmp = {'X', 'Y', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  CStream s;
  s.WriteStream(inner);
  s.WriteBitmap(&bmp);
  s.WriteBitmap(nullptr);
  s.WriteBitmap(&not_bmp);
  EXPECT_EQ(inner.Position(), 2u);
  s.Seek(0);
  CStream r = s.ReadStream();
  EXPECT_EQ(r.Bytes(), inner.Bytes());
  EXPECT_EQ(r.Position(), 0u);
  EXPECT_EQ(s.ReadBitmap(), bmp);
  EXPECT_EQ(s.ReadBitmap(), std::nullopt);
  EXPECT_EQ(s.ReadBitmap(), std::nullopt);
  EXPECT_EQ(s.Remaining(), 0u);
}

TEST(Stream, ViewsCopyOnWrite) {
  std::vector<uint8_t> owner = {1, 2, 3, 4};
  CStream v = CStream::View(owner.data(), owner.size());
  EXPECT_TRUE(v.IsView());
  EXPECT_EQ(v.ReadInteger(), 0x04030201);
  v.Seek(0);
  v.WriteByte(9);
  EXPECT_FALSE(v.IsView());
  EXPECT_EQ(owner[0], 1);
  EXPECT_EQ(v.Data()[0], 9);
  CStream moved = std::move(v);
  EXPECT_EQ(moved.Bytes(), (std::vector<uint8_t>{9, 2, 3, 4}));
}

TEST(Stream, InflateReaderReadsAsItInflates) {
  CStream content;
  content.WriteInteger(7);
  content.WriteString("name");
  auto big = RandomBytes(200000, 11);
  content.WriteBuffer(big.data(), big.size());
  content.WriteBoolean(true);
  CStream s;
  s.WriteStreamC(content);
  s.WriteInteger(99);
  s.Seek(0);
  {
    CInflateReader in(s);
    EXPECT_EQ(s.ReadInteger(), 99);  // the stream is already past the block
    EXPECT_EQ(in.ReadInteger(), 7);
    EXPECT_EQ(in.ReadString(), "name");
    std::vector<uint8_t> back(big.size());
    in.Read(back.data(), back.size());
    EXPECT_EQ(back, big);
    EXPECT_TRUE(in.ReadBoolean());
    EXPECT_THROW(in.ReadInteger(), EStreamError);  // past the content
    in.Finish();
  }
  // A flipped byte in the trailer is found by Finish even when every field
  // was read; a huge string length throws before allocating.
  CStream bad(s.Bytes());
  bad.MutableData()[bad.Size() - 5] ^= 1;
  bad.Seek(0);
  EXPECT_THROW(
      {
        CInflateReader in(bad);
        in.ReadInteger();
        in.ReadString();
        std::vector<uint8_t> back(big.size());
        in.Read(back.data(), back.size());
        in.ReadBoolean();
        in.Finish();
      },
      EStreamError);
  CStream lying;
  CStream c2;
  c2.WriteInteger(0x7FFFFFFF);
  lying.WriteStreamC(c2);
  lying.Seek(0);
  CInflateReader in(lying);
  EXPECT_THROW(in.ReadString(), EStreamError);
  CStream cut(std::vector<uint8_t>{20, 0, 0, 0, 0x78});
  EXPECT_THROW(CInflateReader{cut}, EStreamError);
}
