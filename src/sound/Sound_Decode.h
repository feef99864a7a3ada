#pragma once
// Turning a sound file's bytes into something the mixer plays: decoded
// mono or stereo samples (libsndfile: WAV, FLAC, Ogg Vorbis, MP3 and the rest it
// knows) or a MIDI file rendered by FluidSynth as the mixer asks for sound.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Float frames at the mixer's rate: one channel, or interleaved stereo.
struct RPcm {
  std::vector<float> frames;
  int channels = 2;
  size_t Count() const { return frames.size() / size_t(channels); }
};

// Decoded sound is capped at this many seconds of 44100 Hz frames (about
// 212 MB of samples at most), whatever a header claims.
constexpr int64_t kMaxDecodedSeconds = 600;

// Decodes a whole sound file from memory and resamples it to `rate`. Null
// for data libsndfile does not take or that holds no sound.
std::shared_ptr<const RPcm> DecodeSound(const uint8_t* data, size_t size, int rate);

// True for a standard MIDI file whose chunks lie within the data.
bool LooksLikeMidi(const uint8_t* data, size_t size);

// Where the General MIDI soundfont is looked for: $ROOMRUN_SOUNDFONT, then
// Debian's fluid-soundfont-gm. Empty when none exists.
std::string SoundfontPath();

// One playing MIDI file: its own synthesizer and player, clocked by the
// samples it renders so tempo and offline rendering hold.
class CMidiSource {
 public:
  // Null when no soundfont exists or the synthesizer cannot start.
  static std::unique_ptr<CMidiSource> Create(const std::vector<uint8_t>& midi, int rate, bool loop, double tempo);
  ~CMidiSource();
  CMidiSource(const CMidiSource&) = delete;
  CMidiSource& operator=(const CMidiSource&) = delete;
  // Adds `frames` rendered frames into the interleaved stereo buffer; false
  // once the file has played to its end.
  bool Render(float* out, int frames);
  void SetTempo(double factor);

 private:
  CMidiSource() = default;
  struct RImpl;
  std::unique_ptr<RImpl> impl_;
};
