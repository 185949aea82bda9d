// Rewrite rules that work on whole select statements: TOP and table hints.
#pragma once

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// `select top n` / `select top (n)` (also after DISTINCT or ALL) loses its TOP
// and gets " LIMIT n" behind the last token of that select, which is where
// both engines want it: after ORDER BY, inside the parentheses of a nested
// select, before a closing semicolon. TOP with PERCENT or WITH TIES, a TOP
// that is not a plain whole number, and TOP in a member of a UNION, EXCEPT
// or INTERSECT are left alone for the engine to refuse.
//
// Table hints, WITH followed by a parenthesized list of hint keywords only
// (`with(updlock)`, `WITH (UPDLOCK, ROWLOCK)`, `with (nolock)`), are removed.
// On PostgreSQL an UPDLOCK or XLOCK hint of a top-level select that reads one
// table, with no join, aggregate, DISTINCT, GROUP BY, HAVING or window,
// becomes " FOR UPDATE" at its end, after any LIMIT; PostgreSQL refuses
// FOR UPDATE in the other cases, where the hint is just dropped (callers that
// need the read-then-write to be atomic hold their own transaction and lock).
void RewriteSelects(EditableSql* sql, Engine engine);

}  // namespace q6::dialect
