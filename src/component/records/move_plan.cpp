// MoveTo's plans, kept per thread, and the row filling that uses them.
#include "component/records/move_plan.h"

#include <array>
#include <utility>

#include "component/records/row_filling.h"
#include "outside/eso/entity_codes.h"
#include "platform/adodb/record_data.h"

namespace q6 {
namespace {

// A walk alternates between few entities and modes (the walk itself, the
// retry, a nested read of a child record), so a handful of entries serve it;
// the oldest gives way.
constexpr size_t kKept = 8;

struct KeptPlan {
  const EntityObject* entity = nullptr;  // compared, never followed
  uint64_t stamp = 0;
  Engine engine = Engine::SQLite;
  int32_t mode = -1;
  MovePlan plan;
};

struct PlanCache {
  std::array<KeptPlan, kKept> entries;
  size_t next = 0;  // the entry to replace next
};

// The plan's column positions for the fields of `eo` in a result of
// `result` columns; false when a column is missing (FillEntityFromRow then
// raises as it should).
bool MapColumns(MovePlan& plan, const EntityObject& eo, const std::vector<ColumnInfo>& result) {
  const int oid = FindColumnIn(result, eo.OIDSourceField());
  if (oid < 0) return false;
  std::vector<int> columns;
  columns.reserve(eo.Fields()->Items().size());
  for (const auto& field : *eo.Fields()) {
    if (field->JoinField().empty() && field->SourceField().empty()) {
      columns.push_back(-1);
      continue;
    }
    const int c = FindColumnIn(result, field->Name());
    if (c < 0) return false;
    columns.push_back(c);
  }
  plan.oid_column = oid;
  plan.field_columns = std::move(columns);
  plan.result_columns = result.size();
  return true;
}

// Whether the plan's positions are known for a result of `result` columns,
// working them out when not.
bool Mapped(MovePlan& plan, const EntityObject& eo, const std::vector<ColumnInfo>& result) {
  return (plan.oid_column >= 0 && plan.result_columns == result.size()) ||
         MapColumns(plan, eo, result);
}

// Copies the row into `eo` by the plan's positions, `cell(c)` giving the
// row's value in column c.
template <class CellOf>
void FillMapped(const MovePlan& plan, EntityObject& eo, CellOf&& cell) {
  eo.SetOIDValue(cell(static_cast<size_t>(plan.oid_column)));
  const auto& fields = eo.Fields()->Items();
  for (size_t i = 0; i < fields.size(); ++i)
    if (plan.field_columns[i] >= 0)
      fields[i]->SetValue(cell(static_cast<size_t>(plan.field_columns[i])));
  eo.SetEditState(Variant(int32_t{kEditStateLoaded}));
}

}  // namespace

MovePlan& MovePlanOf(const EntityObject& eo, Engine engine, int32_t mode,
                     FunctionRef<MovePlan()> build) {
  thread_local PlanCache cache;
  const uint64_t stamp = eo.DefinitionStamp();
  for (KeptPlan& k : cache.entries)
    if (k.entity == &eo && k.stamp == stamp && k.engine == engine && k.mode == mode) return k.plan;
  MovePlan plan = build();
  KeptPlan& slot = cache.entries[cache.next];
  cache.next = (cache.next + 1) % kKept;
  slot = KeptPlan{};
  slot.plan = std::move(plan);
  if (slot.plan.columns != "*") {
    slot.entity = &eo;
    slot.stamp = stamp;
    slot.engine = engine;
    slot.mode = mode;
  }
  return slot.plan;
}

void FillFromRow(MovePlan& plan, EntityObject& eo, Recordset& rs) {
  const RecordData& data = *rs.data();
  if (!Mapped(plan, eo, data.columns())) return FillEntityFromRow(eo, rs);
  FillMapped(plan, eo, [&](size_t c) -> const Variant& { return data.Value(c); });
}

bool FillFromResult(MovePlan& plan, EntityObject& eo, const ResultSet& result) {
  if (!Mapped(plan, eo, result.columns)) return false;
  FillMapped(plan, eo, [&](size_t c) -> const Variant& { return result.cells[c]; });
  return true;
}

}  // namespace q6
