// Moving values between libpq results and Variants.
#pragma once

#include <string>
#include <vector>

#include "platform/drivers/driver.h"

struct pg_result;

namespace q6::postgres {

// The columns of a result, with the Field.Type of each type.
std::vector<ColumnInfo> ColumnsOf(const pg_result* res);

// Appends every row of `res` to `cells` (text format): int2/int4 as Long,
// int8 as Long when it fits 32 bits else Decimal, numeric as Decimal (Double
// beyond its range), float4/float8 as Double, bool as Boolean, date and
// timestamp as Date, NULL as Null, everything else as String.
void AppendRows(const pg_result* res, std::vector<Variant>* cells);

// The text a parameter is sent as; false for NULL (Null, Empty, Missing).
// Booleans are "1"/"0", Doubles are written so that they read back exactly.
bool ParamText(const Variant& v, std::string* out);

}  // namespace q6::postgres
