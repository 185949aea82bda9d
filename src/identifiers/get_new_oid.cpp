// OIDManager.GetNewOID: not landed yet.
#include "frame/oid_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

ObjectRef OIDManager::GetNewOID(Variant& DataSource, int32_t& BIStyle, bool& Locked) {
  NotImplemented("OIDManager.GetNewOID");
}

}  // namespace q6
