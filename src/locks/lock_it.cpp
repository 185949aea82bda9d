// LockManager.LockIt: not landed yet.
#include "frame/lock_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool LockManager::LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName, std::string& WorkStation, std::string& ModName, int32_t& iClass, std::string& sDigest) {
  NotImplemented("LockManager.LockIt");
}

}  // namespace q6
