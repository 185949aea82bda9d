// Decimal and money columns made through the layer hold and sum exactly on
// both engines, and come back as the runtime's Decimal with the column's
// scale: SQLite's exact form (sqlite_exact.h) against PostgreSQL's numeric.
#include <gtest/gtest.h>

#include <string>

#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class ExactDecimalTest : public test::EngineTest {
 protected:
  std::unique_ptr<Driver> Open() { return OpenDriver(ResolveDataSource(dsn())); }
  ResultSet Run(Driver& d, const std::string& tsql) {
    return d.Execute(TranslateSql(tsql, d.engine()), tsql);
  }
};

// 0.01 in 2^15 rows sums to 327.68 exactly; a float sum is off in the
// last places.
TEST_P(ExactDecimalTest, ManyCentsSumExactlyWithTheColumnsScale) {
  auto d = Open();
  Run(*d, "create table cents (amount decimal(18,2))");
  Run(*d, "insert into cents values (0.01)");
  for (int i = 0; i < 15; ++i) Run(*d, "insert into cents select amount from cents");
  const ResultSet r = Run(*d, "select sum(amount), avg(amount), min(amount) from cents");
  ASSERT_EQ(r.cells.size(), 3u);
  const char* want[] = {"327.68", "0.010000", "0.01"};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(r.cells[i].type(), VarType::Decimal) << r.cells[i].Describe();
    const Decimal x = r.cells[i].ToDecimal();
    EXPECT_EQ(x, Decimal::Parse(want[i]));
    EXPECT_EQ(x.scale(),
              static_cast<int>(std::string(want[i]).size() - std::string(want[i]).find('.') - 1));
  }
}

// What any statement writes into a decimal or money column is kept at the
// column's scale, rounded as SQL Server rounds; more digits than its
// precision is an overflow.
TEST_P(ExactDecimalTest, WritesAreRoundedToTheColumnAndOverflowFails) {
  auto d = Open();
  Run(*d, "create table m (k int, amount decimal(5,2), price money)");
  Run(*d, "insert into m values (1, 2.675, 1.23456)");
  Run(*d, "update m set amount = amount + 0.005 where k = 1");
  const ResultSet r = Run(*d, "select amount, price from m");
  ASSERT_EQ(r.cells.size(), 2u);
  EXPECT_EQ(r.cells[0].ToDecimal(), Decimal::Parse("2.69"));
  EXPECT_EQ(r.cells[0].ToDecimal().scale(), 2);
  EXPECT_EQ(r.cells[1].ToDecimal(), Decimal::Parse("1.2346"));
  EXPECT_ANY_THROW(Run(*d, "insert into m values (2, 1000, 0)"));
}

Q6_INSTANTIATE_ENGINE_TEST(ExactDecimalTest);

}  // namespace
}  // namespace q6
