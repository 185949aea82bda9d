// DataManager.SaveEOMetaData: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

bool DataManager::SaveEOMetaData(Variant& DataSourceName, ObjectRef& EO, bool& OnlyEO, bool& SetChildEO) {
  NotImplemented("DataManager.SaveEOMetaData");
}

}  // namespace q6
