// DataManager.Delete: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::Delete(ObjectRef& con, ObjectRef& EO) {
  NotImplemented("DataManager.Delete");
}

}  // namespace q6
