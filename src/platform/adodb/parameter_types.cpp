// Parameter data types: one row per DataTypeEnum value that parameters may
// be declared with, naming the conversion its values go through. The
// conversions are the runtime's own (Variant::ToDecimal, ToDate, ...), so a
// value converts as it would in any other automation call, with the same
// errors; what is added here is each type's range and rounding.
#include "platform/adodb/parameter_types.h"

#include <cfloat>
#include <climits>
#include <cmath>

#include "platform/adodb/ado_errors.h"
#include "platform/drivers/driver.h"
#include "runtime/value_date.h"

namespace q6 {
namespace {

enum class Conversion : uint8_t {
  kAsGiven,
  kBoolean,
  kInteger,
  kSingle,
  kDouble,
  kCurrency,
  kDecimal,
  kDate,
  kDay,
  kTimeOfDay,
  kText,
  kBytes,
};

struct TypeRow {
  int32_t type;
  const char* name;
  Conversion conversion;
  int64_t lo = 0, hi = 0;         // kInteger: the range
  VarType as = VarType::Variant;  // kInteger: how a value in range is held
};

constexpr TypeRow kTypes[] = {
    {kAdEmpty, "adEmpty", Conversion::kAsGiven},
    {kAdVariant, "adVariant", Conversion::kAsGiven},
    {kAdBoolean, "adBoolean", Conversion::kBoolean},
    {kAdTinyInt, "adTinyInt", Conversion::kInteger, -128, 127, VarType::Integer},
    {kAdUnsignedTinyInt, "adUnsignedTinyInt", Conversion::kInteger, 0, 255, VarType::Byte},
    {kAdSmallInt, "adSmallInt", Conversion::kInteger, INT16_MIN, INT16_MAX, VarType::Integer},
    {kAdUnsignedSmallInt, "adUnsignedSmallInt", Conversion::kInteger, 0, UINT16_MAX, VarType::Long},
    {kAdInteger, "adInteger", Conversion::kInteger, INT32_MIN, INT32_MAX, VarType::Long},
    {kAdUnsignedInt, "adUnsignedInt", Conversion::kInteger, 0, UINT32_MAX, VarType::Decimal},
    {kAdBigInt, "adBigInt", Conversion::kInteger, INT64_MIN, INT64_MAX, VarType::Decimal},
    {kAdSingle, "adSingle", Conversion::kSingle},
    {kAdDouble, "adDouble", Conversion::kDouble},
    {kAdCurrency, "adCurrency", Conversion::kCurrency},
    {kAdDecimal, "adDecimal", Conversion::kDecimal},
    {kAdNumeric, "adNumeric", Conversion::kDecimal},
    {kAdDate, "adDate", Conversion::kDate},
    {kAdDBTimeStamp, "adDBTimeStamp", Conversion::kDate},
    {kAdDBDate, "adDBDate", Conversion::kDay},
    {kAdDBTime, "adDBTime", Conversion::kTimeOfDay},
    {kAdBSTR, "adBSTR", Conversion::kText},
    {kAdChar, "adChar", Conversion::kText},
    {kAdWChar, "adWChar", Conversion::kText},
    {kAdVarChar, "adVarChar", Conversion::kText},
    {kAdLongVarChar, "adLongVarChar", Conversion::kText},
    {kAdVarWChar, "adVarWChar", Conversion::kText},
    {kAdLongVarWChar, "adLongVarWChar", Conversion::kText},
    {kAdBinary, "adBinary", Conversion::kBytes},
    {kAdVarBinary, "adVarBinary", Conversion::kBytes},
    {kAdLongVarBinary, "adLongVarBinary", Conversion::kBytes},
};

const TypeRow* RowOf(int32_t type) {
  for (const TypeRow& r : kTypes)
    if (r.type == type) return &r;
  return nullptr;
}

// 10^digits as a Decimal; digits <= 28.
Decimal PowerOfTen(int digits) { return Decimal::Parse("1" + std::string(digits, '0')); }

Variant Integer(const Variant& v, const TypeRow& row) {
  const int64_t i = v.ToDecimal().RoundToInt64();
  if (i < row.lo || i > row.hi) ThrowVb(kVbOverflow);
  switch (row.as) {
    case VarType::Byte:
      return Variant(static_cast<uint8_t>(i));
    case VarType::Integer:
      return Variant(static_cast<int16_t>(i));
    case VarType::Long:
      return Variant(static_cast<int32_t>(i));
    default:
      return Variant(Decimal(i));
  }
}

Variant Currency(const Variant& v) {
  static const Decimal kMax = Decimal::Parse("922337203685477.5807");
  const Decimal d = v.ToDecimal().Rounded(4);
  if (d > kMax || d < -kMax) ThrowVb(kVbOverflow);
  return Variant(d);
}

Variant Exact(const Variant& v, const ParameterDecl& decl) {
  Decimal d = v.ToDecimal();
  if (decl.precision == 0 && decl.numeric_scale == 0) return Variant(d);
  d = d.Rounded(decl.numeric_scale);
  const int whole_digits = decl.precision - decl.numeric_scale;
  if (decl.precision > 0 && whole_digits <= Decimal::kMaxScale) {
    const Decimal limit = PowerOfTen(whole_digits > 0 ? whole_digits : 0);
    if (d >= limit || d <= -limit) ThrowVb(kVbOverflow);
  }
  return Variant(d);
}

Variant TimeOfDay(const Variant& v) {
  const std::string text = value::FormatDate(v.ToDate().days);
  const size_t blank = text.find(' ');
  return Variant(blank == std::string::npos ? std::string("00:00:00") : text.substr(blank + 1));
}

void CheckSize(size_t length, const ParameterDecl& decl, const char* unit) {
  if (decl.size > 0 && length > static_cast<size_t>(decl.size))
    Throw(kAdoValueTruncated,
          "String or binary data would be truncated: the value has " + std::to_string(length) +
              " " + unit + ", the parameter's Size is " + std::to_string(decl.size),
          "ADODB.Parameter");
}

}  // namespace

bool IsParameterType(int32_t type) { return RowOf(type) != nullptr; }

std::string ParameterTypeName(int32_t type) {
  const TypeRow* row = RowOf(type);
  return row ? row->name : "type " + std::to_string(type);
}

Variant ParameterValue(const Variant& value, const ParameterDecl& decl) {
  if (decl.type == kAdEmpty || decl.type == kAdVariant) {
    // The value as given, the common case of a command run with its values
    // and no parameters declared: a copy, without the table's look-up.
    const Variant& v = value.Deref();
    switch (v.type()) {
      case VarType::Null:
      case VarType::Empty:
      case VarType::Missing:
        return Variant::Null();
      case VarType::Object:
      case VarType::Array:
        break;  // an object's default value, or the refusal, below
      default:
        return v;
    }
  }
  const TypeRow* row = RowOf(decl.type);
  if (!row)
    ThrowAdo(kAdoParameterImproper, "ADODB.Parameter",
             ParameterTypeName(decl.type) + " is not a parameter type");
  const Variant v = value.IsObject() && value.Deref().object() ? value.Unwrapped() : value.Value();
  if (v.IsNull() || v.IsEmpty() || v.IsMissing()) return Variant::Null();
  if (v.type() == VarType::Array || v.IsObject()) ThrowVb(kVbTypeMismatch);
  switch (row->conversion) {
    case Conversion::kAsGiven:
      return v;
    case Conversion::kBoolean:
      return Variant(v.ToBool());
    case Conversion::kInteger:
      return Integer(v, *row);
    case Conversion::kSingle: {
      const double d = v.ToDouble();
      if (std::isfinite(d) && std::fabs(d) > FLT_MAX) ThrowVb(kVbOverflow);
      return Variant(static_cast<double>(static_cast<float>(d)));
    }
    case Conversion::kDouble:
      return Variant(v.ToDouble());
    case Conversion::kCurrency:
      return Currency(v);
    case Conversion::kDecimal:
      return Exact(v, decl);
    case Conversion::kDate:
      return Variant(v.ToDate());
    case Conversion::kDay:
      return Variant(DateValue{std::trunc(v.ToDate().days)});
    case Conversion::kTimeOfDay:
      return TimeOfDay(v);
    case Conversion::kText: {
      std::string s = v.ToString();
      CheckSize(CharCount(s), decl, "characters");
      return Variant(std::move(s));
    }
    case Conversion::kBytes: {
      ByteArray b = v.ToBytes();
      CheckSize(b.size(), decl, "bytes");
      return Variant(std::move(b));
    }
  }
  return v;
}

}  // namespace q6
