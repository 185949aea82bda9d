// Variant: the one value type of the automation runtime.
//
// A Variant holds one of: Empty, Null, Missing (an omitted optional
// argument), Boolean (True converts to -1), Byte, Integer (16 bit), Long
// (32 bit), Double, Decimal (exact), Date, String (UTF-8; lengths and
// positions count characters), a byte array (raw bytes, as binary columns
// hold them), an array of Variants (one or more dimensions, each with its
// own lower bound), Object (a counted reference to a dispatchable object,
// possibly Nothing) or a by-reference slot that points at a caller's Variant.
//
// Conversions follow the automation rules:
//   - into integer types: halves round to even; out of range raises
//     Overflow (6);
//   - Null into anything but Variant raises Invalid use of Null (94);
//   - text that is not a number raises Type mismatch (13);
//   - numbers become text with '.' as the decimal separator, whatever the
//     process locale, Doubles with at most 15 significant digits;
//   - Boolean becomes "True"/"False";
//   - an Object converts through its default member (a data-access field
//     converts as its current value);
//   - a byte array converts to and from String byte for byte, and to
//     nothing else (Type mismatch);
//   - an array of Variants converts to nothing but itself (Type mismatch);
//     copying a Variant copies the array's elements.
// A failed conversion leaves the source unchanged.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/com_error.h"
#include "runtime/decimal.h"
#include "runtime/export.h"

namespace q6 {

class Dispatchable;
using ObjectRef = std::shared_ptr<Dispatchable>;

// Type tags; the numbers are the platform's VARTYPE codes.
enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  Date = 7,
  String = 8,
  Object = 9,
  Missing = 10,  // VT_ERROR holding DISP_E_PARAMNOTFOUND
  Boolean = 11,
  Variant = 12,  // only as a declared parameter type: "any"
  Decimal = 14,
  Byte = 17,
  Void = 24,           // only as a declared result type: nothing returned
  Array = 0x200C,      // an array of Variants (VT_ARRAY | VT_VARIANT)
  ByteArray = 0x2011,  // an array of Byte (VT_ARRAY | VT_UI1)
};

// Name of a type as the type information prints it ("Long", "String").
Q6FD_API const char* VarTypeName(VarType t);

struct Q6FD_API NullValue {
  bool operator==(const NullValue&) const = default;
};
struct Q6FD_API MissingValue {
  bool operator==(const MissingValue&) const = default;
};
// The bytes of a byte array.
using ByteArray = std::vector<uint8_t>;

class Variant;

// An array of Variants with one or more dimensions, each with its own lower
// bound; a value like any other (copies are deep). The elements are stored
// with the first subscript varying fastest, as the platform lays its arrays
// out: in the [field][row] array of a recordset's rows, the values of one row
// are adjacent. Subscripts and dimension numbers follow the automation
// language: dimensions count from 1, a subscript runs from the dimension's
// lower bound to its upper bound. Out-of-range subscripts or dimensions, and
// the wrong number of subscripts, raise Subscript out of range (9).
class Q6FD_API VariantArray {
 public:
  struct Bound {
    int32_t lower = 0;
    size_t count = 0;
    bool operator==(const Bound&) const = default;
  };

  // One dimension without elements (lower bound 0, upper bound -1).
  VariantArray();
  // Every element Empty. REQUIRES: at least one bound.
  explicit VariantArray(std::vector<Bound> bounds);
  // One dimension from 0 holding `items`.
  static VariantArray Of(std::vector<Variant> items);

  size_t dims() const { return bounds_.size(); }
  const std::vector<Bound>& bounds() const { return bounds_; }
  int32_t LBound(size_t dim = 1) const;
  int32_t UBound(size_t dim = 1) const;

  // The element at `subscripts`, one per dimension.
  Variant& At(std::initializer_list<int32_t> subscripts);
  const Variant& At(std::initializer_list<int32_t> subscripts) const;

  // Every element, first subscript fastest.
  std::vector<Variant>& items() { return items_; }
  const std::vector<Variant>& items() const { return items_; }

  friend Q6FD_API bool operator==(const VariantArray& a, const VariantArray& b);

 private:
  const Bound& BoundOf(size_t dim) const;
  size_t Offset(std::initializer_list<int32_t> subscripts) const;

  std::vector<Bound> bounds_;
  std::vector<Variant> items_;
};

// A date: days since 1899-12-30, the fraction is the time of day.
struct Q6FD_API DateValue {
  double days = 0;
  bool operator==(const DateValue&) const = default;
};

class Q6FD_API Variant {
 public:
  Variant() = default;
  Variant(const Variant&) = default;
  Variant(Variant&&) noexcept = default;
  Variant& operator=(const Variant&) = default;
  Variant& operator=(Variant&&) noexcept = default;

  Variant(NullValue) : v_(NullValue{}) {}
  Variant(MissingValue) : v_(MissingValue{}) {}
  Variant(bool b) : v_(b) {}
  Variant(uint8_t b) : v_(b) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t l) : v_(l) {}
  Variant(double d) : v_(d) {}
  Variant(const Decimal& d) : v_(d) {}
  Variant(DateValue d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(ByteArray b) : v_(std::move(b)) {}
  Variant(VariantArray a) : v_(std::move(a)) {}
  Variant(ObjectRef o) : v_(std::move(o)) {}
  template <class T, class = std::enable_if_t<std::is_base_of_v<Dispatchable, T>>>
  Variant(std::shared_ptr<T> o) : v_(ObjectRef(std::move(o))) {}

  static Variant Null() { return Variant(NullValue{}); }
  static Variant Missing() { return Variant(MissingValue{}); }
  static Variant Nothing() { return Variant(ObjectRef()); }
  // A by-reference slot pointing at `target`; `target` must outlive it.
  static Variant Ref(Variant* target);
  // The empty value of type `t` ("" for String, False for Boolean, Nothing
  // for Object, Missing for Variant, 0 for numbers).
  static Variant EmptyOf(VarType t);

  // The type of the value, looking through a by-reference slot. Asked for
  // around every value that crosses a call, so inline, as Deref is.
  VarType type() const {
    static constexpr VarType kByIndex[] = {
        VarType::Empty,   VarType::Null,   VarType::Missing, VarType::Boolean,   VarType::Byte,
        VarType::Integer, VarType::Long,   VarType::Double,  VarType::Decimal,   VarType::Date,
        VarType::String,  VarType::Object, VarType::Empty,   VarType::ByteArray, VarType::Array};
    static_assert(std::size(kByIndex) == std::variant_size_v<Storage>);
    return kByIndex[Deref().v_.index()];
  }
  bool IsByRef() const { return std::holds_alternative<Variant*>(v_); }
  bool IsEmpty() const { return type() == VarType::Empty; }
  bool IsNull() const { return type() == VarType::Null; }
  bool IsMissing() const { return type() == VarType::Missing; }
  bool IsObject() const { return type() == VarType::Object; }
  bool IsNothing() const { return IsObject() && !Deref().object(); }
  // Numeric types, Boolean included.
  bool IsNumeric() const;

  // The Variant a by-reference slot points at, or this one.
  const Variant& Deref() const {
    const Variant* v = this;
    while (const auto* p = std::get_if<Variant*>(&v->v_)) v = *p;
    return *v;
  }
  Variant& Deref() {
    Variant* v = this;
    while (auto* p = std::get_if<Variant*>(&v->v_)) v = *p;
    return *v;
  }
  // A copy with by-reference slots resolved.
  Variant Value() const { return Deref(); }

  // Conversions by the rules above; each raises a ComError on failure.
  bool ToBool() const;
  uint8_t ToByte() const;
  int16_t ToInteger() const;
  int32_t ToLong() const;
  double ToDouble() const;
  Decimal ToDecimal() const;
  DateValue ToDate() const;
  std::string ToString() const;
  // A byte array, or a String's bytes; raises Type mismatch (13) for other
  // values, Invalid use of Null (94) for Null.
  ByteArray ToBytes() const;
  // Object or Nothing; raises Type mismatch (13) for other values.
  ObjectRef ToObject() const;
  // A copy of an array; raises Type mismatch (13) for other values, Invalid
  // use of Null (94) for Null.
  VariantArray ToArray() const;
  // The value converted to `t` (Variant: an unchanged copy).
  Variant ChangeType(VarType t) const;

  // For an object, the value of its default member (recursively); otherwise
  // a copy of the value.
  Variant Unwrapped() const;

  // Calls `f` with the held value (by-reference slots looked through), one
  // overload per stored type (as std::visit does): Empty is std::monostate,
  // Null NullValue, Missing MissingValue, Object ObjectRef, and a slot is
  // never passed. For a caller that takes every type its own way at the
  // cost of one jump.
  template <class F>
  decltype(auto) Visit(F&& f) const {
    return std::visit(std::forward<F>(f), Deref().v_);
  }

  // The held value when it is a T (by-reference slots looked through), else
  // nullptr: for callers that take each type its own way without converting.
  template <class T>
  const T* get_if() const {
    return std::get_if<T>(&Deref().v_);
  }

  // Direct access to the held value; REQUIRES: type() is the matching type.
  bool& bool_ref() { return std::get<bool>(Deref().v_); }
  uint8_t& byte_ref() { return std::get<uint8_t>(Deref().v_); }
  int16_t& integer_ref() { return std::get<int16_t>(Deref().v_); }
  int32_t& long_ref() { return std::get<int32_t>(Deref().v_); }
  double& double_ref() { return std::get<double>(Deref().v_); }
  Decimal& decimal_ref() { return std::get<Decimal>(Deref().v_); }
  DateValue& date_ref() { return std::get<DateValue>(Deref().v_); }
  std::string& string_ref() { return std::get<std::string>(Deref().v_); }
  ObjectRef& object_ref() { return std::get<ObjectRef>(Deref().v_); }
  VariantArray& array_ref() { return std::get<VariantArray>(Deref().v_); }
  const std::string& string() const { return std::get<std::string>(Deref().v_); }
  const ByteArray& bytes() const { return std::get<ByteArray>(Deref().v_); }
  const ObjectRef& object() const { return std::get<ObjectRef>(Deref().v_); }
  const VariantArray& array() const { return std::get<VariantArray>(Deref().v_); }

  // Same type and same value (objects: same object). Used to tell whether
  // a put changed a value.
  friend Q6FD_API bool operator==(const Variant& a, const Variant& b);

  // For diagnostics: "Long 5", "String 'x'", "Null".
  std::string Describe() const;

 private:
  using Storage =
      std::variant<std::monostate, NullValue, MissingValue, bool, uint8_t, int16_t, int32_t, double,
                   Decimal, DateValue, std::string, ObjectRef, Variant*, ByteArray, VariantArray>;
  Storage v_;
};

// Formats a Double the way the automation text conversion does: up to 15
// significant digits, no trailing point, exponent form "1E+15" for large and
// tiny magnitudes, '.' separator.
Q6FD_API std::string FormatDouble(double d);

// Parses a number in text with surrounding blanks allowed; false when `s`
// is not a number.
Q6FD_API bool ParseNumber(std::string_view s, double* out);

// Case-insensitive comparison of ASCII and Unicode letters (simple folding).
Q6FD_API bool EqualsNoCase(std::string_view a, std::string_view b);
// Lower-case of UTF-8 text (Unicode letters included).
Q6FD_API std::string ToLower(std::string_view s);
// Number of characters of UTF-8 text.
Q6FD_API size_t CharCount(std::string_view s);

}  // namespace q6
