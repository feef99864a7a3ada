// Sound file decoding (libsndfile from memory) and MIDI rendering (FluidSynth).
#include "sound/Sound_Decode.h"

#include <fluidsynth.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

struct RMemFile {
  const uint8_t* data;
  sf_count_t size;
  sf_count_t pos;
};

sf_count_t MemLength(void* user) { return static_cast<RMemFile*>(user)->size; }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
  auto* f = static_cast<RMemFile*>(user);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->pos : f->size;
  const sf_count_t to = base + offset;
  if (to < 0) return -1;
  f->pos = std::min(to, f->size);
  return f->pos;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
  auto* f = static_cast<RMemFile*>(user);
  const sf_count_t n = std::clamp<sf_count_t>(f->size - f->pos, 0, std::max<sf_count_t>(count, 0));
  if (n > 0) std::memcpy(ptr, f->data + f->pos, size_t(n));
  f->pos += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* user) { return static_cast<RMemFile*>(user)->pos; }

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// FluidSynth's own messages would reach the player's terminal.
void QuietFluid() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, nullptr, nullptr);
  });
}

}  // namespace

std::shared_ptr<const RPcm> DecodeSound(const uint8_t* data, size_t size, int rate) {
  if (data == nullptr || size == 0 || rate <= 0) return nullptr;
  RMemFile mem{data, sf_count_t(size), 0};
  SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
  SF_INFO info{};
  SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &mem);
  if (sf == nullptr) return nullptr;
  std::shared_ptr<RPcm> pcm;
  if (info.channels >= 1 && info.channels <= 64 && info.samplerate >= 1000 && info.samplerate <= 768000) {
    // Read in blocks rather than trusting the frame count of the header; a
    // compressed file of silence can expand without end, so the decoded
    // frames are capped whatever the rate (ten minutes at 44100 Hz).
    const int64_t cap = kMaxDecodedSeconds * 44100;
    // A mono file stays mono: half the memory, and half the data the mixer
    // streams for each playing voice.
    const size_t ch = info.channels > 1 ? 2 : 1;
    std::vector<float> in;  // interleaved frames of ch channels at the file's rate
    std::vector<float> block(size_t(4096) * size_t(info.channels));
    int64_t got = 0;
    while (got < cap) {
      const sf_count_t n = sf_readf_float(sf, block.data(), 4096);
      if (n <= 0) break;
      for (sf_count_t i = 0; i < n; ++i) {
        const float* f = &block[size_t(i) * size_t(info.channels)];
        for (size_t c = 0; c < ch; ++c) in.push_back(f[c]);
      }
      got += n;
    }
    const size_t frames_in = in.size() / ch;
    if (frames_in > 0) {
      pcm = std::make_shared<RPcm>();
      pcm->channels = int(ch);
      if (info.samplerate == rate) {
        pcm->frames = std::move(in);
      } else {
        const double ratio = double(info.samplerate) / rate;
        const size_t frames_out = size_t(std::floor(double(frames_in - 1) / ratio)) + 1;
        pcm->frames.resize(frames_out * ch);
        for (size_t o = 0; o < frames_out; ++o) {
          const double pos = double(o) * ratio;
          const size_t i0 = std::min(size_t(pos), frames_in - 1), i1 = std::min(i0 + 1, frames_in - 1);
          const float t = float(pos - double(i0));
          for (size_t c = 0; c < ch; ++c)
            pcm->frames[ch * o + c] = in[ch * i0 + c] + (in[ch * i1 + c] - in[ch * i0 + c]) * t;
        }
      }
      for (float& s : pcm->frames)
        if (!std::isfinite(s)) s = 0;
    }
  }
  sf_close(sf);
  return pcm;
}

bool LooksLikeMidi(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || Be32(data + 4) < 6) return false;
  const unsigned tracks = unsigned(data[10]) << 8 | data[11];
  if (tracks == 0) return false;
  size_t pos = 8 + size_t(Be32(data + 4));
  unsigned found = 0;
  while (pos + 8 <= size && found < tracks) {
    const size_t len = Be32(data + pos + 4);
    if (len > size - pos - 8) return false;
    if (std::memcmp(data + pos, "MTrk", 4) == 0) ++found;
    pos += 8 + len;
  }
  return found > 0;
}

std::string SoundfontPath() {
  std::error_code ec;
  if (const char* env = std::getenv("ROOMRUN_SOUNDFONT"); env && *env) {
    if (std::filesystem::is_regular_file(env, ec)) return env;
    return {};
  }
  for (const char* p : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"})
    if (std::filesystem::is_regular_file(p, ec)) return p;
  return {};
}

struct CMidiSource::RImpl {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  std::vector<float> l, r;
  ~RImpl() {
    if (player) {
      fluid_player_stop(player);
      delete_fluid_player(player);
    }
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

std::unique_ptr<CMidiSource> CMidiSource::Create(const std::vector<uint8_t>& midi, int rate, bool loop,
                                                 double tempo) {
  const std::string font = SoundfontPath();
  if (font.empty() || !LooksLikeMidi(midi.data(), midi.size())) return nullptr;
  QuietFluid();
  std::unique_ptr<CMidiSource> src(new CMidiSource);
  src->impl_ = std::make_unique<RImpl>();
  RImpl& m = *src->impl_;
  m.settings = new_fluid_settings();
  if (!m.settings) return nullptr;
  fluid_settings_setnum(m.settings, "synth.sample-rate", rate);
  fluid_settings_setstr(m.settings, "player.timing-source", "sample");
  fluid_settings_setint(m.settings, "synth.cpu-cores", 1);
  fluid_settings_setnum(m.settings, "synth.gain", 0.4);
  m.synth = new_fluid_synth(m.settings);
  if (!m.synth || fluid_synth_sfload(m.synth, font.c_str(), 1) == FLUID_FAILED) return nullptr;
  m.player = new_fluid_player(m.synth);
  if (!m.player || fluid_player_add_mem(m.player, midi.data(), midi.size()) != FLUID_OK) return nullptr;
  fluid_player_set_loop(m.player, loop ? -1 : 1);
  fluid_player_set_tempo(m.player, FLUID_PLAYER_TEMPO_INTERNAL, tempo);
  if (fluid_player_play(m.player) != FLUID_OK) return nullptr;
  return src;
}

CMidiSource::~CMidiSource() = default;

bool CMidiSource::Render(float* out, int frames) {
  RImpl& m = *impl_;
  if (fluid_player_get_status(m.player) == FLUID_PLAYER_DONE && fluid_synth_get_active_voice_count(m.synth) == 0)
    return false;
  m.l.resize(size_t(frames));
  m.r.resize(size_t(frames));
  if (fluid_synth_write_float(m.synth, frames, m.l.data(), 0, 1, m.r.data(), 0, 1) != FLUID_OK) return false;
  for (int i = 0; i < frames; ++i) {
    out[2 * i] += m.l[size_t(i)];
    out[2 * i + 1] += m.r[size_t(i)];
  }
  return true;
}

void CMidiSource::SetTempo(double factor) {
  fluid_player_set_tempo(impl_->player, FLUID_PLAYER_TEMPO_INTERNAL, factor);
}
