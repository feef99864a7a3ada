#pragma once
// Reading and writing a resource list section of the game file: version,
// count, then one compressed block per index holding the present flag and,
// when present, the name and the resource's own record.
#include <memory>
#include <string>

#include "resources/Resource_List.h"
#include "runner/Support_Stream.h"

template <class T>
bool LoadResourceSection(CStream& str, CResourceList<T>& list, int version = 800) {
  list.Clear();
  if (str.ReadInteger() != version) return false;
  const int count = str.ReadInteger();
  // Every block takes at least its 4-byte length.
  if (count < 0 || uint64_t(count) * 4 > str.Remaining()) return false;
  list.Reset(count);
  for (int i = 0; i < count; ++i) {
    CStream blk = str.ReadStreamC();
    if (!blk.ReadBoolean()) continue;
    std::string name = blk.ReadString();
    auto item = std::make_unique<T>();
    if (!item->LoadFromStream(blk)) return false;
    list.Set(i, std::move(item), std::move(name));
  }
  return true;
}

template <class T>
void SaveResourceSection(CStream& str, const CResourceList<T>& list, int version = 800) {
  str.WriteInteger(version);
  str.WriteInteger(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    CStream blk;
    const T* item = list.Get(i);
    blk.WriteBoolean(item != nullptr);
    if (item != nullptr) {
      blk.WriteString(list.RawName(i));
      item->SaveToStream(blk);
    }
    str.WriteStreamC(blk);
  }
}
