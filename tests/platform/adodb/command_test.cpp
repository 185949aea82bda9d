// ADODB.Command on both engines: values of every parameter type bound and
// read back, markers counted against values, the engine's parameter types,
// and the same command run again with other values.
#include "platform/adodb/command.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "runtime/value_date.h"
#include "support/error_of.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;
using test::ErrorOf;

Variant DateOf(const char* text) {
  double days = 0;
  EXPECT_TRUE(value::ParseDate(text, &days)) << text;
  return Variant(DateValue{days});
}

class CommandTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    con_ = OpenConnection();
    con_->Execute(
        "create table cmd_values (k integer primary key, t nvarchar(40), i integer, b bigint, "
        "s smallint, d numeric(18,4), f double precision, dt timestamp, flag boolean, bin " +
        std::string(quirks().blob_type) + ")");
  }

  // A command on the test's connection.
  std::shared_ptr<Command> NewCommand(const std::string& text) {
    auto cmd = std::make_shared<Command>();
    cmd->PutActiveConnection(Variant(con_));
    cmd->PutCommandText(text);
    return cmd;
  }

  std::shared_ptr<Connection> con_;
};

// Each value goes in through a parameter of the declared type and comes
// back as the engine holds it; the engine's own type for the column
// (declared in the quirks where it differs) converts back to the value.
TEST_P(CommandTest, EveryTypeIsBoundAndReadBack) {
  struct Row {
    const char* column;
    int32_t type;
    Variant value;
    Variant expected;  // as bound: converted to the parameter's type
    uint8_t precision = 0, scale = 0;
  };
  const Row rows[] = {
      {"t", kAdVarWChar, Variant("Grüße, 東京 ✓ 'quoted'"), Variant("Grüße, 東京 ✓ 'quoted'")},
      {"t", kAdVarChar, Variant("'; drop table cmd_values; --"),
       Variant("'; drop table cmd_values; --")},
      {"i", kAdInteger, Variant("-2147483648"), Variant(int32_t{INT32_MIN})},
      {"b", kAdBigInt, Variant(Decimal::Parse("9007199254740993")),
       Variant(Decimal::Parse("9007199254740993"))},
      {"s", kAdSmallInt, Variant(2.5), Variant(int16_t{2})},
      {"d", kAdNumeric, Variant(Decimal::Parse("12345.67895")),
       Variant(Decimal::Parse("12345.679")), 18, 4},
      {"d", kAdCurrency, Variant("-1234.56785"), Variant(Decimal::Parse("-1234.5678"))},
      {"f", kAdDouble, Variant(1.0 / 3), Variant(1.0 / 3)},
      {"dt", kAdDBTimeStamp, DateOf("2024-02-29 13:45:10"), DateOf("2024-02-29 13:45:10")},
      {"dt", kAdDBDate, DateOf("1899-12-29 06:00:00"), DateOf("1899-12-29")},
      {"flag", kAdBoolean, Variant("True"), Variant(true)},
      {"bin", kAdVarBinary, Variant(ByteArray{0, 1, 0xFF, '\'', 0}),
       Variant(ByteArray{0, 1, 0xFF, '\'', 0})},
      {"i", kAdInteger, Variant::Null(), Variant::Null()},
  };
  int32_t k = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.column) + " " + r.value.Describe());
    auto insert =
        NewCommand("insert into cmd_values (k, " + std::string(r.column) + ") values (?, ?)");
    auto p = insert->CreateParameter("v", r.type, kAdParamInput, 40, r.value);
    p->PutPrecision(r.precision);
    p->PutNumericScale(r.scale);
    insert->Parameters()->Append(insert->CreateParameter("k", kAdInteger));
    insert->Parameters()->Append(p);
    Variant affected;
    const std::vector<Variant> key{Variant(++k)};
    EXPECT_EQ(insert->Execute(&affected, &key)->State(), kAdStateClosed);
    EXPECT_EQ(affected.ToLong(), 1);

    auto read = NewCommand("select " + std::string(r.column) + " from cmd_values where k = ?");
    auto rs = read->Execute(nullptr, &key);
    ASSERT_EQ(rs->RecordCount(), 1);
    const Variant got = rs->Field(r.column);
    if (r.expected.IsNull()) {
      EXPECT_TRUE(got.IsNull()) << got.Describe();
    } else {
      EXPECT_EQ(got.ChangeType(r.expected.type()), r.expected) << got.Describe();
    }
  }
  EXPECT_EQ(Scalar("select count(*) as v from cmd_values").ToLong(), k);
}

// Only markers outside literals, quoted names and comments count, and their
// number must match the values'; the text holds one statement.
TEST_P(CommandTest, MarkersAreCountedAgainstValues) {
  struct Row {
    const char* text;
    std::vector<Variant> values;
    HRESULT error;
  };
  const Row rows[] = {
      {"select ? + ? as v", {Variant(1)}, kAdoNoValueGiven},
      {"select ? as v", {Variant(1), Variant(2)}, VbHr(kAdoInvalidArgument)},
      {"select 'a?' as \"b?\", ? as v /* ? */ -- ?", {Variant(7)}, S_OK},
      {"select 1 as v", {}, S_OK},
      // Values are bound to one statement; a second is refused, not skipped.
      {"select ? as v; delete from cmd_values", {Variant(7)}, E_FAIL},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    auto cmd = NewCommand(r.text);
    std::shared_ptr<Recordset> rs;
    EXPECT_EQ(ErrorOf([&] { rs = cmd->Execute(nullptr, &r.values); }), r.error);
    if (r.error == S_OK) {
      EXPECT_EQ(rs->Field("v").ToLong(), r.values.empty() ? 1 : 7);
    }
  }
}

// A prepared command runs again with other values; its T-SQL is rewritten
// around the markers (TOP, LIKE with a concatenated pattern, right()); and
// Refresh learns the markers, typed where the engine tells.
TEST_P(CommandTest, PreparedCommandRunsAgainAndRefreshesItsParameters) {
  Exec(
      "insert into cmd_values (k, t, i) values (1, 'alpha', 10), (2, 'alps', 20), (3, 'beta', 30)");
  auto cmd = NewCommand(
      "select top 1 k from cmd_values where t like ? + '%' and right(t, ?) <> '' order by k desc");
  cmd->PutPrepared(true);
  for (const auto& [prefix, expected] : {std::pair{"al", 2}, {"be", 3}, {"AL", 2}}) {
    const std::vector<Variant> values{Variant(prefix), Variant(2)};
    EXPECT_EQ(cmd->Execute(nullptr, &values)->Field("k").ToLong(), expected) << prefix;
  }

  auto typed = NewCommand("select k from cmd_values where i = ? and t = ?");
  typed->Parameters()->Refresh();
  ASSERT_EQ(typed->Parameters()->Count(), 2);
  EXPECT_EQ(typed->Parameters()->Item(Variant(1))->Name(), "Param2");
  const std::vector<int32_t> types{typed->Parameters()->Item(Variant("param1"))->Type(),
                                   typed->Parameters()->Item(Variant(1))->Type()};
  const std::vector<int32_t> told{kAdInteger, kAdVarWChar}, untold{kAdVariant, kAdVariant};
  EXPECT_EQ(types, quirks().tells_parameter_types ? told : untold);
  typed->Parameters()->Item(Variant(0))->PutValue(Variant("20"));
  typed->Parameters()->Item(Variant(1))->PutValue(Variant("ALPS "));
  EXPECT_EQ(typed->Execute()->Field("k").ToLong(), 2);
}

// A command's text is translated with the connection's column types, as a
// plain Execute's is: the rules that depend on a column's declared type (an
// int column's checked arithmetic, a varchar column compared with a number)
// answer the same through a prepared command with its value bound as
// through the text with the value in place, error included. A prepared
// command whose table is made again with another type follows the new type.
TEST_P(CommandTest, AnswersAsThePlainTextWithItsValueInPlace) {
  Exec("insert into cmd_values (k, t, i) values (1, 'A7', 2147483647), (2, '8', 1), (3, '9', 1)");
  struct Row {
    const char* with_marker;
    const char* with_value;
    Variant value;
  };
  const Row rows[] = {
      {"select i + 1 as v from cmd_values where k = ?",
       "select i + 1 as v from cmd_values where k = 1", Variant(1)},
      {"select count(*) as v from cmd_values where t = 10 and k >= ?",
       "select count(*) as v from cmd_values where t = 10 and k >= 1", Variant(1)},
  };
  // The value of the first row, or the error raised.
  const auto outcome = [](const std::function<std::shared_ptr<Recordset>()>& run) {
    try {
      const Variant v = run()->Field("v");
      return std::string(VarTypeName(v.type())) + ":" + v.ToString();
    } catch (const ComError& e) {
      return "error " + std::to_string(e.hr()) + ": " + e.what();
    }
  };
  for (const Row& row : rows) {
    auto cmd = NewCommand(row.with_marker);
    cmd->PutPrepared(true);
    const std::vector<Variant> values{row.value};
    const std::string plain = outcome([&] { return con_->Execute(row.with_value); });
    for (int run = 0; run < 2; ++run)
      EXPECT_EQ(outcome([&] { return cmd->Execute(nullptr, &values); }), plain)
          << row.with_marker << " (run " << run << ")";
  }

  auto kept = NewCommand("select i + 1 as v from cmd_retyped where k = ?");
  kept->PutPrepared(true);
  const std::vector<Variant> one{Variant(1)};
  std::vector<std::string> seen;
  for (const char* type : {"integer", "bigint"}) {
    // On the command's own connection: its schema is the one its next
    // statement is translated with.
    con_->Execute("drop table if exists cmd_retyped");
    con_->Execute(std::string("create table cmd_retyped (k integer primary key, i ") + type + ")");
    con_->Execute("insert into cmd_retyped values (1, 2147483647)");
    seen.push_back(outcome([&] { return kept->Execute(nullptr, &one); }));
    EXPECT_EQ(seen.back(), outcome([&] {
                return con_->Execute("select i + 1 as v from cmd_retyped where k = 1");
              }))
        << type;
  }
  EXPECT_NE(seen[0], seen[1]);  // overflow as an int, 2147483648 as a bigint
}

Q6_INSTANTIATE_ENGINE_TEST(CommandTest);

}  // namespace
}  // namespace q6
