// Reading counters and codes exactly, and forming the next OID.
#include "component/identifiers/identifier_value.h"

#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "runtime/dispatch.h"

namespace q6 {

ExactDecimal DecimalOf(const Variant& value) {
  Variant v = value.Unwrapped();
  switch (v.type()) {
    case VarType::Null:
      ThrowVb(kVbInvalidUseOfNull);
    case VarType::Empty:
      return ExactDecimal();
    case VarType::String:
      return ExactDecimal::Parse(v.string());
    case VarType::Boolean:
      return ExactDecimal::Parse(v.ToBool() ? "-1" : "0");
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Decimal:
      return ExactDecimal::Parse(v.ToString());
    case VarType::Date:
      return ExactDecimal::Parse(FormatDouble(v.ToDouble()));
    default:
      ThrowVb(kVbTypeMismatch);
  }
}

std::string NextOid(const Variant& counter, int32_t bi_type) {
  const ExactDecimal current = DecimalOf(counter);
  const std::string type = std::to_string(bi_type);
  if (current.negative() || !current.fraction_digits().empty())
    ThrowVb(kVbTypeMismatch, "The OID counter of type " + type + " holds " + current.ToString() +
                                 ", which is not a whole non-negative number");
  const std::string next = (current + ExactDecimal::Parse("1")).integer_digits();
  const size_t type_digits = type.size() + kOidSeedZeros;
  const char* problem = nullptr;
  if (next.size() > kOidLength)
    problem = "has more than fifteen digits";
  else if (!next.starts_with(type))
    problem = "does not begin with the type's number";
  else if (next.size() != type_digits)
    problem = "does not have the digits of the type's seed";
  if (problem)
    ThrowVb(kVbOverflow,
            "Type " + type + " has no OID left: the next counter value, " + next + ", " + problem);
  return std::string(kOidLength - next.size(), '0') + next;
}

Variant SingleValue(const Variant& result) {
  const Variant& v = result.Deref();
  if (v.IsObject()) {
    if (auto rs = As<Recordset>(v.object())) {
      if (rs->EOF()) return Variant::Null();
      return rs->Fields()->Item(Variant(int32_t{0}))->Value();
    }
  }
  return v.Unwrapped();
}

}  // namespace q6
