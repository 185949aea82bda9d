// DataManager.vFieldValue: not landed yet.
#include "frame/data_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

Variant DataManager::vFieldValue(Variant& strDsn, std::string& sName, ObjectRef& EO, Variant& sWhere, Variant& vVal, Variant& strError) {
  NotImplemented("DataManager.vFieldValue");
}

}  // namespace q6
