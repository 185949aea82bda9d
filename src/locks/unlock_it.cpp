// LockManager.UnlockIt: not landed yet.
#include "frame/lock_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool LockManager::UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName, std::string& WorkStation, std::string& ModName, int32_t& iClass) {
  NotImplemented("LockManager.UnlockIt");
}

}  // namespace q6
