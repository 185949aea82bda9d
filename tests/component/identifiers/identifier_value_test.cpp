// Reading counters and codes of every value type, and the next-OID rule.
#include "component/identifiers/identifier_value.h"

#include <gtest/gtest.h>

#include <string>

#include "outside/eso/oid_object.h"

namespace q6 {
namespace {

HRESULT ErrorOf(const Variant& v) {
  try {
    DecimalOf(v);
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

TEST(IdentifierValueTest, ReadsEveryValueTypeExactly) {
  auto holder = NewOIDObject();
  holder->SetValue(Variant("0000000123"));
  const struct {
    Variant value;
    const char* expected;
  } rows[] = {
      {Variant("0000000123"), "123"},
      {Variant(uint8_t{7}), "7"},
      {Variant(int16_t{-3}), "-3"},
      {Variant(int32_t{510000001}), "510000001"},
      {Variant(123.5), "123.5"},
      {Variant(1e20), "100000000000000000000"},
      {Variant(Decimal::Parse("79228162514264337593543950335")), "79228162514264337593543950335"},
      {Variant(true), "-1"},
      {Variant(false), "0"},
      {Variant(), "0"},
      {Variant(ObjectRef(holder)), "123"},  // an object gives its default value
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.value.Describe());
    EXPECT_EQ(DecimalOf(r.value).ToString(), r.expected);
  }
}

TEST(IdentifierValueTest, NullAndNonNumbersRaiseTheConversionErrors) {
  EXPECT_EQ(ErrorOf(Variant::Null()), VbHr(kVbInvalidUseOfNull));
  EXPECT_EQ(ErrorOf(Variant("abc")), VbHr(kVbTypeMismatch));
  EXPECT_EQ(ErrorOf(Variant("")), VbHr(kVbTypeMismatch));
  EXPECT_EQ(ErrorOf(Variant::Missing()), VbHr(kVbTypeMismatch));
}

TEST(IdentifierValueTest, NextOidStaysInsideTheTypesRange) {
  const HRESULT kOverflow = VbHr(kVbOverflow);
  const HRESULT kMismatch = VbHr(kVbTypeMismatch);
  const struct {
    const char* counter;
    int32_t type;
    const char* next;  // nullptr: fails with `hr`
    HRESULT hr;
  } rows[] = {
      {"510000000000000", 51, "510000000000001", S_OK},
      {"510000000000009", 51, "510000000000010", S_OK},
      {"519999999999998", 51, "519999999999999", S_OK},  // the type's last OID
      {"50000000000000", 5, "050000000000001", S_OK},    // one-digit type: padded
      {" 070000000000009 ", 7, "070000000000010", S_OK},
      {"5.0", 5, nullptr, kOverflow},                 // 6: not type 5's digits
      {"519999999999999", 51, nullptr, kOverflow},    // into type 52's range
      {"999999999999999", 99, nullptr, kOverflow},    // sixteen digits
      {"1010000000000000", 101, nullptr, kOverflow},  // three-digit type
      {"100000000000000", 1, nullptr, kOverflow},     // type 10's range
      {"5999999999999", 5, nullptr, kOverflow},       // fewer digits than the seed
      {"123456789012345678901234567890123", 12, nullptr, kOverflow},
      {"-3", 51, nullptr, kMismatch},
      {"5.5", 51, nullptr, kMismatch},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.counter);
    if (r.next) {
      EXPECT_EQ(NextOid(Variant(r.counter), r.type), r.next);
      continue;
    }
    try {
      NextOid(Variant(r.counter), r.type);
      ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), r.hr);
      EXPECT_NE(e.description().find(std::to_string(r.type)), std::string::npos) << e.description();
    }
  }
}

}  // namespace
}  // namespace q6
