// Value forms of the record statements: the form chosen by DataType, the
// text of each kind of value, the Boolean byte and the bare-number guard.
#include "component/records/save_values.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "component/records/write_test_util.h"
#include "runtime/com_error.h"

namespace q6 {
namespace {

using write_test::HrOf;

TEST(ValueFormTest, FormOfEveryDataType) {
  struct Row {
    int32_t type;
    ValueForm form;
  } rows[] = {
      {-1, ValueForm::kLeftOut}, {0, ValueForm::kLeftOut}, {1, ValueForm::kQuoted},
      {2, ValueForm::kQuoted},   {3, ValueForm::kBare},    {4, ValueForm::kBare},
      {5, ValueForm::kBare},     {6, ValueForm::kBoolean}, {7, ValueForm::kQuoted},
      {8, ValueForm::kLeftOut},  {9, ValueForm::kQuoted},  {10, ValueForm::kLeftOut},
      {11, ValueForm::kLeftOut},
  };
  for (const Row& r : rows) EXPECT_EQ(FormOfDataType(r.type), r.form) << "DataType " << r.type;
}

TEST(ValueFormTest, NullAndEmptyAreNull) {
  EXPECT_TRUE(IsNullValue(Variant::Null()));
  EXPECT_TRUE(IsNullValue(Variant()));
  EXPECT_FALSE(IsNullValue(Variant("")));
  EXPECT_FALSE(IsNullValue(Variant(int32_t{0})));
  EXPECT_FALSE(IsNullValue(Variant(false)));
}

// 2024-03-01 is day 45352 after the epoch.
constexpr double kMarch1 = 45352;

struct TextRow {
  const char* label;
  Variant value;
  const char* text;  // nullptr: raises `hr`
  HRESULT hr;
};

TEST(ValueTextTest, TextOfEachKindOfValue) {
  const TextRow rows[] = {
      {"text", Variant("x"), "x", S_OK},
      {"quote kept", Variant("O'Brien"), "O'Brien", S_OK},
      {"non-ASCII", Variant("资金 ü"), "资金 ü", S_OK},
      {"Long", Variant(int32_t{-12}), "-12", S_OK},
      {"Integer", Variant(int16_t{7}), "7", S_OK},
      {"Byte", Variant(uint8_t{200}), "200", S_OK},
      {"Double", Variant(1.5), "1.5", S_OK},
      {"Decimal", Variant(Decimal::Parse("12.3400")), "12.34", S_OK},
      {"Boolean", Variant(true), "True", S_OK},
      {"Empty", Variant(), "", S_OK},
      {"date at midnight", Variant(DateValue{kMarch1}), "2024-03-01 00:00:00", S_OK},
      {"date and time", Variant(DateValue{kMarch1 + 0.5}), "2024-03-01 12:00:00", S_OK},
      {"Null", Variant::Null(), nullptr, VbHr(kVbInvalidUseOfNull)},
      {"date out of range", Variant(DateValue{1e9}), nullptr, VbHr(kVbOverflow)},
  };
  for (const TextRow& r : rows) {
    if (r.text) {
      EXPECT_EQ(ValueText(r.value), r.text) << r.label;
    } else {
      EXPECT_EQ(HrOf([&] { ValueText(r.value); }), r.hr) << r.label;
    }
  }
}

TEST(ValueTextTest, BareFormOnlyEverWritesANumber) {
  const TextRow rows[] = {
      {"Long", Variant(int32_t{12}), "12", S_OK},
      {"Double", Variant(-0.25), "-0.25", S_OK},
      {"numeric text kept", Variant(" 1e3 "), " 1e3 ", S_OK},
      {"signed text", Variant("-4.5"), "-4.5", S_OK},
      {"statement in text", Variant("1; drop table T"), nullptr, VbHr(kVbTypeMismatch)},
      {"comment in text", Variant("1 -- x"), nullptr, VbHr(kVbTypeMismatch)},
      {"name in text", Variant("k"), nullptr, VbHr(kVbTypeMismatch)},
      {"empty text", Variant(""), nullptr, VbHr(kVbTypeMismatch)},
      {"infinity", Variant(std::numeric_limits<double>::infinity()), nullptr, VbHr(kVbOverflow)},
      {"NaN", Variant(std::numeric_limits<double>::quiet_NaN()), nullptr, VbHr(kVbOverflow)},
  };
  for (const TextRow& r : rows) {
    if (r.text) {
      EXPECT_EQ(BareText(r.value), r.text) << r.label;
      EXPECT_EQ(ValueLiteral(ValueForm::kBare, r.value), r.text) << r.label;
    } else {
      EXPECT_EQ(HrOf([&] { BareText(r.value); }), r.hr) << r.label;
    }
  }
}

struct ByteRow {
  const char* label;
  Variant value;
  int byte;  // -1: raises `hr`
  HRESULT hr;
};

TEST(BooleanFormTest, ByteAndNumberOfEachValue) {
  const ByteRow rows[] = {
      {"True", Variant(true), 255, S_OK},
      {"False", Variant(false), 0, S_OK},
      {"Long 1", Variant(int32_t{1}), 1, S_OK},
      {"Long 0", Variant(int32_t{0}), 0, S_OK},
      {"Long 255", Variant(int32_t{255}), 255, S_OK},
      {"half down to even", Variant(0.5), 0, S_OK},
      {"half up to even", Variant(1.5), 2, S_OK},
      {"2.5 to even", Variant(2.5), 2, S_OK},
      {"minus half", Variant(-0.5), 0, S_OK},
      {"numeric text", Variant("12"), 12, S_OK},
      {"zero text", Variant("0"), 0, S_OK},
      {"Empty", Variant(), 0, S_OK},
      {"Decimal", Variant(Decimal::Parse("254.5")), 254, S_OK},
      {"256", Variant(int32_t{256}), -1, VbHr(kVbOverflow)},
      {"255.5 rounds to 256", Variant(255.5), -1, VbHr(kVbOverflow)},
      {"-1", Variant(int32_t{-1}), -1, VbHr(kVbOverflow)},
      {"-0.6", Variant(-0.6), -1, VbHr(kVbOverflow)},
      {"text", Variant("yes"), -1, VbHr(kVbTypeMismatch)},
      {"Null", Variant::Null(), -1, VbHr(kVbInvalidUseOfNull)},
  };
  for (const ByteRow& r : rows) {
    if (r.byte >= 0) {
      EXPECT_EQ(BooleanByte(r.value), r.byte) << r.label;
      EXPECT_EQ(BooleanNumber(r.value), r.byte ? "1" : "0") << r.label;
    } else {
      EXPECT_EQ(HrOf([&] { BooleanNumber(r.value); }), r.hr) << r.label;
    }
  }
}

TEST(ValueLiteralTest, QuotedFormDoublesQuotes) {
  EXPECT_EQ(ValueLiteral(ValueForm::kQuoted, Variant("x")), "'x'");
  EXPECT_EQ(ValueLiteral(ValueForm::kQuoted, Variant("O'Brien")), "'O''Brien'");
  EXPECT_EQ(ValueLiteral(ValueForm::kQuoted, Variant("'); drop table T; --")),
            "'''); drop table T; --'");
  EXPECT_EQ(ValueLiteral(ValueForm::kQuoted, Variant(int32_t{12})), "'12'");
  EXPECT_EQ(ValueLiteral(ValueForm::kQuoted, Variant(DateValue{kMarch1})), "'2024-03-01 00:00:00'");
  EXPECT_EQ(ValueLiteral(ValueForm::kBoolean, Variant(true)), "1");
  EXPECT_EQ(HrOf([] { ValueLiteral(ValueForm::kLeftOut, Variant("x")); }),
            VbHr(kVbInvalidProcedureCall));
}

// A locale that writes numbers with a decimal comma, built from the system's
// locale sources into a folder of its own for the life of the object.
class CommaLocale {
 public:
  CommaLocale()
      : dir_(std::filesystem::temp_directory_path() / ("q6loc-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
    const std::string cmd =
        "localedef -i de_DE -f UTF-8 " + (dir_ / kName).string() + " >/dev/null 2>&1";
    // localedef exits with 1 for mere warnings: judge by what it wrote.
    (void)std::system(cmd.c_str());
    if (!std::filesystem::exists(dir_ / kName)) return;
    ::setenv("LOCPATH", dir_.c_str(), 1);
    ok_ = true;
  }
  ~CommaLocale() {
    ::unsetenv("LOCPATH");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool ok() const { return ok_; }
  static constexpr const char* kName = "de_DE.UTF-8";

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
};

TEST(ValueTextTest, NumbersAndDatesIgnoreTheProcessLocale) {
  const CommaLocale comma;
  if (!comma.ok()) GTEST_SKIP() << "no locale with a decimal comma can be built here";
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, CommaLocale::kName), nullptr);
  const std::string point = std::localeconv()->decimal_point;
  const std::string dbl = ValueLiteral(ValueForm::kBare, Variant(1.5));
  const std::string dec = ValueLiteral(ValueForm::kQuoted, Variant(Decimal::Parse("-0.125")));
  const std::string date = ValueLiteral(ValueForm::kQuoted, Variant(DateValue{kMarch1 + 0.75}));
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(point, ",") << "the locale in force writes numbers with a comma";
  EXPECT_EQ(dbl, "1.5");
  EXPECT_EQ(dec, "'-0.125'");
  EXPECT_EQ(date, "'2024-03-01 18:00:00'");
}

}  // namespace
}  // namespace q6
