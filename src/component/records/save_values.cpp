// Value forms of the record statements.
//
// The text of a value is the runtime's automation conversion, which is
// already independent of the process locale for numbers. Dates are the one
// exception: the conversion leaves the time out at midnight, while a
// statement always carries the full "yyyy-mm-dd hh:mm:ss", which both
// engines read as the same instant whatever the column type.
//
// A bare value is meant to be a number; text that does not read as one is
// refused rather than placed in the statement, where it could otherwise
// turn into SQL of its own.
//
// The Boolean form reduces the value to a byte by the automation rules
// (which is where Null, overflow and non-numeric text fail) and then writes
// only whether that byte is set, so every engine reads it as true or false.
#include "component/records/save_values.h"

#include <cmath>

#include "component/frame/sql_text.h"
#include "outside/eso/entity_codes.h"
#include "runtime/com_error.h"

namespace q6 {

ValueForm FormOfDataType(int32_t data_type) {
  switch (data_type) {
    case kDataTypeText:
    case kDataTypeQuoted2:
    case kDataTypeQuoted7:
    case kDataTypeQuoted9:
      return ValueForm::kQuoted;
    case kDataTypeNumber:
    case kDataTypeBare4:
    case kDataTypeBare5:
      return ValueForm::kBare;
    case kDataTypeBoolean:
      return ValueForm::kBoolean;
    default:
      return ValueForm::kLeftOut;
  }
}

bool IsNullValue(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

std::string ValueText(const Variant& v) {
  const Variant value = v.IsObject() ? v.Unwrapped() : v.Value();
  std::string text = value.ToString();
  // "yyyy-mm-dd" alone is a date at midnight.
  if (value.type() == VarType::Date && text.size() == 10) text += " 00:00:00";
  return text;
}

std::string BareText(const Variant& v) {
  const Variant value = v.IsObject() ? v.Unwrapped() : v.Value();
  if (value.type() == VarType::String) {
    double ignored = 0;
    if (!ParseNumber(value.string(), &ignored)) ThrowVb(kVbTypeMismatch);
  } else if (value.type() == VarType::Double && !std::isfinite(value.ToDouble())) {
    ThrowVb(kVbOverflow);
  }
  return ValueText(value);
}

uint8_t BooleanByte(const Variant& v) {
  const Variant value = v.IsObject() ? v.Unwrapped() : v.Value();
  // True is -1 as a number; as a byte it is all bits set.
  if (value.type() == VarType::Boolean) return value.ToBool() ? 255 : 0;
  return value.ToByte();
}

std::string BooleanNumber(const Variant& v) { return BooleanByte(v) != 0 ? "1" : "0"; }

std::string ValueLiteral(ValueForm form, const Variant& v) {
  switch (form) {
    case ValueForm::kQuoted:
      return SqlQuoted(ValueText(v));
    case ValueForm::kBare:
      return BareText(v);
    case ValueForm::kBoolean:
      return BooleanNumber(v);
    case ValueForm::kLeftOut:
      break;
  }
  ThrowVb(kVbInvalidProcedureCall);
}

}  // namespace q6
