// Backgrounds: backgrounds/NAME.png.
#include "Pack.h"
#include "Pack_Resource.h"
#include "resources/Background_Class.h"
#include "runner/DataNew_Write.h"

void PackBackgrounds(const Project& project, CGameWriter& out) {
  PackResourceList(project, "backgrounds", kSectionVersionBackgrounds, out,
                   [&](int i, const std::string& name, CStream& rec) {
                     const JsonField from = project.Root().Member("backgrounds").At(size_t(i));
                     CBackground b;
                     b.i_bitmap = LoadPicture(project, "backgrounds/" + name + ".png", from);
                     b.SaveToStream(rec);
                   });
}
