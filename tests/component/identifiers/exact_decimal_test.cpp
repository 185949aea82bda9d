// Exact decimal text arithmetic: reading, sums of any length, zero padding.
#include "component/identifiers/exact_decimal.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/com_error.h"

namespace q6 {
namespace {

struct ParseRow {
  const char* text;
  const char* canonical;  // nullptr: not a number (Type mismatch)
};

TEST(ExactDecimalTest, ParsesToPlainText) {
  const ParseRow rows[] = {
      {"0000000123", "123"},
      {"  510000000000000 ", "510000000000000"},
      {"\t-12.50", "-12.5"},
      {"+7", "7"},
      {"-0", "0"},
      {"0.000", "0"},
      {".5", "0.5"},
      {"5.", "5"},
      {"1e3", "1000"},
      {"1.25E+2", "125"},
      {"125e-4", "0.0125"},
      {"123456789012345678901234567890123", "123456789012345678901234567890123"},
      {"", nullptr},
      {"   ", nullptr},
      {"abc", nullptr},
      {"12a", nullptr},
      {"1 2", nullptr},
      {"--1", nullptr},
      {"1e", nullptr},
      {".", nullptr},
      {"1,000", nullptr},
  };
  for (const ParseRow& r : rows) {
    SCOPED_TRACE(std::string("text \"") + r.text + "\"");
    ExactDecimal d;
    EXPECT_EQ(ExactDecimal::TryParse(r.text, &d), r.canonical != nullptr);
    if (r.canonical) {
      EXPECT_EQ(d.ToString(), r.canonical);
    } else {
      try {
        ExactDecimal::Parse(r.text);
        ADD_FAILURE() << "no error";
      } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), VbHr(kVbTypeMismatch));
      }
    }
  }
}

TEST(ExactDecimalTest, HugeExponentOverflowsInsteadOfExhaustingMemory) {
  try {
    ExactDecimal::Parse("1e999999999");
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(kVbOverflow));
  }
  try {
    ExactDecimal::Parse("1e-999999999");
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(kVbOverflow));
  }
}

struct SumRow {
  const char* a;
  const char* b;
  const char* sum;
  const char* difference;  // a - b
};

TEST(ExactDecimalTest, AddsAndSubtractsExactly) {
  const SumRow rows[] = {
      {"510000000000000", "1", "510000000000001", "509999999999999"},
      {"999999999999999", "1", "1000000000000000", "999999999999998"},
      {"9007199254740993", "1", "9007199254740994", "9007199254740992"},
      {"18446744073709551615", "1", "18446744073709551616", "18446744073709551614"},
      {"99999999999999999999999999999999999", "1", "100000000000000000000000000000000000",
       "99999999999999999999999999999999998"},
      {"-5", "1", "-4", "-6"},
      {"-1", "1", "0", "-2"},
      {"0.5", "1", "1.5", "-0.5"},
      {"-0.25", "1", "0.75", "-1.25"},
      {"12.75", "0.25", "13", "12.5"},
      {"0", "0", "0", "0"},
      {"1", "1000", "1001", "-999"},
  };
  for (const SumRow& r : rows) {
    SCOPED_TRACE(std::string(r.a) + " and " + r.b);
    ExactDecimal a = ExactDecimal::Parse(r.a);
    ExactDecimal b = ExactDecimal::Parse(r.b);
    EXPECT_EQ((a + b).ToString(), r.sum);
    EXPECT_EQ((b + a).ToString(), r.sum);
    EXPECT_EQ((a - b).ToString(), r.difference);
  }
}

struct PadRow {
  const char* value;
  const char* padded;  // at least ten digits
};

TEST(ExactDecimalTest, ZeroPadsToAtLeastTenDigits) {
  const PadRow rows[] = {
      {"0", "0000000000"},
      {"1", "0000000001"},
      {"124", "0000000124"},
      {"0000000123", "0000000123"},
      {"1234567890", "1234567890"},
      {"12345678901", "12345678901"},
      {"123456789012345678901234567890", "123456789012345678901234567890"},
      {"-5", "-0000000005"},
      {"12.5", "0000000013"},
      {"12.4999", "0000000012"},
      {"-12.5", "-0000000013"},
      {"9999999999.5", "10000000000"},
      {"0.4", "0000000000"},
      {"-0.4", "0000000000"},
  };
  for (const PadRow& r : rows) {
    SCOPED_TRACE(r.value);
    EXPECT_EQ(ExactDecimal::Parse(r.value).ZeroPadded(10), r.padded);
  }
}

}  // namespace
}  // namespace q6
