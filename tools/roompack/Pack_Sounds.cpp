// Sounds: sounds/NAME.json naming the sound file and its settings.
#include <filesystem>

#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Sound_Class.h"
#include "runner/DataNew_Write.h"

void PackSounds(const Project& project, CGameWriter& out) {
  PackResourceList(project, "sounds", kSectionVersionSounds, out, [&](int, const std::string& name, CStream& rec) {
    const std::string file = "sounds/" + name + ".json";
    const nlohmann::json doc = ReadResourceJson(project, file, true);
    const JsonField root(doc, file, "");
    root.CheckKeys({"file", "kind", "effects", "volume", "pan", "preload"});
    CSound s;
    const JsonField f = root.Member("file");
    const std::string path = f.AsString();
    s.s_sound = std::make_unique<std::vector<uint8_t>>(project.ReadFile(path, f));
    s.s_extension = std::filesystem::path(path).extension().string();
    s.s_origname = std::filesystem::path(path).filename().string();
    const std::string kind = root.GetString("kind", "normal");
    if (kind == "normal") s.s_kind = 0;
    else if (kind == "music") s.s_kind = 1;
    else if (kind == "3d") s.s_kind = 2;
    else if (kind == "multimedia") s.s_kind = 3;
    else root.Member("kind").Fail("expected \"normal\", \"music\", \"3d\" or \"multimedia\"");
    if (auto e = root.Find("effects")) {
      static const char* kNames[] = {"chorus", "echo", "flanger", "gargle", "reverb", "compressor",
                                     "equalizer", "distortion", "environmental_reverb"};
      e->ExpectList();
      for (size_t i = 0; i < e->Size(); ++i) {
        const std::string n = e->At(i).AsString();
        int bit = -1;
        for (int k = 0; k < 9; ++k)
          if (n == kNames[k]) bit = k;
        if (bit < 0) e->At(i).Fail("unknown effect \"" + n + "\"");
        s.s_effects |= 1 << bit;
      }
    }
    s.s_volume = GetReal(root, "volume", 1);
    if (s.s_volume < 0 || s.s_volume > 1) root.Member("volume").Fail("expected 0 to 1");
    s.s_pan = GetReal(root, "pan", 0);
    if (s.s_pan < -1 || s.s_pan > 1) root.Member("pan").Fail("expected -1 to 1");
    s.s_preload = root.GetBool("preload", true);
    s.SaveToStream(rec);
  });
}
