// How a member of an entity object becomes the value written into its
// column of FD_Entities or FD_Fields.
//
// The writers of the entity row and of the field rows are tables of
// {column, member, rule}; the rule says how the member's value is converted
// and when the column receives Null instead:
//   kLong, kInteger, kByte, kDouble  the member converted to that type;
//   kText          the member as text, even when empty (names, captions,
//                  the key field and the record table);
//   kTextOrNull    the member as text; Null when it is the empty text;
//   kLongOrNull    as Long; Null when 0 (sheet and layout cells);
//   kByteOrNull    as Byte; Null when 0 (decimals);
//   kBoolean       as a Boolean, which the data access layer stores as 1/0;
//   kFlag          the Integer 1 for True, 0 for False;
//   kLayout        as Double; Null when 0 or when the field is not in use;
//   kBound         the Variant unconverted; Null when CheckNull in text
//                  mode makes it the empty text (Null, Empty or "");
//   kDefault       the Variant unconverted; Null when it equals the empty
//                  text (Empty or "") and Null when it is Null;
//   kMaxOID        the decimal text of the member (the BI type) followed by
//                  thirteen zeros: the OID counter of a new entity.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "runtime/variant.h"

namespace q6 {

enum class WriteRule {
  kLong,
  kInteger,
  kByte,
  kDouble,
  kText,
  kTextOrNull,
  kLongOrNull,
  kByteOrNull,
  kBoolean,
  kFlag,
  kLayout,
  kBound,
  kDefault,
  kMaxOID,
};

// The value to write for `member` by `rule`. `in_use` is the field's IsUsed
// (only kLayout reads it). Raises what converting the member raises
// (Overflow 6, Type mismatch 13); the members of entity objects always hold
// their own type, so in practice only a Byte or Integer out of range can.
Variant ColumnOut(const Variant& member, WriteRule rule, bool in_use = true);

// The rules that call out to the public service or the SQL text helpers.
Variant BoundOut(const Variant& member);
Variant MaxOIDOut(const Variant& member);

// The member as a T: the value itself when it holds one (as the members
// of entity objects do), else converted by `convert`.
template <class T>
T HeldAs(const Variant& member, T (Variant::*convert)() const) {
  const T* held = member.get_if<T>();
  return held ? *held : (member.*convert)();
}

// ColumnOut with the rule known where it is written: a writer whose columns
// are a constant table gets each column's conversion compiled on its own.
template <WriteRule R>
Variant ColumnOutBy(const Variant& member, bool in_use) {
  using enum WriteRule;
  if constexpr (R == kLong) {
    return Variant(HeldAs<int32_t>(member, &Variant::ToLong));
  } else if constexpr (R == kInteger) {
    return Variant(HeldAs<int16_t>(member, &Variant::ToInteger));
  } else if constexpr (R == kByte) {
    return Variant(HeldAs<uint8_t>(member, &Variant::ToByte));
  } else if constexpr (R == kDouble) {
    return Variant(HeldAs<double>(member, &Variant::ToDouble));
  } else if constexpr (R == kText || R == kTextOrNull) {
    const std::string* held = member.get_if<std::string>();
    if (!held) {
      std::string s = member.ToString();
      return R == kTextOrNull && s.empty() ? Variant::Null() : Variant(std::move(s));
    }
    return R == kTextOrNull && held->empty() ? Variant::Null() : Variant(*held);
  } else if constexpr (R == kLongOrNull) {
    const int32_t n = HeldAs<int32_t>(member, &Variant::ToLong);
    return n == 0 ? Variant::Null() : Variant(n);
  } else if constexpr (R == kByteOrNull) {
    const uint8_t n = HeldAs<uint8_t>(member, &Variant::ToByte);
    return n == 0 ? Variant::Null() : Variant(n);
  } else if constexpr (R == kBoolean) {
    return Variant(HeldAs<bool>(member, &Variant::ToBool));
  } else if constexpr (R == kFlag) {
    return Variant(static_cast<int16_t>(HeldAs<bool>(member, &Variant::ToBool) ? 1 : 0));
  } else if constexpr (R == kLayout) {
    const double d = HeldAs<double>(member, &Variant::ToDouble);
    return !in_use || d == 0 ? Variant::Null() : Variant(d);
  } else if constexpr (R == kBound) {
    return BoundOut(member);
  } else if constexpr (R == kDefault) {
    const bool empty_text = member.type() == VarType::String && member.string().empty();
    return member.IsEmpty() || empty_text ? Variant::Null() : member;
  } else {
    static_assert(R == kMaxOID);
    return MaxOIDOut(member);
  }
}

}  // namespace q6
