// Values of counters and codes read as exact decimal numbers.
//
// An OID counter is stored as text and a document code column may hold text
// or numbers; both are read the way the automation Decimal conversion reads
// a value, but without its 29-digit limit.
#pragma once

#include <cstddef>
#include <string>

#include "component/identifiers/exact_decimal.h"
#include "runtime/variant.h"

namespace q6 {

// Characters of an OID.
constexpr size_t kOidLength = 15;
// Least number of digits of a document code.
constexpr size_t kCodeDigits = 10;

// `value` (an object stands for its default member's value) as an exact
// decimal: text by ExactDecimal::Parse, numbers exactly as held (a Double
// through its fifteen-digit text), Boolean True -1 and False 0, Empty 0.
// Raises Invalid use of Null (94) for Null, Type mismatch (13) for text that
// is not a number and for values of other types, Overflow (6) as Parse does.
ExactDecimal DecimalOf(const Variant& value);

// The OID that follows the counter text `counter`: counter + 1 in decimal,
// fifteen "0" characters in front, of that the rightmost fifteen characters.
// "510000000000000" -> "510000000000001"; "50000000000000" (fourteen
// characters) -> "050000000000001"; "1230000000000000" -> "230000000000001".
// Raises as DecimalOf.
std::string NextOid(const Variant& counter);

// The single value of a statement's result as a Variant: a Recordset gives
// the first column of its current row, Null when it has no row; any other
// value is taken as the value itself.
Variant SingleValue(const Variant& result);

}  // namespace q6
