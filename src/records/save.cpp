// DataManager.Save: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::Save(ObjectRef& con, ObjectRef& EO) {
  NotImplemented("DataManager.Save");
}

}  // namespace q6
