// The engine fixture for every test that touches a database.
//
// A test that derives from EngineTest runs once per engine:
//
//   class MyTest : public q6::test::EngineTest {};
//   TEST_P(MyTest, Something) {
//     auto con = OpenConnection();          // an open ADODB.Connection
//     con->Execute("insert into FD_Locks values('a','u','w','m','7','d')");
//     ... dsn() is a data-source text for Connection::Open or a pool ...
//   }
//   Q6_INSTANTIATE_ENGINE_TEST(MyTest);
//
// Each test gets an empty database of its own with the metadata and lock
// tables created: SQLite a fresh file in a temporary folder; PostgreSQL a
// fresh schema in the server named by the environment variable Q6FD_TEST_PG
// (a connection string such as
// "Driver=postgresql;Server=/tmp/pg;Port=5433;Database=q6test;UID=postgres"),
// dropped afterwards. Without Q6FD_TEST_PG the PostgreSQL instances are
// skipped with a message.
//
// What differs between the engines, as far as tests need to know, is
// declared once in EngineQuirks; tests read it instead of testing the engine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6::test {

enum class EngineKind { kSQLite, kPostgreSQL };

// Engine differences visible to tests.
struct EngineQuirks {
  Engine engine;
  const char* name;        // "SQLite", "PostgreSQL": test-name suffix
  VarType numeric_type;    // how a NUMERIC(18,4) column's value reads back
  VarType timestamp_type;  // how a TIMESTAMP column's value reads back
  const char* blob_type;   // a column type for raw bytes
  // A write transaction locks the whole database, so the component's own
  // steps join a caller's open transaction of the same thread.
  bool steps_join_callers_transaction;
  // The server ends a session left idle inside a transaction, freeing its
  // locks (a frozen client); a file database has no one to do that.
  bool server_ends_idle_transactions;
  // Clients have sessions on a server that can be asked whether a session
  // still exists.
  bool server_sessions;
  // The kind of the error a wait for another client's lock ends with when it
  // runs out (the data source's BusyTimeout / LockTimeout).
  ErrorKind wait_ran_out_kind;
  // A statement run with fewer values than it has placeholders reads Null
  // for the others; the other engine refuses the run.
  bool missing_parameters_read_null;
  // A batch's new rows go many to one INSERT (the engine runs statements
  // one at a time); the other engine gets one INSERT a row, sent together.
  bool batch_inserts_many_rows_a_statement;
  // A native query of one count: the functions of ours named by parameter 1
  // that take the number of arguments in parameter 2 (SQLite: those the
  // connection registered; PostgreSQL: the compatibility schema's).
  const char* function_count_query;
  // The engine tells the types of a statement's parameters from where they
  // stand (Parameters.Refresh); the other tells only how many there are.
  bool tells_parameter_types;
  // A date value knows its column's exact type (smalldatetime, datetime2(n),
  // time(n)) in DATALENGTH; the other engine's timestamp and time reach a
  // function without their digits (CAST to text is told them by the dialect).
  bool date_lengths_follow_type;
  // One lock holder row stands for every lock its transaction took, found
  // by the lock rows' xmin; the other engine's holder rows name their lock.
  bool lock_holder_per_transaction;
  // How long after another connection changed a table a statement may still
  // be translated with the column types from before (0: the next statement
  // sees the change).
  int other_sessions_ddl_seen_after_ms;
};

const EngineQuirks& QuirksOf(EngineKind kind);

class EngineTest : public ::testing::TestWithParam<EngineKind> {
 protected:
  void SetUp() override;
  void TearDown() override;

  EngineKind kind() const { return GetParam(); }
  const EngineQuirks& quirks() const { return QuirksOf(GetParam()); }
  Engine engine() const { return quirks().engine; }

  // A data-source text (a connection string) for this test's database.
  const std::string& dsn() const { return dsn_; }
  // A new open connection to this test's database.
  std::shared_ptr<Connection> OpenConnection() const;
  // Runs `sql` on a connection of the fixture's own.
  void Exec(const std::string& sql);
  // The first column of the first row of `sql`.
  Variant Scalar(const std::string& sql);
  // A path for files of this test (SQLite folder; a temporary folder for
  // PostgreSQL too), removed afterwards.
  const std::string& folder() const { return folder_; }

 private:
  std::string dsn_;
  std::string folder_;
  std::string pg_schema_;
  std::shared_ptr<Connection> own_;
};

// "SQLite" / "PostgreSQL" as test-name suffixes.
std::string EngineParamName(const ::testing::TestParamInfo<EngineKind>& info);

}  // namespace q6::test

#define Q6_INSTANTIATE_ENGINE_TEST(Suite)                                                      \
  INSTANTIATE_TEST_SUITE_P(                                                                    \
      Engines, Suite,                                                                          \
      ::testing::Values(::q6::test::EngineKind::kSQLite, ::q6::test::EngineKind::kPostgreSQL), \
      ::q6::test::EngineParamName)
