// LockManager.UnLockItEx: UnlockIt for every item of a separated list, sent
// together.
//
// Shaped like LockItEx; sDigest is accepted and not used. Each item is
// normalised as UnlockIt normalises it (written back into the shared
// arguments); then the releases go out together on one connection
// (ReleaseLocks): record and class locks in statements of many identifiers
// each, the other levels one statement per item in one exchange. Errors
// pass through; items released before a failure stay released, and the
// items before an item whose normalisation fails are released before its
// error passes on.
#include "component/frame/lock_manager.h"
#include "component/locks/lock_batch.h"
#include "component/locks/lock_list.h"

namespace q6 {

bool LockManager::UnLockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                             std::string& WorkStation, std::string& ModName, int32_t& iClass,
                             std::string& /*sDigest*/, std::string& sSeparator) {
  std::vector<LockTarget> targets;
  bool listed = false;
  try {
    listed = ForEachLockListItem(
        iClass, {vID, UserName, WorkStation, ModName}, sSeparator, [&](LockArgRefs a) {
          targets.push_back(PrepareRelease(a.id, a.user, a.workstation, a.module));
        });
  } catch (...) {
    ReleaseLocks(DataSourceName, iClass, targets);
    throw;
  }
  ReleaseLocks(DataSourceName, iClass, targets);
  return listed;
}

}  // namespace q6
