// DataManager.DeleteBIType: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::DeleteBIType(ObjectRef& con, int32_t BIStyle) {
  NotImplemented("DataManager.DeleteBIType");
}

}  // namespace q6
