// The stored form of date columns on SQLite, their collation, and GETDATE()
// as a date (sqlite_date_store.h).
#include "platform/drivers/sqlite/sqlite_date_store.h"

#include <algorithm>
#include <chrono>
#include <cstring>
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
  if (const std::optional<DateType> type = StoredDateType(t)) return type->kind == DateKind::kTime;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  return t.size() >= 3 && (t[1] == ':' || t[2] == ':');
}

}  // namespace

std::optional<DateTime> DateOfText(std::string_view text) {
  if (Blank(text)) return DateTime{};
  return ParseDateTime(text);
}

int DateTypeCode(const DateType& t) {
  const bool digits = t.kind == DateKind::kDateTime2 || t.kind == DateKind::kTime;
  return static_cast<int>(t.kind) + (digits ? 8 * (t.digits + 1) : 0);
}

DateType DateTypeOfCode(int code) {
  DateType t;
  if (const int kind = code % 8; kind >= 1 && kind <= 5) t.kind = static_cast<DateKind>(kind);
  if (code >= 8) t.digits = std::clamp(code / 8 - 1, 0, 7);
  return t;
}

char DateTag(const DateType& t) {
  switch (t.kind) {
    case DateKind::kDateTime2:
      return static_cast<char>(0x10 + t.digits);
    case DateKind::kTime:
      return static_cast<char>(0x18 + t.digits);
    default:
      return static_cast<char>(t.kind);
  }
}

std::optional<DateType> DateTypeOfTag(char c) {
  if (!IsDateTag(c)) return std::nullopt;
  DateType t;
  if (c >= 0x18) {
    t.kind = DateKind::kTime;
    t.digits = c - 0x18;
  } else if (c >= 0x10) {
    t.kind = DateKind::kDateTime2;
    t.digits = c - 0x10;
  } else if (c == 0x01 || c == 0x02 || c == 0x04) {
    t.kind = static_cast<DateKind>(c);
  } else {
    return std::nullopt;
  }
  return t;
}

std::optional<DateType> StoredDateType(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return DateTypeOfTag(text.front());
}

std::string DefaultDateText(const DateTime& d, const DateType& t) {
  std::string out;
  switch (t.kind) {
    case DateKind::kDateTime:
    case DateKind::kSmallDateTime:
      FormatStyle(d, 0, &out);
      return out;
    case DateKind::kDate:
      FormatStyle(d, 23, &out);
      return out;
    case DateKind::kDateTime2:
    case DateKind::kTime:
      break;
  }
  FormatStyle(d, 121, &out, t.digits);
  if (t.kind == DateKind::kTime) out.erase(0, 11);
  return out;
}

int DateLength(const DateType& t) {
  const int size_class = t.digits <= 2 ? 0 : t.digits <= 4 ? 1 : 2;
  switch (t.kind) {
    case DateKind::kDateTime:
      return 8;
    case DateKind::kSmallDateTime:
      return 4;
    case DateKind::kDate:
      return 3;
    case DateKind::kTime:
      return 3 + size_class;
    case DateKind::kDateTime2:
      break;
  }
  return 6 + size_class;
}

DateTime AsDateType(const DateTime& d, const DateType& t) {
  DateTime r;
  switch (t.kind) {
    case DateKind::kDateTime:
      return RoundToDatetime(d);
    case DateKind::kSmallDateTime:
      return RoundToSmallDatetime(d);
    case DateKind::kDateTime2:
      return RoundToDigits(d, t.digits);
    case DateKind::kDate:
      r.year = d.year;
      r.month = d.month;
      r.day = d.day;
      return r;
    case DateKind::kTime:
      // Rounded up past 23:59:59 it is 00:00:00, the time of the next day.
      r = RoundToDigits(d, t.digits);
      r.year = 1900;
      r.month = 1;
      r.day = 1;
      return r;
  }
  return d;
}

size_t WriteStoredDate(const DateTime& d, const DateType& t, char* out) {
  out[0] = DateTag(t);
  char* text = out + 1;
  const size_t n = WriteStored(AsDateType(d, t), text);
  if (t.kind == DateKind::kDate) return 1 + std::min<size_t>(n, 10);
  if (t.kind != DateKind::kTime) return 1 + n;
  // The time of day: what follows 'YYYY-MM-DD ', moved out of the way.
  if (n <= 11) return 1;
  std::memmove(text, text + 11, n - 11);
  return 1 + n - 11;
}

std::string StoredDate(const DateTime& d, const DateType& t) {
  char buf[kStoredDateChars];
  return std::string(buf, WriteStoredDate(d, t, buf));
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
  std::optional<DateTime> da = DateOfText(a), db = DateOfText(b);
  if (da && db) {
    // A text of no type (a literal) compared with a value of a date type is
    // read as that type, as SQL Server converts it to the column's type:
    // '10:20:30.125' equals a datetime's .127, '2024-03-05 10:00' a date's
    // 2024-03-05.
    const std::optional<DateType> ta = StoredDateType(a), tb = StoredDateType(b);
    if (ta && !tb)
      db = AsDateType(*db, *ta);
    else if (tb && !ta)
      da = AsDateType(*da, *tb);
    const int64_t x = TicksOf(*da), y = TicksOf(*db);
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

// tsql_date_store(x, code): x in the stored form of a date column of the
// type DateTypeOfCode(code).
void DateStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const DateType type = DateTypeOfCode(sqlite3_value_int(argv[1]));
  const std::optional<DateTime> d = IsNumeric(argv[0]) ? DateOf(argv[0])
                                    : sqlite3_value_type(argv[0]) == SQLITE_TEXT
                                        ? DateOfText(TextOf(argv[0]))
                                        : std::nullopt;
  if (!d) return ResultError(ctx, kDateConversionFailed);
  ResultText(ctx, StoredDate(*d, type));
}

// tsql_needs_date_store(x, code): 1 unless x is NULL or already stored.
void NeedsDateStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  if (type != SQLITE_TEXT) return sqlite3_result_int(ctx, 1);
  const std::string_view t = TextOf(argv[0]);
  const std::optional<DateTime> d = ParseDateTime(t);
  char buf[kStoredDateChars];
  const bool stored =
      d && std::string_view(
               buf, WriteStoredDate(*d, DateTypeOfCode(sqlite3_value_int(argv[1])), buf)) == t;
  sqlite3_result_int(ctx, stored ? 0 : 1);
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
