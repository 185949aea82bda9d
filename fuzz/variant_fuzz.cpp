// Variant conversions from text into every type, and the text helpers.
//
// Invariants besides "no crash, no sanitizer report": a failed conversion
// raises a ComError and leaves the source unchanged; a Decimal reads back
// from its own text; a finite Double's text parses as a number (but for
// the largest few); text equals
// its own lower case without regard to case; lower case and character
// counts accept any bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "runtime/com_error.h"
#include "runtime/decimal.h"
#include "runtime/variant.h"

namespace {

using q6::Variant;
using q6::VarType;

template <class F>
void Try(const Variant& v, F&& convert) {
  try {
    convert(v);
  } catch (const q6::ComError& e) {
    Q6_FUZZ_CHECK(!e.description().empty(), "a conversion error without a description");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Variant v(text);

  Try(v, [](const Variant& x) { x.ToBool(); });
  Try(v, [](const Variant& x) { x.ToByte(); });
  Try(v, [](const Variant& x) { x.ToInteger(); });
  Try(v, [](const Variant& x) { x.ToLong(); });
  Try(v, [](const Variant& x) { x.ToDate(); });
  Try(v, [](const Variant& x) {
    const double d = x.ToDouble();
    // Fifteen digits round the largest Doubles above the largest Double
    // (1.79769313486232E+308), which the automation rules refuse as text too.
    if (std::isfinite(d) && std::fabs(d) < 1.79769313486231e308) {
      double back = 0;
      Q6_FUZZ_CHECK(q6::ParseNumber(q6::FormatDouble(d), &back), "a Double's text is not a number");
    }
  });
  Try(v, [](const Variant& x) {
    const q6::Decimal d = x.ToDecimal();
    Q6_FUZZ_CHECK(q6::Decimal::Parse(d.ToString()) == d, "a Decimal does not read back");
  });
  for (VarType t : {VarType::Empty, VarType::Null, VarType::Integer, VarType::Long, VarType::Double,
                    VarType::Date, VarType::String, VarType::Boolean, VarType::Variant,
                    VarType::Decimal, VarType::Byte}) {
    Try(v, [t](const Variant& x) { x.ChangeType(t).ToString(); });
  }
  Q6_FUZZ_CHECK(v.type() == VarType::String && v.string() == text,
                "a conversion changed its source");

  const std::string lower = q6::ToLower(text);
  Q6_FUZZ_CHECK(q6::EqualsNoCase(text, lower), "text differs from its lower case");
  Q6_FUZZ_CHECK(q6::CharCount(text) <= text.size(), "more characters than bytes");
  Variant described(text);
  described.Describe();
  return 0;
}
