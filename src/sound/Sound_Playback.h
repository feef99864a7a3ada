#pragma once
// The sound system of the run: the sample table over the mixer, the audio
// output it feeds, the single-file player, global volume and tempo, and the
// WAV file of the whole mix (--audio-out).
#include <cstdint>
#include <string>
#include <vector>

#include "sound/Sound_Effects.h"
#include "sound/Sound_Mixer.h"

constexpr int kMixRate = 44100;

// Starts the engine when `count` is above 0 (or a mix file is asked for) and
// no failure happened yet. Every other operation starts it on demand.
void StartSound(int count);
// Installs the loaders sound resources use (resources/Sound_Class.h).
void InstallSoundSystem();
// The engine could not reach an audio device: everything is silent.
bool NoSoundDevice();
// The running mixer, or null.
CMixer* SoundMixer();
// Writes the whole mix of the run to `file` (WAV) at StopSound.
void SetAudioOutFile(const std::string& file);

int LoadSampleFromMemory(const std::vector<uint8_t>& bytes, int kind);
int LoadSampleFromFile(const std::string& file, int kind);
void UnloadSample(int index);
// Kind of a loaded sample, -1 when the index holds none.
int SampleKind(int index);

void PlaySample(int index, bool loop);
void StopSample(int index);
void StopAllSamples();
bool SampleIsPlaying(int index);

// volume 0..1 (clamped; NaN counts as 0); time in milliseconds.
void SetSampleVolume(int index, double time, double volume);
void SetSamplePan(int index, double pan);  // -1 .. 1, clamped
void SetSampleEffects(int index, int flags);
// Parameters of an effect switched on before; refused sets change nothing.
bool SetSampleChorus(int index, const RChorusParams& p);
bool SetSampleFlanger(int index, const RChorusParams& p);
bool SetSampleEcho(int index, const REchoParams& p);
bool SetSampleGargle(int index, const RGargleParams& p);
bool SetSampleReverb(int index, const RReverbParams& p);
bool SetSampleCompressor(int index, const RCompressorParams& p);
bool SetSampleEqualizer(int index, const REqualizerParams& p);
// 3D placement of kind-2 samples; non-finite values are ignored.
void SetSample3DPosition(int index, double x, double y, double z);
void SetSample3DVelocity(int index, double x, double y, double z);
void SetSample3DDistance(int index, double mindist, double maxdist);
void SetSample3DCone(int index, double x, double y, double z, int anglein, int angleout, double voloutside);

// Master volume = round(value x 11000 - 10000), clamped to -10000..1000.
void SetGlobalVolume(double value);
int GlobalVolumeHdb();
// MIDI tempo factor, clamped to 0.01..100.
void SetBackgroundTempo(double factor);
void SetSearchDirectory(const std::string& directory);

// Shuts the engine down and writes the mix file when one was asked for;
// false when that file could not be written.
bool StopSound();
