// Values come back exactly as the engine holds them, on both engines:
// binary columns as byte arrays (written and read back through parameters),
// the floating values that are not numbers as Doubles, and a numeric the
// Decimal type cannot hold exactly as Overflow naming its column instead of
// a value with digits lost. What each engine can store is declared in the
// tables below.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class ExactValueTest : public test::EngineTest {
 protected:
  std::unique_ptr<Driver> Open() { return OpenDriver(ResolveDataSource(dsn())); }
};

TEST_P(ExactValueTest, BinaryColumnsRoundTripAsByteArrays) {
  const ByteArray kValues[] = {
      {},
      {0x00},
      {0xff, 0xfe, 0x00, 0x41, 0x80},  // not UTF-8, a NUL inside
      {'\'', ';', '-', '-', '\\', 'x'},
  };
  auto d = Open();
  d->Execute(std::string("CREATE TABLE b (k INTEGER PRIMARY KEY, v ") + quirks().blob_type + ")");
  const std::string insert =
      "INSERT INTO b (k, v) VALUES (" + d->Placeholder(1) + ", " + d->Placeholder(2) + ")";
  for (size_t i = 0; i < std::size(kValues); ++i)
    d->ExecuteParams(insert, {Variant(static_cast<int32_t>(i)), Variant(kValues[i])});
  ResultSet r = d->Execute("SELECT v FROM b ORDER BY k");
  ASSERT_EQ(r.row_count, std::size(kValues));
  EXPECT_EQ(r.columns[0].ado_type, kAdLongVarBinary);
  for (size_t i = 0; i < std::size(kValues); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(r.cells[i].type(), VarType::ByteArray) << r.cells[i].Describe();
    EXPECT_EQ(r.cells[i].bytes(), kValues[i]);
  }
}

TEST_P(ExactValueTest, InfinitiesAndNaNComeBackAsDoubles) {
  const double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* sqlite;  // nullptr: the engine cannot hold it
    const char* pg;
    double value;  // NaN: any NaN
  } rows[] = {
      {"SELECT 1e999", "SELECT CAST('Infinity' AS DOUBLE PRECISION)", kInf},
      {"SELECT -1e999", "SELECT CAST('-Infinity' AS DOUBLE PRECISION)", -kInf},
      {nullptr, "SELECT CAST('NaN' AS DOUBLE PRECISION)", std::nan("")},
      {nullptr, "SELECT CAST('Infinity' AS REAL)", kInf},
      {nullptr, "SELECT CAST('NaN' AS NUMERIC)", std::nan("")},
  };
  auto d = Open();
  for (const auto& row : rows) {
    const char* sql = engine() == Engine::SQLite ? row.sqlite : row.pg;
    if (!sql) continue;
    SCOPED_TRACE(sql);
    ResultSet r = d->Execute(sql);
    ASSERT_EQ(r.cells.size(), 1u);
    ASSERT_EQ(r.cells[0].type(), VarType::Double) << r.cells[0].Describe();
    const double got = r.cells[0].ToDouble();
    if (std::isnan(row.value))
      EXPECT_TRUE(std::isnan(got));
    else
      EXPECT_EQ(got, row.value);
  }
}

TEST_P(ExactValueTest, NumericsTheDecimalCannotHoldRaiseOverflowNamingTheColumn) {
  if (engine() == Engine::SQLite) GTEST_SKIP() << "SQLite keeps such numbers as REAL";
  const struct {
    const char* literal;
    const char* exact;  // nullptr: Overflow
  } rows[] = {
      {"79228162514264337593543950335", "79228162514264337593543950335"},  // the largest
      {"-0.0000000000000000000000000001", "-0.0000000000000000000000000001"},
      {"12.500000000000000000000000000000000", "12.5"},  // trailing zeros are no digits
      {"79228162514264337593543950336", nullptr},        // one more
      {"0.00000000000000000000000000001", nullptr},      // 29 places
      {"1.0000000000000000000000000001", "1.0000000000000000000000000001"},  // 29 digits
      {"9.9999999999999999999999999999", nullptr},  // 29 digits beyond 96 bits
      {"123456789012345678901234567890123456789", nullptr},
  };
  auto d = Open();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.literal);
    const std::string sql = std::string("SELECT CAST('") + row.literal + "' AS NUMERIC) AS amount";
    if (row.exact) {
      ResultSet r = d->Execute(sql);
      ASSERT_EQ(r.cells[0].type(), VarType::Decimal);
      EXPECT_EQ(r.cells[0].ToString(), row.exact);
      continue;
    }
    try {
      d->Execute(sql);
      ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), VbHr(kVbOverflow));
      EXPECT_NE(e.description().find("amount"), std::string::npos) << e.description();
      EXPECT_NE(e.description().find(row.literal), std::string::npos) << e.description();
    }
  }
}

Q6_INSTANTIATE_ENGINE_TEST(ExactValueTest);

}  // namespace
}  // namespace q6
