#include "library/Support_Data_Structures.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "library/Function_Math.h"
#include "runner/Support_Stream.h"

double DS_Precision = 1e-08;

int DS_CompareReals(double a, double b) {
  double d = std::fabs(a - b);
  double p = DS_Precision;
  if (p <= 0) p = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
  if (d <= p) return 0;
  return a < b ? -1 : 1;
}

int DS_CompareStrings(const std::string& a, const std::string& b) {
  // Texts that part at ASCII bytes (after an ASCII byte or at the start)
  // order as those bytes; anything else takes the UTF-16 comparison.
  size_t n = std::min(a.size(), b.size());
  const unsigned char* pa = reinterpret_cast<const unsigned char*>(a.data());
  const unsigned char* pb = reinterpret_cast<const unsigned char*>(b.data());
  size_t i = 0;
  while (i < n && pa[i] == pb[i]) ++i;
  if (i < n && pa[i] < 0x80 && pb[i] < 0x80 && (i == 0 || pa[i - 1] < 0x80)) return pa[i] < pb[i] ? -1 : 1;
  if (i == n) {
    if (a.size() == b.size()) return 0;
    if (i == 0 || pa[i - 1] < 0x80) return a.size() < b.size() ? -1 : 1;
  }
  return mathlib::CompareUtf16(a, b);
}

// ---------------------------------------------------------------------------
// Text forms
// ---------------------------------------------------------------------------

namespace {

// The smallest value record: kind, real and an empty string.
constexpr int64_t kMinValueBytes = 4 + 8 + 4;

int64_t Remaining(const CStream& s) { return static_cast<int64_t>(s.Size()) - static_cast<int64_t>(s.Position()); }

// A count read from a text must be non-negative and fit in the bytes left.
bool CountFits(const CStream& s, int64_t count, int64_t per_item) {
  return count >= 0 && count <= Remaining(s) / per_item;
}

bool ReadValues(CStream& s, int64_t count, std::vector<RValue>& out) {
  if (!CountFits(s, count, kMinValueBytes)) return false;
  out.clear();
  out.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out.push_back(DS_ReadValue(s));
  return true;
}

void WriteValues(CStream& s, const std::vector<RValue>& values) {
  for (const RValue& v : values) DS_WriteValue(s, v);
}

// Runs `body` over the bytes of a text. Returns false (and sets *malformed
// when the text itself is broken) unless the text holds the expected header
// and `body` read it completely.
template <typename F>
bool ReadText(const std::string& text, int header, bool* malformed, F&& body) {
  if (malformed) *malformed = false;
  bool broken = false;
  bool ok = false;
  try {
    CStream s;
    s.ConvertFromString(text);
    if (Remaining(s) < 4) {
      broken = true;
    } else if (s.ReadInteger() == header) {
      ok = body(s);
      broken = !ok;
    }
  } catch (const std::exception&) {
    broken = true;
    ok = false;
  }
  if (malformed) *malformed = broken;
  return ok;
}

}  // namespace

void DS_WriteValue(CStream& s, const RValue& v) {
  // Only the field of the value's kind is meaningful; the other one may hold
  // whatever an earlier use of the value left there, so it is written as 0 or
  // the empty text and the text depends on the contents alone.
  s.WriteInteger(v.kind);
  s.WriteReal(v.IsReal() ? v.val : 0.0);
  s.WriteString(v.IsString() ? std::string_view(v.str) : std::string_view());
}

RValue DS_ReadValue(CStream& s) {
  RValue v;
  int kind = s.ReadInteger();
  v.val = s.ReadReal();
  v.str = s.ReadString();
  // Only the two kinds exist; anything else reads as a real.
  v.kind = kind == RValue::kString ? RValue::kString : RValue::kReal;
  return v;
}

// ---------------------------------------------------------------------------
// Stack
// ---------------------------------------------------------------------------

RValue CDS_Stack::Pop() {
  if (i_val.empty()) return RValue();
  RValue v = std::move(i_val.back());
  i_val.pop_back();
  return v;
}

RValue CDS_Stack::Top() const { return i_val.empty() ? RValue() : i_val.back(); }

std::string CDS_Stack::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(Size());
  WriteValues(s, i_val);
  return s.ConvertToString();
}

bool CDS_Stack::ReadFromString(const std::string& text, bool* malformed) {
  std::vector<RValue> values;
  if (!ReadText(text, kHeader, malformed, [&](CStream& s) { return ReadValues(s, s.ReadInteger(), values); }))
    return false;
  i_val = std::move(values);
  return true;
}

// ---------------------------------------------------------------------------
// Queue
// ---------------------------------------------------------------------------

void CDS_Queue::Assign(const CDS_Queue& other) {
  i_first = other.i_first;
  i_last = other.i_last;
  i_val = other.i_val;
}

void CDS_Queue::Enqueue(const RValue& v) {
  if (static_cast<size_t>(i_first) >= i_val.size()) i_val.resize(i_val.size() + 16);
  i_val[static_cast<size_t>(i_first)] = v;
  ++i_first;
}

RValue CDS_Queue::Dequeue() {
  if (Size() <= 0) return RValue();
  RValue v = i_val[static_cast<size_t>(i_last)];
  ++i_last;
  // Once most of the array lies before the front, the live values move back
  // to the start; the slots after them keep their old contents.
  if (i_last > 16 && i_last > i_first / 2) {
    for (int k = i_last; k < i_first; ++k) i_val[static_cast<size_t>(k - i_last)] = i_val[static_cast<size_t>(k)];
    i_first -= i_last;
    i_last = 0;
  }
  return v;
}

RValue CDS_Queue::Head() const { return Size() > 0 ? i_val[static_cast<size_t>(i_last)] : RValue(); }
RValue CDS_Queue::Tail() const { return Size() > 0 ? i_val[static_cast<size_t>(i_first - 1)] : RValue(); }

std::string CDS_Queue::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(i_first);
  s.WriteInteger(i_last);
  s.WriteInteger(static_cast<int>(i_val.size()));
  WriteValues(s, i_val);
  return s.ConvertToString();
}

bool CDS_Queue::ReadFromString(const std::string& text, bool* malformed) {
  int first = 0, last = 0;
  std::vector<RValue> values;
  bool ok = ReadText(text, kHeader, malformed, [&](CStream& s) {
    first = s.ReadInteger();
    last = s.ReadInteger();
    int capacity = s.ReadInteger();
    if (!ReadValues(s, capacity, values)) return false;
    // The positions must describe a part of the array, or later operations
    // would index outside it.
    return 0 <= last && last <= first && first <= capacity;
  });
  if (!ok) return false;
  i_first = first;
  i_last = last;
  i_val = std::move(values);
  return true;
}

// ---------------------------------------------------------------------------
// List
// ---------------------------------------------------------------------------

void CDS_List::Insert(int64_t pos, const RValue& v) {
  if (pos < 0 || pos > Size()) return;
  i_val.insert(i_val.begin() + pos, v);
}

void CDS_List::Replace(int64_t pos, const RValue& v) {
  if (pos < 0 || pos >= Size()) return;
  i_val[static_cast<size_t>(pos)] = v;
}

void CDS_List::Delete(int64_t pos) {
  if (pos < 0 || pos >= Size()) return;
  i_val.erase(i_val.begin() + pos);
}

int CDS_List::FindIndex(const RValue& v) const {
  for (size_t i = 0; i < i_val.size(); ++i)
    if (DS_Compare(i_val[i], v) == 0) return static_cast<int>(i);
  return -1;
}

RValue CDS_List::FindValue(int64_t pos) const {
  if (pos < 0 || pos >= Size()) return RValue();
  return i_val[static_cast<size_t>(pos)];
}

namespace {
// True when no two different reals of the list are equal within the
// precision. Equality is then exact equality, the comparison is a strict weak
// order, and a stable sort gives what the insertion sort gives.
bool ComparisonIsConsistent(const std::vector<RValue>& values) {
  std::vector<double> reals;
  for (const RValue& v : values)
    if (v.IsReal()) reals.push_back(v.val);
  std::sort(reals.begin(), reals.end());
  for (size_t k = 1; k < reals.size(); ++k) {
    if (std::isnan(reals[k])) return false;
    if (reals[k] != reals[k - 1] && DS_Compare(RValue(reals[k - 1]), RValue(reals[k])) == 0) return false;
  }
  return true;
}
}  // namespace

void CDS_List::Sort(bool ascend) {
  if (i_val.size() < 2) return;
  if (i_val.size() > 16 && ComparisonIsConsistent(i_val)) {
    if (ascend) {
      std::stable_sort(i_val.begin(), i_val.end(),
                       [](const RValue& a, const RValue& b) { return DS_Compare(a, b) < 0; });
    } else {
      // The insertion sort puts each value before the equal values already
      // placed, so equal values end up in reverse order.
      std::reverse(i_val.begin(), i_val.end());
      std::stable_sort(i_val.begin(), i_val.end(),
                       [](const RValue& a, const RValue& b) { return DS_Compare(a, b) > 0; });
    }
    return;
  }
  // Insertion sort: ascending keeps equal values in order, descending reverses
  // them. With values equal only within the tolerance the comparison is not
  // transitive, and the exact order of swaps decides the result.
  for (size_t k = 1; k < i_val.size(); ++k) {
    size_t j = k;
    while (j > 0) {
      int c = DS_Compare(i_val[j - 1], i_val[j]);
      if (ascend ? c <= 0 : c > 0) break;
      std::swap(i_val[j - 1], i_val[j]);
      --j;
    }
  }
}

void CDS_List::Shuffle() {
  int n = Size();
  for (int64_t k = 0; k < 8 * static_cast<int64_t>(n); ++k) {
    int a = RandomInt(n);
    int b = RandomInt(n);
    std::swap(i_val[static_cast<size_t>(a)], i_val[static_cast<size_t>(b)]);
  }
}

std::string CDS_List::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(Size());
  WriteValues(s, i_val);
  return s.ConvertToString();
}

bool CDS_List::ReadFromString(const std::string& text, bool* malformed) {
  std::vector<RValue> values;
  if (!ReadText(text, kHeader, malformed, [&](CStream& s) { return ReadValues(s, s.ReadInteger(), values); }))
    return false;
  i_val = std::move(values);
  return true;
}

// ---------------------------------------------------------------------------
// Map
// ---------------------------------------------------------------------------

namespace {
bool ValidUtf8(const std::string& s) {
  size_t i = 0, n = s.size();
  // Map keys are mostly ASCII: whole words of it are passed at once.
  for (uint64_t w; i + 8 <= n; i += 8) {
    __builtin_memcpy(&w, s.data() + i, 8);
    if (w & 0x8080808080808080ull) break;
  }
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2; cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3; cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4; cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += len;
  }
  return true;
}
}  // namespace

void CDS_Map::Clear() {
  i_entries.clear();
  i_free.clear();
  i_deleted.clear();
  i_copies = false;
  i_order.clear();
  i_pending.clear();
  i_index.clear();
  i_indexed = true;
  i_rindex.clear();
  i_rseparated = true;
  i_rprecision = DS_Precision;
}

void CDS_Map::ValidateReals() const {
  Settle();
  i_rprecision = DS_Precision;
  i_rindex.clear();
  // An undefined precision makes no real equal to itself.
  bool ok = !std::isnan(DS_Precision);
  bool have_previous = false;
  double previous = 0;
  for (const Position& e : i_order) {
    if (!ok) break;
    if (e.is_text) continue;
    double v = e.real;
    if (!std::isfinite(v) || (have_previous && (v < previous || (v != previous && DS_CompareRealValues(previous, v) == 0)))) {
      ok = false;
      break;
    }
    previous = v;
    have_previous = true;
  }
  i_rseparated = ok;
  if (!ok) return;
  for (const Position& e : i_order)
    if (!e.is_text && i_rindex.put(e.real, e.slot, true)) i_copies = true;  // keeps the first copy
}

namespace {
bool SamePrecision(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
}  // namespace

bool CDS_Map::RealIndexUsable() const {
  if (!SamePrecision(i_rprecision, DS_Precision)) ValidateReals();
  return i_rseparated;
}

void CDS_Map::Assign(const CDS_Map& other) {
  if (&other == this) return;
  other.Settle();
  // Copies compactly: slot k holds position k.
  std::vector<Entry> entries;
  entries.reserve(other.i_order.size());
  for (const Position& e : other.i_order) entries.push_back(other.i_entries[e.slot]);
  i_entries = std::move(entries);
  i_free.clear();
  i_deleted.clear();
  i_copies = false;
  i_pending.clear();
  i_order.resize(i_entries.size());
  for (size_t k = 0; k < i_order.size(); ++k) i_order[k] = MakePosition(static_cast<uint32_t>(k), i_entries[k].key);
  i_indexed = other.i_indexed;
  RebuildIndex();
  ValidateReals();
}

void CDS_Map::RebuildIndex() {
  i_index.clear();
  if (!i_indexed) return;
  for (const Position& e : i_order) {
    const RValue& k = i_entries[e.slot].key;
    // Keeps the first of equal keys.
    if (k.IsString() && i_index.put(k.str, TextSlotTable::Hash(k.str), e.slot, true, TextOf())) i_copies = true;
  }
}

bool CDS_Map::IndexHash(const std::string& key, uint32_t& h) const {
  if (!i_indexed) return false;
  bool ascii;
  h = TextSlotTable::Hash(key, &ascii);
  return ascii || ValidUtf8(key);
}

int CDS_Map::Lower(const RValue& key) const {
  int first = 0, last = static_cast<int>(i_order.size()) - 1;
  while (last - first > 7) {
    int mid = (first + last) / 2;
    if (CompareAt(mid, key) < 0)
      first = mid + 1;
    else
      last = mid;
  }
  for (int p = first; p <= last; ++p)
    if (CompareAt(p, key) >= 0) return p;
  return last + 1;
}

int CDS_Map::Upper(const RValue& key) const {
  int first = 0, last = static_cast<int>(i_order.size()) - 1;
  while (last - first > 7) {
    int mid = (first + last) / 2;
    if (CompareAt(mid, key) > 0)
      last = mid - 1;
    else
      first = mid;
  }
  for (int p = last; p >= first; --p)
    if (CompareAt(p, key) <= 0) return p;
  return first - 1;
}

int CDS_Map::LowerSearch(const RValue& key) const {
  Settle();
  return Lower(key);
}

int CDS_Map::UpperSearch(const RValue& key) const {
  Settle();
  return Upper(key);
}

int CDS_Map::FindExact(const RValue& key) const {
  Settle();
  int p = Lower(key);
  if (p < Size() && CompareAt(p, key) == 0) return p;
  return -1;
}

int CDS_Map::FindExactSlot(const RValue& key) const {
  uint32_t h;
  if (key.IsString() && IndexHash(key.str, h)) return static_cast<int>(i_index.find(key.str, h, TextOf()));
  Settle();
  if (key.IsReal() && RealIndexUsable()) {
    int64_t slot = i_rindex.find(key.val);
    if (slot >= 0) return static_cast<int>(slot);
  }
  int p = FindExact(key);
  return p < 0 ? -1 : static_cast<int>(i_order[static_cast<size_t>(p)].slot);
}

uint32_t CDS_Map::NewEntry(const RValue& key, const RValue& value) {
  if (!i_free.empty()) {
    uint32_t slot = i_free.back();
    i_free.pop_back();
    i_entries[slot].key = key;
    i_entries[slot].val = value;
    return slot;
  }
  i_entries.push_back(Entry{key, value});
  return static_cast<uint32_t>(i_entries.size() - 1);
}

void CDS_Map::Place(uint32_t slot) const {
  const RValue& key = i_entries[slot].key;
  if (key.IsReal() && RealIndexUsable()) {
    int p = Upper(key) + 1;
    i_order.insert(i_order.begin() + p, MakePosition(slot, key));
    // Everything before p compares not greater than the key; only the key
    // just before it can be a different one equal within the precision.
    bool near = p > 0 && !i_order[static_cast<size_t>(p - 1)].is_text &&
                i_order[static_cast<size_t>(p - 1)].real != key.val && CompareAt(p - 1, key) == 0;
    if (!std::isfinite(key.val) || near) {
      i_rseparated = false;
      i_rindex.clear();
    } else if (i_rindex.put(key.val, slot, true)) {
      i_copies = true;
    }
    return;
  }
  i_order.insert(i_order.begin() + (Upper(key) + 1), MakePosition(slot, key));
}

bool CDS_Map::MergePending(const std::vector<uint32_t>& pending) const {
  // Sorting and merging places the keys as one insertion after another
  // would only while every comparison is exact: texts are (all valid UTF-8,
  // and those already held in order), and reals are once no two different
  // ones lie within the precision, which is checked on the result.
  bool reals = false;
  for (uint32_t slot : pending) reals = reals || i_entries[slot].key.IsReal();
  if (!i_indexed || (reals && !RealIndexUsable())) return false;
  auto less = [this](const Position& a, const Position& b) {
    if (a.is_text != b.is_text) return !a.is_text;
    if (!a.is_text) return a.real < b.real;
    return DS_CompareStrings(i_entries[a.slot].key.str, i_entries[b.slot].key.str) < 0;
  };
  std::vector<Position> added;
  added.reserve(pending.size());
  for (uint32_t slot : pending) added.push_back(MakePosition(slot, i_entries[slot].key));
  std::stable_sort(added.begin(), added.end(), less);
  std::vector<Position> merged(i_order.size() + added.size());
  // Of equal keys the merge takes those already held first.
  std::merge(i_order.begin(), i_order.end(), added.begin(), added.end(), merged.begin(), less);
  if (reals) {
    bool have_previous = false;
    double previous = 0;
    for (const Position& e : merged) {
      if (e.is_text) break;
      if (have_previous && e.real != previous && DS_CompareRealValues(previous, e.real) == 0) return false;
      previous = e.real;
      have_previous = true;
    }
  }
  i_order = std::move(merged);
  for (uint32_t slot : pending)
    if (i_entries[slot].key.IsReal() && i_rindex.put(i_entries[slot].key.val, slot, true)) i_copies = true;
  return true;
}

void CDS_Map::DropDeleted() const {
  std::vector<char> gone(i_entries.size(), 0);
  for (uint32_t slot : i_deleted) gone[slot] = 1;
  std::erase_if(i_order, [&](const Position& e) { return gone[e.slot] != 0; });
  std::erase_if(i_pending, [&](uint32_t slot) { return gone[slot] != 0; });
  i_free.insert(i_free.end(), i_deleted.begin(), i_deleted.end());
  i_deleted.clear();
}

void CDS_Map::SettlePending() const {
  if (!i_deleted.empty()) DropDeleted();
  if (i_pending.empty()) return;
  // The adds are placed under the precision they were made with.
  const double precision = DS_Precision;
  DS_Precision = i_pending_precision;
  std::vector<uint32_t> pending;
  pending.swap(i_pending);
  try {
    if (pending.size() < 8 || !MergePending(pending))
      for (uint32_t slot : pending) Place(slot);
  } catch (...) {
    DS_Precision = precision;
    throw;
  }
  DS_Precision = precision;
}

void CDS_Map::Add(const RValue& key, const RValue& value) {
  if (!i_pending.empty() && !SamePrecision(i_pending_precision, DS_Precision)) Settle();
  // Keys that the hash indexes serve wait; the others are placed at once.
  uint32_t h = 0;
  bool wait = key.IsString() ? IndexHash(key.str, h) : std::isfinite(key.val) && RealIndexUsable();
  if (wait) {
    if (i_pending.empty()) i_pending_precision = DS_Precision;
    uint32_t slot = NewEntry(key, value);
    i_pending.push_back(slot);
    // An earlier equal text stays the first; waiting ones come after it.
    if (key.IsString() && i_index.put(key.str, h, slot, true, TextOf())) i_copies = true;
    return;
  }
  Settle();
  uint32_t slot = NewEntry(key, value);
  Place(slot);
  if (!key.IsString() || !i_indexed) return;
  if (!ValidUtf8(key.str)) {
    i_indexed = false;
    i_index.clear();
    return;
  }
  // An earlier equal key stays the first.
  if (i_index.put(key.str, TextSlotTable::Hash(key.str), slot, true, TextOf())) i_copies = true;
}

void CDS_Map::Replace(const RValue& key, const RValue& value) {
  int slot = FindExactSlot(key);
  if (slot >= 0) i_entries[static_cast<size_t>(slot)].val = value;
}

bool CDS_Map::DeleteByIndex(const RValue& key) {
  // Without copies the entry the index leads to is the only one equal to
  // the key, so nothing else in the sequence or the indexes changes.
  if (i_copies) return false;
  uint32_t h;
  if (key.IsString() && IndexHash(key.str, h)) {
    int64_t slot = i_index.find(key.str, h, TextOf());
    if (slot >= 0) {
      i_index.erase(key.str, h, TextOf());
      i_entries[static_cast<size_t>(slot)] = Entry{};
      i_deleted.push_back(static_cast<uint32_t>(slot));
    }
    return true;
  }
  if (!key.IsReal()) return false;
  Settle();
  if (!RealIndexUsable()) return false;
  int64_t slot = i_rindex.find(key.val);
  if (slot < 0) return false;  // a key equal within the precision may still be held
  i_rindex.erase(key.val);
  i_entries[static_cast<size_t>(slot)] = Entry{};
  i_deleted.push_back(static_cast<uint32_t>(slot));
  return true;
}

void CDS_Map::Delete(const RValue& key) {
  if (DeleteByIndex(key)) return;
  int p = FindExact(key);
  if (p < 0) return;
  uint32_t slot = i_order[static_cast<size_t>(p)].slot;
  i_order.erase(i_order.begin() + p);
  if (i_rseparated && i_entries[slot].key.IsReal()) {
    // The next copy of the same real, if any, now stands at p.
    double v = i_entries[slot].key.val;
    if (p < static_cast<int>(i_order.size()) && !i_order[static_cast<size_t>(p)].is_text &&
        i_order[static_cast<size_t>(p)].real == v)
      i_rindex.put(v, i_order[static_cast<size_t>(p)].slot, false);
    else
      i_rindex.erase(v);
  }
  if (i_indexed && i_entries[slot].key.IsString()) {
    // The next entry with the same text, if any, now stands at p.
    const std::string& text = i_entries[slot].key.str;
    uint32_t h = TextSlotTable::Hash(text);
    if (p < static_cast<int>(i_order.size()) && Key(p).IsString() && Key(p).str == text)
      i_index.put(text, h, i_order[static_cast<size_t>(p)].slot, false, TextOf());
    else
      i_index.erase(text, h, TextOf());
  }
  i_entries[slot] = Entry{};  // let go of the texts now
  i_free.push_back(slot);
}


RValue CDS_Map::FindValue(const RValue& key) const {
  const RValue* v = FindValuePointer(key);
  return v != nullptr ? *v : RValue();
}

RValue CDS_Map::FindPrevious(const RValue& key) const {
  Settle();
  int p = Lower(key) - 1;
  return p >= 0 && p < Size() ? Key(p) : RValue();
}

RValue CDS_Map::FindNext(const RValue& key) const {
  Settle();
  int p = Upper(key) + 1;
  return p >= 0 && p < Size() ? Key(p) : RValue();
}

RValue CDS_Map::FindFirst() const { return Size() > 0 ? Key(0) : RValue(); }
RValue CDS_Map::FindLast() const { return Size() > 0 ? Key(Size() - 1) : RValue(); }

std::string CDS_Map::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(Size());
  for (int p = 0; p < Size(); ++p) DS_WriteValue(s, Key(p));
  for (int p = 0; p < Size(); ++p) DS_WriteValue(s, Value(p));
  return s.ConvertToString();
}

bool CDS_Map::ReadFromString(const std::string& text, bool* malformed) {
  std::vector<RValue> keys, values;
  bool ok = ReadText(text, kHeader, malformed, [&](CStream& s) {
    int n = s.ReadInteger();
    if (!CountFits(s, n, 2 * kMinValueBytes)) return false;
    return ReadValues(s, n, keys) && ReadValues(s, n, values);
  });
  if (!ok) return false;
  // Keys are kept in the order written; a text with unsorted keys still
  // reads, and the searches then behave as they would on that order.
  Clear();
  i_entries.reserve(keys.size());
  const RValue* previous_text = nullptr;
  for (size_t k = 0; k < keys.size(); ++k) {
    const RValue& key = keys[k];
    if (key.IsString()) {
      if (!ValidUtf8(key.str) || (previous_text && mathlib::CompareUtf16(previous_text->str, key.str) > 0))
        i_indexed = false;
      previous_text = &key;
    } else if (previous_text) {
      i_indexed = false;  // a real after a text
    }
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    i_entries.push_back(Entry{std::move(keys[k]), std::move(values[k])});
    i_order.push_back(MakePosition(static_cast<uint32_t>(k), i_entries.back().key));
  }
  RebuildIndex();
  ValidateReals();
  return true;
}

// ---------------------------------------------------------------------------
// Priority queue
// ---------------------------------------------------------------------------

void CDS_Priority::Add(const RValue& value, const RValue& priority) {
  i_val.push_back(value);
  i_priority.push_back(priority);
}

int CDS_Priority::FindValueIndex(const RValue& value) const {
  for (size_t i = 0; i < i_val.size(); ++i)
    if (DS_Compare(i_val[i], value) == 0) return static_cast<int>(i);
  return -1;
}

void CDS_Priority::ChangePriority(const RValue& value, const RValue& priority) {
  int i = FindValueIndex(value);
  if (i >= 0) i_priority[static_cast<size_t>(i)] = priority;
}

RValue CDS_Priority::FindPriority(const RValue& value) const {
  int i = FindValueIndex(value);
  return i >= 0 ? i_priority[static_cast<size_t>(i)] : RValue();
}

void CDS_Priority::RemoveAt(int index) {
  // The last entry takes the place of the removed one.
  size_t i = static_cast<size_t>(index);
  if (i + 1 != i_val.size()) {
    i_val[i] = std::move(i_val.back());
    i_priority[i] = std::move(i_priority.back());
  }
  i_val.pop_back();
  i_priority.pop_back();
}

void CDS_Priority::DeleteValue(const RValue& value) {
  int i = FindValueIndex(value);
  if (i >= 0) RemoveAt(i);
}

int CDS_Priority::MinIndex() const {
  if (i_val.empty()) return -1;
  int best = 0;
  for (size_t i = 1; i < i_priority.size(); ++i)
    if (DS_Compare(i_priority[i], i_priority[static_cast<size_t>(best)]) < 0) best = static_cast<int>(i);
  return best;
}

int CDS_Priority::MaxIndex() const {
  if (i_val.empty()) return -1;
  int best = 0;
  for (size_t i = 1; i < i_priority.size(); ++i)
    if (DS_Compare(i_priority[i], i_priority[static_cast<size_t>(best)]) > 0) best = static_cast<int>(i);
  return best;
}

RValue CDS_Priority::FindMin() const {
  int i = MinIndex();
  return i >= 0 ? i_val[static_cast<size_t>(i)] : RValue();
}

RValue CDS_Priority::FindMax() const {
  int i = MaxIndex();
  return i >= 0 ? i_val[static_cast<size_t>(i)] : RValue();
}

RValue CDS_Priority::DeleteMin() {
  int i = MinIndex();
  if (i < 0) return RValue();
  RValue v = i_val[static_cast<size_t>(i)];
  RemoveAt(i);
  return v;
}

RValue CDS_Priority::DeleteMax() {
  int i = MaxIndex();
  if (i < 0) return RValue();
  RValue v = i_val[static_cast<size_t>(i)];
  RemoveAt(i);
  return v;
}

std::string CDS_Priority::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(Size());
  WriteValues(s, i_priority);
  WriteValues(s, i_val);
  return s.ConvertToString();
}

bool CDS_Priority::ReadFromString(const std::string& text, bool* malformed) {
  std::vector<RValue> priorities, values;
  bool ok = ReadText(text, kHeader, malformed, [&](CStream& s) {
    int n = s.ReadInteger();
    if (!CountFits(s, n, 2 * kMinValueBytes)) return false;
    return ReadValues(s, n, priorities) && ReadValues(s, n, values);
  });
  if (!ok) return false;
  i_priority = std::move(priorities);
  i_val = std::move(values);
  return true;
}

// ---------------------------------------------------------------------------
// Grid
// ---------------------------------------------------------------------------

void CDS_Grid::Resize(int w, int h) {
  if (w == i_w && h == i_h) return;
  std::vector<RValue> cells(static_cast<size_t>(w) * static_cast<size_t>(h));
  int cw = std::min(w, i_w), ch = std::min(h, i_h);
  for (int x = 0; x < cw; ++x)
    for (int y = 0; y < ch; ++y)
      cells[static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y)] = std::move(Cell(x, y));
  i_val = std::move(cells);
  i_w = w;
  i_h = h;
}

void CDS_Grid::Assign(const CDS_Grid& other) {
  i_w = other.i_w;
  i_h = other.i_h;
  i_val = other.i_val;
}

void CDS_Grid::Clear(const RValue& v) {
  for (RValue& c : i_val) c = v;
}

void CDS_Grid::Apply(RValue& cell, const RValue& v, Op op) {
  switch (op) {
    case kSet:
      cell = v;
      break;
    case kAdd:
      if (cell.kind != v.kind)
        cell = v;
      else if (cell.IsReal())
        cell.val += v.val;
      else
        cell.str += v.str;
      break;
    case kMultiply:
      if (cell.IsReal() && v.IsReal()) cell.val *= v.val;
      break;
  }
}

void CDS_Grid::ApplyCell(int64_t x, int64_t y, const RValue& v, Op op) {
  if (Inside(x, y)) Apply(Cell(x, y), v, op);
}

CDS_Grid::Rect CDS_Grid::RegionRect(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  Rect r{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  r.x1 = std::max<int64_t>(r.x1, 0);
  r.y1 = std::max<int64_t>(r.y1, 0);
  r.x2 = std::min<int64_t>(r.x2, i_w - 1);
  r.y2 = std::min<int64_t>(r.y2, i_h - 1);
  return r;
}

void CDS_Grid::ApplyRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, Op op) {
  Rect r = RegionRect(x1, y1, x2, y2);
  for (int64_t x = r.x1; x <= r.x2; ++x)
    for (int64_t y = r.y1; y <= r.y2; ++y) Apply(Cell(x, y), v, op);
}

CDS_Grid::Rect CDS_Grid::DiskRect(double xm, double ym, double r) const {
  double fx1 = std::floor(xm - r), fx2 = std::ceil(xm + r);
  double fy1 = std::floor(ym - r), fy2 = std::ceil(ym + r);
  if (std::isnan(fx1) || std::isnan(fx2) || std::isnan(fy1) || std::isnan(fy2)) return Rect{0, 0, -1, -1};
  // Clamped as reals first, so that huge centres or radii cannot overflow.
  auto cl = [](double v, int64_t hi) { return static_cast<int64_t>(std::clamp(v, -1.0, static_cast<double>(hi))); };
  Rect rect{cl(fx1, i_w), cl(fy1, i_h), cl(fx2, i_w), cl(fy2, i_h)};
  rect.x1 = std::max<int64_t>(rect.x1, 0);
  rect.y1 = std::max<int64_t>(rect.y1, 0);
  rect.x2 = std::min<int64_t>(rect.x2, i_w - 1);
  rect.y2 = std::min<int64_t>(rect.y2, i_h - 1);
  return rect;
}

template <typename F>
void CDS_Grid::ForDisk(double xm, double ym, double r, F&& f) const {
  Rect rect = DiskRect(xm, ym, r);
  double r2 = r * r;
  for (int64_t x = rect.x1; x <= rect.x2; ++x)
    for (int64_t y = rect.y1; y <= rect.y2; ++y) {
      double dx = static_cast<double>(x) - xm, dy = static_cast<double>(y) - ym;
      if (dx * dx + dy * dy <= r2) {
        if (!f(x, y)) return;
      }
    }
}

void CDS_Grid::ApplyDisk(double xm, double ym, double r, const RValue& v, Op op) {
  ForDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    Apply(Cell(x, y), v, op);
    return true;
  });
}

void CDS_Grid::ApplyGridRegion(const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                               int64_t xpos, int64_t ypos, Op op) {
  Rect r = source.RegionRect(x1, y1, x2, y2);
  if (r.x1 > r.x2 || r.y1 > r.y2) return;
  // A negative target position cuts the front of the source rectangle off.
  if (xpos < 0) {
    r.x1 -= xpos;
    xpos = 0;
  }
  if (ypos < 0) {
    r.y1 -= ypos;
    ypos = 0;
  }
  r.x2 = std::min(r.x2, r.x1 + (i_w - 1 - xpos));
  r.y2 = std::min(r.y2, r.y1 + (i_h - 1 - ypos));
  if (r.x1 > r.x2 || r.y1 > r.y2) return;
  // Visit in the direction that never reads a cell already written, so a grid
  // copied onto itself does not smear.
  bool xback = r.x1 < xpos, yback = r.y1 < ypos;
  int64_t nx = r.x2 - r.x1 + 1, ny = r.y2 - r.y1 + 1;
  for (int64_t i = 0; i < nx; ++i) {
    int64_t sx = xback ? r.x2 - i : r.x1 + i;
    for (int64_t j = 0; j < ny; ++j) {
      int64_t sy = yback ? r.y2 - j : r.y1 + j;
      RValue v = source.Cell(sx, sy);
      Apply(Cell(xpos + sx - r.x1, ypos + sy - r.y1), v, op);
    }
  }
}

RValue CDS_Grid::Get(int64_t x, int64_t y) const { return Inside(x, y) ? Cell(x, y) : RValue(); }

namespace {
struct StatAcc {
  double sum = 0, max = -100000000.0, min = 100000000.0;
  int64_t count = 0;
  void Add(const RValue& v) {
    if (!v.IsReal()) return;
    sum += v.val;
    if (v.val >= max) max = v.val;
    if (v.val <= min) min = v.val;
    ++count;
  }
  double Result(CDS_Grid::Stat stat) const {
    switch (stat) {
      case CDS_Grid::kSum: return sum;
      case CDS_Grid::kMax: return max;
      case CDS_Grid::kMin: return min;
      case CDS_Grid::kMean: return count > 0 ? sum / static_cast<double>(count) : 0.0;
    }
    return 0;
  }
};
}  // namespace

double CDS_Grid::RegionStat(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Stat stat) const {
  Rect r = RegionRect(x1, y1, x2, y2);
  StatAcc acc;
  for (int64_t x = r.x1; x <= r.x2; ++x)
    for (int64_t y = r.y1; y <= r.y2; ++y) acc.Add(Cell(x, y));
  return acc.Result(stat);
}

double CDS_Grid::DiskStat(double xm, double ym, double r, Stat stat) const {
  StatAcc acc;
  ForDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    acc.Add(Cell(x, y));
    return true;
  });
  return acc.Result(stat);
}

bool CDS_Grid::RegionFind(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, int& fx, int& fy) const {
  Rect r = RegionRect(x1, y1, x2, y2);
  for (int64_t x = r.x1; x <= r.x2; ++x)
    for (int64_t y = r.y1; y <= r.y2; ++y)
      if (DS_Compare(Cell(x, y), v) == 0) {
        fx = static_cast<int>(x);
        fy = static_cast<int>(y);
        return true;
      }
  return false;
}

bool CDS_Grid::DiskFind(double xm, double ym, double r, const RValue& v, int& fx, int& fy) const {
  bool found = false;
  ForDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    if (DS_Compare(Cell(x, y), v) != 0) return true;
    fx = static_cast<int>(x);
    fy = static_cast<int>(y);
    found = true;
    return false;
  });
  return found;
}

void CDS_Grid::Shuffle() {
  int64_t n = 8 * static_cast<int64_t>(i_w) * i_h;
  for (int64_t k = 0; k < n; ++k) {
    int x1 = RandomInt(i_w), x2 = RandomInt(i_w);
    int y1 = RandomInt(i_h), y2 = RandomInt(i_h);
    std::swap(Cell(x1, y1), Cell(x2, y2));
  }
}

std::string CDS_Grid::WriteToString() const {
  CStream s;
  s.WriteInteger(kHeader);
  s.WriteInteger(i_w);
  s.WriteInteger(i_h);
  WriteValues(s, i_val);  // column by column, as the cells are held
  return s.ConvertToString();
}

bool CDS_Grid::ReadFromString(const std::string& text, bool* malformed) {
  int w = 0, h = 0;
  std::vector<RValue> cells;
  bool ok = ReadText(text, kHeader, malformed, [&](CStream& s) {
    w = s.ReadInteger();
    h = s.ReadInteger();
    if (!ValidSize(w, h)) return false;
    return ReadValues(s, static_cast<int64_t>(w) * h, cells);
  });
  if (!ok) return false;
  i_w = w;
  i_h = h;
  i_val = std::move(cells);
  return true;
}
