// DataManager.SaveEOMetaData: an entity's definition back into FD_Entities
// and FD_Fields, with its chain of child entities, as one unit.
//
// Only the outermost (public) call opens the unit: it takes a connection,
// begins the transaction and shuts other metadata savers out
// (ExclusiveTransaction with MetadataSaverExclusion). Within the unit each
// level checks its caption, writes its entity row (inserted for a new
// entity, EditState 2; rewritten otherwise), deletes its field rows and
// sends the new ones in one batch, and then saves its child, with the unit
// handed down: same connection, same transaction, no second trip to the
// connection pool (a second connection would wait for the first one's write
// lock on SQLite until its busy timeout). Only when every level has
// succeeded is the whole committed.
//
// Every failure ends in the result False with nothing written: the
// transaction is rolled back, the connection goes back to the pool, and the
// error is written to the statement trace (the caller sees only False). A
// failure before the transaction began (no connection, say) needs no
// rollback and gets none. A caption used by another document type is told
// to the user by the message box, once, after the rollback, so that nobody
// waits for a person to read it while the save's locks are held.
#include "component/frame/data_manager.h"
#include "component/frame/exclusive_transaction.h"
#include "component/metadata/entity_row_writer.h"
#include "component/metadata/field_row_writer.h"
#include "component/metadata/save_pause_hook.h"
#include "component/metadata/save_statements.h"
#include "component/metadata/save_transaction.h"
#include "component/support/error_note.h"
#include "outside/eso/entity_codes.h"
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
// Levels of children one save goes down at most; a chain of ChildEO links
// that loops back on itself ends here instead of in a stack overflow.
constexpr int kMaxLevels = 64;

// The work of one outermost save: its connection, inside its transaction,
// and what the levels below found.
class SaveUnit {
 public:
  explicit SaveUnit(std::shared_ptr<Connection> con) : con_(std::move(con)) {}

  Connection& connection() const { return *con_; }
  // The connection as recordsets take it (ActiveConnection).
  Variant connection_variant() const { return Variant(ObjectRef(con_)); }

  // A level found its caption taken; the outermost save shows the message.
  void NoteDuplicateCaption() { duplicate_caption_ = true; }
  bool duplicate_caption() const { return duplicate_caption_; }

 private:
  std::shared_ptr<Connection> con_;
  bool duplicate_caption_ = false;
};

void NoteFailure(const std::exception& e) noexcept { NoteSwallowedError(kSource, e); }

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
  for (const std::shared_ptr<EntityField>& field : *eo.Fields()) writer.Add(*field);
  rs->UpdateBatch(kAdAffectAll);
}

// Saves `EO` (and its children) inside `unit`; `level` counts the parents
// above. Returns false when a caption is taken here or below (noted in the
// unit); raises on any other failure.
bool SaveWithin(SaveUnit& unit, const ObjectRef& EO, bool only_eo, bool set_child, int level) {
  if (level >= kMaxLevels)
    Throw(E_FAIL, "the chain of child entities is deeper than " + std::to_string(kMaxLevels) +
                      " levels; does it loop back on itself?");
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
  // The child is saved whole (fields and its own child) in the same unit.
  return SaveWithin(unit, child, false, true, level + 1);
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
  bool duplicate_caption = false;
  try {
    // Destroyed in reverse: the unit, the transaction (rolled back unless
    // committed), the connection reference, and last the lease, which gives
    // the connection back once nothing else holds it.
    ConnectionLease lease(DataSourceName);
    std::shared_ptr<Connection> con = As<Connection>(ObjectOf(lease.variable()));
    if (!con) ThrowVb(kVbTypeMismatch);
    ExclusiveTransaction transaction(*con, kSource, MetadataSaverExclusion());
    SaveUnit unit(con);
    if (SaveWithin(unit, EO, OnlyEO, SetChildEO, 0)) {
      RunSavePauseHook();  // installed by tests only
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
