// The per-thread list of connections holding a database's write lock.
//
// A plain array: it is trivially destructible, so connections that a
// thread-local pool destroys at thread exit can still take themselves off
// it. A thread rarely holds more than one such transaction; past the
// array's size a transaction is not listed and a second connection simply
// waits for it as for another process.
#include "platform/adodb/write_transactions.h"

#include <algorithm>

#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {

constexpr int kMaxHolders = 16;
thread_local Connection* t_holders[kMaxHolders] = {};

}  // namespace

void NoteWriteTransaction(Connection* con) {
  if (con->driver().WriteLockKey().empty()) return;
  Connection** free_slot = nullptr;
  for (Connection*& slot : t_holders) {
    if (slot == con) return;
    if (!slot && !free_slot) free_slot = &slot;
  }
  if (free_slot) *free_slot = con;
}

void ForgetWriteTransaction(Connection* con) noexcept {
  for (Connection*& slot : t_holders)
    if (slot == con) slot = nullptr;
}

Connection* WriteTransactionHolder(const Connection& con) {
  const std::string key = con.driver().WriteLockKey();
  if (key.empty()) return nullptr;
  for (Connection* other : t_holders)
    if (other && other != &con && other->State() == kAdStateOpen && other->InTransaction() &&
        other->driver().WriteLockKey() == key)
      return other;
  return nullptr;
}

}  // namespace q6
