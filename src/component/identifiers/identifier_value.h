// Values of counters and codes read as exact decimal numbers.
//
// An OID counter is stored as text and a document code column may hold text
// or numbers; both are read the way the automation Decimal conversion reads
// a value, but without its 29-digit limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "component/identifiers/exact_decimal.h"
#include "runtime/variant.h"

namespace q6 {

// Characters of an OID.
constexpr size_t kOidLength = 15;
// Zeros after the type's number in the seed of its counter.
constexpr size_t kOidSeedZeros = 13;
// Least number of digits of a document code.
constexpr size_t kCodeDigits = 10;

// `value` (an object stands for its default member's value) as an exact
// decimal: text by ExactDecimal::Parse, numbers exactly as held (a Double
// through its fifteen-digit text), Boolean True -1 and False 0, Empty 0.
// Raises Invalid use of Null (94) for Null, Type mismatch (13) for text that
// is not a number and for values of other types, Overflow (6) as Parse does.
ExactDecimal DecimalOf(const Variant& value);

// The OID of type `bi_type` that follows the counter `counter`: counter + 1
// in decimal, zero-padded on the left to fifteen characters.
// "510000000000000" -> "510000000000001"; "50000000000000" (fourteen
// characters, type 5) -> "050000000000001".
// The counter must stay inside the type's own range, or two types would
// hand out the same OIDs: the new value, without its leading zeros, must
// have at most fifteen digits, begin with the type's decimal text and have
// as many digits as the type's seed (the type's text and thirteen zeros).
// Raises as DecimalOf; Type mismatch (13) for a counter that is not a whole
// non-negative number ("-3", "5.5"); Overflow (6) for a new value outside
// the type's range (type 51 at 519999999999999; any type at
// 999999999999999; any type of three digits or more). Each with a text
// that names the type and the value.
std::string NextOid(const Variant& counter, int32_t bi_type);

// The single value of a statement's result as a Variant: a Recordset gives
// the first column of its current row, Null when it has no row; any other
// value is taken as the value itself.
Variant SingleValue(const Variant& result);

}  // namespace q6
