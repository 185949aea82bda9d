// Columns of exact numbers (decimal, numeric, money, smallmoney) in the
// tables users create through the data access layer, and what keeps them
// exact on each engine: a part of RewriteTsqlTableDefinitions (tsql_rules.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// A column kept in a stored form, seen in a definition: its name
// (unquoted); for an exact one its precision, scale, and whether it is
// money; for a date one its kind (1 datetime, 2 smalldatetime, 3 datetime2,
// 4 date, 5 time, as the SQLite driver's sqlite_date_store.h numbers them;
// 0 for an exact column).
struct ExactColumn {
  std::string name;
  int precision = 18;
  int scale = 0;
  bool money = false;
  int date_kind = 0;
  int digits = 7;  // datetime2(n) and time(n): the fractional digits
};

// The engine's declared type of `c`, as RewriteExactType and
// RewriteDateType write it (and the importer declares it).
Q6FD_INTERNAL std::string StoredColumnType(const ExactColumn& c, Engine engine);

// When the type at token `type` is an exact one, rewrites it and returns
// true, with the column in `out`:
// - SQLite: decimal_text(p,s) / money_text(p,s) COLLATE tsql_decimal, text
//   affinity for the stored form of sqlite_exact.h, ordered by value;
// - PostgreSQL: money and smallmoney become numeric(19,4) / numeric(10,4)
//   (the server's own money type depends on the locale), decimal and
//   numeric stay.
bool RewriteExactType(EditableSql* sql, size_t name, size_t type, Engine engine, ExactColumn* out);

// When the type at token `type` is a date or time one (datetime,
// smalldatetime, datetime2, date, time), rewrites it and returns true, with
// the column in `out` (date_columns.cpp):
// - SQLite: <type>_text COLLATE tsql_date, text affinity for the stored
//   form of the driver's sqlite_date_store.h, compared by moment;
// - PostgreSQL: timestamp(3), timestamp(0), timestamp(n <= 6), date,
//   time(n <= 6).
bool RewriteDateType(EditableSql* sql, size_t name, size_t type, Engine engine, ExactColumn* out);

// The name at token i, without its quotes or brackets.
std::string NameOf(const EditableSql& sql, size_t i);

// SQLite: the triggers that keep every value of the columns (exact and
// date ones) in the stored form whatever writes it ("; CREATE TRIGGER ..."), to append to the
// statement that creates or alters table `table` (its name unquoted).
Q6FD_INTERNAL std::string ExactColumnTriggers(const std::string& table,
                                              const std::vector<ExactColumn>& cols);

// PostgreSQL: the statements that go behind the definition of table
// `table` of `schema` (names unquoted; no schema: the search path's) with the date columns `cols`
// ("; CREATE TRIGGER ...; COMMENT ON COLUMN ..."), "" when none are needed
// (date_columns.cpp):
// - triggers that round what is written into smalldatetime columns to the
//   minute, as SQL Server does (the server's timestamp(0) keeps seconds),
//   and into datetime columns to 1/300 s (made by
//   q6tsql.tsql_tick_trigger, which upgrades also call for older tables;
//   called only for a value off that grid);
// - the declared type of every datetime2 and time column, as the column's
//   comment (TypeRecordOf), since the stored type cannot tell datetime2(3)
//   from datetime nor time(7) from time(6).
Q6FD_INTERNAL std::string PostgresDateStatements(const std::string& table,
                                                 const std::vector<ExactColumn>& cols,
                                                 const std::string& schema = "");

// The type argument of tsql_date_store for a date of kind `date_kind`
// (ExactColumn::date_kind) with `digits` fractional digits: the kind, plus
// 8 * (digits + 1) for datetime2 and time (the driver's DateTypeCode in
// sqlite_date_store.h).
int DateStoreCode(int date_kind, int digits);

// The name at token i as PostgreSQL knows it: a bare name in lower case.
std::string PostgresNameOf(const EditableSql& sql, size_t i);

}  // namespace q6::dialect
