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
//   decimal numeric (p,s)               decimal    NUMERIC(p,s)          NUMERIC(p,s)
//   money / smallmoney                  decimal    NUMERIC(19,4)/(10,4)  NUMERIC(19,4)/(10,4)
//   float / real                        double     REAL                  DOUBLE PRECISION/REAL
//   datetime datetime2 smalldatetime    datetime   VARCHAR(27)           VARCHAR(27)
//     datetimeoffset
//   date / time                         date/time  VARCHAR(10)/(16)      VARCHAR(10)/(16)
//   binary varbinary image              binary     VARCHAR (0x... text)  VARCHAR (0x... text)
//   timestamp rowversion, CLR and user types, sql_variant: not carried.
//
// Date and time values are written as text the way the component writes
// dates, "YYYY-MM-DD HH:MM:SS" (fractions of a second only when not zero).
// Decimals go to the engine as text, so PostgreSQL keeps them exactly;
// SQLite keeps 15 significant digits.
#pragma once

#include <string>

#include "import/table_def.h"
#include "platform/dialect/dialect.h"
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
