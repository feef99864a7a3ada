#pragma once
// Rooms as designed: settings, eight background layers, eight views, the
// instances placed in the room and its tiles, with the tile operations used
// while the room is played.
#include <array>
#include <functional>
#include <string>
#include <vector>

class CStream;

class CBack {
 public:
  bool visible = false;
  bool foreground = false;
  int index = -1;
  double x = 0, y = 0;
  bool htiled = true, vtiled = true;
  double hspeed = 0, vspeed = 0;
  double xscale = 1, yscale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  bool stretch = false;  // as designed: scaled to fill the room
  bool operator==(const CBack&) const = default;
};

class CView {
 public:
  bool visible = false;
  int xview = 0, yview = 0, wview = 640, hview = 480;
  int xport = 0, yport = 0, wport = 640, hport = 480;
  double angle = 0;
  int hborder = 32, vborder = 32;
  int hspeed = -1, vspeed = -1;
  int index = -1;
  bool operator==(const CView&) const = default;
};

struct RTile {
  double x = 0, y = 0;
  int index = -1;
  int xo = 0, yo = 0, w = 0, h = 0;
  double depth = 0;
  int id = 0;
  double xscale = 1, yscale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  bool visible = true;
  bool operator==(const RTile&) const = default;
};

// An instance placed in the room's design; entering the room creates a live
// instance from it with this id.
struct RRoomInstance {
  int x = 0, y = 0;
  int object = 0;
  int id = 0;
  std::string code;  // instance creation code (i_initcode)
  double xscale = 1, yscale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  double angle = 0;
  bool operator==(const RRoomInstance&) const = default;
};

class CRoom {
 public:
  std::string r_caption;
  int r_speed = 30;
  int r_width = 640, r_height = 480;
  bool r_persistent = false;
  int r_color = 0xC0C0C0;
  bool r_showcolor = true;
  std::array<CBack, 8> r_background;
  bool r_enableviews = false;
  bool r_clearViewBackground = true;
  std::array<CView, 8> r_view;
  std::string r_code;
  std::vector<RRoomInstance> r_inst;  // the placed instances, in order
  int r_tnumb = 0;
  std::vector<RTile> r_tile;
  int r_lasttile = -1;

  void Clear() { *this = CRoom(); }
  void Assign(const CRoom& other) { *this = other; }
  // Game-file record, versions 541, 810 and 811.
  bool LoadFromStream(CStream& str);
  // Writes version 811 (the stretch flags are written false).
  void SaveToStream(CStream& str) const;
  // The room's record in a saved game (version 540). The live instances
  // belong to the runtime, not to the design: `instances` writes (or reads
  // back, returning false on bad data) the active and the deactivated list
  // where the record holds them, between the views and the tiles. Loading
  // clears the room first; the placed-instance list stays empty. Truncated
  // or malformed data gives false.
  void SaveGameToStream(CStream& str, const std::function<void(CStream&)>& instances) const;
  bool LoadGameFromStream(CStream& str, const std::function<bool(CStream&)>& instances);

  CBack* Background(int i) { return (i >= 0 && i < 8) ? &r_background[size_t(i)] : nullptr; }
  CView* View(int i) { return (i >= 0 && i < 8) ? &r_view[size_t(i)] : nullptr; }
  void ScrollBackground();

  int AddTile(const RTile& tile);
  void ClearTiles();
  int FindTile(int id);
  void DeleteTile(int index);
  int FindTileAt(double x, double y, bool foreground);
  void DeleteTilesAt(double x, double y, bool foreground);
  void SortTiles();
  void HideTilesDepth(double depth);
  void ShowTilesDepth(double depth);
  void DeleteTilesDepth(double depth);
  void ShiftTilesDepth(double depth, double dx, double dy);
  int FindTileAtDepth(double x, double y, double depth);
  void DeleteTilesAtDepth(double x, double y, double depth);
  void ChangeTilesDepth(double olddepth, double newdepth);

 private:
  void ReadHead(CStream& str);
  void WriteHead(CStream& str) const;
  template <class P>
  void RemoveTilesIf(P pred);
};
