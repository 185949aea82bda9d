// PostgreSQL errors as ComErrors: the one place they are mapped.
#pragma once

#include <string>

struct pg_conn;
struct pg_result;

namespace q6::postgres {

// Raises E_FAIL (0x80004005) with the server's message and its SQLSTATE:
// "relation \"x\" does not exist (SQLSTATE 42P01)". With no result (the
// connection failed), the connection's message is used.
// A non-empty `context` goes before the message ("context: message").
[[noreturn]] void ThrowError(pg_conn* conn, const pg_result* res, const std::string& context = "");

// Raises E_FAIL for a connection that could not be made; the message names
// the data source without its password.
[[noreturn]] void ThrowConnectError(pg_conn* conn, const std::string& described);

}  // namespace q6::postgres
