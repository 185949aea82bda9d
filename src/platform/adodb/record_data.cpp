// Rows, view, position and edits of a client cursor.
#include "platform/adodb/record_data.h"

#include "platform/adodb/ado_errors.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char AsciiLower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c); }

// Whether two names are the same once lower-cased (ToLower). ASCII letters
// lower-case into ASCII letters, so names of the same length are compared a
// byte at a time up to the first other character; from there (any other
// letter may lower-case into ASCII, the Kelvin sign into 'k') they are
// lower-cased whole.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
      const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if ((x | y) >= 0x80) break;
      if (AsciiLower(x) != AsciiLower(y)) return false;  // the same prefix, then two letters
    }
    if (i == a.size()) return true;
  } else if (IsAscii(a) && IsAscii(b)) {
    return false;
  }
  return ToLower(a) == ToLower(b);
}
}  // namespace

void RecordData::Load(ResultSet&& r, bool updatable) {
  open_ = true;
  updatable_ = updatable;
  columns_ = std::move(r.columns);
  cells_ = std::move(r.cells);
  rows_ = r.row_count;
  fetched_ = rows_;
  // What an earlier opening left; a new recordset (each execution's) has
  // none, and skips the clearing.
  if (!added_.empty()) added_.clear();
  if (!by_name_.empty()) by_name_.clear();  // made at the first lookup by name
  if (view_.kind != RowView::kAll || !view_.rows.empty()) view_ = RowView{};
  pos_ = 0;
  if (!edits_.empty()) edits_.clear();
  orders_.clear();  // unknown until a filter asks (order())
}

void RecordData::Clear() {
  open_ = false;
  updatable_ = false;
  columns_.clear();
  by_name_.clear();
  cells_.clear();
  added_.clear();
  fetched_ = 0;
  rows_ = 0;
  view_ = RowView{};
  pos_ = 0;
  edits_.clear();
  orders_.clear();
}

int FindColumnIn(const std::vector<ColumnInfo>& columns, std::string_view name) {
  for (size_t c = 0; c < columns.size(); ++c)  // the first of a name
    if (SameName(columns[c].name, name)) return static_cast<int>(c);
  return -1;
}

int RecordData::FindColumn(std::string_view name) const {
  if (columns_.size() <= kIndexedColumns) return FindColumnIn(columns_, name);
  if (by_name_.empty())
    for (size_t c = 0; c < columns_.size(); ++c)
      by_name_.emplace(ToLower(columns_[c].name), static_cast<int>(c));  // first of a name wins
  auto it = by_name_.find(ToLower(name));
  return it == by_name_.end() ? -1 : it->second;
}

size_t RecordData::view_size() const {
  switch (view_.kind) {
    case RowView::kAll:
      return rows_;
    case RowView::kRange:
      return view_.hi - view_.lo;
    case RowView::kList:
      return view_.rows.size();
  }
  return 0;
}

size_t RecordData::view_row(size_t i) const {
  switch (view_.kind) {
    case RowView::kAll:
      return i;
    case RowView::kRange:
      return view_.lo + i;
    case RowView::kList:
      return view_.rows[i];
  }
  return i;
}

void RecordData::SetView(RowView v) {
  view_ = std::move(v);
  pos_ = 0;
}

size_t RecordData::current() const {
  if (!open_) ThrowAdo(kAdoObjectClosed, kSource);
  if (bof() || eof()) ThrowAdo(kAdoNoCurrentRecord, kSource);
  return view_row(static_cast<size_t>(pos_));
}

bool RecordData::CurrentEdited() const {
  if (!open_ || bof() || eof()) return false;
  return edits_.count(view_row(static_cast<size_t>(pos_))) != 0;
}

namespace {
// A cell keeps a plain value: an object stands for its default value (a
// Field for its current value), a reference for what it refers to.
bool NeedsUnwrap(const Variant& v) { return v.IsObject() || v.IsByRef(); }
void Store(Variant& slot, Variant&& v) {
  if (NeedsUnwrap(v))
    slot = v.Unwrapped();
  else
    slot = std::move(v);
}
}  // namespace

void RecordData::Put(size_t col, Variant&& v) {
  size_t row = current();
  if (!updatable_) ThrowAdo(kAdoNotUpdatable, kSource);
  // Rows are mostly written right after AddNew, which keeps the new row's
  // edit last: found without a search then.
  auto it =
      !edits_.empty() && edits_.rbegin()->first == row ? std::prev(edits_.end()) : edits_.find(row);
  const bool added = it == edits_.end();
  if (added) it = edits_.try_emplace(row).first;
  RowEdit& e = it->second;
  if (added) {
    e.original.reserve(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) e.original.push_back(cell(row, c));
    e.dirty.assign(columns_.size(), 0);
  }
  e.dirty[col] = 1;
  Store(mutable_cell(row, col), std::move(v));
  // Only this column's values changed, so only its order is unknown now.
  if (col < orders_.size()) orders_[col] = ColumnOrder{};
}

void RecordData::AddRow(std::span<const size_t> columns, std::span<Variant> values) {
  AddRow(columns, [values](size_t i) { return std::move(values[i]); });
}

void RecordData::AddRow(std::span<const size_t> columns, FunctionRef<Variant(size_t)> value) {
  if (!open_) ThrowAdo(kAdoObjectClosed, kSource);
  if (!updatable_) ThrowAdo(kAdoNotUpdatable, kSource);
  const size_t n = columns_.size();
  // Which value goes to each column (the last one given wins); the cells are
  // then made in one pass, each from its value or as Null.
  std::vector<int>& source = source_scratch_;
  source.assign(n, -1);
  for (size_t i = 0; i < columns.size(); ++i) source[columns[i]] = static_cast<int>(i);
  const int* from = source.data();
  added_.append_row(n, [from, &value](size_t c) {
    Variant v = from[c] < 0 ? Variant::Null() : value(static_cast<size_t>(from[c]));
    if (NeedsUnwrap(v)) v = v.Unwrapped();
    return v;
  });
  size_t row = rows_++;
  RowEdit& e = edits_[row];
  e.is_new = true;
  e.dirty.assign(n, 0);
  uint8_t* dirty = e.dirty.data();
  for (size_t c : columns) dirty[c] = 1;
  // A filtered view keeps the new row visible, at its end.
  if (view_.kind != RowView::kAll) {
    std::vector<size_t> list;
    list.reserve(view_size() + 1);
    for (size_t i = 0; i < view_size(); ++i) list.push_back(view_row(i));
    list.push_back(row);
    view_.kind = RowView::kList;
    view_.rows = std::move(list);
  }
  pos_ = static_cast<ptrdiff_t>(view_size()) - 1;
  Invalidate();
}

void RecordData::AppendCells(size_t row, std::span<const size_t> columns,
                             std::vector<const Variant*>* out) const {
  const bool fetched = row < fetched_;
  const CellStore& store = fetched ? cells_ : added_;
  const size_t first = (fetched ? row : row - fetched_) * columns_.size();
  const size_t at = out->size();
  out->resize(at + columns.size());
  const Variant** next = out->data() + at;
  for (size_t c : columns) *next++ = &store[first + c];
}

void RecordData::Invalidate() {
  for (ColumnOrder& o : orders_) o = ColumnOrder{};
}

}  // namespace q6
