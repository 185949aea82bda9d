// The drivers through one interface: value types, Null, errors, rows
// affected, parameters, transaction state, liveness. Runs on both engines.
#include "platform/drivers/driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/dialect/dialect.h"
#include "platform/drivers/postgres/tsql_compat.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class DriverTest : public EngineTest {
 protected:
  std::unique_ptr<Driver> Open() { return OpenDriver(ResolveDataSource(dsn())); }
};

struct TypeRow {
  const char* expr;  // a select-list expression, same text on both engines
  VarType sqlite_type;
  VarType pg_type;
  const char* text;  // the value as text
};

TEST_P(DriverTest, ValuesComeBackWithTheirTypes) {
  const TypeRow rows[] = {
      {"CAST(42 AS INTEGER)", VarType::Long, VarType::Long, "42"},
      {"CAST(-7 AS SMALLINT)", VarType::Long, VarType::Long, "-7"},
      {"CAST(3000000000 AS BIGINT)", VarType::Decimal, VarType::Decimal, "3000000000"},
      {"CAST(12 AS BIGINT)", VarType::Long, VarType::Long, "12"},
      {"CAST(2.5 AS DOUBLE PRECISION)", VarType::Double, VarType::Double, "2.5"},
      {"CAST(12.25 AS NUMERIC(18,4))", quirks().numeric_type, quirks().numeric_type, "12.25"},
      {"'O''Brien'", VarType::String, VarType::String, "O'Brien"},
      {"'Grüße'", VarType::String, VarType::String, "Grüße"},
      {"NULL", VarType::Null, VarType::Null, ""},
  };
  auto d = Open();
  for (const TypeRow& row : rows) {
    ResultSet r = d->Execute(std::string("SELECT ") + row.expr + " AS v");
    ASSERT_TRUE(r.has_rows) << row.expr;
    ASSERT_EQ(r.row_count, 1u) << row.expr;
    ASSERT_EQ(r.columns.size(), 1u);
    EXPECT_EQ(r.columns[0].name, "v");
    const Variant& v = r.cells[0];
    VarType want = engine() == Engine::SQLite ? row.sqlite_type : row.pg_type;
    EXPECT_EQ(v.type(), want) << row.expr << " gave " << v.Describe();
    if (!v.IsNull()) {
      EXPECT_EQ(v.ToString(), row.text) << row.expr;
    }
  }
}

TEST_P(DriverTest, DeclaredTypesOfTableColumnsGiveFieldTypes) {
  auto d = Open();
  d->Execute("CREATE TABLE t (a INTEGER, b DOUBLE PRECISION, c TEXT)");
  ResultSet r = d->Execute("SELECT a, b, c FROM t");  // no rows: types still known
  ASSERT_TRUE(r.has_rows);
  EXPECT_EQ(r.row_count, 0u);
  ASSERT_EQ(r.columns.size(), 3u);
  EXPECT_EQ(r.columns[0].ado_type, kAdInteger);
  EXPECT_EQ(r.columns[1].ado_type, kAdDouble);
  EXPECT_EQ(r.columns[2].ado_type, kAdVarWChar);
}

TEST_P(DriverTest, BooleanReadsAsBooleanOnPostgreSqlAndIntegerOnSqlite) {
  auto d = Open();
  ResultSet r = d->Execute(engine() == Engine::PostgreSQL ? "SELECT true, false" : "SELECT 1, 0");
  ASSERT_EQ(r.cells.size(), 2u);
  EXPECT_TRUE(r.cells[0].ToBool());
  EXPECT_FALSE(r.cells[1].ToBool());
}

TEST_P(DriverTest, RowsAffectedAndParameters) {
  auto d = Open();
  d->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, s TEXT, x DOUBLE PRECISION)");
  std::string ins = "INSERT INTO t (k, s, x) VALUES (" + d->Placeholder(1) + ", " +
                    d->Placeholder(2) + ", " + d->Placeholder(3) + ")";
  const double tricky = 0.1 + 0.2;  // needs 17 digits to read back exactly
  EXPECT_EQ(d->ExecuteParams(ins, {Variant(1), Variant("it's"), Variant(tricky)}).rows_affected, 1);
  EXPECT_EQ(d->ExecuteParams(ins, {Variant(2), Variant::Null(), Variant(true)}).rows_affected, 1);
  EXPECT_EQ(d->Execute("UPDATE t SET s = 'z'").rows_affected, 2);
  ResultSet r =
      d->ExecuteParams("SELECT k, x FROM t WHERE x = " + d->Placeholder(1), {Variant(tricky)});
  ASSERT_EQ(r.row_count, 1u) << "a Double parameter must compare exactly";
  EXPECT_EQ(r.cells[0].ToLong(), 1);
  r = d->Execute("SELECT x FROM t WHERE k = 2");
  EXPECT_EQ(r.cells[0].ToDouble(), 1.0) << "a Boolean is stored as 1";
  EXPECT_EQ(d->Execute("DELETE FROM t WHERE k > 5").rows_affected, 0);
}

TEST_P(DriverTest, EngineErrorsCarryTheEngineMessage) {
  auto d = Open();
  try {
    d->Execute("SELECT * FROM no_such_table");
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), E_FAIL);
    EXPECT_THAT(e.description(), ::testing::HasSubstr("no_such_table"));
    if (engine() == Engine::PostgreSQL) {
      EXPECT_THAT(e.description(), ::testing::HasSubstr("SQLSTATE 42P01"));
    }
    EXPECT_EQ(d->last_error(), e.description());
  }
}

TEST_P(DriverTest, TransactionStateIsTrackedAndMisuseFails) {
  auto d = Open();
  EXPECT_FALSE(d->InTransaction());
  for (auto op : {&Driver::Commit, &Driver::Rollback}) {
    try {
      ((*d).*op)();
      FAIL() << "commit/rollback without a transaction must fail";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), kXactNoTransaction);
    }
  }
  d->Begin();
  EXPECT_TRUE(d->InTransaction());
  EXPECT_THROW(d->Begin(), ComError);
  // A failing statement inside the transaction leaves it to be rolled back.
  EXPECT_THROW(d->Execute("SELECT * FROM no_such_table"), ComError);
  d->Rollback();
  EXPECT_FALSE(d->InTransaction());
}

// A batch (one exchange on PostgreSQL) runs in order, binds each
// statement's own values, stops at the first failure and leaves the
// transaction to the caller; begin and commit batches refuse misuse.
TEST_P(DriverTest, BatchesRunInOrderAndStopAtTheFirstFailure) {
  auto d = Open();
  d->Execute("CREATE TABLE b (k INTEGER PRIMARY KEY, s TEXT)");
  const std::string put =
      "INSERT INTO b (k, s) VALUES (" + d->Placeholder(1) + ", " + d->Placeholder(2) + ")";
  d->BeginWith({"INSERT INTO b (k, s) VALUES (1, 'a')"});
  EXPECT_TRUE(d->InTransaction());
  EXPECT_THROW(d->BeginWith({"SELECT 1"}), ComError);
  d->CommitAfter(
      {{{put, {Variant(2), Variant("O'Brien")}}, ""}, {{put, {Variant(3), Variant()}}, ""}});
  EXPECT_FALSE(d->InTransaction());
  EXPECT_THROW(d->CommitAfter({{{put, {Variant(9), Variant("x")}}, ""}}), ComError);
  const std::vector<Driver::Batched> reads{{"SELECT count(*) FROM b", ""},
                                           {"SELECT s FROM b WHERE k = 2", ""},
                                           {"SELECT s FROM b WHERE k = 3", ""}};
  std::vector<ResultSet> r = d->ExecuteBatch(reads);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].cells[0].ToLong(), 3);
  EXPECT_EQ(r[1].cells[0].ToString(), "O'Brien");
  EXPECT_TRUE(r[2].cells[0].IsNull());

  d->Begin();
  EXPECT_THROW(d->CommitAfter({{{put, {Variant(4), Variant("d")}}, ""},
                               {{put, {Variant(1), Variant("twice")}}, ""},
                               {{put, {Variant(5), Variant("e")}}, ""}}),
               ComError);
  EXPECT_TRUE(d->InTransaction());  // the caller rolls back
  d->Rollback();
  EXPECT_EQ(d->Execute("SELECT count(*) FROM b").cells[0].ToLong(), 3);
}

TEST_P(DriverTest, PrimaryKeyColumnsInKeyOrder) {
  auto d = Open();
  d->Execute("CREATE TABLE pk2 (a INTEGER, b TEXT, c INTEGER, PRIMARY KEY (c, a))");
  d->Execute("CREATE TABLE nokey (a INTEGER)");
  EXPECT_THAT(d->PrimaryKey("pk2"), ::testing::ElementsAre("c", "a"));
  EXPECT_TRUE(d->PrimaryKey("nokey").empty());
  EXPECT_THAT(d->PrimaryKey("FD_Entities"), ::testing::ElementsAre(::testing::StrCaseEq("iID")));
}

TEST_P(DriverTest, IsAliveOnAnOpenConnection) {
  auto d = Open();
  EXPECT_TRUE(d->IsAlive());
}

TEST_P(DriverTest, SeveralConnectionsGetDistinctIds) {
  auto a = Open();
  auto b = Open();
  EXPECT_NE(a->id(), b->id());
}

Q6_INSTANTIATE_ENGINE_TEST(DriverTest);

TEST(PgDriverOnly, ServerThatWentAwayIsNotAlive) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  if (!test::QuirksOf(test::EngineKind::kPostgreSQL).server_sessions)
    GTEST_SKIP() << "no server session of its own to end";
  auto victim = OpenDriver(ResolveDataSource(pg));
  auto killer = OpenDriver(ResolveDataSource(pg));
  ResultSet pid = victim->Execute("SELECT pg_backend_pid()");
  killer->Execute("SELECT pg_terminate_backend(" + pid.cells[0].ToString() + ")");
  EXPECT_FALSE(victim->IsAlive());
  EXPECT_THROW(victim->Execute("SELECT 1"), ComError);
}

// The padded comparisons the dialect writes take text and varchar columns
// that are no citext (catalogue views, case-sensitive columns) compared with
// a literal: the server must find one best operator, comparing as the plain
// one does.
TEST(PgDriverOnly, PaddedComparisonsTakeTextColumns) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  auto d = OpenDriver(ResolveDataSource(pg));
  ResultSet r = d->Execute(
      "SELECT count(*) FROM (VALUES ('abc'::text, 'x'::varchar), ('ABC', 'y')) v(t, w) "
      "WHERE t ^= 'abc' AND w ^<> 'y' AND t ^< 'abd' AND t ^>= 'abc'");
  EXPECT_EQ(r.cells.at(0).ToLong(), 1);
}

// A database left with an older compatibility schema (binaries upgraded,
// `q6fd upgrade` not run yet) gets this build's on the next connection.
TEST(PgDriverOnly, OlderCompatibilitySchemaIsBroughtUpToDate) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  OpenDriver(ResolveDataSource(pg))
      ->Execute(
          "CREATE OR REPLACE FUNCTION q6tsql.tsql_version() RETURNS integer LANGUAGE sql "
          "IMMUTABLE AS 'SELECT 1'");
  auto next = OpenDriver(ResolveDataSource(pg));
  EXPECT_EQ(next->Execute("SELECT q6tsql.tsql_version()").cells.at(0).ToLong(),
            postgres::TsqlCompatVersion());
}

// A later release's schema on a shared server stays as that release left
// it: an older workstation connecting does not take its functions away.
TEST(PgDriverOnly, LaterReleasesCompatibilitySchemaIsLeftAlone) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  auto first = OpenDriver(ResolveDataSource(pg));
  // Under the installers' lock, so that an install another test program
  // began (seeing the schema outdated) ends before the later release appears.
  first->Execute(
      "SELECT pg_advisory_xact_lock(5170171); "
      "CREATE OR REPLACE FUNCTION q6tsql.tsql_version() RETURNS integer LANGUAGE sql "
      "IMMUTABLE AS 'SELECT 1'; CREATE OR REPLACE FUNCTION q6tsql.tsql_release() RETURNS "
      "integer LANGUAGE sql IMMUTABLE AS 'SELECT " +
      std::to_string(postgres::TsqlCompatRelease() + 1) + "'");
  auto next = OpenDriver(ResolveDataSource(pg));
  EXPECT_EQ(next->Execute("SELECT q6tsql.tsql_version()").cells.at(0).ToLong(), 1);
  postgres::InstallTsqlCompat(*next, false);
  EXPECT_EQ(next->Execute("SELECT q6tsql.tsql_version()").cells.at(0).ToLong(),
            postgres::TsqlCompatVersion());
}

// A function of the same name in a schema searched first (the user's own)
// changes no compatibility call: every call names the compatibility schema.
TEST(PgDriverOnly, AUsersFunctionOfTheSameNameChangesNoCompatibilityCall) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  auto d = OpenDriver(ResolveDataSource(pg));
  d->Execute("CREATE SCHEMA IF NOT EXISTS q6_users_own");
  d->Execute(
      "CREATE OR REPLACE FUNCTION q6_users_own.tsql_charindex(f text, s text) RETURNS bigint "
      "LANGUAGE sql AS 'SELECT 999'");
  d->Execute("SET search_path = q6_users_own, public, q6tsql");
  const ResultSet r = d->Execute(TranslateSql("select charindex('b', 'abc')", Engine::PostgreSQL));
  d->Execute("DROP SCHEMA q6_users_own CASCADE");
  EXPECT_EQ(r.cells.at(0).ToLong(), 2);
}

// A compatibility function the database lacks (a login that could not
// install the schema) says what mends it.
TEST(PgDriverOnly, AMissingCompatibilityFunctionNamesTheUpgrade) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set";
  auto d = OpenDriver(ResolveDataSource(pg));
  try {
    d->Execute("SELECT q6tsql.tsql_not_installed(1)");
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_THAT(e.description(), ::testing::HasSubstr("q6fd upgrade"));
  }
}

TEST(SqliteDriverOnly, UnopenableFileFailsWithThePath) {
  DataSource ds;
  ds.engine = Engine::SQLite;
  ds.database = "/nonexistent-folder/x/y.db";
  try {
    OpenDriver(ds);
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), E_FAIL);
    EXPECT_THAT(e.description(), ::testing::HasSubstr("/nonexistent-folder/x/y.db"));
  }
}

}  // namespace
}  // namespace q6
