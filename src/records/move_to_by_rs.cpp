// DataManager.MoveToByRS: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::MoveToByRS(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, ObjectRef& pRS, ObjectRef& cRS, bool& GetChild) {
  NotImplemented("DataManager.MoveToByRS");
}

}  // namespace q6
