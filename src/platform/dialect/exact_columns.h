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

// An exact column seen in a definition: its name (unquoted), precision,
// scale, and whether it is money.
struct ExactColumn {
  std::string name;
  int precision = 18;
  int scale = 0;
  bool money = false;
};

// When the type at token `type` is an exact one, rewrites it and returns
// true, with the column in `out`:
// - SQLite: decimal_text(p,s) / money_text(p,s) COLLATE tsql_decimal, text
//   affinity for the stored form of sqlite_exact.h, ordered by value;
// - PostgreSQL: money and smallmoney become numeric(19,4) / numeric(10,4)
//   (the server's own money type depends on the locale), decimal and
//   numeric stay.
bool RewriteExactType(EditableSql* sql, size_t name, size_t type, Engine engine, ExactColumn* out);

// The name at token i, without its quotes or brackets.
std::string NameOf(const EditableSql& sql, size_t i);

// SQLite: the triggers that keep every value of the columns in the stored
// form whatever writes it ("; CREATE TRIGGER ..."), to append to the
// statement that creates or alters table `table` (its name unquoted).
std::string ExactColumnTriggers(const std::string& table, const std::vector<ExactColumn>& cols);

}  // namespace q6::dialect
