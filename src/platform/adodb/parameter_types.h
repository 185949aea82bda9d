// The data types a command parameter is declared with (Parameter.Type), and
// how a value becomes what such a parameter binds.
//
// Supported: adEmpty and adVariant (the value as given); adBoolean; the
// integers adTinyInt, adUnsignedTinyInt, adSmallInt, adUnsignedSmallInt,
// adInteger, adUnsignedInt, adBigInt; adSingle, adDouble; adCurrency,
// adDecimal, adNumeric; adDate, adDBTimeStamp, adDBDate, adDBTime; the texts
// adBSTR, adChar, adWChar, adVarChar, adLongVarChar, adVarWChar,
// adLongVarWChar; the binaries adBinary, adVarBinary, adLongVarBinary.
#pragma once

#include <cstdint>

#include "runtime/variant.h"

namespace q6 {

// What a parameter declares about its values.
struct ParameterDecl {
  int32_t type = 0;           // DataTypeEnum
  int32_t size = 0;           // texts: characters, binaries: bytes; 0: no limit
  uint8_t precision = 0;      // adDecimal/adNumeric: digits in all; 0: no limit
  uint8_t numeric_scale = 0;  // adDecimal/adNumeric: digits after the point
};

// Whether parameters can be declared with `type`.
bool IsParameterType(int32_t type);

// "adVarChar" for kAdVarChar; "type 72" for a number without a name here.
std::string ParameterTypeName(int32_t type);

// `value` as a parameter declared `decl` binds it. Null, Empty and Missing
// bind NULL whatever the type; an object binds its default value. The other
// values convert by the automation rules:
//   integers    halves round to even; out of the type's range: Overflow (6);
//               adBigInt and adUnsignedInt as a whole Decimal
//   adSingle    a Double rounded to single precision; Overflow beyond it
//   adCurrency  a Decimal rounded (half to even) to 4 places; Overflow
//               beyond +-922337203685477.5807
//   adDecimal, adNumeric  a Decimal, rounded half to even to numeric_scale
//               places when a precision or scale is declared; Overflow
//               when more integer digits than precision - numeric_scale
//   adDate, adDBTimeStamp  a Date; adDBDate its day; adDBTime its time of
//               day as text "hh:mm:ss"
//   texts       the value as text (True/False for Booleans)
//   binaries    a byte array (a String gives its bytes)
// Text that is not a number (for a number type) or not a date raises Type
// mismatch (13); an array raises Type mismatch. A text (characters) or a
// byte array (bytes) longer than a size above 0 raises kAdoValueTruncated.
// An unsupported type raises 3708.
Variant ParameterValue(const Variant& value, const ParameterDecl& decl);

}  // namespace q6
