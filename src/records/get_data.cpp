// DataManager.GetData: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::GetData(ObjectRef& con, ObjectRef& EO, ObjectRef& pRS, ObjectRef& cRS, bool& GetChild) {
  NotImplemented("DataManager.GetData");
}

}  // namespace q6
