// Moving values between libpq results and Variants.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/drivers/driver.h"

struct pg_result;

namespace q6::postgres {

// The columns of a result, with the Field.Type of each type.
std::vector<ColumnInfo> ColumnsOf(const pg_result* res);

// The data type (DataTypeEnum) a value of the type `oid` reads as.
int32_t AdoTypeOfOid(unsigned oid);

// Appends every row of `res` to `cells` (text format): int2/int4 as Long,
// int8 as Long when it fits 32 bits else Decimal, numeric as Decimal
// exactly (NaN and the infinities as Double), float4/float8 as Double
// (NaN and the infinities included), bool as Boolean, date and timestamp as
// Date, bytea as a byte array, NULL as Null, everything else as String.
// Raises Overflow (6), naming the column, for a numeric the Decimal type
// cannot hold without losing digits.
void AppendRows(const pg_result* res, CellStore* cells);

// The text a parameter is sent as; false for NULL (Null, Empty, Missing).
// Booleans are "1"/"0", Doubles are written so that they read back exactly,
// byte arrays in bytea's hex form ("\x4142").
bool ParamText(const Variant& v, std::string* out);

// Whether the parameter value `text` holds a time with more than six
// fractional digits, which the server's input rounds (into the next second,
// even day) where it reads a timestamp or time.
bool HasSubMicroseconds(std::string_view text);

// `*text`, the value of a parameter the server reads as type `oid`, cut to
// six fractional digits when that type is a timestamp or time (as a
// datetime2(7) or time(7) that keeps only six holds it: never rounded
// across a second). False when it stays as it is.
bool CutForParamType(unsigned oid, std::string* text);

}  // namespace q6::postgres
