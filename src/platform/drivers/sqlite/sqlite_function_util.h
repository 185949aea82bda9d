// Small helpers shared by the T-SQL functions of the SQLite driver: reading
// arguments as SQL Server converts them, and setting results and errors.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/drivers/sqlite/tsql_datetime.h"

namespace q6::sqlite {

// The argument's text (numbers in SQLite's text form); empty for NULL.
inline std::string_view TextOf(sqlite3_value* v) {
  const auto* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return s ? std::string_view(s, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

inline bool IsNumeric(sqlite3_value* v) {
  const int t = sqlite3_value_type(v);
  return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

inline bool AnyNullArg(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// A number read from text as SQL Server converts varchar to a number:
// blanks around allowed, nothing else. `integral` when it has no point or
// exponent and fits 64 bits.
struct Number {
  bool integral = false;
  int64_t i = 0;
  double d = 0;
};
std::optional<Number> ParseNumber(std::string_view text);

// The argument as a number: numbers as they are, text parsed. nullopt for
// text that is not a number (and for blobs).
std::optional<Number> NumberOf(sqlite3_value* v);

// The argument as a number, or false after setting SQL Server's error for
// text that is none: "Error converting data type varchar to <type>.".
bool NumericArg(sqlite3_context* ctx, sqlite3_value* v, Number* out, const char* type = "float");

// The argument as a date: text in the literal forms of ParseDateTime (with
// `style`), a number as days since 1900-01-01 (the fraction is the time).
std::optional<DateTime> DateOf(sqlite3_value* v, int style = 0);

// Results.
inline void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
inline void ResultNumber(sqlite3_context* ctx, const Number& n) {
  if (n.integral)
    sqlite3_result_int64(ctx, n.i);
  else
    sqlite3_result_double(ctx, n.d);
}
inline void ResultError(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

// Three-way comparison of texts as the default collation compares them:
// without case, trailing blanks ignored (sqlite_text_functions.cpp).
int CompareNoCase(std::string_view a, std::string_view b);

// "Conversion failed when converting the varchar value 'x' to data type int."
std::string ConversionFailed(std::string_view text, std::string_view type);
inline constexpr const char* kDateConversionFailed =
    "Conversion failed when converting date and/or time from character string.";

// The byte offset just after the first `chars` characters of UTF-8 `s`
// (s.size() when it has fewer); and its length in characters.
size_t ByteOfChar(std::string_view s, size_t chars);
size_t CharCount(std::string_view s);

}  // namespace q6::sqlite
