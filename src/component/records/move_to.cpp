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
#include "component/records/move_plan.h"
#include "component/records/record_statements.h"
#include "component/records/row_filling.h"
#include "component/support/record_arguments.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

// The statement of a bound plan, translated with `d`'s column types, one
// placeholder where the OID goes.
void TranslatePlan(Driver& d, MovePlan* plan) {
  plan->statement = KeptTranslation(d, plan->head + d.Placeholder(1) + plan->tail);
  plan->statement.statement().params.assign(1, Variant());
}

// The plan of one entity type, column list and mode: the column list, and
// for a mode that compares with the current OID the statement built around
// a placeholder and translated once, so that every step of a walk runs the
// one statement the engine keeps prepared with the OID bound.
MovePlan BuildPlan(DataManager& dm, ObjectRef& EO, const EntityObject& eo, Driver& d,
                   int32_t mode) {
  MovePlan plan;
  plan.source = RecordSourceOf(eo);
  plan.flag = ColumnListFlag(plan.source.effective_bi_type);
  int32_t list_flag = plan.flag;
  plan.columns = dm.strBiToSqlByEO(EO, list_flag);
  if (!MoveToReadsCurrent(mode)) return plan;
  static constexpr char kMark[] = "\x01OID\x01";
  const std::string marked = MoveToStatementWith(plan.source, plan.columns, mode, kMark);
  const size_t at = marked.find(kMark);
  // Cannot tell where the OID goes when the mark is in a name: the
  // statement is then built whole at every step.
  if (at == std::string::npos || marked.find(kMark, at + 1) != std::string::npos) return plan;
  plan.bound = true;
  plan.head = marked.substr(0, at);
  plan.tail = marked.substr(at + sizeof kMark - 1);
  TranslatePlan(d, &plan);
  return plan;
}

// Runs MoveTo's first statement; its result stays a plain result (no
// Recordset) unless a caller needs one. The trace shows the text as built,
// the OID in place; it is only put together when the trace is on.
ResultSet RunMove(Connection& c, MovePlan& plan, int32_t mode, const std::string& current) {
  Driver& d = c.driver();
  if (!plan.bound) {
    if (!MoveToReadsCurrent(mode))
      return c.Run(MoveToStatement(plan.source, plan.columns, mode, current));
    Translation statement =
        TranslateFor(d, MoveToStatementWith(plan.source, plan.columns, mode, d.Placeholder(1)));
    statement.params.emplace_back(current);
    return d.Execute(statement, MoveToStatement(plan.source, plan.columns, mode, current));
  }
  std::string built;
  if (TraceEnabled()) {
    built = plan.head;
    built += '\'';
    built += SqlEscaped(current);
    built += '\'';
    built += plan.tail;
  }
  if (!plan.statement.Holds(d)) TranslatePlan(d, &plan);
  Translation& statement = plan.statement.statement();
  statement.params[0] = Variant(current);
  return d.Execute(statement, built);
}

std::shared_ptr<Recordset> AsRecordset(ResultSet&& result) {
  auto rs = std::make_shared<Recordset>();
  rs->Attach(std::move(result));
  return rs;
}

}  // namespace

bool DataManager::MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal,
                         bool& GetChild) {
  const std::shared_ptr<Connection> connection = RequireConnection(con);
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);

  const std::string current = eo->OID()->Value();

  MovePlan& plan = MovePlanOf(*eo, connection->engine(), MoveMode, [&] {
    return BuildPlan(*this, EO, *eo, connection->driver(), MoveMode);
  });
  ResultSet found = RunMove(*connection, plan, MoveMode, current);
  std::shared_ptr<Recordset> rs;  // the row as a Recordset, made only when needed
  if (found.row_count == 0) {
    rs = connection->Execute(
        MoveToRetryStatement(plan.source, plan.columns, MoveMode, Reversal, current));
    if (rs->EOF()) return true;
  }

  // The plan is not used after this: a nested MoveTo below may replace it.
  if (rs || !FillFromResult(plan, *eo, found)) {
    if (!rs) rs = AsRecordset(std::move(found));
    FillFromRow(plan, *eo, *rs);
  }

  const std::shared_ptr<EntityObject> child = eo->ChildEOs()->ChildEO();
  if (!child || !GetChild) return true;
  if (!rs) rs = AsRecordset(std::move(found));
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
