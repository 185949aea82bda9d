// PostgreSQL errors as ComErrors: the one place they are mapped.
#pragma once

#include <string>
#include <string_view>

#include "runtime/com_error.h"

struct pg_conn;
struct pg_result;

namespace q6::postgres {

// The kind of failure a SQLSTATE stands for (error.cpp lists them);
// `connection_broken` makes a failure without a telling SQLSTATE a lost
// connection.
ErrorKind KindOf(std::string_view sqlstate, bool connection_broken);

// Raises E_FAIL (0x80004005) with the server's message and its SQLSTATE:
// "relation \"x\" does not exist (SQLSTATE 42P01)", with the kind of the
// failure and the SQLSTATE as its native code. With no result (the
// connection failed), the connection's message is used and the native code
// is empty. A failure without a SQLSTATE is libpq's own: the socket is read
// once more to learn whether the server is gone (then connection_lost).
// A non-empty `context` goes before the message ("context: message").
[[noreturn]] void ThrowError(pg_conn* conn, const pg_result* res, const std::string& context = "");

// Raises E_FAIL of the kind connection_lost for a connection that could not
// be made; the message names the data source without its password.
[[noreturn]] void ThrowConnectError(pg_conn* conn, const std::string& described);

}  // namespace q6::postgres
