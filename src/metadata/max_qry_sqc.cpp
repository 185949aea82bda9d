// DataManager.MaxQrySqc: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

int32_t DataManager::MaxQrySqc(Variant& DataSourceName, int32_t& BIStyle) {
  NotImplemented("DataManager.MaxQrySqc");
}

}  // namespace q6
