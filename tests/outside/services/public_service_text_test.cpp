// PublicService operations on values: digits, Null conversion, list items.
#include <gtest/gtest.h>

#include "outside/services/public_service.h"

namespace q6 {
namespace {

TEST(GetDigit, DigitsCountFromTheUnits) {
  struct Row {
    int32_t value, position;
    int16_t digit;
  } rows[] = {
      {0, 1, 0},   {7, 1, 7},     {123, 1, 3},  {123, 2, 2},  {123, 3, 1},         {123, 4, 0},
      {101, 2, 0}, {32749, 3, 7}, {-51, 1, -1}, {-51, 2, -5}, {2147483647, 10, 2}, {100, 3, 1},
  };
  auto ps = ApartmentPublicService();
  for (auto& r : rows) {
    Variant v(r.value);
    int32_t pos = r.position;
    EXPECT_EQ(ps->GetDigit(v, pos), r.digit) << r.value << " @" << r.position;
  }
  Variant v(5);
  int32_t zero = 0;
  EXPECT_THROW(ps->GetDigit(v, zero), ComError);
}

TEST(ConvertNull, NullAndEmptyBecomeTextOrZero) {
  auto ps = ApartmentPublicService();
  struct Row {
    Variant in;
    bool number_mode;
    Variant out;
  } rows[] = {
      {Variant::Null(), false, Variant("")},
      {Variant(), false, Variant("")},
      {Variant::Null(), true, Variant(int32_t{0})},
      {Variant(), true, Variant(int32_t{0})},
      {Variant("x"), false, Variant("x")},
      {Variant(int32_t{5}), true, Variant(int32_t{5})},
      {Variant(""), true, Variant("")},
      {Variant(false), true, Variant(false)},
  };
  for (auto& r : rows) {
    Variant in = r.in;
    bool mode = r.number_mode;
    EXPECT_EQ(ps->ConvertNull(in, mode), r.out) << r.in.Describe();
  }
}

std::vector<std::string> Items(const std::string& list, std::string sep) {
  auto ps = ApartmentPublicService();
  Variant l(list), item;
  int32_t pos = 1;
  std::vector<std::string> out;
  while (ps->GetNextItem(l, item, pos, sep)) {
    out.push_back(item.ToString());
    if (out.size() > 20) break;  // a cursor that stops advancing
  }
  return out;
}

TEST(GetNextItem, SplitsTrimsAndKeepsEmptyItems) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Items("a, b", ","), (V{"a", "b"}));
  EXPECT_EQ(Items("a,,b", ","), (V{"a", "", "b"}));
  EXPECT_EQ(Items("a,b,", ","), (V{"a", "b"}));
  EXPECT_EQ(Items("", ","), V{});
  EXPECT_EQ(Items(" 51001 ", ","), V{"51001"});
  EXPECT_EQ(Items("x;;y;;z", ";;"), (V{"x", "y", "z"}));
  EXPECT_EQ(Items("单据,收款", ","), (V{"单据", "收款"}));
  EXPECT_EQ(Items("a,b", ""), V{});
}

}  // namespace
}  // namespace q6
