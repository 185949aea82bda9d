// DataManager.MoveTo: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal, bool& GetChild) {
  NotImplemented("DataManager.MoveTo");
}

}  // namespace q6
