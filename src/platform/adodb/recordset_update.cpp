// Recordset: writing edited rows back to the table it was opened on.
//
// In immediate mode (LockType 2 or 3) Update sends the current row at once,
// and moving off an edited row sends it first. In batch mode (LockType 4)
// edits are kept until UpdateBatch, which sends them all inside one
// transaction, so a failure leaves the table as it was. Consecutive new rows
// of a batch with the same dirty columns share one insert text, built and
// translated once; on an engine that sends statements together
// (PostgreSQL) they go in exchanges of many rows instead of one round trip a
// row, elsewhere one after the other on one prepared statement. The trace
// still shows one statement per row, with its values.
#include "platform/adodb/ado_errors.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/adodb/row_writer.h"
#include "platform/dialect/dialect.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Recordset";

void RequireOneRow(const ResultSet& r) {
  if (r.rows_affected != 1)
    Throw(kAdoRowNotFound,
          "Row cannot be located for updating. Some values may have been changed since it was "
          "last read.",
          kSource);
}
}  // namespace

// Rows a client sends before it reads the first answer. Bounded so that the
// answers waiting to be read (a few dozen bytes a row) always fit the
// socket's buffers: a server that cannot write its answers stops reading,
// and a client still writing would then wait for it for ever.
constexpr size_t kRowsPerExchange = 256;

struct Recordset::InsertRun {
  std::vector<uint8_t> dirty;  // the columns the text names; empty: no text yet
  std::string sql;             // as built, with placeholders
  std::string native;          // as sent
  // The rows waiting, the first `queued` of `rows`; the others are kept
  // for their buffers, so that a long batch allocates nothing per row.
  std::vector<Driver::Batched> rows;
  size_t queued = 0;
  std::vector<const Variant*> refs;  // a row sent at once: its values in place
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
  if (!data_->updatable()) ThrowAdo(kAdoNotUpdatable, kSource);
  if (columns.size() != values.size()) ThrowAdo(kAdoInvalidArgument, kSource);
  for (size_t c : columns)
    if (c >= data_->column_count()) ThrowAdo(kAdoInvalidArgument, kSource);
  FlushBeforeMove();
  data_->AddRow(columns, values);
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
  if (run->dirty != edit.dirty) {
    SendQueued(run);
    Driver& driver = connection_->driver();
    RowStatement st = InsertStatement(table_, *data_, row, edit,
                                      [&driver](int n) { return driver.Placeholder(n); });
    run->native = TranslateSql(st.sql, driver.engine());
    run->sql = std::move(st.sql);
    run->dirty = edit.dirty;
  }
  if (!connection_->driver().SendsBatchesTogether()) {
    // Nothing to gain by gathering: the row goes at once.
    InsertValueRefs(*data_, row, edit, &run->refs);
    RequireOneRow(connection_->driver().ExecuteParams(run->native, run->refs, run->sql));
    return;
  }
  if (run->queued == run->rows.size()) run->rows.emplace_back();
  Driver::Batched& b = run->rows[run->queued++];
  b.native = run->native;
  b.built = run->sql;
  InsertValues(*data_, row, edit, &b.params);
  if (run->queued >= kRowsPerExchange) SendQueued(run);
}

void Recordset::SendQueued(InsertRun* run) {
  if (run->queued == 0) return;
  const std::span<const Driver::Batched> rows(run->rows.data(), run->queued);
  run->queued = 0;
  for (const ResultSet& r : connection_->driver().ExecuteBatch(rows)) RequireOneRow(r);
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
  std::string native = TranslateSql(st.sql, driver.engine());
  RequireOneRow(driver.ExecuteParams(native, st.params, st.sql));
}

}  // namespace q6
