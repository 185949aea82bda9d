// Statement and filter texts of the record readers.
//
// The texts are fixed to the letter, odd blanks included: the type filter of
// the BI types 21 to 81 ends with a blank for GetData and for MoveTo's moves
// forward and last, but not for its moves first and backward, and each
// comparison piece of MoveTo ends with a blank before " Order By". Clients
// and logs have always seen these texts; keeping them keeps traces comparable.
#include "component/records/record_statements.h"

#include "component/frame/sql_text.h"
#include "component/records/entity_terms.h"

namespace q6 {
namespace {

std::string Base(const char* select, const RecordSource& s, const std::string& columns) {
  return select + columns + " From " + s.table + " " + s.join;
}

const char* RangeEndingText(RangeEnding e) {
  switch (e) {
    case RangeEnding::kGetData:
      return "%' ";
    case RangeEnding::kMoveBackward:
      return "%' and book_name is null";
    case RangeEnding::kMoveForward:
      return "%' and book_name is null ";
  }
  return "%' ";
}

}  // namespace

RecordSource RecordSourceOf(const EntityObject& eo) {
  RecordSource s;
  s.table = eo.SourceTable();
  s.join = eo.UseExpr() ? eo.QryJoin() : std::string();
  s.key = KeyColumn(eo);
  s.effective_bi_type = EffectiveBIType(eo);
  s.prefix = TypePrefix(eo);
  return s;
}

std::string TypeFilter(const RecordSource& s, RangeEnding ending) {
  const int32_t t = s.effective_bi_type;
  if (t == 63) return " where " + s.key + " like '51%' ";
  const std::string head = " Where " + s.key + " like '" + SqlEscaped(s.prefix);
  if (t >= 21 && t <= 81) return head + RangeEndingText(ending);
  return head + "%'";
}

std::string GetDataStatement(const RecordSource& s, const std::string& columns) {
  return Base("Select ", s, columns) + TypeFilter(s, RangeEnding::kGetData) + " Order By " + s.key +
         " ASC";
}

std::string MoveToStatementWith(const RecordSource& s, const std::string& columns, int32_t mode,
                                const std::string& value) {
  std::string sql = Base("Select top 1 ", s, columns);
  const std::string& k = s.key;
  switch (mode) {
    case enum_First:
      return sql + TypeFilter(s, RangeEnding::kMoveBackward) + " Order By " + k + " ASC";
    case enum_Previous:
      return sql + TypeFilter(s, RangeEnding::kMoveBackward) + " and " + k + " < " + value + " " +
             " Order By " + k + " DESC";
    case enum_Current:
      return sql + " Where " + k + " = " + value;
    case enum_Next:
      return sql + TypeFilter(s, RangeEnding::kMoveForward) + " and " + k + " > " + value + " " +
             " Order By " + k + " ASC";
    case enum_Last:
      return sql + TypeFilter(s, RangeEnding::kMoveForward) + " Order By " + k + " desc";
    default:
      return sql;
  }
}

std::string MoveToStatement(const RecordSource& s, const std::string& columns, int32_t mode,
                            const std::string& current) {
  return MoveToStatementWith(s, columns, mode, "'" + SqlEscaped(current) + "'");
}

bool MoveToReadsCurrent(int32_t mode) {
  return mode == enum_Previous || mode == enum_Current || mode == enum_Next;
}

std::string MoveToRetryStatement(const RecordSource& s, const std::string& columns, int32_t mode,
                                 bool reversal, const std::string& current) {
  const std::string sql = Base("Select Top 1 ", s, columns);
  if (!reversal) return sql + " Where " + s.key + " = '" + SqlEscaped(current) + "'";
  return sql + TypeFilter(s, RangeEnding::kMoveBackward) + " Order By " + s.key +
         (mode == enum_Next ? " ASC" : " DESC");
}

ChildSource ChildSourceOf(const EntityObject& child, bool parent_use_expr) {
  ChildSource c;
  c.table = child.SourceTable();
  c.join = parent_use_expr ? child.QryJoin() : std::string();
  c.parent_field = child.ParentField();
  c.parent_oid = child.ParentOID()->Value();
  c.key = ChildKeyColumn(child);
  return c;
}

std::string ChildStatement(const ChildSource& c, const std::string& columns) {
  return "Select " + columns + " From " + c.table + " " + c.join + " Where " + c.parent_field +
         " = '" + SqlEscaped(c.parent_oid) + "' order by " + c.key;
}

std::optional<std::string> RecordsetMoveFilter(int32_t mode, const std::string& key,
                                               const std::string& current) {
  const char* op = nullptr;
  switch (mode) {
    case enum_Previous:
      op = " < '";
      break;
    case enum_Current:
      op = " = '";
      break;
    case enum_Next:
      op = " > '";
      break;
    default:
      return std::nullopt;
  }
  return key + op + SqlEscaped(current) + "'";
}

std::string ChildRecordsetFilter(const std::string& parent_field, const std::string& parent_oid) {
  return parent_field + " = '" + SqlEscaped(parent_oid) + "'";
}

}  // namespace q6
