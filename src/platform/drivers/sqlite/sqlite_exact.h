// Exact decimal numbers on SQLite, which has none of its own.
//
// A decimal, numeric or money value travels in one of two forms:
// - stored, in a column declared through the dialect layer as
//   decimal_text(p,s) / money_text(p,s) (TEXT affinity, COLLATE
//   tsql_decimal): text holding the digits with the column's scale behind a
//   tag character, '\v' for decimal and '\f' for money ("\v425.50"). Both
//   tags are blanks to SQLite's own number parsing, so its built-in
//   functions still read the value; the collation orders such texts by
//   value, and a column's affinity turns a number compared with it into
//   text, so `amount > 100` compares values and can use an index.
// - computed, as the result of arithmetic, SUM, AVG or a CAST: a double
//   whose SQLite subtype carries the scale (and money). A double holds every
//   decimal of up to 15 significant digits exactly (the nearest double reads
//   back as the same decimal), so comparisons with numbers, sorting and the
//   arithmetic of the next step stay exact; a result that does not fit 15
//   significant digits is refused, except a quotient, which is cut to them.
// The subtype reaches the functions a result is passed to directly and the
// reader of a plain select; through a subquery or a sort only the value
// remains (exact, with its scale lost).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace q6::sqlite {

inline constexpr char kDecimalTag = '\v';
inline constexpr char kMoneyTag = '\f';
inline constexpr int kMaxPrecision = 38;
// The most significant digits a computed decimal keeps (in a double).
inline constexpr int kComputedDigits = 15;

// An exact decimal: mantissa * 10^-scale.
struct Exact {
  __extension__ __int128 m = 0;
  int scale = 0;
  bool money = false;
};

// What a value is to the arithmetic: SQL Server's type families.
struct Operand {
  enum Kind { kNull, kInt, kFloat, kDecimal, kText } kind = kNull;
  int64_t i = 0;
  double d = 0;
  Exact x;
  std::string_view text;  // kText: the text; a tagged decimal's digits otherwise
};

Operand Classify(sqlite3_value* v);

// Plain decimal text: digits, an optional sign and point, blanks around.
// With `tagged`, one leading tag character is taken as well (money for
// kMoneyTag). No exponent, at most 38 digits.
std::optional<Exact> ParseExact(std::string_view text);

// "-12.50": the digits with exactly `x.scale` decimals.
std::string FormatExact(const Exact& x);
// The same text written at `out` (room for kExactChars plus x.scale), without
// a terminating NUL; returns its length. A value of a column (scale at most
// kMaxPrecision) takes at most kExactChars.
inline constexpr size_t kExactChars = 44;
size_t WriteExact(const Exact& x, char* out);

// Rounded half away from zero (or cut toward zero) to `scale` decimals;
// false on overflow of 38 digits.
bool Rescale(Exact* x, int scale, bool cut = false);

// The number of digits of |m| (1 for 0).
int DigitCount(__int128 m);

// x as the nearest double.
double ToDouble(const Exact& x);

// The computed form of `x` as the function's result; an error naming the
// limit when it does not fit kComputedDigits significant digits.
void ResultExact(sqlite3_context* ctx, Exact x);

// The stored form of `x` ("\v425.50").
std::string StoredText(const Exact& x);
// The same text written at `out` (room for one more than WriteExact);
// returns its length.
size_t WriteStoredText(const Exact& x, char* out);

// The value's text as CAST(x AS varchar) writes it: a decimal with its
// scale, money with two places, a date column's stored form in its type's
// default style (DefaultDateText); anything else as SQLite's text of it.
std::string ValueText(sqlite3_value* v);

// Whether the value is a decimal in either form.
bool IsExact(sqlite3_value* v);

// Three-way comparison of two exact values.
int CompareExact(Exact a, Exact b);

// The collation tsql_decimal of decimal_text / money_text columns: by
// value; texts that are no number after all numbers, by their bytes.
int CompareDecimalTexts(void*, int na, const void* a, int nb, const void* b);

}  // namespace q6::sqlite
