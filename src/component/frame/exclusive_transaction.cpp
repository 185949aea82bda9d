// ExclusiveTransaction: begin (with a retry of a busy begin), exclusion
// statements, commit, rollback on every other path.
#include "component/frame/exclusive_transaction.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/adodb/connection.h"
#include "platform/trace/trace.h"

namespace q6 {

namespace {

// A begin that found the database held by another writer (or a snapshot
// gone stale under it) may simply be tried again.
bool IsBusy(const ComError& e) {
  return e.kind() == ErrorKind::kBusy || e.kind() == ErrorKind::kSerialization;
}

void PauseBeforeRetry() {
  thread_local std::minstd_rand rng(static_cast<unsigned>(
      ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  std::this_thread::sleep_for(std::chrono::milliseconds(1 + rng() % 50));
}

}  // namespace

ExclusiveTransaction::ExclusiveTransaction(Connection& con, std::string source,
                                           const std::optional<ExclusiveResource>& resource,
                                           int busy_retries)
    : con_(con), source_(std::move(source)) {
  BeginRetryingWhileBusy(busy_retries);
  open_ = true;
  try {
    if (resource)
      for (const std::string& sql : con_.driver().ExclusionStatements(*resource))
        con_.Execute(sql, nullptr, kAdExecuteNoRecords);
  } catch (...) {
    RollbackQuietly();
    throw;
  }
}

void ExclusiveTransaction::BeginRetryingWhileBusy(int busy_retries) {
  for (int attempt = 0;; ++attempt) {
    try {
      con_.BeginTrans();
      return;
    } catch (const ComError& e) {
      if (attempt >= busy_retries || !IsBusy(e)) throw;
      TraceNote(source_, e.description() + "; trying again");
    }
    PauseBeforeRetry();
  }
}

ExclusiveTransaction::~ExclusiveTransaction() {
  if (open_) RollbackQuietly();
}

void ExclusiveTransaction::Commit() {
  con_.CommitTrans();
  open_ = false;
}

void ExclusiveTransaction::RollbackQuietly() noexcept {
  open_ = false;
  try {
    if (con_.InTransaction()) con_.RollbackTrans();
  } catch (const std::exception& e) {
    TraceNote(source_ + " rollback", e.what());
  }
}

}  // namespace q6
