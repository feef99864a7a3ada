#pragma once
// The effect chain of one audio path: chorus, echo, flanger, gargle,
// equalizers, reverbs, compressor and distortion, each with its parameter set
// and its running state, processed in series on a stereo block.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Effect flags as the game gives them.
enum ESoundEffect : int {
  kFxChorus = 1,
  kFxEcho = 2,
  kFxFlanger = 4,
  kFxGargle = 8,
  kFxReverb = 16,
  kFxCompressor = 32,
  kFxEqualizer = 64,
  kFxDistortion = 128,
  kFxEnvReverb = 256,
};

// Parameters in the game's units. Defaults are those of a freshly switched-on
// effect.
struct RChorusParams {  // also the flanger's shape
  double wetdry = 50, depth = 10, feedback = 25, frequency = 1.1;
  int wave = 1;  // 0 triangle, 1 sine
  double delay = 16;
  int phase = 3;  // 0..4: -180, -90, 0, 90, 180 degrees between left and right
};
struct REchoParams {
  double wetdry = 50, feedback = 50, leftdelay = 500, rightdelay = 500;
  int pandelay = 0;  // 1: the delays swap sides on each repeat
};
struct RGargleParams {
  int rate = 20;  // Hz
  int wave = 0;   // 0 triangle, 1 square
};
struct RReverbParams {
  double gain = 0, mix = 0, time = 1000, ratio = 0.001;
};
struct RCompressorParams {
  double gain = 0, attack = 10, release = 200, threshold = -20, ratio = 3, delay = 4;
};
struct REqualizerParams {
  double center = 8000, bandwidth = 12, gain = 0;
};

// Each setter checks its parameters against the effect's ranges: a set with a
// value outside them (or NaN) is refused whole and changes nothing.
bool ValidChorus(const RChorusParams& p);
bool ValidFlanger(const RChorusParams& p);
bool ValidEcho(const REchoParams& p);
bool ValidGargle(const RGargleParams& p);
bool ValidReverb(const RReverbParams& p);
bool ValidCompressor(const RCompressorParams& p);
bool ValidEqualizer(const REqualizerParams& p);

class CEffect {
 public:
  virtual ~CEffect() = default;
  virtual int Type() const = 0;
  // Processes frames of interleaved stereo in place.
  virtual void Process(float* buf, int frames) = 0;
  // Frames of sound this effect still gives after its input fell silent.
  virtual int64_t TailFrames() const { return 0; }
};

// The serial chain of one path, rebuilt by SetEffects; the parameter setters
// reach the first effect of their type.
class CEffectChain {
 public:
  explicit CEffectChain(int rate) : rate_(rate) {}
  // flags 0 removes every effect; otherwise the chain in its fixed order
  // (an equalizer flag gives two equalizers).
  void SetEffects(int flags);
  int Flags() const { return flags_; }
  bool Empty() const { return chain_.empty(); }
  void Process(float* buf, int frames);
  // Frames the chain sounds after its input stops (kept up to date by the
  // setters: the mixer asks for it every block).
  int64_t TailFrames() const { return tail_; }

  // False when the effect is not in the chain or the parameters are refused.
  bool SetChorus(const RChorusParams& p);
  bool SetFlanger(const RChorusParams& p);
  bool SetEcho(const REchoParams& p);
  bool SetGargle(const RGargleParams& p);
  bool SetReverb(const RReverbParams& p);
  bool SetCompressor(const RCompressorParams& p);
  bool SetEqualizer(const REqualizerParams& p);

 private:
  CEffect* Find(int type);
  void UpdateTail();
  int rate_;
  int flags_ = 0;
  int64_t tail_ = 0;
  std::vector<std::unique_ptr<CEffect>> chain_;
};
