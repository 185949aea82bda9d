// T-SQL functions of SQL Server 2012 to 2017 on SQLite: CONCAT, CONCAT_WS,
// CHOOSE, QUOTENAME, ASCII, UNICODE, CHAR, NCHAR, DATALENGTH, TRANSLATE,
// TRIM(chars FROM x), and the
// dates EOMONTH,
// DATEFROMPARTS, DATETIMEFROMPARTS, ISDATE.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

// The code point of the first character of UTF-8 `s`; -1 for none.
int32_t FirstCodePoint(std::string_view s) {
  if (s.empty()) return -1;
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned c = b(0);
  if (c < 0x80) return static_cast<int32_t>(c);
  const int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  if (s.size() <= static_cast<size_t>(n)) return static_cast<int32_t>(c);
  int32_t cp = static_cast<int32_t>(c & (0x3F >> n));
  for (int i = 1; i <= n; ++i) cp = (cp << 6) | (b(static_cast<size_t>(i)) & 0x3F);
  return cp;
}

// The characters of UTF-8 `s`, each as its bytes.
std::vector<std::string_view> Chars(std::string_view s) {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

bool ValidDay(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

std::string DateText(const DateTime& d) { return FormatStored(d).substr(0, 10); }

}  // namespace

// CONCAT(a, b, ...): NULL counts as ''; numbers as CAST to varchar writes them.
void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) != SQLITE_NULL) out += ValueText(argv[i]);
  ResultText(ctx, out);
}

// CONCAT_WS(sep, a, b, ...): NULLs are left out, separator and all.
void ConcatWs(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const std::string sep = sqlite3_value_type(argv[0]) == SQLITE_NULL ? "" : ValueText(argv[0]);
  std::string out;
  bool first = true;
  for (int i = 1; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
    if (!first) out += sep;
    out += ValueText(argv[i]);
    first = false;
  }
  ResultText(ctx, out);
}

// TRIM([BOTH | LEADING | TRAILING] chars FROM x) as tsql_trim('both' |
// 'leading' | 'trailing', chars, x): every character of `chars` taken off
// the chosen ends of x.
void TrimChars(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const std::string_view where = TextOf(argv[0]);
  const std::vector<std::string_view> set = Chars(TextOf(argv[1]));
  const std::vector<std::string_view> s = Chars(TextOf(argv[2]));
  const auto in_set = [&](std::string_view c) {
    return std::find(set.begin(), set.end(), c) != set.end();
  };
  size_t from = 0, to = s.size();
  if (where != "trailing")
    while (from < to && in_set(s[from])) ++from;
  if (where != "leading")
    while (to > from && in_set(s[to - 1])) --to;
  std::string out;
  for (size_t i = from; i < to; ++i) out += s[i];
  ResultText(ctx, out);
}

// CHOOSE(i, a, b, ...): the i-th value, NULL out of range.
void Choose(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const int64_t i = sqlite3_value_int64(argv[0]);
  if (i >= 1 && i < argc) sqlite3_result_value(ctx, argv[i]);
}

// QUOTENAME(s[, q]): s between the delimiters, a closing one doubled; NULL
// for more than 128 characters or an unknown delimiter.
void QuoteName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const std::string_view s = TextOf(argv[0]);
  const std::string_view q = argc > 1 ? TextOf(argv[1]) : std::string_view("[");
  if (CharCount(s) > 128 || q.size() != 1) return;
  char open = q[0], close = q[0];
  switch (q[0]) {
    case '[':
    case ']':
      open = '[', close = ']';
      break;
    case '(':
    case ')':
      open = '(', close = ')';
      break;
    case '<':
    case '>':
      open = '<', close = '>';
      break;
    case '{':
    case '}':
      open = '{', close = '}';
      break;
    case '"':
    case '\'':
    case '`':
      break;
    default:
      return;
  }
  std::string out(1, open);
  for (char c : s) {
    out += c;
    if (c == close) out += c;
  }
  out += close;
  ResultText(ctx, out);
}

// ASCII(s) and UNICODE(s): the code of the first character; NULL for ''.
void FirstCode(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const int32_t cp = FirstCodePoint(TextOf(argv[0]));
  if (cp >= 0) sqlite3_result_int(ctx, cp);
}

// CHAR(n) (tsql_chr) and NCHAR(n): the character of code n. CHAR of a code
// above 127 is a character of the server's code page, which text kept as
// UTF-8 has not: an error; NCHAR beyond the 16-bit codes is NULL, as
// under a collation without supplementary characters. Code 0 and the
// surrogate halves are no characters of UTF-8 text: errors.
void CodeChar(sqlite3_context* ctx, int, sqlite3_value** argv, bool wide) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const int64_t n = sqlite3_value_int64(argv[0]);
  const char* fn = wide ? "NCHAR" : "CHAR";
  if (n < 0 || n > (wide ? 0xFFFF : 255)) return;
  if (n == 0 || (n >= 0xD800 && n <= 0xDFFF) || (!wide && n > 127))
    return ResultError(ctx, std::string(fn) + "(" + std::to_string(n) + ") is not supported");
  const auto c = static_cast<uint32_t>(n);
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  ResultText(ctx, out);
}

void Chr(sqlite3_context* ctx, int argc, sqlite3_value** argv) { CodeChar(ctx, argc, argv, false); }
void NChar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  CodeChar(ctx, argc, argv, true);
}

// DATALENGTH(x): the bytes of a binary value, of text its UTF-8 bytes (the
// stored form of varchar and nvarchar alike). A number's length is its
// declared type's, which a value on SQLite does not carry: an error.
void DataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return;
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT || IsExact(argv[0]))
    return ResultError(ctx, "DATALENGTH of a number is not supported");
  if (t == SQLITE_TEXT)
    if (const std::optional<DateType> type = StoredDateType(TextOf(argv[0])))
      return sqlite3_result_int(ctx, DateLength(*type));
  sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
}

// TRANSLATE(s, from, to): each character of `from` replaced by the one at
// its place in `to`; the two must be as long.
void Translate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const std::vector<std::string_view> from = Chars(TextOf(argv[1]));
  const std::vector<std::string_view> to = Chars(TextOf(argv[2]));
  if (from.size() != to.size())
    return ResultError(ctx,
                       "The second and third arguments of the TRANSLATE built-in function must "
                       "contain an equal number of characters.");
  std::string out;
  for (std::string_view c : Chars(TextOf(argv[0]))) {
    size_t k = 0;
    while (k < from.size() && from[k] != c) ++k;
    out += k < from.size() ? to[k] : c;
  }
  ResultText(ctx, out);
}

// EOMONTH(d[, months]): the last day of d's month, moved by months.
void EoMonth(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const std::optional<DateTime> d = DateOf(argv[0]);
  if (!d) return ResultError(ctx, kDateConversionFailed);
  const int64_t months =
      d->year * 12LL + (d->month - 1) + (argc > 1 ? sqlite3_value_int64(argv[1]) : 0);
  DateTime e;
  e.year = static_cast<int>(months / 12);
  e.month = static_cast<int>(months % 12) + 1;
  if (e.year < 1 || e.year > 9999)
    return ResultError(ctx, "Adding a value to a 'date' column caused an overflow.");
  e.day = 31;
  while (!ValidDay(e.year, e.month, e.day)) --e.day;
  ResultText(ctx, DateText(e));
}

// DATEFROMPARTS(y, m, d) and DATETIMEFROMPARTS(y, m, d, h, mi, s, ms).
void DateFromParts(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  int v[7] = {0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < argc && i < 7; ++i) v[i] = sqlite3_value_int(argv[i]);
  const bool time_ok = v[3] >= 0 && v[3] < 24 && v[4] >= 0 && v[4] < 60 && v[5] >= 0 && v[5] < 60 &&
                       v[6] >= 0 && v[6] < 1000;
  if (!ValidDay(v[0], v[1], v[2]) || !time_ok)
    return ResultError(ctx, std::string("Cannot construct data type ") +
                                (argc == 3 ? "date" : "datetime") +
                                ", some of the arguments have values which are not valid.");
  const DateTime d{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
  ResultText(ctx, argc == 3 ? DateText(d) : FormatStored(d));
}

// ISDATE(s): 1 when s converts to a datetime.
void IsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_int(ctx, 0);
  const std::optional<DateTime> d = ParseDateTime(TextOf(argv[0]));
  sqlite3_result_int(ctx, d && d->year >= 1753 ? 1 : 0);
}

}  // namespace q6::sqlite
