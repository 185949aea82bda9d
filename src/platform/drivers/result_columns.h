// The column description of a result, shared instead of copied.
//
// A statement kept prepared gives the same columns at every run, and a
// keyed select run thousands of times would otherwise copy its column list
// (names, declared types) into every result. A ResultColumns holds the list
// by counted reference: the driver reads a kept statement's columns once,
// and each result of it, and each Recordset made from one, holds the same
// list. The list is never changed while shared: writing through mutate()
// first makes the holder's own copy, so a driver that reads new columns for
// a statement prepared again (its table changed) gives them to the results
// after, and results already handed out keep the columns they were made
// with, whatever happens to the statement or its connection afterwards.
//
// Reads as a const std::vector<ColumnInfo>. Like a vector, one object is
// not for two threads at once; two holders of one list on two threads are
// fine (the list is only read while shared).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/drivers/ado_type.h"
#include "runtime/internal_export.h"

namespace q6 {

struct Q6FD_INTERNAL ColumnInfo {
  std::string name;       // as the engine reports it
  std::string decl_type;  // the engine's type name ("INTEGER", "citext"); may be ""
  int32_t ado_type = kAdVariant;
};

class Q6FD_INTERNAL ResultColumns {
 public:
  using List = std::vector<ColumnInfo>;

  ResultColumns() = default;
  // A list of its own.
  ResultColumns(List columns)  // NOLINT(google-explicit-constructor): reads as the vector
      : list_(columns.empty() ? nullptr : std::make_shared<List>(std::move(columns))) {}
  ResultColumns(std::initializer_list<ColumnInfo> columns) : ResultColumns(List(columns)) {}

  // The list, read-only; valid while this object holds it (until it is
  // assigned, cleared, mutated or destroyed).
  const List& get() const { return list_ ? *list_ : Empty(); }
  operator const List&() const { return get(); }  // NOLINT(google-explicit-constructor)

  size_t size() const { return list_ ? list_->size() : 0; }
  bool empty() const { return size() == 0; }
  // REQUIRES: i < size().
  const ColumnInfo& operator[](size_t i) const { return (*list_)[i]; }
  List::const_iterator begin() const { return get().begin(); }
  List::const_iterator end() const { return get().end(); }

  // The list to change, this holder's own (copied first when shared).
  List& mutate() {
    if (!list_)
      list_ = std::make_shared<List>();
    else if (list_.use_count() > 1)
      list_ = std::make_shared<List>(*list_);
    return *list_;
  }
  void push_back(ColumnInfo c) { mutate().push_back(std::move(c)); }
  void clear() { list_.reset(); }

  // Whether `other` holds the very same list (not merely equal columns).
  bool SharesWith(const ResultColumns& other) const {
    return list_ != nullptr && list_ == other.list_;
  }

 private:
  static const List& Empty() {
    static const List empty;
    return empty;
  }

  std::shared_ptr<List> list_;  // null: no columns
};

}  // namespace q6
