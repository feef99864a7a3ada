#include "runner/Option_Main.h"

#include "runner/Support_Stream.h"

bool opt_fullscreen = false;
bool opt_interpolate = false;
bool opt_noborder = false;
bool opt_showcursor = true;
int opt_scale = 100;
bool opt_sizeable = false;
bool opt_stayontop = false;
int opt_windowcolor = 0;
bool opt_changeresolution = false;
int opt_colordepth = 0;
int opt_resolution = 0;
int opt_frequency = 0;
bool opt_nobuttons = false;
int opt_sync = 0;
bool opt_noscreensaver = false;
bool opt_keyf4 = true;
bool opt_keyf1 = true;
bool opt_keyesc = true;
bool opt_keyf5 = true;
bool opt_keyf9 = true;
bool opt_closeasesc = true;
int opt_priority = 0;
bool opt_freeze = false;
bool opt_showprogress = true;
bool opt_loadtransparent = false;
int opt_loadalpha = 255;
bool opt_scaleprogress = false;
bool opt_showerrors = true;
bool opt_logerrors = false;
bool opt_aborterrors = false;
bool opt_uninitzero = false;
bool opt_argerrors = false;
bool opt_createfirst = false;

std::optional<std::vector<uint8_t>> opt_progressback;
std::optional<std::vector<uint8_t>> opt_progressfront;
std::optional<std::vector<uint8_t>> opt_loadimage;

bool ReadGameSettingsRecord(CStream& stream, RGameSettings& s) {
  s.version = stream.ReadInteger();
  if (s.version < kSettingsMinVersion) return false;
  CStream b = stream.ReadStreamC();
  s.fullscreen = b.ReadBoolean();
  s.interpolate = b.ReadBoolean();
  s.noborder = b.ReadBoolean();
  s.showcursor = b.ReadBoolean();
  s.scale = b.ReadInteger();
  s.sizeable = b.ReadBoolean();
  s.stayontop = b.ReadBoolean();
  s.windowcolor = b.ReadInteger();
  s.changeresolution = b.ReadBoolean();
  s.colordepth = b.ReadInteger();
  s.resolution = b.ReadInteger();
  s.frequency = b.ReadInteger();
  s.nobuttons = b.ReadBoolean();
  s.sync = b.ReadInteger();
  s.noscreensaver = b.ReadBoolean();
  s.keyf4 = b.ReadBoolean();
  s.keyf1 = b.ReadBoolean();
  s.keyesc = b.ReadBoolean();
  s.keyf5 = b.ReadBoolean();
  s.keyf9 = b.ReadBoolean();
  s.closeasesc = b.ReadBoolean();
  s.priority = b.ReadInteger();
  s.freeze = b.ReadBoolean();
  s.showprogress = b.ReadBoolean();
  s.progressback.reset();
  s.progressfront.reset();
  if (s.showprogress) {
    s.progressback = b.ReadBitmap();
    s.progressfront = b.ReadBitmap();
  }
  s.loadimage = b.ReadBitmap();
  s.loadtransparent = b.ReadBoolean();
  s.loadalpha = b.ReadInteger();
  s.scaleprogress = b.ReadBoolean();
  s.showerrors = b.ReadBoolean();
  s.logerrors = b.ReadBoolean();
  s.aborterrors = b.ReadBoolean();
  int flags = b.ReadInteger();
  s.uninitzero = (flags & 1) != 0;
  s.argerrors = (flags & 2) != 0;
  s.reserved = 0;
  s.createfirst = false;
  if (s.version >= 820) {
    s.reserved = b.ReadInteger();
    s.createfirst = b.ReadBoolean();
  }
  return true;
}

void WriteGameSettingsRecord(CStream& stream, const RGameSettings& s) {
  CStream b;
  b.WriteBoolean(s.fullscreen);
  b.WriteBoolean(s.interpolate);
  b.WriteBoolean(s.noborder);
  b.WriteBoolean(s.showcursor);
  b.WriteInteger(s.scale);
  b.WriteBoolean(s.sizeable);
  b.WriteBoolean(s.stayontop);
  b.WriteInteger(s.windowcolor);
  b.WriteBoolean(s.changeresolution);
  b.WriteInteger(s.colordepth);
  b.WriteInteger(s.resolution);
  b.WriteInteger(s.frequency);
  b.WriteBoolean(s.nobuttons);
  b.WriteInteger(s.sync);
  b.WriteBoolean(s.noscreensaver);
  b.WriteBoolean(s.keyf4);
  b.WriteBoolean(s.keyf1);
  b.WriteBoolean(s.keyesc);
  b.WriteBoolean(s.keyf5);
  b.WriteBoolean(s.keyf9);
  b.WriteBoolean(s.closeasesc);
  b.WriteInteger(s.priority);
  b.WriteBoolean(s.freeze);
  b.WriteBoolean(s.showprogress);
  if (s.showprogress) {
    b.WriteBitmap(s.progressback);
    b.WriteBitmap(s.progressfront);
  }
  b.WriteBitmap(s.loadimage);
  b.WriteBoolean(s.loadtransparent);
  b.WriteInteger(s.loadalpha);
  b.WriteBoolean(s.scaleprogress);
  b.WriteBoolean(s.showerrors);
  b.WriteBoolean(s.logerrors);
  b.WriteBoolean(s.aborterrors);
  b.WriteInteger((s.uninitzero ? 1 : 0) | (s.argerrors ? 2 : 0));
  if (s.version >= 820) {
    b.WriteInteger(s.reserved);
    b.WriteBoolean(s.createfirst);
  }
  stream.WriteInteger(s.version);
  stream.WriteStreamC(b);
}

void ApplyGameSettings(RGameSettings& s) {
  opt_fullscreen = s.fullscreen;
  opt_interpolate = s.interpolate;
  opt_noborder = s.noborder;
  opt_showcursor = s.showcursor;
  opt_scale = s.scale;
  opt_sizeable = s.sizeable;
  opt_stayontop = s.stayontop;
  opt_windowcolor = s.windowcolor;
  opt_changeresolution = s.changeresolution;
  opt_colordepth = s.colordepth;
  opt_resolution = s.resolution;
  opt_frequency = s.frequency;
  opt_nobuttons = s.nobuttons;
  opt_sync = s.sync;
  opt_noscreensaver = s.noscreensaver;
  opt_keyf4 = s.keyf4;
  opt_keyf1 = s.keyf1;
  opt_keyesc = s.keyesc;
  opt_keyf5 = s.keyf5;
  opt_keyf9 = s.keyf9;
  opt_closeasesc = s.closeasesc;
  opt_priority = s.priority;
  opt_freeze = s.freeze;
  opt_showprogress = s.showprogress;
  opt_progressback = std::move(s.progressback);
  opt_progressfront = std::move(s.progressfront);
  opt_loadimage = std::move(s.loadimage);
  opt_loadtransparent = s.loadtransparent;
  opt_loadalpha = s.loadalpha;
  opt_scaleprogress = s.scaleprogress;
  opt_showerrors = s.showerrors;
  opt_logerrors = s.logerrors;
  opt_aborterrors = s.aborterrors;
  opt_uninitzero = s.uninitzero;
  opt_argerrors = s.argerrors;
  opt_createfirst = s.createfirst;
}

bool ReadGameSettings(CStream& stream) {
  RGameSettings s;
  if (!ReadGameSettingsRecord(stream, s)) return false;
  ApplyGameSettings(s);
  return true;
}
