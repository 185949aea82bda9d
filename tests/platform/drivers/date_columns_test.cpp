// Date and time columns made through the layer hold dates on both engines:
// they come back as the runtime's Date (GETDATE() too), and a text that is
// no date, compared with such a column or written into it, fails with SQL
// Server's conversion error instead of comparing as text.
#include <gtest/gtest.h>

#include <string>

#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "runtime/value_date.h"
#include "support/test_db.h"

namespace q6 {
namespace {

constexpr const char* kDateError =
    "Conversion failed when converting date and/or time from character string.";

class DateColumnTest : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    if (IsSkipped()) return;
    d_ = OpenDriver(ResolveDataSource(dsn()));
    Run("create table ev (id int, at datetime, day date, tm time(0), small smalldatetime, "
        "two datetime2(4))");
    Run("insert into ev values (1, 'Mar  5 2024 10:20AM', '2024/3/5', '10:20:30', "
        "'2024-03-05 10:20:31', '2024-03-05 10:20:30.5')");
  }
  ResultSet Run(const std::string& tsql) {
    return d_->Execute(TranslateSql(tsql, d_->engine()), tsql);
  }
  std::unique_ptr<Driver> d_;
};

TEST_P(DateColumnTest, ValuesComeBackAsDates) {
  const struct {
    const char* expr;
    const char* want;  // value::FormatDate of the Date; nullptr: any Date
  } rows[] = {
      {"at", "2024-03-05 10:20:00"},
      {"day", "2024-03-05"},
      {"tm", "1899-12-30 10:20:30"},
      {"small", "2024-03-05 10:21:00"},
      {"getdate()", nullptr},
      {"getutcdate()", nullptr},
      {"(select max(at) from ev)", "2024-03-05 10:20:00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expr);
    const ResultSet r = Run(std::string("select ") + row.expr + " from ev");
    ASSERT_EQ(r.cells.size(), 1u);
    ASSERT_EQ(r.cells[0].type(), VarType::Date) << r.cells[0].Describe();
    if (row.want != nullptr) EXPECT_EQ(value::FormatDate(r.cells[0].ToDate().days), row.want);
  }
}

// What CAST to text and DATALENGTH give depends on the column's exact type,
// which only one engine's values carry (EngineQuirks).
TEST_P(DateColumnTest, TextAndLengthFollowTheColumnType) {
  if (!quirks().dates_know_their_digits) GTEST_SKIP() << "dates without their digits";
  const struct {
    const char* expr;
    const char* want;
  } rows[] = {
      {"cast(small as varchar(30))", "Mar  5 2024 10:21AM"},
      {"cast(two as varchar(30))", "2024-03-05 10:20:30.5000"},
      {"cast(tm as varchar(30))", "10:20:30"},
      {"concat(datalength(small), datalength(two), datalength(tm), datalength(at))", "4738"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expr);
    const ResultSet r = Run(std::string("select ") + row.expr + " from ev");
    ASSERT_EQ(r.cells.size(), 1u);
    EXPECT_EQ(r.cells[0].ToString(), row.want);
  }
}

TEST_P(DateColumnTest, TextThatIsNoDateFailsAsInSqlServer) {
  const char* statements[] = {
      "select count(*) from ev where at > 'soon'",
      "select count(*) from ev where day = '2024-02-30'",
      "update ev set at = '2024-02-30'",
      "insert into ev (id, at) values (2, 'x')",
  };
  for (const char* sql : statements) {
    SCOPED_TRACE(sql);
    try {
      Run(sql);
      ADD_FAILURE() << "the statement ran";
    } catch (const ComError& e) {
      EXPECT_NE(e.description().find(kDateError), std::string::npos) << e.description();
    }
  }
}

Q6_INSTANTIATE_ENGINE_TEST(DateColumnTest);

}  // namespace
}  // namespace q6
