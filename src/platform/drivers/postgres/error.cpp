// PostgreSQL errors to ComErrors.
#include "platform/drivers/postgres/error.h"

#include <libpq-fe.h>

#include "runtime/com_error.h"

namespace q6::postgres {
namespace {

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

void ThrowError(pg_conn* conn, const pg_result* res, const std::string& context) {
  std::string msg;
  const char* primary = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  if (primary) {
    msg = primary;
  } else {
    msg = TrimEnd(conn ? PQerrorMessage(conn) : "out of memory");
    if (msg.empty()) msg = "the server sent no result";
  }
  if (state) msg += std::string(" (SQLSTATE ") + state + ")";
  if (const char* detail = res ? PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL) : nullptr)
    msg += std::string(". ") + detail;
  if (!context.empty()) msg = context + ": " + msg;
  Throw(E_FAIL, msg, "PostgreSQL");
}

void ThrowConnectError(pg_conn* conn, const std::string& described) {
  std::string msg = TrimEnd(conn ? PQerrorMessage(conn) : "out of memory");
  Throw(E_FAIL, "Cannot connect to PostgreSQL (" + described + "): " + msg, "PostgreSQL");
}

}  // namespace q6::postgres
