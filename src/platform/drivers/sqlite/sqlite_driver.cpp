// The SQLite driver.
//
// Single statements are kept prepared per connection (driver.h); the rest
// are prepared, stepped to the end and finalised in one call. Either way a
// statement is stepped to its end or reset before the call returns, so no
// engine lock outlives a call (an UPDATE ... RETURNING commits only when
// stepped to its end).
//
// Connections are opened without SQLite's own mutex (multi-thread mode): a
// connection belongs to one apartment, and the per-call locking would
// otherwise tax every value read.
#include "platform/drivers/sqlite/sqlite_driver.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/drivers/sqlite/error.h"
#include "platform/drivers/sqlite/sqlite_column_types.h"
#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_extensions.h"
#include "platform/drivers/sqlite/sqlite_functions.h"
#include "platform/drivers/sqlite/sqlite_values.h"

namespace q6::sqlite {
namespace {

// Owns a prepared statement.
struct Stmt {
  sqlite3_stmt* p = nullptr;
  ~Stmt() {
    if (p) sqlite3_finalize(p);
  }
};

// How many prepared statements a connection keeps.
constexpr size_t kCachedStatements = 64;

// Leaves a kept statement ready for its next use, whatever happened: reset,
// which also ends the read it held.
struct ResetOnExit {
  sqlite3_stmt* p;
  ~ResetOnExit() { sqlite3_reset(p); }
};

// Bindings are not cleared after a run (that costs as much as binding a few
// values): a run that binds every parameter replaces them all, and one that
// binds fewer clears them first here. So no value of one run reaches the
// next, and a text bound by pointer is never read after its run.
void ReadyBindings(sqlite3_stmt* stmt, size_t given) {
  if (given < static_cast<size_t>(sqlite3_bind_parameter_count(stmt))) sqlite3_clear_bindings(stmt);
}

// Binds a literal taken out of the text as the engine would have read it.
int BindLiteral(sqlite3_stmt* stmt, int n, const LiteralParam& lit) {
  const char* first = lit.value.data();
  const char* last = first + lit.value.size();
  switch (lit.kind) {
    case LiteralParam::kInteger: {
      int64_t v = 0;
      std::from_chars(first, last, v);
      return sqlite3_bind_int64(stmt, n, v);
    }
    case LiteralParam::kReal: {
      double v = 0;
      std::from_chars(first, last, v);
      return sqlite3_bind_double(stmt, n, v);
    }
    case LiteralParam::kText:
      break;
  }
  return sqlite3_bind_text(stmt, n, first, static_cast<int>(lit.value.size()), SQLITE_STATIC);
}

// The busy handler. SQLite's own (sqlite3_busy_timeout) sleeps longer and
// longer between tries, up to 100 ms; under a steady stream of short write
// transactions from other processes a waiter that sleeps that long keeps
// waking into someone else's transaction and can run out its whole timeout
// while the others go ahead many times. Trying again every 0.5 to 2 ms (the
// random part keeps waiters from waking together) gives every waiter about
// the same chance at each gap, for a few hundred cheap wake-ups a second
// while it waits. The timeout is measured from the first try.
int RetryWhileBusy(void* arg, int tries) {
  auto* wait = static_cast<SqliteDriver::BusyWait*>(arg);
  const auto now = std::chrono::steady_clock::now();
  if (tries == 0) wait->since = now;
  if (now - wait->since >= wait->limit) return 0;
  thread_local std::minstd_rand rng(static_cast<unsigned>(
      std::hash<std::thread::id>()(std::this_thread::get_id()) ^ now.time_since_epoch().count()));
  std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 1500));
  return 1;
}

// Raises the error `rc` of `db`; a busy one (the wait for another
// connection's lock ran out) says what was waited for.
[[noreturn]] void Fail(sqlite3* db, int rc, const std::string& busy_context) {
  const int ext = sqlite3_extended_errcode(db);
  if ((rc & 0xff) == SQLITE_BUSY && ext != SQLITE_BUSY_SNAPSHOT) ThrowError(db, rc, busy_context);
  ThrowError(db, rc);
}

// Whether the statement `sql` is an INSERT, UPDATE, DELETE or REPLACE (or
// one of them after WITH), by its first word after blanks and comments.
bool ChangesRows(const char* sql) {
  std::string_view s = sql ? sql : "";
  for (;;) {
    size_t b = s.find_first_not_of(" \t\r\n(");
    s = b == std::string_view::npos ? std::string_view() : s.substr(b);
    if (s.starts_with("--")) {
      size_t nl = s.find('\n');
      s = nl == std::string_view::npos ? std::string_view() : s.substr(nl);
    } else if (s.starts_with("/*")) {
      size_t end = s.find("*/");
      s = end == std::string_view::npos ? std::string_view() : s.substr(end + 2);
    } else {
      break;
    }
  }
  size_t n = 0;
  while (n < s.size() && std::isalpha(static_cast<unsigned char>(s[n]))) ++n;
  std::string word(s.substr(0, n));
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word == "insert" || word == "update" || word == "delete" || word == "replace" ||
         word == "with";
}

// Steps `stmt` to its end, collecting its rows into `out` when it has
// columns, which `columns_of` gives. Raises on error.
template <class ColumnsFn>
void Run(sqlite3* db, TsqlExtensions& extensions, sqlite3_stmt* stmt, ResultSet* out,
         const std::string& busy_context, ColumnsFn&& columns_of) {
  // The columns are read after the first step: a kept statement whose table
  // changed since it was prepared is prepared again inside that step, and
  // only then shows the columns the table has now.
  RefusedDateText();  // a mark left by a statement run elsewhere on this thread
  int rc = sqlite3_step(stmt);
  // Prepared again there, it may meet a trigger or a view that calls a
  // function of ours not registered yet: refused before it ran, it runs
  // once that is.
  while ((rc & 0xff) == SQLITE_ERROR && extensions.RegisterRefused()) {
    sqlite3_reset(stmt);
    rc = sqlite3_step(stmt);
  }
  const int ncols = sqlite3_column_count(stmt);
  if (ncols > 0) {
    out->has_rows = true;
    out->columns = columns_of();
  }
  for (;; rc = sqlite3_step(stmt)) {
    if (rc == SQLITE_ROW) {
      AppendRow(stmt, ncols, out->columns, &out->cells);
      ++out->row_count;
    } else if (rc == SQLITE_DONE) {
      break;
    } else {
      Fail(db, rc, busy_context);
    }
  }
  // A date column compared with a text that is no date: SQL Server refuses
  // the statement where the collation could only order the two.
  if (RefusedDateText())
    throw ComError(E_FAIL,
                   "Conversion failed when converting date and/or time from character string.",
                   "SQLite", ErrorKind::kOther, "");
  // Only INSERT, UPDATE and DELETE report changes (each sets the count,
  // to 0 when it changed nothing); sqlite3_changes keeps the count of the
  // last of them through any other statement (CREATE, DROP), which reports
  // none (-1).
  if (!sqlite3_stmt_readonly(stmt) && ChangesRows(sqlite3_sql(stmt)))
    out->rows_affected = sqlite3_changes64(db);
}

// Run for a statement prepared for this call only.
void Run(sqlite3* db, TsqlExtensions& extensions, sqlite3_stmt* stmt, ResultSet* out,
         const std::string& busy_context) {
  Run(db, extensions, stmt, out, busy_context, [stmt] { return ColumnsOf(stmt); });
}

// "device:inode" of the file at `path`, or "" when there is none (an
// in-memory or temporary database). Raises when the file has more than one
// name.
std::string FileKey(const std::string& path) {
  struct stat st {};
  if (path.empty() || path == ":memory:" || ::stat(path.c_str(), &st) != 0) return "";
  if (st.st_nlink > 1)
    Throw(E_FAIL,
          "Refused to open the SQLite database " + path + ": the file has " +
              std::to_string(st.st_nlink) +
              " hard links. Writers that reach one file through two names keep separate "
              "journals and do not exclude each other, so counters would be handed out twice; "
              "remove the other links and use one name",
          "SQLite");
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// Whether the database file already runs with the WAL journal, read from
// its header through SQLite's own handle of the file: the magic text, then
// the write and read versions (bytes 18 and 19), which are 2 in WAL mode.
// The mode is kept in the file, so a file switched once stays switched and
// the switching statement (a parse, a step and a read of the schema) can be
// left out. A new, empty or foreign file reads as not WAL and is switched
// (or refused) by the statement as before.
bool HeaderSaysWal(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods)
    return false;
  static constexpr char kMagic[] = "SQLite format 3";  // with its NUL: 16 bytes
  unsigned char header[20];
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) return false;
  return std::memcmp(header, kMagic, sizeof kMagic) == 0 && header[18] == 2 && header[19] == 2;
}

}  // namespace

SqliteDriver::SqliteDriver(const std::string& path, int busy_timeout_ms)
    : statements_(kCachedStatements, [this](KeptStatement& s) {
        if (&s == last_) last_ = nullptr;
        sqlite3_finalize(s.stmt);
      }) {
  // Refuses a file with several names before touching it; a file that is
  // there keeps its key.
  file_key_ = FileKey(path);
  busy_.limit = std::chrono::milliseconds(busy_timeout_ms);
  busy_context_ = "Waited " + std::to_string(busy_timeout_ms) +
                  " ms (BusyTimeout) for another connection's write lock on the SQLite database " +
                  path;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    int ext = db_ ? sqlite3_extended_errcode(db_) : rc;
    sqlite3_close(db_);
    db_ = nullptr;
    throw ComError(E_FAIL, "Cannot open the SQLite database " + path + ": " + msg, "SQLite",
                   KindOf(ext), std::to_string(ext));
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, RetryWhileBusy, &busy_);
  // The other functions wait for the first statement that names one.
  extensions_ = std::make_unique<TsqlExtensions>(db_);
  if (int frc = RegisterReplacements(db_); frc != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    Throw(E_FAIL, std::string("Cannot register the T-SQL functions: ") + sqlite3_errstr(frc),
          "SQLite");
  }
  try {
    // journal_mode answers with a row; the others with none. A file that may
    // not be written is opened for reading only (SQLite falls back by
    // itself): it keeps the journal it has, since switching would be a
    // write, and every write fails with "attempt to write a readonly
    // database".
    if (sqlite3_db_readonly(db_, "main") != 1 && !HeaderSaysWal(db_))
      DoExecute("PRAGMA journal_mode=WAL");
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);
    if (file_key_.empty()) file_key_ = FileKey(path);  // the file exists now
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

SqliteDriver::~SqliteDriver() {
  if (!db_) return;
  if (InheritedAcrossFork()) {
    // A handle opened before a fork must not be used in the child, closing
    // included (closing may checkpoint and would change lock state the
    // parent's handle relies on). It is kept, reachable, until the process
    // ends.
    static std::mutex mutex;
    static std::vector<sqlite3*>* abandoned = new std::vector<sqlite3*>();
    std::lock_guard<std::mutex> hold(mutex);
    abandoned->push_back(db_);
    return;
  }
  // An open transaction is rolled back by sqlite3_close_v2.
  statements_.Clear();
  if (db_) sqlite3_close_v2(db_);
}

dialect::ColumnTypes* SqliteDriver::column_types() {
  if (!column_types_ && db_) column_types_ = std::make_unique<SqliteColumnTypes>(db_);
  return column_types_.get();
}

bool SqliteDriver::InTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

namespace {

// BEGIN, COMMIT, ROLLBACK or END: sent with every write, so kept prepared
// like the statements rather than parsed again each time.
bool IsTransactionControl(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && std::isalpha(static_cast<unsigned char>(text[n]))) ++n;
  const std::string_view word = text.substr(0, n);
  for (std::string_view w : {"begin", "commit", "rollback", "end"}) {
    if (word.size() != w.size()) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i)
      same = std::tolower(static_cast<unsigned char>(word[i])) == w[i];
    if (same) return true;
  }
  return false;
}

}  // namespace

ResultSet SqliteDriver::DoExecute(const std::string& native) {
  if (IsTransactionControl(native)) {
    // Anything the cache will not keep (more than one statement, a text the
    // engine refuses) takes the way below, which reports it.
    if (KeptStatement* kept = Cached(native, true)) {
      ResetOnExit reset{kept->stmt};
      ResultSet r;
      RunKept(*kept, &r);
      return r;
    }
  }
  ResultSet first;  // the first result that has rows
  ResultSet last;
  if (const int rc = extensions_->RegisterNamedIn(native); rc != SQLITE_OK) ThrowError(db_, rc);
  const char* tail = native.c_str();
  const char* end = tail + native.size();
  while (tail < end) {
    Stmt s;
    int rc = extensions_->Prepare(tail, static_cast<int>(end - tail), 0, &s.p, &tail);
    if (rc != SQLITE_OK) Fail(db_, rc, busy_context_);
    if (!s.p) continue;  // blanks or a comment
    ResultSet r;
    Run(db_, *extensions_, s.p, &r, busy_context_);
    if (r.has_rows && !first.has_rows)
      first = std::move(r);
    else
      last = std::move(r);
  }
  return first.has_rows ? std::move(first) : std::move(last);
}

sqlite3_stmt* SqliteDriver::PrepareOne(const std::string& native) {
  Stmt s;
  const char* tail = nullptr;
  int rc = extensions_->RegisterNamedIn(native);
  if (rc == SQLITE_OK)
    rc = extensions_->Prepare(native.c_str(), static_cast<int>(native.size()), 0, &s.p, &tail);
  if (rc != SQLITE_OK) Fail(db_, rc, busy_context_);
  // What follows the first statement may only be what prepares to nothing:
  // blanks, comments and semicolons. The rest is checked before the first
  // statement runs, so a refused text changes nothing.
  const char* end = native.c_str() + native.size();
  while (tail < end) {
    Stmt next;
    const char* after = nullptr;
    rc = extensions_->Prepare(tail, static_cast<int>(end - tail), 0, &next.p, &after);
    if (rc != SQLITE_OK || next.p || after == tail)
      Throw(E_FAIL, "The text holds more than one statement; only one is run here", "SQLite");
    tail = after;
  }
  return std::exchange(s.p, nullptr);
}

ResultSet SqliteDriver::DoExecuteOne(const std::string& native) {
  Stmt s;
  s.p = PrepareOne(native);
  ResultSet r;
  if (s.p) Run(db_, *extensions_, s.p, &r, busy_context_);
  return r;
}

void SqliteDriver::DoCheckOne(const std::string& native) {
  Stmt s;
  s.p = PrepareOne(native);
}

std::vector<int32_t> SqliteDriver::DoParameterTypes(const std::string& native) {
  Stmt s;
  s.p = PrepareOne(native);
  return std::vector<int32_t>(s.p ? sqlite3_bind_parameter_count(s.p) : 0, kAdVariant);
}

SqliteDriver::KeptStatement* SqliteDriver::Cached(const std::string& text, bool quiet) {
  // A statement run row after row (a batch's insert) is found without
  // hashing its text again.
  if (last_ && text == last_text_) return last_;
  if (KeptStatement* kept = statements_.Find(text)) return Remember(text, kept);
  Stmt s;
  const char* tail = nullptr;
  int rc = extensions_->RegisterNamedIn(text);
  if (rc == SQLITE_OK)
    rc = extensions_->Prepare(text.c_str(), static_cast<int>(text.size()),
                              SQLITE_PREPARE_PERSISTENT, &s.p, &tail);
  if (rc != SQLITE_OK) {
    if (quiet) return nullptr;
    Fail(db_, rc, busy_context_);
  }
  if (!s.p) return nullptr;
  for (const char* end = text.c_str() + text.size(); tail < end; ++tail)
    if (*tail != ' ' && *tail != '\n' && *tail != '\t' && *tail != '\r' && *tail != ';')
      return nullptr;  // more follows: not a statement to keep
  return Remember(text, statements_.Put(text, KeptStatement{std::exchange(s.p, nullptr)}));
}

void SqliteDriver::RunKept(KeptStatement& kept, ResultSet* out) {
  Run(db_, *extensions_, kept.stmt, out, busy_context_, [&kept]() -> const ResultColumns& {
    const int reprepared = sqlite3_stmt_status(kept.stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (kept.reprepared != reprepared) {
      kept.columns = ColumnsOf(kept.stmt);  // a new list: earlier results keep theirs
      kept.reprepared = reprepared;
    }
    return kept.columns;
  });
}

void SqliteDriver::RequireExtensions() {
  if (const int rc = extensions_->RegisterAll(); rc != SQLITE_OK)
    Throw(E_FAIL, std::string("Cannot register the T-SQL functions: ") + sqlite3_errstr(rc),
          "SQLite");
}

SqliteDriver::KeptStatement* SqliteDriver::Remember(const std::string& text, KeptStatement* kept) {
  last_text_ = text;
  last_ = kept;
  return kept;
}

std::optional<ResultSet> SqliteDriver::DoExecuteLiterals(const ParameterizedSql& sql) {
  // A text the engine refuses runs again as written, so that its error
  // quotes the statement as it was sent.
  KeptStatement* kept = Cached(sql.text, true);
  if (!kept) return std::nullopt;
  sqlite3_stmt* stmt = kept->stmt;
  ResetOnExit reset{stmt};
  ReadyBindings(stmt, sql.params.size());
  for (size_t i = 0; i < sql.params.size(); ++i) {
    int rc = BindLiteral(stmt, static_cast<int>(i + 1), sql.params[i]);
    if (rc != SQLITE_OK) ThrowError(db_, rc);
  }
  ResultSet r;
  RunKept(*kept, &r);
  return r;
}

ResultSet SqliteDriver::DoExecuteParams(const std::string& native,
                                        std::span<const Variant* const> params) {
  Stmt once;
  KeptStatement* kept = Cached(native, false);
  sqlite3_stmt* stmt = kept ? kept->stmt : nullptr;
  if (!kept) {
    // Not kept (a comment follows the statement, say): prepared for this
    // call only, and refused when another statement follows.
    once.p = PrepareOne(native);
    if (!once.p) return ResultSet{};
    stmt = once.p;
  }
  ResetOnExit reset{stmt};
  ReadyBindings(stmt, params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    int rc = Bind(stmt, static_cast<int>(i + 1), *params[i]);
    if (rc != SQLITE_OK) ThrowError(db_, rc);
  }
  ResultSet r;
  if (kept)
    RunKept(*kept, &r);
  else
    Run(db_, *extensions_, stmt, &r, busy_context_);
  return r;
}

std::string SqliteDriver::PrimaryKeyQuery() const {
  return "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk";
}

}  // namespace q6::sqlite
