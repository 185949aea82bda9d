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

std::string NextOid(const Variant& counter) {
  std::string text =
      std::string(kOidLength, '0') + (DecimalOf(counter) + ExactDecimal::Parse("1")).ToString();
  return text.substr(text.size() - kOidLength);
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
