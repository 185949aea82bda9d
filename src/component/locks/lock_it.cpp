// LockManager.LockIt: takes one application-level lock in FD_Locks.
//
// The arguments are normalised (Null to "", lower case) and written back for
// the caller; levels 1 to 5 put their scope identifier into an empty vID.
// Then, on a connection from OpenConnection, the conflict query and the
// insert run in one transaction that shuts every other locker out until it
// ends, so two callers that ask at the same moment cannot both get the lock.
// A conflict rolls back and raises 0x80040C1E naming the holder, with the
// holder as the error's data (conflict_message.h); any other
// failure rolls back, writes its cause to the statement trace and raises
// 0x80040C1E with the fixed concurrency text, keeping the kind and engine
// code of the cause. An identifier longer than the engine can index is
// refused before anything is sent, with 0x80040C1E and a text that says so
// (the insert would fail with the engine's index error otherwise); so is a
// text that is not valid UTF-8, before anything is sent. The lease gives
// the connection back on every path.
//
// Every lock taken is recorded with its holder (lock_holders.h: a row per
// lock on SQLite, per transaction on PostgreSQL), whose lease
// this process keeps renewing while it holds locks (lock_lease.h). When the
// data source says ReclaimStaleLocks=1 and the lock in the way belongs to a
// holder that is provably gone, that lock is deleted inside the same
// transaction, the take-over is written to the statement trace, and the
// check runs again. On SQLite, when this thread already holds the
// database's write lock in a transaction of its own, the lock is taken
// inside that transaction (see ExclusiveTransaction): it then exists for
// others once the caller commits, and a rollback undoes it.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <utility>

#include "component/frame/exclusive_transaction.h"
#include "component/frame/lock_manager.h"
#include "component/locks/conflict_message.h"
#include "component/locks/lock_batch.h"
#include "component/locks/lock_holders.h"
#include "component/locks/lock_lease.h"
#include "component/locks/lock_list_statements.h"
#include "component/locks/lock_statements.h"
#include "component/locks/lock_transaction.h"
#include "component/support/bound_statement.h"
#include "component/support/enums.h"
#include "component/support/error_note.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"
#include "runtime/value_utf8.h"

namespace q6 {
namespace {

// Why `id` cannot be stored as a lock on `driver`; nullopt when it can.
std::optional<std::string> UnindexableId(const std::string& id, const Driver& driver) {
  const size_t limit = driver.MaxIndexedTextBytes();
  if (id.size() <= limit) return std::nullopt;
  return "The lock identifier is " + std::to_string(id.size()) +
         " bytes long; the database indexes at most " + std::to_string(limit) +
         " bytes of it, so it cannot be locked";
}

// Why a text of `t` cannot be locked because it is not valid UTF-8 (the
// engines would compare its bytes differently: SQLite as they are,
// PostgreSQL not at all); nullopt when every text is valid.
std::optional<std::string> InvalidUtf8(const LockTarget& t) {
  const std::pair<const char*, const std::string*> texts[] = {{"identifier", &t.id},
                                                              {"user name", &t.user},
                                                              {"workstation", &t.workstation},
                                                              {"module", &t.module}};
  for (const auto& [what, text] : texts) {
    const size_t at = value::FirstInvalidUtf8(*text);
    if (at == std::string::npos) continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>((*text)[at]));
    return std::string("The lock ") + what + " is not valid UTF-8 (byte " + hex + " at offset " +
           std::to_string(at) + "), so it cannot be locked";
  }
  return std::nullopt;
}

constexpr const char* kSource = "LockManager.LockIt";
// Stale locks taken over in one call at most; each one found runs the check
// again.
constexpr int kMaxTakeOvers = 16;

LockKey KeyOfRow(Recordset& rs) {
  auto text = [&](const char* name) {
    Variant v = rs.Fields()->Item(Variant(name))->Value();
    return v.IsNull() ? std::string() : v.ToString();
  };
  return {text("locks_id"), text("user_name"),  text("workstation_name"),
          text("mod_name"), text("class_flag"), text("digest")};
}

// Deletes the lock in the way when ReclaimStaleLocks is on and its holders
// are provably gone. Returns whether it did.
bool TookOverStaleLock(HolderJudge& judge, Connection& con, Recordset& conflict) {
  LockKey key = KeyOfRow(conflict);
  std::string who;
  if (!AllHoldersGone(judge, con, key, &who)) return false;
  DeleteLockRows(con, key);
  DropReleasedTransactionHolders(con);
  TraceNote(kSource, "took over the lock on '" + key.id + "' (level " + key.level + ", user '" +
                         key.user + "'): its holder is gone (" + who + ")");
  return true;
}

// Whether `items` can be checked together: record or class locks of one
// owner and module, none of them in the way of another (the same record;
// for classes, one prefix starting another), compared as the engines
// compare them (without case, trailing blanks ignored).
bool CheckableTogether(std::span<const PreparedLock> items) {
  if (items.size() < 2) return false;
  const LockKey& first = items.front().key;
  const bool classes = first.level == std::to_string(enum_byClass);
  if (!classes && first.level != std::to_string(enum_byID)) return false;
  std::vector<std::string_view> folded;
  folded.reserve(items.size());
  for (const PreparedLock& item : items) {
    const LockKey& k = item.key;
    if (k.level != first.level || k.user != first.user || k.workstation != first.workstation ||
        k.module != first.module)
      return false;
    // Identifiers of levels 6 and 7 are lower case already (PrepareLock).
    std::string_view f = k.id;
    while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
    folded.push_back(f);
  }
  std::sort(folded.begin(), folded.end());
  for (size_t i = 1; i < folded.size(); ++i)
    if (classes ? folded[i].starts_with(folded[i - 1]) : folded[i] == folded[i - 1]) return false;
  return true;
}

// The identifiers of `items` as one list (LockIdList) when they can be
// checked and inserted together; nullopt otherwise.
std::optional<std::string> TogetherList(std::span<const PreparedLock> items) {
  if (!CheckableTogether(items)) return std::nullopt;
  std::vector<const std::string*> ids;
  ids.reserve(items.size());
  for (const PreparedLock& item : items) ids.push_back(&item.key.id);
  return LockIdList(ids);
}

// The conflict query of `item` as built, its values in place.
std::string CheckText(const PreparedLock& item) { return *ConflictQuery(item.level, item.target); }

// The conflict query and the insert of `item`, translated once per form
// and run with their values bound (bound_statement.h); these objects'
// addresses name their forms.
const char kCheckForm = 'c';
const char kInsertForm = 'i';

Driver::Batched CheckStatement(const Connection& con, const PreparedLock& item) {
  // A class test holds the prefix's length in characters.
  const uint64_t length = item.level == enum_byClass ? CharCount(item.target.id) : 0;
  const BoundForm form{&kCheckForm, static_cast<uint64_t>(item.level) |
                                        uint64_t{EmptyLockValues(item.target)} << 8 | length << 16};
  return BoundStatement(
      con, form,
      [&] { return *ConflictQuery(item.level, item.target, MarkedLockValues(item.target)); },
      LockValueList(item.target), [&] { return CheckText(item); });
}

// The insert of `item`'s row, values bound.
Driver::Batched InsertStatement(const Connection& con, const PreparedLock& item) {
  const std::string& digest = item.key.digest;
  const BoundForm form{&kInsertForm, static_cast<uint64_t>(item.level) |
                                         uint64_t{EmptyLockValues(item.target, digest)} << 8};
  return BoundStatement(
      con, form,
      [&] { return InsertLockStatement(item.level, MarkedLockValues(item.target, digest)); },
      LockValueList(item.target, digest),
      [&] { return InsertLockStatement(item.target, item.level, digest); });
}

// Runs each item's check and, when nothing is in the way, its insert, in
// one transaction: each item's writes travel with the next item's check, so
// a list costs one exchange per item and one commit. Returns the error to
// raise (a conflict, or why an identifier is refused), or nullopt once
// every row is in. The items before a refused one stay locked (committed);
// a refusal of the first rolls back. The transaction ends before the lease
// gives the connection back.
std::optional<ComError> CheckAndInsert(const Variant& dsn, std::span<const PreparedLock> items) {
  ConnectionLease lease(dsn, ConnectionLease::Request::kOpenConnection);
  if (auto refused = UnindexableId(items.front().key.id, lease->driver()))
    return ComError(Q6_E_LOCKED, *refused);
  const bool record = LockHoldersReady(*lease);
  const bool reclaim = record && lease->data_source().reclaim_stale_locks;
  ExclusiveTransaction xact(*lease, kSource, LockerExclusion(),
                            ExclusiveTransaction::Join::kThisThreadsWriter);
  Connection& con = xact.connection();
  HolderJudge judge(con);
  std::vector<Driver::Batched> pending;  // the writes of the item before
  bool written = false;
  // Holder rows: one per lock on SQLite, with the lock's row; on
  // PostgreSQL one for the transaction, with its commit.
  const bool per_xact = record && HolderPerTransaction(con);
  auto with_holder = [&](std::vector<Driver::Batched>& writes) -> std::vector<Driver::Batched>& {
    if (per_xact) writes.push_back(LockHolderTransactionRow(con));
    return writes;
  };
  auto stop = [&](ComError error) -> std::optional<ComError> {
    if (written) {
      xact.CommitAfter(with_holder(pending));
      if (record && !TakingLocksAsAdministrator()) KeepLeaseFor(con);
    }
    return error;
  };
  if (std::optional<std::string> list = TogetherList(items)) {
    // One check for the whole list, then the rows and their holders with
    // the commit (lock_list_statements.h). Anything in the way: one by one
    // below, which finds the first item in the way and its holder.
    const LockTarget& owner = items.front().target;
    const int32_t level = items.front().level;
    const Driver::Batched check[] = {ListConflictQuery(con, level, owner, *list)};
    const bool clear = con.driver().ExecuteBatch(check).front().row_count == 0;
    bool indexable = true;
    for (const PreparedLock& item : items)
      indexable = indexable && !UnindexableId(item.key.id, con.driver());
    if (clear && indexable) {
      pending.push_back(ListInsertStatement(con, level, owner, items.front().key.digest, *list));
      if (record && !per_xact) pending.push_back(LockHoldersOfInsert(con, InsertedLocks::kList));
      xact.CommitAfter(with_holder(pending));
      if (record && !TakingLocksAsAdministrator()) KeepLeaseFor(con);
      return std::nullopt;
    }
  }
  for (const PreparedLock& item : items) {
    if (auto refused = UnindexableId(item.key.id, con.driver()))
      return stop(ComError(Q6_E_LOCKED, *refused));
    pending.push_back(CheckStatement(con, item));
    const bool in_the_way = con.driver().ExecuteBatch(pending).back().row_count > 0;
    written = written || pending.size() > 1;
    pending.clear();
    for (int take_overs = 0; in_the_way; ++take_overs) {
      std::shared_ptr<Recordset> rs = con.Execute(CheckText(item));
      if (rs->EOF()) break;
      if (!reclaim || take_overs >= kMaxTakeOvers || !TookOverStaleLock(judge, con, *rs))
        return stop(LockConflictError(ReadLockHolderRow(*rs)));
    }
    // The lock's row and its holder's row go together.
    pending.push_back(InsertStatement(con, item));
    if (record && !per_xact) pending.push_back(LockHoldersOfInsert(con, InsertedLocks::kOne));
  }
  xact.CommitAfter(with_holder(pending));
  if (record && !TakingLocksAsAdministrator()) KeepLeaseFor(con);
  return std::nullopt;
}

}  // namespace

std::optional<PreparedLock> PrepareLock(Variant& vID, std::string& UserName,
                                        std::string& WorkStation, std::string& ModName,
                                        int32_t level, const std::string& sDigest,
                                        std::optional<ComError>* refusal) {
  Variant& id = vID.Deref();
  NormaliseLockText(id);
  NormaliseLockText(ModName);
  NormaliseLockText(UserName);
  NormaliseLockText(WorkStation);

  LockTarget target{id.string(), UserName, WorkStation, ModName};
  // Whether the level applies is judged on the arguments as given, before
  // a scope identifier fills an empty vID.
  const bool applies = LockLevelApplies(level, target);
  std::string_view scope = LockScopeIdentifier(level);
  if (!scope.empty() && target.id.empty()) {
    target.id = std::string(scope);
    id = Variant(target.id);
  }
  if (!applies) return std::nullopt;
  if (std::optional<std::string> invalid = InvalidUtf8(target)) {
    *refusal = ComError(Q6_E_LOCKED, *invalid);
    return std::nullopt;
  }
  LockKey key{target.id,     target.user,           target.workstation,
              target.module, std::to_string(level), sDigest};
  return PreparedLock{std::move(target), level, std::move(key)};
}

std::optional<ComError> TakeLocks(const Variant& dsn, std::span<const PreparedLock> items) {
  if (items.empty()) return std::nullopt;
  return CheckAndInsert(dsn, items);
}

bool LockManager::LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                         std::string& WorkStation, std::string& ModName, int32_t& iClass,
                         std::string& sDigest) {
  std::optional<ComError> refusal;
  try {
    std::optional<PreparedLock> lock =
        PrepareLock(vID, UserName, WorkStation, ModName, iClass, sDigest, &refusal);
    if (!lock && !refusal) return false;
    if (lock) refusal = TakeLocks(DataSourceName, std::span<const PreparedLock>(&*lock, 1));
    if (!refusal) return true;
  } catch (const std::exception& e) {
    NoteSwallowedError("LockManager.LockIt", e);
    ThrowLocked(kLockConcurrencyFailure, e);
  }
  throw *refusal;
}

}  // namespace q6
