// The registry of T-SQL functions: one entry per function that a statement
// reaches on an engine under a tsql_* name, or that takes the place of an
// engine's own function, with everything each layer needs of it. From this
// one table come:
// - the calls the rewriter renames and how (dialect/tsql_calls.cpp), the
//   rule words (dialect/sql_words.h) and the classes of number and text
//   results the operator rules go by (tsql_arithmetic.cpp,
//   tsql_operators.cpp);
// - the functions a SQLite connection registers, once per argument count
//   from min_args to max_args: those that replace SQLite's own when it
//   opens, the others when a statement first names them
//   (drivers/sqlite/sqlite_functions.h, sqlite_extensions.h);
// - the PostgreSQL compatibility schema (drivers/postgres/tsql_compat.h): a
//   shared preamble of helpers and operators, then every entry's `postgres`
//   text, versioned by a hash of the whole script.
//
// A new function is one entry here, plus its C implementation in the SQLite
// driver's file of its concern (sqlite_text_functions.cpp, ...) when SQLite
// needs one, plus a conformance case for it. The table's rules are checked
// at compile time, at the end of this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

struct sqlite3_context;
struct sqlite3_value;

namespace q6::sqlite {

// A function as sqlite3_create_function calls it (also an aggregate's step).
using TsqlImpl = void(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// An aggregate's final step.
using TsqlFinal = void(sqlite3_context* ctx);

// The SQLite implementations, defined in the driver's files by concern.
// sqlite_arithmetic.cpp: operators, aggregates and the stored form of
// decimals (sqlite_exact.h).
TsqlImpl Add, Sub, Mul, Div, Mod, IsVarchar, NullIf, SumStep, AvgStep, TotalInverse, Store,
    NeedsStore, ToDecimal, ToMoney;
TsqlFinal SumFinal, AvgFinal, SumValue, AvgValue;
// sqlite_functions.cpp: numbers, strings that keep their case, and the
// statement rules' checks (a scalar subquery's single value, recursion depth).
TsqlImpl Unsupported, Single, Recursion, Round, Ceiling, Floor, Sign, Power, Sqrt, Substring,
    Replicate, Reverse, Stuff;
// sqlite_text_functions.cpp: text compared without case.
TsqlImpl Upper, Lower, LikeFn, CharIndex, PatIndex, Replace;
// sqlite_conversion_functions.cpp
TsqlImpl ToInt, ToFloat, ToBit, ToVarchar, ToChar, ConvertText, Str, IsNumericText, Try;
// sqlite_more_functions.cpp: functions of SQL Server 2012 to 2017.
TsqlImpl Concat, ConcatWs, Choose, QuoteName, FirstCode, Translate, EoMonth, DateFromParts, IsDate,
    TrimChars, Chr, NChar, DataLength;
// sqlite_format.cpp
TsqlImpl Format;
// sqlite_string_agg.cpp
TsqlImpl StringAggStep;
TsqlFinal StringAggFinal;
// sqlite_date_store.cpp: date columns' stored form and GETDATE() as a date.
TsqlImpl DateStore, NeedsDateStore, Now;
// sqlite_date_functions.cpp
TsqlImpl ToDateTime, ToSmallDateTime, ToDateTime2, ToDate, ToTime, DateAdd, DateDiff,
    DatePartOfDate, DateName, Year, Month, Day;

}  // namespace q6::sqlite

namespace q6::tsql {

// How the rewriter treats a call of the function.
enum class Call : uint8_t {
  kRename,      // NAME(..) becomes tsql_name(..)
  kDatePart,    // as kRename, and a date part word first is written as a
                // string: DATEADD(dd, 1, d) -> tsql_dateadd('dd', 1, d)
  kWithCommas,  // as kRename when the arguments are separated by commas
                // (SUBSTRING(x FROM 2) is standard SQL and stays)
  kWritten,     // T-SQL has no such name: other rewrites write tsql_name
                // (CAST, CONVERT, + and -, a refused construct)
  kBuiltin,     // keeps its name: takes the place of SQLite's own function
};

// The engines that have the function. On an engine without it, a renamed
// call stays as it is: that engine's own function means the same.
enum class Engines : uint8_t { kBoth, kSqliteOnly };

// The result, as far as the rewrite rules need to know it.
enum class Result : uint8_t {
  kInteger,  // a whole number, whatever the arguments
  kNumber,   // a number (its type may follow the argument's: ROUND of an int)
  kText,     // text, which compares without case
  kDate,     // a date or time, as text in the stored form
  kVaries,   // a number, a text or a date, depending on the arguments' values
  kNone,     // nothing: the function always raises its error
};

struct Function {
  std::string_view name;  // lower case; the engine function is tsql_<name>,
                          // or <name> itself for kBuiltin
  int8_t min_args;
  int8_t max_args;
  Call call;
  Engines engines;
  Result result;
  sqlite::TsqlImpl* sqlite;
  // The statements that create q6tsql.tsql_<name> (every overload of it) on
  // PostgreSQL; they may use the helpers of the shared preamble
  // (drivers/postgres/tsql_compat.sql) and the functions of earlier entries.
  // Empty for kSqliteOnly.
  std::string_view postgres;
  // For an aggregate: its final step on SQLite (`sqlite` is its step), and
  // for its use as a window function the current value and the removal of
  // a row.
  sqlite::TsqlFinal* sqlite_final = nullptr;
  sqlite::TsqlFinal* sqlite_value = nullptr;
  sqlite::TsqlImpl* sqlite_inverse = nullptr;
};

// In order: name, min_args, max_args, call, engines, result, SQLite
// implementation, PostgreSQL text. The PostgreSQL texts run in this order.
// clang-format off
inline constexpr Function kFunctions[] = {
    // Operators and refusals: tsql_add and tsql_sub stand for binary + and -
    // on SQLite; tsql_unsupported is what a statement the dialect cannot
    // translate becomes.
    {"add", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Add, {}},
    {"sub", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Sub, {}},
    // * / and %: exact decimals, divide by zero and overflow as errors.
    {"mul", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Mul, {}},
    {"div", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Div, {}},
    {"mod", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Mod, {}},
    // Whether x is text other than the stored form of a decimal: a column
    // compared with a number on SQLite tells its varchar values by it.
    {"is_varchar", 1, 1, Call::kWritten, Engines::kSqliteOnly, Result::kInteger, sqlite::IsVarchar,
     {}},
    // NULLIF compares as = does: text without case and trailing blanks.
    {"nullif", 2, 2, Call::kRename, Engines::kBoth, Result::kVaries, sqlite::NullIf, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_nullif(a anycompatible, b anycompatible)
RETURNS anycompatible LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT nullif(a, b)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_nullif(a text, b text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN rtrim(a)::citext = rtrim(b)::citext THEN NULL ELSE a END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_nullif(a citext, b citext) RETURNS citext
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN rtrim(a)::citext = rtrim(b)::citext THEN NULL ELSE a END';
)sql"},
    // Aggregates: SUM exact on SQLite (PostgreSQL's is); AVG of integers is
    // an integer (cut), of decimals has max(6, s) places (cut).
    {"sum", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kVaries, sqlite::SumStep, {},
     sqlite::SumFinal, sqlite::SumValue, sqlite::TotalInverse},
    {"avg", 1, 1, Call::kRename, Engines::kBoth, Result::kVaries, sqlite::AvgStep, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s bigint[], x bigint) RETURNS bigint[]
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN x IS NULL THEN s ELSE ARRAY[s[1] + x, s[2] + 1] END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s bigint[], x integer) RETURNS bigint[]
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_avg(s, x::bigint)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s bigint[], x smallint) RETURNS bigint[]
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_avg(s, x::bigint)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s bigint[]) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN s[2] > 0 THEN s[1] / s[2] END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s numeric[], x numeric) RETURNS numeric[]
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN x IS NULL THEN s ELSE ARRAY[s[1] + x, s[2] + 1, greatest(s[3], scale(x))] END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_avg(s numeric[]) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN s[2] > 0 THEN trunc(s[1] / s[2], greatest(6, s[3]::int)) END';
CREATE OR REPLACE AGGREGATE q6tsql.tsql_avg(bigint) (SFUNC = q6tsql.tsql_avg, STYPE = bigint[],
  FINALFUNC = q6tsql.tsql_avg, INITCOND = '{0,0}');
CREATE OR REPLACE AGGREGATE q6tsql.tsql_avg(integer) (SFUNC = q6tsql.tsql_avg, STYPE = bigint[],
  FINALFUNC = q6tsql.tsql_avg, INITCOND = '{0,0}');
CREATE OR REPLACE AGGREGATE q6tsql.tsql_avg(smallint) (SFUNC = q6tsql.tsql_avg, STYPE = bigint[],
  FINALFUNC = q6tsql.tsql_avg, INITCOND = '{0,0}');
CREATE OR REPLACE AGGREGATE q6tsql.tsql_avg(numeric) (SFUNC = q6tsql.tsql_avg, STYPE = numeric[],
  FINALFUNC = q6tsql.tsql_avg, INITCOND = '{0,0,0}');
CREATE OR REPLACE AGGREGATE q6tsql.tsql_avg(double precision) (SFUNC = float8_accum,
  STYPE = double precision[], FINALFUNC = float8_avg, INITCOND = '{0,0,0}');
)sql", sqlite::AvgFinal, sqlite::AvgValue, sqlite::TotalInverse},
    // The stored form of decimal_text / money_text columns on SQLite, kept by
    // their triggers (tsql_rules.h).
    {"store", 4, 4, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Store, {}},
    {"needs_store", 4, 4, Call::kWritten, Engines::kSqliteOnly, Result::kInteger, sqlite::NeedsStore, {}},
    // The same for date and time columns (sqlite_date_store.h), and GETDATE().
    {"date_store", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kDate, sqlite::DateStore, {}},
    {"needs_date_store", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kInteger, sqlite::NeedsDateStore, {}},
    {"now", 1, 1, Call::kWritten, Engines::kSqliteOnly, Result::kDate, sqlite::Now, {}},
    {"unsupported", 1, 1, Call::kWritten, Engines::kBoth, Result::kNone, sqlite::Unsupported, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_unsupported(what text) RETURNS integer
LANGUAGE plpgsql AS $$ BEGIN
  RAISE EXCEPTION '% is not supported on PostgreSQL', what USING ERRCODE = '0A000';
END $$;
)sql"},
    // Statement rules (statement_rules.h): a subquery used as a value with
    // more than one row (error 512; PostgreSQL raises its own), and the level
    // of a recursive common table expression's row, error 530 past the limit.
    {"single", 2, 2, Call::kWritten, Engines::kSqliteOnly, Result::kVaries, sqlite::Single, {}},
    {"recursion", 2, 2, Call::kWritten, Engines::kBoth, Result::kInteger, sqlite::Recursion, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_recursion(lim bigint) RETURNS bigint
LANGUAGE plpgsql AS $$ BEGIN
  RAISE EXCEPTION 'The maximum recursion % has been exhausted before statement completion (error 530)',
    lim USING ERRCODE = '54001';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_recursion(lvl bigint, lim bigint) RETURNS bigint
LANGUAGE sql PARALLEL SAFE AS
$$SELECT CASE WHEN lim <= 0 OR lvl <= lim THEN lvl ELSE q6tsql.tsql_recursion(lim) END$$;
)sql"},

    // SQLite's own functions, replaced by ones that fold every letter and
    // read T-SQL's LIKE patterns (sqlite_functions.h).
    {"upper", 1, 1, Call::kBuiltin, Engines::kSqliteOnly, Result::kText, sqlite::Upper, {}},
    {"lower", 1, 1, Call::kBuiltin, Engines::kSqliteOnly, Result::kText, sqlite::Lower, {}},
    {"like", 2, 3, Call::kBuiltin, Engines::kSqliteOnly, Result::kInteger, sqlite::LikeFn, {}},

    // Strings. Searches ignore case, as the default collation does. On
    // PostgreSQL every search is one SQL expression that the planner inlines,
    // so a literal search text is examined once, when the statement is
    // planned: a text of ASCII characters only is found in the text folded by
    // ASCII letters alone ("C" collation), much cheaper than the full Unicode
    // lower(); a text with no ASCII letter at all is found as it is.
    {"charindex", 2, 3, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::CharIndex, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_charindex(f text, s text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f = '' THEN 0
  WHEN octet_length(f) > length(f) THEN strpos(lower(s), lower(f))
  WHEN f COLLATE "C" !~ '[A-Za-z]' THEN strpos(s, f)
  ELSE strpos(lower(s COLLATE "C"), lower(f COLLATE "C")) END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_charindex(f text, s text, st bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f IS NULL OR s IS NULL THEN NULL
  WHEN st <= 1 THEN q6tsql.tsql_charindex(f, s)
  ELSE coalesce(nullif(q6tsql.tsql_charindex(f, substr(s, st::int)), 0) + st - 1, 0) END$$;
)sql"},
    {"patindex", 2, 2, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::PatIndex, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_patindex(p text, s text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  body text;
  m text[];
BEGIN
  IF p IS NULL OR s IS NULL THEN RETURN NULL; END IF;
  body := q6tsql.tsql_like_regex(CASE WHEN left(p, 1) = '%' THEN substr(p, 2) ELSE p END);
  body := substr(body, 2);  -- without its ^
  IF left(p, 1) <> '%' THEN
    RETURN CASE WHEN s ~* ('^' || body) THEN 1 ELSE 0 END;
  END IF;
  m := regexp_match(s, '^(.*?)' || body, 'i');
  RETURN CASE WHEN m IS NULL THEN 0 ELSE length(m[1]) + 1 END;
END $$;
)sql"},
    // PostgreSQL's REPLACE takes the plain, case-exact replace() when that is
    // SQL Server's answer: when f holds no ASCII letter (every match is
    // exact), or when f is ASCII, its matches cannot overlap and no match of f
    // ignoring case is left in the result (a match in another case would have
    // stayed). Otherwise a case-insensitive regular expression does it.
    {"replace", 3, 3, Call::kRename, Engines::kBoth, Result::kText, sqlite::Replace, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_replace(s text, f text, r text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f = '' THEN s
  WHEN octet_length(f) = length(f) AND f COLLATE "C" !~ '[A-Za-z]' THEN replace(s, f, r)
  WHEN octet_length(f) = length(f) AND q6tsql.tsql_unbordered(f)
       AND strpos(lower(replace(s, f, r) COLLATE "C"), lower(f COLLATE "C")) = 0
    THEN replace(s, f, r)
  ELSE regexp_replace(s,
  regexp_replace(f, '([.^$*+?()\[\]{}|\\-])', '\\\1', 'g'), replace(r, '\', '\\'), 'gi') END$$;
)sql"},
    {"replicate", 2, 2, Call::kRename, Engines::kBoth, Result::kText, sqlite::Replicate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_replicate(s text, n bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n >= 0 THEN repeat(s, n::int) END';
)sql"},
    // SPACE(n) is REPLICATE(' ', n) on SQLite.
    {"space", 1, 1, Call::kRename, Engines::kBoth, Result::kText, sqlite::Replicate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_space(n bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n >= 0 THEN repeat('' '', n::int) END';
)sql"},
    {"substring", 3, 3, Call::kWithCommas, Engines::kBoth, Result::kText, sqlite::Substring, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_substring(s text, st bigint, len bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT substr(s, st::int, len::int)';
)sql"},
    {"stuff", 4, 4, Call::kRename, Engines::kBoth, Result::kText, sqlite::Stuff, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_stuff(s text, st bigint, len bigint, r text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN st >= 1 AND st <= length(s) AND len >= 0
 THEN overlay(s placing coalesce(r, '''') from st::int for len::int) END';
)sql"},
    {"reverse", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kText, sqlite::Reverse, {}},

    // Numbers.
    {"round", 2, 3, Call::kRename, Engines::kBoth, Result::kNumber, sqlite::Round, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_round(x numeric, n int, f int DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN f <> 0 THEN trunc(x, n) ELSE round(x, n) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_round(x double precision, n int, f int DEFAULT 0)
RETURNS double precision LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT (CASE WHEN f <> 0 THEN trunc(x::numeric, n) ELSE round(x::numeric, n) END)::double precision';
)sql"},
    {"ceiling", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kNumber, sqlite::Ceiling, {}},
    {"floor", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kNumber, sqlite::Floor, {}},
    {"sign", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kNumber, sqlite::Sign, {}},
    {"power", 2, 2, Call::kRename, Engines::kSqliteOnly, Result::kNumber, sqlite::Power, {}},
    {"sqrt", 1, 1, Call::kRename, Engines::kSqliteOnly, Result::kNumber, sqlite::Sqrt, {}},
    {"isnumeric", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::IsNumericText, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_isnumeric(x text) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN x ~ '^\s*[+-]?\$?(\d[\d,]*(\.\d*)?|\.\d+)([eEdD][+-]?\d*)?\s*$'
  OR btrim(x) IN ('+', '-', '$', '.') THEN 1 ELSE 0 END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_isnumeric(x numeric) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x IS NULL THEN 0 ELSE 1 END';
)sql"},
    {"str", 1, 3, Call::kRename, Engines::kBoth, Result::kText, sqlite::Str, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_str(x double precision, len int DEFAULT 10, decimals int DEFAULT 0)
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  t text;
  d int := least(decimals, 16);
BEGIN
  IF x IS NULL OR len IS NULL OR len <= 0 OR decimals < 0 THEN RETURN NULL; END IF;
  LOOP
    t := round(x::numeric, d)::text;
    EXIT WHEN length(t) <= len OR d = 0;
    d := d - 1;
  END LOOP;
  IF length(t) > len THEN RETURN repeat('*', len); END IF;
  RETURN lpad(t, len);
END $$;
)sql"},

    // Conversions: the targets of CAST and CONVERT (tsql_rules.h).
    {"int", 2, 2, Call::kWritten, Engines::kBoth, Result::kInteger, sqlite::ToInt, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x numeric, t text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE v numeric := trunc(x);
BEGIN
  IF v IS NULL THEN RETURN NULL; END IF;
  IF (t = 'tinyint' AND (v < 0 OR v > 255)) OR (t = 'smallint' AND (v < -32768 OR v > 32767))
     OR (t = 'int' AND (v < -2147483648 OR v > 2147483647))
     OR (v < -9223372036854775808 OR v > 9223372036854775807) THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type %.', t
      USING ERRCODE = '22003';
  END IF;
  RETURN v;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x double precision, t text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_int(x::numeric, t)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x text, t text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF x !~ '^\s*[+-]?\d+\s*$' THEN
    RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type %.', x, t
      USING ERRCODE = '22018';
  END IF;
  RETURN q6tsql.tsql_int(btrim(x)::numeric, t);
END $$;
)sql"},
    {"decimal", 3, 3, Call::kWritten, Engines::kBoth, Result::kNumber, sqlite::ToDecimal, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x numeric, p int, s int) RETURNS numeric
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE v numeric := round(x, s);
BEGIN
  IF abs(v) >= power(10::numeric, p - s) THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting numeric to data type numeric.'
      USING ERRCODE = '22003';
  END IF;
  RETURN v;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x double precision, p int, s int) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_decimal(x::numeric, p, s)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x text, p int, s int) RETURNS numeric
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN q6tsql.tsql_decimal(btrim(x)::numeric, p, s);
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Error converting data type varchar to numeric.' USING ERRCODE = '22018';
END $$;
)sql"},
    // CAST(x AS money | smallmoney): tsql_money(x, 19 | 10), four places.
    {"money", 2, 2, Call::kWritten, Engines::kBoth, Result::kNumber, sqlite::ToMoney, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_money(x numeric, p int) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_decimal(x, p, 4)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_money(x double precision, p int) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_decimal(x, p, 4)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_money(x text, p int) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_decimal(x, p, 4)';
)sql"},
    {"float", 1, 1, Call::kWritten, Engines::kBoth, Result::kNumber, sqlite::ToFloat, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_float(x double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT x';
CREATE OR REPLACE FUNCTION q6tsql.tsql_float(x text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF btrim(x) ~* '(inf|nan)' THEN RAISE invalid_text_representation; END IF;
  RETURN btrim(x)::double precision;
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Error converting data type varchar to float.' USING ERRCODE = '22018';
END $$;
)sql"},
    {"bit", 1, 1, Call::kWritten, Engines::kBoth, Result::kInteger, sqlite::ToBit, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x numeric) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x <> 0 THEN 1 WHEN x = 0 THEN 0 END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x double precision) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x <> 0 THEN 1 WHEN x = 0 THEN 0 END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x text) RETURNS int
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF lower(btrim(x)) IN ('true', 'false') THEN RETURN (lower(btrim(x)) = 'true')::int; END IF;
  RETURN q6tsql.tsql_bit(btrim(x)::numeric);
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type bit.', x
    USING ERRCODE = '22018';
END $$;
)sql"},
    {"varchar", 2, 2, Call::kWritten, Engines::kBoth, Result::kText, sqlite::ToVarchar, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x text, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n < 0 THEN x ELSE left(x, n) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x double precision, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x timestamp, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(q6tsql.tsql_date_text(x), n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x date, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(q6tsql.tsql_date_text(x), n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x time, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(q6tsql.tsql_date_text(x), n)';
)sql"},
    {"char", 2, 2, Call::kWritten, Engines::kBoth, Result::kText, sqlite::ToChar, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x text, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(x, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x timestamp, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(q6tsql.tsql_date_text(x), n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x date, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(q6tsql.tsql_date_text(x), n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x time, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(q6tsql.tsql_date_text(x), n)';
)sql"},
    {"convert_text", 3, 3, Call::kWritten, Engines::kBoth, Result::kText, sqlite::ConvertText, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(d timestamp, n int, style int) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE t text := q6tsql.tsql_style(d, style);
BEGIN
  IF d IS NOT NULL AND t IS NULL THEN
    RAISE EXCEPTION 'CONVERT style % from a date to a character string is not supported on PostgreSQL', style
      USING ERRCODE = '0A000';
  END IF;
  RETURN q6tsql.tsql_varchar(t, n);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(x text, n int, style int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN x ~ '^\s*\d{4}-\d{2}-\d{2}( \d{2}:\d{2}(:\d{2}(\.\d+)?)?)?\s*$'
  THEN q6tsql.tsql_convert_text(q6tsql.tsql_to_ts(x), n, style) ELSE q6tsql.tsql_varchar(x, n) END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(x numeric, n int, style int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_varchar(CASE WHEN scale(x) = 4 AND style = 1
  THEN to_char(round(x, 2), 'FM999,999,999,999,999,990.00') ELSE x::text END, n)$$;
-- A datetime2(digits) or time(digits) value (a column, or a call's text with
-- its own digits): the style's fraction shows the type's digits, read from
-- the text (a timestamp or time keeps six), and a time shows no date.
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(x text, n int, style int, digits int) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  f text := rpad(left(q6tsql.tsql_frac(x), 7), 7, '0');
  t text := q6tsql.tsql_style(date_trunc('second', q6tsql.tsql_to_ts(x)), style);
BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF t IS NULL THEN
    RAISE EXCEPTION 'CONVERT style % from a date to a character string is not supported on PostgreSQL', style
      USING ERRCODE = '0A000';
  END IF;
  IF style IN (14, 114, 21, 121) THEN  -- the milliseconds written for a whole second go
    t := left(t, length(t) - 4)
         || CASE WHEN digits > 0 THEN CASE WHEN style % 100 = 14 THEN ':' ELSE '.' END || left(f, digits)
                 ELSE '' END;
  ELSIF style = 126 AND digits > 0 AND f <> '0000000' THEN
    t := t || '.' || left(f, digits);
  END IF;
  IF btrim(x) ~ '^\d{1,2}:' AND style IN (20, 120, 21, 121, 126) THEN t := substr(t, 12); END IF;
  RETURN q6tsql.tsql_varchar(t, n);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(d timestamp, n int, style int, digits int)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_convert_text(to_char(d, 'YYYY-MM-DD HH24:MI:SS.US'), n, style, digits)$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(t time, n int, style int, digits int)
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_convert_text(to_char(t, 'HH24:MI:SS.US'), n, style, digits)$$;
)sql"},

    // TRY_CAST and TRY_CONVERT: tsql_try(witness, 'int', x, ', ''int''') is
    // tsql_int(x, 'int'), or NULL where that raises a data error. The
    // witness is a NULL of the result type (PostgreSQL's polymorphic result);
    // the last argument is the conversion's other arguments as SQL text,
    // written by the dialect layer.
    {"try", 4, 4, Call::kWritten, Engines::kBoth, Result::kVaries, sqlite::Try, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_try(r anyelement, f text, x anycompatible, extra text)
RETURNS anyelement LANGUAGE plpgsql STABLE AS $$ BEGIN
  EXECUTE format('SELECT q6tsql.tsql_%s($1%s)', f, extra) INTO r USING x;
  RETURN r;
EXCEPTION WHEN data_exception THEN RETURN NULL;
END $$;
)sql"},

    // Dates. Text in the literal forms, timestamps and numbers (days since
    // 1900-01-01) alike; results are text in the stored form
    // 'YYYY-MM-DD HH:MM:SS' (with .fff and finer digits when not zero), so
    // that they compare and sort with the stored dates. datetime rounds to
    // 1/300 s; datetime2(n) and time(n), called with a style and n, to n
    // digits of the text's own (up to seven).
    {"datetime", 1, 2, Call::kWritten, Engines::kBoth, Result::kDate, sqlite::ToDateTime, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT q6tsql.tsql_fmt(q6tsql.tsql_round300(q6tsql.tsql_to_ts(s, style)))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(d timestamp, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_fmt(q6tsql.tsql_round300(d))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(x numeric, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_datetime(timestamp '1900-01-01' + x * interval '1 day')$$;
)sql"},
    {"datetime2", 3, 3, Call::kWritten, Engines::kBoth, Result::kDate, sqlite::ToDateTime2, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime2(s text, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_round_text(s, style, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime2(d timestamp, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_round_text(to_char(d, 'YYYY-MM-DD HH24:MI:SS.US'), 0, n)$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime2(x numeric, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_datetime2(timestamp '1900-01-01' + x * interval '1 day', 0, n)$$;
)sql"},
    {"smalldatetime", 1, 2, Call::kWritten, Engines::kBoth, Result::kDate, sqlite::ToSmallDateTime, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_smalldatetime(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_fmt(date_trunc('minute', q6tsql.tsql_round300(q6tsql.tsql_to_ts(s, style)) + interval '30 seconds'))$$;
)sql"},
    {"date", 1, 2, Call::kWritten, Engines::kBoth, Result::kDate, sqlite::ToDate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_date(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(q6tsql.tsql_to_ts(s, style), 'YYYY-MM-DD')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_date(d timestamp, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(d, 'YYYY-MM-DD')$$;
)sql"},
    {"time", 1, 3, Call::kWritten, Engines::kBoth, Result::kDate, sqlite::ToTime, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_time(s text, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT substr(q6tsql.tsql_round_text(s, style, n), 12)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_time(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_time(s, style, 7)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_time(d timestamp, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_time(to_char(d, 'HH24:MI:SS.US'), 0, n)$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_time(t time, style int, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_time(to_char(t, 'HH24:MI:SS.US'), 0, n)$$;
)sql"},
    {"dateadd", 3, 3, Call::kDatePart, Engines::kBoth, Result::kDate, sqlite::DateAdd, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_dateadd(p text, n bigint, d timestamp) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN q6tsql.tsql_fmt(d + CASE q6tsql.tsql_part('DATEADD', p)
    WHEN 'year' THEN make_interval(years => n::int)
    WHEN 'quarter' THEN make_interval(months => 3 * n::int)
    WHEN 'month' THEN make_interval(months => n::int)
    WHEN 'week' THEN make_interval(days => 7 * n::int)
    WHEN 'hour' THEN n * interval '1 hour'
    WHEN 'minute' THEN n * interval '1 minute'
    WHEN 'second' THEN n * interval '1 second'
    WHEN 'millisecond' THEN n * interval '1 millisecond'
    ELSE make_interval(days => n::int) END);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_dateadd(p text, n bigint, d text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_dateadd(p, n, q6tsql.tsql_to_ts(d))';
)sql"},
    {"datediff", 3, 3, Call::kDatePart, Engines::kBoth, Result::kInteger, sqlite::DateDiff, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE q6tsql.tsql_part('DATEDIFF', p)
    WHEN 'year' THEN extract(year FROM b) - extract(year FROM a)
    WHEN 'quarter' THEN (extract(year FROM b) * 4 + extract(quarter FROM b))
                      - (extract(year FROM a) * 4 + extract(quarter FROM a))
    WHEN 'month' THEN (extract(year FROM b) * 12 + extract(month FROM b))
                    - (extract(year FROM a) * 12 + extract(month FROM a))
    WHEN 'week' THEN floor((b::date - date '1900-01-01' + 1) / 7.0)
                   - floor((a::date - date '1900-01-01' + 1) / 7.0)
    WHEN 'hour' THEN floor(extract(epoch FROM b) / 3600) - floor(extract(epoch FROM a) / 3600)
    WHEN 'minute' THEN floor(extract(epoch FROM b) / 60) - floor(extract(epoch FROM a) / 60)
    WHEN 'second' THEN floor(extract(epoch FROM b)) - floor(extract(epoch FROM a))
    WHEN 'millisecond' THEN floor(extract(epoch FROM b) * 1000) - floor(extract(epoch FROM a) * 1000)
    ELSE b::date - a::date END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a text, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT q6tsql.tsql_datediff(p, q6tsql.tsql_to_ts(a), q6tsql.tsql_to_ts(b))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a timestamp, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datediff(p, a, q6tsql.tsql_to_ts(b))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a text, b timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datediff(p, q6tsql.tsql_to_ts(a), b)';
)sql"},
    {"datepart", 2, 2, Call::kDatePart, Engines::kBoth, Result::kInteger, sqlite::DatePartOfDate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datepart(p text, d timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE q6tsql.tsql_part('DATEPART', p)
    WHEN 'year' THEN extract(year FROM d) WHEN 'quarter' THEN extract(quarter FROM d)
    WHEN 'month' THEN extract(month FROM d) WHEN 'dayofyear' THEN extract(doy FROM d)
    WHEN 'day' THEN extract(day FROM d)
    WHEN 'week' THEN q6tsql.tsql_datediff('week', date_trunc('year', d), d) + 1
    WHEN 'weekday' THEN extract(dow FROM d) + 1
    WHEN 'hour' THEN extract(hour FROM d) WHEN 'minute' THEN extract(minute FROM d)
    WHEN 'second' THEN floor(extract(second FROM d))
    ELSE floor(extract(milliseconds FROM d))::bigint % 1000 END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datepart(p text, d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datepart(p, q6tsql.tsql_to_ts(d))';
)sql"},
    {"datename", 2, 2, Call::kDatePart, Engines::kBoth, Result::kText, sqlite::DateName, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datename(p text, d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE q6tsql.tsql_part('DATENAME', p) WHEN 'month' THEN to_char(d, 'FMMonth')
  WHEN 'weekday' THEN to_char(d, 'FMDay') ELSE q6tsql.tsql_datepart(p, d)::text END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datename(p text, d text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datename(p, q6tsql.tsql_to_ts(d))';
)sql"},
    {"year", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::Year, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_year(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(year FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_year(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(year FROM q6tsql.tsql_to_ts(d))::bigint';
)sql"},
    {"month", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::Month, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_month(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(month FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_month(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(month FROM q6tsql.tsql_to_ts(d))::bigint';
)sql"},
    {"day", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::Day, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_day(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(day FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_day(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(day FROM q6tsql.tsql_to_ts(d))::bigint';

)sql"},

    // SQL Server 2012 to 2017. PostgreSQL's own concat and concat_ws mean
    // the same (NULL counts as nothing).
    {"concat", 2, 32, Call::kRename, Engines::kSqliteOnly, Result::kText, sqlite::Concat, {}},
    {"concat_ws", 3, 32, Call::kRename, Engines::kSqliteOnly, Result::kText, sqlite::ConcatWs, {}},
    // STRING_AGG(x, sep) [WITHIN GROUP (ORDER BY k [DESC], ...)]: SQLite's
    // group_concat has no ORDER BY (before 3.44), so on SQLite the dialect
    // layer writes tsql_string_agg(x, sep, k, 1, ...); PostgreSQL's own
    // string_agg(x::text, sep ORDER BY k DESC, ...) means the same.
    {"string_agg", 2, 32, Call::kWritten, Engines::kSqliteOnly, Result::kText, sqlite::StringAggStep, {},
     sqlite::StringAggFinal},
    // TRIM(chars FROM x), written tsql_trim('both', chars, x) on SQLite;
    // PostgreSQL's own TRIM(chars FROM x) means the same.
    {"trim", 3, 3, Call::kWritten, Engines::kSqliteOnly, Result::kText, sqlite::TrimChars, {}},
    {"choose", 2, 32, Call::kRename, Engines::kBoth, Result::kVaries, sqlite::Choose, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_choose(i bigint, VARIADIC a anycompatiblearray)
RETURNS anycompatible LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT a[i]';
)sql"},
    {"quotename", 1, 2, Call::kRename, Engines::kBoth, Result::kText, sqlite::QuoteName, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_quotename(s text, q text DEFAULT '[') RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN length(s) > 128 THEN NULL
  WHEN q IN ('[', ']') THEN '[' || replace(s, ']', ']]') || ']'
  WHEN q IN ('(', ')') THEN '(' || replace(s, ')', '))') || ')'
  WHEN q IN ('<', '>') THEN '<' || replace(s, '>', '>>') || '>'
  WHEN q IN ('{', '}') THEN '{' || replace(s, '}', '}}') || '}'
  WHEN q IN ('"', '''', '`') THEN q || replace(s, q, q || q) || q END$$;
)sql"},
    {"ascii", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::FirstCode, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_ascii(s text) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT nullif(ascii(s), 0)';
)sql"},
    {"unicode", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::FirstCode, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_unicode(s text) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT nullif(ascii(s), 0)';
)sql"},
    // CHAR(n) and NCHAR(n) as functions: the dialect layer writes tsql_chr
    // and tsql_nchar for a call in an expression (CHAR(10) after AS or in
    // a column definition is the type).
    {"chr", 1, 1, Call::kWritten, Engines::kBoth, Result::kText, sqlite::Chr, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_chr(n bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF n < 0 OR n > 255 THEN RETURN NULL; END IF;
  IF n = 0 OR n > 127 THEN
    RAISE EXCEPTION 'CHAR(%) is not supported', n USING ERRCODE = '0A000';
  END IF;
  RETURN chr(n::int);
END $$;
)sql"},
    {"nchar", 1, 1, Call::kWritten, Engines::kBoth, Result::kText, sqlite::NChar, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_nchar(n bigint) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF n < 0 OR n > 65535 THEN RETURN NULL; END IF;
  IF n = 0 OR n BETWEEN 55296 AND 57343 THEN
    RAISE EXCEPTION 'NCHAR(%) is not supported', n USING ERRCODE = '0A000';
  END IF;
  RETURN chr(n::int);
END $$;
)sql"},
    // DATALENGTH: bytes of binary values, UTF-8 bytes of text (varchar and
    // nvarchar alike, as stored), the size of a date column's type (SQLite:
    // every date type; PostgreSQL: date, where the others reach the function
    // without their digits and are refused); numbers are refused.
    {"datalength", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::DataLength, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT octet_length(x)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x bytea) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT octet_length(x)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x double precision) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RAISE EXCEPTION 'DATALENGTH of a number is not supported' USING ERRCODE = '0A000';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x numeric) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datalength(x::double precision)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RAISE EXCEPTION 'DATALENGTH of a datetime, smalldatetime or datetime2 value is not supported on PostgreSQL'
    USING ERRCODE = '0A000';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x date) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x IS NOT NULL THEN 3 END::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datalength(x time) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RAISE EXCEPTION 'DATALENGTH of a time value is not supported on PostgreSQL' USING ERRCODE = '0A000';
END $$;
)sql"},
    // FORMAT(x, pattern[, culture]): dates with yyyy MM M dd d HH H hh mm ss
    // fff tt and literal text, numbers with N0-N4, P0-P4, #,##0.00 and 0.00,
    // cultures en-US and zh-CN; any other pattern or culture is an error.
    {"format", 2, 3, Call::kRename, Engines::kBoth, Result::kText, sqlite::Format, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_format(d timestamp, p text, c text DEFAULT 'en-US')
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  out text := '';
  i int := 1;
  n int;
  ch text;
  part text;
  e int;
  zh boolean := lower(c) = 'zh-cn';
BEGIN
  IF d IS NULL OR p IS NULL THEN RETURN NULL; END IF;
  IF lower(c) NOT IN ('en-us', 'zh-cn') THEN
    RAISE EXCEPTION 'FORMAT: the culture ''%'' is not supported', c USING ERRCODE = '0A000';
  END IF;
  IF length(p) = 1 THEN
    RAISE EXCEPTION 'FORMAT: the standard format ''%'' is not supported', p USING ERRCODE = '0A000';
  END IF;
  WHILE i <= length(p) LOOP
    ch := substr(p, i, 1);
    IF ch IN ('''', '"') THEN
      e := strpos(substr(p, i + 1), ch);
      IF e = 0 THEN
        RAISE EXCEPTION 'FORMAT: the pattern ''%'' is not supported', p USING ERRCODE = '0A000';
      END IF;
      out := out || substr(p, i + 1, e - 1);
      i := i + e + 1;
    ELSIF ch = '\' AND i < length(p) THEN
      out := out || substr(p, i + 1, 1);
      i := i + 2;
    ELSIF ch COLLATE "C" !~ '^[A-Za-z]$' THEN
      out := out || ch;
      i := i + 1;
    ELSE
      n := 1;
      WHILE substr(p, i + n, 1) = ch COLLATE "C" LOOP n := n + 1; END LOOP;
      part := substr(p, i, n);
      i := i + n;
      out := out || CASE part COLLATE "C"
        WHEN 'yyyy' THEN to_char(d, 'YYYY') WHEN 'MM' THEN to_char(d, 'MM')
        WHEN 'M' THEN to_char(d, 'FMMM') WHEN 'dd' THEN to_char(d, 'DD')
        WHEN 'd' THEN to_char(d, 'FMDD') WHEN 'HH' THEN to_char(d, 'HH24')
        WHEN 'H' THEN to_char(d, 'FMHH24') WHEN 'hh' THEN to_char(d, 'HH12')
        WHEN 'mm' THEN to_char(d, 'MI') WHEN 'ss' THEN to_char(d, 'SS')
        WHEN 'fff' THEN to_char(d, 'MS')
        WHEN 'tt' THEN CASE WHEN extract(hour FROM d) < 12 THEN CASE WHEN zh THEN '上午' ELSE 'AM' END
                            ELSE CASE WHEN zh THEN '下午' ELSE 'PM' END END
        END;
      IF out IS NULL THEN
        RAISE EXCEPTION 'FORMAT: the date part ''%'' is not supported', part USING ERRCODE = '0A000';
      END IF;
    END IF;
  END LOOP;
  RETURN out;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_format(s text, p text, c text DEFAULT 'en-US')
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT q6tsql.tsql_format(q6tsql.tsql_to_ts(s), p, c)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_format(x numeric, p text, c text DEFAULT 'en-US')
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  places int := 2;
  grp boolean := true;
  pct boolean := upper(left(p, 1)) = 'P' AND length(p) <= 2;
  t text;
  ip text;
BEGIN
  IF x IS NULL OR p IS NULL THEN RETURN NULL; END IF;
  IF lower(c) NOT IN ('en-us', 'zh-cn') THEN
    RAISE EXCEPTION 'FORMAT: the culture ''%'' is not supported', c USING ERRCODE = '0A000';
  END IF;
  IF p ~ '^[NnPp][0-4]?$' THEN
    IF length(p) = 2 THEN places := substr(p, 2)::int; END IF;
  ELSIF p = '0.00' THEN
    grp := false;
  ELSIF p <> '#,##0.00' THEN
    RAISE EXCEPTION 'FORMAT: the number format ''%'' is not supported', p USING ERRCODE = '0A000';
  END IF;
  IF pct THEN x := x * 100; END IF;
  x := round(x, places);
  t := abs(x)::text;
  ip := split_part(t, '.', 1);
  IF grp THEN ip := regexp_replace(ip, '(\d)(?=(\d{3})+$)', '\1,', 'g'); END IF;
  t := CASE WHEN x < 0 THEN '-' ELSE '' END || ip
    || CASE WHEN places > 0 THEN '.' || split_part(t, '.', 2) ELSE '' END;
  RETURN t || CASE WHEN NOT pct THEN '' WHEN lower(c) = 'zh-cn' THEN '%' ELSE ' %' END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_format(x double precision, p text, c text DEFAULT 'en-US')
RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_format(x::numeric, p, c)';
)sql"},
    {"translate", 3, 3, Call::kRename, Engines::kBoth, Result::kText, sqlite::Translate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_translate(s text, f text, t text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF length(f) <> length(t) THEN
    RAISE EXCEPTION 'The second and third arguments of the TRANSLATE built-in function must contain an equal number of characters.'
      USING ERRCODE = '22023';
  END IF;
  RETURN translate(s, f, t);
END $$;
)sql"},
    {"eomonth", 1, 2, Call::kRename, Engines::kBoth, Result::kDate, sqlite::EoMonth, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_eomonth(d timestamp, n bigint DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT to_char(date_trunc('month', d) + make_interval(months => n::int + 1) - interval '1 day', 'YYYY-MM-DD')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_eomonth(d text, n bigint DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_eomonth(q6tsql.tsql_to_ts(d), n)';
)sql"},
    {"datefromparts", 3, 3, Call::kRename, Engines::kBoth, Result::kDate, sqlite::DateFromParts, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datefromparts(y bigint, m bigint, d bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(make_date(y::int, m::int, d::int), 'YYYY-MM-DD')$$;
)sql"},
    {"datetimefromparts", 7, 7, Call::kRename, Engines::kBoth, Result::kDate, sqlite::DateFromParts, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetimefromparts(y bigint, m bigint, d bigint, h bigint,
  mi bigint, s bigint, ms bigint) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT q6tsql.tsql_fmt(make_timestamp(y::int, m::int, d::int, h::int, mi::int, s + ms / 1000.0))';
)sql"},
    {"isdate", 1, 1, Call::kRename, Engines::kBoth, Result::kInteger, sqlite::IsDate, R"sql(
CREATE OR REPLACE FUNCTION q6tsql.tsql_isdate(s text) RETURNS int
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE WHEN extract(year FROM q6tsql.tsql_to_ts(s)) >= 1753 THEN 1 ELSE 0 END;
EXCEPTION WHEN others THEN RETURN 0;
END $$;
)sql"},
};
// clang-format on

// The name the engines know the function by: tsql_<name>, or <name> itself
// for kBuiltin.
inline std::string EngineName(const Function& f) {
  return (f.call == Call::kBuiltin ? std::string() : std::string("tsql_")) += f.name;
}

// Whether statements call the function by its own name (which makes it a
// word of the rewrite rules).
constexpr bool CalledByName(const Function& f) { return f.call != Call::kWritten; }

// Whether the rewriter renames calls of the function to tsql_<name>.
constexpr bool Renamed(const Function& f) {
  return f.call == Call::kRename || f.call == Call::kDatePart || f.call == Call::kWithCommas;
}

// Compile-time checks of the table.
namespace check {

// Whether every "FUNCTION q6tsql." in `sql` creates tsql_<name>, and one does.
constexpr bool CreatesOnly(std::string_view sql, std::string_view name) {
  constexpr std::string_view kCreate = "FUNCTION q6tsql.";
  bool any = false;
  for (size_t at = sql.find(kCreate); at != std::string_view::npos;
       at = sql.find(kCreate, at + 1)) {
    const std::string_view rest = sql.substr(at + kCreate.size());
    if (!rest.starts_with("tsql_") || !rest.substr(5).starts_with(name) ||
        !rest.substr(5 + name.size()).starts_with("("))
      return false;
    any = true;
  }
  return any;
}

constexpr bool EntryIsWhole(const Function& f) {
  // A missing SQLite implementation is caught by the link (each entry names
  // its function) and by the registration test; comparing a function's
  // address in a constant expression is refused under the sanitizers.
  if (f.name.empty() || f.min_args < 0 || f.min_args > f.max_args) return false;
  if (f.call == Call::kBuiltin && f.engines != Engines::kSqliteOnly) return false;
  return f.engines == Engines::kBoth ? CreatesOnly(f.postgres, f.name) : f.postgres.empty();
}

constexpr bool AllEntriesWhole() {
  for (const Function& f : kFunctions)
    if (!EntryIsWhole(f)) return false;
  return true;
}

constexpr bool NamesUnique() {
  for (size_t i = 0; i < std::size(kFunctions); ++i)
    for (size_t j = 0; j < i; ++j)
      if (kFunctions[i].name == kFunctions[j].name) return false;
  return true;
}

}  // namespace check

static_assert(check::AllEntriesWhole(),
              "a function without a name, with min_args > max_args, or whose "
              "PostgreSQL text is missing, is there for a SQLite-only function or creates another "
              "function than q6tsql.tsql_<name>");
static_assert(check::NamesUnique(), "a function listed twice");

}  // namespace q6::tsql
