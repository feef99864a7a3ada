#pragma once
// The table shared by every resource kind: entries by index, some of which
// may be empty, with a parallel list of names. Lookup by name is exact and
// returns the lowest present index.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr const char* kUndefinedName = "<undefined>";

template <class T>
class CResourceList {
 public:
  int Count() const { return int(items_.size()); }
  bool Exists(int i) const { return i >= 0 && i < Count() && items_[size_t(i)] != nullptr; }
  T* Get(int i) const { return (i >= 0 && i < Count()) ? items_[size_t(i)].get() : nullptr; }
  std::string Name(int i) const { return Exists(i) ? names_[size_t(i)] : kUndefinedName; }
  // The stored name even of an empty entry ("" for indices outside).
  const std::string& RawName(int i) const {
    static const std::string empty;
    return (i >= 0 && i < Count()) ? names_[size_t(i)] : empty;
  }
  int Find(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[size_t(i)] && names_[size_t(i)] == name) return i;
    return -1;
  }

  // Appends an entry named "__new" + kind + index; returns the index.
  int Add(std::unique_ptr<T> item, const std::string& kind) {
    const int ind = Count();
    items_.push_back(std::move(item));
    names_.push_back("__new" + kind + std::to_string(ind));
    return ind;
  }
  // Removes the last entry (an add that failed).
  void DropLast() {
    if (!items_.empty()) {
      items_.pop_back();
      names_.pop_back();
    }
  }
  // Places an entry (or nothing) at an index inside the table.
  void Set(int i, std::unique_ptr<T> item, std::string name) {
    if (i < 0 || i >= Count()) return;
    items_[size_t(i)] = std::move(item);
    names_[size_t(i)] = std::move(name);
  }
  // Creates the entry at a valid index when it is empty; null outside.
  T* Ensure(int i) {
    if (i < 0 || i >= Count()) return nullptr;
    if (!items_[size_t(i)]) items_[size_t(i)] = std::make_unique<T>();
    return items_[size_t(i)].get();
  }
  // A copy of entry i appended under a new name; -1 when i is not present.
  int Duplicate(int i, const std::string& kind) {
    if (!Exists(i)) return -1;
    auto copy = std::make_unique<T>();
    copy->Assign(*items_[size_t(i)]);
    return Add(std::move(copy), kind);
  }
  // Entry j copied into entry i (created when empty); both must be valid
  // and j present.
  bool Assign(int i, int j) {
    if (i < 0 || i >= Count() || !Exists(j)) return false;
    if (i == j) return true;
    Ensure(i)->Assign(*items_[size_t(j)]);
    return true;
  }
  bool Delete(int i) {
    if (!Exists(i)) return false;
    items_[size_t(i)].reset();
    names_[size_t(i)].clear();
    return true;
  }
  void Clear() {
    items_.clear();
    names_.clear();
  }
  // Discards everything and makes n empty entries.
  void Reset(int n) {
    Clear();
    items_.resize(size_t(n));
    names_.resize(size_t(n));
  }

 private:
  std::vector<std::unique_ptr<T>> items_;
  std::vector<std::string> names_;
};
