// Bulk loads on SQLite: one INSERT prepared once, bound and stepped per row.
#include "platform/drivers/bulk_load.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstring>

#include "platform/drivers/sqlite/error.h"
#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_driver.h"
#include "platform/drivers/sqlite/sqlite_values.h"

namespace q6::sqlite {
namespace {

class SqliteBulkLoad : public BulkLoad {
 public:
  SqliteBulkLoad(sqlite3* db, int64_t conn, std::string sql, size_t ncols)
      : db_(db), conn_(conn), sql_(std::move(sql)), ncols_(ncols) {
    int rc = sqlite3_prepare_v2(db_, sql_.c_str(), static_cast<int>(sql_.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
  }
  // The stored forms of the columns, read from `probe` (a select of the
  // loaded columns).
  void ReadStoredForms(const std::string& probe) {
    sqlite3_stmt* p = nullptr;
    // Never skipped: a table filled before its triggers are made relies on
    // the stored forms written here.
    if (int rc =
            sqlite3_prepare_v2(db_, probe.c_str(), static_cast<int>(probe.size()), &p, nullptr);
        rc != SQLITE_OK)
      Fail(rc);
    forms_.resize(ncols_);
    stored_.resize(ncols_);
    converters_.resize(ncols_, nullptr);
    for (size_t i = 0; i < ncols_ && static_cast<int>(i) < sqlite3_column_count(p); ++i)
      forms_[i] = StoredFormOf(sqlite3_column_decltype(p, static_cast<int>(i)));
    sqlite3_finalize(p);
  }
  ~SqliteBulkLoad() override {
    for (sqlite3_stmt* c : converters_) sqlite3_finalize(c);
    sqlite3_finalize(stmt_);
  }

  void Add(const std::vector<Variant>& row) override {
    if (row.size() != ncols_)
      Throw(E_FAIL, "A bulk-load row has " + std::to_string(row.size()) + " values for " +
                        std::to_string(ncols_) + " columns");
    for (size_t i = 0; i < ncols_; ++i) {
      const Variant& v = row[i];
      if (v.type() == VarType::String && std::memchr(v.string().data(), 0, v.string().size()))
        Throw(E_FAIL, "A text value holds a NUL character, which no engine accepts");
      // Bound in place: the row and the stored texts outlive the step.
      const bool stored = i < forms_.size() && forms_[i].kind != StoredForm::kNone;
      size_t n = stored ? ToStoredForm(forms_[i], v, stored_[i].data()) : 0;
      int rc;
      if (n > 0)
        rc = sqlite3_bind_text(stmt_, static_cast<int>(i + 1), stored_[i].data(),
                               static_cast<int>(n), SQLITE_STATIC);
      else if (stored && !v.IsNull() && !v.IsEmpty())
        rc = BindConverted(i, v);
      else
        rc = Bind(stmt_, static_cast<int>(i + 1), v);
      if (rc != SQLITE_OK) Fail(rc);
    }
    int rc = sqlite3_step(stmt_);
    sqlite3_reset(stmt_);
    if (rc != SQLITE_DONE) Fail(rc);
    ++rows_;
  }

  void Finish() override { TraceBulkLoad(conn_, sql_, Ms(), rows_, nullptr); }

 private:
  double Ms() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
        .count();
  }
  // Binds to column i the stored form the column's trigger would make of
  // `v` (one the shortcut of ToStoredForm does not write: an exponent, a
  // number, a date in another spelling), through the trigger's own
  // function, so that every row arrives stored whether or not the table has
  // its triggers yet. A value the trigger would refuse fails with its error.
  int BindConverted(size_t i, const Variant& v) {
    sqlite3_stmt*& c = converters_[i];
    if (c == nullptr) {
      const StoredForm& f = forms_[i];
      // The column's text affinity turns a number into text before its
      // trigger sees it: so here.
      const std::string arg =
          "CASE WHEN typeof(?1) IN ('integer', 'real') THEN CAST(?1 AS TEXT) ELSE ?1 END";
      const std::string sql =
          f.kind == StoredForm::kDate
              ? "SELECT tsql_date_store(" + arg + ", " +
                    std::to_string(
                        DateTypeCode(DateType{static_cast<DateKind>(f.date_kind), f.date_digits})) +
                    ")"
              : "SELECT tsql_store(" + arg + ", " + std::to_string(f.precision) + ", " +
                    std::to_string(f.scale) + ", " + (f.money ? "1" : "0") + ")";
      const int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &c, nullptr);
      if (rc != SQLITE_OK) return rc;
    }
    int rc = Bind(c, 1, v);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(c);
      if (rc == SQLITE_ROW && sqlite3_column_type(c, 0) == SQLITE_NULL) {
        rc = sqlite3_bind_null(stmt_, static_cast<int>(i + 1));
      } else if (rc == SQLITE_ROW) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(c, 0));
        rc = sqlite3_bind_text(stmt_, static_cast<int>(i + 1), p ? p : "",
                               sqlite3_column_bytes(c, 0), SQLITE_TRANSIENT);
      }
    }
    // A failed step leaves its error as the connection's message for Fail.
    sqlite3_reset(c);
    return rc;
  }
  [[noreturn]] void Fail(int rc) {
    std::string msg = sqlite3_errmsg(db_);
    TraceBulkLoad(conn_, sql_, Ms(), rows_, &msg);
    ThrowError(db_, rc);
  }

  sqlite3* db_;
  int64_t conn_;
  std::string sql_;
  size_t ncols_;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<StoredForm> forms_;  // per column; kNone when it has none
  // Per column: the stored text bound for the current row.
  std::vector<std::array<char, kStoredFormChars>> stored_;
  // Per column: the statement converting a value as its trigger does
  // (prepared when first needed).
  std::vector<sqlite3_stmt*> converters_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::unique_ptr<BulkLoad> SqliteDriver::OpenBulkLoad(const std::string& table,
                                                     const std::vector<std::string>& columns) {
  RequireExtensions();  // for the table's triggers, checks and defaults
  std::string sql = "INSERT INTO " + table + " (" + BulkColumnList(columns) + ") VALUES (";
  for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + Placeholder(int(i + 1));
  auto load = std::make_unique<SqliteBulkLoad>(db_, id(), sql + ")", columns.size());
  load->ReadStoredForms("SELECT " + BulkColumnList(columns) + " FROM " + table);
  return load;
}

}  // namespace q6::sqlite
