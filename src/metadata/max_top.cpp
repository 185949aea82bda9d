// DataManager.MaxTop: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

double DataManager::MaxTop(Variant& DataSourceName, int32_t& BIStyle) {
  NotImplemented("DataManager.MaxTop");
}

}  // namespace q6
