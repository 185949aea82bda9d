// The T-SQL functions of the SQLite driver: numbers and strings, and the
// registration of the functions of the registry (platform/tsql/functions.h)
// on a connection. The operators are in sqlite_arithmetic.cpp.
#include "platform/drivers/sqlite/sqlite_functions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {

std::optional<Number> ParseNumber(std::string_view text) {
  // A decimal's stored form starts with its tag (sqlite_exact.h).
  while (!text.empty() &&
         (text.front() == ' ' || text.front() == kDecimalTag || text.front() == kMoneyTag))
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 400) return std::nullopt;
  const std::string s(text);
  Number n;
  char* end = nullptr;
  errno = 0;
  n.i = std::strtoll(s.c_str(), &end, 10);
  if (*end == '\0' && errno == 0 && s.find_first_of("0123456789") != std::string::npos) {
    n.integral = true;
    n.d = static_cast<double>(n.i);
    return n;
  }
  if (s.find_first_of("xXnN") != std::string::npos) return std::nullopt;  // no hex, inf, nan
  n.d = std::strtod(s.c_str(), &end);
  if (*end != '\0' || end == s.c_str()) return std::nullopt;
  return n;
}

std::optional<Number> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      Number n{true, sqlite3_value_int64(v), 0};
      n.d = static_cast<double>(n.i);
      return n;
    }
    case SQLITE_FLOAT:
      return Number{false, 0, sqlite3_value_double(v)};
    case SQLITE_TEXT:
      return ParseNumber(TextOf(v));
    default:
      return std::nullopt;
  }
}

std::optional<DateTime> DateOf(sqlite3_value* v, int style) {
  if (IsNumeric(v)) {
    const double days = sqlite3_value_double(v);
    if (!(std::fabs(days) < 3.0e6)) return std::nullopt;
    return FromMillis(static_cast<int64_t>(std::llround(days * 86400000.0)));
  }
  return ParseDateTime(TextOf(v), style);
}

std::string ConversionFailed(std::string_view text, std::string_view type) {
  return "Conversion failed when converting the varchar value '" + std::string(text) +
         "' to data type " + std::string(type) + ".";
}

size_t ByteOfChar(std::string_view s, size_t chars) {
  size_t i = 0;
  for (size_t c = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && c++ == chars) return i;
  }
  return i;
}

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

bool NumericArg(sqlite3_context* ctx, sqlite3_value* v, Number* out, const char* type) {
  const std::optional<Number> n = NumberOf(v);
  if (!n) ResultError(ctx, std::string("Error converting data type varchar to ") + type + ".");
  if (n) *out = *n;
  return n.has_value();
}

namespace {

template <double (*F)(double)>
void Unary(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number x;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &x)) return;
  if (x.integral) return sqlite3_result_int64(ctx, x.i);  // ceiling / floor of a whole number
  sqlite3_result_double(ctx, F(x.d));
}

}  // namespace

// ROUND(x, n[, f]): half away from zero, n < 0 rounds left of the point, f
// other than 0 cuts instead. Decimal literals such as 2.675 arrive here as
// the nearest double, a hair below the half: a nudge of 1e-12 relative
// gives them back the decimal result SQL Server computes exactly.
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number x;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &x)) return;
  const int n = sqlite3_value_int(argv[1]);
  const bool cut = argc == 3 && sqlite3_value_int(argv[2]) != 0;
  if (x.integral && n >= 0) return ResultNumber(ctx, x);
  const double f = std::pow(10.0, n);
  double scaled = x.d * f;
  scaled = cut ? std::trunc(scaled) : std::round(scaled + scaled * 1e-12);
  if (x.integral) return sqlite3_result_int64(ctx, static_cast<int64_t>(scaled / f));
  sqlite3_result_double(ctx, scaled / f);
}

void Ceiling(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Unary<std::ceil>(ctx, argc, argv);
}
void Floor(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Unary<std::floor>(ctx, argc, argv);
}

void Sign(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number x;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &x)) return;
  const int s = x.d > 0 ? 1 : x.d < 0 ? -1 : 0;
  if (x.integral) return sqlite3_result_int(ctx, s);
  sqlite3_result_double(ctx, s);
}

// POWER keeps the type of its first argument: POWER(2, -1) is 0.
void Power(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number x, y;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &x) || !NumericArg(ctx, argv[1], &y))
    return;
  const double r = std::pow(x.d, y.d);
  if (!std::isfinite(r)) return ResultError(ctx, "An invalid floating point operation occurred.");
  if (x.integral) return sqlite3_result_int64(ctx, static_cast<int64_t>(std::trunc(r)));
  sqlite3_result_double(ctx, r);
}

void Sqrt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number x;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &x)) return;
  if (x.d < 0) return ResultError(ctx, "An invalid floating point operation occurred.");
  sqlite3_result_double(ctx, std::sqrt(x.d));
}

// SUBSTRING(s, start, length): a start before 1 eats into the length.
void Substring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  int64_t start = sqlite3_value_int64(argv[1]);
  int64_t len = sqlite3_value_int64(argv[2]);
  if (len < 0)
    return ResultError(ctx, "Invalid length parameter passed to the substring function.");
  if (start < 1) {
    len += start - 1;
    start = 1;
  }
  const std::string_view s = TextOf(argv[0]);
  if (len <= 0) return ResultText(ctx, "");
  const size_t from = ByteOfChar(s, static_cast<size_t>(start - 1));
  const size_t to = from + ByteOfChar(s.substr(from), static_cast<size_t>(len));
  sqlite3_result_text(ctx, s.data() + from, static_cast<int>(to - from), SQLITE_TRANSIENT);
}

void Replicate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const bool space = argc == 1;
  const int64_t n = sqlite3_value_int64(argv[space ? 0 : 1]);
  const std::string_view s = space ? std::string_view(" ") : TextOf(argv[0]);
  if (n < 0) return;
  if (static_cast<double>(n) * static_cast<double>(s.size()) > 1e8)
    return ResultError(ctx, "REPLICATE would make a text longer than 100 MB");
  std::string out;
  out.reserve(static_cast<size_t>(n) * s.size());
  for (int64_t i = 0; i < n; ++i) out += s;
  ResultText(ctx, out);
}

void Reverse(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(argc, argv)) return;
  const std::string_view s = TextOf(argv[0]);
  std::string out;
  out.reserve(s.size());
  for (size_t end = s.size(); end > 0;) {
    size_t start = end - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    out.append(s.substr(start, end - start));
    end = start;
  }
  ResultText(ctx, out);
}

// STUFF(s, start, length, with): NULL when start or length are out of range.
void Stuff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNullArg(3, argv)) return;
  const std::string_view s = TextOf(argv[0]);
  const int64_t start = sqlite3_value_int64(argv[1]);
  const int64_t len = sqlite3_value_int64(argv[2]);
  const size_t chars = CharCount(s);
  if (start < 1 || static_cast<size_t>(start) > chars || len < 0) return;
  const size_t from = ByteOfChar(s, static_cast<size_t>(start - 1));
  const size_t to = from + ByteOfChar(s.substr(from), static_cast<size_t>(len));
  std::string out(s.substr(0, from));
  if (argc == 4) out += TextOf(argv[3]);
  out += s.substr(to);
  ResultText(ctx, out);
}

// What the dialect layer sends instead of a statement it cannot translate.
void Unsupported(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultError(ctx, std::string(TextOf(argv[0])) + " is not supported on SQLite");
}

// tsql_single(rows, value): the value of a subquery used as a value, which
// must have one row at most (the dialect counts them).
void Single(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_int64(argv[0]) > 1) {
    ResultError(ctx,
                "Subquery returned more than 1 value, which is not permitted when the subquery "
                "is used as an expression (error 512)");
    return;
  }
  sqlite3_result_value(ctx, argv[1]);
}

// tsql_recursion(level, limit): the level of a row of a recursive common
// table expression, or error 530 past the limit (0: none).
void Recursion(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int64_t level = sqlite3_value_int64(argv[0]);
  const int64_t limit = sqlite3_value_int64(argv[1]);
  if (limit > 0 && level > limit) {
    ResultError(ctx, "The maximum recursion " + std::to_string(limit) +
                         " has been exhausted before statement completion (error 530)");
    return;
  }
  sqlite3_result_int64(ctx, level);
}

int RegisterFunction(sqlite3* db, const tsql::Function& f, void* data) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  const std::string name = tsql::EngineName(f);
  for (int args = f.min_args; args <= f.max_args; ++args) {
    const int rc = f.sqlite_final != nullptr
                       ? sqlite3_create_window_function(db, name.c_str(), args, kFlags, data,
                                                        f.sqlite, f.sqlite_final, f.sqlite_value,
                                                        f.sqlite_inverse, nullptr)
                       : sqlite3_create_function_v2(db, name.c_str(), args, kFlags, data, f.sqlite,
                                                    nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

namespace {

// Registers the registry's functions whose call is (`builtin`) or is not a
// replacement of SQLite's own.
int RegisterEntries(sqlite3* db, bool builtin) {
  for (const tsql::Function& f : tsql::kFunctions) {
    if ((f.call == tsql::Call::kBuiltin) != builtin) continue;
    if (const int rc = RegisterFunction(db, f, nullptr); rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace

int RegisterReplacements(sqlite3* db) {
  if (const int rc = RegisterNoCase(db); rc != SQLITE_OK) return rc;
  return RegisterEntries(db, true);
}

int RegisterTsqlFunctions(sqlite3* db) {
  if (const int rc = RegisterReplacements(db); rc != SQLITE_OK) return rc;
  if (const int rc = RegisterEntries(db, false); rc != SQLITE_OK) return rc;
  if (const int rc = sqlite3_create_collation_v2(db, "tsql_decimal", SQLITE_UTF8, nullptr,
                                                 CompareDecimalTexts, nullptr);
      rc != SQLITE_OK)
    return rc;
  return sqlite3_create_collation_v2(db, "tsql_date", SQLITE_UTF8, nullptr, CompareDateTexts,
                                     nullptr);
}

}  // namespace q6::sqlite
