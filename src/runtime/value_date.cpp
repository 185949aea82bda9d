// Calendar arithmetic for dates held as day numbers.
//
// Day numbers convert to and from the proleptic Gregorian calendar with the
// usual era-based formulas; nothing depends on the time zone or the locale.
#include "runtime/value_date.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "runtime/value_number_text.h"

namespace q6::value {

namespace {

constexpr double kFirstDay = -657434;       // 0100-01-01
constexpr double kLastDay = 2958466;        // 10000-01-01, excluded
constexpr int64_t kEpochFromUnix = -25569;  // 1899-12-30 counted from 1970-01-01
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

// Reads exactly `n` digits at `*pos`.
bool Digits(std::string_view s, size_t* pos, size_t n, int* out) {
  if (*pos + n > s.size()) return false;
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = s[*pos + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *pos += n;
  *out = v;
  return true;
}

bool Expect(std::string_view s, size_t* pos, char c) {
  if (*pos >= s.size() || s[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

bool DateInRange(double days) { return days >= kFirstDay && days < kLastDay; }

std::string FormatDate(double days) {
  int64_t whole = static_cast<int64_t>(std::trunc(days));
  int64_t seconds = std::llround(std::fabs(days - static_cast<double>(whole)) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    // The time rounded up to midnight: the next day away from the epoch.
    seconds = 0;
    whole += days < 0 ? -1 : 1;
  }
  int64_t y;
  unsigned m, d;
  CivilFromDays(whole + kEpochFromUnix, &y, &m, &d);
  char buf[48];
  if (seconds == 0) {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  } else {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), m,
                  d, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
  }
  return buf;
}

bool ParseDate(std::string_view text, double* days) {
  std::string_view s = TrimBlanks(text);
  size_t pos = 0;
  int y, mo, d, h = 0, mi = 0, sec = 0;
  if (!Digits(s, &pos, 4, &y) || !Expect(s, &pos, '-') || !Digits(s, &pos, 2, &mo) ||
      !Expect(s, &pos, '-') || !Digits(s, &pos, 2, &d)) {
    return false;
  }
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return false;
    ++pos;
    if (!Digits(s, &pos, 2, &h) || !Expect(s, &pos, ':') || !Digits(s, &pos, 2, &mi)) {
      return false;
    }
    if (pos < s.size() && (!Expect(s, &pos, ':') || !Digits(s, &pos, 2, &sec))) return false;
    if (pos != s.size()) return false;
  }
  if (y < 100 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || sec > 59) return false;
  // A day that does not exist comes back as another month.
  int64_t n = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  int64_t cy;
  unsigned cm, cd;
  CivilFromDays(n, &cy, &cm, &cd);
  if (cy != y || cm != static_cast<unsigned>(mo) || cd != static_cast<unsigned>(d)) return false;
  const int64_t whole = n - kEpochFromUnix;
  const double fraction = static_cast<double>(h * 3600 + mi * 60 + sec) / kSecondsPerDay;
  *days = static_cast<double>(whole) + (whole < 0 ? -fraction : fraction);
  return true;
}

}  // namespace q6::value
