// Rows of the metadata tables into entity objects.
//
// The column lists are tables rather than code so that the load order, the
// read mode of each column and the member it fills can be checked at a
// glance against the table definitions. The Field objects of a recordset are
// views of its current row, so each column is looked up by name once per
// recordset and then read on every row.
#include "component/metadata/metadata_rows.h"

#include <vector>

#include "component/frame/mdl_public.h"
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

// A column of a recordset, looked up once: its Field, and the same object
// held in a Variant as CheckNull and the as-stored puts take it.
struct BoundColumn {
  std::shared_ptr<Field> field;
  Variant object;
};

// The bound column of each entry of `columns`, in the same order.
template <class Column>
std::vector<BoundColumn> BindColumns(Recordset& rs, std::span<const Column> columns) {
  std::shared_ptr<Fields> all = rs.Fields();
  std::vector<BoundColumn> out;
  out.reserve(columns.size());
  for (const Column& c : columns) {
    std::shared_ptr<Field> field = all->Item(Variant(c.column));
    out.push_back({field, Variant(ObjectRef(field))});
  }
  return out;
}

// What a member gets from `column` read by `mode`.
Variant ReadColumn(BoundColumn& column, ReadMode mode) {
  switch (mode) {
    case ReadMode::kDirect:
      return column.field->Value();
    case ReadMode::kText:
    case ReadMode::kNumber: {
      bool number_mode = mode == ReadMode::kNumber;
      return CheckNull(column.object, number_mode);
    }
    case ReadMode::kAsStored:
      break;
  }
  return column.object;
}

}  // namespace

std::span<const EntityColumn> EntityColumns() { return kEntityColumns; }
std::span<const FieldColumn> FieldColumns() { return kFieldColumns; }

void ReadEntityRow(Recordset& rs, EntityObject& eo) {
  std::span<const EntityColumn> columns = EntityColumns();
  std::vector<BoundColumn> bound = BindColumns(rs, columns);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].member == EntityMember::BIType) eo.SetEditState(Variant(int32_t{0}));
    eo.SetMember(columns[i].member, ReadColumn(bound[i], columns[i].mode));
  }
}

void ReadFieldRows(Recordset& rs, EntityFields& fields) {
  std::span<const FieldColumn> columns = FieldColumns();
  std::vector<BoundColumn> bound = BindColumns(rs, columns);
  while (!rs.EOF()) {
    std::shared_ptr<EntityField> field = NewEntityField();
    for (size_t i = 0; i < columns.size(); ++i)
      field->SetMember(columns[i].member, ReadColumn(bound[i], columns[i].mode));
    fields.Add(std::move(field));
    rs.MoveNext();
  }
}

}  // namespace q6
