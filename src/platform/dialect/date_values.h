// Date and time values as a column of a date type holds them on PostgreSQL.
//
// SQL Server converts a literal written into, or compared with, a date
// column to the column's type first: '10:20:30.125' is a datetime's
// 10:20:30.127 (1/300 s), '10:20:29' a smalldatetime's 10:20, and a
// datetime2(7) keeps '23:59:59.9999999' as written. A PostgreSQL timestamp
// or time keeps six digits and its own input rounds the seventh, which can
// carry a value into the next second or day; a value is therefore cut to
// six digits before the server reads it, and a literal compared with a
// datetime or smalldatetime column is rounded as SQL Server rounds it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/dialect/column_types.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"
#include "platform/dialect/operands.h"
#include "runtime/internal_export.h"

namespace q6::dialect {

// A date literal's parts, the quotes taken off: 'YYYY-MM-DD' or 'YYYYMMDD',
// either alone or followed by ' ' or 'T' and 'hh:mm[:ss[.f...]]', a real
// day of years 1 to 9999 and a real time. The fraction's digits as written.
struct DateStamp {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::string_view fraction;
  bool compact = false;   // 'YYYYMMDD'
  bool has_time = false;  // a time follows the day
  bool point = false;     // the seconds have a point (maybe no digit after it)
};
Q6FD_INTERNAL bool ParseDateStamp(std::string_view v, DateStamp* out);

// Where the digits past the sixth of a time's fraction begin in `text`
// ("hh:mm:ss.fffffff", alone or after a date): the offset of the seventh
// digit; npos when no time in `text` has more than six.
Q6FD_INTERNAL size_t SubMicrosecondDigits(std::string_view text);

// Drops the digits SubMicrosecondDigits finds (the value is cut, never
// rounded: 23:59:59.9999999 stays in its day). False when there are none.
Q6FD_INTERNAL bool CutToMicroseconds(std::string* text);

// The literal token `literal` (quotes included) as a PostgreSQL column of
// `type` holds it: a datetime's time rounded to 1/300 s (milliseconds
// ending in 0, 3 or 7; .999 is the next second), a smalldatetime's to the
// minute (29.999 s and more up), a datetime2(7) or time(7) cut to six
// digits, each with the carry into the next minute, hour or day. "" when
// the literal stays as it is (no date, or already a value of the type).
Q6FD_INTERNAL std::string DateLiteralAsType(std::string_view literal, const ColumnType& type);

// Whether DateLiteralAsType may change `literal` for some type: a date
// literal with a time, or a time with more than six fractional digits.
// Cheap; such literals are never given a stand-in (IsDateLiteral).
bool MayDependOnDateType(std::string_view literal);

// PostgreSQL: the string literal at token `lit`, compared with or assigned
// to the operand [c0, c1], becomes the value a date column there holds
// (DateLiteralAsType). True when it was rewritten, so the rules that read
// the literal as written (RewriteDateLiteral) leave it alone.
bool LiteralAsDateColumn(EditableSql* sql, const Operands& ops, size_t lit, size_t c0, size_t c1);

// PostgreSQL: the string literals written into date columns by INSERT INTO
// t (columns) VALUES (...), (...) and INSERT INTO t (columns) SELECT ...,
// each a whole item, become what the column holds (DateLiteralAsType).
void RewriteDateValues(EditableSql* sql, Engine engine);

}  // namespace q6::dialect
