// LockerTransaction: BeginTrans plus, where BeginTrans alone lets two
// lockers read the table side by side, an explicit table lock.
#include "locks/lock_transaction.h"

#include "locks/error_note.h"
#include "platform/adodb/connection.h"

namespace q6 {

std::string LockerExclusionStatement(Engine engine) {
  if (engine == Engine::PostgreSQL) return "LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE";
  return "";
}

LockerTransaction::LockerTransaction(Connection& con) : con_(con) {
  con_.BeginTrans();
  open_ = true;
  try {
    std::string exclusion = LockerExclusionStatement(con_.engine());
    if (!exclusion.empty()) con_.Execute(exclusion, nullptr, kAdExecuteNoRecords);
  } catch (...) {
    RollbackQuietly();
    throw;
  }
}

LockerTransaction::~LockerTransaction() {
  if (open_) RollbackQuietly();
}

void LockerTransaction::Commit() {
  con_.CommitTrans();
  open_ = false;
}

void LockerTransaction::RollbackQuietly() noexcept {
  open_ = false;
  try {
    if (con_.InTransaction()) con_.RollbackTrans();
  } catch (const std::exception& e) {
    NoteSwallowedError("LockManager.LockIt rollback", e);
  }
}

}  // namespace q6
