// Date and time columns on SQLite, which has no date type of its own.
//
// A column declared through the dialect layer as datetime, smalldatetime,
// datetime2, date or time becomes <type>_text (TEXT affinity, so a written
// '20240305' stays text) COLLATE tsql_date, and triggers keep every value in
// the column's stored form: a tag character naming the column's type
// (DateTag), then
//   datetime              'YYYY-MM-DD HH:MM:SS' (with '.fff' when not zero),
//                         rounded to 1/300 s (.000, .003, .007)
//   datetime2(n)          the same rounded to n digits, the digits past the
//                         millisecond written with trailing zeros cut
//                         ('.1234567', '.12345'; '.120' stays '.120')
//   smalldatetime         'YYYY-MM-DD HH:MM:SS', rounded to the minute
//   date                  'YYYY-MM-DD'
//   time(n)               'HH:MM:SS' and the fraction as datetime2(n)
// The form is that of the earlier millisecond one with digits added after
// it: a value written before reads as it was (its fraction ends at the
// millisecond), and the texts of one type still sort in time order.
// The tag lets a function told only the value know it for a date of that
// type wherever it comes from (a column, a subquery, MIN or MAX), as SQL
// Server knows it: CAST(x AS varchar) writes it in the type's default
// style, DATALENGTH(x) gives the type's size, and the reader of any select
// column returns it as a date. The forms of one type sort as text in time
// order. The collation tsql_date compares
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

// A date type: its kind and, for datetime2 and time, its fractional digits
// (0 to 7), to which the stored form is rounded.
struct DateType {
  DateKind kind = DateKind::kDateTime;
  int digits = 7;
};

// The triggers' second argument of tsql_date_store for `t`: the kind, plus
// 8 * (digits + 1) for datetime2 and time. A kind alone (1 to 5, as earlier
// triggers pass it) means 7 digits.
int DateTypeCode(const DateType& t);
DateType DateTypeOfCode(int code);

// The tag character that starts the stored form of a value of type `t`, and
// the type a tag names (nullopt for a character that is no tag). Tags are
// control characters no date text holds: 0x01, 0x02 and 0x04 for
// datetime, smalldatetime and date, 0x10 + digits for datetime2(digits),
// 0x18 + digits for time(digits).
char DateTag(const DateType& t);
std::optional<DateType> DateTypeOfTag(char c);

// The type of a stored date text (its tag), or nullopt when it is none.
std::optional<DateType> StoredDateType(std::string_view text);

// The text CAST(x AS varchar) gives for the date `d` of type `t`: style 0
// for datetime and smalldatetime ('Mar  5 2024 10:20AM'), 'YYYY-MM-DD' for
// date, 'YYYY-MM-DD HH:MM:SS.fffffff' for datetime2 and 'HH:MM:SS.fffffff'
// for time, with as many fractional digits as the type has.
std::string DefaultDateText(const DateTime& d, const DateType& t);

// DATALENGTH of a value of type `t`: datetime 8, smalldatetime 4, date 3,
// time 3 to 5 and datetime2 6 to 8 by their digits.
int DateLength(const DateType& t);

// The subtype of a text result that is a date (GETDATE()), which the reader
// of a plain select turns into the runtime's date.
inline constexpr unsigned kDateSubtype = 0xD7;

// The moment `text` stands for in the literal forms SQL Server takes
// without a style, or in the stored form; blanks alone are 1900-01-01 as in
// SQL Server.
std::optional<DateTime> DateOfText(std::string_view text);

// `d` as a value of type `t` holds it: rounded to the type's fraction
// (datetime to 1/300 s, smalldatetime to the minute, datetime2(n) and
// time(n) to n digits), the day alone for date, the time of day alone (on
// 1900-01-01) for time.
DateTime AsDateType(const DateTime& d, const DateType& t);

// The stored form of `d` in a column of type `t`, tag included.
std::string StoredDate(const DateTime& d, const DateType& t);
// The same text written at `out` (room for kStoredDateChars), without a
// terminating NUL; returns its length.
inline constexpr size_t kStoredDateChars = kStoredChars + 1;
size_t WriteStoredDate(const DateTime& d, const DateType& t, char* out);

// The runtime's date (days since 1899-12-30, the fraction the time of day)
// of a stored date text; false when the text is none.
bool RuntimeDays(std::string_view text, double* days);

// The collation tsql_date: by moment, a text without a tag read as the
// type of the tagged text it is compared with (AsDateType); texts that are
// no date after every date, by their bytes.
int CompareDateTexts(void*, int na, const void* a, int nb, const void* b);

// Whether the collation met a text that is no date compared with a date on
// this thread since the last call; clears the mark.
bool RefusedDateText();

}  // namespace q6::sqlite
