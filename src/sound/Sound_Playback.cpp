// The sound system of the run: samples, the audio output and the mix file.
#include "sound/Sound_Playback.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

#include "platform/Platform.h"
#include "resources/Sound_Class.h"
#include "runner/Support_File.h"
#include "runner/Support_Various.h"

namespace {

struct RSoundSample {
  bool inuse = false;
  int kind = 0;
  int path = -1;      // the mixer's audio path (kinds 0-2)
  std::string fname;  // the player's file (kind 3)
};

// The game thread and the signal watcher (which finishes the game when the
// runner is told to end) both reach this module; every entry point holds
// this lock, so the mixer and the sample table never change under a caller.
std::recursive_mutex g_lock;
using Guard = std::lock_guard<std::recursive_mutex>;

// What the audio output pulls from, under its own lock: the device's thread
// never takes g_lock, so shutting down can wait for it, and once the mixer is
// detached here a pull in progress has ended and later pulls get silence.
std::mutex g_pull_lock;
CMixer* g_pull_mixer = nullptr;

void Pull(float* buf, int frames) {
  std::lock_guard lock(g_pull_lock);
  if (g_pull_mixer) g_pull_mixer->Render(buf, frames);
}

void DetachMixer() {
  std::lock_guard lock(g_pull_lock);
  g_pull_mixer = nullptr;
}

bool g_started = false;
bool g_failed = false;
std::unique_ptr<CMixer> g_mixer;
std::vector<RSoundSample> g_samples;
int g_master = 1000;
std::string g_search_dir;
std::string g_audio_out;

RSoundSample* Sample(int index) {
  if (index < 0 || size_t(index) >= g_samples.size() || !g_samples[size_t(index)].inuse) return nullptr;
  return &g_samples[size_t(index)];
}

// The path of an in-use sample of kinds 0-2, or -1.
int PathOf(int index) {
  const RSoundSample* s = Sample(index);
  return s && s->kind != 3 ? s->path : -1;
}

int NewRecord() {
  size_t i = 0;
  while (i < g_samples.size() && g_samples[i].inuse) ++i;
  if (i == g_samples.size()) g_samples.emplace_back();
  g_samples[i] = RSoundSample{};
  g_samples[i].inuse = true;
  return int(i);
}

bool EnsureStarted() {
  if (!g_started && !g_failed) StartSound(1);
  return g_started;
}

bool ReadFile(const std::string& file, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  std::ifstream f(file, std::ios::binary);
  if (!f) return false;
  bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

bool WriteWav(const std::string& file, const std::vector<float>& frames, int rate) {
  const std::string tmp = file + ".tmp" + std::to_string(::getpid());
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;  // measurable without rounding
  SNDFILE* sf = sf_open(tmp.c_str(), SFM_WRITE, &info);
  if (sf == nullptr) return false;
  const sf_count_t n = sf_count_t(frames.size() / 2);
  const bool ok = sf_writef_float(sf, frames.data(), n) == n;
  if (sf_close(sf) != 0 || !ok) {
    std::remove(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), file.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

void StartSound(int count) {
  Guard guard(g_lock);
  if (g_started || g_failed) return;
  if (count <= 0 && g_audio_out.empty()) return;
  g_mixer = std::make_unique<CMixer>(kMixRate);
  if (IAudioOutput* out = AudioOutput()) {
    if (!out->Open(kMixRate, Pull)) {
      TraceWrite("No sound device detected. Sounds might not play.");
      g_mixer.reset();
      g_failed = true;
      return;
    }
  }
  {
    std::lock_guard lock(g_pull_lock);
    g_pull_mixer = g_mixer.get();
  }
  // An exit that skips StopSound (std::exit after a fatal device error)
  // destroys the mixer with the other statics while the device may still be
  // pulling; this runs before that, as it is registered after the mixer's
  // static was made.
  static const bool detach_at_exit = (std::atexit(DetachMixer), true);
  (void)detach_at_exit;
  g_started = true;
  if (!g_audio_out.empty()) g_mixer->StartCapture();
  SetGlobalVolume(1);
}

void InstallSoundSystem() {
  RSoundSystem& sys = SoundSystem();
  sys.load_memory = [](int kind, const std::vector<uint8_t>& bytes) { return LoadSampleFromMemory(bytes, kind); };
  sys.load_file = [](const std::string& fname) { return LoadSampleFromFile(fname, 3); };
  sys.unload = UnloadSample;
  sys.set_effects = SetSampleEffects;
  sys.set_volume = [](int id, double volume) { SetSampleVolume(id, 0, volume); };
  sys.set_pan = SetSamplePan;
  sys.temp_file_name = MakeTempFileName;
}

bool NoSoundDevice() {
  Guard guard(g_lock);
  return g_failed;
}
CMixer* SoundMixer() {
  Guard guard(g_lock);
  return g_mixer.get();
}
void SetAudioOutFile(const std::string& file) {
  Guard guard(g_lock);
  g_audio_out = file;
}

int LoadSampleFromMemory(const std::vector<uint8_t>& bytes, int kind) {
  Guard guard(g_lock);
  if (!EnsureStarted() || kind < 0 || kind > 2) return -1;
  std::shared_ptr<const RPcm> pcm;
  std::shared_ptr<const std::vector<uint8_t>> midi;
  if (LooksLikeMidi(bytes.data(), bytes.size())) {
    if (SoundfontPath().empty()) return -1;
    midi = std::make_shared<const std::vector<uint8_t>>(bytes);
  } else {
    pcm = DecodeSound(bytes.data(), bytes.size(), kMixRate);
    if (!pcm) return -1;
  }
  const int index = NewRecord();
  g_samples[size_t(index)].kind = kind;
  g_samples[size_t(index)].path = g_mixer->AddPath(kind, std::move(pcm), std::move(midi));
  return index;
}

int LoadSampleFromFile(const std::string& file, int kind) {
  Guard guard(g_lock);
  std::error_code ec;
  if (!EnsureStarted() || !std::filesystem::exists(file, ec)) return -1;
  if (kind >= 0 && kind <= 2) {
    std::vector<uint8_t> bytes;
    if (ReadFile(file, bytes)) {
      const int index = LoadSampleFromMemory(bytes, kind);
      if (index >= 0) return index;
    }
  }
  const int index = NewRecord();
  g_samples[size_t(index)].kind = 3;
  g_samples[size_t(index)].fname = file;
  return index;
}

void UnloadSample(int index) {
  Guard guard(g_lock);
  RSoundSample* s = Sample(index);
  if (!s) return;
  StopSample(index);
  if (s->path >= 0 && g_mixer) g_mixer->RemovePath(s->path);
  *s = RSoundSample{};
}

int SampleKind(int index) {
  Guard guard(g_lock);
  const RSoundSample* s = Sample(index);
  return s ? s->kind : -1;
}

void PlaySample(int index, bool loop) {
  Guard guard(g_lock);
  if (!g_started) return;
  RSoundSample* s = Sample(index);
  if (!s) return;
  if (s->kind != 3) {
    g_mixer->Play(s->path, loop);
    return;
  }
  if (s->fname.size() > 126) {
    ShowMessage("Music file name too long for player.");
    return;
  }
  std::vector<uint8_t> bytes;
  if (!ReadFile(s->fname, bytes)) return;
  // The player takes whatever the decoders take; a file they refuse plays
  // nothing, as a player error is ignored.
  std::shared_ptr<const RPcm> pcm;
  std::shared_ptr<const std::vector<uint8_t>> midi;
  if (LooksLikeMidi(bytes.data(), bytes.size())) midi = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  else pcm = DecodeSound(bytes.data(), bytes.size(), kMixRate);
  g_mixer->PlayerPlay(s->fname, std::move(pcm), std::move(midi), loop);
}

void StopSample(int index) {
  Guard guard(g_lock);
  if (!g_started) return;
  RSoundSample* s = Sample(index);
  if (!s) return;
  if (s->kind == 3) {
    if (g_mixer->PlayerFile() == s->fname) g_mixer->PlayerStop();
  } else {
    g_mixer->Stop(s->path);
  }
}

void StopAllSamples() {
  Guard guard(g_lock);
  if (!g_started) return;
  g_mixer->StopAll();
  g_mixer->PlayerStop();
}

bool SampleIsPlaying(int index) {
  Guard guard(g_lock);
  if (!g_started) return false;
  const RSoundSample* s = Sample(index);
  if (!s) return false;
  if (s->kind == 3) return g_mixer->PlayerFile() == s->fname && g_mixer->PlayerPlaying();
  return g_mixer->IsPlaying(s->path);
}

void SetSampleVolume(int index, double time, double volume) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0) return;
  if (!std::isfinite(volume)) volume = std::isnan(volume) ? 0 : volume;
  volume = std::clamp(volume, 0.0, 1.0);
  const double ms = std::isfinite(time) ? std::clamp(time, 0.0, 3600000.0) : 0.0;
  g_mixer->SetVolume(path, int(std::lround(volume * 9600)) - 9600, int(ms));
}

void SetSamplePan(int index, double pan) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0) return;
  if (std::isnan(pan)) pan = 0;
  pan = std::clamp(pan, -1.0, 1.0);
  g_mixer->SetPan(path, int(std::lround(pan * 10000)));
}

void SetSampleEffects(int index, int flags) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path >= 0) g_mixer->SetEffects(path, flags);
}

#define RR_EFFECT_SETTER(Name, Params, Method)                                               \
  bool Name(int index, const Params& p) {                                                    \
    Guard guard(g_lock);                                                                     \
    const int path = PathOf(index);                                                          \
    return path >= 0 && g_mixer->WithEffects(path, [&](CEffectChain& c) { return c.Method(p); }); \
  }
RR_EFFECT_SETTER(SetSampleChorus, RChorusParams, SetChorus)
RR_EFFECT_SETTER(SetSampleFlanger, RChorusParams, SetFlanger)
RR_EFFECT_SETTER(SetSampleEcho, REchoParams, SetEcho)
RR_EFFECT_SETTER(SetSampleGargle, RGargleParams, SetGargle)
RR_EFFECT_SETTER(SetSampleReverb, RReverbParams, SetReverb)
RR_EFFECT_SETTER(SetSampleCompressor, RCompressorParams, SetCompressor)
RR_EFFECT_SETTER(SetSampleEqualizer, REqualizerParams, SetEqualizer)
#undef RR_EFFECT_SETTER

namespace {
bool Finite3(double x, double y, double z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
}  // namespace

void SetSample3DPosition(int index, double x, double y, double z) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0 || !Finite3(x, y, z)) return;
  g_mixer->With3D(path, [&](R3DParams& p) { p.px = x, p.py = y, p.pz = z; });
}

void SetSample3DVelocity(int index, double x, double y, double z) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0 || !Finite3(x, y, z)) return;
  g_mixer->With3D(path, [&](R3DParams& p) { p.vx = x, p.vy = y, p.vz = z; });
}

void SetSample3DDistance(int index, double mindist, double maxdist) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0 || !std::isfinite(mindist) || !std::isfinite(maxdist)) return;
  g_mixer->With3D(path, [&](R3DParams& p) {
    p.mindist = std::max(mindist, 0.0);
    p.maxdist = maxdist;
  });
}

void SetSample3DCone(int index, double x, double y, double z, int anglein, int angleout, double voloutside) {
  Guard guard(g_lock);
  const int path = PathOf(index);
  if (path < 0 || !Finite3(x, y, z) || !std::isfinite(voloutside)) return;
  g_mixer->With3D(path, [&](R3DParams& p) {
    p.cx = x, p.cy = y, p.cz = z;
    p.anglein = std::clamp(anglein, 0, 360);
    p.angleout = std::clamp(angleout, 0, 360);
    p.voloutside = int(std::clamp(std::round(voloutside * 10000 - 10000), -10000.0, 0.0));
  });
}

void SetGlobalVolume(double value) {
  Guard guard(g_lock);
  if (std::isnan(value)) value = 0;
  const double v = std::clamp(std::round(std::clamp(value, -1e6, 1e6) * 11000 - 10000), -10000.0, 1000.0);
  g_master = int(v);
  if (g_mixer) g_mixer->SetMasterVolume(g_master);
}

int GlobalVolumeHdb() {
  Guard guard(g_lock);
  return g_master;
}

void SetBackgroundTempo(double factor) {
  Guard guard(g_lock);
  if (EnsureStarted()) g_mixer->SetTempo(factor);
}

void SetSearchDirectory(const std::string& directory) {
  Guard guard(g_lock);
  g_search_dir = directory;
}

bool StopSound() {
  Guard guard(g_lock);
  // After a shut-down a new start may find a device again.
  g_failed = false;
  if (!g_started) return true;
  // The device is closed by the platform's own shut-down on the game thread;
  // here it only stops reaching the mixer, which is safe from any thread
  // (the signal watcher ends runs through this too).
  DetachMixer();
  for (size_t i = 0; i < g_samples.size(); ++i) UnloadSample(int(i));
  g_samples.clear();
  bool ok = true;
  if (!g_audio_out.empty()) ok = WriteWav(g_audio_out, g_mixer->TakeCapture(), kMixRate);
  g_mixer.reset();
  g_started = false;
  return ok;
}
