// Date and time values as SQL Server reads, computes and writes them, for the
// functions the SQLite driver registers on its connections.
//
// Dates live in the database as text in the form the component writes,
// 'YYYY-MM-DD HH:MM:SS'. These helpers read that form and the other literal
// forms users write, do the date arithmetic of DATEADD / DATEDIFF / DATEPART,
// and write the stored form or one of CONVERT's styles back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace q6::sqlite {

struct DateTime {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millis = 0;
  int ticks = 0;  // 100-ns units past `millis` (0 to 9999): datetime2 and time keep 7 digits
};

// Ticks (100 ns) in a second and in a millisecond.
inline constexpr int64_t kTicksPerSecond = 10000000;
inline constexpr int64_t kTicksPerMilli = 10000;

// Reads `text` in the forms SQL Server takes without a style:
// 'YYYYMMDD[ hh:mm[:ss[.fff]]]', 'YYYY-MM-DD[ hh:mm[:ss[.fff]]]',
// 'YYYY-MM-DDThh:mm:ss[.fff]', (the fraction up to 7 digits, finer ones cut), 'Mon d yyyy[
// hh:mm[:ss][AM|PM]]', 'mm/dd/yyyy' and 'hh:mm[:ss]' (on 1900-01-01); blanks around are allowed.
// With `style` (CONVERT's third argument, 0 when none) the day-month order
// and two-digit years of that style apply. The tag of a date column's
// stored form before the text (IsDateTag) is skipped. nullopt when the text
// is none of these or names a day that does not exist.
std::optional<DateTime> ParseDateTime(std::string_view text, int style = 0);

// Whether `c` is the tag that starts a date column's stored form
// (sqlite_date_store.h): 0x01 to 0x08 or 0x10 to 0x1F, control characters
// no date text holds (blanks and line ends are none of them).
constexpr bool IsDateTag(char c) { return (c >= 0x01 && c <= 0x08) || (c >= 0x10 && c <= 0x1F); }

// Whether CONVERT takes `style` between dates and text; SQL Server's
// other styles (7, 9, 13, 130, ...) are refused by the callers.
bool KnownDateStyle(int style);

// Days since 1900-01-01 (negative before) and back.
int64_t DayNumber(const DateTime& d);
DateTime FromDayNumber(int64_t days);

// Milliseconds since 1900-01-01 00:00:00 and back (ticks left out).
int64_t MillisOf(const DateTime& d);
DateTime FromMillis(int64_t ms);
// The same in ticks (100 ns), which orders and compares every value.
int64_t TicksOf(const DateTime& d);
DateTime FromTicks(int64_t ticks);

// `d` rounded to `digits` fractional digits of a second (0 to 7), half
// up; a value rounded up past 23:59:59 is in the next day, except past
// 9999-12-31, where it is rounded down.
DateTime RoundToDigits(const DateTime& d, int digits);
// `d` rounded as a datetime keeps it: to 1/300 s, written in milliseconds
// (.000, .003, .007); past 9999-12-31 23:59:59.997 it stays there.
DateTime RoundToDatetime(const DateTime& d);
// `d` rounded as a smalldatetime keeps it: first as a datetime (29.999 s
// is 30.000 s there), then to the nearest minute, half up.
DateTime RoundToSmallDatetime(const DateTime& d);

// 'YYYY-MM-DD HH:MM:SS', with '.fff' when the fraction is not zero and the
// ticks' digits after it with trailing zeros cut ('.1234567', '.12345'), so
// that the text of the earlier millisecond form is unchanged and the texts
// sort in time order.
std::string FormatStored(const DateTime& d);
// The same text written at `out` (room for kStoredChars), without a
// terminating NUL; returns its length. Years outside 0..9999 are written
// as printf's %04d writes them.
inline constexpr size_t kStoredChars = 32;
size_t WriteStored(const DateTime& d, char* out);

// `d` written in CONVERT style `style`; false when the style is not one of
// 0/100, 1/101, 2/102, 3/103, 4/104, 5/105, 8/108, 10/110, 11/111, 12/112, 14/114, 20/120,
// 21/121, 23, 126. `digits` is the fraction a style with one shows:
// kDatetimeDigits for datetime and smalldatetime (milliseconds; 126 only
// when they are not zero), else the digits of a datetime2(n) or time(n),
// none for 0 (126 only when the fraction is not zero).
inline constexpr int kDatetimeDigits = -1;
bool FormatStyle(const DateTime& d, int style, std::string* out, int digits = kDatetimeDigits);

// The date parts DATEADD, DATEDIFF, DATEPART and DATENAME take.
enum class DatePart {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeek,
  kWeekday,
  kHour,
  kMinute,
  kSecond,
  kMillisecond
};

// The part a name or abbreviation stands for ("yy", "month", "dw"), in any
// case; nullopt for names SQL Server has that these functions do not take
// (microsecond, nanosecond, tzoffset, iso_week) and for unknown names.
std::optional<DatePart> DatePartOf(std::string_view name);

// DATEADD: `d` moved by `n` parts; a month end is kept within the month.
DateTime AddPart(const DateTime& d, DatePart part, int64_t n);

// DATEDIFF: the part boundaries crossed from `a` to `b` (weeks start on
// Sunday, as under the default DATEFIRST 7).
int64_t DiffParts(const DateTime& a, const DateTime& b, DatePart part);

// DATEPART: the number; weekday counts from Sunday = 1.
int64_t PartOf(const DateTime& d, DatePart part);

// DATENAME: month and weekday names in English, the number as text otherwise.
std::string NameOf(const DateTime& d, DatePart part);

}  // namespace q6::sqlite
