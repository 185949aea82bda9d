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
#include "component/locks/lock_list_statements.h"
#include "component/locks/lock_statements.h"
#include "component/support/bound_statement.h"
#include "component/support/enums.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"

namespace q6 {
namespace {

// The form of a release (bound_statement.h), named by this object's
// address: the text depends on the level and the empty values.
const char kReleaseForm = 'r';

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
  NormaliseLockText(id);
  NormaliseLockText(UserName);
  NormaliseLockText(WorkStation);
  return {id.string(), UserName, WorkStation, ModName};
}

void ReleaseLocks(const Variant& dsn, int32_t level, std::span<const LockTarget> all) {
  std::vector<LockTarget> targets;
  for (const LockTarget& t : all)
    if (LockLevelApplies(level, t)) targets.push_back(t);
  if (targets.empty()) return;
  ConnectionLease lease(dsn, ConnectionLease::Request::kOpenConnection);
  std::vector<Driver::Batched> batch;
  // Record and class locks: one statement for all their identifiers
  // (lock_list_statements.h). The other levels: one statement per target,
  // sent together.
  std::optional<std::string> list;
  if (targets.size() > 1 && (level == enum_byClass || level == enum_byID)) {
    std::vector<const std::string*> ids;
    for (const LockTarget& t : targets) ids.push_back(&t.id);
    list = LockIdList(ids);
  }
  if (list) batch.push_back(ListReleaseStatement(*lease, level, targets.front(), *list));
  // Translated once per form, the values bound (bound_statement.h).
  for (size_t i = 0; !list && i < targets.size(); ++i)
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
