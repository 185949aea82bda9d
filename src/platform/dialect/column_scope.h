// What a column named in a statement is: a column of a table, or an item of
// a derived table or common table expression (a literal, an aggregate, a
// date function...), found by following the FROM clause of the query the
// name is in, and of the queries around it.
//
// The answers are for the rules that depend on a column's type or its
// collation. Where the statement does not tell (a name that two tables may
// have, a table the schema does not know, no ColumnTypes handed to the
// translation), the answer is "unknown", and rules keep the behaviour they
// have without types.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/dialect/column_types.h"
#include "platform/dialect/editable_sql.h"
#include "platform/dialect/operands.h"

namespace q6::dialect {

// The declared type of the column reference [first, last] (a name,
// possibly qualified): a table's column through the statement's
// ColumnTypes (EditableSql::ReadType, so the answer is recorded with the
// translation), an item of a derived table by what it is built from.
// kUnknown for anything else, including [first, last] that is no plain
// name.
ColumnType ColumnTypeAt(const EditableSql& sql, const Operands& ops, size_t first, size_t last);

// Whether the column reference [first, last] names an item of a derived
// table or common table expression that is no plain column of a table: such
// a value has no collation of its own, so it compares as an expression does
// (case and a date's stored form count unless the rules say otherwise).
// False when unknown.
bool IsExpressionColumn(const EditableSql& sql, const Operands& ops, size_t first, size_t last);

// One of the result columns a `*` of a select list stands for.
struct StarColumn {
  std::string name;         // as PostgreSQL names the result column (unquoted)
  bool expression = false;  // an item of a derived table that is no plain column
  std::string source;       // the alias or table that names its source ("" when none)
};

// PostgreSQL: the result columns that the select list item `*` or `q.*`
// whose `*` is token `star` stands for, in order, appended to `out`: a
// table's or view's columns as the schema lists them (EditableSql::
// ReadColumnNames, so the translation is known to depend on them), a
// derived table's or common table expression's items by their column list,
// alias or plain column's name. False when any of them cannot be told (a
// table the schema does not list, an item named by nothing).
bool StarColumns(const EditableSql& sql, const Operands& ops, size_t star,
                 std::vector<StarColumn>* out);

}  // namespace q6::dialect
