// libsndfile's functions, opened when the first sound is decoded or written.
#include <sndfile.h>

#include "platform/Library_Loader.h"

#define RR_SNDFILE_FUNCTIONS(X) \
  X(int, sf_close, -1, (SNDFILE* a0), (a0)) \
  X(SNDFILE*, sf_open, {}, (const char* a0, int a1, SF_INFO* a2), (a0, a1, a2)) \
  X(SNDFILE*, sf_open_virtual, {}, (SF_VIRTUAL_IO* a0, int a1, SF_INFO* a2, void* a3), (a0, a1, a2, a3)) \
  X(sf_count_t, sf_readf_float, {}, (SNDFILE* a0, float* a1, sf_count_t a2), (a0, a1, a2)) \
  X(sf_count_t, sf_writef_float, {}, (SNDFILE* a0, const float* a1, sf_count_t a2), (a0, a1, a2))

RR_IMPORT_LIBRARY(SndfileLibrary, "libsndfile.so.1", "sound files", RR_SNDFILE_FUNCTIONS)
