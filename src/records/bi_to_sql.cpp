// DataManager.strBiToSqlByEO: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

std::string DataManager::strBiToSqlByEO(ObjectRef& objEO, int32_t& lFlag) {
  NotImplemented("DataManager.strBiToSqlByEO");
}

}  // namespace q6
