// Decimal: parsing with exact rounding, conversions, arithmetic and order.
#include "runtime/decimal.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "runtime/com_error.h"

namespace q6 {
namespace {

constexpr int kOk = 0;
const char* const kMax = "79228162514264337593543950335";

// The run-time error number a call raised, or kOk.
template <class F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.Number();
  }
  return kOk;
}

struct ParseRow {
  const char* text;
  const char* expected;  // ToString() when error == kOk
  int scale;
  int error;
};

class DecimalParse : public testing::TestWithParam<ParseRow> {};

TEST_P(DecimalParse, ValueScaleOrError) {
  const ParseRow& r = GetParam();
  Decimal d;
  ASSERT_EQ(ErrorOf([&] { d = Decimal::Parse(r.text); }), r.error) << r.text;
  Decimal t(99);
  EXPECT_EQ(Decimal::TryParse(r.text, &t), r.error == kOk);
  if (r.error != kOk) {
    EXPECT_EQ(t, Decimal(99)) << "a failed TryParse must not touch its output";
    return;
  }
  EXPECT_EQ(d.ToString(), r.expected) << r.text;
  EXPECT_EQ(d.scale(), r.scale) << r.text;
  EXPECT_EQ(t, d);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecimalParse,
    testing::Values(
        ParseRow{"-123.450", "-123.45", 3, kOk}, ParseRow{"  7 ", "7", 0, kOk},
        ParseRow{"\t7\t", "7", 0, kOk}, ParseRow{"1e3", "1000", 0, kOk},
        ParseRow{"-.5", "-0.5", 1, kOk}, ParseRow{"+2.5E-3", "0.0025", 4, kOk},
        ParseRow{"5.", "5", 0, kOk}, ParseRow{"-0", "0", 0, kOk}, ParseRow{"0.000", "0", 0, kOk},
        ParseRow{kMax, kMax, 0, kOk},
        ParseRow{"-79228162514264337593543950335", "-79228162514264337593543950335", 0, kOk},
        ParseRow{"7.9228162514264337593543950335", "7.9228162514264337593543950335", 28, kOk},
        ParseRow{"0.0000000000000000000000000001", "0.0000000000000000000000000001", 28, kOk},
        // More than 28 places or 29 digits: one rounding, half to even.
        ParseRow{"0.00000000000000000000000000015", "0.0000000000000000000000000002", 28, kOk},
        ParseRow{"0.00000000000000000000000000025", "0.0000000000000000000000000002", 28, kOk},
        ParseRow{"0.000000000000000000000000000251", "0.0000000000000000000000000003", 28, kOk},
        ParseRow{"0.000000000000000000000000000049", "0", 28, kOk}, ParseRow{"1e-40", "0", 28, kOk},
        ParseRow{"1.00000000000000000000000000005", "1", 28, kOk},
        ParseRow{"1.00000000000000000000000000015", "1.0000000000000000000000000002", 28, kOk},
        ParseRow{"12345678901234567890123456789.5", "12345678901234567890123456790", 0, kOk},
        ParseRow{"7922816251426433759354395033.45", "7922816251426433759354395033.4", 1, kOk},
        // Rounding up to .6 would pass 2^96: one more digit goes.
        ParseRow{"7922816251426433759354395033.55", "7922816251426433759354395034", 0, kOk},
        // Out of range.
        ParseRow{"79228162514264337593543950336", "", 0, kVbOverflow},
        ParseRow{"79228162514264337593543950335.5", "", 0, kVbOverflow},
        ParseRow{"1e29", "", 0, kVbOverflow}, ParseRow{"1e999999999999", "", 0, kVbOverflow},
        // Not numbers.
        ParseRow{"", "", 0, kVbTypeMismatch}, ParseRow{"   ", "", 0, kVbTypeMismatch},
        ParseRow{".", "", 0, kVbTypeMismatch}, ParseRow{"abc", "", 0, kVbTypeMismatch},
        ParseRow{"1.2.3", "", 0, kVbTypeMismatch}, ParseRow{"1e", "", 0, kVbTypeMismatch},
        ParseRow{"e5", "", 0, kVbTypeMismatch}, ParseRow{"--1", "", 0, kVbTypeMismatch},
        ParseRow{"1 2", "", 0, kVbTypeMismatch}, ParseRow{"1,5", "", 0, kVbTypeMismatch},
        ParseRow{"0x10", "", 0, kVbTypeMismatch}, ParseRow{"inf", "", 0, kVbTypeMismatch},
        ParseRow{"nan", "", 0, kVbTypeMismatch}, ParseRow{"\n5", "", 0, kVbTypeMismatch}));

struct DoubleRow {
  double value;
  const char* expected;
  int error;
};

class DecimalFromDouble : public testing::TestWithParam<DoubleRow> {};

TEST_P(DecimalFromDouble, GoesThroughFifteenDigits) {
  const DoubleRow& r = GetParam();
  Decimal d;
  ASSERT_EQ(ErrorOf([&] { d = Decimal::FromDouble(r.value); }), r.error) << r.value;
  if (r.error == kOk) {
    EXPECT_EQ(d.ToString(), r.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecimalFromDouble,
    testing::Values(DoubleRow{0.1, "0.1", kOk}, DoubleRow{0.1 + 0.2, "0.3", kOk},
                    DoubleRow{1.0 / 3, "0.333333333333333", kOk}, DoubleRow{-2.5, "-2.5", kOk},
                    DoubleRow{-0.0, "0", kOk},
                    DoubleRow{123456789012345678.0, "123456789012346000", kOk},
                    DoubleRow{1e-30, "0", kOk},
                    DoubleRow{7.9e28, "79000000000000000000000000000", kOk},
                    DoubleRow{1e29, "", kVbOverflow},
                    DoubleRow{std::numeric_limits<double>::infinity(), "", kVbOverflow},
                    DoubleRow{std::numeric_limits<double>::quiet_NaN(), "", kVbOverflow}));

TEST(Decimal, ToDoubleIsTheNearestDouble) {
  EXPECT_EQ(Decimal::Parse("0.1").ToDouble(), 0.1);
  EXPECT_EQ(Decimal::Parse("-1.5").ToDouble(), -1.5);
  EXPECT_EQ(Decimal::Parse(kMax).ToDouble(), 79228162514264337593543950335.0);
  EXPECT_EQ(Decimal::Parse("0.0000000000000000000000000001").ToDouble(), 1e-28);
  EXPECT_EQ(Decimal().ToDouble(), 0.0);
}

TEST(Decimal, FromInt64KeepsEveryValue) {
  EXPECT_EQ(Decimal(std::numeric_limits<int64_t>::min()).ToString(), "-9223372036854775808");
  EXPECT_EQ(Decimal(std::numeric_limits<int64_t>::max()).ToString(), "9223372036854775807");
  EXPECT_EQ(Decimal(-5).ToString(), "-5");
  EXPECT_TRUE(Decimal(-5).negative());
  EXPECT_TRUE(Decimal(0).IsZero());
}

struct RoundRow {
  const char* text;
  int64_t expected;
  int error;
};

class DecimalRound : public testing::TestWithParam<RoundRow> {};

TEST_P(DecimalRound, HalfToEven) {
  const RoundRow& r = GetParam();
  int64_t v = 0;
  ASSERT_EQ(ErrorOf([&] { v = Decimal::Parse(r.text).RoundToInt64(); }), r.error) << r.text;
  if (r.error == kOk) {
    EXPECT_EQ(v, r.expected) << r.text;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DecimalRound,
                         testing::Values(RoundRow{"0.5", 0, kOk}, RoundRow{"1.5", 2, kOk},
                                         RoundRow{"2.5", 2, kOk}, RoundRow{"-2.5", -2, kOk},
                                         RoundRow{"-3.5", -4, kOk},
                                         RoundRow{"2.5000000000000000000000000001", 3, kOk},
                                         RoundRow{"2.4999999999999999999999999999", 2, kOk},
                                         RoundRow{"9223372036854775807", INT64_MAX, kOk},
                                         RoundRow{"-9223372036854775808", INT64_MIN, kOk},
                                         RoundRow{"-9223372036854775808.5", INT64_MIN, kOk},
                                         RoundRow{"9223372036854775807.5", 0, kVbOverflow},
                                         RoundRow{"9223372036854775808", 0, kVbOverflow},
                                         RoundRow{"-9223372036854775809", 0, kVbOverflow}));

// Rounding to places: half to even at the last place kept, the sign of a
// value rounded to zero dropped, fewer places than asked left alone.
TEST(DecimalRoundedTo, Places) {
  const struct {
    const char* text;
    int places;
    const char* expected;
  } rows[] = {{"1.23455", 4, "1.2346"}, {"1.23445", 4, "1.2344"}, {"-0.00005", 4, "0"},
              {"-2.5", 0, "-2"},        {"12.5", 3, "12.5"},      {"0.99995", 4, "1"}};
  for (const auto& r : rows) {
    const Decimal d = Decimal::Parse(r.text).Rounded(r.places);
    EXPECT_EQ(d.ToString(), r.expected) << r.text;
    EXPECT_FALSE(d.negative() && d.IsZero()) << r.text;
  }
}

struct SumRow {
  const char* a;
  const char* b;
  const char* sum;  // a + b
  int error;
};

class DecimalAdd : public testing::TestWithParam<SumRow> {};

TEST_P(DecimalAdd, SumAndDifference) {
  const SumRow& r = GetParam();
  const Decimal a = Decimal::Parse(r.a), b = Decimal::Parse(r.b);
  Decimal s;
  ASSERT_EQ(ErrorOf([&] { s = a + b; }), r.error) << r.a << " + " << r.b;
  if (r.error != kOk) return;
  EXPECT_EQ(s.ToString(), r.sum) << r.a << " + " << r.b;
  EXPECT_EQ((b + a).ToString(), r.sum);
  EXPECT_EQ((-a - b).ToString(), (-s).ToString());
}

// 0.0000000000000000000000000501 has 28 places.
INSTANTIATE_TEST_SUITE_P(
    Rows, DecimalAdd,
    testing::Values(
        SumRow{"0.1", "0.2", "0.3", kOk}, SumRow{"1", "-1", "0", kOk},
        SumRow{"-1.5", "0.25", "-1.25", kOk}, SumRow{"0.3", "-0.1", "0.2", kOk},
        SumRow{"1", "-0.0000000000000000000000000001", "0.9999999999999999999999999999", kOk},
        SumRow{kMax, "-1", "79228162514264337593543950334", kOk},
        // Too many digits: the fraction is rounded once, half to even.
        SumRow{"10", "0.0000000000000000000000000001", "10", kOk},
        SumRow{"10", "0.0000000000000000000000000005", "10", kOk},
        SumRow{"10", "0.0000000000000000000000000015", "10.000000000000000000000000002", kOk},
        SumRow{"1000", "0.0000000000000000000000000501", "1000.0000000000000000000000001", kOk},
        SumRow{"-1000", "-0.0000000000000000000000000501", "-1000.0000000000000000000000001", kOk},
        SumRow{kMax, "1", "", kVbOverflow}, SumRow{kMax, "0.5", "", kVbOverflow},
        SumRow{"-79228162514264337593543950335", "-1", "", kVbOverflow}));

TEST(Decimal, ZeroResultsAreNotNegative) {
  Decimal z = Decimal::Parse("-1.5") + Decimal::Parse("1.5");
  EXPECT_FALSE(z.negative());
  EXPECT_EQ(z.ToString(), "0");
  EXPECT_FALSE((-Decimal()).negative());
}

struct OrderRow {
  const char* a;
  const char* b;
  int order;  // sign of a <=> b
};

class DecimalOrder : public testing::TestWithParam<OrderRow> {};

TEST_P(DecimalOrder, ComparesValues) {
  const OrderRow& r = GetParam();
  const Decimal a = Decimal::Parse(r.a), b = Decimal::Parse(r.b);
  const auto c = a <=> b;
  const int sign = c < 0 ? -1 : (c > 0 ? 1 : 0);
  EXPECT_EQ(sign, r.order) << r.a << " <=> " << r.b;
  EXPECT_EQ(a == b, r.order == 0) << r.a << " == " << r.b;
  const auto back = b <=> a;
  EXPECT_EQ(back < 0 ? -1 : (back > 0 ? 1 : 0), -r.order);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecimalOrder,
                         testing::Values(OrderRow{"1.50", "1.5", 0}, OrderRow{"-0", "0", 0},
                                         OrderRow{"-0.00", "0", 0}, OrderRow{"-2", "1", -1},
                                         OrderRow{"-2", "-1", -1}, OrderRow{"10", "9.99", 1},
                                         OrderRow{"0.1", "0.1000000000000000000000000001", -1},
                                         OrderRow{kMax, "79228162514264337593543950334", 1},
                                         OrderRow{kMax, "7.9228162514264337593543950335", 1}));

// Text conversions must not follow LC_NUMERIC. Runs where a locale with a
// decimal comma is installed.
TEST(Decimal, IgnoresTheProcessLocale) {
  const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"};
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  bool found = false;
  for (const char* name : kCommaLocales) found = found || std::setlocale(LC_NUMERIC, name);
  if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string parsed = Decimal::Parse("1.25").ToString();
  const std::string from_double = Decimal::FromDouble(2.5).ToString();
  const double back = Decimal::Parse("0.5").ToDouble();
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(parsed, "1.25");
  EXPECT_EQ(from_double, "2.5");
  EXPECT_EQ(back, 0.5);
}

}  // namespace
}  // namespace q6
