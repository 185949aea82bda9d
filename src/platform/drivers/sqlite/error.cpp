// SQLite result codes to ComErrors.
#include "platform/drivers/sqlite/error.h"

#include <sqlite3.h>

#include "runtime/com_error.h"

namespace q6::sqlite {

void ThrowError(sqlite3* db, int rc, const std::string& context) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int ext = db ? sqlite3_extended_errcode(db) : rc;
  // The busy variants tell a caller whether to retry the whole operation.
  if (ext == SQLITE_BUSY_SNAPSHOT)
    msg += " (SQLITE_BUSY_SNAPSHOT)";
  else if ((ext & 0xff) == SQLITE_BUSY)
    msg += " (SQLITE_BUSY)";
  // "attempt to write a readonly database" also ends a plain read when the
  // journal's shared-memory file cannot be made beside the database.
  else if (ext == SQLITE_READONLY_DIRECTORY)
    msg += " (SQLITE_READONLY_DIRECTORY: the database's folder may not be written)";
  else if (ext == SQLITE_READONLY_CANTINIT)
    msg += " (SQLITE_READONLY_CANTINIT: the database's -shm file may not be written)";
  if (!context.empty()) msg = context + ": " + msg;
  Throw(E_FAIL, msg, "SQLite");
}

}  // namespace q6::sqlite
