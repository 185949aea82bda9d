// SQLite errors as ComErrors: the one place they are mapped.
#pragma once

#include <string>

struct sqlite3;

namespace q6::sqlite {

// Raises E_FAIL (0x80004005) with the engine's message for result code `rc`
// of `db` (db may be null). The extended code is kept in the text when it
// says more than the message ("database is locked (SQLITE_BUSY_SNAPSHOT)").
[[noreturn]] void ThrowError(sqlite3* db, int rc, const std::string& context = "");

}  // namespace q6::sqlite
