// The mixer: audio paths, voices, the single-file player and the master bus.
#include "sound/Sound_Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 64;             // frames between gain updates
constexpr int kChunk = 256;            // frames a path renders and processes at once
constexpr double kSpeedOfSound = 343;  // units per second for the Doppler shift
}  // namespace

double HdbToGain(double hdb) { return hdb <= kSilentHdb ? 0.0 : std::pow(10.0, hdb / 2000.0); }

void PanGains(int pan, float& left, float& right) {
  pan = std::clamp(pan, -10000, 10000);
  left = float(HdbToGain(std::min(0, -pan)));
  right = float(HdbToGain(std::min(0, pan)));
  if (pan >= 10000) left = 0;
  if (pan <= -10000) right = 0;
}

void Gains3D(const R3DParams& p, float& left, float& right) {
  const double d = std::sqrt(p.px * p.px + p.py * p.py + p.pz * p.pz);
  const double mind = std::max(p.mindist, 1e-9);
  const double dd = std::clamp(d, mind, std::max(mind, p.maxdist));
  double gain = mind / dd;
  // The cone: full level inside, the outside volume beyond, a blend between.
  const double cl = std::sqrt(p.cx * p.cx + p.cy * p.cy + p.cz * p.cz);
  if (d > 0 && cl > 0 && p.anglein < 360) {
    const double cosang = -(p.px * p.cx + p.py * p.cy + p.pz * p.cz) / (d * cl);
    const double ang = std::acos(std::clamp(cosang, -1.0, 1.0)) * 180 / kPi;
    const double in = p.anglein / 2.0, out = std::max(p.angleout, p.anglein) / 2.0;
    double hdb = 0;
    if (ang >= out) hdb = p.voloutside;
    else if (ang > in) hdb = p.voloutside * (ang - in) / std::max(out - in, 1e-9);
    gain *= HdbToGain(hdb);
  }
  const double s = d > 0 ? std::clamp(p.px / d, -1.0, 1.0) : 0.0;
  const double a = (s + 1) * kPi / 4;
  left = float(gain * std::min(1.0, std::sqrt(2.0) * std::cos(a)));
  right = float(gain * std::min(1.0, std::sqrt(2.0) * std::sin(a)));
}

CMixer::CMixer(int rate) : rate_(rate > 0 ? rate : 44100) {}
CMixer::~CMixer() = default;

int CMixer::AddPath(int kind, std::shared_ptr<const RPcm> pcm, std::shared_ptr<const std::vector<uint8_t>> midi) {
  std::lock_guard lock(mu_);
  size_t i = 0;
  while (i < paths_.size() && paths_[i].inuse) ++i;
  if (i == paths_.size()) paths_.emplace_back();
  RPath& p = paths_[i];
  p = RPath{};
  p.inuse = true;
  p.kind = kind;
  p.pcm = std::move(pcm);
  p.midi = std::move(midi);
  p.chain = std::make_unique<CEffectChain>(rate_);
  if (kind == 2) Gains3D(p.pos3d, p.left, p.right);
  return int(i);
}

void CMixer::RemovePath(int index) {
  std::unique_ptr<CEffectChain> chain;
  std::vector<RVoice> voices;
  {
    std::lock_guard lock(mu_);
    if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
    RPath& p = paths_[size_t(index)];
    chain = std::move(p.chain);
    voices = std::move(p.voices);
    p = RPath{};
  }
}

bool CMixer::PathValid(int index) const {
  std::lock_guard lock(mu_);
  return index >= 0 && size_t(index) < paths_.size() && paths_[size_t(index)].inuse;
}

std::unique_ptr<CMidiSource> CMixer::MakeMidi(const std::vector<uint8_t>& midi, bool loop) {
  double tempo;
  {
    std::lock_guard lock(mu_);
    tempo = tempo_;
  }
  return CMidiSource::Create(midi, rate_, loop, tempo);
}

void CMixer::Play(int index, bool loop) {
  std::shared_ptr<const std::vector<uint8_t>> midi;
  {
    std::lock_guard lock(mu_);
    if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
    midi = paths_[size_t(index)].midi;
  }
  // The synthesizer loads its soundfont outside the lock: the device keeps
  // pulling meanwhile.
  RVoice v;
  v.loop = loop;
  if (midi) {
    v.midi = MakeMidi(*midi, loop);
    if (!v.midi) return;
  }
  std::vector<RVoice> stopped;
  std::lock_guard lock(mu_);
  if (size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
  RPath& p = paths_[size_t(index)];
  if (!p.pcm && !p.midi) return;
  if (p.kind == 1)
    for (RPath& q : paths_)
      if (q.inuse && q.kind == 1) {
        for (RVoice& old : q.voices) stopped.push_back(std::move(old));
        q.voices.clear();
      }
  p.voices.push_back(std::move(v));
  p.tail = p.chain ? p.chain->TailFrames() : 0;
}

void CMixer::Stop(int index) {
  std::vector<RVoice> stopped;
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size()) return;
  stopped = std::move(paths_[size_t(index)].voices);
  paths_[size_t(index)].voices.clear();
}

void CMixer::StopAll() {
  std::vector<RVoice> stopped;
  std::lock_guard lock(mu_);
  for (RPath& p : paths_) {
    for (RVoice& v : p.voices) stopped.push_back(std::move(v));
    p.voices.clear();
  }
}

bool CMixer::IsPlaying(int index) const {
  std::lock_guard lock(mu_);
  return index >= 0 && size_t(index) < paths_.size() && !paths_[size_t(index)].voices.empty();
}

void CMixer::SetVolume(int index, int hdb, int ms) {
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
  RPath& p = paths_[size_t(index)];
  hdb = std::clamp(hdb, kSilentHdb, 0);
  // A fade that starts in silence starts at the silence threshold.
  p.hdb = std::max(p.hdb, double(kSilentHdb));
  p.target = hdb;
  const int64_t frames = ms > 0 ? int64_t(ms) * rate_ / 1000 : 0;
  if (frames <= 0) {
    p.hdb = hdb;
    p.fade_left = 0;
    p.step = 0;
  } else {
    p.fade_left = frames;
    p.step = (p.target - p.hdb) / double(frames);
  }
  p.gain = HdbToGain(p.hdb);
}

int CMixer::Volume(int index) const {
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size()) return kSilentHdb;
  return int(std::lround(paths_[size_t(index)].hdb));
}

void CMixer::SetPan(int index, int pan) {
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
  RPath& p = paths_[size_t(index)];
  p.pan = std::clamp(pan, -10000, 10000);
  if (p.kind != 2) PanGains(p.pan, p.left, p.right);
}

void CMixer::SetEffects(int index, int flags) {
  auto chain = std::make_unique<CEffectChain>(rate_);
  chain->SetEffects(flags);
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return;
  std::swap(paths_[size_t(index)].chain, chain);
}

bool CMixer::WithEffects(int index, const std::function<bool(CEffectChain&)>& fn) {
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return false;
  return fn(*paths_[size_t(index)].chain);
}

bool CMixer::With3D(int index, const std::function<void(R3DParams&)>& fn) {
  std::lock_guard lock(mu_);
  if (index < 0 || size_t(index) >= paths_.size() || !paths_[size_t(index)].inuse) return false;
  if (paths_[size_t(index)].kind != 2) return false;
  RPath& p = paths_[size_t(index)];
  fn(p.pos3d);
  Gains3D(p.pos3d, p.left, p.right);
  return true;
}

void CMixer::SetMasterVolume(int hdb) {
  std::lock_guard lock(mu_);
  master_hdb_ = std::clamp(hdb, -10000, 1000);
}

void CMixer::SetTempo(double factor) {
  std::lock_guard lock(mu_);
  tempo_ = std::clamp(std::isnan(factor) ? 1.0 : factor, 0.01, 100.0);
  for (RPath& p : paths_)
    for (RVoice& v : p.voices)
      if (v.midi) v.midi->SetTempo(tempo_);
}

void CMixer::PlayerPlay(const std::string& file, std::shared_ptr<const RPcm> pcm,
                        std::shared_ptr<const std::vector<uint8_t>> midi, bool loop) {
  RVoice v;
  v.loop = loop;
  if (midi) v.midi = MakeMidi(*midi, loop);
  std::vector<RVoice> stopped;
  std::lock_guard lock(mu_);
  stopped = std::move(player_.voices);
  player_.voices.clear();
  player_file_ = file;
  player_.pcm = std::move(pcm);
  player_.midi = std::move(midi);
  if (v.midi || player_.pcm) player_.voices.push_back(std::move(v));
}

void CMixer::PlayerStop() {
  std::vector<RVoice> stopped;
  std::lock_guard lock(mu_);
  stopped = std::move(player_.voices);
  player_.voices.clear();
}

const std::string CMixer::PlayerFile() const {
  std::lock_guard lock(mu_);
  return player_file_;
}

bool CMixer::PlayerPlaying() const {
  std::lock_guard lock(mu_);
  return !player_.voices.empty();
}

bool CMixer::RenderVoice(const RPath& path, RVoice& v, float* buf, int frames, double rate) {
  if (v.midi) {
    // A MIDI file that ends while looping starts again inside FluidSynth.
    return v.midi->Render(buf, frames);
  }
  if (!path.pcm || path.pcm->Count() == 0) return false;
  const float* s = path.pcm->frames.data();
  const size_t n = path.pcm->Count();
  const bool mono = path.pcm->channels == 1;
  int i = 0;
  if (rate == 1.0 && v.pos == std::floor(v.pos)) {
    size_t pos = size_t(v.pos);
    while (i < frames) {
      if (pos >= n) {
        if (!v.loop) {
          v.pos = double(n);
          return false;
        }
        pos = 0;
      }
      const int take = int(std::min<size_t>(size_t(frames - i), n - pos));
      float* dst = buf + 2 * i;
      if (mono) {
        const float* src = s + pos;
        for (int k = 0; k < take; ++k) {
          dst[2 * k] += src[k];
          dst[2 * k + 1] += src[k];
        }
      } else {
        const float* src = s + 2 * pos;
        for (int k = 0; k < 2 * take; ++k) dst[k] += src[k];
      }
      pos += size_t(take);
      i += take;
    }
    v.pos = double(pos);
    return true;
  }
  double pos = v.pos;
  for (; i < frames; ++i) {
    if (pos >= double(n)) {
      if (!v.loop) {
        v.pos = double(n);
        return false;
      }
      pos -= double(n);
    }
    const size_t i0 = size_t(pos), i1 = i0 + 1 < n ? i0 + 1 : (v.loop ? 0 : i0);
    const float t = float(pos - double(i0));
    if (mono) {
      const float y = s[i0] + (s[i1] - s[i0]) * t;
      buf[2 * i] += y;
      buf[2 * i + 1] += y;
    } else {
      buf[2 * i] += s[2 * i0] + (s[2 * i1] - s[2 * i0]) * t;
      buf[2 * i + 1] += s[2 * i0 + 1] + (s[2 * i1 + 1] - s[2 * i0 + 1]) * t;
    }
    pos += rate;
  }
  v.pos = pos;
  return true;
}

void CMixer::Render(float* out, int frames) {
  std::memset(out, 0, sizeof(float) * size_t(frames) * 2);
  std::vector<RVoice> ended;  // freed outside the loop, still under the lock
  std::lock_guard lock(mu_);
  scratch_.resize(size_t(kChunk) * 2);
  float* tmp = scratch_.data();
  const float master = float(HdbToGain(double(master_hdb_) - 1000.0));
  for (int done = 0; done < frames; done += kChunk) {
    const int n = std::min(kChunk, frames - done);
    float* dst = out + 2 * done;
    for (RPath& p : paths_) {
      if (!p.inuse || (p.voices.empty() && p.tail <= 0)) continue;
      std::memset(tmp, 0, sizeof(float) * size_t(n) * 2);
      double rate = 1.0;
      if (p.kind == 2) {
        const R3DParams& q = p.pos3d;
        const double d = std::sqrt(q.px * q.px + q.py * q.py + q.pz * q.pz);
        if (d > 0) {
          const double away = (q.vx * q.px + q.vy * q.py + q.vz * q.pz) / d;
          rate = kSpeedOfSound / (kSpeedOfSound + std::max(away, -0.9 * kSpeedOfSound));
        }
      }
      for (size_t k = 0; k < p.voices.size();) {
        if (RenderVoice(p, p.voices[k], tmp, n, rate)) {
          ++k;
        } else {
          ended.push_back(std::move(p.voices[k]));
          p.voices.erase(p.voices.begin() + long(k));
        }
      }
      if (!p.voices.empty()) p.tail = p.chain->TailFrames();
      else p.tail -= n;
      p.chain->Process(tmp, n);
      Mix(p, tmp, dst, n, master);
    }
    if (!player_.voices.empty()) {
      std::memset(tmp, 0, sizeof(float) * size_t(n) * 2);
      if (!RenderVoice(player_, player_.voices[0], tmp, n, 1.0)) {
        ended.push_back(std::move(player_.voices[0]));
        player_.voices.clear();
      }
      for (int i = 0; i < 2 * n; ++i) dst[i] += tmp[i] * master;
    }
  }
  for (int i = 0; i < 2 * frames; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
  if (capturing_) capture_.insert(capture_.end(), out, out + 2 * frames);
}

void CMixer::Mix(RPath& p, const float* src, float* dst, int frames, float master) {
  for (int at = 0; at < frames; at += kBlock) {
    const int n = std::min(kBlock, frames - at);
    const float* s = src + 2 * at;
    float* d = dst + 2 * at;
    // The level moves along the fade once per block, linearly in decibels;
    // within the block the gain is interpolated.
    const double g0 = p.gain;
    if (p.fade_left > 0) {
      const int64_t k = std::min<int64_t>(p.fade_left, n);
      p.hdb += p.step * double(k);
      p.fade_left -= k;
      if (p.fade_left == 0) p.hdb = p.target;
      p.gain = HdbToGain(p.hdb);
    }
    const float l = p.left * master, r = p.right * master;
    if (p.gain == g0) {
      const float gl = float(g0) * l, gr = float(g0) * r;
      for (int i = 0; i < n; ++i) {
        d[2 * i] += s[2 * i] * gl;
        d[2 * i + 1] += s[2 * i + 1] * gr;
      }
    } else {
      const float g = float(g0), dg = float((p.gain - g0) / n);
      for (int i = 0; i < n; ++i) {
        const float gi = g + dg * float(i + 1);
        d[2 * i] += s[2 * i] * gi * l;
        d[2 * i + 1] += s[2 * i + 1] * gi * r;
      }
    }
  }
}

void CMixer::StartCapture() {
  std::lock_guard lock(mu_);
  capturing_ = true;
  capture_.clear();
}

std::vector<float> CMixer::TakeCapture() {
  std::lock_guard lock(mu_);
  capturing_ = false;
  return std::move(capture_);
}
