// DataManager.LoadEOMetaData: an entity's definition from FD_Entities and
// FD_Fields, with its chain of child entities.
//
// Each level runs three statements on a connection of its own: the entity
// row, its field rows in layout order (unless OnlyEO) and the number of its
// first child (when GetChildEO). The child is loaded by calling this method
// again through the object's interface, so a chain of n levels holds n
// connections at its deepest point. Two things go beyond the plain algorithm:
// every connection goes back to the pool on every path, errors included
// (ConnectionLease), and a chain of iparentid links that loops back stops
// with an error instead of recursing forever (LoadChainGuard).
#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "component/metadata/load_chain.h"
#include "component/metadata/metadata_rows.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6 {
namespace {

// CursorTypeEnum adOpenForwardOnly; the field rows are read in one pass.
constexpr int32_t kAdOpenForwardOnly = 0;
constexpr int32_t kAdOptionUnspecified = -1;

}  // namespace

ObjectRef DataManager::LoadEOMetaData(Variant& DataSourceName, int32_t& BIType, bool& OnlyEO,
                                      int32_t& OnlyUsed, bool& GetChildEO) {
  LoadChainGuard on_the_way_down(BIType);
  // Declared before every recordset so that they are gone when it gives the
  // connection back (a connection still referenced is not pooled again).
  ConnectionLease con(DataSourceName);

  std::shared_ptr<EntityObject> eo = NewEntityObject();
  {
    std::shared_ptr<Recordset> entity =
        con->Execute("Select * From FD_Entities Where iID = " + SqlNumber(BIType));
    ReadEntityRow(*entity, *eo);
  }
  if (OnlyEO) return eo;

  {
    std::string sql = "Select * From FD_Fields Where iEntityID = " + SqlNumber(eo->ID());
    if (OnlyUsed == 0) sql += " and bisused = 1 ";
    sql += " order by irow,iinputcol,iid ";
    auto fields = std::make_shared<Recordset>();
    fields->Open(Variant(sql), con.variable(), kAdOpenForwardOnly, kAdLockReadOnly,
                 kAdOptionUnspecified);
    ReadFieldRows(*fields, *eo->Fields());
  }
  if (!GetChildEO) return eo;

  std::shared_ptr<Recordset> child =
      con->Execute("select ibitype from fd_entities where iparentid=" + SqlNumber(BIType));
  if (!child->EOF()) {
    int32_t child_type = child->Fields()->Item(Variant(int32_t{0}))->Value().ToLong();
    bool whole_chain = true;
    ObjectRef loaded = LoadEOMetaData(DataSourceName, child_type, OnlyEO, OnlyUsed, whole_chain);
    eo->ChildEOs()->SetChildEO(As<EntityObject>(loaded));
  }
  return eo;
}

}  // namespace q6
