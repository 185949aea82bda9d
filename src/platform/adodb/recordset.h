// ADODB.Recordset: a client cursor over rows held in memory.
//
// Opening runs the statement once and keeps every row, so moves, Filter and
// RecordCount never go back to the database. Typed use:
//   auto rs = std::make_shared<Recordset>();
//   rs->Open(Variant("select * from FD_Fields where 1>1"), Variant(con), 3, 4);
//   rs->AddNew();
//   rs->Fields()->Item(Variant("sName"))->PutValue(Variant("x"));
//   rs->Update();       // with LockType 4 kept until UpdateBatch()
//   rs->UpdateBatch();
//   for (rs->MoveFirst(); !rs->EOF(); rs->MoveNext()) ... rs->Field("sName").
//
// Errors (HRESULT 0x800A0000 + number, ADO's texts):
//   3021  no current row: reading or writing a field, MoveNext at EOF,
//         MovePrevious at BOF, MoveFirst/MoveLast on an empty view;
//   3265  Fields.Item with an unknown name or ordinal;
//   3001  a Filter that is malformed, names an unknown column or compares a
//         column with a value of the wrong kind;
//   3251  AddNew, a field put or Update on a recordset that cannot write rows
//         (read-only LockType, not opened on "select * from <table> ...");
//   3704  anything but Open on a closed recordset;
//   0x80040E38  an update whose row is no longer in the table;
//   E_FAIL (0x80004005)  the engine's own errors.
#pragma once

// The property is called EOF, like the C library's stdio constant; the macro is
// removed so that rs->EOF() can be written. Nothing here uses the constant.
#include <cstdio>
#undef EOF

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/adodb/fields.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"
#include "runtime/function_ref.h"

namespace q6 {

class ArrayWriter;
class Connection;
class RecordData;
struct ResultSet;
struct RowEdit;

// LockTypeEnum.
enum AdoLockType : int32_t {
  kAdLockUnspecified = -1,
  kAdLockReadOnly = 1,
  kAdLockPessimistic = 2,
  kAdLockOptimistic = 3,
  kAdLockBatchOptimistic = 4,
};
// CursorTypeEnum: client cursors are always static.
constexpr int32_t kAdOpenStatic = 3;
// AffectEnum of UpdateBatch.
constexpr int32_t kAdAffectAll = 3;
// StringFormatEnum of GetString: the only format there is.
constexpr int32_t kAdClipString = 2;
// GetRowsOptionEnum: every row from the start on.
constexpr int32_t kAdGetRowsRest = -1;
// BookmarkEnum: where GetRows starts.
enum AdoBookmark : int32_t {
  kAdBookmarkCurrent = 0,
  kAdBookmarkFirst = 1,
  kAdBookmarkLast = 2,
};

class Q6FD_API Recordset : public Dispatchable {
 public:
  static const Guid kClsid;
  static const Guid kIid;

  Recordset();
  ~Recordset() override;
  // The member table, shared by every Recordset.
  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }

  // Opens `source` (a statement, or a table name) on `connection` (a
  // Connection object, or a data-source text for a connection of its own).
  // LockType 2 or 3 writes rows on Update, 4 keeps them until UpdateBatch;
  // writing needs a source of the form "select * from <table> [where ...]".
  // CursorType is always reported as static. Raises 3705 when already open,
  // 3001 without a connection, E_FAIL for engine errors.
  void Open(const Variant& source, const Variant& connection, int32_t cursor_type = -1,
            int32_t lock_type = -1, int32_t options = -1);

  // Takes the rows of an executed statement (Connection::Execute).
  void Attach(ResultSet&& r);

  bool EOF() const;
  bool BOF() const;
  // The columns, one collection per recordset, always the same object.
  std::shared_ptr<q6::Fields> Fields();
  // Shorthand for Fields()->Item(name)->Value(): the current row's value of
  // column `name`. Raises 3265, 3021 as those.
  Variant Field(std::string_view name) const;

  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  // Rows in the current view (the filtered ones while a filter is set).
  int32_t RecordCount() const;

  // The criteria text, or Long 0 when no filter is set.
  Variant Filter() const;
  // Sets criteria text (see filter_parse.h) and moves to its first row; ""
  // or 0 clears it and moves to the first row of all.
  void PutFilter(const Variant& criteria);

  // Appends a row of Nulls and makes it current. An edit of the current row
  // is updated first (sent, or kept for the batch with LockType 4).
  void AddNew();
  // Appends a row with values[i] in column columns[i] and makes it current.
  // With LockType 4 the row is kept for UpdateBatch; otherwise it is sent at
  // once, as Update would. A writer of many rows looks its columns up once
  // and passes the indexes. Raises 3001 when the counts differ or a column
  // is out of range, else as AddNew and Update.
  void AddNew(std::span<const size_t> columns, std::span<Variant> values);
  // The same with each value made in its place in the new row: value(i)
  // gives the value of columns[i] (called as RecordData::AddRow says). A
  // writer of many rows makes its values this way and moves none of them.
  void AddNew(std::span<const size_t> columns, FunctionRef<Variant(size_t)> value);
  // Sends the current row's edit (insert for a new row, update by primary
  // key, or by every original value when the table has none). With LockType
  // 4 the edit is only kept. A row without edits is left alone.
  void Update();
  // Sends every kept edit, in row order, in one transaction (the caller's
  // when one is open). On failure nothing is written and the edits are kept.
  void UpdateBatch(int32_t affect_records = kAdAffectAll);

  // The values of up to `num_rows` rows (all when negative) from the
  // current one on, as text: each value followed by `column_delimiter`
  // except the last of a row, each row followed by `row_delimiter`, Null as
  // `null_expr`. The cursor ends after the last row read (EOF when all were
  // read). Raises 3021 at BOF or EOF, 3001 for a format other than
  // kAdClipString.
  std::string GetString(int32_t format = kAdClipString, int32_t num_rows = -1,
                        const std::string& column_delimiter = "\t",
                        const std::string& row_delimiter = "\r", const std::string& null_expr = "");

  // The values of up to `rows` rows (all when negative) as an array indexed
  // [field][row], both from 0, starting at `start` (a BookmarkEnum value:
  // the current, first or last row of the view). `fields` picks the columns:
  // Missing for all, a name or ordinal, or a one-dimensional array of names
  // and ordinals. The cursor ends after the last row read (EOF when all
  // were read). Raises 3021 when the start row is BOF or EOF, 3001 for a
  // start that is not a BookmarkEnum value, 3265 for an unknown field.
  VariantArray GetRows(int32_t rows = kAdGetRowsRest, const Variant& start = Variant(int32_t{0}),
                       const Variant& fields = Variant::Missing());
  // GetRows handing the values to `out` instead of an array (array_fill.h).
  void GetRowsInto(ArrayWriter& out, int32_t rows, const Variant& start, const Variant& fields);

  void Close();
  int32_t State() const;
  int32_t CursorType() const { return kAdOpenStatic; }
  int32_t LockType() const { return lock_type_; }
  std::shared_ptr<Connection> ActiveConnection() const { return connection_; }

  // The shared rows, for Fields and tests.
  const std::shared_ptr<RecordData>& data() const { return data_; }

 private:
  void CheckOpen() const;
  // Sends (or, in batch mode, keeps) an edit of the current row before a
  // move, as a client cursor does in immediate mode.
  void FlushBeforeMove();
  // New rows of a batch waiting to be sent together (recordset_update.cpp).
  struct InsertRun;
  // Adds the new row `row` (its edit `edit`) to `run`, sending what `run`
  // holds first when the row sets other columns, and all of it once it is
  // full.
  void QueueInsert(size_t row, const RowEdit& edit, InsertRun* run);
  // Sends the rows `run` holds, in one exchange where the engine can.
  void SendQueued(InsertRun* run);
  // Writes the edit of `row` (the caller erases it).
  void SendRow(size_t row);

  // Late-bound faces.
  void DispOpen(Variant& Source, Variant& ActiveConnection, int32_t CursorType, int32_t LockType,
                int32_t Options);
  Variant DispFields(Variant& Index);
  // Fields() as the value the recordset holds: rs.Fields read in place.
  const Variant& FieldsHeld();
  bool DispEOF() { return EOF(); }
  bool DispBOF() { return BOF(); }
  Variant DispFilter() { return Filter(); }
  void DispPutFilter(Variant& v) { PutFilter(v); }
  void DispAddNew(Variant& FieldList, Variant& Values);
  void DispUpdate(Variant& FieldList, Variant& Values);
  std::string DispGetString(int32_t StringFormat, int32_t NumRows, std::string& ColumnDelimeter,
                            std::string& RowDelimeter, std::string& NullExpr) {
    return GetString(StringFormat, NumRows, ColumnDelimeter, RowDelimeter, NullExpr);
  }
  Variant DispGetRows(int32_t Rows, Variant& Start, Variant& Fields) {
    return Variant(GetRows(Rows, Start, Fields));
  }
  int32_t DispRecordCount() { return RecordCount(); }
  int32_t DispState() { return State(); }
  int32_t DispCursorType() { return CursorType(); }
  int32_t DispLockType() { return LockType(); }
  ObjectRef DispActiveConnection();

  std::shared_ptr<RecordData> data_;
  Variant fields_;  // the Fields object, made at the first read; a value, read in place
  std::shared_ptr<Connection> connection_;
  std::string table_;             // the one table an updatable recordset writes
  std::vector<std::string> key_;  // its primary key columns, looked up on first write
  bool key_known_ = false;
  int32_t lock_type_ = kAdLockReadOnly;
  std::string filter_;
};

}  // namespace q6
