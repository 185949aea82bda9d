// How Save writes a field's value into an INSERT or UPDATE statement.
//
// The form depends on the field's DataType alone:
//   1, 2, 7, 9  quoted   "'" text "'" (quotes inside doubled)
//   3, 4, 5     bare     the text as it is
//   6           Boolean  "1" or "0"
//   others      the field is left out of the statement
// The functions read values only; none touches a database or an entity.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/variant.h"

namespace q6 {

enum class ValueForm { kQuoted, kBare, kBoolean, kLeftOut };

// The form of a field with `data_type`.
ValueForm FormOfDataType(int32_t data_type);

// True for Null and Empty: the values Save writes as NULL.
bool IsNullValue(const Variant& v);

// The text of a value in a statement: the automation text conversion, which
// writes numbers with '.' whatever the process locale; dates always as
// "yyyy-mm-dd hh:mm:ss" (midnight written out). Empty gives "".
// Raises 94 for Null, 6 for a date out of range, 13 for Missing or an object
// whose value cannot be had.
std::string ValueText(const Variant& v);

// The text of a value in the bare form: ValueText(v), where a text value
// must read as a number (blanks around, sign, digits, '.', exponent) and
// stays as it is. Raises as ValueText, 13 for text that is not a number and
// 6 for a Double that is not finite, so that a bare value can only ever be
// a number in the statement.
std::string BareText(const Variant& v);

// The byte of the Boolean form: True 255, False 0, a number from 0 to 255
// rounded to a whole number (halves to the even neighbour), Empty 0.
// Raises 94 for Null, 6 for a number that rounds outside 0..255, 13 for text
// that is not a number.
uint8_t BooleanByte(const Variant& v);

// "1" when BooleanByte(v) is not 0, else "0"; raises as BooleanByte.
std::string BooleanNumber(const Variant& v);

// The literal of `v` in `form`: SqlQuoted(ValueText(v)) for kQuoted,
// BareText(v) for kBare, BooleanNumber(v) for kBoolean. Raises as those do,
// and 5 for kLeftOut, which has no literal.
std::string ValueLiteral(ValueForm form, const Variant& v);

}  // namespace q6
