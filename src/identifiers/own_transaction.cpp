// OwnTransaction: begin on entry (again while the engine is busy), roll back
// on every exit but a commit.
#include "identifiers/own_transaction.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/trace/trace.h"

namespace q6 {
namespace {

// The SQLite driver marks the busy result codes in the error text.
bool IsBusy(const ComError& e) {
  return e.hr() == E_FAIL && e.description().find("(SQLITE_BUSY") != std::string::npos;
}

// A pause of 1 to 50 ms, different in every process, so that retrying
// allocators do not wake up together.
void PauseBeforeRetry() {
  thread_local std::minstd_rand rng(static_cast<unsigned>(
      ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  std::this_thread::sleep_for(std::chrono::milliseconds(1 + rng() % 50));
}

}  // namespace

OwnTransaction::OwnTransaction(Connection& con) : con_(con) {
  for (int attempt = 0;; ++attempt) {
    try {
      con_.BeginTrans();
      return;
    } catch (const ComError& e) {
      if (attempt >= kBusyRetries || !IsBusy(e)) throw;
      TraceNote("OwnTransaction", e.description() + "; trying again");
    }
    PauseBeforeRetry();
  }
}

OwnTransaction::~OwnTransaction() {
  if (done_ || !con_.InTransaction()) return;
  try {
    con_.RollbackTrans();
  } catch (const ComError& e) {
    TraceNote("OwnTransaction", e.description());
  }
}

void OwnTransaction::Commit() {
  con_.CommitTrans();
  done_ = true;
}

}  // namespace q6
