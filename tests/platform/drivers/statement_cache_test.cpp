// Statements kept prepared per connection: values of one run never reach
// another, and a table changed by another connection is seen as it is now.
// Runs on both engines.
#include <gtest/gtest.h>

#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class StatementCacheTest : public EngineTest {
 protected:
  std::unique_ptr<Driver> Open() { return OpenDriver(ResolveDataSource(dsn())); }

  // The single column of every row of `sql`, joined with ','.
  static std::string Column(Driver& d, const std::string& sql) {
    ResultSet r = d.Execute(sql);
    std::string out;
    for (size_t i = 0; i < r.row_count; ++i)
      out += (i ? "," : "") + r.cells[i * r.columns.size()].ToString();
    return out;
  }
};

TEST_P(StatementCacheTest, EachRunSeesOnlyItsOwnValues) {
  auto d = Open();
  d->Execute("CREATE TABLE t (k INTEGER PRIMARY KEY, s TEXT)");
  d->Execute("INSERT INTO t (k, s) VALUES (1, 'a'), (2, 'O''Brien'), (3, 'c')");
  // Same shapes, values changing from run to run; some match nothing, some
  // compare an integer column with a fraction or a number beyond 32 bits.
  const struct {
    const char* sql;
    const char* rows;
  } cases[] = {
      {"SELECT s FROM t WHERE k = 1", "a"},
      {"SELECT s FROM t WHERE k = 2", "O'Brien"},
      {"SELECT s FROM t WHERE k = 9", ""},
      {"SELECT s FROM t WHERE k = 1.5", ""},
      {"SELECT s FROM t WHERE k = 3000000000", ""},
      {"SELECT s FROM t WHERE k = 3", "c"},
      {"SELECT k FROM t WHERE s = 'O''Brien'", "2"},
      {"SELECT k FROM t WHERE s = 'a'", "1"},
      {"SELECT k FROM t WHERE s = 'O''Brien '", ""},
      {"SELECT k FROM t WHERE k > 1 AND s <> 'c' ORDER BY k", "2"},
      {"SELECT k FROM t WHERE k > 0 AND s <> 'a' ORDER BY k", "2,3"},
      {"SELECT k FROM t WHERE k >= 2.5 ORDER BY k", "3"},
      {"SELECT k FROM t WHERE substr('abc', 1, 1) = s", "1"},
      {"SELECT k FROM t WHERE substr('cab', 1, 1) = s", "3"},
  };
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& c : cases) EXPECT_EQ(Column(*d, c.sql), c.rows) << c.sql;
  // A write runs again with its new values too, inserted rows' values
  // taking the column's type as the literal would ('5' into k, 6 into s).
  d->Execute("UPDATE t SET s = 'x' WHERE k = 1");
  d->Execute("UPDATE t SET s = 'y' WHERE k = 3");
  d->Execute("INSERT INTO t (k, s) VALUES ('5', 6)");
  d->Execute("INSERT INTO t (k, s) VALUES (4, 'z')");
  EXPECT_EQ(Column(*d, "SELECT s FROM t ORDER BY k"), "x,O'Brien,y,z,6");
  EXPECT_EQ(Column(*d, "SELECT k FROM t WHERE s = '6'"), "5");
}

// A kept statement run again with fewer values never shows the values of
// the run before, whose texts are gone by then.
TEST_P(StatementCacheTest, AValueNotGivenIsNeverTheLastRunsValue) {
  auto d = Open();
  const std::string sql = "SELECT " + d->Placeholder(1) + ", " + d->Placeholder(2);
  for (int run = 0; run < 3; ++run) {
    auto first = std::make_unique<Variant>("first " + std::string(40, 'x') + std::to_string(run));
    auto second = std::make_unique<Variant>("second " + std::string(40, 'y'));
    std::vector<const Variant*> both = {first.get(), second.get()};
    ResultSet r = d->ExecuteParams(sql, both, sql);
    EXPECT_EQ(r.cells[1].ToString(), second->ToString());
    first.reset();
    second.reset();
    Variant only("only");
    std::vector<const Variant*> one = {&only};
    if (!quirks().missing_parameters_read_null) {
      EXPECT_THROW(d->ExecuteParams(sql, one, sql), ComError);
      continue;
    }
    r = d->ExecuteParams(sql, one, sql);
    EXPECT_EQ(r.cells[0].ToString(), "only");
    EXPECT_TRUE(r.cells[1].IsNull()) << r.cells[1].ToString();
  }
}

TEST_P(StatementCacheTest, ATableChangedByAnotherConnectionIsSeen) {
  auto d = Open();
  auto other = Open();
  other->Execute("CREATE TABLE t (k INTEGER, s TEXT)");
  other->Execute("INSERT INTO t (k, s) VALUES (1, 'a')");
  const std::string sql = "SELECT * FROM t WHERE k = 1";
  const ResultSet narrow = d->Execute(sql);
  EXPECT_EQ(narrow.columns.size(), 2u);

  other->Execute("ALTER TABLE t ADD COLUMN z INTEGER");
  ResultSet wider = d->Execute(sql);
  ASSERT_EQ(wider.columns.size(), 3u);
  EXPECT_EQ(wider.columns[2].name, "z");

  other->Execute("DROP TABLE t");
  EXPECT_THROW(d->Execute(sql), ComError);

  other->Execute("CREATE TABLE t (k INTEGER, other TEXT)");
  other->Execute("INSERT INTO t (k, other) VALUES (1, 'b')");
  ResultSet again = d->Execute(sql);
  ASSERT_EQ(again.columns.size(), 2u);
  EXPECT_EQ(again.columns[1].name, "other");
  EXPECT_EQ(again.cells[1].ToString(), "b");

  // Results handed out keep the columns they were made with, through the
  // statement's new preparations and after its connection is gone.
  d.reset();
  auto names = [](const ResultSet& r) {
    std::string out;
    for (const ColumnInfo& c : r.columns) out += c.name + ";";
    return out;
  };
  EXPECT_EQ(names(narrow), "k;s;");
  EXPECT_EQ(names(wider), "k;s;z;");
  EXPECT_EQ(names(again), "k;other;");
}

Q6_INSTANTIATE_ENGINE_TEST(StatementCacheTest);

}  // namespace
}  // namespace q6
