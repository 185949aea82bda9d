// SQLite: x op ANY | SOME | ALL (subquery), which it does not parse, as an
// aggregate over the subquery's rows, with SQL Server's three-valued answer.
//
// Each row's comparison is 1, 0 or NULL (unknown), counted as 0.5, so that
// one aggregate of one comparison tells all three answers apart:
//   x > ALL (S): the least of them; no rows: TRUE; 0: FALSE; 0.5: UNKNOWN
//   x > ANY (S): the greatest;      no rows: FALSE; 1: TRUE; 0.5: UNKNOWN
// and the result compared with 1 is the predicate, TRUE, FALSE or NULL, so
// that NOT and OR around it keep SQL Server's meaning:
//   x > ALL (S)
//   -> (SELECT CASE WHEN q6_m IS NULL THEN 1 WHEN q6_m = 0.5 THEN NULL
//       ELSE q6_m END FROM (SELECT min(coalesce((x > q6_v), 0.5)) AS q6_m
//       FROM (S) AS q6_s (q6_v)) AS q6_a) = 1
// The text is T-SQL again, translated by every other rule after: x > q6_v
// compares as any comparison of x with the subquery's column does (without
// case and trailing blanks, dates by moment, exact decimals exactly), x is
// written once (its literals stay where they were), and the column list
// names the subquery's one column. = ANY and <> ALL are IN and NOT IN
// (statement_forms.cpp), which SQLite has.
#include <string>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {

bool RewriteQuantifiedAggregates(EditableSql* s) {
  if (!s->HasWord("any") && !s->HasWord("some") && !s->HasWord("all")) return false;
  thread_local Operands ops;
  bool ops_ready = false;
  bool edited = false;
  for (size_t open = s->NextSig(kNone); open != kNone; open = s->NextSig(open)) {
    if (!s->IsPunct(open, '(') || !s->IsWord(s->NextSig(open), "select")) continue;
    const size_t word = s->PrevSig(open);
    const bool all = s->IsWord(word, "all");
    if (!all && !s->IsWord(word, "any") && !s->IsWord(word, "some")) continue;
    size_t op_first;
    const int op = ComparisonBefore(*s, s->PrevSig(word), &op_first);
    if (op == 0 || (op == 1 && !all) || (op == 2 && all)) continue;  // IN, NOT IN, or none
    if (!ops_ready) {
      ops.Reset(*s);
      ops_ready = true;
    }
    const size_t x = ops.StartBefore(op_first, true);
    if (x == kNone) continue;
    s->Edit(x).before += std::string("(SELECT CASE WHEN q6_m IS NULL THEN ") + (all ? "1" : "0") +
                         " WHEN q6_m = 0.5 THEN NULL ELSE q6_m END FROM (SELECT " +
                         (all ? "min" : "max") + "(coalesce((";
    s->Edit(word).drop = true;
    s->Edit(word).before += "q6_v), 0.5)) AS q6_m FROM ";
    s->Edit(s->Match(open)).after += " AS q6_s (q6_v)) AS q6_a) = 1";
    edited = true;
  }
  return edited;
}

}  // namespace q6::dialect
