// Bulk loads on PostgreSQL: COPY ... FROM STDIN in text format, rows sent
// in buffers of about a megabyte.
#include "platform/drivers/bulk_load.h"

#include <libpq-fe.h>

#include <chrono>
#include <cstring>

#include "platform/drivers/postgres/error.h"
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/drivers/postgres/pg_values.h"

namespace q6::postgres {
namespace {

constexpr size_t kSendAt = 1 << 20;

// `text` escaped for COPY's text format.
void AppendEscaped(const std::string& text, std::string* out) {
  if (text.find_first_of("\\\t\n\r") == std::string::npos) {
    *out += text;
    return;
  }
  for (char c : text) {
    switch (c) {
      case '\\':
        *out += "\\\\";
        break;
      case '\t':
        *out += "\\t";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\r':
        *out += "\\r";
        break;
      default:
        *out += c;
    }
  }
}

class PgBulkLoad : public BulkLoad {
 public:
  // `settings`: statements (each ended by a semicolon) sent before the COPY
  // in the same message, as a pooled connection starts a transaction with.
  PgBulkLoad(PGconn* conn, int64_t id, std::string sql, size_t ncols, const std::string& settings)
      : conn_(conn), id_(id), sql_(std::move(sql)), ncols_(ncols) {
    PGresult* res = PQexec(conn_, settings.empty() ? sql_.c_str() : (settings + sql_).c_str());
    bool ok = res && PQresultStatus(res) == PGRES_COPY_IN;
    if (!ok) {
      Trace(PQerrorMessage(conn_));
      open_ = false;
      struct Clear {
        PGresult* r;
        ~Clear() { PQclear(r); }
      } clear{res};
      ThrowError(conn_, res);
    }
    PQclear(res);
    buffer_.reserve(kSendAt + 4096);
  }

  ~PgBulkLoad() override {
    if (!open_) return;
    // Abandoned: end the COPY with an error so the connection is usable for
    // the caller's rollback.
    PQputCopyEnd(conn_, "bulk load abandoned");
    while (PGresult* r = PQgetResult(conn_)) PQclear(r);
  }

  void Add(const std::vector<Variant>& row) override {
    if (row.size() != ncols_)
      Throw(E_FAIL, "A bulk-load row has " + std::to_string(row.size()) + " values for " +
                        std::to_string(ncols_) + " columns");
    for (size_t i = 0; i < ncols_; ++i) {
      if (i) buffer_ += '\t';
      if (row[i].type() == VarType::String) {
        const std::string& s = row[i].string();
        if (std::memchr(s.data(), 0, s.size()))
          Throw(E_FAIL, "A text value holds a NUL character, which no engine accepts");
        AppendEscaped(s, &buffer_);
        continue;
      }
      if (!ParamText(row[i], &text_)) {
        buffer_ += "\\N";
        continue;
      }
      if (std::memchr(text_.data(), 0, text_.size()))
        Throw(E_FAIL, "A text value holds a NUL character, which no engine accepts");
      AppendEscaped(text_, &buffer_);
    }
    buffer_ += '\n';
    ++rows_;
    if (buffer_.size() >= kSendAt) Send();
  }

  void Finish() override {
    Send();
    open_ = false;
    if (PQputCopyEnd(conn_, nullptr) != 1) Fail(nullptr);
    PGresult* bad = nullptr;
    while (PGresult* r = PQgetResult(conn_)) {
      if (PQresultStatus(r) != PGRES_COMMAND_OK && !bad)
        bad = r;
      else
        PQclear(r);
    }
    if (bad) Fail(bad);
    Trace(nullptr);
  }

 private:
  void Send() {
    if (buffer_.empty()) return;
    if (PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) != 1) {
      open_ = false;
      Fail(nullptr);
    }
    buffer_.clear();
  }
  [[noreturn]] void Fail(PGresult* res) {
    struct Clear {
      PGresult* r;
      ~Clear() { PQclear(r); }
    } clear{res};
    const char* primary = res ? PQresultErrorMessage(res) : PQerrorMessage(conn_);
    Trace(primary);
    ThrowError(conn_, res);
  }
  void Trace(const char* error) {
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
                    .count();
    std::string e = error ? error : "";
    TraceBulkLoad(id_, sql_, ms, rows_, error ? &e : nullptr);
  }

  PGconn* conn_;
  int64_t id_;
  std::string sql_;
  size_t ncols_;
  bool open_ = true;
  std::string buffer_;
  std::string text_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::unique_ptr<BulkLoad> PgDriver::OpenBulkLoad(const std::string& table,
                                                 const std::vector<std::string>& columns) {
  return std::make_unique<PgBulkLoad>(
      conn_, id(), "COPY " + table + " (" + BulkColumnList(columns) + ") FROM STDIN",
      columns.size(), StartsTransaction() ? settings_text_ : std::string());
}

}  // namespace q6::postgres
