// The parts of RewriteTsqlOperators (tsql_rules.h) that live in files of
// their own: arithmetic on SQLite, and date literals in comparisons.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"
#include "platform/dialect/operands.h"

namespace q6::dialect {

// SQLite: every chain of binary + and - becomes nested tsql_add / tsql_sub
// calls (t0 + t1 - t2 -> tsql_sub(tsql_add(t0 , t1) , t2)), unless every
// term is a number whatever the data. `ops` is Reset on `sql`.
void RewriteSums(EditableSql* sql, const Operands& ops);

// Closes a call opened before the operand that ends at token `last`: the
// ")" goes ahead of an alias the select-list rule wrote there first
// (`total = a * 2` -> `tsql_mul(a , 2) AS "total"`).
inline void CloseCall(EditableSql* sql, size_t last) {
  std::string& after = sql->Edit(last).after;
  const size_t alias = after.find(" AS ");
  if (alias == std::string::npos)
    after += ")";
  else
    after.insert(alias, ")");
}

// SQLite: every chain of binary * / % becomes nested tsql_mul / tsql_div /
// tsql_mod calls. Runs before RewriteSums.
void RewriteProducts(EditableSql* sql, const Operands& ops);

// Whether the term [first, last] is a number whatever the data: a numeric
// literal, possibly signed, or a call of a function that returns numbers.
bool IsSurelyNumber(const EditableSql& sql, const Operands& ops, size_t first, size_t last);

// The select-list items from token `first` on (the first item's first
// token) compare without case and trailing blanks, as under DISTINCT: on
// SQLite an item that is neither a plain column nor surely a number gets
// COLLATE NOCASE (an item without alias keeps its text as its name); on
// PostgreSQL a text function result becomes citext without trailing blanks
// and any other expression tsql_fold(expression). With `set_member` (an
// item of a UNION, EXCEPT or INTERSECT member), PostgreSQL also folds
// literals, and both lose their trailing blanks: rtrim(..)::citext; a plain
// column becomes tsql_key(column) under its name, and the name tokens of
// such items at depth 0 without an alias (named as written, quoted) are
// added to `named` when given.
void FoldSelectItems(EditableSql* sql, const Operands& ops, size_t first, bool set_member,
                     Engine engine, std::vector<size_t>* named = nullptr);

// Whether `t` is one or more ASCII digits.
bool IsDigits(std::string_view t);

// Rewrites the date literal at token `lit` ('2024-02-29', '20240229',
// '2024-02-29T10:00:00', ...) compared by `op`, seen from the other operand
// (x op lit): '=', '<', '>', 'l' for <=, 'g' for >=, 'n' for <> and !=.
// [op_first, op_last] are the operator's tokens, or kNone in BETWEEN. With
// = and <> the comparison becomes [NOT] IN (literal, stored forms) and the
// operator's tokens are dropped; otherwise the literal becomes the form that
// orders right against stored text. Returns true when the comparison became
// an IN list; false (nothing changed, or only the literal) otherwise, also
// when `lit` is no valid date literal.
// It reads the literal unwatched: a literal that is a date is never given
// a stand-in, and a stand-in is never a date, so the answer is the same.
// With `collate_items`, the IN list is compared under COLLATE NOCASE
// (SQLite, where the other side is no plain column: the driver's NOCASE
// compares a date column's stored form without its tag).
bool RewriteDateLiteral(EditableSql* sql, size_t lit, char op, size_t op_first, size_t op_last,
                        bool collate_items = false);

// Whether the literal token `text` (quotes included) is one RewriteDateLiteral
// or the rules of date_values.h take.
bool IsDateLiteral(std::string_view text);

}  // namespace q6::dialect
