// VariantArray and the array Variant: bounds, subscripts, copies, and the
// conversions that refuse an array.
#include <gtest/gtest.h>

#include <functional>

#include "runtime/dispatch.h"
#include "runtime/variant.h"

namespace q6 {
namespace {

// The run-time error number a call raised, or 0.
template <class F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.Number();
  }
  return 0;
}

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
