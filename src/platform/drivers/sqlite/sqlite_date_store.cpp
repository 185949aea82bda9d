// The stored form of date columns on SQLite, their collation, and GETDATE()
// as a date (sqlite_date_store.h).
#include "platform/drivers/sqlite/sqlite_date_store.h"

#include <chrono>
#include <ctime>

#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

constexpr double kMsPerDay = 86400000.0;

// Set by the collation, read and cleared by the driver after each statement.
thread_local bool refused_date_text = false;

bool Blank(std::string_view t) { return t.find_first_not_of(" \t") == std::string_view::npos; }

bool TimeOnly(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  return t.size() >= 3 && (t[1] == ':' || t[2] == ':');
}

}  // namespace

std::optional<DateTime> DateOfText(std::string_view text) {
  if (Blank(text)) return DateTime{};
  return ParseDateTime(text);
}

std::string StoredDate(const DateTime& d, DateKind kind) {
  switch (kind) {
    case DateKind::kSmallDateTime:
      return FormatStored(FromMillis((MillisOf(d) + 30000) / 60000 * 60000));
    case DateKind::kDate:
      return FormatStored(d).substr(0, 10);
    case DateKind::kTime:
      return FormatStored(d).substr(11);
    case DateKind::kDateTime:
    case DateKind::kDateTime2:
      break;
  }
  return FormatStored(d);
}

bool RuntimeDays(std::string_view text, double* days) {
  const std::optional<DateTime> d = ParseDateTime(text);
  if (!d) return false;
  const int64_t ms = MillisOf(*d);
  const int64_t day = DayNumber(*d);
  const double time = static_cast<double>(ms - day * 86400000LL) / kMsPerDay;
  *days = TimeOnly(text) ? time : static_cast<double>(day + 2) + time;  // 1899-12-30 is day 0
  return true;
}

int CompareDateTexts(void*, int na, const void* pa, int nb, const void* pb) {
  const std::string_view a(static_cast<const char*>(pa), static_cast<size_t>(na));
  const std::string_view b(static_cast<const char*>(pb), static_cast<size_t>(nb));
  const std::optional<DateTime> da = DateOfText(a), db = DateOfText(b);
  if (da && db) {
    const int64_t x = MillisOf(*da), y = MillisOf(*db);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (da || db) {
    refused_date_text = true;
    return da ? -1 : 1;
  }
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool RefusedDateText() {
  const bool r = refused_date_text;
  refused_date_text = false;
  return r;
}

// tsql_date_store(x, kind): x in the stored form of a date column of `kind`.
void DateStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const auto kind = static_cast<DateKind>(sqlite3_value_int(argv[1]));
  const std::optional<DateTime> d = IsNumeric(argv[0]) ? DateOf(argv[0])
                                    : sqlite3_value_type(argv[0]) == SQLITE_TEXT
                                        ? DateOfText(TextOf(argv[0]))
                                        : std::nullopt;
  if (!d) return ResultError(ctx, kDateConversionFailed);
  ResultText(ctx, StoredDate(*d, kind));
}

// tsql_needs_date_store(x, kind): 1 unless x is NULL or already stored.
void NeedsDateStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  if (type != SQLITE_TEXT) return sqlite3_result_int(ctx, 1);
  const std::string_view t = TextOf(argv[0]);
  const std::optional<DateTime> d = ParseDateTime(t);
  const auto kind = static_cast<DateKind>(sqlite3_value_int(argv[1]));
  sqlite3_result_int(ctx, d && StoredDate(*d, kind) == t ? 0 : 1);
}

// tsql_now(utc): GETDATE() (utc 0) or GETUTCDATE() (utc 1) to the
// millisecond, as a date.
void Now(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  const std::time_t secs = static_cast<std::time_t>(ms.count() / 1000);
  std::tm tm{};
  if (sqlite3_value_int(argv[0]) != 0)
    gmtime_r(&secs, &tm);
  else
    localtime_r(&secs, &tm);
  DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  d.millis = static_cast<int>(ms.count() % 1000);
  ResultText(ctx, FormatStored(d));
  sqlite3_result_subtype(ctx, kDateSubtype);
}

}  // namespace q6::sqlite
