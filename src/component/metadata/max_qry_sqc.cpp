// DataManager.MaxQrySqc: the last query position used by an entity's fields,
// so that the designer can put a new field after it.
#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "component/metadata/designer_query.h"

namespace q6 {

int32_t DataManager::MaxQrySqc(Variant& DataSourceName, int32_t& BIStyle) {
  Variant sqc =
      LargestOfEntity(DataSourceName, "Select max(iQryFldsqc) From FD_Fields Where iEntityID = " +
                                          SqlNumber(BIStyle));
  return sqc.IsNull() ? 0 : sqc.ToLong();
}

}  // namespace q6
