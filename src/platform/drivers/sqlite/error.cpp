// SQLite result codes to ComErrors.
//
// The kind is read from the extended result code, which SQLite keeps for the
// last failure of each connection:
//   busy            SQLITE_BUSY and its variants (the busy timeout ran out
//                   waiting for another connection's lock), SQLITE_LOCKED
//   serialization   SQLITE_BUSY_SNAPSHOT: a read transaction of a WAL
//                   database tried to write after another writer committed
//   constraint      SQLITE_CONSTRAINT and its variants
//   connection_lost SQLITE_CANTOPEN: the database file cannot be opened
//   other           everything else
// SQLite has no lock timeout or deadlock of its own: a wait for a lock ends
// as busy.
#include "platform/drivers/sqlite/error.h"

#include <sqlite3.h>

#include "runtime/com_error.h"

namespace q6::sqlite {

ErrorKind KindOf(int extended_code) {
  if (extended_code == SQLITE_BUSY_SNAPSHOT) return ErrorKind::kSerialization;
  switch (extended_code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ErrorKind::kBusy;
    case SQLITE_CONSTRAINT:
      return ErrorKind::kConstraint;
    case SQLITE_CANTOPEN:
      return ErrorKind::kConnectionLost;
    default:
      return ErrorKind::kOther;
  }
}

void ThrowError(sqlite3* db, int rc, const std::string& context) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int ext = db ? sqlite3_extended_errcode(db) : rc;
  // The busy variants tell a reader of the message what to do.
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
  throw ComError(E_FAIL, msg, "SQLite", KindOf(ext), std::to_string(ext));
}

}  // namespace q6::sqlite
