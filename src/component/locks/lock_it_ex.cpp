// LockManager.LockItEx: LockIt for every item of a separated list, in one
// transaction.
//
// The list comes from the argument the level names; each item stands in for
// that argument and is normalised as LockIt normalises it. The other
// arguments are shared by reference, so what the first item writes into
// them (lower case, a scope identifier) holds for the later ones. All items
// are checked and inserted in one transaction (lock_batch.h); the first
// that cannot be taken raises its error as LockIt would, and the items
// before it stay locked.
#include "component/frame/lock_manager.h"
#include "component/locks/conflict_message.h"
#include "component/locks/lock_batch.h"
#include "component/locks/lock_list.h"
#include "component/support/error_note.h"

namespace q6 {

bool LockManager::LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                           std::string& WorkStation, std::string& ModName, int32_t& iClass,
                           std::string& sDigest, std::string& sSeparator) {
  std::optional<ComError> refusal;
  bool listed = false;
  try {
    std::vector<PreparedLock> items;
    listed = ForEachLockListItem(
        iClass, {vID, UserName, WorkStation, ModName}, sSeparator, [&](LockArgRefs a) {
          if (refusal) return;  // the items after a refused one are not taken
          std::optional<PreparedLock> lock =
              PrepareLock(a.id, a.user, a.workstation, a.module, iClass, sDigest, &refusal);
          if (lock) items.push_back(std::move(*lock));
        });
    if (std::optional<ComError> taken = TakeLocks(DataSourceName, items)) refusal = taken;
  } catch (const std::exception& e) {
    NoteSwallowedError("LockManager.LockItEx", e);
    ThrowLocked(kLockConcurrencyFailure, e);
  }
  if (refusal) throw *refusal;
  return listed;
}

}  // namespace q6
