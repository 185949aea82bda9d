// The lease of this process's locks: while the process holds locks taken
// with holder rows, a thread of its own renews the rows' renewed_at every
// kLeaseRenewSeconds (lock_holders.h), on the database server's clock.
// Observers that cannot see the process itself (another machine, boot or
// PID namespace) count it alive while the last renewal is at most
// kLeaseSeconds old. The thread stops renewing a data source once this
// process has no holder row there, and ends with the process.
#pragma once

#include <cstdint>

namespace q6 {

class Connection;

// Keeps renewing the leases of this process's holder rows where `con`
// points. Called after a lock with a holder row was committed.
void KeepLeaseFor(const Connection& con);

// Renews now, on `con`, the lease of every holder row of this process;
// returns how many rows it renewed. On PostgreSQL it first drops every
// process's holder rows whose locks are all gone
// (DropReleasedTransactionHolders). Raises the engine's error.
int64_t RenewLeases(Connection& con);

}  // namespace q6
