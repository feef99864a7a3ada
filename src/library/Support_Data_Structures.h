#pragma once
// The six kinds of data structure the game's code keeps its values in. Every
// element is an RValue; searches, sorting, map keys and priorities all use
// DS_Compare. Each structure turns into a hexadecimal text (the bytes of a
// stream, see WriteToString) and can be restored from one.
#include <cstdint>
#include <string>
#include <vector>

#include "script/RValue.h"
#include "script/Text_Hash.h"

class CStream;

// Tolerance for comparing reals, set by ds_set_precision; process-wide.
extern double DS_Precision;

// -1, 0 or 1. Reals are equal within DS_Precision (or a relative 1e-12 when the
// precision is 0); strings compare as UTF-16 code units; a real is smaller than
// any string.
int DS_CompareReals(double a, double b);
int DS_CompareStrings(const std::string& a, const std::string& b);
inline int DS_CompareRealValues(double a, double b) {
  if (DS_Precision > 0) {
    double d = a - b;
    if (d >= -DS_Precision && d <= DS_Precision) return 0;
    return a < b ? -1 : 1;
  }
  return DS_CompareReals(a, b);
}
inline int DS_Compare(const RValue& a, const RValue& b) {
  if (a.kind == RValue::kReal) {
    if (b.kind != RValue::kReal) return -1;
    return DS_CompareRealValues(a.val, b.val);
  }
  if (b.kind == RValue::kReal) return 1;
  return DS_CompareStrings(a.str, b.str);
}

// Values written by the text forms: integer kind, real val, string str.
void DS_WriteValue(CStream& s, const RValue& v);
// Reads a value; throws like the stream readers on truncated data.
RValue DS_ReadValue(CStream& s);

// Largest grid the game may create: 16M cells (about 800 MB of values).
constexpr int64_t kDSMaxGridCells = int64_t{1} << 24;

class CDS_Stack {
 public:
  static constexpr int kHeader = 101;
  std::vector<RValue> i_val;  // bottom first; the element count is its size

  int Size() const { return static_cast<int>(i_val.size()); }
  void Clear() { i_val.clear(); }
  void Assign(const CDS_Stack& other) { i_val = other.i_val; }
  void Push(const RValue& v) { i_val.push_back(v); }
  RValue Pop();
  RValue Top() const;
  std::string WriteToString() const;
  // false when the text does not hold a stack; the stack is then unchanged.
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);
};

// A queue keeps its whole array: positions i_last .. i_first - 1 are live, the
// others keep whatever they held, and the text form lists every slot.
class CDS_Queue {
 public:
  static constexpr int kHeader = 201;
  int i_first = 0;             // where the next value is stored
  int i_last = 0;              // position of the front value
  std::vector<RValue> i_val;   // the array; its size is the capacity

  int Size() const { return i_first - i_last; }
  void Clear() { i_first = i_last = 0; }
  void Assign(const CDS_Queue& other);
  void Enqueue(const RValue& v);
  RValue Dequeue();
  RValue Head() const;
  RValue Tail() const;
  std::string WriteToString() const;
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);
};

class CDS_List {
 public:
  static constexpr int kHeader = 301;
  std::vector<RValue> i_val;

  int Size() const { return static_cast<int>(i_val.size()); }
  void Clear() { i_val.clear(); }
  void Assign(const CDS_List& other) { i_val = other.i_val; }
  void Add(const RValue& v) { i_val.push_back(v); }
  void Insert(int64_t pos, const RValue& v);
  void Replace(int64_t pos, const RValue& v);
  void Delete(int64_t pos);
  int FindIndex(const RValue& v) const;
  RValue FindValue(int64_t pos) const;
  void Sort(bool ascend);
  void Shuffle();
  std::string WriteToString() const;
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);
};

// Open-addressing hash table from real keys to entry slots (linear probing,
// at most half full, deletion by shifting back), used by the map's index of
// real keys. -0 and 0 are one key; keys are finite. Key and slot share one
// cell, so a probe touches one cache line.
class RealSlotTable {
 public:
  void clear() {
    cells_.clear();
    size_ = 0;
  }
  // The slot stored for k, or -1.
  int64_t find(double k) const {
    if (size_ == 0) return -1;
    size_t mask = cells_.size() - 1;
    for (size_t i = Hash(k) & mask; cells_[i].used; i = (i + 1) & mask)
      if (cells_[i].key == k) return cells_[i].val;
    return -1;
  }
  // Stores v for k unless k is present (keep = true) or always (keep = false).
  // True when k was present.
  bool put(double k, uint32_t v, bool keep) {
    if (k == 0) k = 0;
    if ((size_ + 1) * 2 > cells_.size()) Grow();
    size_t mask = cells_.size() - 1;
    size_t i = Hash(k) & mask;
    for (; cells_[i].used; i = (i + 1) & mask)
      if (cells_[i].key == k) {
        if (!keep) cells_[i].val = v;
        return true;
      }
    cells_[i] = Cell{k, v, 1};
    ++size_;
    return false;
  }
  void erase(double k) {
    if (size_ == 0) return;
    size_t mask = cells_.size() - 1;
    size_t i = Hash(k) & mask;
    while (cells_[i].used && !(cells_[i].key == k)) i = (i + 1) & mask;
    if (!cells_[i].used) return;
    cells_[i].used = 0;
    --size_;
    // Move later entries of the run back into the hole when their home
    // position does not lie cyclically in (hole, position].
    for (size_t j = (i + 1) & mask; cells_[j].used; j = (j + 1) & mask) {
      size_t h = Hash(cells_[j].key) & mask;
      bool stays = i <= j ? (i < h && h <= j) : (i < h || h <= j);
      if (stays) continue;
      cells_[i] = cells_[j];
      cells_[j].used = 0;
      i = j;
    }
  }

 private:
  struct Cell {
    double key;
    uint32_t val;
    uint32_t used;
  };
  static size_t Hash(double v) {
    if (v == 0) v = 0;
    uint64_t bits;
    __builtin_memcpy(&bits, &v, sizeof bits);
    bits ^= bits >> 31;
    bits *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(bits ^ (bits >> 29));
  }
  void Grow() {
    std::vector<Cell> old = std::move(cells_);
    cells_.assign(old.empty() ? 16 : old.size() * 2, Cell{0.0, 0, 0});
    size_ = 0;
    for (const Cell& c : old)
      if (c.used) put(c.key, c.val, true);
  }

  std::vector<Cell> cells_;
  size_t size_ = 0;
};

// Open-addressing hash table from texts to entry slots (linear probing, at
// most half full, deletion by shifting back), used by the map's index of
// text keys. A cell holds the text's hash and the slot, not the text: the
// caller's text_of(slot) gives the text stored there, so no key is copied
// and a probe compares whole texts only when the hashes agree.
class TextSlotTable {
 public:
  static uint32_t Hash(const std::string& s, bool* ascii = nullptr) { return HashText(s, ascii); }
  void clear() {
    cells_.clear();
    size_ = 0;
  }
  // The slot stored for text k (whose hash is h), or -1.
  template <typename TextOf>
  int64_t find(const std::string& k, uint32_t h, TextOf text_of) const {
    if (size_ == 0) return -1;
    size_t mask = cells_.size() - 1;
    for (size_t i = h & mask; cells_[i].slot1 != 0; i = (i + 1) & mask)
      if (cells_[i].hash == h && text_of(cells_[i].slot1 - 1) == k) return cells_[i].slot1 - 1;
    return -1;
  }
  // Stores slot v for text k unless k is present (keep = true) or always.
  // True when k was present.
  template <typename TextOf>
  bool put(const std::string& k, uint32_t h, uint32_t v, bool keep, TextOf text_of) {
    if ((size_ + 1) * 4 > cells_.size() * 3) Grow();  // eight cells share a cache line
    size_t mask = cells_.size() - 1;
    size_t i = h & mask;
    for (; cells_[i].slot1 != 0; i = (i + 1) & mask)
      if (cells_[i].hash == h && text_of(cells_[i].slot1 - 1) == k) {
        if (!keep) cells_[i].slot1 = v + 1;
        return true;
      }
    cells_[i] = Cell{h, v + 1};
    ++size_;
    return false;
  }
  template <typename TextOf>
  void erase(const std::string& k, uint32_t h, TextOf text_of) {
    if (size_ == 0) return;
    size_t mask = cells_.size() - 1;
    size_t i = h & mask;
    while (cells_[i].slot1 != 0 && !(cells_[i].hash == h && text_of(cells_[i].slot1 - 1) == k)) i = (i + 1) & mask;
    if (cells_[i].slot1 == 0) return;
    cells_[i].slot1 = 0;
    --size_;
    for (size_t j = (i + 1) & mask; cells_[j].slot1 != 0; j = (j + 1) & mask) {
      size_t home = cells_[j].hash & mask;
      bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      cells_[i] = cells_[j];
      cells_[j].slot1 = 0;
      i = j;
    }
  }

 private:
  struct Cell {
    uint32_t hash;
    uint32_t slot1;  // the slot + 1; 0 marks a free cell
  };
  void Grow() {
    std::vector<Cell> old = std::move(cells_);
    cells_.assign(old.empty() ? 16 : old.size() * 2, Cell{0, 0});
    size_t mask = cells_.size() - 1;
    for (const Cell& c : old) {
      if (c.slot1 == 0) continue;
      size_t i = c.hash & mask;
      while (cells_[i].slot1 != 0) i = (i + 1) & mask;
      cells_[i] = c;  // the texts are distinct already: no comparison needed
    }
  }

  std::vector<Cell> cells_;
  size_t size_ = 0;
};

// Keys are held in ascending order; equal keys may repeat (add always inserts,
// after the keys equal to it). The sorted sequence is a list of slot numbers
// into a store of entries, so that an insertion in the middle shifts 4-byte
// numbers instead of whole values. Adds whose keys the hash indexes serve
// wait in a list and join the sequence together (sorted, then merged) when
// something first needs the order: a game filling a map before reading it
// pays one merge instead of a shift per key.
class CDS_Map {
 public:
  static constexpr int kHeader = 401;

  int Size() const { return static_cast<int>(i_entries.size() - i_free.size() - i_deleted.size()); }
  // Key and value at position p of the sorted sequence (0 <= p < Size()).
  const RValue& Key(int p) const {
    Settle();
    return i_entries[i_order[static_cast<size_t>(p)].slot].key;
  }
  const RValue& Value(int p) const {
    Settle();
    return i_entries[i_order[static_cast<size_t>(p)].slot].val;
  }
  void Clear();
  void Assign(const CDS_Map& other);
  void Add(const RValue& key, const RValue& value);
  void Replace(const RValue& key, const RValue& value);
  void Delete(const RValue& key);
  bool Exists(const RValue& key) const {
    int slot;
    return QuickFind(key, slot) ? slot >= 0 : FindExactSlot(key) >= 0;
  }
  RValue FindValue(const RValue& key) const;
  // The value FindValue gives, in place; nullptr when the key is absent.
  const RValue* FindValuePointer(const RValue& key) const {
    int slot;
    if (!QuickFind(key, slot)) slot = FindExactSlot(key);
    return slot >= 0 ? &i_entries[static_cast<size_t>(slot)].val : nullptr;
  }
  RValue FindPrevious(const RValue& key) const;
  RValue FindNext(const RValue& key) const;
  RValue FindFirst() const;
  RValue FindLast() const;
  // First position whose key is not smaller than key (size when none).
  int LowerSearch(const RValue& key) const;
  // Last position whose key is not greater than key (-1 when none).
  int UpperSearch(const RValue& key) const;
  std::string WriteToString() const;
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);

 private:
  struct Entry {
    RValue key;
    RValue val;
  };
  // The searches on the sequence as it stands (no waiting adds joined).
  int Lower(const RValue& key) const;
  int Upper(const RValue& key) const;
  // Joins the waiting adds to the sequence, with the precision they were
  // made under, exactly as one insertion after another would have placed them.
  void Settle() const {
    if (!i_pending.empty() || !i_deleted.empty()) SettlePending();
  }
  // Drops the deleted entries from the sequence and the waiting adds.
  void DropDeleted() const;
  // Deletes through the indexes without touching the sequence; false when
  // the key is not one they can delete alone.
  bool DeleteByIndex(const RValue& key);
  void SettlePending() const;
  bool MergePending(const std::vector<uint32_t>& pending) const;
  // Inserts the entry in slot into the sequence after the keys equal to it.
  void Place(uint32_t slot) const;
  uint32_t NewEntry(const RValue& key, const RValue& value);
  // Position of the first entry whose key equals key, or -1.
  int FindExact(const RValue& key) const;
  // Slot of the first entry whose key equals key, or -1.
  int FindExactSlot(const RValue& key) const;
  // FindExactSlot's answer for a real key held exactly while the map is
  // settled and its real index current (most lookups of real keys), without
  // a call; false when the full way must answer.
  bool QuickFind(const RValue& key, int& slot) const {
    if (!key.IsReal() || !i_pending.empty() || !i_deleted.empty() || !i_rseparated || i_rprecision != DS_Precision)
      return false;
    const int64_t s = i_rindex.find(key.val);
    slot = static_cast<int>(s);
    return s >= 0;
  }
  // Whether the text index serves text key (the map is indexed and the key
  // valid UTF-8), giving the key's hash on the way.
  bool IndexHash(const std::string& key, uint32_t& h) const;
  void RebuildIndex();

  // One position of the sorted sequence: the entry's slot, with a copy of a
  // real key so that searches over reals stay inside this array.
  struct Position {
    double real;
    uint32_t slot;
    uint32_t is_text;
  };
  static Position MakePosition(uint32_t slot, const RValue& key) {
    return Position{key.IsString() ? 0.0 : key.val, slot, key.IsString() ? 1u : 0u};
  }
  // DS_Compare(Key(p), key).
  int CompareAt(int p, const RValue& key) const {
    const Position& e = i_order[static_cast<size_t>(p)];
    if (!e.is_text) return key.IsString() ? -1 : DS_CompareRealValues(e.real, key.val);
    if (!key.IsString()) return 1;
    return DS_CompareStrings(i_entries[e.slot].key.str, key.str);
  }

  std::vector<Entry> i_entries;   // the store; freed slots are listed in i_free
  mutable std::vector<uint32_t> i_free;
  // Slots deleted through the indexes whose positions are still in the
  // sequence (or among the waiting adds): they leave it together when
  // something next needs the order, so a run of deletes costs one pass
  // instead of a shift of the sequence each. They join i_free only then.
  mutable std::vector<uint32_t> i_deleted;
  // Some key may be held more than once (an add found it present). Then a
  // delete must find the next copy in the sequence, and goes that way.
  mutable bool i_copies = false;
  mutable std::vector<Position> i_order;  // ascending key order
  mutable std::vector<uint32_t> i_pending;  // slots added but not yet in i_order, oldest first
  mutable double i_pending_precision = 0;  // DS_Precision when the first of them was added
  // Text keys also lead through a hash to the slot of their first entry. The
  // searches would find that same entry: every real key sorts before every
  // text, and texts compare exactly (no tolerance), so the sequence is
  // partitioned for any text. A map read from a text whose keys are out of
  // order, or holding a key that is not valid UTF-8 (which the UTF-16
  // comparison could find equal to another text), goes without the index.
  TextSlotTable i_index;
  bool i_indexed = true;
  // The text of the entry in slot (for the index's comparisons).
  auto TextOf() const {
    return [this](uint32_t slot) -> const std::string& { return i_entries[slot].key.str; };
  }
  // Real keys likewise lead to the slot of their first entry, while the map
  // is "separated": its real keys are finite, in ascending order, and no two
  // different ones are equal within the precision. Then the keys equal to an
  // existing key k are exactly the copies of k, and an exact hit is what the
  // search finds; a miss still searches (a key may be equal within the
  // precision without being identical). Checked again whenever the precision
  // has changed since.
  bool RealIndexUsable() const;
  void ValidateReals() const;
  mutable RealSlotTable i_rindex;
  mutable bool i_rseparated = true;
  mutable double i_rprecision = DS_Precision;
};

class CDS_Priority {
 public:
  static constexpr int kHeader = 501;
  std::vector<RValue> i_val;       // values, unordered
  std::vector<RValue> i_priority;  // their priorities, parallel

  int Size() const { return static_cast<int>(i_val.size()); }
  void Clear() {
    i_val.clear();
    i_priority.clear();
  }
  void Assign(const CDS_Priority& other) {
    i_val = other.i_val;
    i_priority = other.i_priority;
  }
  void Add(const RValue& value, const RValue& priority);
  void ChangePriority(const RValue& value, const RValue& priority);
  RValue FindPriority(const RValue& value) const;
  void DeleteValue(const RValue& value);
  RValue FindMin() const;
  RValue DeleteMin();
  RValue FindMax() const;
  RValue DeleteMax();
  std::string WriteToString() const;
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);

 private:
  int FindValueIndex(const RValue& value) const;
  int MinIndex() const;
  int MaxIndex() const;
  void RemoveAt(int index);
};

class CDS_Grid {
 public:
  static constexpr int kHeader = 601;
  enum Op { kSet, kAdd, kMultiply };

  int i_w = 0;
  int i_h = 0;
  std::vector<RValue> i_val;  // column-major: cell (x, y) is i_val[x * i_h + y]

  // Callers check the size with ValidSize first.
  static bool ValidSize(int64_t w, int64_t h) {
    return w >= 0 && h >= 0 && w <= kDSMaxGridCells && h <= kDSMaxGridCells && w * h <= kDSMaxGridCells;
  }
  void Resize(int w, int h);
  void Assign(const CDS_Grid& other);
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < i_w && y < i_h; }
  RValue& Cell(int64_t x, int64_t y) { return i_val[static_cast<size_t>(x * i_h + y)]; }
  const RValue& Cell(int64_t x, int64_t y) const { return i_val[static_cast<size_t>(x * i_h + y)]; }

  void Clear(const RValue& v);
  static void Apply(RValue& cell, const RValue& v, Op op);
  void ApplyCell(int64_t x, int64_t y, const RValue& v, Op op);
  void ApplyRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, Op op);
  void ApplyDisk(double xm, double ym, double r, const RValue& v, Op op);
  void ApplyGridRegion(const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t xpos,
                       int64_t ypos, Op op);
  RValue Get(int64_t x, int64_t y) const;

  enum Stat { kSum, kMax, kMin, kMean };
  double RegionStat(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Stat stat) const;
  double DiskStat(double xm, double ym, double r, Stat stat) const;
  // Finds the first cell equal to v, column by column; false when none.
  bool RegionFind(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, int& fx, int& fy) const;
  bool DiskFind(double xm, double ym, double r, const RValue& v, int& fx, int& fy) const;
  void Shuffle();
  std::string WriteToString() const;
  bool ReadFromString(const std::string& text, bool* malformed = nullptr);

 private:
  struct Rect {
    int64_t x1, y1, x2, y2;  // inclusive; empty when x1 > x2 or y1 > y2
  };
  Rect RegionRect(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  Rect DiskRect(double xm, double ym, double r) const;
  template <typename F>
  void ForDisk(double xm, double ym, double r, F&& f) const;
};
