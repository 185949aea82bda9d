// Date and time columns made through the layer hold dates on both engines:
// they come back as the runtime's Date (GETDATE() too), and a text that is
// no date, compared with such a column or written into it, fails with SQL
// Server's conversion error instead of comparing as text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  // Translated with the connection's column types, as the layer does.
  ResultSet Run(const std::string& tsql) {
    return d_->Execute(TranslateSql(tsql, d_->engine(), d_->column_types()), tsql);
  }
  std::string Text(const std::string& expr, const char* table = "ev") {
    const ResultSet r = Run("select " + expr + " from " + table);
    return r.cells.size() == 1 ? r.cells[0].ToString() : "<" + std::to_string(r.cells.size()) + ">";
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

// CAST to text follows the column's declared type, which a PostgreSQL
// timestamp or time alone does not tell (datetime2(4) is a timestamp(4),
// time(7) a time(6)): the table definition records it, and a change of the
// table through the same connection is seen by the next statement.
TEST_P(DateColumnTest, TextFollowsTheDeclaredType) {
  EXPECT_EQ(Text("cast(small as varchar(30))"), "Mar  5 2024 10:21AM");
  EXPECT_EQ(Text("cast(two as varchar(30))"), "2024-03-05 10:20:30.5000");
  EXPECT_EQ(Text("cast(tm as varchar(30))"), "10:20:30");
  for (const char* type : {"datetime2(2)", "datetime"}) {
    Run("drop table if exists ev2");
    Run(std::string("create table ev2 (v ") + type + ")");
    Run("insert into ev2 values ('2024-03-05 10:20:30.5')");
    EXPECT_EQ(Text("cast(v as varchar(30))", "ev2"),
              type[8] == '2' ? "2024-03-05 10:20:30.50" : "Mar  5 2024 10:20AM")
        << type;
  }
}

// DATALENGTH depends on the value's exact type, which only one engine's
// values carry (EngineQuirks).
TEST_P(DateColumnTest, LengthFollowsTheColumnType) {
  if (!quirks().date_lengths_follow_type) GTEST_SKIP() << "dates without their lengths";
  EXPECT_EQ(Text("concat(datalength(small), datalength(two), datalength(tm), datalength(at))"),
            "4738");
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

// Seven fractional digits reach a datetime2 or time column whole or cut,
// never rounded into the next second (or day), whichever way they are
// sent: bound to a statement of one's own, in a batch, or as a literal of
// an INSERT without a column list or of an UPDATE; a varchar beside them
// keeps every digit.
TEST_P(DateColumnTest, SevenDigitValuesStayInTheirSecond) {
  Run("create table ev7 (id int, d datetime2, t time, v varchar(30))");
  const std::string when = "2024-03-05 23:59:59.9999999";
  const std::string put = "insert into ev7 values (" + d_->Placeholder(1) + ", " +
                          d_->Placeholder(2) + ", " + d_->Placeholder(3) + ", " +
                          d_->Placeholder(4) + ")";
  d_->ExecuteParams(put, {Variant(1), Variant(when), Variant("10:00:00.9999999"), Variant(when)});
  d_->ExecuteBatch(std::vector<Driver::Batched>{
      {{put, {Variant(2), Variant(when), Variant("10:00:00.9999999"), Variant(when)}}, ""}});
  Run("insert into ev7 values (3, '" + when + "', '10:00:00.9999999', '" + when + "')");
  Run("insert into ev7 (id, v) values (4, '" + when + "')");
  Run("update ev7 set d = '" + when + "', t = '10:00:00.9999999' where id = 4");
  const std::string where =
      "ev7 where convert(varchar(19), d, 120) = '2024-03-05 23:59:59' and "
      "convert(varchar(8), t, 108) = '10:00:00' and v = '" +
      when + "' and d = '" + when + "'";
  EXPECT_EQ(Text("count(*)", where.c_str()), "4");
}

// A table with a key and a datetime made as one statement of a script (run
// alone, as the extended protocol takes one statement): the statements the
// dialect adds behind it, its date triggers and its key's index, all run.
TEST_P(DateColumnTest, ScriptTableKeepsWhatTheDialectAdds) {
  d_->ExecuteOne(TranslateSql("create table ev8 (id int primary key, at datetime)", d_->engine(),
                              d_->column_types()));
  Run("insert into ev8 values (1, '2024-03-05 10:20:30.125')");
  EXPECT_EQ(Text("convert(varchar(23), at, 121)", "ev8"), "2024-03-05 10:20:30.127");
}

Q6_INSTANTIATE_ENGINE_TEST(DateColumnTest);

}  // namespace
}  // namespace q6
