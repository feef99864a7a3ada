// FluidSynth's functions, opened when the first MIDI piece is rendered.
#include <fluidsynth.h>

static_assert(FLUIDSYNTH_VERSION_MAJOR == 2, "the soname below is FluidSynth 2's");

#include "platform/Library_Loader.h"

#define RR_FLUIDSYNTH_FUNCTIONS(X) \
  X(void, delete_fluid_player, void(), (fluid_player_t* a0), (a0)) \
  X(void, delete_fluid_settings, void(), (fluid_settings_t* a0), (a0)) \
  X(void, delete_fluid_synth, void(), (fluid_synth_t* a0), (a0)) \
  X(int, fluid_player_add_mem, FLUID_FAILED, (fluid_player_t* a0, const void* a1, size_t a2), (a0, a1, a2)) \
  X(int, fluid_player_get_status, FLUID_PLAYER_DONE, (fluid_player_t* a0), (a0)) \
  X(int, fluid_player_play, FLUID_FAILED, (fluid_player_t* a0), (a0)) \
  X(int, fluid_player_set_loop, FLUID_FAILED, (fluid_player_t* a0, int a1), (a0, a1)) \
  X(int, fluid_player_set_tempo, FLUID_FAILED, (fluid_player_t* a0, int a1, double a2), (a0, a1, a2)) \
  X(int, fluid_player_stop, FLUID_FAILED, (fluid_player_t* a0), (a0)) \
  X(fluid_log_function_t, fluid_set_log_function, {}, (int a0, fluid_log_function_t a1, void* a2), (a0, a1, a2)) \
  X(int, fluid_settings_setint, FLUID_FAILED, (fluid_settings_t* a0, const char* a1, int a2), (a0, a1, a2)) \
  X(int, fluid_settings_setnum, FLUID_FAILED, (fluid_settings_t* a0, const char* a1, double a2), (a0, a1, a2)) \
  X(int, fluid_settings_setstr, FLUID_FAILED, (fluid_settings_t* a0, const char* a1, const char* a2), (a0, a1, a2)) \
  X(int, fluid_synth_get_active_voice_count, 0, (fluid_synth_t* a0), (a0)) \
  X(int, fluid_synth_sfload, FLUID_FAILED, (fluid_synth_t* a0, const char* a1, int a2), (a0, a1, a2)) \
  X(int, fluid_synth_write_float, FLUID_FAILED, (fluid_synth_t* a0, int a1, void* a2, int a3, int a4, void* a5, int a6, int a7), (a0, a1, a2, a3, a4, a5, a6, a7)) \
  X(fluid_player_t*, new_fluid_player, {}, (fluid_synth_t* a0), (a0)) \
  X(fluid_settings_t*, new_fluid_settings, {}, (void), ()) \
  X(fluid_synth_t*, new_fluid_synth, {}, (fluid_settings_t* a0), (a0))

RR_IMPORT_LIBRARY(FluidsynthLibrary, "libfluidsynth.so.3", "MIDI music", RR_FLUIDSYNTH_FUNCTIONS)
