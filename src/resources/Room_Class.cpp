#include "resources/Room_Class.h"

#include <algorithm>

#include "resources/Background_Main.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Stream.h"

namespace {
void SplitColor(uint32_t word, int& blend, double& alpha) {
  blend = int(word & 0xFFFFFF);
  alpha = double(word >> 24) / 255.0;
}
uint32_t JoinColor(int blend, double alpha) {
  const double a = std::clamp(alpha, 0.0, 1.0) * 255.0 + 0.5;
  return (uint32_t(blend) & 0xFFFFFFu) | (uint32_t(a) << 24);
}
}  // namespace

// The room's settings, the same in the game file and in saved games.
void CRoom::ReadHead(CStream& str) {
  r_caption = str.ReadString();
  r_width = str.ReadInteger();
  r_height = str.ReadInteger();
  r_speed = str.ReadInteger();
  r_persistent = str.ReadBoolean();
  r_color = str.ReadInteger();
  const int flags = str.ReadInteger();
  r_showcolor = (flags & 1) != 0;
  r_clearViewBackground = (flags & 2) == 0;
  r_code = str.ReadString();
}

void CRoom::WriteHead(CStream& str) const {
  str.WriteString(r_caption);
  str.WriteInteger(r_width);
  str.WriteInteger(r_height);
  str.WriteInteger(r_speed);
  str.WriteBoolean(r_persistent);
  str.WriteInteger(r_color);
  str.WriteInteger((r_showcolor ? 1 : 0) | (r_clearViewBackground ? 0 : 2));
  str.WriteString(r_code);
}

bool CRoom::LoadFromStream(CStream& str) {
  Clear();
  const int version = str.ReadInteger();
  if (version != 541 && version != 810 && version != 811) return false;
  ReadHead(str);
  const int layers = str.ReadInteger();
  if (layers < 0 || layers > 8) return false;
  for (int i = 0; i < layers; ++i) {
    CBack& b = r_background[size_t(i)];
    b.visible = str.ReadBoolean();
    b.foreground = str.ReadBoolean();
    b.index = str.ReadInteger();
    b.x = str.ReadInteger();
    b.y = str.ReadInteger();
    b.htiled = str.ReadBoolean();
    b.vtiled = str.ReadBoolean();
    b.hspeed = str.ReadInteger();
    b.vspeed = str.ReadInteger();
    const bool stretch = str.ReadBoolean();
    b.blend = 0xFFFFFF;
    b.alpha = 1;
    b.stretch = stretch;
    if (stretch) {
      if (const CBackground* bg = GetBackground(b.index)) {
        if (bg->GetWidth() > 0) b.xscale = double(r_width) / bg->GetWidth();
        if (bg->GetHeight() > 0) b.yscale = double(r_height) / bg->GetHeight();
      }
    }
  }
  r_enableviews = str.ReadBoolean();
  const int views = str.ReadInteger();
  if (views < 0 || views > 8) return false;
  for (int i = 0; i < views; ++i) {
    CView& v = r_view[size_t(i)];
    v.visible = str.ReadBoolean();
    v.xview = str.ReadInteger();
    v.yview = str.ReadInteger();
    v.wview = str.ReadInteger();
    v.hview = str.ReadInteger();
    v.xport = str.ReadInteger();
    v.yport = str.ReadInteger();
    v.wport = str.ReadInteger();
    v.hport = str.ReadInteger();
    v.angle = 0;
    v.hborder = str.ReadInteger();
    v.vborder = str.ReadInteger();
    v.hspeed = str.ReadInteger();
    v.vspeed = str.ReadInteger();
    v.index = str.ReadInteger();
  }
  const int ninst = str.ReadInteger();
  if (ninst < 0 || uint64_t(ninst) * 20 > str.Remaining()) return false;
  r_inst.resize(size_t(ninst));
  for (auto& in : r_inst) {
    in.x = str.ReadInteger();
    in.y = str.ReadInteger();
    in.object = str.ReadInteger();
    in.id = str.ReadInteger();
    in.code = str.ReadString();
    if (version >= 810) {
      in.xscale = str.ReadReal();
      in.yscale = str.ReadReal();
      SplitColor(uint32_t(str.ReadInteger()), in.blend, in.alpha);
    }
    if (version >= 811) in.angle = str.ReadReal();
    // Every live instance must belong to an existing object.
    if (!ObjectExists(in.object)) return false;
  }
  const int ntile = str.ReadInteger();
  if (ntile < 0 || uint64_t(ntile) * 36 > str.Remaining()) return false;
  r_tile.resize(size_t(ntile));
  for (auto& t : r_tile) {
    t.x = str.ReadInteger();
    t.y = str.ReadInteger();
    t.index = str.ReadInteger();
    t.xo = str.ReadInteger();
    t.yo = str.ReadInteger();
    t.w = str.ReadInteger();
    t.h = str.ReadInteger();
    t.depth = str.ReadInteger();
    t.id = str.ReadInteger();
    if (version >= 810) {
      t.xscale = str.ReadReal();
      t.yscale = str.ReadReal();
      SplitColor(uint32_t(str.ReadInteger()), t.blend, t.alpha);
    }
    t.visible = true;
  }
  r_tnumb = ntile;
  return true;
}

void CRoom::SaveToStream(CStream& str) const {
  str.WriteInteger(811);
  WriteHead(str);
  str.WriteInteger(8);
  for (const CBack& b : r_background) {
    str.WriteBoolean(b.visible);
    str.WriteBoolean(b.foreground);
    str.WriteInteger(b.index);
    str.WriteInteger(int(b.x));
    str.WriteInteger(int(b.y));
    str.WriteBoolean(b.htiled);
    str.WriteBoolean(b.vtiled);
    str.WriteInteger(int(b.hspeed));
    str.WriteInteger(int(b.vspeed));
    str.WriteBoolean(b.stretch);
  }
  str.WriteBoolean(r_enableviews);
  str.WriteInteger(8);
  for (const CView& v : r_view) {
    str.WriteBoolean(v.visible);
    for (int x : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                  v.hborder, v.vborder, v.hspeed, v.vspeed, v.index})
      str.WriteInteger(x);
  }
  str.WriteInteger(int(r_inst.size()));
  for (const auto& in : r_inst) {
    str.WriteInteger(in.x);
    str.WriteInteger(in.y);
    str.WriteInteger(in.object);
    str.WriteInteger(in.id);
    str.WriteString(in.code);
    str.WriteReal(in.xscale);
    str.WriteReal(in.yscale);
    str.WriteInteger(int32_t(JoinColor(in.blend, in.alpha)));
    str.WriteReal(in.angle);
  }
  str.WriteInteger(r_tnumb);
  for (int i = 0; i < r_tnumb; ++i) {
    const RTile& t = r_tile[size_t(i)];
    for (int x : {int(t.x), int(t.y), t.index, t.xo, t.yo, t.w, t.h, int(t.depth), t.id})
      str.WriteInteger(x);
    str.WriteReal(t.xscale);
    str.WriteReal(t.yscale);
    str.WriteInteger(int32_t(JoinColor(t.blend, t.alpha)));
  }
}

namespace {
constexpr int32_t kSavedRoomVersion = 540;
// A stored tile takes 80 bytes; counts beyond what remains are corrupt.
constexpr size_t kSavedTileSize = 80;
}  // namespace

void CRoom::SaveGameToStream(CStream& str, const std::function<void(CStream&)>& instances) const {
  str.WriteInteger(kSavedRoomVersion);
  WriteHead(str);
  str.WriteInteger(8);
  for (const CBack& b : r_background) {
    str.WriteBoolean(b.visible);
    str.WriteBoolean(b.foreground);
    str.WriteInteger(b.index);
    str.WriteReal(b.x);
    str.WriteReal(b.y);
    str.WriteBoolean(b.htiled);
    str.WriteBoolean(b.vtiled);
    for (double v : {b.xscale, b.yscale, b.hspeed, b.vspeed}) str.WriteReal(v);
    str.WriteInteger(b.blend);
    str.WriteReal(b.alpha);
  }
  str.WriteBoolean(r_enableviews);
  str.WriteInteger(8);
  for (const CView& v : r_view) {
    str.WriteBoolean(v.visible);
    for (int x : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport}) str.WriteInteger(x);
    str.WriteReal(v.angle);
    for (int x : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.index}) str.WriteInteger(x);
  }
  if (instances) {
    instances(str);
  } else {
    str.WriteInteger(0);
    str.WriteInteger(0);
  }
  str.WriteInteger(r_tnumb);
  for (int i = 0; i < r_tnumb; ++i) {
    const RTile& t = r_tile[size_t(i)];
    str.WriteReal(t.x);
    str.WriteReal(t.y);
    for (int x : {t.index, t.xo, t.yo, t.w, t.h}) str.WriteInteger(x);
    str.WriteReal(t.depth);
    str.WriteInteger(t.id);
    str.WriteReal(t.xscale);
    str.WriteReal(t.yscale);
    str.WriteInteger(t.blend);
    str.WriteReal(t.alpha);
    str.WriteBoolean(t.visible);
  }
}

bool CRoom::LoadGameFromStream(CStream& str, const std::function<bool(CStream&)>& instances) {
  Clear();
  try {
    if (str.ReadInteger() != kSavedRoomVersion) return false;
    ReadHead(str);
    const int layers = str.ReadInteger();
    if (layers < 0 || layers > 8) return false;
    for (int i = 0; i < layers; ++i) {
      CBack& b = r_background[size_t(i)];
      b.visible = str.ReadBoolean();
      b.foreground = str.ReadBoolean();
      b.index = str.ReadInteger();
      b.x = str.ReadReal();
      b.y = str.ReadReal();
      b.htiled = str.ReadBoolean();
      b.vtiled = str.ReadBoolean();
      for (double* v : {&b.xscale, &b.yscale, &b.hspeed, &b.vspeed}) *v = str.ReadReal();
      b.blend = str.ReadInteger();
      b.alpha = str.ReadReal();
    }
    r_enableviews = str.ReadBoolean();
    const int views = str.ReadInteger();
    if (views < 0 || views > 8) return false;
    for (int i = 0; i < views; ++i) {
      CView& v = r_view[size_t(i)];
      v.visible = str.ReadBoolean();
      for (int* x : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
        *x = str.ReadInteger();
      v.angle = str.ReadReal();
      for (int* x : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.index}) *x = str.ReadInteger();
    }
    if (instances) {
      if (!instances(str)) return false;
    } else if (str.ReadInteger() != 0 || str.ReadInteger() != 0) {
      return false;  // instances that nobody takes
    }
    const int ntile = str.ReadInteger();
    if (ntile < 0 || size_t(ntile) > str.Remaining() / kSavedTileSize) return false;
    r_tile.resize(size_t(ntile));
    for (RTile& t : r_tile) {
      t.x = str.ReadReal();
      t.y = str.ReadReal();
      for (int* x : {&t.index, &t.xo, &t.yo, &t.w, &t.h}) *x = str.ReadInteger();
      t.depth = str.ReadReal();
      t.id = str.ReadInteger();
      t.xscale = str.ReadReal();
      t.yscale = str.ReadReal();
      t.blend = str.ReadInteger();
      t.alpha = str.ReadReal();
      t.visible = str.ReadBoolean();
    }
    r_tnumb = ntile;
  } catch (const EStreamError&) {
    return false;
  }
  return true;
}

void CRoom::ScrollBackground() {
  for (CBack& b : r_background) {
    b.x += b.hspeed;
    b.y += b.vspeed;
  }
}

int CRoom::AddTile(const RTile& tile) {
  r_tile.push_back(tile);
  r_tile.back().id = ++LastTileId;
  r_tnumb = int(r_tile.size());
  r_lasttile = r_tnumb - 1;
  return r_lasttile;
}

void CRoom::ClearTiles() {
  r_tile.clear();
  r_tnumb = 0;
  r_lasttile = -1;
}

int CRoom::FindTile(int id) {
  if (r_lasttile >= 0 && r_lasttile < r_tnumb && r_tile[size_t(r_lasttile)].id == id)
    return r_lasttile;
  for (int i = 0; i < r_tnumb; ++i)
    if (r_tile[size_t(i)].id == id) return r_lasttile = i;
  return -1;
}

template <class P>
void CRoom::RemoveTilesIf(P pred) {
  r_tile.erase(std::remove_if(r_tile.begin(), r_tile.end(), pred), r_tile.end());
  r_tnumb = int(r_tile.size());
  if (r_lasttile >= r_tnumb) r_lasttile = -1;
}

void CRoom::DeleteTile(int index) {
  if (index < 0 || index >= r_tnumb) return;
  r_tile.erase(r_tile.begin() + index);
  r_tnumb = int(r_tile.size());
  if (r_lasttile >= r_tnumb) r_lasttile = -1;
}

namespace {
bool InsideOpen(const RTile& t, double px, double py) {
  return t.x <= px && px < t.x + t.w * t.xscale && t.y <= py && py < t.y + t.h * t.yscale;
}
bool InsideClosed(const RTile& t, double px, double py) {
  return t.x <= px && px <= t.x + t.w * t.xscale && t.y <= py && py <= t.y + t.h * t.yscale;
}
}  // namespace

int CRoom::FindTileAt(double x, double y, bool foreground) {
  for (int i = 0; i < r_tnumb; ++i) {
    const RTile& t = r_tile[size_t(i)];
    if ((foreground ? t.depth < 0 : t.depth >= 0) && InsideOpen(t, x, y)) return r_lasttile = i;
  }
  return -1;
}

void CRoom::DeleteTilesAt(double x, double y, bool foreground) {
  RemoveTilesIf([&](const RTile& t) {
    return (foreground ? t.depth <= 0 : t.depth >= 0) && InsideClosed(t, x, y);
  });
}

void CRoom::SortTiles() {
  std::stable_sort(r_tile.begin(), r_tile.end(),
                   [](const RTile& a, const RTile& b) { return a.depth > b.depth; });
}

void CRoom::HideTilesDepth(double depth) {
  for (RTile& t : r_tile)
    if (t.depth == depth) t.visible = false;
}

void CRoom::ShowTilesDepth(double depth) {
  for (RTile& t : r_tile)
    if (t.depth == depth) t.visible = true;
}

void CRoom::DeleteTilesDepth(double depth) {
  RemoveTilesIf([&](const RTile& t) { return t.depth == depth; });
}

void CRoom::ShiftTilesDepth(double depth, double dx, double dy) {
  for (RTile& t : r_tile)
    if (t.depth == depth) {
      t.x += dx;
      t.y += dy;
    }
}

int CRoom::FindTileAtDepth(double x, double y, double depth) {
  for (int i = 0; i < r_tnumb; ++i) {
    const RTile& t = r_tile[size_t(i)];
    if (t.depth == depth && InsideOpen(t, x, y)) return r_lasttile = i;
  }
  return -1;
}

void CRoom::DeleteTilesAtDepth(double x, double y, double depth) {
  RemoveTilesIf([&](const RTile& t) { return t.depth == depth && InsideOpen(t, x, y); });
}

void CRoom::ChangeTilesDepth(double olddepth, double newdepth) {
  for (RTile& t : r_tile)
    if (t.depth == olddepth) t.depth = newdepth;
}
