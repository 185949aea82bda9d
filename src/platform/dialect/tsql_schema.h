// Calls of the T-SQL compatibility functions, named with their schema.
//
// On PostgreSQL the tsql_* functions live in the schema q6tsql, last on
// every connection's search path. A function of the same name in a schema
// searched before it (a user's public.tsql_charindex) would take the call,
// so every call the rewriter writes names the schema.
#pragma once

#include <string>
#include <string_view>

namespace q6::dialect {

// The schema of the compatibility functions on PostgreSQL.
inline constexpr std::string_view kTsqlSchema = "q6tsql";

// `sql` (PostgreSQL text the rewriter produced) with every call of a
// tsql_* function that names no schema written q6tsql.tsql_*(...). Names
// inside literals, quoted names and comments are left alone.
std::string QualifyTsqlCalls(std::string sql);

}  // namespace q6::dialect
