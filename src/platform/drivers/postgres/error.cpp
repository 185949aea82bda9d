// PostgreSQL errors to ComErrors.
//
// The kind is read from the SQLSTATE the server sends with every error:
//   lock_timeout    55P03 lock_not_available (lock_timeout ran out, NOWAIT)
//   deadlock        40P01 deadlock_detected
//   serialization   40001 serialization_failure
//   constraint      class 23 (integrity constraint violation)
//   connection_lost class 08 (connection exception), 57P01..57P03 (the
//                   server shut the session down), and any failure without a
//                   result on a connection libpq reports as broken
//   other           everything else
// PostgreSQL has no busy state of its own: a wait for a lock ends as a lock
// timeout.
#include "platform/drivers/postgres/error.h"

#include <libpq-fe.h>

#include <string>
#include <string_view>

#include "runtime/com_error.h"

namespace q6::postgres {
namespace {

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Whether `conn` is broken. A failure libpq makes up itself (no SQLSTATE)
// can come before libpq has marked the connection bad: a write that failed,
// or a read whose error number it did not recognise. Reading what is left
// on the socket settles it: a server that is gone gives end of file.
bool Broken(pg_conn* conn, bool probe) {
  if (!conn) return false;
  if (probe && PQstatus(conn) != CONNECTION_BAD) PQconsumeInput(conn);
  return PQstatus(conn) == CONNECTION_BAD;
}

// The server's own words in SQL Server's where a stored query tests them: an
// integer overflow (error 8115), a text read as a date column's type (error
// 241, the server's words kept behind); any other message as it is.
std::string SqlServerText(std::string_view sqlstate, std::string_view primary) {
  for (std::string_view type : {"smallint", "integer", "bigint"}) {
    if (primary.size() == type.size() + 13 && primary.starts_with(type) &&
        primary.ends_with(" out of range"))
      return std::string("Arithmetic overflow error converting expression to data type ") +
             (type == "integer" ? "int" : std::string(type)) + ".";
  }
  if ((sqlstate == "22007" || sqlstate == "22008") &&
      (primary.starts_with("invalid input syntax for type") ||
       primary.starts_with("date/time field value out of range")))
    return std::string(
               "Conversion failed when converting date and/or time from character string. (") +
           std::string(primary) + ")";
  return std::string(primary);
}

}  // namespace

ErrorKind KindOf(std::string_view sqlstate, bool connection_broken) {
  if (sqlstate == "55P03") return ErrorKind::kLockTimeout;
  if (sqlstate == "40P01") return ErrorKind::kDeadlock;
  if (sqlstate == "40001") return ErrorKind::kSerialization;
  if (sqlstate.starts_with("23")) return ErrorKind::kConstraint;
  if (sqlstate.starts_with("08") || sqlstate == "57P01" || sqlstate == "57P02" ||
      sqlstate == "57P03")
    return ErrorKind::kConnectionLost;
  return connection_broken ? ErrorKind::kConnectionLost : ErrorKind::kOther;
}

void ThrowError(pg_conn* conn, const pg_result* res, const std::string& context) {
  std::string msg;
  const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  if (primary) {
    msg = SqlServerText(state ? state : "", primary);
  } else {
    msg = TrimEnd(conn ? PQerrorMessage(conn) : "out of memory");
    if (msg.empty()) msg = "the server sent no result";
  }
  if (state) msg += std::string(" (SQLSTATE ") + state + ")";
  if (const char* detail = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL) : nullptr)
    msg += std::string(". ") + detail;
  // A compatibility function or its schema missing (3F000 invalid schema,
  // 42883 undefined function): the connection could not install it, for
  // want of the right to create a schema.
  const std::string_view code = state ? state : "";
  if ((code == "3F000" || code == "42883") && msg.find("q6tsql") != std::string::npos)
    msg +=
        ". The T-SQL compatibility schema q6tsql is missing or outdated and this login may not "
        "create it: run `q6fd upgrade DSN` as the database's owner";
  if (!context.empty()) msg = context + ": " + msg;
  const bool broken = Broken(conn, !state);
  throw ComError(E_FAIL, msg, "PostgreSQL", KindOf(state ? state : "", broken), state ? state : "");
}

void ThrowConnectError(pg_conn* conn, const std::string& described) {
  std::string msg = TrimEnd(conn ? PQerrorMessage(conn) : "out of memory");
  throw ComError(E_FAIL, "Cannot connect to PostgreSQL (" + described + "): " + msg, "PostgreSQL",
                 ErrorKind::kConnectionLost, "");
}

}  // namespace q6::postgres
