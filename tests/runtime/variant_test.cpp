// Variant: the conversion matrix, text forms, equality, the text helpers and
// arrays of Variants.
#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#include "runtime/dispatch.h"

namespace q6 {
namespace {

constexpr int kOk = 0;
constexpr int kNotSet = 91;

// An object whose default member returns a fixed value.
class Holder : public Dispatchable {
 public:
  explicit Holder(Variant v) : value_(std::move(v)) {}
  const InterfaceInfo& Interface() const override {
    static const InterfaceInfo info{"_Holder", Guid{}, {}};
    return info;
  }
  Variant DefaultValue() override { return value_; }

 private:
  Variant value_;
};

// An object without a default member.
class Plain : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override {
    static const InterfaceInfo info{"_Plain", Guid{}, {}};
    return info;
  }
};

// The run-time error number (or HRESULT) a call raised, or kOk.
template <class F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.Number();
  }
  return kOk;
}

enum class Src {
  kEmpty,
  kNull,
  kMissing,
  kTrue,
  kFalse,
  kByte200,
  kIntMinus300,
  kLong70000,
  kDouble2_5,
  kDoubleMinusHalf,
  kDouble1e10,
  kDecimal32767_5,
  kText12_5,
  kText1e3,
  kTextAbc,
  kTextTrue,
  kTextDate,
  kDate,
  kNothing,
  kObject42,
};

Variant Make(Src s) {
  switch (s) {
    case Src::kEmpty:
      return Variant();
    case Src::kNull:
      return Variant::Null();
    case Src::kMissing:
      return Variant::Missing();
    case Src::kTrue:
      return Variant(true);
    case Src::kFalse:
      return Variant(false);
    case Src::kByte200:
      return Variant(uint8_t{200});
    case Src::kIntMinus300:
      return Variant(int16_t{-300});
    case Src::kLong70000:
      return Variant(int32_t{70000});
    case Src::kDouble2_5:
      return Variant(2.5);
    case Src::kDoubleMinusHalf:
      return Variant(-0.5);
    case Src::kDouble1e10:
      return Variant(1e10);
    case Src::kDecimal32767_5:
      return Variant(Decimal::Parse("32767.5"));
    case Src::kText12_5:
      return Variant("12.5");
    case Src::kText1e3:
      return Variant(" 1e3 ");
    case Src::kTextAbc:
      return Variant("abc");
    case Src::kTextTrue:
      return Variant("true");
    case Src::kTextDate:
      return Variant("2024-03-01 06:00:00");
    case Src::kDate:
      return Variant(DateValue{45000.5});
    case Src::kNothing:
      return Variant::Nothing();
    case Src::kObject42:
      return Variant(std::make_shared<Holder>(Variant(int32_t{42})));
  }
  return Variant();
}

struct Cell {
  Src src;
  VarType target;
  Variant expected;  // when error == kOk
  int error;
};

// One cell of a row: the target and its expected value or error.
struct Out {
  VarType target;
  Variant expected;
  int error;
};
Out Ok(VarType t, Variant v) { return {t, std::move(v), kOk}; }
Out Err(VarType t, int error) { return {t, Variant(), error}; }

void PrintTo(const Cell& c, std::ostream* os) {
  *os << Make(c.src).Describe() << " -> " << VarTypeName(c.target);
}

using VT = VarType;
const int16_t kI0 = 0;
const int32_t kL0 = 0;

std::vector<Cell> Matrix() {
  std::vector<Cell> m;
  auto row = [&](Src s, std::initializer_list<Out> cells) {
    for (const Out& c : cells) m.push_back({s, c.target, c.expected, c.error});
  };
  row(Src::kEmpty,
      {Ok(VT::Boolean, false), Ok(VT::Byte, uint8_t{0}), Ok(VT::Integer, kI0), Ok(VT::Long, kL0),
       Ok(VT::Double, 0.0), Ok(VT::Decimal, Decimal(0)), Ok(VT::Date, DateValue{0}),
       Ok(VT::String, ""), Ok(VT::Variant, Variant()), Err(VT::Object, kVbTypeMismatch)});
  for (VT t : {VT::Boolean, VT::Byte, VT::Integer, VT::Long, VT::Double, VT::Decimal, VT::Date,
               VT::String}) {
    row(Src::kNull, {Err(t, kVbInvalidUseOfNull)});
    row(Src::kMissing, {Err(t, kVbTypeMismatch)});
    row(Src::kNothing, {Err(t, kNotSet)});
    if (t != VT::String) row(Src::kTextAbc, {Err(t, kVbTypeMismatch)});
  }
  row(Src::kTextAbc, {Ok(VT::String, "abc")});
  row(Src::kNull, {Ok(VT::Variant, Variant::Null()), Err(VT::Object, kVbTypeMismatch)});
  row(Src::kMissing, {Ok(VT::Variant, Variant::Missing())});
  row(Src::kNothing, {Ok(VT::Variant, Variant::Nothing()), Ok(VT::Object, Variant::Nothing())});
  row(Src::kTrue,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Ok(VT::Integer, int16_t{-1}),
       Ok(VT::Long, int32_t{-1}), Ok(VT::Double, -1.0), Ok(VT::Decimal, Decimal(-1)),
       Ok(VT::Date, DateValue{-1}), Ok(VT::String, "True"), Err(VT::Object, kVbTypeMismatch)});
  row(Src::kFalse, {Ok(VT::Boolean, false), Ok(VT::Byte, uint8_t{0}), Ok(VT::Long, kL0),
                    Ok(VT::Double, 0.0), Ok(VT::String, "False")});
  row(Src::kByte200,
      {Ok(VT::Boolean, true), Ok(VT::Byte, uint8_t{200}), Ok(VT::Integer, int16_t{200}),
       Ok(VT::Long, int32_t{200}), Ok(VT::Double, 200.0), Ok(VT::Decimal, Decimal(200)),
       Ok(VT::Date, DateValue{200}), Ok(VT::String, "200")});
  row(Src::kIntMinus300,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Ok(VT::Integer, int16_t{-300}),
       Ok(VT::Long, int32_t{-300}), Ok(VT::Double, -300.0), Ok(VT::Decimal, Decimal(-300)),
       Ok(VT::String, "-300")});
  row(Src::kLong70000,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Err(VT::Integer, kVbOverflow),
       Ok(VT::Long, int32_t{70000}), Ok(VT::Double, 70000.0), Ok(VT::Decimal, Decimal(70000)),
       Ok(VT::String, "70000")});
  row(Src::kDouble2_5,
      {Ok(VT::Boolean, true), Ok(VT::Byte, uint8_t{2}), Ok(VT::Integer, int16_t{2}),
       Ok(VT::Long, int32_t{2}), Ok(VT::Double, 2.5), Ok(VT::Decimal, Decimal::Parse("2.5")),
       Ok(VT::Date, DateValue{2.5}), Ok(VT::String, "2.5"), Ok(VT::Variant, 2.5)});
  row(Src::kDoubleMinusHalf,
      {Ok(VT::Boolean, true), Ok(VT::Byte, uint8_t{0}), Ok(VT::Integer, kI0), Ok(VT::Long, kL0),
       Ok(VT::Decimal, Decimal::Parse("-0.5")), Ok(VT::String, "-0.5")});
  row(Src::kDouble1e10,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Err(VT::Integer, kVbOverflow),
       Err(VT::Long, kVbOverflow), Ok(VT::Decimal, Decimal(10000000000)),
       Err(VT::Date, kVbOverflow), Ok(VT::String, "10000000000")});
  row(Src::kDecimal32767_5,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Err(VT::Integer, kVbOverflow),
       Ok(VT::Long, int32_t{32768}), Ok(VT::Double, 32767.5), Ok(VT::Date, DateValue{32767.5}),
       Ok(VT::String, "32767.5")});
  row(Src::kText12_5,
      {Ok(VT::Boolean, true), Ok(VT::Byte, uint8_t{12}), Ok(VT::Integer, int16_t{12}),
       Ok(VT::Long, int32_t{12}), Ok(VT::Double, 12.5), Ok(VT::Decimal, Decimal::Parse("12.5")),
       Err(VT::Date, kVbTypeMismatch), Ok(VT::String, "12.5"), Err(VT::Object, kVbTypeMismatch)});
  row(Src::kText1e3,
      {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Ok(VT::Integer, int16_t{1000}),
       Ok(VT::Double, 1000.0), Ok(VT::Decimal, Decimal(1000)), Ok(VT::String, " 1e3 ")});
  row(Src::kTextTrue, {Ok(VT::Boolean, true), Err(VT::Long, kVbTypeMismatch),
                       Err(VT::Double, kVbTypeMismatch), Ok(VT::String, "true")});
  row(Src::kTextDate, {Ok(VT::Date, DateValue{45352.25}), Err(VT::Long, kVbTypeMismatch),
                       Err(VT::Boolean, kVbTypeMismatch)});
  row(Src::kDate, {Ok(VT::Boolean, true), Err(VT::Byte, kVbOverflow), Err(VT::Integer, kVbOverflow),
                   Ok(VT::Long, int32_t{45000}), Ok(VT::Double, 45000.5),
                   Ok(VT::Decimal, Decimal::Parse("45000.5")), Ok(VT::Date, DateValue{45000.5}),
                   Ok(VT::String, "2023-03-15 12:00:00")});
  row(Src::kObject42, {Ok(VT::Long, int32_t{42}), Ok(VT::String, "42"), Ok(VT::Double, 42.0),
                       Ok(VT::Boolean, true)});
  return m;
}

class ConversionMatrix : public testing::TestWithParam<Cell> {
 protected:
  // Converts `source` and checks the result or error; the source and a
  // target that receives a failed conversion stay as they were.
  void Check(const Variant& source, const char* how) {
    const Cell& c = GetParam();
    const Variant before = source;
    Variant target("sentinel");
    const int error = ErrorOf([&] { target = source.ChangeType(c.target); });
    EXPECT_EQ(error, c.error) << how;
    if (error == kOk && c.error == kOk) {
      EXPECT_EQ(target.type(), c.expected.type()) << how << ": " << target.Describe();
      EXPECT_EQ(target, c.expected) << how << ": " << target.Describe();
    } else {
      EXPECT_EQ(target, Variant("sentinel")) << how;
    }
    EXPECT_EQ(source, before) << how;
  }
};

TEST_P(ConversionMatrix, DirectByRefAndThroughObject) {
  Variant source = Make(GetParam().src);
  Check(source, "direct");
  Check(Variant::Ref(&source), "by reference");
  const VarType t = GetParam().target;
  if (t != VarType::Variant && t != VarType::Object) {
    Check(Variant(std::make_shared<Holder>(source)), "through a default member");
  }
}

INSTANTIATE_TEST_SUITE_P(Cells, ConversionMatrix, testing::ValuesIn(Matrix()));

// The typed conversions agree with ChangeType on the integer windows.
struct WindowRow {
  Variant source;
  VarType target;
  int64_t expected;
  int error;
};

class IntegerWindows : public testing::TestWithParam<WindowRow> {};

TEST_P(IntegerWindows, RoundHalfEvenInsideTheWindow) {
  const WindowRow& r = GetParam();
  int64_t got = 0;
  const int error = ErrorOf([&] {
    switch (r.target) {
      case VarType::Byte:
        got = r.source.ToByte();
        break;
      case VarType::Integer:
        got = r.source.ToInteger();
        break;
      default:
        got = r.source.ToLong();
        break;
    }
  });
  ASSERT_EQ(error, r.error) << r.source.Describe() << " -> " << VarTypeName(r.target);
  if (error == kOk) {
    EXPECT_EQ(got, r.expected) << r.source.Describe();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IntegerWindows,
    testing::Values(WindowRow{-0.5, VT::Byte, 0, kOk}, WindowRow{-0.51, VT::Byte, 0, kVbOverflow},
                    WindowRow{254.5, VT::Byte, 254, kOk}, WindowRow{255.49, VT::Byte, 255, kOk},
                    WindowRow{255.5, VT::Byte, 0, kVbOverflow},
                    WindowRow{125.5678, VT::Byte, 126, kOk}, WindowRow{0.5, VT::Integer, 0, kOk},
                    WindowRow{1.5, VT::Integer, 2, kOk}, WindowRow{-1.5, VT::Integer, -2, kOk},
                    WindowRow{-32768.5, VT::Integer, -32768, kOk},
                    WindowRow{-32768.51, VT::Integer, 0, kVbOverflow},
                    WindowRow{32767.49, VT::Integer, 32767, kOk},
                    WindowRow{32767.5, VT::Integer, 0, kVbOverflow},
                    WindowRow{2147483647.49, VT::Long, 2147483647, kOk},
                    WindowRow{2147483647.5, VT::Long, 0, kVbOverflow},
                    WindowRow{-2147483648.5, VT::Long, -2147483648LL, kOk},
                    WindowRow{-2147483648.51, VT::Long, 0, kVbOverflow},
                    WindowRow{std::numeric_limits<double>::quiet_NaN(), VT::Long, 0, kVbOverflow},
                    WindowRow{Variant("2.5"), VT::Long, 2, kOk},
                    WindowRow{Variant("3.5"), VT::Long, 4, kOk},
                    WindowRow{Variant("-0.5"), VT::Byte, 0, kOk},
                    WindowRow{Variant("32767.5"), VT::Integer, 0, kVbOverflow},
                    WindowRow{Variant("32767.4999999999999999999"), VT::Integer, 32767, kOk},
                    WindowRow{Variant("1e400"), VT::Long, 0, kVbOverflow},
                    WindowRow{Variant("1e-400"), VT::Long, 0, kOk},
                    WindowRow{Variant(Decimal::Parse("-2.5")), VT::Long, -2, kOk},
                    WindowRow{Variant(Decimal::Parse("2147483648")), VT::Long, 0, kVbOverflow}));

struct TextRow {
  const char* text;
  std::optional<double> number;  // nullopt: not a number
};

class NumberText : public testing::TestWithParam<TextRow> {};

TEST_P(NumberText, ParseNumberAndToDouble) {
  const TextRow& r = GetParam();
  double v = -7;
  EXPECT_EQ(ParseNumber(r.text, &v), r.number.has_value()) << r.text;
  if (r.number) {
    EXPECT_EQ(v, *r.number) << r.text;
    EXPECT_EQ(Variant(r.text).ToDouble(), *r.number) << r.text;
  } else {
    EXPECT_EQ(v, -7) << "a failed parse must not touch its output";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NumberText,
    testing::Values(
        TextRow{" 12.5 ", 12.5}, TextRow{"-.5", -0.5}, TextRow{"1e3", 1000}, TextRow{"+7", 7},
        TextRow{"5.", 5}, TextRow{"1E-2", 0.01}, TextRow{"0.1", 0.1}, TextRow{"1e-400", 0},
        TextRow{"", std::nullopt}, TextRow{"  ", std::nullopt}, TextRow{".", std::nullopt},
        TextRow{"e3", std::nullopt}, TextRow{"1e+", std::nullopt}, TextRow{"1,5", std::nullopt},
        TextRow{"0x1A", std::nullopt}, TextRow{"inf", std::nullopt}, TextRow{"nan", std::nullopt},
        TextRow{"1 000", std::nullopt}, TextRow{"12abc", std::nullopt},
        TextRow{"1e400", std::nullopt}, TextRow{"1.5.2", std::nullopt},
        TextRow{"--1", std::nullopt}, TextRow{"1e-", std::nullopt}, TextRow{"-1e-5000", 0},
        TextRow{"4.9e-324", 4.9e-324}, TextRow{"1.7976931348623157e308", 1.7976931348623157e308},
        TextRow{"000123456789012345678901234567890.5", 123456789012345678901234567890.5}));

TEST(Variant, TextOutOfDoubleRangeOverflows) {
  EXPECT_EQ(ErrorOf([] { Variant("1e400").ToDouble(); }), kVbOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("-1e400").ToDouble(); }), kVbOverflow);
}

struct FormatRow {
  double value;
  const char* text;
};

class DoubleText : public testing::TestWithParam<FormatRow> {};

TEST_P(DoubleText, FifteenSignificantDigits) {
  EXPECT_EQ(FormatDouble(GetParam().value), GetParam().text);
  EXPECT_EQ(Variant(GetParam().value).ToString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DoubleText,
    testing::Values(
        FormatRow{1e15, "1E+15"}, FormatRow{0.00001, "0.00001"}, FormatRow{1.5e-15, "1.5E-15"},
        FormatRow{1e-15, "0.000000000000001"}, FormatRow{1e-16, "1E-16"}, FormatRow{1234, "1234"},
        FormatRow{437.324, "437.324"}, FormatRow{-0.0, "0"}, FormatRow{0.1 + 0.2, "0.3"},
        FormatRow{1.0 / 3, "0.333333333333333"}, FormatRow{-2.5, "-2.5"},
        FormatRow{999999999999999.0, "999999999999999"}, FormatRow{9999999999999999.0, "1E+16"},
        FormatRow{1.23456789012346e19, "1.23456789012346E+19"}, FormatRow{1e100, "1E+100"},
        FormatRow{-1.5e-300, "-1.5E-300"}, FormatRow{0.000123456789012345, "1.23456789012345E-04"},
        FormatRow{100, "100"}, FormatRow{0.5, "0.5"}));

struct BoolRow {
  const char* text;
  bool expected;
  int error;
};

class BooleanText : public testing::TestWithParam<BoolRow> {};

TEST_P(BooleanText, WordsOrNumbers) {
  bool b = false;
  ASSERT_EQ(ErrorOf([&] { b = Variant(GetParam().text).ToBool(); }), GetParam().error)
      << GetParam().text;
  if (GetParam().error == kOk) {
    EXPECT_EQ(b, GetParam().expected) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BooleanText,
                         testing::Values(BoolRow{"True", true, kOk}, BoolRow{"FALSE", false, kOk},
                                         BoolRow{"  tRUE ", true, kOk}, BoolRow{"0", false, kOk},
                                         BoolRow{"-1", true, kOk}, BoolRow{"0.0", false, kOk},
                                         BoolRow{"0.5", true, kOk}, BoolRow{"1e-400", true, kOk},
                                         BoolRow{"yes", false, kVbTypeMismatch},
                                         BoolRow{"", false, kVbTypeMismatch},
                                         BoolRow{"Truee", false, kVbTypeMismatch}));

struct DateRow {
  const char* text;  // nullptr: only format `days`
  double days;
  const char* printed;  // nullptr: `text` is not a date
};

class DateText : public testing::TestWithParam<DateRow> {};

TEST_P(DateText, IsoTextBothWays) {
  const DateRow& r = GetParam();
  if (r.text) {
    DateValue d;
    const int error = ErrorOf([&] { d = Variant(r.text).ToDate(); });
    ASSERT_EQ(error, r.printed ? kOk : kVbTypeMismatch) << r.text;
    if (!r.printed) return;
    EXPECT_EQ(d.days, r.days) << r.text;
  }
  EXPECT_EQ(Variant(DateValue{r.days}).ToString(), r.printed);
  EXPECT_EQ(Variant(DateValue{r.days}).ToDouble(), r.days);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DateText,
    testing::Values(
        DateRow{"1899-12-30", 0, "1899-12-30"}, DateRow{"2024-02-29", 45351, "2024-02-29"},
        DateRow{"2024-03-01T18:00", 45352.75, "2024-03-01 18:00:00"},
        DateRow{" 2024-03-01 06:00:00 ", 45352.25, "2024-03-01 06:00:00"},
        DateRow{"1899-12-29 06:00:00", -1.25, "1899-12-29 06:00:00"},
        DateRow{"0100-01-01", -657434, "0100-01-01"}, DateRow{"9999-12-31", 2958465, "9999-12-31"},
        DateRow{nullptr, 45352.999999999, "2024-03-02"}, DateRow{"2023-02-29", 0, nullptr},
        DateRow{"2024-13-01", 0, nullptr}, DateRow{"2024-3-1", 0, nullptr},
        DateRow{"0099-12-31", 0, nullptr}, DateRow{"2024-03-01 24:00", 0, nullptr},
        DateRow{"2024-03-01x", 0, nullptr}, DateRow{"45000", 0, nullptr}));

// Numbers in text must not follow LC_NUMERIC. Runs where a locale with a
// decimal comma is installed.
TEST(Variant, NumberTextIgnoresTheProcessLocale) {
  const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"};
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  bool found = false;
  for (const char* name : kCommaLocales) found = found || std::setlocale(LC_NUMERIC, name);
  if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string text = Variant(2.5).ToString();
  const std::string tiny = FormatDouble(1.5e-15);
  double parsed = 0;
  const bool ok = ParseNumber("0.25", &parsed);
  const bool comma = ParseNumber("0,25", &parsed) || ok == false;
  const int16_t rounded = Variant("2.5").ToInteger();
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "2.5");
  EXPECT_EQ(tiny, "1.5E-15");
  EXPECT_TRUE(ok);
  EXPECT_EQ(parsed, 0.25);
  EXPECT_FALSE(comma);
  EXPECT_EQ(rounded, 2);
}

TEST(Variant, DatesOutsideTheCalendarOverflow) {
  EXPECT_EQ(ErrorOf([] { Variant(-657435.0).ToDate(); }), kVbOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(2958466.0).ToDate(); }), kVbOverflow);
  EXPECT_EQ(Variant(2958465.5).ToDate().days, 2958465.5);
  EXPECT_EQ(ErrorOf([] { Variant(DateValue{3e6}).ToString(); }), kVbOverflow);
  EXPECT_EQ(Variant(DateValue{3e6}).Describe(), "Date 3000000");
}

TEST(Variant, EqualityNeedsTheSameTypeAndValue) {
  auto object = std::make_shared<Holder>(Variant());
  Variant five(int32_t{5});
  struct Row {
    Variant a, b;
    bool equal;
  } rows[] = {
      {int32_t{1}, int16_t{1}, false},
      {int32_t{1}, int32_t{1}, true},
      {int32_t{1}, 1.0, false},
      {Variant(), Variant(), true},
      {Variant::Null(), Variant::Null(), true},
      {Variant(), Variant::Null(), false},
      {Variant(), Variant(""), false},
      {Variant::Missing(), Variant::Missing(), true},
      {"a", "A", false},
      {"a", "a", true},
      {Decimal::Parse("1.5"), Decimal::Parse("1.50"), true},
      {Decimal(1), int32_t{1}, false},
      {true, int16_t{-1}, false},
      {Variant(object), Variant(object), true},
      {Variant(object), Variant(std::make_shared<Holder>(Variant())), false},
      {Variant::Nothing(), Variant::Nothing(), true},
      {Variant::Ref(&five), int32_t{5}, true},
      {DateValue{1}, 1.0, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.a == r.b, r.equal) << r.a.Describe() << " vs " << r.b.Describe();
    EXPECT_EQ(r.b == r.a, r.equal) << r.b.Describe() << " vs " << r.a.Describe();
  }
}

TEST(Variant, EmptyOfEachType) {
  struct Row {
    VarType t;
    Variant expected;
  } rows[] = {
      {VT::String, ""},
      {VT::Boolean, false},
      {VT::Object, Variant::Nothing()},
      {VT::Variant, Variant::Missing()},
      {VT::Long, int32_t{0}},
      {VT::Integer, int16_t{0}},
      {VT::Byte, uint8_t{0}},
      {VT::Double, 0.0},
      {VT::Decimal, Decimal()},
      {VT::Date, DateValue{0}},
      {VT::Empty, Variant()},
  };
  for (const Row& r : rows) {
    const Variant v = Variant::EmptyOf(r.t);
    EXPECT_EQ(v.type(), r.expected.type()) << VarTypeName(r.t);
    EXPECT_EQ(v, r.expected) << VarTypeName(r.t);
  }
}

TEST(Variant, ByReferenceSlotsReachTheCallersVariant) {
  Variant slot(int32_t{1});
  Variant ref = Variant::Ref(&slot);
  Variant ref_to_ref = Variant::Ref(&ref);
  EXPECT_TRUE(ref.IsByRef());
  EXPECT_EQ(ref_to_ref.type(), VarType::Long);
  ref_to_ref.Deref() = Variant("x");
  EXPECT_EQ(slot, Variant("x"));
  EXPECT_EQ(ref.type(), VarType::String);
  EXPECT_FALSE(ref.Value().IsByRef());
  EXPECT_EQ(ref.ChangeType(VarType::Variant), Variant("x"));
  EXPECT_FALSE(ref.ChangeType(VarType::Variant).IsByRef());
}

TEST(Variant, ObjectsConvertThroughTheirDefaultMember) {
  auto inner = std::make_shared<Holder>(Variant("7"));
  Variant outer(std::make_shared<Holder>(Variant(inner)));
  EXPECT_EQ(outer.ToLong(), 7);
  EXPECT_EQ(outer.Unwrapped(), Variant("7"));
  EXPECT_EQ(outer.ChangeType(VarType::Object).object().get(), outer.object().get());
  EXPECT_EQ(outer.ChangeType(VarType::Variant), outer);
  EXPECT_EQ(Variant(std::make_shared<Plain>()).ToObject() != nullptr, true);
  EXPECT_EQ(ErrorOf([] { Variant(std::make_shared<Plain>()).ToLong(); }), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(ErrorOf([] { Variant(std::make_shared<Holder>(Variant::Nothing())).ToString(); }),
            kNotSet);
  EXPECT_EQ(ErrorOf([] { Variant::Nothing().Unwrapped(); }), kNotSet);
  EXPECT_EQ(Variant(int32_t{3}).Unwrapped(), Variant(int32_t{3}));
}

TEST(Variant, DescribeNamesTypeAndValue) {
  Variant five(int32_t{5});
  EXPECT_EQ(five.Describe(), "Long 5");
  EXPECT_EQ(Variant("x").Describe(), "String 'x'");
  EXPECT_EQ(Variant::Null().Describe(), "Null");
  EXPECT_EQ(Variant().Describe(), "Empty");
  EXPECT_EQ(Variant(true).Describe(), "Boolean True");
  EXPECT_EQ(Variant::Ref(&five).Describe(), "ByRef Long 5");
  EXPECT_EQ(Variant::Nothing().Describe(), "Nothing");
  EXPECT_EQ(Variant(std::make_shared<Plain>()).Describe(), "Object _Plain");
}

TEST(Variant, TypeNamesAndNumericKinds) {
  EXPECT_STREQ(VarTypeName(VT::Long), "Long");
  EXPECT_STREQ(VarTypeName(VT::String), "String");
  EXPECT_STREQ(VarTypeName(VT::Variant), "Variant");
  EXPECT_TRUE(Variant(true).IsNumeric());
  EXPECT_TRUE(Variant(Decimal(1)).IsNumeric());
  EXPECT_FALSE(Variant("1").IsNumeric());
  EXPECT_FALSE(Variant(DateValue{1}).IsNumeric());
  EXPECT_TRUE(Variant::Nothing().IsNothing());
  EXPECT_FALSE(Variant(std::make_shared<Plain>()).IsNothing());
}

TEST(Text, CaseMappingCoversUnicodeLetters) {
  // The process locale stays "C" here: the mapping must not depend on it.
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  struct Row {
    const char* in;
    const char* lower;
  } rows[] = {{"ABC xyz 123", "abc xyz 123"},
              {"ÄÖÜ ÉCOLE", "äöü école"},
              {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
              {"ДОМ", "дом"},
              {"straße", "straße"},
              {"\u212Aelvin", "kelvin"},  // the Kelvin sign folds to an ASCII letter
              {"\xff"
               "A\xc3",
               "\xff"
               "a\xc3"}};
  for (const Row& r : rows) {
    EXPECT_EQ(ToLower(r.in), r.lower) << r.in;
    EXPECT_TRUE(EqualsNoCase(r.in, r.lower)) << r.in;
  }
  EXPECT_FALSE(EqualsNoCase("abc", "abd"));
  EXPECT_FALSE(EqualsNoCase("abc", "ab"));
  EXPECT_FALSE(EqualsNoCase("ab", "abc"));
  EXPECT_FALSE(EqualsNoCase("É", "E"));
  EXPECT_TRUE(EqualsNoCase("", ""));
}

TEST(Text, CharCountCountsCodePoints) {
  EXPECT_EQ(CharCount(""), 0u);
  EXPECT_EQ(CharCount("abc"), 3u);
  EXPECT_EQ(CharCount("aä€😀"), 4u);
  EXPECT_EQ(CharCount("由于并发原因"), 6u);
  EXPECT_EQ(CharCount("\xff\xfe"), 2u);
  EXPECT_EQ(CharCount("\xe2\x82"), 2u);  // a cut-off sequence: each byte counts
}

// --- arrays of Variants: bounds, subscripts, copies, and the conversions that
// refuse an array ---

VariantArray TwoByThree() {
  VariantArray a({{1, 2}, {-1, 3}});  // (1 To 2, -1 To 1)
  for (int32_t i = 1; i <= 2; ++i)
    for (int32_t j = -1; j <= 1; ++j) a.At({i, j}) = Variant(int32_t{i * 10 + j});
  return a;
}

TEST(VariantArrayTest, SubscriptsAndBounds) {
  const VariantArray a = TwoByThree();
  EXPECT_EQ(a.LBound(1), 1);
  EXPECT_EQ(a.UBound(1), 2);
  EXPECT_EQ(a.LBound(2), -1);
  EXPECT_EQ(a.UBound(2), 1);
  EXPECT_EQ(a.At({2, -1}).ToLong(), 19);
  // The first subscript varies fastest.
  EXPECT_EQ(a.items()[1].ToLong(), 19);
  EXPECT_EQ(VariantArray().UBound(), -1);
  const struct {
    const char* what;
    std::function<void()> call;
  } bad[] = {
      {"below the lower bound",
       [&] {
         a.At({0, 0});
       }},
      {"above the upper bound",
       [&] {
         a.At({1, 2});
       }},
      {"too few subscripts", [&] { a.At({1}); }},
      {"too many subscripts",
       [&] {
         a.At({1, 0, 0});
       }},
      {"dimension 0", [&] { a.LBound(0); }},
      {"dimension 3", [&] { a.UBound(3); }},
  };
  for (const auto& b : bad) EXPECT_EQ(ErrorOf(b.call), kVbSubscriptOutOfRange) << b.what;
}

TEST(VariantArrayTest, IsAValue) {
  Variant v(TwoByThree());
  Variant copy = v;
  copy.array_ref().At({1, 0}) = Variant("changed");
  EXPECT_EQ(v.array().At({1, 0}).ToLong(), 10);
  EXPECT_FALSE(copy == v);
  EXPECT_TRUE(Variant(TwoByThree()) == v);
  EXPECT_EQ(v.type(), VarType::Array);
  EXPECT_EQ(v.Describe(), "Variant(1 To 2, -1 To 1)");
  EXPECT_EQ(v.ChangeType(VarType::Variant), v);
  EXPECT_EQ(v.ChangeType(VarType::Array), v);
  Variant ref = Variant::Ref(&v);
  EXPECT_EQ(ref.ToArray(), v.array());
}

TEST(VariantArrayTest, ConvertsToNothingElse) {
  const Variant a(VariantArray::Of({Variant(int32_t{1})}));
  for (VarType t : {VarType::Boolean, VarType::Byte, VarType::Integer, VarType::Long,
                    VarType::Double, VarType::Decimal, VarType::Date, VarType::String,
                    VarType::ByteArray, VarType::Object, VarType::Null}) {
    Variant target = Variant("kept");
    EXPECT_EQ(ErrorOf([&] { target = a.ChangeType(t); }), kVbTypeMismatch) << VarTypeName(t);
    EXPECT_EQ(target.string(), "kept");
  }
  const struct {
    Variant from;
    int error;
  } into_array[] = {{Variant("1"), kVbTypeMismatch},
                    {Variant(int32_t{1}), kVbTypeMismatch},
                    {Variant(ByteArray{1, 2}), kVbTypeMismatch},
                    {Variant::Null(), kVbInvalidUseOfNull}};
  for (const auto& c : into_array)
    EXPECT_EQ(ErrorOf([&] { c.from.ChangeType(VarType::Array); }), c.error) << c.from.Describe();
  EXPECT_EQ(a.array().items()[0].ToLong(), 1);  // the source is unchanged
}

}  // namespace
}  // namespace q6
