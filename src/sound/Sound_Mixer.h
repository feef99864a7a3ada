#pragma once
// The mixer: one audio path per loaded sample (volume with fades, pan, effect
// chain, 3D placement), the voices playing on those paths, the single-file
// player, the master volume and tempo, mixed to float stereo on demand.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/Sound_Decode.h"
#include "sound/Sound_Effects.h"

// Placement of a 3D sound; the listener stands at the origin looking along +z
// with x to its right.
struct R3DParams {
  double px = 0, py = 0, pz = 0;
  double vx = 0, vy = 0, vz = 0;
  double mindist = 1, maxdist = 1e9;
  double cx = 0, cy = 0, cz = 1;
  int anglein = 360, angleout = 360;
  int voloutside = 0;  // hundredths of a decibel
};

// Levels in hundredths of a decibel: 0 is full level, -9600 and below silence.
constexpr int kSilentHdb = -9600;
double HdbToGain(double hdb);
// The two channel gains of a pan in hundredths of a decibel (-10000 left ...
// 10000 right): the far side is attenuated by the pan's amount.
void PanGains(int pan, float& left, float& right);
// Left and right gains of a 3D sound for the listener at the origin.
void Gains3D(const R3DParams& p, float& left, float& right);

class CMixer {
 public:
  explicit CMixer(int rate);
  ~CMixer();
  int Rate() const { return rate_; }

  // A path for decoded sound or a MIDI file (kind 0 normal, 1 music, 2 3D);
  // free slots are reused. Returns the index.
  int AddPath(int kind, std::shared_ptr<const RPcm> pcm, std::shared_ptr<const std::vector<uint8_t>> midi);
  void RemovePath(int index);
  bool PathValid(int index) const;

  // A new voice on the path; music replaces the music playing before.
  void Play(int index, bool loop);
  void Stop(int index);
  void StopAll();
  bool IsPlaying(int index) const;

  // Fades the path's level to `hdb` over `ms` milliseconds (0: at once).
  void SetVolume(int index, int hdb, int ms);
  void SetPan(int index, int pan);
  void SetEffects(int index, int flags);
  // Runs `fn` on the path's effect chain under the mixer's lock; false when
  // the path does not exist.
  bool WithEffects(int index, const std::function<bool(CEffectChain&)>& fn);
  // Changes the 3D placement of a 3D path.
  bool With3D(int index, const std::function<void(R3DParams&)>& fn);
  // Current level of a path (hundredths of a decibel) and its fade target.
  int Volume(int index) const;

  void SetMasterVolume(int hdb);  // -10000 ... 1000; 1000 is full level here
  void SetTempo(double factor);   // MIDI playback speed

  // The single-file player: one file at a time, nothing of the paths' settings.
  void PlayerPlay(const std::string& file, std::shared_ptr<const RPcm> pcm,
                  std::shared_ptr<const std::vector<uint8_t>> midi, bool loop);
  void PlayerStop();
  const std::string PlayerFile() const;
  bool PlayerPlaying() const;

  // Writes `frames` frames of interleaved stereo.
  void Render(float* out, int frames);

  // Keeps a copy of everything rendered from now on.
  void StartCapture();
  std::vector<float> TakeCapture();

 private:
  struct RVoice {
    double pos = 0;
    bool loop = false;
    std::unique_ptr<CMidiSource> midi;
  };
  struct RPath {
    bool inuse = false;
    int kind = 0;
    std::shared_ptr<const RPcm> pcm;
    std::shared_ptr<const std::vector<uint8_t>> midi;
    double hdb = 0, target = 0, step = 0;  // level, fade target and change per frame
    double gain = 1;                       // the level as a factor
    float left = 1, right = 1;             // channel gains of the pan or the 3D placement
    int64_t fade_left = 0;
    int pan = 0;
    std::unique_ptr<CEffectChain> chain;
    R3DParams pos3d;
    int64_t tail = 0;  // frames the effects still sound after the last voice
    std::vector<RVoice> voices;
  };
  // Adds a voice's next frames into buf; false when it has ended.
  bool RenderVoice(const RPath& path, RVoice& v, float* buf, int frames, double rate);
  // Adds a path's processed frames into dst with its level, fade and pan.
  static void Mix(RPath& p, const float* src, float* dst, int frames, float master);
  std::unique_ptr<CMidiSource> MakeMidi(const std::vector<uint8_t>& midi, bool loop);

  const int rate_;
  mutable std::mutex mu_;
  std::vector<RPath> paths_;
  int master_hdb_ = 1000;
  double tempo_ = 1;
  std::string player_file_;
  RPath player_;
  bool capturing_ = false;
  std::vector<float> capture_;
  std::vector<float> scratch_;
};
