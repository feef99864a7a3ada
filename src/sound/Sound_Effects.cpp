// The effects of an audio path and their serial chain.
#include "sound/Sound_Effects.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

bool In(double v, double lo, double hi) { return v >= lo && v <= hi; }  // false for NaN

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

// A stereo delay line long enough for `max_frames` of delay.
struct RDelay {
  std::vector<float> l, r;
  size_t w = 0, n = 1;
  void Resize(size_t frames) {
    n = std::max<size_t>(frames + 2, 2);
    l.assign(n, 0.f);
    r.assign(n, 0.f);
    w = 0;
  }
  // The sample written `d` frames ago (1 <= d < n, fractional: linear).
  static float Read(const std::vector<float>& line, size_t w, size_t n, double d) {
    const double pos = double(w) + double(n) - d;
    size_t i0 = size_t(pos);
    const float f = float(pos - double(i0));
    if (i0 >= n) i0 -= n;
    const size_t i1 = i0 + 1 == n ? 0 : i0 + 1;
    return line[i0] + (line[i1] - line[i0]) * f;
  }
  void Advance() {
    if (++w == n) w = 0;
  }
};

// Chorus and flanger: a delay swept by a low-frequency oscillator, fed back.
class CModDelay : public CEffect {
 public:
  CModDelay(int type, int rate, double max_delay_ms) : type_(type), rate_(rate) {
    delay_.Resize(size_t(rate * max_delay_ms * 1.6 / 1000.0) + 4);
  }
  int Type() const override { return type_; }
  void Set(const RChorusParams& p) { p_ = p; }
  void Process(float* buf, int frames) override {
    const float wet = float(p_.wetdry / 100.0), dry = 1.f - wet, fb = float(p_.feedback / 100.0);
    const double base = p_.delay * rate_ / 1000.0;
    const double swing = base * 0.5 * p_.depth / 100.0;
    const double step = p_.frequency / rate_;
    const double offset = (p_.phase - 2) * 0.25;  // of a cycle
    // The oscillator is evaluated every kLfoStep frames and the delays
    // interpolated between: far below audible modulation rates.
    constexpr int kLfoStep = 32;
    double dl = 0, dr = 0, ddl = 0, ddr = 0;
    for (int i = 0; i < frames; ++i) {
      if (i % kLfoStep == 0) {
        const double span = std::min(kLfoStep, frames - i);
        const double l0 = base + swing * (1 + Wave(phase_)), r0 = base + swing * (1 + Wave(phase_ + offset));
        phase_ += step * span;
        if (phase_ >= 1) phase_ -= std::floor(phase_);
        const double l1 = base + swing * (1 + Wave(phase_)), r1 = base + swing * (1 + Wave(phase_ + offset));
        dl = l0, dr = r0, ddl = (l1 - l0) / span, ddr = (r1 - r0) / span;
      }
      const double dlc = std::max(1.0, dl), drc = std::max(1.0, dr);
      dl += ddl, dr += ddr;
      const float yl = RDelay::Read(delay_.l, delay_.w, delay_.n, dlc);
      const float yr = RDelay::Read(delay_.r, delay_.w, delay_.n, drc);
      const float xl = buf[2 * i], xr = buf[2 * i + 1];
      delay_.l[delay_.w] = xl + fb * yl;
      delay_.r[delay_.w] = xr + fb * yr;
      delay_.Advance();
      buf[2 * i] = dry * xl + wet * yl;
      buf[2 * i + 1] = dry * xr + wet * yr;
    }
  }
  int64_t TailFrames() const override { return int64_t(delay_.n) * 8; }

 private:
  double Wave(double ph) const {
    ph -= std::floor(ph);
    if (p_.wave == 1) return std::sin(2 * kPi * ph);
    return ph < 0.5 ? 4 * ph - 1 : 3 - 4 * ph;
  }
  int type_, rate_;
  RChorusParams p_;
  RDelay delay_;
  double phase_ = 0;
};

class CEcho : public CEffect {
 public:
  explicit CEcho(int rate) : rate_(rate) { delay_.Resize(size_t(rate * 2) + 4); }
  int Type() const override { return kFxEcho; }
  void Set(const REchoParams& p) { p_ = p; }
  void Process(float* buf, int frames) override {
    const float wet = float(p_.wetdry / 100.0), dry = 1.f - wet, fb = float(p_.feedback / 100.0);
    // Whole-frame delays: read straight from the line.
    const size_t n = delay_.n;
    const size_t dl = std::clamp<size_t>(size_t(std::lround(p_.leftdelay * rate_ / 1000.0)), 1, n - 1);
    const size_t dr = std::clamp<size_t>(size_t(std::lround(p_.rightdelay * rate_ / 1000.0)), 1, n - 1);
    for (int i = 0; i < frames; ++i) {
      const size_t w = delay_.w;
      const float yl = delay_.l[w >= dl ? w - dl : w + n - dl];
      const float yr = delay_.r[w >= dr ? w - dr : w + n - dr];
      const float xl = buf[2 * i], xr = buf[2 * i + 1];
      // Swapped feedback makes each repeat change sides.
      delay_.l[delay_.w] = xl + fb * (p_.pandelay ? yr : yl);
      delay_.r[delay_.w] = xr + fb * (p_.pandelay ? yl : yr);
      delay_.Advance();
      buf[2 * i] = dry * xl + wet * yl;
      buf[2 * i + 1] = dry * xr + wet * yr;
    }
  }
  int64_t TailFrames() const override {
    const double d = std::max(p_.leftdelay, p_.rightdelay) * rate_ / 1000.0;
    const double f = p_.feedback / 100.0;
    // Until the repeats fall below -80 dB.
    const double repeats = f <= 0 ? 1 : f >= 0.999 ? 1000 : 1 + std::log(1e-4) / std::log(f);
    return int64_t(d * std::min(repeats, 1000.0)) + 1;
  }

 private:
  int rate_;
  REchoParams p_;
  RDelay delay_;
};

class CGargle : public CEffect {
 public:
  explicit CGargle(int rate) : rate_(rate) {}
  int Type() const override { return kFxGargle; }
  void Set(const RGargleParams& p) { p_ = p; }
  void Process(float* buf, int frames) override {
    const double step = double(p_.rate) / rate_;
    for (int i = 0; i < frames; ++i) {
      const float m = float(p_.wave == 1 ? (phase_ < 0.5 ? 1.0 : 0.0) : (phase_ < 0.5 ? 2 * phase_ : 2 - 2 * phase_));
      phase_ += step;
      if (phase_ >= 1) phase_ -= std::floor(phase_);
      buf[2 * i] *= m;
      buf[2 * i + 1] *= m;
    }
  }

 private:
  int rate_;
  RGargleParams p_;
  double phase_ = 0;
};

// A peaking filter (the audio cookbook's biquad), bandwidth in semitones.
class CEqualizer : public CEffect {
 public:
  explicit CEqualizer(int rate) : rate_(rate) { Set(REqualizerParams{}); }
  int Type() const override { return kFxEqualizer; }
  void Set(const REqualizerParams& p) {
    const double a = std::pow(10.0, p.gain / 40.0);
    const double f0 = std::min(p.center, rate_ * 0.45);
    const double w0 = 2 * kPi * f0 / rate_;
    const double octaves = p.bandwidth / 12.0;
    const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * octaves * w0 / std::sin(w0));
    const double a0 = 1 + alpha / a;
    b0_ = (1 + alpha * a) / a0;
    b1_ = -2 * std::cos(w0) / a0;
    b2_ = (1 - alpha * a) / a0;
    a1_ = -2 * std::cos(w0) / a0;
    a2_ = (1 - alpha / a) / a0;
  }
  void Process(float* buf, int frames) override {
    const float b0 = float(b0_), b1 = float(b1_), b2 = float(b2_), a1 = float(a1_), a2 = float(a2_);
    float lx1 = x_[0][0], lx2 = x_[0][1], ly1 = y_[0][0], ly2 = y_[0][1];
    float rx1 = x_[1][0], rx2 = x_[1][1], ry1 = y_[1][0], ry2 = y_[1][1];
    for (int i = 0; i < frames; ++i) {
      const float xl = buf[2 * i], xr = buf[2 * i + 1];
      const float yl = b0 * xl + b1 * lx1 + b2 * lx2 - a1 * ly1 - a2 * ly2;
      const float yr = b0 * xr + b1 * rx1 + b2 * rx2 - a1 * ry1 - a2 * ry2;
      lx2 = lx1, lx1 = xl, ly2 = ly1, ly1 = yl;
      rx2 = rx1, rx1 = xr, ry2 = ry1, ry1 = yr;
      buf[2 * i] = yl;
      buf[2 * i + 1] = yr;
    }
    // Denormals would slow the filter to a crawl in silence.
    auto flush = [](float v) { return std::abs(v) < 1e-15f ? 0.f : v; };
    x_[0] = {lx1, lx2};
    x_[1] = {rx1, rx2};
    y_[0] = {flush(ly1), flush(ly2)};
    y_[1] = {flush(ry1), flush(ry2)};
  }

 private:
  int rate_;
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  std::array<std::array<float, 2>, 2> x_{}, y_{};
};

// A reverb: four damped combs on the summed input, then two all-passes per
// side for the stereo spread; the combs' feedback gives the set decay time,
// their damping the high-frequency ratio.
class CReverb : public CEffect {
 public:
  CReverb(int type, int rate) : type_(type), rate_(rate) {
    static const double kComb[4] = {29.7, 37.1, 41.1, 43.7}, kAll[2] = {5.0, 1.7};
    for (int k = 0; k < 4; ++k) comb_[k].assign(size_t(rate * kComb[k] / 1000.0) + 1, 0.f);
    for (int c = 0; c < 2; ++c)
      for (int k = 0; k < 2; ++k) all_[c][k].assign(size_t(rate * (kAll[k] + c * 0.37) / 1000.0) + 1, 0.f);
    if (type == kFxEnvReverb) Set(RReverbParams{0, -6, 1490, 0.83});
    else Set(RReverbParams{});
  }
  int Type() const override { return type_; }
  void Set(const RReverbParams& p) {
    p_ = p;
    in_ = float(DbToGain(p.gain));
    mix_ = float(p.mix <= -96 ? 0 : DbToGain(p.mix));
    for (int k = 0; k < 4; ++k) {
      const double len_s = double(comb_[k].size()) / rate_;
      fb_[k] = float(std::pow(10.0, -3.0 * len_s / (p.time / 1000.0)));
    }
    damp_ = float(std::clamp(1.0 - p.ratio, 0.0, 0.95));
  }
  void Process(float* buf, int frames) override {
    for (int i = 0; i < frames; ++i) {
      const float xl = buf[2 * i] * in_, xr = buf[2 * i + 1] * in_;
      const float x = 0.5f * (xl + xr);
      float s = 0;
      for (int k = 0; k < 4; ++k) {
        std::vector<float>& line = comb_[k];
        size_t& pos = cpos_[k];
        const float y = line[pos];
        lp_[k] = y * (1 - damp_) + lp_[k] * damp_;
        line[pos] = x + lp_[k] * fb_[k];
        if (++pos == line.size()) pos = 0;
        s += y;
      }
      s *= 0.25f;
      for (int c = 0; c < 2; ++c) {
        float v = s;
        for (int k = 0; k < 2; ++k) {
          std::vector<float>& line = all_[c][k];
          size_t& pos = apos_[c][k];
          const float d = line[pos];
          const float u = v + 0.5f * d;
          line[pos] = u;
          if (++pos == line.size()) pos = 0;
          v = d - 0.5f * u;
        }
        buf[2 * i + c] = (c == 0 ? xl : xr) + mix_ * v;
      }
    }
    for (float& v : lp_)
      if (std::abs(v) < 1e-15f) v = 0;
  }
  int64_t TailFrames() const override { return int64_t(p_.time / 1000.0 * rate_ * 1.5) + rate_ / 10; }

 private:
  int type_, rate_;
  RReverbParams p_;
  float in_ = 1, mix_ = 1, damp_ = 0;
  std::vector<float> comb_[4], all_[2][2];
  size_t cpos_[4]{}, apos_[2][2]{};
  float fb_[4]{}, lp_[4]{};
};

// A feed-forward compressor on the louder channel's envelope, with the
// pre-delay as look-ahead.
class CCompressor : public CEffect {
 public:
  explicit CCompressor(int rate) : rate_(rate) {
    delay_.Resize(size_t(rate * 4 / 1000) + 2);
    Set(RCompressorParams{});
  }
  int Type() const override { return kFxCompressor; }
  void Set(const RCompressorParams& p) {
    p_ = p;
    att_ = float(std::exp(-1.0 / (p.attack / 1000.0 * rate_)));
    rel_ = float(std::exp(-1.0 / (p.release / 1000.0 * rate_)));
  }
  void Process(float* buf, int frames) override {
    const double d = p_.delay * rate_ / 1000.0;
    const float slope = float(1.0 - 1.0 / p_.ratio);
    const float thr = float(p_.threshold), makeup = float(p_.gain);
    for (int i = 0; i < frames; ++i) {
      const float xl = buf[2 * i], xr = buf[2 * i + 1];
      const float peak = std::max(std::abs(xl), std::abs(xr));
      const float k = peak > env_ ? att_ : rel_;
      env_ = peak + k * (env_ - peak);
      // The gain follows the envelope every 8 frames (0.2 ms), which keeps
      // the logarithms off the per-sample path.
      if (((count_++) & 7) == 0) {
        const float env_db = env_ > 1e-6f ? 20.f * std::log10(env_) : -120.f;
        const float over = env_db - thr;
        gain_ = std::pow(10.f, ((over > 0 ? -over * slope : 0.f) + makeup) / 20.f);
      }
      const float g = gain_;
      float yl = xl, yr = xr;
      if (d >= 1) {
        yl = RDelay::Read(delay_.l, delay_.w, delay_.n, d);
        yr = RDelay::Read(delay_.r, delay_.w, delay_.n, d);
        delay_.l[delay_.w] = xl;
        delay_.r[delay_.w] = xr;
        delay_.Advance();
      }
      buf[2 * i] = yl * g;
      buf[2 * i + 1] = yr * g;
    }
  }
  int64_t TailFrames() const override { return int64_t(delay_.n); }

 private:
  int rate_;
  RCompressorParams p_;
  RDelay delay_;
  float att_ = 0, rel_ = 0, env_ = 0, gain_ = 1;
  unsigned count_ = 0;
};

// A soft clipper with its fixed drive, edge and output gain.
class CDistortion : public CEffect {
 public:
  int Type() const override { return kFxDistortion; }
  void Process(float* buf, int frames) override {
    const float drive = 2.5f, norm = 1.f / std::tanh(drive), out = float(DbToGain(-18.0 + 12.0));
    for (int i = 0; i < 2 * frames; ++i) buf[i] = std::tanh(buf[i] * drive) * norm * out;
  }
};
}  // namespace

bool ValidChorus(const RChorusParams& p) {
  return In(p.wetdry, 0, 100) && In(p.depth, 0, 100) && In(p.feedback, -99, 99) && In(p.frequency, 0, 10) &&
         In(p.wave, 0, 1) && In(p.delay, 0, 20) && In(p.phase, 0, 4);
}
bool ValidFlanger(const RChorusParams& p) {
  return In(p.wetdry, 0, 100) && In(p.depth, 0, 100) && In(p.feedback, -99, 99) && In(p.frequency, 0, 10) &&
         In(p.wave, 0, 1) && In(p.delay, 0, 4) && In(p.phase, 0, 4);
}
bool ValidEcho(const REchoParams& p) {
  return In(p.wetdry, 0, 100) && In(p.feedback, 0, 100) && In(p.leftdelay, 1, 2000) && In(p.rightdelay, 1, 2000) &&
         In(p.pandelay, 0, 1);
}
bool ValidGargle(const RGargleParams& p) { return In(p.rate, 1, 1000) && In(p.wave, 0, 1); }
bool ValidReverb(const RReverbParams& p) {
  return In(p.gain, -96, 0) && In(p.mix, -96, 0) && In(p.time, 0.001, 3000) && In(p.ratio, 0.001, 0.999);
}
bool ValidCompressor(const RCompressorParams& p) {
  return In(p.gain, -60, 60) && In(p.attack, 0.01, 500) && In(p.release, 50, 3000) && In(p.threshold, -60, 0) &&
         In(p.ratio, 1, 100) && In(p.delay, 0, 4);
}
bool ValidEqualizer(const REqualizerParams& p) {
  return In(p.center, 80, 16000) && In(p.bandwidth, 1, 36) && In(p.gain, -15, 15);
}

void CEffectChain::SetEffects(int flags) {
  chain_.clear();
  flags_ = flags < 0 ? 0 : flags;
  if (flags_ == 0) return;
  auto add = [&](int flag, auto make) {
    if (flags_ & flag) chain_.push_back(make());
  };
  add(kFxChorus, [&] {
    auto e = std::make_unique<CModDelay>(kFxChorus, rate_, 20.0);
    e->Set(RChorusParams{});
    return e;
  });
  add(kFxEcho, [&] {
    auto e = std::make_unique<CEcho>(rate_);
    e->Set(REchoParams{});
    return e;
  });
  add(kFxFlanger, [&] {
    auto e = std::make_unique<CModDelay>(kFxFlanger, rate_, 4.0);
    e->Set(RChorusParams{50, 100, -50, 0.25, 1, 2, 2});
    return e;
  });
  add(kFxGargle, [&] { return std::make_unique<CGargle>(rate_); });
  add(kFxEqualizer, [&] { return std::make_unique<CEqualizer>(rate_); });
  add(kFxReverb, [&] { return std::make_unique<CReverb>(kFxReverb, rate_); });
  add(kFxCompressor, [&] { return std::make_unique<CCompressor>(rate_); });
  add(kFxEqualizer, [&] { return std::make_unique<CEqualizer>(rate_); });
  add(kFxDistortion, [&] { return std::make_unique<CDistortion>(); });
  add(kFxEnvReverb, [&] { return std::make_unique<CReverb>(kFxEnvReverb, rate_); });
}

void CEffectChain::Process(float* buf, int frames) {
  for (auto& e : chain_) e->Process(buf, frames);
}

int64_t CEffectChain::TailFrames() const {
  int64_t t = 0;
  for (const auto& e : chain_) t += e->TailFrames();
  return t;
}

CEffect* CEffectChain::Find(int type) {
  for (auto& e : chain_)
    if (e->Type() == type) return e.get();
  return nullptr;
}

bool CEffectChain::SetChorus(const RChorusParams& p) {
  auto* e = static_cast<CModDelay*>(Find(kFxChorus));
  if (!e || !ValidChorus(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetFlanger(const RChorusParams& p) {
  auto* e = static_cast<CModDelay*>(Find(kFxFlanger));
  if (!e || !ValidFlanger(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetEcho(const REchoParams& p) {
  auto* e = static_cast<CEcho*>(Find(kFxEcho));
  if (!e || !ValidEcho(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetGargle(const RGargleParams& p) {
  auto* e = static_cast<CGargle*>(Find(kFxGargle));
  if (!e || !ValidGargle(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetReverb(const RReverbParams& p) {
  auto* e = static_cast<CReverb*>(Find(kFxReverb));
  if (!e || !ValidReverb(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetCompressor(const RCompressorParams& p) {
  auto* e = static_cast<CCompressor*>(Find(kFxCompressor));
  if (!e || !ValidCompressor(p)) return false;
  e->Set(p);
  return true;
}
bool CEffectChain::SetEqualizer(const REqualizerParams& p) {
  auto* e = static_cast<CEqualizer*>(Find(kFxEqualizer));
  if (!e || !ValidEqualizer(p)) return false;
  e->Set(p);
  return true;
}
