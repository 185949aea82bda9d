// OIDManager.GetNewOID: the next OID of a type from its counter in
// FD_Entities.sMaxOID, or (Locked False) the counter as it stands.
//
// Allocation reads the counter and writes it back in two statements. Run
// bare, two clients could read the same counter and hand out the same OID,
// so both statements run in one transaction of the method's own connection
// that keeps other allocators of the type out until it commits: SQLite
// begins it with BEGIN IMMEDIATE (the database's write lock, taken before
// the read), and the select asks for the counter's row to be locked
// (kExecuteLockingRows: FOR UPDATE on PostgreSQL), whatever the dialect
// makes of its with(updlock) hint. A counter that would leave the type's
// range fails (NextOid) before anything is written. Any failure rolls the
// transaction back, so the counter moves exactly when an OID is returned. A
// plain read needs no transaction and writes nothing.
//
// When this thread already holds the database's write lock in a transaction
// of its own (a caller's BeginTrans on SQLite: begin, allocate the lines'
// OIDs, save, commit), the allocation runs inside that transaction under a
// savepoint: the counter then moves for good only when the caller commits.
#include "component/frame/exclusive_transaction.h"
#include "component/frame/oid_manager.h"
#include "component/frame/sql_text.h"
#include "component/identifiers/identifier_value.h"
#include "outside/eso/oid_object.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"

namespace q6 {

ObjectRef OIDManager::GetNewOID(Variant& DataSource, int32_t& BIStyle, bool& Locked) {
  const std::string select =
      "Select sMaxOID From FD_Entities with(updlock) Where iID = " + SqlNumber(BIStyle);
  ConnectionLease con(DataSource);
  auto oid = NewOIDObject();
  if (!Locked) {
    std::shared_ptr<Recordset> rs = con->Execute(select);
    oid->SetValue(rs->Fields()->Item(Variant("sMaxOID"))->Value());
    return oid;
  }

  ExclusiveTransaction tx(*con, "OIDManager.GetNewOID", std::nullopt,
                          ExclusiveTransaction::Join::kThisThreadsWriter);
  std::shared_ptr<Recordset> rs = tx.connection().Execute(select, nullptr, kExecuteLockingRows);
  const std::string next = NextOid(rs->Fields()->Item(Variant("sMaxOID"))->Value(), BIStyle);
  // The update and the commit go together. The new counter is bound rather
  // than written into the text, so every allocation of the type runs the
  // one statement the engine prepared, without translating a new text each
  // time; the trace shows the text as built, the counter in place.
  const std::string where = " where iid= " + SqlNumber(BIStyle);
  Connection& c = tx.connection();
  tx.CommitAfter({Driver::Batched{
      Translation(" update fd_entities set smaxoid=" + c.driver().Placeholder(1) + where,
                  {Variant(next)}),
      " update fd_entities set smaxoid='" + SqlEscaped(next) + "'" + where}});
  oid->SetValue(Variant(next));
  return oid;
}

}  // namespace q6
