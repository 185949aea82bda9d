// DataManager.SaveEOMetaData: an entity's definition back into FD_Entities
// and FD_Fields, with its chain of child entities, as one unit.
//
// The outermost call takes a connection, begins the transaction and shuts
// other metadata savers out (ExclusiveTransaction with MetadataSaverExclusion), then checks the
// caption, writes the entity row (inserted for a new entity, EditState 2;
// rewritten otherwise), deletes the entity's field rows and sends the new
// ones in one batch, and saves the child through this object's interface.
// The child's call joins the open unit (SaveUnit): same connection, same
// transaction. Only when every level has succeeded is the whole committed.
//
// Every failure ends in the result False with nothing written: the
// transaction is rolled back, the connection goes back to the pool, and the
// error is written to the statement trace (the caller sees only False). A
// failure before the transaction began (no connection, say) needs no
// rollback and gets none. A caption used by another document type is told
// to the user by the message box, once, after the rollback.
#include "component/frame/data_manager.h"
#include "component/frame/exclusive_transaction.h"
#include "component/metadata/entity_row_writer.h"
#include "component/metadata/field_row_writer.h"
#include "component/metadata/save_pause_hook.h"
#include "component/metadata/save_statements.h"
#include "component/metadata/save_transaction.h"
#include "component/metadata/save_unit.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/msgbox/message_box.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

constexpr const char* kSource = "DataManager.SaveEOMetaData";
constexpr const char* kDuplicateCaptionText = "单据类型名称不能重复!";
constexpr const char* kMessageTitle = "HalvoERP-Q6资金管理";

// CursorTypeEnum adOpenDynamic, as the rows are opened for writing.
constexpr int32_t kAdOpenDynamic = 2;
constexpr int32_t kAdOptionUnspecified = -1;
// EditState of an entity that is not in the tables yet.
constexpr int32_t kEditStateNew = 2;

void NoteFailure(const std::exception& e) noexcept {
  try {
    if (const auto* ce = dynamic_cast<const ComError*>(&e))
      TraceNote(kSource, HrToString(ce->hr()) + " " + ce->description());
    else
      TraceNote(kSource, e.what());
  } catch (...) {
    // The trace is best effort; nothing may escape the error path.
  }
}

std::shared_ptr<EntityObject> RequireEntity(const ObjectRef& o) {
  if (!o) ThrowVb(91);
  std::shared_ptr<EntityObject> eo = As<EntityObject>(o);
  if (!eo) ThrowVb(kVbTypeMismatch);
  return eo;
}

// Whether a document type other than `eo`'s already has its caption.
bool CaptionTaken(Connection& con, const EntityObject& eo) {
  std::shared_ptr<Recordset> rs = con.Execute(DuplicateCaptionSql(eo.Caption(), eo.BIType()));
  return rs->Fields()->Item(Variant(int32_t{0}))->Value().ToLong() != 0;
}

void WriteEntity(const SaveUnit& unit, const EntityObject& eo) {
  bool is_new = eo.EditState() == kEditStateNew;
  auto rs = std::make_shared<Recordset>();
  rs->Open(Variant(is_new ? std::string(kNewEntityRowSource) : EntityRowSource(eo.BIType())),
           unit.connection_variant(), kAdOpenDynamic, kAdLockOptimistic, kAdOptionUnspecified);
  // An update finds no current row when the entity is not in the table; the
  // first column put then fails with 3021.
  if (is_new) rs->AddNew();
  WriteEntityRow(*rs, eo, is_new ? EntityWrite::kInsert : EntityWrite::kUpdate);
  rs->Update();
}

// Replaces the entity's field rows: all rows under its ID go, and each field
// is written under its own EntityID, in one batch.
void ReplaceFields(const SaveUnit& unit, const EntityObject& eo) {
  unit.connection().Execute(DeleteFieldRowsSql(eo.ID()));
  auto rs = std::make_shared<Recordset>();
  rs->Open(Variant(kNewFieldRowsSource), unit.connection_variant(), kAdOpenDynamic,
           kAdLockBatchOptimistic, kAdOptionUnspecified);
  FieldRowWriter writer(*rs);
  for (const std::shared_ptr<EntityField>& field : *eo.Fields()) {
    rs->AddNew();
    writer.Write(*field);
  }
  rs->UpdateBatch(kAdAffectAll);
}

// Saves `EO` (and its children) inside `unit`. Returns false when a caption
// is taken here or below (noted in the unit) or a child's save failed;
// raises on any other failure.
bool SaveWithin(DataManager& self, SaveUnit& unit, Variant& data_source, const ObjectRef& EO,
                bool only_eo, bool set_child) {
  std::shared_ptr<EntityObject> eo = RequireEntity(EO);
  if (CaptionTaken(unit.connection(), *eo)) {
    TraceNote(kSource, "the caption " + eo->Caption() + " of type " + std::to_string(eo->BIType()) +
                           " is used by another document type");
    unit.NoteDuplicateCaption();
    return false;
  }
  WriteEntity(unit, *eo);
  if (only_eo) return true;
  ReplaceFields(unit, *eo);
  ObjectRef child = eo->ChildEOs()->ChildEO();
  if (!child || !set_child) return true;
  bool child_only_eo = false;
  bool child_set_child = true;
  return self.SaveEOMetaData(data_source, child, child_only_eo, child_set_child);
}

void ShowDuplicateCaption() noexcept {
  try {
    ShowMessageBox(kDuplicateCaptionText, kMessageTitle, kMbIconInformation | kMbOkOnly);
  } catch (const std::exception& e) {
    NoteFailure(e);
  } catch (...) {
    TraceNote(kSource, "the message box handler failed");
  }
}

}  // namespace

bool DataManager::SaveEOMetaData(Variant& DataSourceName, ObjectRef& EO, bool& OnlyEO,
                                 bool& SetChildEO) {
  // A child's save: part of its parent's unit, which rolls back on False.
  try {
    if (SaveUnit* unit = SaveUnit::Joinable(DataSourceName))
      return SaveWithin(*this, *unit, DataSourceName, EO, OnlyEO, SetChildEO);
  } catch (const std::exception& e) {
    NoteFailure(e);
    return false;
  }

  bool duplicate_caption = false;
  try {
    // Destroyed in reverse: the unit, the transaction (rolled back unless
    // committed), the connection reference, and last the lease, which gives
    // the connection back once nothing else holds it.
    ConnectionLease lease(DataSourceName);
    std::shared_ptr<Connection> con = As<Connection>(ObjectOf(lease.variable()));
    if (!con) ThrowVb(kVbTypeMismatch);
    ExclusiveTransaction transaction(*con, kSource, MetadataSaverExclusion(con->engine()));
    SaveUnit unit(con, DataSourceName);
    if (SaveWithin(*this, unit, DataSourceName, EO, OnlyEO, SetChildEO)) {
      PauseInsideSaveIfAsked();  // tests only: see save_pause_hook.h
      transaction.Commit();
      return true;
    }
    duplicate_caption = unit.duplicate_caption();
  } catch (const std::exception& e) {
    NoteFailure(e);
  } catch (...) {
    TraceNote(kSource, "unknown failure");
  }
  if (duplicate_caption) ShowDuplicateCaption();
  return false;
}

}  // namespace q6
