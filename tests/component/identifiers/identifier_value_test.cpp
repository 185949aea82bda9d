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

TEST(IdentifierValueTest, NextOidKeepsTheRightmostFifteenCharacters) {
  const struct {
    const char* counter;
    const char* next;
  } rows[] = {
      {"510000000000000", "510000000000001"},
      {"510000000000009", "510000000000010"},
      {"50000000000000", "050000000000001"},    // one-digit type: padded
      {"1230000000000000", "230000000000001"},  // three-digit type: first digit lost
      {"9007199254740993", "007199254740994"},  // beyond a double's exact integers
      {"123456789012345678901234567890123", "901234567890124"},  // beyond 29 digits
      {"999999999999999", "000000000000000"},
      {" 070000000000009 ", "070000000000010"},
      {"0", "000000000000001"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.counter);
    EXPECT_EQ(NextOid(Variant(r.counter)), r.next);
  }
}

}  // namespace
}  // namespace q6
