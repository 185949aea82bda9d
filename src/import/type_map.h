// SQL Server column types, values and defaults as the engines keep them.
//
// This is the one place that decides what an imported column becomes:
//
//   SQL Server                          kind       SQLite                PostgreSQL
//   char varchar nchar nvarchar text    text       TEXT COLLATE NOCASE   CITEXT
//     ntext sysname uniqueidentifier xml
//     (with a _CS_ collation)           text       TEXT                  TEXT
//   tinyint smallint                    int        SMALLINT              SMALLINT
//   int                                 int        INTEGER               INTEGER
//   bigint                              bigint     BIGINT                BIGINT
//   bit                                 bit        INTEGER (0/1)         INTEGER (0/1)
//   decimal numeric (p,s)               decimal    decimal_text(p,s)     NUMERIC(p,s)
//   money / smallmoney                  decimal    money_text(19,4)/..   NUMERIC(19,4)/(10,4)
//   float / real                        double     REAL                  DOUBLE PRECISION/REAL
//   datetime smalldatetime datetime2    datetime   datetime_text, ...    TIMESTAMP(3)/(0)/(n)
//   date / time                         date/time  date_text/time_text   DATE / TIME(n)
//   datetimeoffset                      datetime   VARCHAR(34)           VARCHAR(34)
//   binary varbinary image              binary     BLOB                  BYTEA
//   timestamp rowversion, CLR and user types, sql_variant: not carried.
//
// Decimal, money and date columns get the types and (on SQLite) the
// triggers of tables made through the data access layer
// (platform/dialect/exact_columns.h), so they hold and compare the same way.
// Date and time values are written as "YYYY-MM-DD HH:MM:SS" with the
// fraction's digits as the script has them (up to seven) when not zero;
// they and decimals go as their text, which the SQLite bulk load puts in the
// column's stored form (rounded to the column's type: datetime to 1/300 s,
// datetime2(n) and time(n) to n digits). Binary values go as bytes.
#pragma once

#include <string>

#include "import/table_def.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/exact_columns.h"
#include "runtime/variant.h"

namespace q6::import {

enum class ValueKind {
  kText,
  kInt,
  kBigInt,
  kBit,
  kDecimal,
  kDouble,
  kDateTime,
  kDate,
  kTime,
  kBinary,
  kNone,  // not carried
};

struct TypeMapping {
  ValueKind kind = ValueKind::kNone;
  std::string sql;   // the engine's column type
  std::string note;  // why the column changes or is dropped; "" when carried as it is
};

TypeMapping MapType(const ColumnDef& column, Engine engine);

// Whether `column` is kept in a stored form (decimal, money, date and time
// types), with its description for the dialect's declared types and
// triggers in `out` (its name as `engine` knows it).
bool StoredColumn(const ColumnDef& column, Engine engine, dialect::ExactColumn* out);

// A value as a script or a bcp file writes it.
struct Literal {
  enum Kind { kNull, kString, kNumber, kBinary };
  Kind kind = kNull;
  std::string text;  // a string's characters, a number's or binary's spelling
};

// `lit` converted for a column of `kind`. False with `*error` when the
// value does not fit the kind (a text that is no number, no date).
bool ToValue(ValueKind kind, const Literal& lit, Variant* out, std::string* error);

// The DEFAULT clause (without the word) for a T-SQL default expression, or
// "" with `*note` saying why it is dropped.
std::string MapDefault(ValueKind kind, const std::string& tsql, Engine engine, std::string* note);

// `name` as an identifier of `engine`: bare when it is a plain word, else
// quoted (lower case on PostgreSQL, which folds bare names to lower case).
std::string SqlName(const std::string& name, Engine engine);

}  // namespace q6::import
