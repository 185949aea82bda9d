// OIDManager.GetNewCode: not landed yet.
#include "frame/oid_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

ObjectRef OIDManager::GetNewCode(Variant DataSourceName, int32_t& BIStyle, bool& Locked) {
  NotImplemented("OIDManager.GetNewCode");
}

}  // namespace q6
