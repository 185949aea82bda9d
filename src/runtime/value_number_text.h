// Numbers in text, read and written without the process locale.
//
// Every number that becomes text or comes from text uses '.' as the decimal
// separator, whatever LC_NUMERIC says, because the same text ends up in SQL
// statements. These helpers are shared by Decimal and Variant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/internal_export.h"

namespace q6::value {

// A number read from text: value = (negative ? -1 : 1) * digits * 10^exponent.
struct Q6FD_INTERNAL NumberText {
  bool negative = false;
  std::string digits;  // significant digits without leading zeros; "" for zero
  int64_t exponent = 0;
};

// True for the blanks allowed around a number: space and tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
Q6FD_INTERNAL std::string_view TrimBlanks(std::string_view s);

// Reads "  -12.5e3 ": blanks around, an optional sign, digits with an optional
// '.' (at least one digit), an optional exponent "e"/"E" with optional sign
// and digits. False (and *out untouched) when `s` is anything else.
Q6FD_INTERNAL bool ScanNumber(std::string_view s, NumberText* out);

enum class ParseStatus { kOk, kNotNumber, kOutOfRange };
// Reads a Double by the ScanNumber grammar. kOutOfRange when the magnitude is
// beyond the range of a double; magnitudes too small for one become 0.
Q6FD_INTERNAL ParseStatus ParseDouble(std::string_view s, double* out);

// The 15 significant digits of finite, non-zero |d|, correctly rounded, with
// trailing zeros removed, and the decimal exponent of the first digit
// (d = 0.digits... * 10^(exponent + 1)).
Q6FD_INTERNAL void Significant15(double d, std::string* digits, int* exponent);

// A double as text: up to 15 significant digits, '.' separator, no trailing
// point; the exponent form "1E+15" / "1.5E-15" (sign always, at least two
// exponent digits) from 1E+15 up and for small magnitudes whose zeros after
// the point plus digits exceed 15. Negative zero is "0"; values that are not
// finite are "NaN", "Infinity", "-Infinity".
Q6FD_INTERNAL std::string FormatDouble15(double d);

// Unsigned 128-bit integer as decimal digits.
Q6FD_INTERNAL std::string U128ToDigits(unsigned __int128 v);

}  // namespace q6::value
