// Bytes as bytes: T-SQL's 0x... literals and binary column types, written as
// each engine keeps bytes (SQLite BLOB, PostgreSQL bytea).
#pragma once

#include <cstddef>

#include "platform/dialect/dialect.h"
#include "platform/dialect/editable_sql.h"

namespace q6::dialect {

// 0xFF00 -> X'FF00' (SQLite), '\xFF00'::bytea (PostgreSQL); 0x alone is no
// bytes. Runs after the other rules: the tokenizer reads 0xFF00 as the
// number 0 glued to the word xFF00, and what they put around either token
// stays in place.
void RewriteBinaryLiterals(EditableSql* sql, Engine engine);

// When the type at token `type` of a column definition is binary(n),
// varbinary(n | max) or image, rewrites it (SQLite BLOB, PostgreSQL bytea)
// and returns true.
bool RewriteBinaryType(EditableSql* sql, size_t type, Engine engine);

}  // namespace q6::dialect
