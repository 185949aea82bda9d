// The engine fixture: one clean database per test on each engine.
#include "support/test_db.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"

namespace q6::test {
namespace {

std::atomic<int> g_counter{0};

std::string MakeTempFolder() {
  std::string templ = (std::filesystem::temp_directory_path() / "q6test.XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  return templ;
}

// Whether Q6FD_TEST_PG names a pooler in transaction mode: a client then
// has no server session of its own.
bool TestServerPooled() {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  return pg && *pg && ResolveDataSource(pg).pooled;
}

}  // namespace

const EngineQuirks& QuirksOf(EngineKind kind) {
  static const EngineQuirks kSqlite{Engine::SQLite,
                                    "SQLite",
                                    VarType::Double,
                                    VarType::String,
                                    "BLOB",
                                    true,
                                    false,
                                    false,
                                    ErrorKind::kBusy,
                                    true,
                                    true,
                                    "SELECT count(*) FROM pragma_function_list WHERE builtin = 0 "
                                    "AND name = ?1 AND narg = ?2",
                                    false,
                                    true,
                                    false,
                                    0};
  static const EngineQuirks kPg{Engine::PostgreSQL,
                                "PostgreSQL",
                                VarType::Decimal,
                                VarType::Date,
                                "BYTEA",
                                false,
                                true,
                                !TestServerPooled(),
                                ErrorKind::kLockTimeout,
                                false,
                                false,
                                "SELECT count(*) FROM pg_proc p JOIN pg_namespace s ON s.oid = "
                                "p.pronamespace WHERE s.nspname = 'q6tsql' AND p.proname = $1 "
                                "AND $2::int BETWEEN p.pronargs - p.pronargdefaults AND "
                                "CASE WHEN p.provariadic <> 0 THEN 100 ELSE p.pronargs END",
                                true,
                                false,
                                true,
                                210};
  return kind == EngineKind::kSQLite ? kSqlite : kPg;
}

std::string EngineParamName(const ::testing::TestParamInfo<EngineKind>& info) {
  return QuirksOf(info.param).name;
}

void EngineTest::SetUp() {
  folder_ = MakeTempFolder();
  if (kind() == EngineKind::kSQLite) {
    dsn_ = "Driver=sqlite;Database=" + folder_ + "/test.db";
  } else {
    const char* pg = std::getenv("Q6FD_TEST_PG");
    if (!pg || !*pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set: PostgreSQL tests skipped";
    pg_schema_ = "q6t_" + std::to_string(::getpid()) + "_" + std::to_string(g_counter++);
    Connection admin;
    admin.Open(pg);
    admin.Execute("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public");
    admin.Execute("DROP SCHEMA IF EXISTS " + pg_schema_ + " CASCADE");
    admin.Execute("CREATE SCHEMA " + pg_schema_);
    dsn_ = std::string(pg) + ";Schema=" + pg_schema_;
  }
  own_ = OpenConnection();
  CreateSchema(*own_);
}

void EngineTest::TearDown() {
  own_.reset();
  if (!pg_schema_.empty()) {
    Connection admin;
    admin.Open(std::getenv("Q6FD_TEST_PG"));
    admin.Execute("DROP SCHEMA IF EXISTS " + pg_schema_ + " CASCADE");
  }
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

std::shared_ptr<Connection> EngineTest::OpenConnection() const {
  auto con = std::make_shared<Connection>();
  con->Open(dsn_);
  return con;
}

void EngineTest::Exec(const std::string& sql) { own_->Execute(sql); }

Variant EngineTest::Scalar(const std::string& sql) {
  auto rs = own_->Execute(sql);
  return rs->Fields()->Item(Variant(int32_t{0}))->Value();
}

}  // namespace q6::test
