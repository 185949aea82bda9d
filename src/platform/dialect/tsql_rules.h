// Rewrites that give T-SQL constructs SQL Server's meaning on each engine.
//
// The rewrites are syntax only: a construct becomes a call of a function
// named tsql_* (or an operator) whose semantics each engine's driver
// supplies (SQLite: functions registered on every connection; PostgreSQL:
// the compatibility schema). Nothing here knows column types; whatever
// depends on them is decided by the engine, on the values.
#pragma once

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// Function calls and conversions:
// - The calls of the registry of T-SQL functions (platform/tsql/functions.h)
//   become tsql_<name> on the engines that have the function: CHARINDEX,
//   PATINDEX, REPLACE, REPLICATE, SPACE, STUFF, SUBSTRING (with commas),
//   STR, ISNUMERIC, ROUND, YEAR, MONTH, DAY; on SQLite also REVERSE,
//   CEILING, FLOOR, SIGN, POWER, SQRT (PostgreSQL's own functions already
//   mean the same).
// - DATEADD, DATEDIFF, DATEPART, DATENAME become tsql_<name> with the date
//   part written as a string: dateadd(dd, 1, d) -> tsql_dateadd('dd', 1, d).
// - CAST(x AS type) and CONVERT(type, x[, style]) to the integer types,
//   decimal/numeric(p,s), money, float/real, bit, (n)char/(n)varchar(n|max),
//   datetime/smalldatetime/date/time become tsql_int(x,'int'),
//   tsql_decimal(x,p,s), tsql_float(x), tsql_bit(x), tsql_varchar(x,n),
//   tsql_char(x,n), tsql_datetime(x[,style]), ...; a style with a character
//   target becomes tsql_convert_text(x,n,style). Other types are left alone.
// - IIF(c, a, b) becomes CASE WHEN (c) THEN (a) ELSE (b) END.
void RewriteTsqlCalls(EditableSql* sql, Engine engine);

// Operators:
// - SQLite: every binary + and - becomes tsql_add / tsql_sub (the engine
//   decides between addition, concatenation and date arithmetic); int
//   literal arithmetic keeps the engine's operators, each step checked by
//   tsql_int(.., 'int') (error 8115 past int's range).
// - SQLite: a plain column compared with a number literal, c op n, becomes
//   (c op n AND NOT tsql_is_varchar(c) OR c >= '' AND tsql_int(c, 'int') op n)
//   (tsql_float(c) for a number that is no int): varchar values convert to
//   the number's type as SQL Server converts them (error 245), and an index
//   on a number column still serves. On PostgreSQL the compatibility
//   schema's operators of text beside integer and numeric do the same.
// - PostgreSQL: a scalar subquery compared with anything goes through
//   tsql_fold (text as citext without trailing blanks, other types as they
//   are) and the comparison takes the schema's operator (a ^= b, ...).
// - Both: a date literal compared with something ('2024-02-29',
//   '20240229', '2024-02-29T10:00:00') is written so that it also matches
//   dates stored as 'YYYY-MM-DD HH:MM:SS' text: x = '2024-02-29' becomes
//   x IN ('2024-02-29','2024-02-29 00:00:00'), x <= '2024-02-29' compares
//   with the midnight form, and so on, also in BETWEEN.
// - SQLite: a string literal or text function result compared with anything
//   but a plain column gets COLLATE NOCASE (the driver's NOCASE ignores case
//   and trailing blanks); a plain column keeps its own collation.
//   ORDER BY and GROUP BY terms and DISTINCT select-list items and
//   aggregate arguments other than plain columns, positions and numbers get
//   COLLATE NOCASE as well (a select-list item without alias keeps its text
//   as written as its name).
//   PostgreSQL: a plain column compared with a literal, a parameter or
//   another plain column (=, <>, <, <=, >, >=, also in IN lists) takes the
//   compatibility schema's operator of the same kind (a ^= b, a ^< b, ..:
//   on citext, trailing blanks do not count); a comparison with a text
//   function result, or of two literals, compares rtrim(..)::citext on both
//   sides; a DISTINCT text function result becomes citext.
// - PostgreSQL: x [NOT] LIKE p [ESCAPE e] becomes x [!]~* tsql_like_regex(p[, e]).
void RewriteTsqlOperators(EditableSql* sql, Engine engine);

// Table definitions: text columns (char, varchar, nchar, nvarchar, text,
// ntext, with or without a length) of CREATE TABLE and ALTER TABLE .. ADD get
// the case-insensitive default of a new SQL Server database: COLLATE NOCASE
// on SQLite, citext on PostgreSQL; a length given becomes a CHECK on the
// length on both. A column with a COLLATE of its own keeps its type.
// Decimal, numeric and money columns are kept exact (exact_columns.h).
void RewriteTsqlTableDefinitions(EditableSql* sql, Engine engine);

// Select lists and names: `alias = expr` and `expr 'alias'` items get AS;
// dbo. and [dbo]. prefixes go.
void RewriteTsqlSelectLists(EditableSql* sql, Engine engine);

// The name of a construct in the statement that cannot be given SQL
// Server's meaning on any engine ("TOP n PERCENT"), or nullptr. Such a
// statement is sent as SELECT tsql_unsupported('<name>'), which fails on
// both engines with a message naming the construct.
const char* RefusedConstruct(const EditableSql& sql);

}  // namespace q6::dialect
