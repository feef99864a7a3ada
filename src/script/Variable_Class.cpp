#include "script/Variable_Class.h"

#include "runner/Option_Main.h"

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
