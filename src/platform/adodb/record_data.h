// The rows of a client cursor and the cursor over them.
//
// One RecordData is shared (std::shared_ptr) by a Recordset, its Fields
// collection and every Field handed out, so a Field stays usable as long as
// anyone holds it and always shows the current row of its recordset. All
// rows live in memory, row-major (the fetched ones, then those added); a view (all rows, a range of
// rows or a list of rows) is what Filter leaves visible, and the position is an index into the
// view. Not thread-safe: it belongs to its recordset's apartment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/drivers/driver.h"
#include "runtime/function_ref.h"
#include "runtime/internal_export.h"

namespace q6 {

// The rows a filter leaves visible.
struct Q6FD_INTERNAL RowView {
  enum Kind { kAll, kRange, kList } kind = kAll;
  size_t lo = 0, hi = 0;     // kRange: rows [lo, hi)
  std::vector<size_t> rows;  // kList: rows in order
};

// Index of the first of `columns` named `name` (any case, as FindColumn
// compares); -1 when there is none. Linear: for a lookup made once per
// result shape, or on a narrow result.
Q6FD_INTERNAL int FindColumnIn(const std::vector<ColumnInfo>& columns, std::string_view name);

// Whether a column's values are in non-decreasing order (for filters).
struct Q6FD_INTERNAL ColumnOrder {
  enum State : uint8_t { kUnknown, kOrdered, kUnordered } state = kUnknown;
  size_t null_prefix = 0;  // kOrdered: rows [0, null_prefix) are Null
};

// A row written through a Field and not yet sent to the database.
struct Q6FD_INTERNAL RowEdit {
  bool is_new = false;            // added by AddNew
  std::vector<Variant> original;  // the row as fetched (not for new rows)
  // Columns put since the fetch or AddNew, one byte each, so that rows with
  // the same columns are found by one memcmp.
  std::vector<uint8_t> dirty;
};

class Q6FD_INTERNAL RecordData {
 public:
  // Takes the rows of `r`; the position is the first row (or BOF/EOF).
  void Load(ResultSet&& r, bool updatable);
  // Drops everything; open() becomes false.
  void Clear();
  bool open() const { return open_; }
  bool updatable() const { return updatable_; }

  size_t column_count() const { return columns_.size(); }
  const std::vector<ColumnInfo>& columns() const { return columns_; }
  const ColumnInfo& column(size_t c) const { return columns_[c]; }
  // Index of the column named `name` (any case); -1 when there is none.
  int FindColumn(std::string_view name) const;

  size_t row_count() const { return rows_; }
  // REQUIRES: row < row_count(), col < column_count().
  const Variant& cell(size_t row, size_t col) const {
    return row < fetched_ ? cells_[row * columns_.size() + col]
                          : added_[(row - fetched_) * columns_.size() + col];
  }
  // Appends to `out` the cells of `row` in `columns`, in that order, as
  // pointers valid until the rows change (a writer binds them where they
  // are). REQUIRES: row < row_count(), every column < column_count().
  void AppendCells(size_t row, std::span<const size_t> columns,
                   std::vector<const Variant*>* out) const;

  // --- the view and the position ---
  size_t view_size() const;
  size_t view_row(size_t i) const;
  // Makes `v` the view and its first row current.
  void SetView(RowView v);
  bool bof() const { return view_size() == 0 || pos_ < 0; }
  bool eof() const { return view_size() == 0 || pos_ >= static_cast<ptrdiff_t>(view_size()); }
  // Moves to the view index `i` (-1 is BOF, view_size() is EOF).
  void MoveTo(ptrdiff_t i) { pos_ = i; }
  ptrdiff_t position() const { return pos_; }
  // The current row. Raises 3021 when BOF or EOF, 3704 when closed.
  size_t current() const;
  // The current value of column `col`; raises as current().
  const Variant& Value(size_t col) const { return cell(current(), col); }

  // --- edits ---
  // Puts `v` into column `col` of the current row. Raises 3251 when the
  // recordset cannot write rows, 3021 without a current row.
  void Put(size_t col, Variant&& v);
  // Appends a row of Nulls, makes it visible and current.
  void AddRow() { AddRow({}, {}); }
  // Appends a row with values[i] in column columns[i] (those columns put, as
  // by Put) and Null in the others, makes it visible and current.
  // REQUIRES: columns.size() == values.size(), every column < column_count().
  void AddRow(std::span<const size_t> columns, std::span<Variant> values);
  // The same with each value made in its cell: value(i) gives the value of
  // columns[i]. It is called once for each column named (the last i of a
  // column named twice), in column order. When it raises, no row is added.
  // REQUIRES: every column < column_count().
  void AddRow(std::span<const size_t> columns, FunctionRef<Variant(size_t)> value);
  std::map<size_t, RowEdit>& edits() { return edits_; }
  // Whether the current row has an edit not yet sent.
  bool CurrentEdited() const;

  // --- filter support ---
  // Made at the first filter: most results are never filtered, and a
  // result read once should not pay for what only a filter reads.
  ColumnOrder& order(size_t col) {
    if (orders_.size() != columns_.size()) orders_.assign(columns_.size(), ColumnOrder{});
    return orders_[col];
  }

 private:
  void Invalidate();

  bool open_ = false;
  bool updatable_ = false;
  ResultColumns columns_;  // shared with the statement that made the rows
  // Lower-cased names, for results wider than kIndexedColumns, made at the
  // first lookup by name (many results are read by position); narrower ones
  // are searched in place, which costs less than building the index.
  static constexpr size_t kIndexedColumns = 16;
  mutable std::unordered_map<std::string, int> by_name_;
  Variant& mutable_cell(size_t row, size_t col) {
    return const_cast<Variant&>(static_cast<const RecordData&>(*this).cell(row, col));
  }

  CellStore cells_;     // the fetched rows, row-major
  size_t fetched_ = 0;  // rows in cells_
  // Rows added by AddRow, after the fetched ones, row-major, in blocks that
  // never move (a batch of many rows is not copied as it grows).
  CellStore added_;
  size_t rows_ = 0;
  RowView view_;
  ptrdiff_t pos_ = 0;
  std::map<size_t, RowEdit> edits_;
  std::vector<ColumnOrder> orders_;
  std::vector<int> source_scratch_;  // AddRow's column-to-value map, kept for its buffer
};

}  // namespace q6
