// Date and time columns on SQLite, which has no date type of its own.
//
// A column declared through the dialect layer as datetime, smalldatetime,
// datetime2, date or time becomes <type>_text (TEXT affinity, so a written
// '20240305' stays text) COLLATE tsql_date, and triggers keep every value in
// the column's stored form:
//   datetime, datetime2   'YYYY-MM-DD HH:MM:SS' (with '.fff' when not zero)
//   smalldatetime         the same, rounded to the minute
//   date                  'YYYY-MM-DD'
//   time                  'HH:MM:SS' (with '.fff' when not zero)
// These forms sort as text in time order. The collation tsql_date compares
// by the moment a text stands for, so a literal in any form SQL Server takes
// ('2024-3-5', '2024/02/01', 'Jan 1 2024', '20240305') compares with the
// column as SQL Server compares it, and an index on the column serves it. A
// text that is no date compared with a date is remembered and the statement
// fails with SQL Server's conversion error (RefusedDateText).
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/drivers/sqlite/tsql_datetime.h"

namespace q6::sqlite {

// The column kinds, as the triggers pass them to tsql_date_store.
enum class DateKind { kDateTime = 1, kSmallDateTime = 2, kDateTime2 = 3, kDate = 4, kTime = 5 };

// The subtype of a text result that is a date (GETDATE()), which the reader
// of a plain select turns into the runtime's date.
inline constexpr unsigned kDateSubtype = 0xD7;

// The moment `text` stands for in the literal forms SQL Server takes
// without a style; blanks alone are 1900-01-01 as in SQL Server.
std::optional<DateTime> DateOfText(std::string_view text);

// The stored form of `d` in a column of `kind`.
std::string StoredDate(const DateTime& d, DateKind kind);

// The runtime's date (days since 1899-12-30, the fraction the time of day)
// of a stored date text; false when the text is none.
bool RuntimeDays(std::string_view text, double* days);

// The collation tsql_date: by moment; texts that are no date after every
// date, by their bytes.
int CompareDateTexts(void*, int na, const void* a, int nb, const void* b);

// Whether the collation met a text that is no date compared with a date on
// this thread since the last call; clears the mark.
bool RefusedDateText();

}  // namespace q6::sqlite
