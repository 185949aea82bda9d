// Recordset: writing edited rows back to the table it was opened on.
//
// In immediate mode (LockType 2 or 3) Update sends the current row at once,
// and moving off an edited row sends it first. In batch mode (LockType 4)
// edits are kept until UpdateBatch, which sends them all inside one
// transaction, so a failure leaves the table as it was. Consecutive new rows
// of a batch with the same dirty columns share one insert text: it is built
// and translated once, and the driver, which keeps it prepared, only binds
// each row's values (the trace still shows one statement per row).
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

struct Recordset::InsertShape {
  std::vector<bool> dirty;  // the columns the text names; empty: no text yet
  std::string sql;          // as built, with placeholders
  std::string native;       // as sent
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
    InsertShape shape;
    for (auto& [row, edit] : data_->edits()) SendRow(row, &shape);
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

void Recordset::SendRow(size_t row, InsertShape* shape) {
  Driver& driver = connection_->driver();
  const RowEdit& edit = data_->edits().at(row);
  if (shape && edit.is_new && !edit.dirty.empty() && shape->dirty == edit.dirty) {
    RequireOneRow(driver.ExecuteParams(shape->native, InsertValues(*data_, row, edit), shape->sql));
    return;
  }
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
  if (shape && edit.is_new) *shape = {edit.dirty, std::move(st.sql), std::move(native)};
}

}  // namespace q6
