// Every translation of dialect_cases.h runs on a real engine and gives the
// expected rows: SQLite in memory always, PostgreSQL when Q6FD_TEST_PG holds
// a connection string ("Driver=postgresql;Server=...;Port=...;Database=...;
// UID=..."). The engines are driven through their C client functions
// directly (engine_client_apis.h), so these tests depend on nothing but the
// dialect layer. Each statement runs in a
// transaction that is rolled back, so every case sees the same rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "dialect_cases.h"
#include "engine_client_apis.h"
#include "platform/datasource/data_source.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/postgres/pg_column_types.h"
#include "platform/drivers/postgres/tsql_compat.h"
#include "platform/drivers/sqlite/sqlite_column_types.h"
#include "platform/drivers/sqlite/sqlite_functions.h"
#include "tsql_conformance_cases.h"

namespace q6 {
namespace {

using dialect_test::DialectCase;
using dialect_test::kAnyRows;
using dialect_test::kDialectCases;
using dialect_test::kFails;
using dialect_test::PostgresApi;
using dialect_test::PostgresClient;
using dialect_test::SQLiteApi;
using dialect_test::SQLiteClient;

// The engine quirks of these tests, in one place: the column types that give
// case-insensitive text, and the type of a double.
struct EngineTypes {
  const char* text;
  const char* real;
};
constexpr EngineTypes kSQLiteTypes{"text collate nocase", "double"};
constexpr EngineTypes kPostgresTypes{"citext", "double precision"};

std::string Schema(const EngineTypes& t) {
  const std::string x = t.text;
  const std::string r = t.real;
  return "create table fd_entities (iid integer primary key, ibitype integer, iparentid integer, "
         "sname " +
         x + ", scaption " + x + ", smaxoid " + x +
         ");"
         "create table fd_fields (iid integer primary key, ientityid integer, sname " +
         x + ", bisused integer, irow integer, iinputcol integer, dbltop " + r +
         ", iqryfldsqc integer);"
         "create table fd_locks (locks_id " +
         x + ", user_name " + x + ", workstation_name " + x + ", mod_name " + x + ", class_flag " +
         x + ", digest " + x +
         ");"
         "create table fd_doc (coid " +
         x + " primary key, code " + x + ", qty " + r + ", book_name " + x + ", memo " + x +
         ");"
         "create table fd_line (lineoid " +
         x + " primary key, parentoid " + x + ", item " + x + ", amount " + r +
         ");"
         "insert into fd_entities values (51, 51, 0, 'Order', 'Sales order', '510000000000002'),"
         " (52, 52, 51, 'Order line', 'Line', '520000000000000'),"
         " (63, 63, 0, 'Ledger', 'Ledger', '630000000000000');"
         "insert into fd_fields values (1, 51, 'code', 1, 1, 1, 10.5, 1), (2, 51, 'qty', 1, 2, 1, "
         "20, 2),"
         " (3, 51, 'memo', 0, 3, 2, 30, 0), (4, 52, 'item', 1, 1, 1, 5, 1);"
         "insert into fd_locks values ('510000000000001', 'ann', 'pc1', 'sales', '7', 'editing'),"
         " ('5100', 'bob', 'pc2', 'stock', '6', 'count'), ('_m', 'cy', 'pc3', 'hr', '5', "
         "'payroll');"
         "insert into fd_doc values ('510000000000001', '0000000123', 5, null, 'abc  '),"
         " ('510000000000002', '0000000124', 7, null, ' xy'),"
         " ('510000000000003', '0000000125', 9, 'b1', 'z'),"
         " ('520000000000001', '0000000001', 1, null, 'q');"
         "create table fd_names (id integer, name " +
         x + ", d " + x +
         ");"
         "insert into fd_names values (1, 'Продажи', '2024-02-29 00:00:00'),"
         " (2, 'abc  ', '2024-03-01 10:30:00'), (3, 'ABD', null), (4, 'abd', null);"
         "create table fd_pad (code " +
         x +
         ");"
         "insert into fd_pad values ('ABC'), ('abd   ');"
         "insert into fd_line values ('L1', '510000000000001', 'bolt', 2.5),"
         " ('L2', '510000000000001', 'nut', 1), ('L3', '510000000000002', 'pin', 4);"
         "create view fd_line_v as select * from fd_line;";
}

// Tables made through the dialect's own table definitions, as users make
// them: the exact number columns get each engine's exact type.
constexpr const char* kTypedSchema[] = {
    "create table fd_amounts (id int, amount decimal(18,2), price money)",
    "insert into fd_amounts values (1, 425.5, 10), (2, 0.1, 2.5), (3, 0.2, null), (4, 9, 0)",
    "create table fd_bytes (id int, b varbinary(16))",
    "insert into fd_bytes values (1, 0x0102FF)",
    "create table fd_keyed (code varchar(10) primary key, name nvarchar(10) unique)",
    "insert into fd_keyed values ('ab', 'x')",
    "create table fd_dated (id int, dd datetime, dday date)",
    "insert into fd_dated values (1, '2023-12-31 23:59:59', '2023-12-31'),"
    " (2, '2024/02/01', '20240201'), (3, 'Mar  5 2024 10:20AM', 'Mar 5 2024'),"
    " (4, '2024-3-5', '2024-03-05'), (5, '2024-10-01T08:00:00.5', '2024-10-01')",
    "create table fd_precise (id int, d7 datetime2, d3 datetime2(3), d0 datetime2(0), t7 time,"
    " t3 time(3))",
    "insert into fd_precise values (1, '2024-03-05 10:20:30.125', '2024-03-05 10:20:30.123',"
    " '2024-03-05 10:20:30', '10:20:30.125', '10:20:30.123')",
    "create table fd_late (t time, t3 time(3))",
    "insert into fd_late values ('23:59:59.9999999', '23:59:59.9999')",
    "create table fd_edge (id int, d7 datetime2, t7 time, dt datetime)",
    "create table fd_small (a smallint, b smallint, i int)",
    "insert into fd_small values (30000, 30000, 1)",
};

// Rows written once the tables above exist, translated against their
// column types as the layer translates a statement.
constexpr const char* kTypedRows[] = {
    "insert into fd_edge (id, d7, t7, dt) values (1, '2024-03-05 23:59:59.9999999',"
    " '10:00:00.9999999', '2024-03-05 10:20:30.125')",
    "insert into fd_edge (id, d7, t7) select 2, '2024-03-05 23:59:59.9999999', '10:00:00.9999999'",
    "insert into fd_edge (id, dt) select 3, d7 from fd_precise",
};

struct Outcome {
  bool ok = false;
  std::string error;
  long rows = 0;  // returned by a select, affected otherwise
  bool has_first = false;
  std::string first;
  std::string first_name;  // the name of the first column
};

class EngineSession {
 public:
  virtual ~EngineSession() = default;
  // Runs `sql` inside a transaction that is rolled back afterwards.
  virtual Outcome Run(const std::string& sql) = 0;
  // Empty when the session is ready, else why not.
  const std::string& setup_error() const { return setup_error_; }
  // The declared column types the translation is handed, as the driver
  // hands them; null where the driver gives none.
  virtual dialect::ColumnTypes* column_types() { return nullptr; }

 protected:
  std::string setup_error_;
};

class SQLiteSession : public EngineSession {
 public:
  SQLiteSession() {
    if (!api_.error.empty()) {
      setup_error_ = api_.error;
      return;
    }
    if (api_.sqlite3_open(":memory:", &db_) != SQLITE_OK) {
      setup_error_ = "cannot open an in-memory database";
      return;
    }
    // What the driver does on every connection it opens.
    if (sqlite::RegisterTsqlFunctions(db_) != SQLITE_OK) {
      setup_error_ = "cannot register the T-SQL functions";
      return;
    }
    char* msg = nullptr;
    std::string schema = Schema(kSQLiteTypes);
    for (const char* sql : kTypedSchema) schema += ";" + TranslateSql(sql, Engine::SQLite).native;
    for (const char* sql : kTypedRows) {
      if (msg == nullptr &&
          api_.sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, &msg) == SQLITE_OK)
        schema = TranslateSql(sql, Engine::SQLite, column_types()).native;
    }
    if (api_.sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
      setup_error_ = msg ? msg : "schema failed";
      api_.sqlite3_free(msg);
    }
  }
  ~SQLiteSession() override {
    types_.reset();
    if (db_ != nullptr) api_.sqlite3_close(db_);
  }
  dialect::ColumnTypes* column_types() override {
    if (!types_ && db_ != nullptr) types_ = std::make_unique<sqlite::SqliteColumnTypes>(db_);
    return types_.get();
  }

  Outcome Run(const std::string& sql) override {
    Outcome o;
    api_.sqlite3_exec(db_, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (api_.sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, &tail) != SQLITE_OK) {
      o.error = api_.sqlite3_errmsg(db_);
    } else if (tail != nullptr && tail[strspn(tail, " \t\r\n")] != '\0') {
      o.error = "more than one statement";
    } else if (stmt != nullptr) {
      int rc;
      while ((rc = api_.sqlite3_step(stmt)) == SQLITE_ROW) {
        if (o.rows++ == 0 && api_.sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
          o.has_first = true;
          o.first = reinterpret_cast<const char*>(api_.sqlite3_column_text(stmt, 0));
        }
      }
      if (rc != SQLITE_DONE) {
        o.error = api_.sqlite3_errmsg(db_);
      } else {
        o.ok = true;
        if (api_.sqlite3_column_count(stmt) > 0) o.first_name = api_.sqlite3_column_name(stmt, 0);
        if (api_.sqlite3_column_count(stmt) == 0) o.rows = api_.sqlite3_changes(db_);
      }
    } else {
      o.ok = true;  // nothing but blanks
    }
    api_.sqlite3_finalize(stmt);
    api_.sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    return o;
  }

 private:
  const SQLiteApi& api_ = SQLiteClient();
  sqlite3* db_ = nullptr;
  std::unique_ptr<sqlite::SqliteColumnTypes> types_;
};

// "Driver=postgresql;Server=/tmp/x;Port=5433;Database=q6test;UID=postgres"
// in libpq's keywords, values quoted.
std::string PgConnInfo(const std::string& dsn) {
  static const std::map<std::string, std::string> kKeys = {{"server", "host"},
                                                           {"port", "port"},
                                                           {"database", "dbname"},
                                                           {"uid", "user"},
                                                           {"pwd", "password"}};
  std::string out;
  size_t pos = 0;
  while (pos <= dsn.size()) {
    size_t end = dsn.find(';', pos);
    if (end == std::string::npos) end = dsn.size();
    const std::string item = dsn.substr(pos, end - pos);
    const size_t eq = item.find('=');
    if (eq != std::string::npos) {
      std::string key = item.substr(0, eq);
      for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      const auto it = kKeys.find(key);
      if (it != kKeys.end()) {
        out += it->second + "='";
        for (char ch : item.substr(eq + 1)) {
          if (ch == '\'' || ch == '\\') out += '\\';
          out += ch;
        }
        out += "' ";
      }
    }
    pos = end + 1;
  }
  return out;
}

class PostgresSession : public EngineSession {
 public:
  explicit PostgresSession(const std::string& dsn)
      : schema_("q6dialect_" + std::to_string(getpid())) {
    if (!api_.error.empty()) {
      setup_error_ = api_.error;
      return;
    }
    conn_ = api_.PQconnectdb(PgConnInfo(dsn).c_str());
    if (api_.PQstatus(conn_) != CONNECTION_OK) {
      setup_error_ = api_.PQerrorMessage(conn_);
      return;
    }
    std::string setup = "set client_min_messages = warning; drop schema if exists " + schema_ +
                        " cascade; create schema " + schema_ +
                        "; select pg_advisory_xact_lock(5170171);" + postgres::TsqlCompatSql() +
                        "; set search_path = " + schema_ + ", public, q6tsql;" +
                        Schema(kPostgresTypes);
    for (const char* sql : kTypedSchema)
      setup += ";" + TranslateSql(sql, Engine::PostgreSQL).native;
    for (const char* sql : kTypedRows) {
      PGresult* r = api_.PQexec(conn_, setup.c_str());
      const bool ok = api_.PQresultStatus(r) == PGRES_COMMAND_OK;
      api_.PQclear(r);
      if (!ok) break;
      setup = TranslateSql(sql, Engine::PostgreSQL, column_types()).native;
    }
    PGresult* r = api_.PQexec(conn_, setup.c_str());
    if (api_.PQresultStatus(r) != PGRES_COMMAND_OK) setup_error_ = api_.PQresultErrorMessage(r);
    api_.PQclear(r);
  }
  ~PostgresSession() override {
    types_.reset();
    if (conn_ == nullptr) return;
    if (api_.PQstatus(conn_) == CONNECTION_OK) {
      api_.PQclear(api_.PQexec(conn_, ("drop schema if exists " + schema_ + " cascade").c_str()));
    }
    api_.PQfinish(conn_);
  }

  dialect::ColumnTypes* column_types() override {
    if (!types_ && conn_ != nullptr)
      types_ = std::make_unique<postgres::PgColumnTypes>(
          conn_, [this](const std::string& text) { return api_.PQexec(conn_, text.c_str()); });
    return types_.get();
  }

  Outcome Run(const std::string& sql) override {
    Outcome o;
    api_.PQclear(api_.PQexec(conn_, "begin"));
    PGresult* r = api_.PQexec(conn_, sql.c_str());
    switch (api_.PQresultStatus(r)) {
      case PGRES_TUPLES_OK:
        o.ok = true;
        o.rows = api_.PQntuples(r);
        if (api_.PQnfields(r) > 0) o.first_name = api_.PQfname(r, 0);
        if (o.rows > 0 && api_.PQnfields(r) > 0 && !api_.PQgetisnull(r, 0, 0)) {
          o.has_first = true;
          o.first = api_.PQgetvalue(r, 0, 0);
        }
        break;
      case PGRES_COMMAND_OK:
        o.ok = true;
        o.rows = std::atol(api_.PQcmdTuples(r));
        break;
      case PGRES_EMPTY_QUERY:
        o.ok = true;
        break;
      default:
        o.error = api_.PQresultErrorMessage(r);
    }
    api_.PQclear(r);
    api_.PQclear(api_.PQexec(conn_, "rollback"));
    return o;
  }

 private:
  const PostgresApi& api_ = PostgresClient();
  std::string schema_;
  PGconn* conn_ = nullptr;
  std::unique_ptr<postgres::PgColumnTypes> types_;
};

// Numbers compare by value: SQLite writes a double 30 as "30.0".
bool SameValue(const std::string& got, const std::string& want) {
  if (got == want) return true;
  // A date column's stored form on SQLite, read by a raw client: the tag
  // of its type, a control character, then the date.
  if (!got.empty() && got[0] > 0 && got[0] < 0x20 && got.compare(1, std::string::npos, want) == 0)
    return true;
  char* end_got = nullptr;
  char* end_want = nullptr;
  const double g = std::strtod(got.c_str(), &end_got);
  const double w = std::strtod(want.c_str(), &end_want);
  return !got.empty() && !want.empty() && *end_got == '\0' && *end_want == '\0' && g == w;
}

using EngineCase = std::tuple<Engine, DialectCase>;

class DialectOnEngine : public ::testing::TestWithParam<EngineCase> {
 protected:
  static void SetUpTestSuite() {
    sqlite_ = std::make_unique<SQLiteSession>();
    // A session of its own, with session settings: not through a pooler.
    if (const char* dsn = std::getenv("Q6FD_TEST_PG");
        dsn != nullptr && *dsn != '\0' && !ResolveDataSource(dsn).pooled) {
      postgres_ = std::make_unique<PostgresSession>(dsn);
    }
  }
  static void TearDownTestSuite() {
    sqlite_.reset();
    postgres_.reset();
  }

  static std::unique_ptr<EngineSession> sqlite_;
  static std::unique_ptr<EngineSession> postgres_;
};

std::unique_ptr<EngineSession> DialectOnEngine::sqlite_;
std::unique_ptr<EngineSession> DialectOnEngine::postgres_;

TEST_P(DialectOnEngine, TranslationRuns) {
  const auto& [engine, c] = GetParam();
  EngineSession* session = engine == Engine::SQLite ? sqlite_.get() : postgres_.get();
  if (session == nullptr) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  ASSERT_EQ(session->setup_error(), "");

  const std::string sql = TranslateSql(c.tsql, engine).native;
  const Outcome o = session->Run(sql);
  if (c.rows == kFails) {
    EXPECT_FALSE(o.ok) << "the engine took: " << sql;
    return;
  }
  ASSERT_TRUE(o.ok) << o.error << "\n  in: " << sql;
  if (c.rows != kAnyRows) {
    EXPECT_EQ(o.rows, c.rows) << sql;
  }
  if (c.first != nullptr) {
    ASSERT_TRUE(o.has_first) << "no value in the first row of: " << sql;
    EXPECT_TRUE(SameValue(o.first, c.first))
        << "got '" << o.first << "', want '" << c.first << "' from: " << sql;
  }
}

INSTANTIATE_TEST_SUITE_P(Statements, DialectOnEngine,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(kDialectCases)),
                         [](const ::testing::TestParamInfo<EngineCase>& info) {
                           return std::string(EngineName(std::get<0>(info.param))) + "_" +
                                  std::get<1>(info.param).name;
                         });

using dialect_test::ConformanceCase;
using dialect_test::kConformanceCases;
using dialect_test::kNull;
using dialect_test::Quirk;
using ConformanceParam = std::tuple<Engine, ConformanceCase>;

// SQL Server's answer on both engines, or a refusal that names the cause.
class TsqlOnEngine : public ::testing::TestWithParam<ConformanceParam> {
 protected:
  static void SetUpTestSuite() {
    sqlite_ = std::make_unique<SQLiteSession>();
    // A session of its own, with session settings: not through a pooler.
    if (const char* dsn = std::getenv("Q6FD_TEST_PG");
        dsn != nullptr && *dsn != '\0' && !ResolveDataSource(dsn).pooled) {
      postgres_ = std::make_unique<PostgresSession>(dsn);
    }
  }
  static void TearDownTestSuite() {
    sqlite_.reset();
    postgres_.reset();
  }
  static std::unique_ptr<EngineSession> sqlite_;
  static std::unique_ptr<EngineSession> postgres_;
};

std::unique_ptr<EngineSession> TsqlOnEngine::sqlite_;
std::unique_ptr<EngineSession> TsqlOnEngine::postgres_;

TEST_P(TsqlOnEngine, GivesSqlServersResult) {
  const auto& [engine, c] = GetParam();
  const bool pg = engine == Engine::PostgreSQL;
  if (!pg && c.quirk == Quirk::kPostgresOnly) GTEST_SKIP() << "PostgreSQL syntax";
  EngineSession* session = pg ? postgres_.get() : sqlite_.get();
  if (session == nullptr) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  ASSERT_EQ(session->setup_error(), "");

  const std::string sql = TranslateSql(c.tsql, engine, session->column_types()).native;
  const Outcome o = session->Run(sql);
  if (c.first == nullptr || (pg && c.quirk == Quirk::kRefusedOnPostgres) ||
      (!pg && c.quirk == Quirk::kRefusedOnSqlite)) {
    EXPECT_FALSE(o.ok) << "the engine took: " << sql;
    if (c.error != nullptr) {
      EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
    }
    return;
  }
  ASSERT_TRUE(o.ok) << o.error << "\n  in: " << sql;
  ASSERT_EQ(o.rows, 1) << sql;
  const std::string got = o.has_first ? o.first : kNull;
  EXPECT_TRUE(SameValue(got, c.first))
      << "got '" << got << "', want '" << c.first << "' from: " << sql;
}

INSTANTIATE_TEST_SUITE_P(Constructs, TsqlOnEngine,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(kConformanceCases)),
                         [](const ::testing::TestParamInfo<ConformanceParam>& info) {
                           return std::string(EngineName(std::get<0>(info.param))) + "_" +
                                  std::get<1>(info.param).name;
                         });

using dialect_test::kResultNameCases;
using dialect_test::ResultNameCase;
using ResultNameParam = std::tuple<Engine, ResultNameCase>;

// Result columns come back under the names the statement gives them.
class ResultNamesOnEngine : public ::testing::TestWithParam<ResultNameParam> {};

TEST_P(ResultNamesOnEngine, AsWritten) {
  const auto& [engine, c] = GetParam();
  std::unique_ptr<EngineSession> session;
  if (engine == Engine::SQLite) {
    session = std::make_unique<SQLiteSession>();
  } else if (const char* dsn = std::getenv("Q6FD_TEST_PG"); dsn != nullptr && *dsn != '\0') {
    // A session of its own, with session settings: not through a pooler.
    if (ResolveDataSource(dsn).pooled) GTEST_SKIP() << "needs a server session of its own";
    session = std::make_unique<PostgresSession>(dsn);
  } else {
    GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  }
  ASSERT_EQ(session->setup_error(), "");
  const std::string sql = TranslateSql(c.tsql, engine).native;
  const Outcome o = session->Run(sql);
  ASSERT_TRUE(o.ok) << o.error << "\n  in: " << sql;
  EXPECT_EQ(o.first_name, c.name) << sql;
  EXPECT_EQ(o.first, c.first) << sql;
}

INSTANTIATE_TEST_SUITE_P(Names, ResultNamesOnEngine,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(kResultNameCases)),
                         [](const ::testing::TestParamInfo<ResultNameParam>& info) {
                           return std::string(EngineName(std::get<0>(info.param))) + "_" +
                                  std::get<1>(info.param).test;
                         });

}  // namespace
}  // namespace q6
