// An ordered list whose items may carry a text key, found without regard to
// case: the storage behind EntityFields and EntityChildren.
//
// Items keep their insertion order (enumeration and positions follow it).
// Keys are lower-cased once, when the item is added, and kept in a hash
// index, so a lookup by key costs the same for an entity of 500 fields as for
// one of 5. Removing an item renumbers the positions after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {

template <class T>
class KeyedList {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  size_t size() const { return items_.size(); }
  const std::vector<T>& items() const { return items_; }
  // REQUIRES: i < size().
  const T& at(size_t i) const { return items_[i]; }

  // Index of the item with `key` (any case), or npos.
  size_t Find(std::string_view key) const { return FindLowered(ToLower(key)); }
  // The same for a key already lower-cased.
  size_t FindLowered(const std::string& lower) const {
    auto it = index_.find(lower);
    return it == index_.end() ? npos : it->second;
  }

  // Appends `item`, under `key` when one is given.
  // REQUIRES: no item has that key (Find(*key) == npos).
  void Append(std::optional<std::string_view> key, T item) {
    std::optional<std::string> lower;
    if (key) lower = ToLower(*key);
    AppendLowered(std::move(lower), std::move(item));
  }
  // The same for a key already lower-cased.
  void AppendLowered(std::optional<std::string> lower, T item) {
    if (lower) index_.emplace(*lower, items_.size());
    items_.push_back(std::move(item));
    keys_.push_back(std::move(lower));
  }

  // Puts `item` in place of the item at `i`, which keeps its key and position.
  void Replace(size_t i, T item) { items_[i] = std::move(item); }

  // Removes the item at `i`. REQUIRES: i < size().
  void Erase(size_t i) {
    if (keys_[i]) index_.erase(*keys_[i]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
    for (auto& [key, pos] : index_)
      if (pos > i) --pos;
  }

  // A copy with the same keys and order whose items are f(item).
  template <class F>
  KeyedList Transformed(F f) const {
    KeyedList out = *this;
    for (T& item : out.items_) item = f(item);
    return out;
  }

  void Clear() {
    items_.clear();
    keys_.clear();
    index_.clear();
  }

  // The index an automation argument names, as a keyed collection reads it:
  //   - text: the item with that key (any case); none -> error 5;
  //   - a number (Boolean included): the 1-based position, rounded to a Long;
  //     outside 1..size() -> error 9;
  //   - an object: its current value, read as above;
  //   - Empty, Null, Missing or any other value: error 5.
  size_t Resolve(const Variant& arg) const {
    Variant v = arg.Unwrapped();
    if (v.type() == VarType::String) {
      size_t i = Find(v.string());
      if (i == npos) ThrowVb(kVbInvalidProcedureCall);
      return i;
    }
    if (!v.IsNumeric()) ThrowVb(kVbInvalidProcedureCall);
    return Position(v.ToLong());
  }

  // The index of the 1-based `position`; outside 1..size() -> error 9.
  size_t Position(int64_t position) const {
    if (position < 1 || position > static_cast<int64_t>(items_.size()))
      ThrowVb(kVbSubscriptOutOfRange);
    return static_cast<size_t>(position - 1);
  }

 private:
  std::vector<T> items_;
  std::vector<std::optional<std::string>> keys_;  // lower-cased, parallel to items_
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace q6
