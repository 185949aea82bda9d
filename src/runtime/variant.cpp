// Variant: storage, conversions and the text helpers of the runtime.
//
// Each conversion resolves by-reference slots, reads an object through its
// default member, and then visits the stored value with a small converter
// per target type: one overload per source type, each with its exact error.
// Numeric sources are first reduced to one of three exact forms (an integer,
// a double, a Decimal) or kept as text, so the rounding and range rules of a
// target are written once.
//
// Choices beyond the automation rules:
//   - Missing (an omitted optional argument) converted to any value raises
//     Type mismatch (13), like any other value of the wrong kind.
//   - ChangeType to Empty, Null or Missing only succeeds when the value is
//     already of that type (Type mismatch otherwise); Void is never a target.
//   - ToObject accepts only objects (Nothing included); Empty and Null raise
//     Type mismatch (13) like other values.
//   - Objects whose default member yields an object are followed 16 deep;
//     a longer chain (an object that answers with itself) is a Type mismatch.
//   - Doubles that are not finite print as "NaN", "Infinity", "-Infinity".
//   - Dates print as ISO text, "yyyy-mm-dd" plus " hh:mm:ss" when there is a
//     time of day.
#include "runtime/variant.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <type_traits>

#include "runtime/dispatch.h"
#include "runtime/value_date.h"
#include "runtime/value_number_text.h"
#include "runtime/value_utf8.h"

namespace q6 {

namespace {

constexpr int kObjectNotSet = 91;
// Objects whose default member yields an object are followed this deep.
constexpr int kMaxDefaultDepth = 16;

// A number taken from any source value, before the target's rules apply.
// Text stays text: each target reads it its own exact way.
struct Number {
  enum Kind { kInteger, kDouble, kDecimal, kText } kind = kInteger;
  int64_t integer = 0;
  double real = 0;
  Decimal decimal;
  std::string_view text;
};

// Reduces a stored value to a Number; raises for values that have none.
struct ToNumber {
  Number operator()(std::monostate) const { return {}; }
  Number operator()(NullValue) const { ThrowVb(kVbInvalidUseOfNull); }
  Number operator()(MissingValue) const { ThrowVb(kVbTypeMismatch); }
  Number operator()(bool b) const { return Int(b ? -1 : 0); }
  Number operator()(uint8_t v) const { return Int(v); }
  Number operator()(int16_t v) const { return Int(v); }
  Number operator()(int32_t v) const { return Int(v); }
  Number operator()(double v) const {
    Number n;
    n.kind = Number::kDouble;
    n.real = v;
    return n;
  }
  Number operator()(const Decimal& v) const {
    Number n;
    n.kind = Number::kDecimal;
    n.decimal = v;
    return n;
  }
  Number operator()(DateValue v) const { return (*this)(v.days); }
  Number operator()(const std::string& s) const {
    Number n;
    n.kind = Number::kText;
    n.text = s;
    return n;
  }
  // Objects and slots are resolved before visiting.
  Number operator()(const ObjectRef&) const { ThrowVb(kVbTypeMismatch); }
  Number operator()(Variant*) const { ThrowVb(kVbTypeMismatch); }
  Number operator()(const ByteArray&) const { ThrowVb(kVbTypeMismatch); }
  Number operator()(const VariantArray&) const { ThrowVb(kVbTypeMismatch); }

  static Number Int(int64_t v) {
    Number n;
    n.integer = v;
    return n;
  }
};

// Integer targets: halves round to even, then the range of T applies.
template <class T>
T ToIntegral(const Number& n) {
  constexpr int64_t lo = std::numeric_limits<T>::min();
  constexpr int64_t hi = std::numeric_limits<T>::max();
  int64_t v = 0;
  switch (n.kind) {
    case Number::kInteger:
      v = n.integer;
      break;
    case Number::kDouble: {
      // nearbyint rounds half to even in the default rounding mode.
      const double r = std::nearbyint(n.real);
      if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi))) {
        ThrowVb(kVbOverflow);
      }
      v = static_cast<int64_t>(r);
      break;
    }
    case Number::kDecimal:
      v = n.decimal.RoundToInt64();
      break;
    case Number::kText: {
      value::NumberText scanned;
      if (!value::ScanNumber(n.text, &scanned)) ThrowVb(kVbTypeMismatch);
      Decimal d;
      // A number too large for a Decimal is far too large for T.
      if (!Decimal::TryParse(n.text, &d)) ThrowVb(kVbOverflow);
      v = d.RoundToInt64();
      break;
    }
  }
  if (v < lo || v > hi) ThrowVb(kVbOverflow);
  return static_cast<T>(v);
}

double NumberToDouble(const Number& n) {
  switch (n.kind) {
    case Number::kInteger:
      return static_cast<double>(n.integer);
    case Number::kDouble:
      return n.real;
    case Number::kDecimal:
      return n.decimal.ToDouble();
    case Number::kText:
      break;
  }
  double v = 0;
  switch (value::ParseDouble(n.text, &v)) {
    case value::ParseStatus::kNotNumber:
      ThrowVb(kVbTypeMismatch);
    case value::ParseStatus::kOutOfRange:
      ThrowVb(kVbOverflow);
    case value::ParseStatus::kOk:
      break;
  }
  return v;
}

Decimal NumberToDecimal(const Number& n) {
  switch (n.kind) {
    case Number::kInteger:
      return Decimal(n.integer);
    case Number::kDouble:
      return Decimal::FromDouble(n.real);
    case Number::kDecimal:
      return n.decimal;
    case Number::kText:
      break;
  }
  return Decimal::Parse(n.text);
}

bool NumberToBool(const Number& n) {
  switch (n.kind) {
    case Number::kInteger:
      return n.integer != 0;
    case Number::kDouble:
      return n.real != 0;
    case Number::kDecimal:
      return !n.decimal.IsZero();
    case Number::kText:
      break;
  }
  std::string_view t = value::TrimBlanks(n.text);
  if (EqualsNoCase(t, "True")) return true;
  if (EqualsNoCase(t, "False")) return false;
  value::NumberText scanned;
  if (!value::ScanNumber(t, &scanned)) ThrowVb(kVbTypeMismatch);
  return !scanned.digits.empty();
}

DateValue NumberToDate(const Number& n) {
  double days = 0;
  if (n.kind == Number::kText) {
    if (!value::ParseDate(n.text, &days)) ThrowVb(kVbTypeMismatch);
  } else {
    days = NumberToDouble(n);
  }
  if (!value::DateInRange(days)) ThrowVb(kVbOverflow);
  return DateValue{days};
}

struct ToText {
  std::string operator()(std::monostate) const { return ""; }
  std::string operator()(NullValue) const { ThrowVb(kVbInvalidUseOfNull); }
  std::string operator()(MissingValue) const { ThrowVb(kVbTypeMismatch); }
  std::string operator()(bool b) const { return b ? "True" : "False"; }
  std::string operator()(uint8_t v) const { return std::to_string(v); }
  std::string operator()(int16_t v) const { return std::to_string(v); }
  std::string operator()(int32_t v) const { return std::to_string(v); }
  std::string operator()(double v) const { return FormatDouble(v); }
  std::string operator()(const Decimal& v) const { return v.ToString(); }
  std::string operator()(DateValue v) const {
    if (!value::DateInRange(v.days)) ThrowVb(kVbOverflow);
    return value::FormatDate(v.days);
  }
  std::string operator()(const std::string& s) const { return s; }
  std::string operator()(const ObjectRef&) const { ThrowVb(kVbTypeMismatch); }
  std::string operator()(Variant*) const { ThrowVb(kVbTypeMismatch); }
  std::string operator()(const ByteArray& b) const { return std::string(b.begin(), b.end()); }
  std::string operator()(const VariantArray&) const { ThrowVb(kVbTypeMismatch); }
};

}  // namespace

const char* VarTypeName(VarType t) {
  switch (t) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::Integer:
      return "Integer";
    case VarType::Long:
      return "Long";
    case VarType::Double:
      return "Double";
    case VarType::Date:
      return "Date";
    case VarType::String:
      return "String";
    case VarType::Object:
      return "Object";
    case VarType::Missing:
      return "Error";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Variant:
      return "Variant";
    case VarType::Decimal:
      return "Decimal";
    case VarType::Byte:
      return "Byte";
    case VarType::Void:
      return "Void";
    case VarType::Array:
      return "Variant()";
    case VarType::ByteArray:
      return "Byte()";
  }
  return "Unknown";
}

Variant Variant::Ref(Variant* target) {
  Variant v;
  v.v_ = target;
  return v;
}

Variant Variant::EmptyOf(VarType t) {
  switch (t) {
    case VarType::Empty:
      return Variant();
    case VarType::Null:
      return Null();
    case VarType::Integer:
      return Variant(int16_t{0});
    case VarType::Long:
      return Variant(int32_t{0});
    case VarType::Double:
      return Variant(0.0);
    case VarType::Date:
      return Variant(DateValue{0});
    case VarType::String:
      return Variant(std::string());
    case VarType::Object:
      return Nothing();
    case VarType::Missing:
      return Missing();
    case VarType::Boolean:
      return Variant(false);
    case VarType::Variant:
      return Missing();
    case VarType::Decimal:
      return Variant(Decimal());
    case VarType::Byte:
      return Variant(uint8_t{0});
    case VarType::Void:
      return Variant();
    case VarType::Array:
      return Variant(VariantArray());
    case VarType::ByteArray:
      return Variant(ByteArray());
  }
  return Variant();
}

bool Variant::IsNumeric() const {
  switch (type()) {
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Decimal:
      return true;
    default:
      return false;
  }
}

Variant Variant::Unwrapped() const {
  Variant v = Value();
  for (int depth = 0; v.IsObject(); ++depth) {
    const ObjectRef& o = v.object();
    if (!o) ThrowVb(kObjectNotSet);
    if (depth == kMaxDefaultDepth) ThrowVb(kVbTypeMismatch);
    Variant next = o->DefaultValue().Value();
    v = std::move(next);
  }
  return v;
}

// Every conversion resolves by-reference slots and objects, then visits the value.
bool Variant::ToBool() const {
  const Variant& d = Deref();
  if (const auto* same = std::get_if<bool>(&d.v_)) return *same;  // nothing to convert
  if (d.IsObject()) return Unwrapped().ToBool();
  return NumberToBool(std::visit(ToNumber{}, d.v_));
}

uint8_t Variant::ToByte() const {
  const Variant& d = Deref();
  if (const auto* same = std::get_if<uint8_t>(&d.v_)) return *same;  // nothing to convert
  if (d.IsObject()) return Unwrapped().ToByte();
  return ToIntegral<uint8_t>(std::visit(ToNumber{}, d.v_));
}

int16_t Variant::ToInteger() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToInteger();
  return ToIntegral<int16_t>(std::visit(ToNumber{}, d.v_));
}

int32_t Variant::ToLong() const {
  const Variant& d = Deref();
  if (const auto* same = std::get_if<int32_t>(&d.v_)) return *same;  // nothing to convert
  if (d.IsObject()) return Unwrapped().ToLong();
  return ToIntegral<int32_t>(std::visit(ToNumber{}, d.v_));
}

double Variant::ToDouble() const {
  const Variant& d = Deref();
  if (const auto* same = std::get_if<double>(&d.v_)) return *same;  // nothing to convert
  if (d.IsObject()) return Unwrapped().ToDouble();
  return NumberToDouble(std::visit(ToNumber{}, d.v_));
}

Decimal Variant::ToDecimal() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToDecimal();
  return NumberToDecimal(std::visit(ToNumber{}, d.v_));
}

DateValue Variant::ToDate() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToDate();
  return NumberToDate(std::visit(ToNumber{}, d.v_));
}

std::string Variant::ToString() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToString();
  return std::visit(ToText{}, d.v_);
}

ByteArray Variant::ToBytes() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToBytes();
  if (const auto* b = std::get_if<ByteArray>(&d.v_)) return *b;
  if (const auto* s = std::get_if<std::string>(&d.v_)) return ByteArray(s->begin(), s->end());
  if (d.IsNull()) ThrowVb(kVbInvalidUseOfNull);
  ThrowVb(kVbTypeMismatch);
}

ObjectRef Variant::ToObject() const {
  const Variant& d = Deref();
  if (!d.IsObject()) ThrowVb(kVbTypeMismatch);
  return d.object();
}

VariantArray Variant::ToArray() const {
  const Variant& d = Deref();
  if (d.IsObject()) return Unwrapped().ToArray();
  if (const auto* a = std::get_if<VariantArray>(&d.v_)) return *a;
  if (d.IsNull()) ThrowVb(kVbInvalidUseOfNull);
  ThrowVb(kVbTypeMismatch);
}

Variant Variant::ChangeType(VarType t) const {
  switch (t) {
    case VarType::Variant:
      return Value();
    case VarType::Boolean:
      return Variant(ToBool());
    case VarType::Byte:
      return Variant(ToByte());
    case VarType::Integer:
      return Variant(ToInteger());
    case VarType::Long:
      return Variant(ToLong());
    case VarType::Double:
      return Variant(ToDouble());
    case VarType::Decimal:
      return Variant(ToDecimal());
    case VarType::Date:
      return Variant(ToDate());
    case VarType::String:
      return Variant(ToString());
    case VarType::Object:
      return Variant(ToObject());
    case VarType::ByteArray:
      return Variant(ToBytes());
    case VarType::Array:
      return Variant(ToArray());
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
    case VarType::Void:
      break;
  }
  if (type() == t && t != VarType::Void) return Value();
  if (IsNull()) ThrowVb(kVbInvalidUseOfNull);
  ThrowVb(kVbTypeMismatch);
}

bool operator==(const Variant& a, const Variant& b) { return a.Deref().v_ == b.Deref().v_; }

std::string Variant::Describe() const {
  if (IsByRef()) return "ByRef " + Deref().Describe();
  switch (type()) {
    case VarType::Empty:
    case VarType::Null:
      return VarTypeName(type());
    case VarType::Missing:
      return "Missing";
    case VarType::String:
      return "String '" + string() + "'";
    case VarType::Object:
      return object() ? "Object " + object()->Interface().name : "Nothing";
    case VarType::ByteArray:
      return "Byte() of " + std::to_string(bytes().size()) + " bytes";
    case VarType::Array: {
      std::string out = "Variant(";
      for (const VariantArray::Bound& b : array().bounds()) {
        if (out.back() != '(') out += ", ";
        out += std::to_string(b.lower) + " To " +
               std::to_string(static_cast<int64_t>(b.lower) + static_cast<int64_t>(b.count) - 1);
      }
      return out + ")";
    }
    case VarType::Date: {
      // Diagnostics never fail: a day number outside the calendar prints as is.
      const double days = std::get<DateValue>(Deref().v_).days;
      return "Date " + (value::DateInRange(days) ? value::FormatDate(days) : FormatDouble(days));
    }
    default:
      return std::string(VarTypeName(type())) + " " + std::visit(ToText{}, v_);
  }
}

std::string FormatDouble(double d) { return value::FormatDouble15(d); }

bool ParseNumber(std::string_view s, double* out) {
  double v = 0;
  if (value::ParseDouble(s, &v) != value::ParseStatus::kOk) return false;
  *out = v;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return value::EqualsFolded(a, b); }

std::string ToLower(std::string_view s) { return value::LowerUtf8(s); }

size_t CharCount(std::string_view s) { return value::CountChars(s); }

}  // namespace q6
