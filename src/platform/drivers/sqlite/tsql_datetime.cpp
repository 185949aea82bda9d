// Date arithmetic and the literal forms of SQL Server dates.
//
// Days are counted with the civil-calendar formulas (proleptic Gregorian),
// so any year from 1 to 9999 works without tables. Parsing walks the text
// once with a small cursor; every form is checked to the end, so trailing
// garbage makes the text "not a date" rather than a different date.
#include "platform/drivers/sqlite/tsql_datetime.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace q6::sqlite {
namespace {

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 to y-m-d.
int64_t CivilDays(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kDay1900 = -25567;  // CivilDays(1900, 1, 1)
constexpr int64_t kMsPerDay = 86400000;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool Valid(const DateTime& d) {
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysIn(d.year, d.month) && d.hour >= 0 && d.hour < 24 && d.minute >= 0 &&
         d.minute < 60 && d.second >= 0 && d.second < 60 && d.millis >= 0 && d.millis < 1000 &&
         d.ticks >= 0 && d.ticks < kTicksPerMilli;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; }

struct Cursor {
  std::string_view s;
  size_t i = 0;
  bool End() const { return i >= s.size(); }
  char Peek() const { return End() ? '\0' : s[i]; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }
  // Up to `max` digits; the number of digits read (0: none).
  int Digits(int max, int* value) {
    int n = 0;
    *value = 0;
    while (n < max && !End() && s[i] >= '0' && s[i] <= '9') {
      *value = *value * 10 + (s[i++] - '0');
      ++n;
    }
    return n;
  }
  void Blanks() {
    while (!End() && s[i] == ' ') ++i;
  }
};

int FullYear(int y, int digits) {
  if (digits > 2) return y;
  return y < 50 ? 2000 + y : 1900 + y;  // SQL Server's two-digit year cutoff 2049
}

// hh:mm[:ss[.fff]][ ][AM|PM]; the cursor stands on the hour.
bool ParseTime(Cursor* c, DateTime* d) {
  if (c->Digits(2, &d->hour) == 0 || !c->Take(':') || c->Digits(2, &d->minute) != 2) return false;
  if (c->Take(':')) {
    if (c->Digits(2, &d->second) != 2) return false;
    if (c->Take('.')) {
      // Seven digits (100 ns) as datetime2 keeps them; finer ones are cut.
      int frac = 0;
      const int n = c->Digits(7, &frac);
      if (n == 0) return false;
      for (int k = n; k < 7; ++k) frac *= 10;
      d->millis = frac / kTicksPerMilli;
      d->ticks = frac % kTicksPerMilli;
      int more;
      while (c->Digits(9, &more) > 0) {
      }
    }
  }
  c->Blanks();
  if (c->s.size() - c->i >= 2 && Lower(c->s[c->i + 1]) == 'm') {
    const char ap = Lower(c->s[c->i]);
    if (ap != 'a' && ap != 'p') return false;
    if (d->hour < 1 || d->hour > 12) return false;
    d->hour = d->hour % 12 + (ap == 'p' ? 12 : 0);
    c->i += 2;
  }
  return true;
}

// An optional time after the date: blanks or a 'T', then the time.
bool ParseTimeTail(Cursor* c, DateTime* d) {
  if (c->Take('T')) return ParseTime(c, d);
  c->Blanks();
  if (c->End()) return true;
  return ParseTime(c, d);
}

bool DayFirst(int style) {
  const int s = style % 100;
  return s == 3 || s == 4 || s == 5;
}

bool ParseMonthName(Cursor* c, DateTime* d) {
  if (c->s.size() - c->i < 3) return false;
  for (int m = 0; m < 12; ++m) {
    const char* name = kMonths[m];
    bool same = true;
    for (int k = 0; k < 3; ++k) same = same && Lower(c->s[c->i + k]) == Lower(name[k]);
    if (!same) continue;
    c->i += 3;
    while (!c->End() && Lower(c->Peek()) >= 'a' && Lower(c->Peek()) <= 'z') ++c->i;
    d->month = m + 1;
    c->Blanks();
    int year;
    if (c->Digits(2, &d->day) == 0) return false;
    c->Take(',');
    c->Blanks();
    const int n = c->Digits(4, &year);
    if (n != 4 && n != 2) return false;
    d->year = FullYear(year, n);
    return ParseTimeTail(c, d);
  }
  return false;
}

bool ParseNumericDate(Cursor* c, DateTime* d, int style) {
  const size_t start = c->i;
  int a;
  const int na = c->Digits(8, &a);
  if (na == 8 || (na == 6 && style % 100 == 12)) {  // yyyymmdd, yymmdd
    d->year = na == 8 ? a / 10000 : FullYear(a / 10000, 2);
    d->month = a / 100 % 100;
    d->day = a % 100;
    return ParseTimeTail(c, d);
  }
  const char sep = c->Peek();
  if (na <= 2 && sep == ':') {  // a time alone
    c->i = start;
    return ParseTime(c, d);
  }
  if (na == 0 || (sep != '-' && sep != '/' && sep != '.')) return false;
  ++c->i;
  int b, y;
  if (c->Digits(2, &b) == 0 || !c->Take(sep)) return false;
  if (na == 4) {  // y-m-d
    d->year = a;
    d->month = b;
    if (c->Digits(2, &d->day) == 0) return false;
    return ParseTimeTail(c, d);
  }
  if (na > 2) return false;
  if (const int st = style % 100; st == 2 || st == 11) {  // yy.mm.dd, yy/mm/dd
    d->year = FullYear(a, 2);
    d->month = b;
    if (c->Digits(2, &d->day) == 0) return false;
    return ParseTimeTail(c, d);
  }
  const int ny = c->Digits(4, &y);
  if (ny != 4 && ny != 2) return false;
  d->year = FullYear(y, ny);
  d->month = DayFirst(style) ? b : a;
  d->day = DayFirst(style) ? a : b;
  return ParseTimeTail(c, d);
}

}  // namespace

std::optional<DateTime> ParseDateTime(std::string_view text, int style) {
  if (!text.empty() && IsDateTag(text.front())) text.remove_prefix(1);
  Cursor c{text};
  c.Blanks();
  DateTime d;
  const char first = c.Peek();
  const bool ok =
      first >= '0' && first <= '9' ? ParseNumericDate(&c, &d, style) : ParseMonthName(&c, &d);
  c.Blanks();
  if (!ok || !c.End() || !Valid(d)) return std::nullopt;
  return d;
}

int64_t DayNumber(const DateTime& d) {
  return CivilDays(d.year, static_cast<unsigned>(d.month), static_cast<unsigned>(d.day)) - kDay1900;
}

DateTime FromDayNumber(int64_t days) {
  const int64_t z = days + kDay1900 + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  DateTime d;
  d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (d.month <= 2));
  return d;
}

int64_t MillisOf(const DateTime& d) {
  return DayNumber(d) * kMsPerDay + ((d.hour * 60 + d.minute) * 60 + d.second) * 1000LL + d.millis;
}

int64_t TicksOf(const DateTime& d) { return MillisOf(d) * kTicksPerMilli + d.ticks; }

DateTime FromTicks(int64_t ticks) {
  DateTime d = FromMillis(FloorDiv(ticks, kTicksPerMilli));
  d.ticks = static_cast<int>(ticks - FloorDiv(ticks, kTicksPerMilli) * kTicksPerMilli);
  return d;
}

DateTime RoundToDigits(const DateTime& d, int digits) {
  int64_t unit = 1;
  for (int k = std::clamp(digits, 0, 7); k < 7; ++k) unit *= 10;
  const int64_t t = TicksOf(d);
  const DateTime up = FromTicks(FloorDiv(t + unit / 2, unit) * unit);
  // The last moment of 9999 stays in the range, rounded down.
  return up.year <= 9999 ? up : FromTicks(FloorDiv(t, unit) * unit);
}

DateTime RoundToDatetime(const DateTime& d) {
  // The fraction in 1/300 s, rounded half up, then in milliseconds rounded
  // the same way (1/300 s is 3.33 ms: .003, .007, .010).
  const int64_t t = TicksOf(d);
  const int64_t second = FloorDiv(t, kTicksPerSecond);
  const int64_t frac = t - second * kTicksPerSecond;
  const int64_t n300 = (frac * 300 * 2 + kTicksPerSecond) / (2 * kTicksPerSecond);
  const int64_t ms = (n300 * 1000 * 2 + 300) / 600;
  const DateTime up = FromTicks(second * kTicksPerSecond + ms * kTicksPerMilli);
  if (up.year <= 9999) return up;
  return FromTicks(second * kTicksPerSecond + 997 * kTicksPerMilli);  // the last one of 9999
}

DateTime RoundToSmallDatetime(const DateTime& d) {
  return FromMillis((MillisOf(RoundToDatetime(d)) + 30000) / 60000 * 60000);
}

DateTime FromMillis(int64_t ms) {
  DateTime d = FromDayNumber(FloorDiv(ms, kMsPerDay));
  int64_t rest = ms - FloorDiv(ms, kMsPerDay) * kMsPerDay;
  d.millis = static_cast<int>(rest % 1000);
  rest /= 1000;
  d.second = static_cast<int>(rest % 60);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.hour = static_cast<int>(rest / 3600);
  return d;
}

namespace {

// `v` (0..99) as two digits at `out`.
char* TwoDigits(int v, char* out) {
  out[0] = static_cast<char>('0' + v / 10);
  out[1] = static_cast<char>('0' + v % 10);
  return out + 2;
}

}  // namespace

size_t WriteStored(const DateTime& d, char* out) {
  // Every field in its usual range takes the digit writing below; any other
  // value (a year past 9999 or before 0) keeps printf's spelling.
  const bool plain = d.year >= 0 && d.year <= 9999 && d.month >= 0 && d.month <= 99 && d.day >= 0 &&
                     d.day <= 99 && d.hour >= 0 && d.hour <= 99 && d.minute >= 0 &&
                     d.minute <= 99 && d.second >= 0 && d.second <= 99 && d.millis >= 0 &&
                     d.millis <= 999 && d.ticks >= 0 && d.ticks < kTicksPerMilli;
  if (!plain) {
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                          d.hour, d.minute, d.second);
    if (d.millis != 0 || d.ticks != 0)
      n += std::snprintf(buf + n, sizeof buf - n, ".%03d", d.millis);
    const size_t len = std::min(static_cast<size_t>(n), kStoredChars);
    std::memcpy(out, buf, len);
    return len;
  }
  char* p = TwoDigits(d.year / 100, out);
  p = TwoDigits(d.year % 100, p);
  *p++ = '-';
  p = TwoDigits(d.month, p);
  *p++ = '-';
  p = TwoDigits(d.day, p);
  *p++ = ' ';
  p = TwoDigits(d.hour, p);
  *p++ = ':';
  p = TwoDigits(d.minute, p);
  *p++ = ':';
  p = TwoDigits(d.second, p);
  if (d.millis != 0 || d.ticks != 0) {
    *p++ = '.';
    *p++ = static_cast<char>('0' + d.millis / 100);
    p = TwoDigits(d.millis % 100, p);
    // The ticks' digits, trailing zeros cut: the millisecond form stays a
    // prefix, so texts keep sorting in time order.
    for (int rest = d.ticks, unit = 1000; rest != 0; rest %= unit, unit /= 10)
      *p++ = static_cast<char>('0' + rest / unit);
  }
  return static_cast<size_t>(p - out);
}

std::string FormatStored(const DateTime& d) {
  char buf[kStoredChars];
  return std::string(buf, WriteStored(d, buf));
}

bool KnownDateStyle(int style) {
  static constexpr int kStyles[] = {0,   100, 1,   101, 2,   102, 3,   4,  104, 5,
                                    105, 8,   108, 10,  110, 11,  111, 12, 112, 14,
                                    114, 20,  120, 21,  121, 23,  126, 103};
  for (int s : kStyles)
    if (s == style) return true;
  return false;
}

namespace {

// The fraction a style shows: '.' (or `point`) and `digits` digits of `d`'s
// fraction (milliseconds for kDatetimeDigits); nothing for 0 digits, nor
// when `when_nonzero` and the fraction is zero.
void AppendFraction(const DateTime& d, int digits, char point, bool when_nonzero,
                    std::string* out) {
  const int n = digits == kDatetimeDigits ? 3 : std::clamp(digits, 0, 7);
  const int64_t frac = d.millis * kTicksPerMilli + d.ticks;
  if (n == 0 || (when_nonzero && frac == 0)) return;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%07lld", static_cast<long long>(frac));
  (*out += point).append(buf, static_cast<size_t>(n));
}

}  // namespace

bool FormatStyle(const DateTime& d, int style, std::string* out, int digits) {
  if (!KnownDateStyle(style)) return false;
  char buf[64];
  const int y = style >= 100 || style == 20 || style == 21 || style == 23 ? d.year : d.year % 100;
  const char* yf = y == d.year ? "%04d" : "%02d";
  auto date3 = [&](const char* order, char sep) {
    std::string fmt;
    for (const char* p = order; *p; ++p) {
      if (p != order && sep) fmt += sep;
      fmt += *p == 'y' ? yf : "%02d";
    }
    const int v[3] = {order[0] == 'y'   ? y
                      : order[0] == 'm' ? d.month
                                        : d.day,
                      order[1] == 'y'   ? y
                      : order[1] == 'm' ? d.month
                                        : d.day,
                      order[2] == 'y'   ? y
                      : order[2] == 'm' ? d.month
                                        : d.day};
    std::snprintf(buf, sizeof buf, fmt.c_str(), v[0], v[1], v[2]);
  };
  switch (style % 100) {
    case 0: {
      const int h12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
      std::snprintf(buf, sizeof buf, "%.3s %2d %04d %2d:%02d%s", kMonths[d.month - 1], d.day,
                    d.year, h12, d.minute, d.hour < 12 ? "AM" : "PM");
      break;
    }
    case 1:
      date3("mdy", '/');
      break;
    case 2:
      date3("ymd", '.');
      break;
    case 3:
      date3("dmy", '/');
      break;
    case 4:
      date3("dmy", '.');
      break;
    case 5:
      date3("dmy", '-');
      break;
    case 10:
      date3("mdy", '-');
      break;
    case 11:
      date3("ymd", '/');
      break;
    case 12:
      date3("ymd", 0);
      break;
    case 8:  // hh:mi:ss; 14 and 114 with :mmm
    case 14:
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d.hour, d.minute, d.second);
      if (style % 100 == 14) {
        out->assign(buf);
        AppendFraction(d, digits, ':', false, out);
        return true;
      }
      break;
    case 20:
    case 21:
    case 23:
    case 26: {
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", d.year, d.month, d.day,
                    style == 126 ? 'T' : ' ', d.hour, d.minute, d.second);
      if (style == 23) buf[10] = '\0';
      if (style % 100 == 21 || style == 126) {
        out->assign(buf);
        AppendFraction(d, digits, '.', style == 126, out);
        return true;
      }
      break;
    }
    default:
      return false;
  }
  out->assign(buf);
  return true;
}

std::optional<DatePart> DatePartOf(std::string_view name) {
  struct Entry {
    const char* name;
    DatePart part;
  };
  static constexpr Entry kParts[] = {
      {"year", DatePart::kYear},       {"yy", DatePart::kYear},
      {"yyyy", DatePart::kYear},       {"quarter", DatePart::kQuarter},
      {"qq", DatePart::kQuarter},      {"q", DatePart::kQuarter},
      {"month", DatePart::kMonth},     {"mm", DatePart::kMonth},
      {"m", DatePart::kMonth},         {"dayofyear", DatePart::kDayOfYear},
      {"dy", DatePart::kDayOfYear},    {"y", DatePart::kDayOfYear},
      {"day", DatePart::kDay},         {"dd", DatePart::kDay},
      {"d", DatePart::kDay},           {"week", DatePart::kWeek},
      {"wk", DatePart::kWeek},         {"ww", DatePart::kWeek},
      {"weekday", DatePart::kWeekday}, {"dw", DatePart::kWeekday},
      {"w", DatePart::kWeekday},       {"hour", DatePart::kHour},
      {"hh", DatePart::kHour},         {"minute", DatePart::kMinute},
      {"mi", DatePart::kMinute},       {"n", DatePart::kMinute},
      {"second", DatePart::kSecond},   {"ss", DatePart::kSecond},
      {"s", DatePart::kSecond},        {"millisecond", DatePart::kMillisecond},
      {"ms", DatePart::kMillisecond}};
  for (const Entry& e : kParts) {
    const std::string_view n = e.name;
    if (n.size() != name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < n.size() && same; ++k) same = Lower(name[k]) == n[k];
    if (same) return e.part;
  }
  return std::nullopt;
}

DateTime AddPart(const DateTime& d, DatePart part, int64_t n) {
  int64_t ms_per = 0;
  switch (part) {
    case DatePart::kYear:
    case DatePart::kQuarter:
    case DatePart::kMonth: {
      const int64_t months = n * (part == DatePart::kYear      ? 12
                                  : part == DatePart::kQuarter ? 3
                                                               : 1);
      const int64_t total = d.year * 12LL + (d.month - 1) + months;
      DateTime r = d;
      r.year = static_cast<int>(FloorDiv(total, 12));
      r.month = static_cast<int>(total - FloorDiv(total, 12) * 12) + 1;
      if (r.year >= 1 && r.year <= 9999 && r.day > DaysIn(r.year, r.month))
        r.day = DaysIn(r.year, r.month);
      return r;
    }
    case DatePart::kWeek:
      ms_per = 7 * kMsPerDay;
      break;
    case DatePart::kDayOfYear:
    case DatePart::kDay:
    case DatePart::kWeekday:
      ms_per = kMsPerDay;
      break;
    case DatePart::kHour:
      ms_per = 3600000;
      break;
    case DatePart::kMinute:
      ms_per = 60000;
      break;
    case DatePart::kSecond:
      ms_per = 1000;
      break;
    case DatePart::kMillisecond:
      ms_per = 1;
      break;
  }
  DateTime r = FromMillis(MillisOf(d) + n * ms_per);
  r.ticks = d.ticks;
  return r;
}

int64_t DiffParts(const DateTime& a, const DateTime& b, DatePart part) {
  switch (part) {
    case DatePart::kYear:
      return b.year - a.year;
    case DatePart::kQuarter:
      return (b.year * 4LL + (b.month - 1) / 3) - (a.year * 4LL + (a.month - 1) / 3);
    case DatePart::kMonth:
      return (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
    case DatePart::kDayOfYear:
    case DatePart::kDay:
    case DatePart::kWeekday:
      return DayNumber(b) - DayNumber(a);
    case DatePart::kWeek:  // 1900-01-01 was a Monday; a week ends on Saturday
      return FloorDiv(DayNumber(b) + 1, 7) - FloorDiv(DayNumber(a) + 1, 7);
    case DatePart::kHour:
      return FloorDiv(MillisOf(b), 3600000) - FloorDiv(MillisOf(a), 3600000);
    case DatePart::kMinute:
      return FloorDiv(MillisOf(b), 60000) - FloorDiv(MillisOf(a), 60000);
    case DatePart::kSecond:
      return FloorDiv(MillisOf(b), 1000) - FloorDiv(MillisOf(a), 1000);
    case DatePart::kMillisecond:
      return MillisOf(b) - MillisOf(a);
  }
  return 0;
}

int64_t PartOf(const DateTime& d, DatePart part) {
  DateTime jan1;
  jan1.year = d.year;
  switch (part) {
    case DatePart::kYear:
      return d.year;
    case DatePart::kQuarter:
      return (d.month - 1) / 3 + 1;
    case DatePart::kMonth:
      return d.month;
    case DatePart::kDayOfYear:
      return DayNumber(d) - DayNumber(jan1) + 1;
    case DatePart::kDay:
      return d.day;
    case DatePart::kWeek:
      return DiffParts(jan1, d, DatePart::kWeek) + 1;
    case DatePart::kWeekday:
      return ((DayNumber(d) + 1) % 7 + 7) % 7 + 1;
    case DatePart::kHour:
      return d.hour;
    case DatePart::kMinute:
      return d.minute;
    case DatePart::kSecond:
      return d.second;
    case DatePart::kMillisecond:
      return d.millis;
  }
  return 0;
}

std::string NameOf(const DateTime& d, DatePart part) {
  if (part == DatePart::kMonth) return kMonths[d.month - 1];
  if (part == DatePart::kWeekday) return kWeekdays[PartOf(d, part) - 1];
  return std::to_string(PartOf(d, part));
}

}  // namespace q6::sqlite
