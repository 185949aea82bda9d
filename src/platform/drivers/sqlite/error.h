// SQLite errors as ComErrors: the one place they are mapped.
#pragma once

#include <string>

#include "runtime/com_error.h"

struct sqlite3;

namespace q6::sqlite {

// The kind of failure an extended result code stands for (error.cpp lists
// them).
ErrorKind KindOf(int extended_code);

// Raises E_FAIL (0x80004005) with the engine's message for result code `rc`
// of `db` (db may be null), the kind of the failure and the extended result
// code in decimal as its native code. The busy variants are named in the
// text as well ("database is locked (SQLITE_BUSY_SNAPSHOT)").
[[noreturn]] void ThrowError(sqlite3* db, int rc, const std::string& context = "");

}  // namespace q6::sqlite
