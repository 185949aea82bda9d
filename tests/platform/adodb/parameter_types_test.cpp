// Parameter values converted to their declared types: each type's range,
// rounding and size, with the error a value out of them raises.
#include "platform/adodb/parameter_types.h"

#include <gtest/gtest.h>

#include "platform/adodb/ado_errors.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {

struct Row {
  ParameterDecl decl;
  Variant value;
  Variant expected;  // unused when `error` is set
  HRESULT error = S_OK;
};

class ParameterValueTest : public testing::TestWithParam<Row> {};

TEST_P(ParameterValueTest, ConvertsOrRaises) {
  const Row& r = GetParam();
  try {
    const Variant v = ParameterValue(r.value, r.decl);
    EXPECT_EQ(r.error, S_OK) << "gave " << v.Describe();
    EXPECT_EQ(v, r.expected) << v.Describe();
  } catch (const ComError& e) {
    EXPECT_EQ(HrToString(e.hr()), HrToString(r.error)) << e.description();
  }
}

const HRESULT kOverflow = VbHr(kVbOverflow);
const HRESULT kMismatch = VbHr(kVbTypeMismatch);

INSTANTIATE_TEST_SUITE_P(
    Rows, ParameterValueTest,
    testing::Values(
        Row{{kAdInteger}, Variant("41.5"), Variant(int32_t{42})},
        Row{{kAdInteger}, Variant(2147483647.5), {}, kOverflow},
        Row{{kAdInteger}, Variant("4l"), {}, kMismatch},
        Row{{kAdTinyInt}, Variant(int32_t{-129}), {}, kOverflow},
        Row{{kAdUnsignedTinyInt}, Variant(true), {}, kOverflow},  // True is -1
        Row{{kAdBigInt}, Variant(-0.5), Variant(Decimal(0))},
        Row{{kAdUnsignedInt}, Variant(4294967295.0), Variant(Decimal(4294967295))},
        Row{{kAdSingle}, Variant(1e39), {}, kOverflow},
        Row{{kAdCurrency}, Variant(Decimal::Parse("922337203685477.58075")), {}, kOverflow},
        Row{{kAdNumeric, 0, 5, 2},
            Variant(Decimal::Parse("999.994")),
            Variant(Decimal::Parse("999.99"))},
        Row{{kAdNumeric, 0, 5, 2}, Variant(Decimal::Parse("999.995")), {}, kOverflow},
        Row{{kAdDBTime}, Variant(DateValue{45351.75}), Variant("18:00:00")},
        Row{{kAdDate}, Variant("not a date"), {}, kMismatch},
        Row{{kAdVarWChar, 3}, Variant("äöü"), Variant("äöü")},
        Row{{kAdVarWChar, 3}, Variant("äöüx"), {}, kAdoValueTruncated},
        Row{{kAdVarBinary, 2}, Variant("abc"), {}, kAdoValueTruncated},
        Row{{kAdVarChar}, Variant(VariantArray::Of({Variant(1)})), {}, kMismatch},
        Row{{kAdBoolean}, Variant::Missing(), Variant::Null()},
        Row{{72}, Variant("{guid}"), {}, VbHr(kAdoParameterImproper)}));

}  // namespace
}  // namespace q6
