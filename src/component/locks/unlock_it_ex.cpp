// LockManager.UnLockItEx: UnlockIt once per item of a separated list.
//
// Shaped like LockItEx; sDigest is accepted and not used. Errors pass
// through; items released before a failure stay released.
#include "component/frame/lock_manager.h"
#include "component/locks/lock_list.h"

namespace q6 {

bool LockManager::UnLockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                             std::string& WorkStation, std::string& ModName, int32_t& iClass,
                             std::string& /*sDigest*/, std::string& sSeparator) {
  return ForEachLockListItem(
      iClass, {vID, UserName, WorkStation, ModName}, sSeparator, [&](LockArgRefs a) {
        UnlockIt(DataSourceName, a.id, a.user, a.workstation, a.module, iClass);
      });
}

}  // namespace q6
