// LockManager.LockItEx: not landed yet.
#include "frame/lock_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool LockManager::LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName, std::string& WorkStation, std::string& ModName, int32_t& iClass, std::string& sDigest, std::string& sSeparator) {
  NotImplemented("LockManager.LockItEx");
}

}  // namespace q6
