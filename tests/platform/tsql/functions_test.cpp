// The registry of T-SQL functions against what is derived from it: every
// engine has each of its functions with each argument count, the rewriter
// renames each call on the engines that have the function, and the
// compatibility schema holds every PostgreSQL text under a version that
// changes with it.
#include "platform/tsql/functions.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/tsql_compat.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using tsql::kFunctions;

bool OnEngine(const tsql::Function& f, Engine e) {
  return e == Engine::SQLite || f.engines == tsql::Engines::kBoth;
}

class TsqlFunctionsOnEngine : public test::EngineTest {};

TEST_P(TsqlFunctionsOnEngine, EveryFunctionTakesEachArgumentCount) {
  auto con = OpenConnection();
  for (const tsql::Function& f : kFunctions) {
    if (!OnEngine(f, engine())) continue;
    for (int args = f.min_args; args <= f.max_args; ++args) {
      // A SQLite connection registers a function of ours when a statement
      // first names it: preparing a call with `args` arguments must succeed.
      if (engine() == Engine::SQLite) {
        std::string call = "SELECT " + tsql::EngineName(f) + "(";
        for (int i = 1; i <= args; ++i) call += (i > 1 ? ", ?" : "?") + std::to_string(i);
        EXPECT_NO_THROW(con->driver().ParameterTypes(call + ")")) << call;
      }
      const ResultSet r = con->driver().ExecuteParams(
          quirks().function_count_query, {Variant(tsql::EngineName(f)), Variant(args)});
      EXPECT_GE(r.cells[0].ToLong(), 1) << tsql::EngineName(f) << " with " << args << " arguments";
    }
  }
}

Q6_INSTANTIATE_ENGINE_TEST(TsqlFunctionsOnEngine);

TEST(TsqlFunctionsInRewriter, EveryCallIsRenamedOnTheEnginesThatHaveIt) {
  for (const tsql::Function& f : kFunctions) {
    if (!tsql::Renamed(f)) continue;
    const std::string first = f.call == tsql::Call::kDatePart ? "dd, " : "";
    const std::string sql = "select " + std::string(f.name) + "(" + first + "x, y) from t";
    for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
      const std::string native = TranslateSql(sql, e).native;
      const std::string renamed = tsql::EngineName(f) + (first.empty() ? "(x" : "('dd'");
      EXPECT_EQ(native.find(renamed) != std::string::npos, OnEngine(f, e))
          << EngineName(e) << ": " << native;
    }
  }
}

// The script ends with the version function; the version is the hash of all
// before it, where every function's text is, so that changing any of them
// makes a new version.
TEST(TsqlCompatVersion, FollowsEveryFunctionsText) {
  const std::string& sql = postgres::TsqlCompatSql();
  const std::string before =
      sql.substr(0, sql.rfind("\nCREATE OR REPLACE FUNCTION q6tsql.tsql_version()"));
  const int version = postgres::TsqlCompatVersion();
  EXPECT_EQ(postgres::TsqlCompatVersionOf(before), version);
  EXPECT_NE(sql.find("'SELECT " + std::to_string(version) + "'", before.size()), std::string::npos);
  for (const tsql::Function& f : kFunctions) {
    if (f.engines != tsql::Engines::kBoth) continue;
    const size_t at = before.find(f.postgres);
    ASSERT_NE(at, std::string::npos) << f.name << " is missing from the script";
    std::string edited = before;
    edited[at + f.postgres.size() / 2] ^= 1;
    EXPECT_NE(postgres::TsqlCompatVersionOf(edited), version) << f.name;
  }
}

}  // namespace
}  // namespace q6
