// LockManager.UnlockIt: releases locks with one DELETE chosen by the level;
// ReleaseLocks does it for many targets at once (UnLockItEx).
//
// vID, UserName and WorkStation are normalised (Null to "", lower case) and
// written back; ModName is compared as the caller passes it. Nothing is sent,
// and no connection taken, when the level cannot build a statement. A
// release needs no transaction: deleting rows cannot create a conflict. The
// lease gives the connection back on every path; errors pass through.
#include "component/frame/lock_manager.h"
#include "component/frame/sql_text.h"
#include "component/locks/lock_batch.h"
#include "component/locks/lock_holders.h"
#include "component/locks/lock_statements.h"
#include "component/support/bound_statement.h"
#include "component/support/enums.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"

namespace q6 {
namespace {

// The forms of the releases (bound_statement.h), named by these objects'
// addresses: the text depends on the level, the empty values and, for a
// release of many, their count.
const char kReleaseForm = 'r';
const char kReleaseManyForm = 'm';

// The release of the identifiers of `targets` (level 6 or 7), values bound.
// Every identifier is marked (the level applies to none that is empty).
Driver::Batched ReleaseMany(const Connection& con, int32_t level,
                            std::span<const LockTarget> targets) {
  const LockTarget& first = targets.front();
  std::vector<std::string> values = LockValueList(first);
  values.reserve(values.size() + targets.size());
  for (const LockTarget& t : targets) values.push_back(t.id);
  auto marked = [&] {
    std::vector<std::string> marks;
    for (size_t i = 0; i < targets.size(); ++i) marks.push_back(ValueMark(5 + i));
    return *ReleaseManyStatement(level, first, MarkedLockValues(first), marks);
  };
  const BoundForm form{&kReleaseManyForm, static_cast<uint64_t>(level) |
                                              static_cast<uint64_t>(targets.size()) << 8 |
                                              uint64_t{EmptyLockValues(first)} << 32};
  return BoundStatement(con, form, marked, values, [&] {
    std::vector<std::string> quoted;
    for (const LockTarget& t : targets) quoted.push_back(SqlQuoted(t.id));
    return *ReleaseManyStatement(level, first, QuotedLockValues(first), quoted);
  });
}

// The release of `t`'s locks of `level`, values bound.
Driver::Batched ReleaseOne(const Connection& con, int32_t level, const LockTarget& t) {
  const BoundForm form{&kReleaseForm,
                       static_cast<uint64_t>(level) | uint64_t{EmptyLockValues(t)} << 8};
  return BoundStatement(
      con, form, [&] { return *ReleaseStatement(level, t, MarkedLockValues(t)); }, LockValueList(t),
      [&] { return *ReleaseStatement(level, t); });
}

}  // namespace

LockTarget PrepareRelease(Variant& vID, std::string& UserName, std::string& WorkStation,
                          const std::string& ModName) {
  Variant& id = vID.Deref();
  id = Variant(NormalisedLockText(id));
  UserName = NormalisedLockText(UserName);
  WorkStation = NormalisedLockText(WorkStation);
  return {id.string(), UserName, WorkStation, ModName};
}

void ReleaseLocks(const Variant& dsn, int32_t level, std::span<const LockTarget> all) {
  std::vector<LockTarget> targets;
  for (const LockTarget& t : all)
    if (LockLevelApplies(level, t)) targets.push_back(t);
  if (targets.empty()) return;
  ConnectionLease lease(dsn, ConnectionLease::Request::kOpenConnection);
  std::vector<Driver::Batched> batch;
  // Many identifiers per statement where each statement is an exchange of
  // its own (SQLite finds a list of equalities through the index). An engine that
  // sends the batch in one exchange gets one statement per target instead:
  // PostgreSQL would run a list of blank-insensitive comparisons under its
  // generic plan as a scan of the table, testing every one on every row.
  const bool by_ids = targets.size() > 1 && (level == enum_byClass || level == enum_byID) &&
                      !lease->driver().SendsBatchesTogether();
  for (size_t first = 0; by_ids && first < targets.size(); first += kLockRowsPerStatement) {
    const size_t n = std::min(kLockRowsPerStatement, targets.size() - first);
    batch.push_back(ReleaseMany(*lease, level, std::span(targets).subspan(first, n)));
  }
  // Translated once per form, the values bound (bound_statement.h).
  for (size_t i = 0; !by_ids && i < targets.size(); ++i)
    batch.push_back(ReleaseOne(*lease, level, targets[i]));
  if (batch.size() == 1) {
    lease->ExecuteTranslated(batch.front().sql, batch.front().built, nullptr, kAdExecuteNoRecords);
    return;
  }
  lease->driver().ExecuteBatch(batch);
}

bool LockManager::UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                           std::string& WorkStation, std::string& ModName, int32_t& iClass) {
  const LockTarget target = PrepareRelease(vID, UserName, WorkStation, ModName);
  if (!LockLevelApplies(iClass, target)) return false;
  ReleaseLocks(DataSourceName, iClass, std::span(&target, 1));
  return true;
}

}  // namespace q6
