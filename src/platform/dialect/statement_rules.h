// Rewrites that give whole T-SQL statements SQL Server's meaning on each
// engine: orders, row limits, set operations, subqueries, common table
// expressions, grouping, joins and the statements that change rows. Each
// rule lives in a file of its concern; Translate (dialect.cpp) runs them in
// the order declared here, after the select and expression rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// The name of a construct that `engine` cannot be given SQL Server's meaning
// for, or nullptr: "CROSS APPLY", "GROUP BY ROLLUP", "TOP n WITH TIES", ...
// Such a statement is sent as SELECT tsql_unsupported('<name>'), which
// fails with "<name> is not supported on <engine>".
const char* RefusedOnEngine(const EditableSql& sql, Engine engine);

// Whether tokens a and b are the same name: the same kind and the same text
// but for ASCII case, as the rules compare column, alias and CTE names.
inline bool SameName(const EditableSql& s, size_t a, size_t b) {
  if (s.Kind(a) != s.Kind(b)) return false;
  const std::string_view x = s.Text(a), y = s.Text(b);
  if (x.size() != y.size()) return false;
  for (size_t k = 0; k < x.size(); ++k)
    if ((x[k] | 0x20) != (y[k] | 0x20)) return false;
  return true;
}

// Whether the significant tokens [first, last] and [first2, last2] are the
// same, but for the case of names (grouping_sets.cpp).
bool SameTokens(const EditableSql& sql, size_t first, size_t last, size_t first2, size_t last2);

class Operands;

// An item of a select list: its expression [first, last] and its alias's
// token (kNone when it has none).
struct SelectItem {
  size_t first = kNone, last = kNone, alias = kNone;
};

// The items of the select list of `select`, in order (order_rules.cpp); a
// `*` or `t.*` is an item ending in the `*`, without alias.
void ListItems(const EditableSql& sql, const Operands& ops, size_t select,
               std::vector<SelectItem>* items);

// The item of the select list of `select` that the ORDER BY term at `term`
// stands for (order_rules.cpp): an aliased item (`expr AS name`, `expr
// name`) when the term is one name, the n-th item when it is the number n.
// kNone in first when there is none (a name that is then a column of the
// tables) or, for a number, a `*` comes before its item (StarColumns tells
// what stands there).
SelectItem ItemOfTerm(const EditableSql& sql, const Operands& ops, size_t select, size_t term);

// What the result column that the ORDER BY term at `term` (a position or a
// name) names stands for in the list of `select` (order_rules.cpp): an item
// of the list (ItemOfTerm), else a column a `*` there stands for
// (StarColumns). A position whose column cannot be told, or whose name the
// star gives twice, has the name of that construct in `refusal`.
struct TermColumn {
  SelectItem item;                 // first kNone when it is no item
  std::optional<StarColumn> star;  // else the column a `*` stands for
  const char* refusal = nullptr;   // a position that cannot be ordered as written
};
TermColumn ColumnOfTerm(const EditableSql& sql, const Operands& ops, size_t select, size_t term);

// `name` (unquoted) as a quoted identifier: "name", a " in it doubled.
std::string QuotedIdentifier(std::string_view name);

// Whether tokens [first, last] are a plain column: name or t.name.
bool IsColumnTerm(const EditableSql& sql, const Operands& ops, size_t first, size_t last);

// Orders and row limits (order_rules.cpp):
// - PostgreSQL: every ORDER BY term (statement, window, set operation)
//   without NULLS gets NULLS FIRST when ascending and NULLS LAST when
//   descending, as SQL Server sorts NULL below every value.
// - PostgreSQL: in a window's ORDER BY, and in a select's own without
//   DISTINCT, GROUP BY or set operation, a term that another term follows
//   (every term in a window or under TOP .. WITH TIES) is ordered by its
//   key, so that values differing in trailing blanks only tie and the next
//   term decides: tsql_key(column) for a column, tsql_fold(expression) for
//   an expression; a term naming a select-list item by alias or position
//   is replaced by that item's key. Window PARTITION BY terms likewise.
// - SQLite: an ORDER BY term naming a text expression's item by alias or
//   position, and a PARTITION BY term of an expression, get COLLATE NOCASE.
// - OFFSET n ROWS [FETCH NEXT|FIRST m ROWS ONLY] -> LIMIT (m) OFFSET (n)
//   (LIMIT -1 / ALL without FETCH), on both engines.
// - PostgreSQL: TOP (n) WITH TIES -> FETCH FIRST (n) ROWS WITH TIES behind
//   the ORDER BY.
void RewriteOrders(EditableSql* sql, Engine engine);

// Set operations (set_operations.cpp): each item of a member of a UNION,
// EXCEPT or INTERSECT that removes duplicates compares without case and
// trailing blanks, as DISTINCT does (RewriteTsqlOperators): SQLite gives a
// literal or expression COLLATE NOCASE; PostgreSQL compares a literal or a
// text function result as rtrim(..)::citext, and a plain column as
// tsql_key(column) under the column's name (ORDER BY terms naming it are
// quoted to match).
void RewriteSetOperations(EditableSql* sql, Engine engine);

// Scalar subqueries (scalar_subqueries.cpp). SQLite takes the first row of
// a subquery used as a value; SQL Server raises error 512 when it has more
// than one. (SELECT x FROM ...) becomes
// (SELECT tsql_single(count(*), min(q6_v)) FROM (SELECT x AS q6_v FROM ...
// LIMIT 2)), which raises that error. PostgreSQL raises its own error.
void RewriteScalarSubqueries(EditableSql* sql, Engine engine);

// PostgreSQL (quantified_subqueries.cpp): x [NOT] IN (subquery) and
// x op ANY|SOME|ALL (subquery) compare without case and trailing blanks:
// [NOT] IN (= ANY, <> ALL) keeps the plain operator with both sides keyed
// (a plain column as tsql_key(column)), op -> ^op otherwise; an operand (x,
// or the subquery's item) that is no plain column or number is folded to
// citext without trailing blanks when text.
void RewriteQuantifiedSubqueries(EditableSql* sql, Engine engine);

// SQLite, before every other rule (quantified_aggregates.cpp): x op ANY |
// SOME | ALL (subquery) for op other than = ANY and <> ALL becomes an
// aggregate of the comparison over the subquery's rows, compared with 1,
// written in T-SQL for the other rules to translate. True when the text
// changed: it is then rendered and parsed again.
bool RewriteQuantifiedAggregates(EditableSql* sql);

// The comparison operator that ends at token i (= <> != < <= > >=): its
// first token in `first`, and whether it is = (1), <> or != (2) or another
// (3); 0 when none, or i is kNone (statement_forms.cpp).
int ComparisonBefore(const EditableSql& sql, size_t i, size_t* first);

// SQLite, before every other rule (ties_as_ranks.cpp): SELECT TOP (n) WITH
// TIES .. ORDER BY keys keeps its first rows by a count of the rows ranked
// n or better (FETCH NEXT (SELECT count(*) FROM (SELECT RANK() OVER (ORDER
// BY keys) ..) ..) ROWS ONLY), written in T-SQL; a form it cannot say is
// left to the refusal. True when the text changed (FROM and keys are then
// written twice).
bool RewriteTiesAsRanks(EditableSql* sql);

// SQLite, before every other rule (grouping_sets.cpp): a select whose GROUP
// BY has ROLLUP, CUBE, GROUPING SETS or WITH ROLLUP | CUBE becomes SELECT *
// FROM (one grouped select per grouping set, joined by UNION ALL) AS q6_grp
// with the select's TOP and ORDER BY outside; a grouping column outside a
// set reads NULL and GROUPING() / GROUPING_ID() are constants. Written in
// T-SQL; a form it cannot say is left to the refusal. True when the text
// changed (the FROM clause is then written once per set).
bool RewriteGroupingSets(EditableSql* sql);

// SQLite, before every other rule (apply_joins.cpp): CROSS | OUTER APPLY
// of a derived table over one table becomes a [LEFT] JOIN to the rows whose
// rowid the same select picks; of a select of aggregates (one row), the
// APPLY goes and each alias.name reads the item's subquery. Written in
// T-SQL; a form it cannot say is left to the refusal. True when the text
// changed (parts of it are then written twice).
bool RewriteApplies(EditableSql* sql);

// PostgreSQL (grouping_sets.cpp): GROUPING_ID(a, b, ..) -> GROUPING(a, b,
// ..), which gives the same bits there.
void RewriteGroupingIds(EditableSql* sql, Engine engine);

// Common table expressions (recursive_ctes.cpp): WITH whose CTE refers to
// itself becomes WITH RECURSIVE; its recursion is counted in a hidden level
// column and stops with error 530 past 100 levels or past the n of
// OPTION (MAXRECURSION n) (0: no limit); the OPTION clause goes.
void RewriteCommonTableExpressions(EditableSql* sql, Engine engine);

// Grouping, joins, derived tables and changing statements
// (statement_forms.cpp):
// - PostgreSQL: GROUP BY a, b WITH ROLLUP / WITH CUBE -> GROUP BY ROLLUP (a, b).
// - PostgreSQL: CROSS APPLY x -> CROSS JOIN LATERAL x; OUTER APPLY x ->
//   LEFT JOIN LATERAL x ON true.
// - SQLite: (subquery) AS t (a, b) -> (WITH t (a, b) AS (subquery) SELECT *
//   FROM t) AS t.
// - x op ANY|SOME|ALL (subquery) on SQLite: = ANY becomes IN, <> ALL NOT IN.
// - UPDATE a SET a.c = .. FROM t a JOIN u b ON cond [WHERE w] ->
//   UPDATE t AS a SET c = .. FROM u b WHERE (cond) [AND (w)];
//   DELETE a FROM t a JOIN u b ON cond [WHERE w] ->
//   DELETE FROM t AS a WHERE EXISTS (SELECT 1 FROM u b WHERE (cond) [AND (w)]).
// - UPDATE TOP (n) t SET .. [WHERE w] / DELETE TOP (n) [FROM] t [WHERE w]
//   -> .. WHERE key IN (SELECT key FROM t [WHERE w] LIMIT (n)), key being
//   rowid on SQLite, ctid on PostgreSQL (SQL Server picks any n rows too);
//   with a FROM of their own they are refused (RefusedOnEngine).
void RewriteStatementForms(EditableSql* sql, Engine engine);

// PostgreSQL (grouping_keys.cpp): GROUP BY and DISTINCT of plain columns
// ignore trailing blanks: a grouped column becomes tsql_key(column) in GROUP
// BY and as a select-list item (under its own name), and its other uses
// outside an aggregate (expressions, HAVING, ORDER BY) read tsql_key(column)
// too (for DISTINCT, such a use leaves the select as it is). GROUP BY of an
// expression groups by tsql_fold(expression), its repetitions in the select
// list, HAVING and ORDER BY likewise.
void RewriteGroupingKeys(EditableSql* sql, Engine engine);

// The ORDER BY of a set operation (set_orders.cpp), after the result
// names are written:
// - PostgreSQL, which takes result names and positions only there: the set
//   operation becomes a derived table ordered outside by its terms' keys,
//   as a select's own ORDER BY is (RewriteOrders): .. UNION ALL .. ORDER BY
//   n, 2 -> SELECT * FROM (.. UNION ALL ..) AS q6_set ORDER BY tsql_key(n),
//   tsql_fold(<the second item's name>); an item ordered by position that
//   has no name gets one.
// - SQLite: a term naming an item that is no plain column gets COLLATE
//   NOCASE.
void RewriteSetOrders(EditableSql* sql, Engine engine);

// The first token of the set operation whose ORDER BY is at `order` (its
// first member's SELECT, or the parenthesis opening that member); kNone
// when that ORDER BY orders no set operation (set_operations.cpp).
size_t SetOperationStart(const EditableSql& sql, size_t order);

// CREATE INDEX (keyed_indexes.cpp): CLUSTERED and NONCLUSTERED go; on
// PostgreSQL, CALL q6tsql.tsql_key_index('<name>') follows (appended), which
// adds an index of the keys (tsql_key(column)) when the index has a citext
// column, for x IN (subquery) and joins to look keys up in, unique when the
// index is. CREATE TABLE and ALTER TABLE .. ADD with a PRIMARY KEY or UNIQUE
// get CALL q6tsql.tsql_key_constraints('<table>') the same way, which does
// that for each unique index of the table. DROP INDEX ix ON t / t.ix.
void RewriteIndexDefinitions(EditableSql* sql, Engine engine);

// Result names (result_names.cpp): an item of the outermost select list
// that is a plain column comes back under its name as written (both engines
// would give the name the table declares): CustID -> CustID AS "CustID"; on
// PostgreSQL an unquoted alias is quoted as written too (x AS CustID -> x AS
// "CustID"), where it would fold it to lower case; an ORDER BY term naming
// such an item is quoted the same way. Names that are keywords of an engine
// (limit, offset, raise, ...) are quoted for it where a name stands.
void RewriteResultNames(EditableSql* sql, Engine engine);

// ORDER BY terms at depth 0 that name one of the result columns whose name
// tokens are `named` (given their names as written, quoted) are quoted the
// same way (result_names.cpp).
void QuoteOrderTerms(EditableSql* sql, const std::vector<size_t>& named);

// The name an expression without alias at tokens [first, last] comes back
// under: its text as written, quoted ("sum(x)") (result_names.cpp).
std::string WrittenName(const EditableSql& sql, size_t first, size_t last);

// Helpers of these rules (statement_forms.cpp). They run after the
// expression rules, so they read tokens with the edits made so far.
// Tokens [first, last] as rendered now; empty for kNone.
std::string Rendered(const EditableSql& sql, size_t first, size_t last);
// Tokens [first, last] are left out, with every text edits put around them.
void EraseRange(EditableSql* sql, size_t first, size_t last);

}  // namespace q6::dialect
