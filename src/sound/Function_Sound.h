#pragma once
// The sound, CD and MCI functions of the language, and the plain calls the
// action library's sound actions use.

struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Sound;

// What sound_play, sound_loop, sound_stop and sound_isplaying do, for callers
// outside the language. A missing sound reports "Sound does not exist."
// (SoundIsPlaying answers false instead).
void SoundPlay(int snd);
void SoundLoop(int snd);
void SoundStop(int snd);
bool SoundIsPlaying(int snd);
