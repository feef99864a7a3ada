// The effects of an audio path and their serial chain.
#include "sound/Sound_Effects.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

bool In(double v, double lo, double hi) { return v >= lo && v <= hi; }  // false for NaN

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

// A stereo delay line whose every sample is stored twice, at w and w + n, so
// that a read up to n frames back and its interpolation neighbour are always
// one contiguous index with no wrap test.
struct RDelay {
  std::vector<float> l, r;
  size_t w = 0, n = 1;
  void Resize(size_t frames) {
    n = std::max<size_t>(frames + 2, 2);
    l.assign(2 * n, 0.f);
    r.assign(2 * n, 0.f);
    w = 0;
  }
  void Write(float xl, float xr) {
    l[w] = l[w + n] = xl;
    r[w] = r[w + n] = xr;
    if (++w == n) w = 0;
  }
};

// Chorus and flanger: a delay swept by a low-frequency oscillator, fed back.
// The oscillator is evaluated every kLfoStep frames of the stream (whatever
// the block sizes) and the delays interpolated between: far below audible
// modulation rates.
class CModDelay : public CEffect {
 public:
  CModDelay(int type, int rate, double max_delay_ms) : type_(type), rate_(rate) {
    // The sweep reaches twice the set delay at full depth.
    delay_.Resize(size_t(rate * max_delay_ms * 2.0 / 1000.0) + 4);
  }
  int Type() const override { return type_; }
  void Set(const RChorusParams& p) {
    p_ = p;
    have_end_ = false;
  }
  void Process(float* buf, int frames) override {
    const float wet = float(p_.wetdry / 100.0), dry = 1.f - wet, fb = float(p_.feedback / 100.0);
    for (int i = 0; i < frames;) {
      if (seg_left_ == 0) NextSegment();
      const int m = std::min({seg_left_, frames - i, int(delay_.n - delay_.w)});
      Run(buf + 2 * i, m, wet, dry, fb);
      i += m;
      seg_left_ -= m;
    }
  }
  int64_t TailFrames() const override { return int64_t(delay_.n) * 8; }

 private:
  static constexpr int kLfoStep = 32;
  static constexpr double kOne = 4294967296.0;  // delays in 32.32 fixed point

  double Wave(double ph) const {
    ph -= std::floor(ph);
    // Single precision is ample for a delay sweep and twice as fast.
    if (p_.wave == 1) return std::sin(float(2 * kPi * ph));
    return ph < 0.5 ? 4 * ph - 1 : 3 - 4 * ph;
  }
  // Delays (frames) of both sides at the current phase.
  void Delays(double& l, double& r) const {
    const double base = p_.delay * rate_ / 1000.0;
    const double swing = base * 0.5 * p_.depth / 100.0;
    const double offset = (p_.phase - 2) * 0.25;  // of a cycle
    const double cap = double(delay_.n) - 2;
    l = std::clamp(base + swing * (1 + Wave(phase_)), 1.0, cap);
    r = std::clamp(base + swing * (1 + Wave(phase_ + offset)), 1.0, cap);
  }
  void NextSegment() {
    double l0, r0, l1, r1;
    if (have_end_) l0 = end_l_, r0 = end_r_;
    else Delays(l0, r0);
    phase_ += p_.frequency / rate_ * kLfoStep;
    if (phase_ >= 1) phase_ -= std::floor(phase_);
    Delays(l1, r1);
    end_l_ = l1, end_r_ = r1, have_end_ = true;
    dl_ = int64_t(l0 * kOne), dr_ = int64_t(r0 * kOne);
    ddl_ = int64_t((l1 - l0) / kLfoStep * kOne), ddr_ = int64_t((r1 - r0) / kLfoStep * kOne);
    seg_left_ = kLfoStep;
  }
  // m frames with no wrap of the write position.
  void Run(float* buf, int m, float wet, float dry, float fb) {
    const size_t n = delay_.n, w = delay_.w;
    float* const lines[2] = {delay_.l.data(), delay_.r.data()};
    const int64_t d0[2] = {dl_, dr_}, dd[2] = {ddl_, ddr_};
    // Reads reach back at least one frame; with a delay of at least m frames
    // none of them sees this run's writes, so each side is read in one pass
    // and written after.
    const int64_t lowest = std::min({dl_, dl_ + ddl_ * (m - 1), dr_, dr_ + ddr_ * (m - 1)});
    if (lowest >= int64_t(m) * int64_t(kOne)) {
      float y[2][kLfoStep];
      for (int c = 0; c < 2; ++c) {
        // Read position in 32.32: (w + n + k) - delay = (b + k) + f, the
        // fraction f falling by the delay's change per frame. While f stays
        // in [0, 1) the taps are consecutive samples: a plain loop.
        const int64_t start = int64_t(w + n) * int64_t(kOne) - d0[c];
        size_t b = size_t(start >> 32);
        int64_t f = start & int64_t(0xFFFFFFFF);
        const int64_t dfix = dd[c];
        for (int k = 0; k < m;) {
          int len = m - k;
          if (dfix > 0) len = int(std::min<int64_t>(len, f / dfix + 1));
          else if (dfix < 0) len = int(std::min<int64_t>(len, (int64_t(0xFFFFFFFF) - f) / -dfix + 1));
          const float* src = lines[c] + b + size_t(k);
          const float f0 = float(f) * (1.f / 4294967296.f), df = float(dfix) * (1.f / 4294967296.f);
          float* out = y[c] + k;
          for (int j = 0; j < len; ++j) out[j] = src[j] + (src[j + 1] - src[j]) * (f0 - df * float(j));
          f -= dfix * len;
          k += len;
          if (f < 0) f += int64_t(kOne), --b;
          else if (f >= int64_t(kOne)) f -= int64_t(kOne), ++b;
        }
      }
      for (int c = 0; c < 2; ++c) {
        float* line = lines[c];
        for (int k = 0; k < m; ++k) line[w + k] = line[w + n + k] = buf[2 * k + c] + fb * y[c][k];
        for (int k = 0; k < m; ++k) buf[2 * k + c] = dry * buf[2 * k + c] + wet * y[c][k];
      }
    } else {
      for (int k = 0; k < m; ++k) {
        float y[2];
        for (int c = 0; c < 2; ++c) {
          const int64_t pos = int64_t(w + k + n) * int64_t(kOne) - (d0[c] + dd[c] * k);
          const size_t i0 = size_t(pos >> 32);
          const float f = float(uint32_t(pos)) * (1.f / 4294967296.f);
          y[c] = lines[c][i0] + (lines[c][i0 + 1] - lines[c][i0]) * f;
        }
        for (int c = 0; c < 2; ++c) {
          lines[c][w + k] = lines[c][w + k + n] = buf[2 * k + c] + fb * y[c];
          buf[2 * k + c] = dry * buf[2 * k + c] + wet * y[c];
        }
      }
    }
    dl_ += ddl_ * m, dr_ += ddr_ * m;
    delay_.w = w + size_t(m) == n ? 0 : w + size_t(m);
  }

  int type_, rate_;
  RChorusParams p_;
  RDelay delay_;
  double phase_ = 0;
  int seg_left_ = 0;
  int64_t dl_ = 0, dr_ = 0, ddl_ = 0, ddr_ = 0;
  double end_l_ = 0, end_r_ = 0;
  bool have_end_ = false;
};

class CEcho : public CEffect {
 public:
  // Two seconds of delay and a margin that keeps runs long at that delay.
  explicit CEcho(int rate) : rate_(rate), n_(size_t(rate) * 2 + 260), l_(n_, 0.f), r_(n_, 0.f) {}
  int Type() const override { return kFxEcho; }
  void Set(const REchoParams& p) { p_ = p; }
  void Process(float* buf, int frames) override {
    const float wet = float(p_.wetdry / 100.0), dry = 1.f - wet, fb = float(p_.feedback / 100.0);
    // Whole-frame delays: read straight from the line.
    const size_t dl = std::clamp<size_t>(size_t(std::lround(p_.leftdelay * rate_ / 1000.0)), 1, n_ - 1);
    const size_t dr = std::clamp<size_t>(size_t(std::lround(p_.rightdelay * rate_ / 1000.0)), 1, n_ - 1);
    // A run where neither the write nor the reads wrap and no read reaches a
    // slot the run writes is one vectorisable pass.
    const size_t most = std::min({dl, dr, n_ - dl, n_ - dr});
    for (int i = 0; i < frames;) {
      const size_t w = w_, rl = w >= dl ? w - dl : w + n_ - dl, rr = w >= dr ? w - dr : w + n_ - dr;
      const int m = int(std::min({size_t(frames - i), most, n_ - w, n_ - rl, n_ - rr}));
      const float* yl = l_.data() + rl;
      const float* yr = r_.data() + rr;
      // Swapped feedback makes each repeat change sides.
      Run(buf + 2 * i, m, yl, yr, p_.pandelay ? yr : yl, p_.pandelay ? yl : yr, l_.data() + w, r_.data() + w, wet,
          dry, fb);
      w_ = w + size_t(m) == n_ ? 0 : w + size_t(m);
      i += m;
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
  static void Run(float* __restrict buf, int m, const float* yl, const float* yr, const float* fl, const float* fr,
                  float* __restrict wl, float* __restrict wr, float wet, float dry, float fb) {
    for (int k = 0; k < m; ++k) {
      const float xl = buf[2 * k], xr = buf[2 * k + 1];
      wl[k] = xl + fb * fl[k];
      wr[k] = xr + fb * fr[k];
      buf[2 * k] = dry * xl + wet * yl[k];
      buf[2 * k + 1] = dry * xr + wet * yr[k];
    }
  }
  int rate_;
  REchoParams p_;
  size_t n_, w_ = 0;
  std::vector<float> l_, r_;
};

class CGargle : public CEffect {
 public:
  explicit CGargle(int rate) : rate_(rate) {}
  int Type() const override { return kFxGargle; }
  void Set(const RGargleParams& p) { p_ = p; }
  void Process(float* buf, int frames) override {
    const double step = double(p_.rate) / rate_;
    const bool square = p_.wave == 1;
    // Runs up to the end of the current cycle, so the phase is a plain
    // multiple of the frame inside and the loop has no dependence.
    for (int i = 0; i < frames;) {
      const int run = std::min(frames - i, std::max(1, int(std::ceil((1 - phase_) / step))));
      float* b = buf + 2 * i;
      const double ph0 = phase_;
      for (int k = 0; k < run; ++k) {
        const double ph = ph0 + step * k;
        const float m = float(square ? (ph < 0.5 ? 1.0 : 0.0) : (ph < 0.5 ? 2 * ph : 2 - 2 * ph));
        b[2 * k] *= m;
        b[2 * k + 1] *= m;
      }
      phase_ = ph0 + step * run;
      if (phase_ >= 1) phase_ -= std::floor(phase_);
      i += run;
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
    // At 0 dB the numerator equals the denominator: the filter passes its
    // input unchanged (the second equalizer of a chain always is one).
    identity_ = p.gain == 0;
  }
  void Process(float* buf, int frames) override {
    if (identity_) {
      // The state an identity filter would hold, so a later gain starts clean.
      if (frames >= 2) {
        for (int c = 0; c < 2; ++c) {
          x_[c] = y_[c] = {buf[2 * (frames - 1) + c], buf[2 * (frames - 2) + c]};
        }
      } else if (frames == 1) {
        for (int c = 0; c < 2; ++c) x_[c] = y_[c] = {buf[c], x_[c][0]};
      }
      return;
    }
    const float b0 = float(b0_), b1 = float(b1_), b2 = float(b2_), a1 = float(a1_), a2 = float(a2_);
    float lx1 = x_[0][0], lx2 = x_[0][1], ly1 = y_[0][0], ly2 = y_[0][1];
    float rx1 = x_[1][0], rx2 = x_[1][1], ry1 = y_[1][0], ry2 = y_[1][1];
    for (int i = 0; i < frames; ++i) {
      const float xl = buf[2 * i], xr = buf[2 * i + 1];
      // The term of the last output comes last: the only one on the
      // recursion's critical path.
      const float yl = b0 * xl + b1 * lx1 + b2 * lx2 - a2 * ly2 - a1 * ly1;
      const float yr = b0 * xr + b1 * rx1 + b2 * rx2 - a2 * ry2 - a1 * ry1;
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
  bool identity_ = true;
  std::array<std::array<float, 2>, 2> x_{}, y_{};
};

// A reverb: four damped combs on the summed input, then two all-passes per
// side for the stereo spread; the combs' feedback gives the set decay time,
// their damping the high-frequency ratio. Processed in chunks, each split
// into runs where no line wraps, so the inner loops index plain arrays.
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
    constexpr int kChunk = 128;
    float x[kChunk], v[2][kChunk];
    for (int at = 0; at < frames; at += kChunk) {
      const int m = std::min(kChunk, frames - at);
      float* b = buf + 2 * at;
      for (int i = 0; i < m; ++i) x[i] = 0.5f * (b[2 * i] * in_ + b[2 * i + 1] * in_);
      Combs(x, v[0], m);
      std::copy(v[0], v[0] + m, v[1]);
      for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 2; ++k) AllPass(all_[c][k], apos_[c][k], v[c], m);
      for (int i = 0; i < m; ++i) {
        b[2 * i] = b[2 * i] * in_ + mix_ * v[0][i];
        b[2 * i + 1] = b[2 * i + 1] * in_ + mix_ * v[1][i];
      }
    }
    for (float& s : lp_)
      if (std::abs(s) < 1e-15f) s = 0;
  }
  int64_t TailFrames() const override { return int64_t(p_.time / 1000.0 * rate_ * 1.5) + rate_ / 10; }

 private:
  // The four combs side by side (their damping recursions overlap), mean of
  // their outputs into s.
  void Combs(const float* x, float* s, int m) {
    const float damp = damp_, keep = 1 - damp_;
    for (int i = 0; i < m;) {
      int run = m - i;
      for (int k = 0; k < 4; ++k) run = std::min(run, int(comb_[k].size() - cpos_[k]));
      float* c0 = comb_[0].data() + cpos_[0];
      float* c1 = comb_[1].data() + cpos_[1];
      float* c2 = comb_[2].data() + cpos_[2];
      float* c3 = comb_[3].data() + cpos_[3];
      float lp0 = lp_[0], lp1 = lp_[1], lp2 = lp_[2], lp3 = lp_[3];
      for (int j = 0; j < run; ++j) {
        const float xi = x[i + j];
        const float y0 = c0[j], y1 = c1[j], y2 = c2[j], y3 = c3[j];
        lp0 = y0 * keep + lp0 * damp;
        lp1 = y1 * keep + lp1 * damp;
        lp2 = y2 * keep + lp2 * damp;
        lp3 = y3 * keep + lp3 * damp;
        c0[j] = xi + lp0 * fb_[0];
        c1[j] = xi + lp1 * fb_[1];
        c2[j] = xi + lp2 * fb_[2];
        c3[j] = xi + lp3 * fb_[3];
        s[i + j] = (((0.f + y0) + y1) + y2 + y3) * 0.25f;
      }
      lp_[0] = lp0, lp_[1] = lp1, lp_[2] = lp2, lp_[3] = lp3;
      for (int k = 0; k < 4; ++k)
        if ((cpos_[k] += size_t(run)) == comb_[k].size()) cpos_[k] = 0;
      i += run;
    }
  }
  // Within a run each slot is read and then written once, so the loop has
  // no dependence between frames.
  static void AllPass(std::vector<float>& line, size_t& pos, float* v, int m) {
    for (int i = 0; i < m;) {
      const int run = std::min(m - i, int(line.size() - pos));
      float* __restrict p = line.data() + pos;
      float* __restrict q = v + i;
      for (int j = 0; j < run; ++j) {
        const float d = p[j];
        const float u = q[j] + 0.5f * d;
        p[j] = u;
        q[j] = d - 0.5f * u;
      }
      if ((pos += size_t(run)) == line.size()) pos = 0;
      i += run;
    }
  }

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
    // Four milliseconds and a margin that keeps runs long at that delay.
    delay_.Resize(size_t(rate * 4 / 1000) + 2 + 128);
    Set(RCompressorParams{});
  }
  int Type() const override { return kFxCompressor; }
  void Set(const RCompressorParams& p) {
    p_ = p;
    att_ = float(std::exp(-1.0 / (p.attack / 1000.0 * rate_)));
    rel_ = float(std::exp(-1.0 / (p.release / 1000.0 * rate_)));
    // Above the threshold the gain is makeup - (env_db - thr) x slope in dB,
    // that is knee x env^-slope: one power instead of a logarithm and a power.
    slope_ = float(1.0 - 1.0 / p.ratio);
    makeup_ = float(DbToGain(p.gain));
    knee_ = float(DbToGain(p.gain + p.threshold * (1.0 - 1.0 / p.ratio)));
    env_thr_ = float(DbToGain(p.threshold));
    pow_env_ = -1;
  }
  void Process(float* buf, int frames) override {
    constexpr int kChunk = 128;
    float g[kChunk];
    const double d = p_.delay * rate_ / 1000.0;
    for (int at = 0; at < frames; at += kChunk) {
      const int m = std::min(kChunk, frames - at);
      float* b = buf + 2 * at;
      // The gain follows the envelope every 8 frames (0.2 ms), which keeps
      // the power off the per-sample path.
      float env = env_, gain = gain_;
      for (int i = 0; i < m; ++i) {
        const float peak = std::max(std::abs(b[2 * i]), std::abs(b[2 * i + 1]));
        const float k = peak > env ? att_ : rel_;
        env = peak + k * (env - peak);
        if (((count_++) & 7) == 0) gain = Gain(env);
        g[i] = gain;
      }
      env_ = env, gain_ = gain;
      if (d >= 1) Delayed(b, m, d);
      for (int i = 0; i < m; ++i) {
        b[2 * i] *= g[i];
        b[2 * i + 1] *= g[i];
      }
    }
  }
  int64_t TailFrames() const override { return int64_t(delay_.n); }

 private:
  // The power is taken again only when the envelope has moved by more than
  // 1e-3 of itself since the last time: the gain is then off by less than
  // 0.01 dB, and a steady level costs no power at all.
  float Gain(float env) {
    if (!(env > env_thr_ && env > 1e-6f)) {
      pow_env_ = -1;
      return makeup_;
    }
    if (std::abs(env - pow_env_) > 1e-3f * env) {
      pow_env_ = env;
      pow_gain_ = knee_ * std::pow(env, -slope_);
    }
    return pow_gain_;
  }

  // Replaces m frames by the line's output `d` frames back: each run first
  // writes its frames, then reads, never so many that a write lands on a
  // slot a read of the run still needs.
  void Delayed(float* b, int m, double d) {
    const size_t n = delay_.n;
    const int whole = int(std::ceil(d));
    const float f = float(std::ceil(d) - d);  // weight of the newer sample
    const int most = std::max(1, int(n) - whole - 1);
    for (int i = 0; i < m;) {
      const size_t w = delay_.w;
      const int run = std::min({m - i, most, int(n - w)});
      float* l = delay_.l.data();
      float* r = delay_.r.data();
      for (int k = 0; k < run; ++k) {
        l[w + k] = l[w + n + k] = b[2 * (i + k)];
        r[w + k] = r[w + n + k] = b[2 * (i + k) + 1];
      }
      // Frame w + k reads the samples `whole` and `whole - 1` frames back.
      const size_t o = w + n - size_t(whole);
      for (int k = 0; k < run; ++k) {
        b[2 * (i + k)] = l[o + k] + (l[o + k + 1] - l[o + k]) * f;
        b[2 * (i + k) + 1] = r[o + k] + (r[o + k + 1] - r[o + k]) * f;
      }
      delay_.w = w + size_t(run) == n ? 0 : w + size_t(run);
      i += run;
    }
  }

  int rate_;
  RCompressorParams p_;
  RDelay delay_;
  float att_ = 0, rel_ = 0, env_ = 0, gain_ = 1;
  float slope_ = 0, makeup_ = 1, knee_ = 1, env_thr_ = 0;
  float pow_env_ = -1, pow_gain_ = 1;
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
  tail_ = 0;
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
  UpdateTail();
}

void CEffectChain::Process(float* buf, int frames) {
  for (auto& e : chain_) e->Process(buf, frames);
}

void CEffectChain::UpdateTail() {
  tail_ = 0;
  for (const auto& e : chain_) tail_ += e->TailFrames();
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
  UpdateTail();
  return true;
}
bool CEffectChain::SetFlanger(const RChorusParams& p) {
  auto* e = static_cast<CModDelay*>(Find(kFxFlanger));
  if (!e || !ValidFlanger(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
bool CEffectChain::SetEcho(const REchoParams& p) {
  auto* e = static_cast<CEcho*>(Find(kFxEcho));
  if (!e || !ValidEcho(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
bool CEffectChain::SetGargle(const RGargleParams& p) {
  auto* e = static_cast<CGargle*>(Find(kFxGargle));
  if (!e || !ValidGargle(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
bool CEffectChain::SetReverb(const RReverbParams& p) {
  auto* e = static_cast<CReverb*>(Find(kFxReverb));
  if (!e || !ValidReverb(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
bool CEffectChain::SetCompressor(const RCompressorParams& p) {
  auto* e = static_cast<CCompressor*>(Find(kFxCompressor));
  if (!e || !ValidCompressor(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
bool CEffectChain::SetEqualizer(const REqualizerParams& p) {
  auto* e = static_cast<CEqualizer*>(Find(kFxEqualizer));
  if (!e || !ValidEqualizer(p)) return false;
  e->Set(p);
  UpdateTail();
  return true;
}
