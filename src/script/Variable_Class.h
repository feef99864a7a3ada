#pragma once
// Named variables of one owner (an instance, the globals, or the locals of one
// code execution). Every variable has a plain value and a two-level array; the
// combined index c = i * 32000 + j addresses element [i, j], and c == 0 is the
// plain value itself.
#include <cstdint>
#include <memory>
#include <vector>

#include "script/RValue.h"

class CStream;

constexpr int kArrayDim = 32000;

struct RVariable {
  int ind = 0;                             // variable id
  RValue simplevalue;                      // also element [0] and [0,0]
  std::vector<std::vector<RValue>> value;  // row i holds elements [i, j]
};

class CVariableList {
 public:
  std::vector<RVariable> v_vars;  // in creation order
  int v_numb = 0;

  CVariableList() = default;
  CVariableList(const CVariableList& other) { Assign(other); }
  CVariableList& operator=(const CVariableList& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  void Clear();
  void Assign(const CVariableList& source);
  void SetVar(int id, int index, const RValue& value);
  // Honours opt_uninitzero: with it on a missing element reads as real 0.
  bool GetVar(int id, int index, RValue& out) const;
  void Init(int id);
  void SaveToStream(CStream& stream) const;
  // False when the stream does not hold a list in this format (the list is
  // then left empty and nothing more is read); broken contents throw.
  bool LoadFromStream(CStream& stream);

  // Fast access for the interpreter. `cache` is a caller-kept hint (the
  // position where the id was found last); it is checked before use, so any
  // value is safe.
  RVariable* Find(int id, int& cache) {
    if (RVariable* v = Cached(id, cache)) return v;
    return FindSlow(id, cache);
  }
  // The variable at the cached position when it is the one; no search.
  RVariable* Cached(int id, int cache) {
    // Bounds in bytes: size() would divide by the element size.
    const size_t at = static_cast<unsigned>(cache);
    const size_t bytes = static_cast<size_t>(reinterpret_cast<const char*>(std::to_address(v_vars.end())) -
                                             reinterpret_cast<const char*>(v_vars.data()));
    if (at * sizeof(RVariable) < bytes && v_vars.data()[at].ind == id) return v_vars.data() + at;
    return nullptr;
  }
  RVariable* FindSlow(int id, int& cache);
  RVariable& FindOrAdd(int id, int& cache);
  RVariable* Find(int id) {
    int c = -1;
    return Find(id, c);
  }
  // The element at a combined index, or nullptr when it does not exist.
  static const RValue* Element(const RVariable& var, int index) {
    return index == 0 ? &var.simplevalue : ElementSlow(var, index);
  }
  static const RValue* ElementSlow(const RVariable& var, int index);
  // The element at a combined index, growing the array as needed.
  static RValue& ElementForWrite(RVariable& var, int index);

 private:
  int Lookup(int id) const;
  void Rehash();
  std::vector<int32_t> v_hash;  // open addressing: position + 1, 0 empty
};

// Copies a value without touching the text of a real (a real may keep stale
// text in `str`, which is never observed).
inline void CopyValue(RValue& dst, const RValue& src) {
  if (src.kind == RValue::kReal) {
    dst.kind = RValue::kReal;
    dst.val = src.val;
  } else {
    dst.kind = RValue::kString;
    dst.str = src.str;
  }
}
