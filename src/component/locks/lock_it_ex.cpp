// LockManager.LockItEx: LockIt once per item of a separated list.
//
// The list comes from the argument the level names; each item stands in for
// that argument in a call of LockIt through the object's own interface. The
// other arguments are shared by reference, so what the first call writes
// into them (lower case, a scope identifier) holds for the later calls.
// Errors pass through; items locked before a failure stay locked.
#include "component/frame/lock_manager.h"
#include "component/locks/lock_list.h"

namespace q6 {

bool LockManager::LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                           std::string& WorkStation, std::string& ModName, int32_t& iClass,
                           std::string& sDigest, std::string& sSeparator) {
  return ForEachLockListItem(
      iClass, {vID, UserName, WorkStation, ModName}, sSeparator, [&](LockArgRefs a) {
        LockIt(DataSourceName, a.id, a.user, a.workstation, a.module, iClass, sDigest);
      });
}

}  // namespace q6
