#pragma once
// The game settings, read once from the game file and then read everywhere.
#include <cstdint>
#include <memory>

class CStream;
struct TBitmap32;

extern bool opt_fullscreen;
extern bool opt_interpolate;
extern bool opt_noborder;
extern bool opt_showcursor;
extern int opt_scale;
extern bool opt_sizeable;
extern bool opt_stayontop;
extern int opt_windowcolor;
extern bool opt_changeresolution;
extern int opt_colordepth;
extern int opt_resolution;
extern int opt_frequency;
extern bool opt_nobuttons;
extern int opt_sync;
extern bool opt_noscreensaver;
extern bool opt_keyf4;
extern bool opt_keyf1;
extern bool opt_keyesc;
extern bool opt_keyf5;
extern bool opt_keyf9;
extern bool opt_closeasesc;
extern int opt_priority;
extern bool opt_freeze;
extern bool opt_showprogress;
extern bool opt_loadtransparent;
extern int opt_loadalpha;
extern bool opt_scaleprogress;
extern bool opt_showerrors;
extern bool opt_logerrors;
extern bool opt_aborterrors;
extern bool opt_uninitzero;
extern bool opt_argerrors;
extern bool opt_createfirst;
