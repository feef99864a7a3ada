#include "script/Variable_Class.h"

#include "runner/Option_Main.h"
#include "runner/Support_Stream.h"

namespace {
// Lists up to this size are searched linearly; larger ones get a hash index.
constexpr size_t kLinearLimit = 8;

inline uint32_t HashId(int id) { return static_cast<uint32_t>(id) * 2654435761u; }
}  // namespace

void CVariableList::Clear() {
  v_vars.clear();
  v_hash.clear();
  v_numb = 0;
}

void CVariableList::Assign(const CVariableList& source) {
  if (this == &source) return;
  v_vars = source.v_vars;
  v_numb = static_cast<int>(v_vars.size());
  v_hash.clear();
  Rehash();
}

void CVariableList::Rehash() {
  if (v_vars.size() <= kLinearLimit) {
    v_hash.clear();
    return;
  }
  size_t cap = 16;
  while (cap < v_vars.size() * 2) cap *= 2;
  v_hash.assign(cap, 0);
  for (size_t pos = 0; pos < v_vars.size(); ++pos) {
    uint32_t h = HashId(v_vars[pos].ind) & (cap - 1);
    while (v_hash[h] != 0) h = (h + 1) & (cap - 1);
    v_hash[h] = static_cast<int32_t>(pos + 1);
  }
}

int CVariableList::Lookup(int id) const {
  if (v_hash.empty()) {
    for (size_t pos = v_vars.size(); pos-- > 0;)
      if (v_vars[pos].ind == id) return static_cast<int>(pos);
    return -1;
  }
  size_t mask = v_hash.size() - 1;
  for (uint32_t h = HashId(id) & mask;; h = (h + 1) & mask) {
    int32_t e = v_hash[h];
    if (e == 0) return -1;
    if (v_vars[static_cast<size_t>(e - 1)].ind == id) return e - 1;
  }
}

RVariable* CVariableList::FindSlow(int id, int& cache) {
  int pos = Lookup(id);
  if (pos < 0) return nullptr;
  cache = pos;
  return &v_vars[static_cast<size_t>(pos)];
}

RVariable& CVariableList::FindOrAdd(int id, int& cache) {
  if (RVariable* var = Find(id, cache)) return *var;
  v_vars.emplace_back();
  v_vars.back().ind = id;
  v_numb = static_cast<int>(v_vars.size());
  cache = v_numb - 1;
  if (v_vars.size() > kLinearLimit) {
    if (v_hash.size() < v_vars.size() * 2) {
      Rehash();
    } else {
      size_t mask = v_hash.size() - 1;
      uint32_t h = HashId(id) & mask;
      while (v_hash[h] != 0) h = (h + 1) & mask;
      v_hash[h] = v_numb;
    }
  }
  return v_vars.back();
}

const RValue* CVariableList::ElementSlow(const RVariable& var, int index) {
  if (index == 0) return &var.simplevalue;
  if (index < 0) return nullptr;
  size_t i = static_cast<size_t>(index / kArrayDim), j = static_cast<size_t>(index % kArrayDim);
  if (i >= var.value.size() || j >= var.value[i].size()) return nullptr;
  return &var.value[i][j];
}

RValue& CVariableList::ElementForWrite(RVariable& var, int index) {
  if (index <= 0) return var.simplevalue;
  size_t i = static_cast<size_t>(index / kArrayDim), j = static_cast<size_t>(index % kArrayDim);
  if (var.value.size() < i + 1) var.value.resize(i + 1);
  auto& row = var.value[i];
  if (row.size() < j + 1) row.resize(j + 1);
  return row[j];
}

void CVariableList::SetVar(int id, int index, const RValue& value) {
  int cache = -1;
  CopyValue(ElementForWrite(FindOrAdd(id, cache), index), value);
}

bool CVariableList::GetVar(int id, int index, RValue& out) const {
  int pos = Lookup(id);
  if (pos >= 0) {
    if (const RValue* v = Element(v_vars[static_cast<size_t>(pos)], index)) {
      CopyValue(out, *v);
      return true;
    }
  }
  if (opt_uninitzero) {
    out.SetReal(0);
    return true;
  }
  return false;
}

void CVariableList::Init(int id) {
  int cache = -1;
  FindOrAdd(id, cache);
}

namespace {
constexpr int kListMarker = 440;

void WriteValue(CStream& s, const RValue& v) {
  s.WriteInteger(v.kind);
  s.WriteReal(v.kind == RValue::kReal ? v.val : 0.0);
  // A real may carry stale text; it is never observed, so it is not saved.
  s.WriteString(v.kind == RValue::kString ? std::string_view(v.str) : std::string_view());
}

void ReadValue(CStream& s, RValue& v) {
  int kind = s.ReadInteger();
  double val = s.ReadReal();
  std::string str = s.ReadString();
  if (kind == RValue::kString) v.SetString(std::move(str));
  else v.SetReal(val);
}

// Every stored value takes at least 16 bytes (kind, real, string length);
// counts beyond what remains are corrupt data, refused before allocating.
int32_t ReadCount(CStream& s, size_t itemsize) {
  int32_t n = s.ReadInteger();
  if (n < 0 || static_cast<size_t>(n) > s.Remaining() / itemsize) throw EStreamError("Stream read error: bad count");
  return n;
}
}  // namespace

void CVariableList::SaveToStream(CStream& stream) const {
  stream.WriteInteger(kListMarker);
  stream.WriteInteger(static_cast<int32_t>(v_vars.size()));
  for (const RVariable& var : v_vars) {
    stream.WriteInteger(var.ind);
    WriteValue(stream, var.simplevalue);
    stream.WriteInteger(static_cast<int32_t>(var.value.size()));
    for (const auto& row : var.value) {
      stream.WriteInteger(static_cast<int32_t>(row.size()));
      for (const RValue& v : row) WriteValue(stream, v);
    }
  }
}

bool CVariableList::LoadFromStream(CStream& stream) {
  Clear();
  if (stream.ReadInteger() != kListMarker) return false;
  int32_t n = ReadCount(stream, 24);
  v_vars.resize(static_cast<size_t>(n));
  for (RVariable& var : v_vars) {
    var.ind = stream.ReadInteger();
    ReadValue(stream, var.simplevalue);
    int32_t rows = ReadCount(stream, 4);
    if (rows > kArrayDim) throw EStreamError("Stream read error: too many rows");
    var.value.resize(static_cast<size_t>(rows));
    for (auto& row : var.value) {
      int32_t m = ReadCount(stream, 16);
      if (m > kArrayDim) throw EStreamError("Stream read error: row too long");
      row.resize(static_cast<size_t>(m));
      for (RValue& v : row) ReadValue(stream, v);
    }
  }
  v_numb = n;
  Rehash();
  return true;
}
