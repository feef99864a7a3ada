// Owns the sound, CD and MCI functions of the language.
#include "sound/Function_Sound.h"

#include "resources/Sound_Main.h"
#include "script/Code_Error.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"
#include "sound/Sound_Playback.h"

namespace {
#define ROUTINE(name) \
  void name(CInstance*, CInstance*, [[maybe_unused]] int argc, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

constexpr const char* kNoSound = "Sound does not exist.";

// The sample of the sound named by the first argument, loading it on first
// use; -1 (after the error) for a missing sound or one that never loads.
int SampleOf(const RValue& arg) {
  CSound* s = GetSound(ArgInt(arg));
  if (s == nullptr) {
    ReportError(kNoSound, false);
    return -1;
  }
  return s->GetSoundId();
}

ROUTINE(F_sound_play) { PlaySample(SampleOf(args[0]), false); }
ROUTINE(F_sound_loop) { PlaySample(SampleOf(args[0]), true); }
ROUTINE(F_sound_stop) { StopSample(SampleOf(args[0])); }
ROUTINE(F_sound_stop_all) { StopAllSamples(); }
ROUTINE(F_sound_isplaying) {
  CSound* s = GetSound(ArgInt(args[0]));
  result.SetReal(s && SampleIsPlaying(s->GetSoundId()) ? 1 : 0);
}
ROUTINE(F_sound_volume) { SetSampleVolume(SampleOf(args[0]), 0, ArgReal(args[1])); }
ROUTINE(F_sound_fade) { SetSampleVolume(SampleOf(args[0]), ArgReal(args[2]), ArgReal(args[1])); }
ROUTINE(F_sound_pan) { SetSamplePan(SampleOf(args[0]), ArgReal(args[1])); }
ROUTINE(F_sound_background_tempo) { SetBackgroundTempo(ArgReal(args[0])); }
ROUTINE(F_sound_global_volume) { SetGlobalVolume(ArgReal(args[0])); }
ROUTINE(F_sound_set_search_directory) { SetSearchDirectory(ArgString(args[0])); }
ROUTINE(F_sound_effect_set) { SetSampleEffects(SampleOf(args[0]), ArgInt(args[1])); }

RChorusParams ChorusArgs(RValue* a) {
  return RChorusParams{ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]),
                       ArgInt(a[5]),  ArgReal(a[6]), ArgInt(a[7])};
}
ROUTINE(F_sound_effect_chorus) { SetSampleChorus(SampleOf(args[0]), ChorusArgs(args)); }
ROUTINE(F_sound_effect_flanger) { SetSampleFlanger(SampleOf(args[0]), ChorusArgs(args)); }
ROUTINE(F_sound_effect_echo) {
  SetSampleEcho(SampleOf(args[0]),
                REchoParams{ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]), ArgInt(args[5])});
}
ROUTINE(F_sound_effect_gargle) { SetSampleGargle(SampleOf(args[0]), RGargleParams{ArgInt(args[1]), ArgInt(args[2])}); }
ROUTINE(F_sound_effect_reverb) {
  SetSampleReverb(SampleOf(args[0]), RReverbParams{ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4])});
}
ROUTINE(F_sound_effect_compressor) {
  SetSampleCompressor(SampleOf(args[0]), RCompressorParams{ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                                                           ArgReal(args[4]), ArgReal(args[5]), ArgReal(args[6])});
}
ROUTINE(F_sound_effect_equalizer) {
  SetSampleEqualizer(SampleOf(args[0]), REqualizerParams{ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3])});
}
ROUTINE(F_sound_3d_set_sound_position) {
  SetSample3DPosition(SampleOf(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
}
ROUTINE(F_sound_3d_set_sound_velocity) {
  SetSample3DVelocity(SampleOf(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
}
ROUTINE(F_sound_3d_set_sound_distance) { SetSample3DDistance(SampleOf(args[0]), ArgReal(args[1]), ArgReal(args[2])); }
ROUTINE(F_sound_3d_set_sound_cone) {
  SetSample3DCone(SampleOf(args[0]), ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgInt(args[4]),
                  ArgInt(args[5]), ArgReal(args[6]));
}

// ---- CD audio ----
// No CD device exists here, so no disc is ever present: every query takes
// its no-disc answer (false or 0) and every command does nothing.
ROUTINE(F_cd_none) {}
ROUTINE(F_cd_zero) { result.SetReal(0); }

constexpr RBuiltin kFunctions[] = {
    {"sound_play", F_sound_play, 1},
    {"sound_loop", F_sound_loop, 1},
    {"sound_stop", F_sound_stop, 1},
    {"sound_stop_all", F_sound_stop_all, 0},
    {"sound_isplaying", F_sound_isplaying, 1},
    {"sound_volume", F_sound_volume, 2},
    {"sound_fade", F_sound_fade, 3},
    {"sound_pan", F_sound_pan, 2},
    {"sound_background_tempo", F_sound_background_tempo, 1},
    {"sound_global_volume", F_sound_global_volume, 1},
    {"sound_set_search_directory", F_sound_set_search_directory, 1},
    {"sound_effect_set", F_sound_effect_set, 2},
    {"sound_effect_chorus", F_sound_effect_chorus, 8},
    {"sound_effect_echo", F_sound_effect_echo, 6},
    {"sound_effect_flanger", F_sound_effect_flanger, 8},
    {"sound_effect_gargle", F_sound_effect_gargle, 3},
    {"sound_effect_reverb", F_sound_effect_reverb, 5},
    {"sound_effect_compressor", F_sound_effect_compressor, 7},
    {"sound_effect_equalizer", F_sound_effect_equalizer, 4},
    {"sound_3d_set_sound_position", F_sound_3d_set_sound_position, 4},
    {"sound_3d_set_sound_velocity", F_sound_3d_set_sound_velocity, 4},
    {"sound_3d_set_sound_distance", F_sound_3d_set_sound_distance, 3},
    {"sound_3d_set_sound_cone", F_sound_3d_set_sound_cone, 8},
    {"cd_init", F_cd_none, 0},
    {"cd_present", F_cd_zero, 0},
    {"cd_number", F_cd_zero, 0},
    {"cd_playing", F_cd_zero, 0},
    {"cd_paused", F_cd_zero, 0},
    {"cd_track", F_cd_zero, 0},
    {"cd_length", F_cd_zero, 0},
    {"cd_track_length", F_cd_zero, 1},
    {"cd_position", F_cd_zero, 0},
    {"cd_track_position", F_cd_zero, 0},
    {"cd_play", F_cd_none, 2},
    {"cd_stop", F_cd_none, 0},
    {"cd_pause", F_cd_none, 0},
    {"cd_resume", F_cd_none, 0},
    {"cd_set_position", F_cd_none, 1},
    {"cd_set_track_position", F_cd_none, 1},
    {"cd_open_door", F_cd_none, 0},
    {"cd_close_door", F_cd_none, 0},
};

void Install() { InstallSoundSystem(); }
}  // namespace

const RFunctionLibrary kLibrary_Sound{"Sound", kFunctions, Install};

void SoundPlay(int snd) { PlaySample(SampleOf(RValue(double(snd))), false); }
void SoundLoop(int snd) { PlaySample(SampleOf(RValue(double(snd))), true); }
void SoundStop(int snd) { StopSample(SampleOf(RValue(double(snd)))); }
bool SoundIsPlaying(int snd) {
  CSound* s = GetSound(snd);
  return s && SampleIsPlaying(s->GetSoundId());
}
