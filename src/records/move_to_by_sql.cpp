// DataManager.MoveToBySQL: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

std::string DataManager::MoveToBySQL(Variant& DataSourceName, std::string& Sql) {
  NotImplemented("DataManager.MoveToBySQL");
}

}  // namespace q6
