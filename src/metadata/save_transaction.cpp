// MetadataSaveTransaction: BeginTrans plus, where BeginTrans alone would let
// two savers read side by side, an advisory lock all savers share.
#include "metadata/save_transaction.h"

#include "platform/adodb/connection.h"
#include "platform/trace/trace.h"

namespace q6 {

std::vector<std::string> MetadataSaverExclusion(Engine engine) {
  if (engine != Engine::PostgreSQL) return {};
  return {"SET LOCAL lock_timeout = '30s'",
          "select pg_advisory_xact_lock(hashtext('Q6FDMgr.SaveEOMetaData'))"};
}

MetadataSaveTransaction::MetadataSaveTransaction(Connection& con) : con_(con) {
  con_.BeginTrans();
  open_ = true;
  try {
    for (const std::string& sql : MetadataSaverExclusion(con_.engine()))
      con_.Execute(sql, nullptr, kAdExecuteNoRecords);
  } catch (...) {
    RollbackQuietly();
    throw;
  }
}

MetadataSaveTransaction::~MetadataSaveTransaction() {
  if (open_) RollbackQuietly();
}

void MetadataSaveTransaction::Commit() {
  con_.CommitTrans();
  open_ = false;
}

void MetadataSaveTransaction::RollbackQuietly() noexcept {
  open_ = false;
  try {
    if (con_.InTransaction()) con_.RollbackTrans();
  } catch (const std::exception& e) {
    TraceNote("DataManager.SaveEOMetaData rollback", e.what());
  }
}

}  // namespace q6
