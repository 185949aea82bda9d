// ExclusiveTransaction: begin (or a savepoint inside the thread's own write
// transaction), exclusion statements, commit, rollback on every other path.
#include "component/frame/exclusive_transaction.h"

#include "platform/adodb/connection.h"
#include "platform/adodb/write_transactions.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"

namespace q6 {

namespace {
constexpr const char* kSavepoint = "q6_exclusive_step";
}  // namespace

ExclusiveTransaction::ExclusiveTransaction(Connection& con, std::string source,
                                           const std::optional<ExclusiveResource>& resource,
                                           Join join)
    : con_(&con), source_(std::move(source)) {
  Connection* holder = join == Join::kThisThreadsWriter ? WriteTransactionHolder(con) : nullptr;
  if (holder) {
    TraceNote(source_,
              "this thread already holds the database's write lock in a transaction of its own; "
              "the step runs inside it, under a savepoint");
    con_ = holder;
    con_->Execute(std::string("SAVEPOINT ") + kSavepoint, nullptr, kAdExecuteNoRecords);
    joined_ = true;
  }
  const std::vector<std::string> exclusion =
      resource ? con_->driver().ExclusionStatements(*resource) : std::vector<std::string>();
  if (joined_) {
    open_ = true;
    try {
      for (const std::string& sql : exclusion) con_->Execute(sql, nullptr, kAdExecuteNoRecords);
    } catch (...) {
      RollbackQuietly();
      throw;
    }
    return;
  }
  // The begin and what takes the resource go to the engine together. A
  // refused begin (a transaction already open) leaves the caller's
  // transaction alone; a failure after the begin rolls back.
  const bool already_open = con_->InTransaction();
  try {
    con_->BeginTransWith(exclusion);
  } catch (...) {
    if (!already_open && con_->InTransaction()) RollbackQuietly();
    throw;
  }
  open_ = true;
}

ExclusiveTransaction::~ExclusiveTransaction() {
  if (open_) RollbackQuietly();
}

void ExclusiveTransaction::Commit() { CommitAfter({}); }

void ExclusiveTransaction::CommitAfter(const std::vector<Driver::Batched>& writes) {
  if (joined_) {
    std::vector<Driver::Batched> batch = writes;
    batch.push_back({std::string("RELEASE SAVEPOINT ") + kSavepoint, ""});
    con_->driver().ExecuteBatch(batch);
  } else {
    con_->CommitTransAfter(writes);
  }
  open_ = false;
}

void ExclusiveTransaction::RollbackQuietly() noexcept {
  open_ = false;
  try {
    if (joined_) {
      con_->Execute(
          std::string("ROLLBACK TO SAVEPOINT ") + kSavepoint + "; RELEASE SAVEPOINT " + kSavepoint,
          nullptr, kAdExecuteNoRecords);
    } else if (con_->InTransaction()) {
      con_->RollbackTrans();
    }
  } catch (const std::exception& e) {
    TraceNote(source_ + " rollback", e.what());
  }
}

}  // namespace q6
