// DataManager.MaxTop: the lowest layout position used by an entity's fields,
// so that the designer can place a new field below it.
#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "component/metadata/designer_query.h"

namespace q6 {

double DataManager::MaxTop(Variant& DataSourceName, int32_t& BIStyle) {
  Variant top = LargestOfEntity(
      DataSourceName, "Select max(dblTop) From FD_Fields Where iEntityID = " + SqlNumber(BIStyle));
  return top.IsNull() ? 0.0 : top.ToDouble();
}

}  // namespace q6
