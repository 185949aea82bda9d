// A connection's column types follow another connection's change of a
// table: a statement translated after the change (as the engine quirks
// allow) gets the new type's answer, and a translation kept from before no
// longer holds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/adodb/typed_translation.h"
#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class ColumnTypesTest : public test::EngineTest {
 protected:
  static void Run(Driver& d, const std::string& tsql) { d.Execute(TranslateFor(d, tsql), tsql); }
  // The statement's values as text, "error" when it fails; run from `kept`
  // when given, made again first when it no longer holds (as its users do).
  static std::string Answer(Driver& d, const std::string& tsql, KeptTranslation* kept = nullptr) {
    try {
      if (kept && !kept->Holds(d)) *kept = KeptTranslation(d, tsql);
      const ResultSet r =
          kept ? d.Execute(kept->statement(), tsql) : d.Execute(TranslateFor(d, tsql), tsql);
      std::string out;
      for (size_t i = 0; i < r.cells.size(); ++i) out += (i ? " " : "") + r.cells[i].ToString();
      return out;
    } catch (const ComError&) {
      return "error";
    }
  }
};

TEST_P(ColumnTypesTest, AnotherConnectionsChangeIsSeenByTheNextStatement) {
  const struct {
    const char* before;  // the column's type before, and after the change
    const char* after;
    const char* values;
    const char* query;
    const char* want_before;
    const char* want_after;
  } cases[] = {
      // Text compares as text; a date with the literal converted to a date.
      {"varchar(30)", "datetime", "('2024-03-10')", "select count(*) from ft where v > '2024-3-5'",
       "0", "1"},
      // A date's text follows its declared type.
      {"datetime2(2)", "datetime", "('2024-03-05 10:20:30.5')",
       "select cast(v as varchar(30)) from ft", "2024-03-05 10:20:30.50", "Mar  5 2024 10:20AM"},
      {"int", "bigint", "(2147483647)", "select v + 1 from ft", "error", "2147483648"},
      {"bigint", "int", "(2147483647)", "select v + 1 from ft", "2147483648", "error"},
      // The average of integers is an integer.
      {"decimal(10,2)", "int", "(1), (2)", "select count(*) from ft having avg(v) > 1", "2", ""},
  };
  auto changer = OpenDriver(ResolveDataSource(dsn()));
  auto reader = OpenDriver(ResolveDataSource(dsn()));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " to " + c.after);
    auto make = [&](const char* type) {
      Run(*changer, "drop table if exists ft");
      Run(*changer, std::string("create table ft (v ") + type + ")");
      Run(*changer, std::string("insert into ft values ") + c.values);
    };
    make(c.before);
    KeptTranslation kept(*reader, c.query);
    EXPECT_EQ(Answer(*reader, c.query), c.want_before);
    EXPECT_EQ(Answer(*reader, c.query, &kept), c.want_before);
    make(c.after);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(quirks().other_sessions_ddl_seen_after_ms));
    EXPECT_EQ(Answer(*reader, c.query, &kept), c.want_after);
    EXPECT_EQ(Answer(*reader, c.query), c.want_after);
  }
}

// A position behind `*` names the table's column at that place: made again
// with its columns in another order, the table's first column is another
// one, and a translation kept from before no longer holds.
TEST_P(ColumnTypesTest, APositionBehindAStarFollowsTheTablesColumnOrder) {
  const std::string query =
      "select * from ft union all select * from ft order by 1 offset 0 rows fetch next 1 rows only";
  auto changer = OpenDriver(ResolveDataSource(dsn()));
  auto reader = OpenDriver(ResolveDataSource(dsn()));
  auto make = [&](const char* columns) {
    Run(*changer, "drop table if exists ft");
    Run(*changer, std::string("create table ft (") + columns + ")");
    Run(*changer, "insert into ft values (1, 2), (2, 1)");
  };
  make("a int, b int");
  KeptTranslation kept(*reader, query);
  EXPECT_EQ(Answer(*reader, query, &kept), "1 2");
  make("b int, a int");
  std::this_thread::sleep_for(std::chrono::milliseconds(quirks().other_sessions_ddl_seen_after_ms));
  EXPECT_EQ(Answer(*reader, query, &kept), "1 2");
  EXPECT_EQ(Answer(*reader, query), "1 2");
}

Q6_INSTANTIATE_ENGINE_TEST(ColumnTypesTest);

}  // namespace
}  // namespace q6
