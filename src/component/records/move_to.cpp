// DataManager.MoveTo: reads the first, previous, current, next or last record
// of an entity's type from the database into the entity, with its child
// records.
//
// One "top 1" statement per move; when it finds nothing, a second one either
// wraps around (Reversal) or reads the current record again. Child records
// that have children of their own are completed by a nested MoveTo on this
// same object, reading the child again by its key, to any depth. The method
// has no error handling: the first failure reaches the caller, and what was
// already copied into the entity stays.
#include <memory>

#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "component/records/entity_terms.h"
#include "component/records/record_statements.h"
#include "component/records/row_filling.h"
#include "component/support/record_arguments.h"
#include "platform/adodb/connection.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {

// MoveTo's first statement for one entity type, column list and mode, as
// built around the current OID (`head`, the quoted OID, `tail`), with its
// translation for the OID bound. Kept for the last one a thread ran: a walk
// through the records runs the same one at every step.
struct MoveStatement {
  Engine engine = Engine::SQLite;
  int32_t mode = -1;
  std::string columns;
  RecordSource source;
  std::string head, tail;
  Translation bound;

  bool Matches(Engine e, int32_t m, const std::string& c, const RecordSource& s) const {
    return engine == e && mode == m && columns == c && source.table == s.table &&
           source.join == s.join && source.key == s.key &&
           source.effective_bi_type == s.effective_bi_type && source.prefix == s.prefix;
  }
};

// Runs MoveTo's first statement. One that compares with the current OID gets
// the OID bound where its literal stands: every step of a walk then runs the
// one statement the engine keeps prepared, and the text is translated once,
// not at every step. The trace shows the text as built, the OID in place.
std::shared_ptr<Recordset> RunMove(Connection& c, const RecordSource& source,
                                   const std::string& columns, int32_t mode,
                                   const std::string& current) {
  if (!MoveToReadsCurrent(mode)) return c.Execute(MoveToStatement(source, columns, mode, current));
  Driver& d = c.driver();
  thread_local MoveStatement kept;
  if (!kept.Matches(d.engine(), mode, columns, source)) {
    static constexpr char kMark[] = "\x01OID\x01";
    const std::string marked = MoveToStatementWith(source, columns, mode, kMark);
    const size_t at = marked.find(kMark);
    if (at == std::string::npos || marked.find(kMark, at + 1) != std::string::npos) {
      // Cannot tell where the OID goes (the mark is in a name): built whole.
      Translation statement =
          TranslateSql(MoveToStatementWith(source, columns, mode, d.Placeholder(1)), d.engine());
      statement.params.emplace_back(current);
      return c.ExecuteTranslated(statement, MoveToStatement(source, columns, mode, current));
    }
    kept = MoveStatement{};
    kept.head = marked.substr(0, at);
    kept.tail = marked.substr(at + sizeof kMark - 1);
    kept.bound = TranslateSql(kept.head + d.Placeholder(1) + kept.tail, d.engine());
    kept.engine = d.engine();
    kept.mode = mode;
    kept.columns = columns;
    kept.source = source;
  }
  std::string built = kept.head;
  built += '\'';
  built += SqlEscaped(current);
  built += '\'';
  built += kept.tail;
  Translation statement = kept.bound;
  statement.params.emplace_back(current);
  return c.ExecuteTranslated(statement, built);
}

}  // namespace

bool DataManager::MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal,
                         bool& GetChild) {
  const std::shared_ptr<Connection> connection = RequireConnection(con);
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);

  const RecordSource source = RecordSourceOf(*eo);
  const int32_t flag = ColumnListFlag(source.effective_bi_type);
  const std::string current = eo->OID()->Value();

  int32_t list_flag = flag;
  std::string columns = strBiToSqlByEO(EO, list_flag);
  std::shared_ptr<Recordset> rs = RunMove(*connection, source, columns, MoveMode, current);
  if (rs->EOF()) {
    list_flag = flag;
    columns = strBiToSqlByEO(EO, list_flag);
    rs = connection->Execute(MoveToRetryStatement(source, columns, MoveMode, Reversal, current));
  }
  if (rs->EOF()) return true;

  FillEntityFromRow(*eo, *rs);

  const std::shared_ptr<EntityObject> child = eo->ChildEOs()->ChildEO();
  if (!child || !GetChild) return true;
  child->ParentOID()->SetValue(rs->Field(eo->OIDSourceField()));
  const ChildSource child_source = ChildSourceOf(*child, eo->UseExpr());
  ObjectRef child_ref = child;
  int32_t child_flag = 0;
  const std::string child_columns = strBiToSqlByEO(child_ref, child_flag);
  const std::shared_ptr<Recordset> children =
      connection->Execute(ChildStatement(child_source, child_columns));
  for (; !children->EOF(); children->MoveNext()) {
    std::shared_ptr<EntityObject> record = NewChildRecord(*child, *children);
    if (record->ChildEOs()->ChildEO()) {
      ObjectRef record_ref = record;
      int32_t reread = enum_Current;
      bool no_reversal = false;
      bool with_children = true;
      MoveTo(con, record_ref, reread, no_reversal, with_children);
    }
    AddChildRecord(*eo, record);
  }
  return true;
}

}  // namespace q6
