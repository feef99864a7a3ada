#pragma once
// The name-to-id index of the built-in tables: filled once at start-up from
// names in static storage, so it keeps views rather than a heap string and a
// map node per entry.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "script/Text_Hash.h"

class CNameIndex {
 public:
  // Room for `count` names before the slots grow.
  void Reserve(size_t count) {
    if (count * 2 > slots_.size()) Rehash(SlotCountFor(count));
  }
  // Adds name -> id unless the name is present (the first entry of a name
  // wins, as a linear search from the start would find it). The text of
  // `name` must outlive the index.
  bool Insert(std::string_view name, int id) {
    const uint32_t h = Hash(name);
    Slot& s = Probe(name, h);
    if (s.id >= 0) return false;
    Put(s, name, h, id);
    return true;
  }
  // Adds name -> id, replacing the id of a name already present.
  void Assign(std::string_view name, int id) {
    const uint32_t h = Hash(name);
    Slot& s = Probe(name, h);
    if (s.id >= 0) {
      s.id = id;
      return;
    }
    Put(s, name, h, id);
  }
  // The id of a name, or -1.
  int Find(std::string_view name) const {
    const Slot* s = FindSlot(name);
    return s ? s->id : -1;
  }
  // The stored text of a name present in the index, or null.
  const std::string_view* FindKey(std::string_view name) const {
    const Slot* s = FindSlot(name);
    return s ? &s->name : nullptr;
  }
  size_t Size() const { return used_; }

 private:
  struct Slot {
    std::string_view name;
    uint32_t hash = 0;
    int id = -1;  // -1: empty
  };

  const Slot* FindSlot(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const uint32_t h = Hash(name);
    const size_t mask = slots_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.id < 0) return nullptr;
      if (s.hash == h && s.name == name) return &s;
    }
  }
  static uint32_t Hash(std::string_view name) { return HashText(name); }
  static size_t SlotCountFor(size_t count) {
    size_t n = 16;
    while (n < count * 2) n *= 2;  // at most half full
    return n;
  }
  // The slot holding `name`, or the empty slot where it goes.
  Slot& Probe(std::string_view name, uint32_t h) {
    if ((used_ + 1) * 2 > slots_.size()) Rehash(SlotCountFor(used_ + 1));
    const size_t mask = slots_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.id < 0 || (s.hash == h && s.name == name)) return s;
    }
  }
  void Put(Slot& s, std::string_view name, uint32_t h, int id) {
    s.name = name;
    s.hash = h;
    s.id = id;
    ++used_;
  }
  void Rehash(size_t count) {
    std::vector<Slot> old(count);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.id < 0) continue;
      size_t i = s.hash & mask;
      while (slots_[i].id >= 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
};
