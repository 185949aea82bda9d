// A SQLite connection registers our functions and collations as statements
// name them; one named only by the schema (a view, a trigger, a column's
// collation) is registered when a statement first meets it, and that
// statement runs as if it had been there from the start, even when it was
// prepared before the schema named it.
#include "platform/drivers/sqlite/sqlite_extensions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {

std::unique_ptr<Driver> Open(const std::string& path) {
  DataSource ds;
  ds.engine = Engine::SQLite;
  ds.database = path;
  return OpenDriver(ds);
}

struct SchemaCase {
  const char* name;
  const char* schema;  // run on another connection
  const char* query;   // names none of our functions
  const char* expected;
};

class SqliteExtensionsNamedBySchema : public ::testing::TestWithParam<SchemaCase> {
 protected:
  void SetUp() override {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : test)
      if (c == '/') c = '_';
    path_ = ::testing::TempDir() + "q6ext_" + std::to_string(::getpid()) + "_" + test + ".db";
    std::remove(path_.c_str());
  }
  void TearDown() override {
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path_ + suffix).c_str());
  }
  std::string path_;
};

TEST_P(SqliteExtensionsNamedBySchema, FirstStatementThatMeetsOneRuns) {
  const SchemaCase& c = GetParam();
  Open(path_)->Execute(c.schema);
  auto fresh = Open(path_);
  EXPECT_EQ(fresh->Execute(c.query).cells.at(0).ToString(), c.expected);
}

TEST_P(SqliteExtensionsNamedBySchema, KeptStatementPreparedBeforeTheSchemaRuns) {
  const SchemaCase& c = GetParam();
  auto reader = Open(path_);
  // Prepared and kept while the names it reads do not involve our
  // functions yet; prepared again inside its next run.
  reader->Execute(
      "CREATE TABLE t (x integer); CREATE TABLE d (v text); CREATE VIEW v AS SELECT 0 AS n");
  reader->ExecuteParams(c.query, std::vector<Variant>{});
  Open(path_)->Execute(std::string("DROP VIEW v; DROP TABLE t; DROP TABLE d; ") + c.schema);
  EXPECT_EQ(reader->ExecuteParams(c.query, std::vector<Variant>{}).cells.at(0).ToString(),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sqlite, SqliteExtensionsNamedBySchema,
    ::testing::Values(
        SchemaCase{"View", "CREATE VIEW v AS SELECT tsql_add(1, 2) AS n", "SELECT n FROM v", "3"},
        SchemaCase{"Trigger",
                   "CREATE TABLE t (x integer); CREATE VIEW v AS SELECT 0 AS n; "
                   "CREATE TRIGGER tr AFTER INSERT ON t BEGIN "
                   "UPDATE t SET x = tsql_mul(new.x, 10) WHERE rowid = new.rowid; END; "
                   "INSERT INTO t VALUES (4)",
                   "SELECT x FROM t", "40"},
        SchemaCase{"Collation",
                   "CREATE TABLE d (v text COLLATE tsql_decimal); CREATE VIEW v AS SELECT 0 AS n; "
                   "INSERT INTO d VALUES ('10'), ('9')",
                   "SELECT v FROM d ORDER BY v", "9"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace q6
