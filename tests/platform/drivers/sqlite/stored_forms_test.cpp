// The stored forms a bulk load writes into decimal and date columns are the
// texts the columns' triggers would make: digits written by hand must agree
// with them to the byte (scale padding, signs, leading zeros, the widest
// mantissa; dates with and without milliseconds, each date type's part).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_values.h"

namespace q6::sqlite {
namespace {

struct ExactCase {
  const char* text;  // as a column receives it
  const char* decl;  // the column's declared type
  const char* stored;
};

TEST(StoredFormTest, DecimalsAreWrittenAsTheTriggerStoresThem) {
  const ExactCase kCases[] = {
      {"0", "decimal_text(18,2)", "\v0.00"},
      {"-0.004", "decimal_text(18,2)", "\v0.00"},  // rounds to zero: no sign
      {"-0.005", "decimal_text(18,2)", "\v-0.01"},
      {"7.1", "decimal_text(18,2)", "\v7.10"},
      {"-12.5", "decimal_text(18,3)", "\v-12.500"},
      {"0.05", "decimal_text(10,9)", "\v0.050000000"},
      {"42", "decimal_text(5,0)", "\v42"},
      {"  +99999.995 ", "decimal_text(18,2)", "\v100000.00"},
      {"1.5", "money_text(19,4)", "\f1.5000"},
      {"10000000000000000000", "decimal_text(20,0)", "\v10000000000000000000"},
      {"-99999999999999999999999999999999999999", "decimal_text(38,0)",
       "\v-99999999999999999999999999999999999999"},
      {"0.00000000000000000000000000000000000001", "decimal_text(38,38)",
       "\v0.00000000000000000000000000000000000001"},
      {"123456789012345678901.5", "decimal_text(38,17)",
       "\v123456789012345678901.50000000000000000"},
  };
  for (const ExactCase& c : kCases) {
    SCOPED_TRACE(c.text);
    const StoredForm f = StoredFormOf(c.decl);
    char out[kStoredFormChars];
    const size_t n = ToStoredForm(f, Variant(std::string(c.text)), out);
    EXPECT_EQ(std::string(out, n), c.stored);
    // What the column's trigger would make of the same text.
    std::optional<Exact> x = ParseExact(c.text);
    ASSERT_TRUE(x && Rescale(&*x, f.scale));
    x->money = f.money;
    EXPECT_EQ(StoredText(*x), c.stored);
  }
  // Products carry scales past a column's (up to 76 places) into error
  // texts; the widest mantissa has 39 digits.
  Exact tiny;
  tiny.m = -5;
  tiny.scale = 60;
  EXPECT_EQ(FormatExact(tiny), "-0." + std::string(59, '0') + "5");
  Exact wide;
  wide.m = static_cast<__int128>(17014118346046923) * 10000000000000000000ULL * 1000;
  wide.scale = 3;
  EXPECT_EQ(FormatExact(wide), "170141183460469230000000000000000000.000");
  wide.scale = 0;
  EXPECT_EQ(FormatExact(wide), "170141183460469230000000000000000000000");
  // Too many digits for the column, or no number: left to the trigger.
  char out[kStoredFormChars];
  EXPECT_EQ(ToStoredForm(StoredFormOf("decimal_text(5,2)"), Variant(std::string("1000")), out), 0u);
  EXPECT_EQ(ToStoredForm(StoredFormOf("decimal_text(5,2)"), Variant(std::string("1e3")), out), 0u);
}

struct DateCase {
  const char* text;
  const char* decl;
  const char* stored;  // after the tag
};

TEST(StoredFormTest, DatesAreWrittenAsTheTriggerStoresThem) {
  const DateCase kCases[] = {
      {"2024-03-05 10:20:30.000", "datetime_text", "2024-03-05 10:20:30"},
      {"2024-03-05 10:20:30.007", "datetime_text", "2024-03-05 10:20:30.007"},
      {"2024-03-05 10:20:30.120", "datetime2_text(3)", "2024-03-05 10:20:30.120"},
      {"0001-01-01 00:00:00", "datetime_text", "0001-01-01 00:00:00"},
      {"9999-12-31 23:59:59.999", "datetime_text", "9999-12-31 23:59:59.997"},
      {"2024-03-05 10:20:30.125", "datetime_text", "2024-03-05 10:20:30.127"},
      {"2024-03-05 10:20:30.1234567", "datetime2_text", "2024-03-05 10:20:30.1234567"},
      {"2024-03-05 23:59:59.99995", "datetime2_text(4)", "2024-03-06 00:00:00"},
      {"23:59:59.9999999", "time_text", "23:59:59.9999999"},
      {"10:20:30.1000001", "time_text", "10:20:30.1000001"},
      {"2024-03-05 10:20:30", "smalldatetime_text", "2024-03-05 10:21:00"},
      {"2024-12-31 23:59:30", "smalldatetime_text", "2025-01-01 00:00:00"},
      {"2024-03-05 10:20:30.5", "date_text", "2024-03-05"},
      {"10:20:30.250", "time_text(7)", "10:20:30.250"},
      {"20240305", "datetime_text", "2024-03-05 00:00:00"},
  };
  for (const DateCase& c : kCases) {
    SCOPED_TRACE(c.text);
    const StoredForm f = StoredFormOf(c.decl);
    ASSERT_EQ(f.kind, StoredForm::kDate);
    char out[kStoredFormChars];
    const size_t n = ToStoredForm(f, Variant(std::string(c.text)), out);
    ASSERT_GT(n, 1u);
    const DateType type{static_cast<DateKind>(f.date_kind), f.date_digits};
    EXPECT_EQ(out[0], DateTag(type));
    EXPECT_EQ(std::string(out + 1, n - 1), c.stored);
    EXPECT_EQ(StoredDate(*DateOfText(c.text), type), std::string(out, n));
  }
  char out[kStoredFormChars];
  EXPECT_EQ(ToStoredForm(StoredFormOf("date_text"), Variant(std::string("2024-02-30")), out), 0u);
}

// The seven-digit form extends the millisecond one: a text written before
// reads as the same moment, and text order is time order.
TEST(StoredFormTest, SevenDigitDatesSortAsTextAndByTheCollation) {
  const DateType d7{DateKind::kDateTime2, 7};
  const char* kAscending[] = {"2024-03-05 10:20:30",         "2024-03-05 10:20:30.0000001",
                              "2024-03-05 10:20:30.12",      "2024-03-05 10:20:30.1200001",
                              "2024-03-05 10:20:30.1234567", "2024-03-05 10:20:30.124"};
  std::vector<std::string> stored;
  for (const char* t : kAscending) stored.push_back(StoredDate(*DateOfText(t), d7));
  for (size_t i = 1; i < stored.size(); ++i) {
    SCOPED_TRACE(kAscending[i]);
    EXPECT_LT(stored[i - 1], stored[i]);
    EXPECT_LT(
        CompareDateTexts(nullptr, static_cast<int>(stored[i - 1].size()), stored[i - 1].data(),
                         static_cast<int>(stored[i].size()), stored[i].data()),
        0);
  }
  // The millisecond form as it was written before: '.120', read unchanged.
  const std::string old = std::string(1, DateTag(d7)) + "2024-03-05 10:20:30.120";
  EXPECT_EQ(old, stored[2]);
  EXPECT_EQ(DefaultDateText(*DateOfText(old), d7), "2024-03-05 10:20:30.1200000");
}

// A literal compared with a column's value is read as the column's type.
TEST(StoredFormTest, TheCollationReadsALiteralAsTheColumnsType) {
  struct Case {
    DateType type;
    const char* stored;   // written into the column
    const char* literal;  // compared with it
    int sign;
  };
  const Case kCases[] = {
      {{DateKind::kDateTime, 7}, "2024-03-05 10:20:30.125", "2024-03-05 10:20:30.125", 0},
      {{DateKind::kDateTime, 7}, "2024-03-05 10:20:30.125", "2024-03-05 10:20:30.129", -1},
      {{DateKind::kDateTime2, 2}, "2024-03-05 10:20:30.125", "2024-03-05 10:20:30.1251", 0},
      {{DateKind::kDateTime2, 7}, "2024-03-05 10:20:30.1234567", "2024-03-05 10:20:30.1234568", -1},
      {{DateKind::kDate, 7}, "2024-03-05", "2024-03-05 10:00", 0},
      {{DateKind::kTime, 3}, "10:20:30.1234", "2024-03-05 10:20:30.123", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.stored) + " vs " + c.literal);
    const std::string v = StoredDate(*DateOfText(c.stored), c.type);
    const std::string lit = c.literal;
    const int ab = CompareDateTexts(nullptr, static_cast<int>(v.size()), v.data(),
                                    static_cast<int>(lit.size()), lit.data());
    const int ba = CompareDateTexts(nullptr, static_cast<int>(lit.size()), lit.data(),
                                    static_cast<int>(v.size()), v.data());
    EXPECT_EQ(ab, c.sign);
    EXPECT_EQ(ba, -c.sign);
  }
}

}  // namespace
}  // namespace q6::sqlite
