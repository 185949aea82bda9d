// SQLite result codes to ComErrors.
#include "platform/drivers/sqlite/error.h"

#include <sqlite3.h>

#include "frame/runtime/com_error.h"

namespace q6::sqlite {

void ThrowError(sqlite3* db, int rc, const std::string& context) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int ext = db ? sqlite3_extended_errcode(db) : rc;
  // The busy variants tell a caller whether to retry the whole operation.
  if (ext == SQLITE_BUSY_SNAPSHOT)
    msg += " (SQLITE_BUSY_SNAPSHOT)";
  else if ((ext & 0xff) == SQLITE_BUSY)
    msg += " (SQLITE_BUSY)";
  if (!context.empty()) msg = context + ": " + msg;
  Throw(E_FAIL, msg, "SQLite");
}

}  // namespace q6::sqlite
