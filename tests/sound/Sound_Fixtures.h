#pragma once
// Sound fixtures made in memory (float WAV files, small MIDI files) and
// measurements of rendered stereo mixes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sndtest {

constexpr double kPi = 3.14159265358979323846;

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

// A mono 32-bit float WAV file; `claimed` overrides the data length written
// in the header (for files that lie about their length).
inline std::vector<uint8_t> FloatWav(const std::vector<float>& samples, int rate = 44100, int64_t claimed = -1) {
  std::vector<uint8_t> b;
  const uint32_t data = uint32_t(claimed >= 0 ? claimed : int64_t(samples.size() * 4));
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  Put32(b, 36 + data);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 3);  // IEEE float
  Put16(b, 1);
  Put32(b, uint32_t(rate));
  Put32(b, uint32_t(rate * 4));
  Put16(b, 4);
  Put16(b, 32);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, data);
  const size_t at = b.size();
  b.resize(at + samples.size() * 4);
  std::memcpy(b.data() + at, samples.data(), samples.size() * 4);
  return b;
}

inline std::vector<float> Sine(double freq, double amp, int frames, int rate = 44100) {
  std::vector<float> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) s[size_t(i)] = float(amp * std::sin(2 * kPi * freq * i / rate));
  return s;
}

// A one-track MIDI file at 120 beats a minute (480 ticks a beat): each note
// (key, start tick, length in ticks) on channel 0 with a piano.
struct RNote {
  int key, start, length;
};
inline std::vector<uint8_t> MidiFile(const std::vector<RNote>& notes) {
  struct REv {
    int tick;
    uint8_t a, b, c;
  };
  std::vector<REv> ev;
  for (const RNote& n : notes) {
    ev.push_back({n.start, 0x90, uint8_t(n.key), 100});
    ev.push_back({n.start + n.length, 0x80, uint8_t(n.key), 0});
  }
  std::stable_sort(ev.begin(), ev.end(), [](const REv& x, const REv& y) { return x.tick < y.tick; });
  std::vector<uint8_t> trk = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x00};
  int last = 0;
  for (const REv& e : ev) {
    uint32_t d = uint32_t(e.tick - last);
    last = e.tick;
    uint8_t v[4];
    int k = 0;
    v[k++] = d & 0x7F;
    while (d >>= 7) v[k++] = uint8_t(0x80 | (d & 0x7F));
    while (k--) trk.push_back(v[k]);
    trk.insert(trk.end(), {e.a, e.b, e.c});
  }
  trk.insert(trk.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  const uint32_t n = uint32_t(trk.size());
  f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  f.insert(f.end(), trk.begin(), trk.end());
  return f;
}

// Root mean square of one channel (0 left, 1 right) of interleaved stereo
// over frames [from, to).
inline double Rms(const std::vector<float>& st, int ch, size_t from, size_t to) {
  double s = 0;
  to = std::min(to, st.size() / 2);
  if (to <= from) return 0;
  for (size_t i = from; i < to; ++i) s += double(st[2 * i + size_t(ch)]) * st[2 * i + size_t(ch)];
  return std::sqrt(s / double(to - from));
}
inline double Peak(const std::vector<float>& st, int ch, size_t from, size_t to) {
  double p = 0;
  to = std::min(to, st.size() / 2);
  for (size_t i = from; i < to; ++i) p = std::max(p, double(std::abs(st[2 * i + size_t(ch)])));
  return p;
}
inline double Db(double ratio) { return 20 * std::log10(ratio); }

// First frame from `from` whose sample on the channel exceeds `level`; -1.
inline long FirstAbove(const std::vector<float>& st, int ch, double level, size_t from = 0) {
  for (size_t i = from; i < st.size() / 2; ++i)
    if (std::abs(st[2 * i + size_t(ch)]) > level) return long(i);
  return -1;
}

}  // namespace sndtest
