// Recordset: writing edited rows back to the table it was opened on.
//
// In immediate mode (LockType 2 or 3) Update sends the current row at once,
// and moving off an edited row sends it first. In batch mode (LockType 4)
// edits are kept until UpdateBatch, which sends them all inside one
// transaction, so a failure leaves the table as it was. Consecutive new rows
// of a batch with the same dirty columns share their insert text, built and
// translated once. On an engine that sends statements together
// (PostgreSQL) they go in exchanges of many rows instead of one round trip a
// row, and the trace shows one statement per row. Elsewhere (SQLite) one
// INSERT carries many rows, so that the engine opens the table and its
// indexes once for them all; the trace shows that statement.
#include <algorithm>
#include <array>

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/record_data.h"
#include "platform/adodb/recordset.h"
#include "platform/adodb/row_writer.h"
#include "platform/adodb/typed_translation.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";

void RequireRows(const ResultSet& r, int64_t rows) {
  if (r.rows_affected != rows)
    Throw(kAdoRowNotFound,
          "Row cannot be located for updating. Some values may have been changed since it was "
          "last read.",
          kSource);
}

// An INSERT of many rows as built and as sent, kept for the last few texts
// on this thread by their first row's text, engine and row count: a writer
// that saves the same kind of rows again and again (through a new recordset
// each time) builds and translates them once.
struct InsertText {
  std::string sql;
  std::string native;
};

const InsertText& KeptInsertText(const std::string& one_row, Driver& driver, size_t rows,
                                 FunctionRef<std::string()> build) {
  struct Entry {
    std::string one_row;
    Engine engine{};
    size_t rows = 0;
    InsertText text;
    KeptTranslation translation;  // for the column types it was made with
  };
  thread_local std::array<Entry, 4> kept;
  thread_local size_t next = 0;
  const Engine engine = driver.engine();
  for (const Entry& e : kept)
    if (e.rows == rows && e.engine == engine && e.one_row == one_row && e.translation.Holds(driver))
      return e.text;
  Entry& e = kept[next++ % kept.size()];
  e.rows = 0;  // not a match while it is being filled
  e.text.sql = build();
  e.translation = KeptTranslation(driver, e.text.sql);
  e.text.native = e.translation.statement().native;
  e.one_row = one_row;
  e.engine = engine;
  e.rows = rows;
  return e.text;
}

// KeptInsertText for `rows` new rows that put the columns flagged in `dirty`.
const InsertText& RowsText(const std::string& table, const RecordData& data,
                           const std::vector<uint8_t>& dirty, const std::string& one_row,
                           Driver& driver, size_t rows) {
  auto build = [&] {
    return InsertRowsSql(table, data, dirty, rows,
                         [&driver](int i) { return driver.Placeholder(i); });
  };
  return KeptInsertText(one_row, driver, rows, build);
}

}  // namespace

// Rows a client sends before it reads the first answer. Bounded so that the
// answers waiting to be read (a few dozen bytes a row) always fit the
// socket's buffers: a server that cannot write its answers stops reading,
// and a client still writing would then wait for it for ever.
constexpr size_t kRowsPerExchange = 256;

// Rows one INSERT carries on an engine that runs statements one at a time:
// bounded by the placeholders a statement may hold (999, the embedded
// engine's long-standing default limit) and by a count past which a longer
// text gains nothing.
constexpr size_t kParamsPerInsert = 999;
constexpr size_t kRowsPerInsert = 32;

struct Recordset::InsertRun {
  std::vector<uint8_t> dirty;   // the columns the text names; empty: no text yet
  std::vector<size_t> columns;  // the same as indexes
  std::string one_row;          // the text for one row, as built
  size_t per_insert = 1;        // rows the text carries
  std::string sql;              // as built, with placeholders
  std::string native;           // as sent
  size_t queued = 0;            // rows waiting
  // Engines that send statements together: the rows waiting, the first
  // `queued` of `rows`; the others are kept for their buffers, so that a
  // long batch allocates nothing per row.
  std::vector<Driver::Batched> rows;
  // Other engines: the values of the rows waiting, in place, row after row.
  std::vector<const Variant*> refs;
};

void Recordset::FlushBeforeMove() {
  if (lock_type_ == kAdLockBatchOptimistic || !data_->CurrentEdited()) return;
  Update();
}

void Recordset::AddNew() {
  CheckOpen();
  if (!data_->updatable()) ThrowAdo(kAdoNotUpdatable, kSource);
  FlushBeforeMove();
  data_->AddRow();
}

void Recordset::AddNew(std::span<const size_t> columns, std::span<Variant> values) {
  CheckOpen();
  if (columns.size() != values.size()) ThrowAdo(kAdoInvalidArgument, kSource);
  AddNew(columns, [values](size_t i) { return std::move(values[i]); });
}

void Recordset::AddNew(std::span<const size_t> columns, FunctionRef<Variant(size_t)> value) {
  CheckOpen();
  if (!data_->updatable()) ThrowAdo(kAdoNotUpdatable, kSource);
  const size_t count = data_->column_count();
  if (std::any_of(columns.begin(), columns.end(), [count](size_t c) { return c >= count; }))
    ThrowAdo(kAdoInvalidArgument, kSource);
  FlushBeforeMove();
  data_->AddRow(columns, value);
  if (lock_type_ != kAdLockBatchOptimistic) Update();
}

void Recordset::Update() {
  CheckOpen();
  if (!data_->updatable()) ThrowAdo(kAdoNotUpdatable, kSource);
  size_t row = data_->current();
  if (lock_type_ == kAdLockBatchOptimistic || !data_->edits().count(row)) return;
  SendRow(row);
  data_->edits().erase(row);
}

void Recordset::UpdateBatch(int32_t affect_records) {
  CheckOpen();
  if (!data_->updatable()) ThrowAdo(kAdoNotUpdatable, kSource);
  if (data_->edits().empty()) return;
  Driver& driver = connection_->driver();
  bool own = !driver.InTransaction();
  if (own) driver.Begin();
  try {
    InsertRun run;
    for (auto& [row, edit] : data_->edits()) {
      if (edit.is_new && !edit.dirty.empty()) {
        QueueInsert(row, edit, &run);
        continue;
      }
      SendQueued(&run);
      SendRow(row);
    }
    SendQueued(&run);
    if (own) driver.Commit();
  } catch (...) {
    if (own && driver.InTransaction()) {
      try {
        driver.Rollback();
      } catch (const ComError&) {
        // The first error is the one to report.
      }
    }
    throw;
  }
  data_->edits().clear();
}

void Recordset::QueueInsert(size_t row, const RowEdit& edit, InsertRun* run) {
  Driver& driver = connection_->driver();
  const bool together = driver.SendsBatchesTogether();
  if (run->dirty != edit.dirty) {
    SendQueued(run);
    run->dirty = edit.dirty;
    run->columns.clear();
    for (size_t c = 0; c < edit.dirty.size(); ++c)
      if (edit.dirty[c]) run->columns.push_back(c);
    const size_t n = run->columns.size();
    run->per_insert =
        together || n == 0 ? 1 : std::clamp(kParamsPerInsert / n, size_t{1}, kRowsPerInsert);
    run->one_row = InsertRowsSql(table_, *data_, edit.dirty, 1,
                                 [&driver](int i) { return driver.Placeholder(i); });
    if (run->per_insert == 1) {
      run->sql = run->one_row;
      run->native = TranslateFor(driver, run->sql).native;
    } else {
      const InsertText& text =
          RowsText(table_, *data_, run->dirty, run->one_row, driver, run->per_insert);
      run->sql = text.sql;
      run->native = text.native;
    }
  }
  if (!together) {
    data_->AppendCells(row, run->columns, &run->refs);
    if (++run->queued == run->per_insert) SendQueued(run);
    return;
  }
  if (run->queued == run->rows.size()) run->rows.emplace_back();
  Driver::Batched& b = run->rows[run->queued++];
  b.sql.native = run->native;
  b.built = run->sql;
  InsertValues(*data_, row, edit, &b.sql.params);
  if (run->queued >= kRowsPerExchange) SendQueued(run);
}

void Recordset::SendQueued(InsertRun* run) {
  if (run->queued == 0) return;
  Driver& driver = connection_->driver();
  const size_t queued = run->queued;
  run->queued = 0;
  if (driver.SendsBatchesTogether()) {
    const std::span<const Driver::Batched> rows(run->rows.data(), queued);
    for (const ResultSet& r : driver.ExecuteBatch(rows)) RequireRows(r, 1);
    return;
  }
  const std::string* sql = &run->sql;
  const std::string* native = &run->native;
  if (queued != run->per_insert) {
    // The end of a run, shorter than the text: a text of its own.
    const InsertText& text = RowsText(table_, *data_, run->dirty, run->one_row, driver, queued);
    sql = &text.sql;
    native = &text.native;
  }
  RequireRows(driver.ExecuteParams(*native, run->refs, *sql), static_cast<int64_t>(queued));
  run->refs.clear();
}

void Recordset::SendRow(size_t row) {
  Driver& driver = connection_->driver();
  const RowEdit& edit = data_->edits().at(row);
  auto ph = [&driver](int n) { return driver.Placeholder(n); };
  RowStatement st;
  if (edit.is_new) {
    st = InsertStatement(table_, *data_, row, edit, ph);
  } else {
    if (!key_known_) {
      // The key as the engine knows it; a key column missing from the rows
      // leaves the row to be found by all of its values.
      key_.clear();
      for (const std::string& name : driver.PrimaryKey(table_)) {
        int c = data_->FindColumn(name);
        if (c < 0) {
          key_.clear();
          break;
        }
        key_.push_back(name);
      }
      key_known_ = true;
    }
    std::vector<size_t> key;
    for (const std::string& name : key_)
      key.push_back(static_cast<size_t>(data_->FindColumn(name)));
    st = UpdateStatement(table_, *data_, row, edit, key, ph);
    if (st.sql.empty()) return;
  }
  const Translation native = TranslateFor(driver, st.sql);
  RequireRows(driver.ExecuteParams(native.native, st.params, st.sql), 1);
}

}  // namespace q6
