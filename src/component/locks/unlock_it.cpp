// LockManager.UnlockIt: releases locks with one DELETE chosen by the level.
//
// vID, UserName and WorkStation are normalised (Null to "", lower case) and
// written back; ModName is compared as the caller passes it. Nothing is sent,
// and no connection taken, when the level cannot build a statement. A
// release needs no transaction: deleting rows cannot create a conflict. The
// lease gives the connection back on every path; errors pass through.
#include "component/frame/lock_manager.h"
#include "component/locks/lock_statements.h"
#include "component/support/bound_statement.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"

namespace q6 {

bool LockManager::UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                           std::string& WorkStation, std::string& ModName, int32_t& iClass) {
  Variant& id = vID.Deref();
  id = Variant(NormalisedLockText(id));
  UserName = NormalisedLockText(Variant(UserName));
  WorkStation = NormalisedLockText(Variant(WorkStation));

  const LockTarget target{id.string(), UserName, WorkStation, ModName};
  if (!LockLevelApplies(iClass, target)) return false;

  ConnectionLease lease(DataSourceName, ConnectionLease::Request::kOpenConnection);
  // Translated once per form, the values bound (bound_statement.h).
  const Driver::Batched release =
      BoundStatement(*lease, *ReleaseStatement(iClass, target, MarkedLockValues(target)),
                     LockValueList(target), [&] { return *ReleaseStatement(iClass, target); });
  lease->ExecuteTranslated(release.sql, release.built, nullptr, kAdExecuteNoRecords);
  return true;
}

}  // namespace q6
