// Sprites: sprites/NAME.json (optional) and the frame pictures.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Sprite_Class.h"
#include "runner/DataNew_Write.h"

namespace {
CSprite ReadSprite(const Project& project, const std::string& name) {
  const std::string file = "sprites/" + name + ".json";
  const nlohmann::json doc = ReadResourceJson(project, file, false);
  const JsonField root(doc, file, "");
  root.CheckKeys({"frames", "strip", "origin", "mask"});
  std::vector<TBitmap32> frames;
  if (auto f = root.Find("frames")) {
    f->ExpectList();
    for (size_t i = 0; i < f->Size(); ++i) frames.push_back(LoadPicture(project, f->At(i).AsString(), f->At(i)));
  } else {
    frames.push_back(LoadPicture(project, "sprites/" + name + ".png", root));
  }
  if (auto st = root.Find("strip")) {
    const int n = st->AsInt();
    if (n < 1) st->Fail("expected at least 1 frame");
    if (frames.size() != 1) st->Fail("a strip is cut from exactly one picture");
    const TBitmap32 pic = frames[0];
    const int w = pic.s_w / n;
    if (w < 1) st->Fail("the picture is narrower than the number of frames");
    frames.clear();
    for (int i = 0; i < n; ++i) {
      TBitmap32 fr(w, pic.s_h);
      fr.DrawPart(0, 0, pic, i * w, 0, w, pic.s_h);
      frames.push_back(std::move(fr));
    }
  }
  for (size_t i = 1; i < frames.size(); ++i)
    if (frames[i].s_w != frames[0].s_w || frames[i].s_h != frames[0].s_h)
      root.Fail("frame " + std::to_string(i) + " is " + std::to_string(frames[i].s_w) + "x" +
                std::to_string(frames[i].s_h) + ", the first frame " + std::to_string(frames[0].s_w) + "x" +
                std::to_string(frames[0].s_h) + "; all frames must have one size");
  CSprite spr;
  spr.i_bitmap = std::move(frames);
  spr.i_numb = int(spr.i_bitmap.size());
  if (auto o = root.Find("origin")) {
    if (o->Size() != 2) o->Fail("expected [x, y]");
    spr.i_xorig = o->At(0).AsInt();
    spr.i_yorig = o->At(1).AsInt();
  }
  bool separate = false;
  int shape = kMaskPrecise, bbmode = kBBoxAutomatic, tolerance = 0;
  TRect box;
  if (auto m = root.Find("mask")) {
    m->ExpectObject();
    m->CheckKeys({"shape", "bbox", "tolerance", "separate"});
    separate = m->GetBool("separate", false);
    tolerance = m->GetInt("tolerance", 0);
    if (tolerance < 0 || tolerance > 255) m->Member("tolerance").Fail("expected 0 to 255");
    const std::string sh = m->GetString("shape", "precise");
    if (sh == "precise") shape = kMaskPrecise;
    else if (sh == "rectangle") shape = kMaskRectangle;
    else if (sh == "ellipse") shape = kMaskEllipse;
    else if (sh == "diamond") shape = kMaskDiamond;
    else m->Member("shape").Fail("expected \"precise\", \"rectangle\", \"ellipse\" or \"diamond\"");
    if (auto b = m->Find("bbox")) {
      if (b->Value().is_array()) {
        if (b->Size() != 4) b->Fail("expected [left, top, right, bottom]");
        bbmode = kBBoxManual;
        box = {b->At(0).AsInt(), b->At(1).AsInt(), b->At(2).AsInt(), b->At(3).AsInt()};
      } else {
        const std::string mode = b->AsString();
        if (mode == "automatic") bbmode = kBBoxAutomatic;
        else if (mode == "full") bbmode = kBBoxFull;
        else b->Fail("expected \"automatic\", \"full\" or [left, top, right, bottom]");
      }
    }
  }
  spr.ComputeMask(separate, bbmode, box, shape, tolerance);
  return spr;
}
}  // namespace

void PackSprites(const Project& project, CGameWriter& out) {
  PackResourceList(project, "sprites", kSectionVersionSprites, out,
                   [&](int, const std::string& name, CStream& rec) { ReadSprite(project, name).SaveToStream(rec); });
}
