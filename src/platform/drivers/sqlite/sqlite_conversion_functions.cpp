// CAST and CONVERT on SQLite, as the dialect layer writes them: one function
// per target type (tsql_int, tsql_decimal, tsql_varchar, ...), plus STR and
// ISNUMERIC, and TRY_CAST / TRY_CONVERT (tsql_try).
//
// Decimal, numeric and money targets are in sqlite_arithmetic.cpp, with the
// exact decimals they make (sqlite_exact.h). A decimal's text keeps its
// scale; money's default text has two places, as SQL Server writes it.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_extensions.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

// The text of a value cut to `n` characters (-1: no limit); `pad` fills up
// to n with blanks, as char(n) does.
void CutText(sqlite3_context* ctx, std::string_view s, int64_t n, bool pad) {
  if (n < 0) return ResultText(ctx, std::string(s));
  std::string out(s.substr(0, ByteOfChar(s, static_cast<size_t>(n))));
  if (pad) out.append(static_cast<size_t>(n) - CharCount(out), ' ');
  ResultText(ctx, out);
}

// The statement that runs one conversion for tsql_try, kept with the call
// site (SQLite's auxiliary data of a constant argument) so that it is
// prepared once per statement, not once per row.
struct TryStatement {
  std::string sql;
  sqlite3_stmt* stmt = nullptr;
  TryStatement() = default;
  TryStatement(const TryStatement&) = delete;
  TryStatement& operator=(const TryStatement&) = delete;
  ~TryStatement() { sqlite3_finalize(stmt); }
};

void DeleteTryStatement(void* p) { delete static_cast<TryStatement*>(p); }

bool IsFunctionName(std::string_view s) {
  if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
  for (const char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

}  // namespace

// tsql_try(witness, 'int', x, ', ''int'''): tsql_int(x, 'int'), or NULL
// when that conversion raises its error. The witness gives PostgreSQL the
// result type and is ignored here; the dialect layer writes the fourth
// argument, the conversion's arguments after x, as SQL text. x is
// evaluated by the calling statement, so its own errors still raise.
void Try(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string_view fn = TextOf(argv[1]);
  if (!IsFunctionName(fn)) return ResultError(ctx, "TRY_CAST cannot convert to " + std::string(fn));
  std::string sql = "SELECT tsql_" + std::string(fn) + "(?" + std::string(TextOf(argv[3])) + ")";
  auto* st = static_cast<TryStatement*>(sqlite3_get_auxdata(ctx, 3));
  std::unique_ptr<TryStatement> fresh;
  if (st == nullptr || st->sql != sql) {
    fresh = std::make_unique<TryStatement>();
    fresh->sql = std::move(sql);
    sqlite3* db = sqlite3_context_db_handle(ctx);
    // The conversion function may not be registered on the connection yet.
    TsqlExtensions* extensions = TsqlExtensions::Of(ctx);
    const int bytes = static_cast<int>(fresh->sql.size());
    const int rc = extensions && extensions->RegisterNamedIn(fresh->sql) == SQLITE_OK
                       ? extensions->Prepare(fresh->sql.c_str(), bytes, 0, &fresh->stmt, nullptr)
                       : sqlite3_prepare_v2(db, fresh->sql.c_str(), bytes, &fresh->stmt, nullptr);
    if (rc != SQLITE_OK) return ResultError(ctx, sqlite3_errmsg(db));
    st = fresh.get();
  }
  sqlite3_bind_value(st->stmt, 1, argv[2]);
  const int rc = sqlite3_step(st->stmt);
  if (rc == SQLITE_ROW)
    sqlite3_result_value(ctx, sqlite3_column_value(st->stmt, 0));
  else if (rc != SQLITE_ERROR)  // not the conversion's own error: out of memory and the like
    sqlite3_result_error_code(ctx, rc);
  sqlite3_reset(st->stmt);
  sqlite3_clear_bindings(st->stmt);
  // SQLite owns it from here, and may delete it at once.
  if (fresh) sqlite3_set_auxdata(ctx, 3, fresh.release(), DeleteTryStatement);
}

// tsql_int(x, 'int' | 'bigint' | 'smallint' | 'tinyint'): numbers truncate
// toward zero; text must be a whole number.
void ToInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const std::string_view type = TextOf(argv[1]);
  const std::optional<Number> n = NumberOf(argv[0]);
  if (!n || (!IsNumeric(argv[0]) && !IsExact(argv[0]) && !n->integral))
    return ResultError(ctx, ConversionFailed(TextOf(argv[0]), type));
  const double v = n->integral ? static_cast<double>(n->i) : std::trunc(n->d);
  const double lo = type == "tinyint"    ? 0
                    : type == "smallint" ? -32768
                    : type == "int"      ? -2147483648.0
                                         : -9.2233720368547758e18;
  const double hi = type == "tinyint"    ? 255
                    : type == "smallint" ? 32767
                    : type == "int"      ? 2147483647.0
                                         : 9.2233720368547748e18;
  if (!(v >= lo && v <= hi))
    return ResultError(ctx, "Arithmetic overflow error converting expression to data type " +
                                std::string(type) + ".");
  sqlite3_result_int64(ctx, n->integral ? n->i : static_cast<int64_t>(v));
}

void ToFloat(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Number n;
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || !NumericArg(ctx, argv[0], &n)) return;
  sqlite3_result_double(ctx, n.d);
}

void ToBit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  std::string t(TextOf(argv[0]));
  for (char& c : t) c = static_cast<char>(c | 0x20);
  if (t == "true" || t == "false") return sqlite3_result_int(ctx, t == "true");
  const std::optional<Number> n = NumberOf(argv[0]);
  if (!n) return ResultError(ctx, ConversionFailed(TextOf(argv[0]), "bit"));
  sqlite3_result_int(ctx, n->d != 0);
}

void ToVarchar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  CutText(ctx, ValueText(argv[0]), sqlite3_value_int64(argv[1]), false);
}

void ToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  CutText(ctx, ValueText(argv[0]), sqlite3_value_int64(argv[1]), true);
}

// tsql_convert_text(x, n, style): a date (text in a date form, as dates are
// stored) written in the style; any other value as its text. Cut to n. A
// datetime2(n) or time(n) value (its stored form's tag says so) shows n
// fractional digits where the style shows a fraction, and a time no date.
void ConvertText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const int style = sqlite3_value_int(argv[2]);
  const int64_t n = sqlite3_value_int64(argv[1]);
  std::string out;
  if (!IsNumeric(argv[0]) && !IsExact(argv[0])) {
    if (const std::optional<DateTime> d = ParseDateTime(TextOf(argv[0]))) {
      const std::optional<DateType> type = StoredDateType(TextOf(argv[0]));
      const bool time = type && type->kind == DateKind::kTime;
      const bool digits = type && (time || type->kind == DateKind::kDateTime2);
      if (!FormatStyle(*d, style, &out, digits ? type->digits : kDatetimeDigits))
        return ResultError(ctx,
                           "CONVERT style " + std::to_string(style) +
                               " from a date to a character string is not supported on SQLite");
      if (time && (style % 100 == 20 || style % 100 == 21 || style == 126)) out.erase(0, 11);
      return CutText(ctx, out, n, false);
    }
  }
  // Money in styles 1 (thousands separated, two places) and 2 (four places).
  if (const Operand o = Classify(argv[0]);
      o.kind == Operand::kDecimal && o.x.money && (style == 1 || style == 2)) {
    Exact x = o.x;
    Rescale(&x, style == 1 ? 2 : 4);
    out = FormatExact(x);
    if (style == 1) {
      const size_t digits_start = out[0] == '-' ? 1 : 0;
      for (size_t at = out.find('.'); at > digits_start + 3; at -= 3) out.insert(at - 3, ",");
    }
    return CutText(ctx, out, n, false);
  }
  CutText(ctx, ValueText(argv[0]), n, false);
}

// STR(x[, length[, decimals]]): right-aligned in `length` (10), rounded to
// `decimals` (0); asterisks when it does not fit.
void Str(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Number n;
  if (AnyNullArg(argc, argv) || !NumericArg(ctx, argv[0], &n)) return;
  const int len = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
  int dec = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
  if (len <= 0 || len > 8000 || dec < 0) return;
  if (dec > 16) dec = 16;
  const double f = std::pow(10.0, dec);
  const double v = std::round(n.d * f + n.d * f * 1e-12) / f;
  char buf[400];
  int w = std::snprintf(buf, sizeof buf, "%.*f", dec, v);
  while (w > len && dec > 0) w = std::snprintf(buf, sizeof buf, "%.*f", --dec, v);
  if (w < 0 || w > len) return ResultText(ctx, std::string(static_cast<size_t>(len), '*'));
  ResultText(ctx, std::string(static_cast<size_t>(len - w), ' ') + buf);
}

// ISNUMERIC: 1 for what converts to some numeric type, currency sign and
// thousands separators included.
void IsNumericText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL || t == SQLITE_BLOB) return sqlite3_result_int(ctx, 0);
  if (IsNumeric(argv[0])) return sqlite3_result_int(ctx, 1);
  std::string s(TextOf(argv[0]));
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return sqlite3_result_int(ctx, 0);
  if (s[i] == '+' || s[i] == '-') ++i;
  if (i < s.size() && s[i] == '$') ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == ',' && !point && digits > 0) {
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D') && digits > 0) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  }
  const bool lone_sign =
      digits == 0 && s.size() == 1 && (s == "+" || s == "-" || s == "$" || s == ".");
  sqlite3_result_int(ctx, i == s.size() && (digits > 0 || lone_sign));
}

}  // namespace q6::sqlite
