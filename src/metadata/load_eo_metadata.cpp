// DataManager.LoadEOMetaData: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

ObjectRef DataManager::LoadEOMetaData(Variant& DataSourceName, int32_t& BIType, bool& OnlyEO, int32_t& OnlyUsed, bool& GetChildEO) {
  NotImplemented("DataManager.LoadEOMetaData");
}

}  // namespace q6
