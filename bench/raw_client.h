// The best-practice raw clients the judged baselines are written with: the
// engines' own client libraries used as a careful C++ programmer uses them on
// a hot path. Statements are prepared once per connection and run again with
// their values bound (sqlite3 prepare_v2 + bind + step + reset; libpq
// PQprepare + PQexecPrepared), and statements that need no answer before the
// next one is sent go to the server together (libpq's pipeline mode), where
// the system sends them together too.
//
// Each wrapper owns its handle (RAII) and reports failure by return value:
// a baseline that fails makes its benchmark fail, nothing is retried.
#pragma once

#include <postgresql/libpq-fe.h>
#include <sqlite3.h>

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q6::bench::raw {

// ---- SQLite ----

class SqliteDb {
 public:
  // Opens `path` read-write with a busy timeout of `busy_ms`.
  explicit SqliteDb(const std::string& path, int busy_ms = 5000) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return;
    }
    sqlite3_busy_timeout(db_, busy_ms);
  }
  ~SqliteDb() { sqlite3_close(db_); }
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  bool ok() const { return db_ != nullptr; }
  sqlite3* get() const { return db_; }
  // Runs `sql` (no rows wanted); used for settings, not on hot paths.
  bool Exec(const char* sql) const {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }

 private:
  sqlite3* db_ = nullptr;
};

// One statement prepared once; Bind, then Step until done, then Reset.
class SqliteStmt {
 public:
  SqliteStmt(const SqliteDb& db, std::string_view sql) {
    if (db.ok())
      sqlite3_prepare_v2(db.get(), sql.data(), static_cast<int>(sql.size()), &st_, nullptr);
  }
  ~SqliteStmt() { sqlite3_finalize(st_); }
  SqliteStmt(const SqliteStmt&) = delete;
  SqliteStmt& operator=(const SqliteStmt&) = delete;

  bool ok() const { return st_ != nullptr; }
  sqlite3_stmt* get() const { return st_; }
  bool Bind(int n, std::string_view text) const {
    return sqlite3_bind_text(st_, n, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() const { return st_ ? sqlite3_step(st_) : SQLITE_MISUSE; }
  // Runs a statement that returns no row and makes it ready to run again.
  bool Run() const {
    const bool done = Step() == SQLITE_DONE;
    return Reset() && done;
  }
  bool Reset() const { return st_ && sqlite3_reset(st_) == SQLITE_OK; }

 private:
  sqlite3_stmt* st_ = nullptr;
};

// ---- PostgreSQL ----

// A PGresult freed on scope exit.
class PgResult {
 public:
  explicit PgResult(PGresult* r = nullptr) : r_(r) {}
  ~PgResult() { PQclear(r_); }
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;
  PGresult* get() const { return r_; }
  ExecStatusType status() const { return PQresultStatus(r_); }

 private:
  PGresult* r_;
};

// One statement of a pipeline: a statement prepared under `name` with its
// values, or (name empty) a text without parameters; `want` is the status
// its result must have.
struct PgStep {
  std::string_view name;
  std::vector<const char*> values;
  std::string_view text;
  ExecStatusType want = PGRES_COMMAND_OK;
};

class PgConn {
 public:
  explicit PgConn(const std::string& conninfo) : c_(PQconnectdb(conninfo.c_str())) {}
  ~PgConn() { PQfinish(c_); }
  PgConn(const PgConn&) = delete;
  PgConn& operator=(const PgConn&) = delete;

  bool ok() const { return PQstatus(c_) == CONNECTION_OK; }
  PGconn* get() const { return c_; }

  // Prepares `sql` under `name`; parameter types are left to the server,
  // which infers each from where it stands, as for a literal.
  bool Prepare(const char* name, const std::string& sql, int params) const {
    PgResult r(PQprepare(c_, name, sql.c_str(), params, nullptr));
    return r.status() == PGRES_COMMAND_OK;
  }
  // Runs a prepared statement in an exchange of its own.
  PGresult* ExecPrepared(const char* name, std::initializer_list<const char*> values) const {
    const std::vector<const char*> v(values);
    return PQexecPrepared(c_, name, static_cast<int>(v.size()), v.data(), nullptr, nullptr, 0);
  }
  bool Command(const char* sql) const {
    PgResult r(PQexec(c_, sql));
    return r.status() == PGRES_COMMAND_OK;
  }

  // Sends `steps` in one exchange (pipeline mode, one sync) and reads every
  // result; true when each has the status it wants.
  bool Pipeline(std::initializer_list<PgStep> steps) const {
    return Pipeline(std::span<const PgStep>(steps.begin(), steps.size()));
  }
  bool Pipeline(std::span<const PgStep> steps) const {
    if (PQenterPipelineMode(c_) != 1) return false;
    bool ok = true;
    for (const PgStep& s : steps) {
      if (s.name.empty()) {
        const std::string text(s.text);
        ok = ok && PQsendQueryParams(c_, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
      } else {
        const std::string name(s.name);
        ok = ok && PQsendQueryPrepared(c_, name.c_str(), static_cast<int>(s.values.size()),
                                       s.values.data(), nullptr, nullptr, 0);
      }
    }
    ok = ok && PQpipelineSync(c_) == 1;
    // Each statement's result is followed by a null; the sync ends the run.
    auto next = steps.begin();
    for (int nulls = 0; ok && nulls < 2;) {
      PgResult r(PQgetResult(c_));
      if (!r.get()) {
        ++nulls;
        continue;
      }
      nulls = 0;
      if (r.status() == PGRES_PIPELINE_SYNC) break;
      ok = next != steps.end() && r.status() == next->want;
      ++next;
    }
    ok = ok && next == steps.end();
    return PQexitPipelineMode(c_) == 1 && ok;
  }

 private:
  PGconn* c_;
};

}  // namespace q6::bench::raw
