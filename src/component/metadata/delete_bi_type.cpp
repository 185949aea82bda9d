// DataManager.DeleteBIType: removes an entity's field rows and its entity
// row on the caller's connection, inside whatever transaction the caller
// opened. The number goes between quotes with a blank after it, as the
// designer has always sent it; both engines read that text as the number.
// Child entities (rows whose iparentid names this one) stay, with their
// fields.
#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "platform/adodb/connection.h"

namespace q6 {

bool DataManager::DeleteBIType(ObjectRef& con, int32_t BIStyle) {
  if (!con) ThrowVb(91);
  std::shared_ptr<Connection> c = As<Connection>(con);
  if (!c) ThrowVb(kVbTypeMismatch);
  c->Execute("Delete From fd_fields where iEntityID = '" + SqlNumber(BIStyle) + " '");
  c->Execute("Delete From FD_Entities Where iBIType = '" + SqlNumber(BIStyle) + " '");
  return true;
}

}  // namespace q6
