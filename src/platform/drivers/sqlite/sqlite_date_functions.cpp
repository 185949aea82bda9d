// Dates on SQLite as SQL Server computes them: conversions to datetime,
// smalldatetime, datetime2, date and time, and DATEADD, DATEDIFF, DATEPART, DATENAME,
// YEAR, MONTH, DAY. Every one takes the stored text form, the other literal
// forms and numbers (days since 1900-01-01), and gives back text in the
// stored form, so results compare and sort with the stored dates.
#include <string>

#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

// The date in argument `i` (with an optional style in argument `style_arg`),
// or false after setting SQL Server's conversion error.
bool DateArg(sqlite3_context* ctx, sqlite3_value** argv, int i, int style, DateTime* out) {
  const std::optional<DateTime> d = DateOf(argv[i], style);
  if (!d) ResultError(ctx, kDateConversionFailed);
  if (d) *out = *d;
  return d.has_value();
}

bool PartArg(sqlite3_context* ctx, sqlite3_value* v, const char* fn, DatePart* out) {
  const std::optional<DatePart> p = DatePartOf(TextOf(v));
  if (!p) {
    ResultError(ctx, std::string(fn) + " with the part '" + std::string(TextOf(v)) +
                         "' is not supported on SQLite");
  }
  if (p) *out = *p;
  return p.has_value();
}

enum class Target { kDateTime, kSmallDateTime, kDateTime2, kDate, kTime };

// tsql_<target>(x[, style[, digits]]): digits (7 when none) are those of
// datetime2(n) and time(n), to which the value is rounded.
template <Target T>
void ToTarget(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  DateTime d;
  const int style = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  const int digits = argc > 2 ? sqlite3_value_int(argv[2]) : 7;
  if (!KnownDateStyle(style))
    return ResultError(ctx, "CONVERT style " + std::to_string(style) +
                                " from a character string to a date is not supported on SQLite");
  if (!DateArg(ctx, argv, 0, style, &d)) return;
  std::string s;
  switch (T) {
    case Target::kDateTime:
      s = FormatStored(RoundToDatetime(d));
      break;
    case Target::kDateTime2:
      s = FormatStored(RoundToDigits(d, digits));
      break;
    case Target::kSmallDateTime:
      s = FormatStored(RoundToSmallDatetime(d));
      break;
    case Target::kDate:
      s = FormatStored(d).substr(0, 10);
      break;
    case Target::kTime:  // rounded past 23:59:59, the next day's 00:00:00
      s = FormatStored(RoundToDigits(d, digits)).substr(11);
      break;
  }
  ResultText(ctx, s);
}

template <DatePart P>
void PartShortcut(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  DateTime d;
  if (AnyNullArg(argc, argv)) return;
  if (DateArg(ctx, argv, 0, 0, &d)) sqlite3_result_int64(ctx, PartOf(d, P));
}

}  // namespace

void ToDateTime(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ToTarget<Target::kDateTime>(ctx, argc, argv);
}
void ToSmallDateTime(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ToTarget<Target::kSmallDateTime>(ctx, argc, argv);
}
void ToDateTime2(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ToTarget<Target::kDateTime2>(ctx, argc, argv);
}
void ToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ToTarget<Target::kDate>(ctx, argc, argv);
}
void ToTime(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ToTarget<Target::kTime>(ctx, argc, argv);
}

void DateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  DatePart p;
  DateTime d;
  if (!PartArg(ctx, argv[0], "DATEADD", &p) || AnyNullArg(argc, argv)) return;
  if (!DateArg(ctx, argv, 2, 0, &d)) return;
  const DateTime r = AddPart(d, p, sqlite3_value_int64(argv[1]));
  if (r.year < 1753 || r.year > 9999)
    return ResultError(ctx, "Adding a value to a 'datetime' column caused an overflow.");
  ResultText(ctx, FormatStored(r));
}

void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  DatePart p;
  DateTime a, b;
  if (!PartArg(ctx, argv[0], "DATEDIFF", &p) || AnyNullArg(argc, argv)) return;
  if (!DateArg(ctx, argv, 1, 0, &a) || !DateArg(ctx, argv, 2, 0, &b)) return;
  sqlite3_result_int64(ctx, DiffParts(a, b, p));
}

void DatePartOfDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  DatePart p;
  DateTime d;
  if (!PartArg(ctx, argv[0], "DATEPART", &p) || AnyNullArg(argc, argv)) return;
  if (DateArg(ctx, argv, 1, 0, &d)) sqlite3_result_int64(ctx, PartOf(d, p));
}

void DateName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  DatePart p;
  DateTime d;
  if (!PartArg(ctx, argv[0], "DATENAME", &p) || AnyNullArg(argc, argv)) return;
  if (DateArg(ctx, argv, 1, 0, &d)) ResultText(ctx, NameOf(d, p));
}

void Year(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  PartShortcut<DatePart::kYear>(ctx, argc, argv);
}
void Month(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  PartShortcut<DatePart::kMonth>(ctx, argc, argv);
}
void Day(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  PartShortcut<DatePart::kDay>(ctx, argc, argv);
}

}  // namespace q6::sqlite
