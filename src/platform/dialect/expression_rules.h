// Rewrite rules inside expressions: built-in functions, quoted aliases and
// bracketed names.
#pragma once

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// Function calls (a name directly followed by "(", not preceded by "."):
//   left(s,n)   SQLite substr(s,1,n); PostgreSQL unchanged
//   right(s,n)  SQLite substr(s,-(n),n); PostgreSQL unchanged
//   len(x)      length(rtrim(x)) on both (T-SQL does not count trailing blanks)
//   isnull(a,b) SQLite ifnull(a,b); PostgreSQL coalesce(a,b), where a whole
//               number b is written as a quoted literal so that it takes a's
//               type, text or number, as T-SQL converts it
//   getdate()   SQLite tsql_now(0) (a date); PostgreSQL localtimestamp
// A call with the wrong number of arguments is left for the engine to refuse.
//
// Names: AS 'alias' becomes AS "alias"; [name] becomes "name", folded to lower
// case on PostgreSQL (as it folds unquoted names) unless it is an alias
// after AS. A quote inside is doubled as the engines expect. N'text' loses
// its N.
void RewriteExpressions(EditableSql* sql, Engine engine);

}  // namespace q6::dialect
