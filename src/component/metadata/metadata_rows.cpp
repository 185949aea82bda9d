// Rows of the metadata tables into entity objects.
//
// The column lists are tables rather than code so that the load order, the
// read mode of each column and the member it fills can be checked at a
// glance against the table definitions. The Field objects of a recordset are
// views of its current row, so each column is looked up by name once per
// recordset and then read in place on every row.
#include "component/metadata/metadata_rows.h"

#include <vector>

#include "outside/eso/entity_codes.h"
#include "platform/adodb/record_data.h"
#include "platform/adodb/recordset.h"

namespace q6 {
namespace {

using M = ReadMode;
using E = EntityMember;
using F = FieldMember;

constexpr EntityColumn kEntityColumns[] = {
    {"iID", M::kDirect, E::ID},
    {"sName", M::kDirect, E::Name},
    {"sCaption", M::kDirect, E::Caption},
    {"ibitype", M::kDirect, E::BIType},
    {"sOIDSourceField", M::kDirect, E::OIDSourceField},
    {"sSourceTable", M::kDirect, E::SourceTable},
    {"sParentField", M::kText, E::ParentField},
    {"sTaskID", M::kText, E::TaskID},
    {"sHelpContextID", M::kText, E::HelpContextID},
    {"sDescription", M::kText, E::Description},
    {"iSheet", M::kNumber, E::Sheet},
    {"iRows", M::kNumber, E::Rows},
    {"iCols", M::kNumber, E::Cols},
    {"iIsUsed", M::kNumber, E::IsUsed},
    {"sPzSign", M::kText, E::PzSign},
    {"iVchType", M::kNumber, E::VchType},
    {"iderivebitype", M::kNumber, E::DeriveBIType},
    {"iWidth", M::kNumber, E::Width},
    {"iHeight", M::kNumber, E::Height},
    {"bIsAutoAlarm", M::kNumber, E::IsAutoAlarm},
    {"ialarmdays", M::kNumber, E::AlarmDays},
    {"buseexpr", M::kNumber, E::UseExpr},
    {"sqryjoin", M::kText, E::QryJoin},
    {"SubjectCode", M::kText, E::SubjectCode},
    {"bCheckOver", M::kNumber, E::CheckOver},
};

// sHelpContextID and sTaskID are read in number mode here, unlike the
// entity's columns of the same names: a Null arrives as the text "0".
constexpr FieldColumn kFieldColumns[] = {
    {"iID", M::kDirect, F::ID},
    {"sName", M::kDirect, F::Name},
    {"sCaption", M::kDirect, F::Caption},
    {"iEntityID", M::kDirect, F::EntityID},
    {"iFieldOption", M::kDirect, F::FieldOption},
    {"sHelpContextID", M::kNumber, F::HelpContextID},
    {"bPersistent", M::kDirect, F::Persistent},
    {"iReferenceType", M::kNumber, F::ReferenceType},
    {"iRefFldSqc", M::kNumber, F::RefFldSqc},
    {"iQryFldSqc", M::kNumber, F::QryFldSqc},
    {"bIsUsed", M::kDirect, F::IsUsed},
    {"sTaskID", M::kNumber, F::TaskID},
    {"iEditProp", M::kDirect, F::EditProp},
    {"iDataType", M::kDirect, F::DataType},
    {"iLength", M::kDirect, F::Length},
    {"iDecimals", M::kNumber, F::Decimals},
    {"bAllowNull", M::kDirect, F::AllowNull},
    {"sDefaultValue", M::kAsStored, F::DefaultValue},
    {"sSourceField", M::kText, F::SourceField},
    {"iRow", M::kNumber, F::Row},
    {"iStartCol", M::kNumber, F::StartCol},
    {"iEndCol", M::kNumber, F::EndCol},
    {"iInputCol", M::kNumber, F::InputCol},
    {"dblleft", M::kNumber, F::Left},
    {"dblwidth", M::kNumber, F::Width},
    {"dblInputLeft", M::kNumber, F::InputLeft},
    {"dblInputWidth", M::kNumber, F::InputWidth},
    {"dbltop", M::kNumber, F::Top},
    {"dblHeight", M::kNumber, F::Height},
    {"dblMin", M::kAsStored, F::Min},
    {"dblMax", M::kAsStored, F::Max},
    {"sexpr", M::kText, F::Expr},
    {"sjoinfield", M::kText, F::JoinField},
    {"bNeedCheck", M::kNumber, F::NeedCheck},
};

// The position of each entry of `columns` in the rows of `rs`, in the same
// order; raises 3265, as Fields.Item does, for a column the rows lack.
template <class Column>
std::vector<size_t> BindColumns(Recordset& rs, std::span<const Column> columns) {
  std::shared_ptr<Fields> all = rs.Fields();
  const RecordData& data = *rs.data();
  std::vector<size_t> out;
  out.reserve(columns.size());
  for (const Column& c : columns) {
    int at = data.FindColumn(c.column);
    if (at < 0) all->Item(Variant(c.column));  // raises 3265
    out.push_back(static_cast<size_t>(at));
  }
  return out;
}

// Puts into `member` of `target` what `value`, a column's value in the
// current row, gives by `mode`. The value is read in place: the Field object
// of the column would hand over the same value (kDirect, and kAsStored,
// whose put takes a Field's current value), and CheckNull of that Field only
// turns Null and Empty into 0 (number mode) or "" (text mode).
template <class Target, class Member>
void Fill(Target& target, Member member, const Variant& value, ReadMode mode) {
  static const Variant kNullAsNumber(int32_t{0});
  static const Variant kNullAsText{std::string()};
  if ((mode == ReadMode::kText || mode == ReadMode::kNumber) &&
      (value.IsNull() || value.IsEmpty())) {
    target.SetMember(member, mode == ReadMode::kNumber ? kNullAsNumber : kNullAsText);
    return;
  }
  target.SetMember(member, value);
}

}  // namespace

std::span<const EntityColumn> EntityColumns() { return kEntityColumns; }
std::span<const FieldColumn> FieldColumns() { return kFieldColumns; }

void ReadEntityRow(Recordset& rs, EntityObject& eo) {
  std::span<const EntityColumn> columns = EntityColumns();
  std::vector<size_t> at = BindColumns(rs, columns);
  const RecordData& data = *rs.data();
  const size_t row = data.current();  // 3021 without one
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].member == EntityMember::BIType)
      eo.SetEditState(Variant(int32_t{kEditStateDefinition}));
    Fill(eo, columns[i].member, data.cell(row, at[i]), columns[i].mode);
  }
}

void ReadFieldRows(Recordset& rs, EntityFields& fields) {
  std::span<const FieldColumn> columns = FieldColumns();
  std::vector<size_t> at = BindColumns(rs, columns);
  const RecordData& data = *rs.data();
  while (!rs.EOF()) {
    std::shared_ptr<EntityField> field = NewEntityField();
    const size_t row = data.current();
    for (size_t i = 0; i < columns.size(); ++i)
      Fill(*field, columns[i].member, data.cell(row, at[i]), columns[i].mode);
    fields.Add(std::move(field));
    rs.MoveNext();
  }
}

}  // namespace q6
