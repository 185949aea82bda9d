// The entity row, as a table: the column, the member it comes from, how the
// value is converted and whether only a new row receives it.
//
// sMaxOID is the OID counter, which from the moment the entity exists
// belongs to the identifier allocator; iVchType and iderivebitype are fixed
// once a type has been created. An update therefore leaves all three as
// stored, whatever the object holds.
#include "component/metadata/entity_row_writer.h"

#include "platform/adodb/recordset.h"

namespace q6 {
namespace {

using E = EntityMember;
using R = WriteRule;

constexpr EntityOutColumn kColumns[] = {
    {"iID", E::ID, R::kLong, false},
    {"sName", E::Name, R::kText, false},
    {"sCaption", E::Caption, R::kText, false},
    {"ibitype", E::BIType, R::kLong, false},
    {"sMaxOID", E::BIType, R::kMaxOID, true},
    {"sOIDSourceField", E::OIDSourceField, R::kText, false},
    {"sSourceTable", E::SourceTable, R::kText, false},
    {"sParentField", E::ParentField, R::kTextOrNull, false},
    {"sTaskID", E::TaskID, R::kTextOrNull, false},
    {"sHelpContextID", E::HelpContextID, R::kTextOrNull, false},
    {"sDescription", E::Description, R::kTextOrNull, false},
    {"iSheet", E::Sheet, R::kLongOrNull, false},
    {"iRows", E::Rows, R::kLongOrNull, false},
    {"iCols", E::Cols, R::kLongOrNull, false},
    {"iIsUsed", E::IsUsed, R::kFlag, false},
    {"sPzSign", E::PzSign, R::kTextOrNull, false},
    {"iVchType", E::VchType, R::kInteger, true},
    {"iderivebitype", E::DeriveBIType, R::kInteger, true},
    {"iWidth", E::Width, R::kDouble, false},
    {"iHeight", E::Height, R::kDouble, false},
    {"bIsAutoAlarm", E::IsAutoAlarm, R::kBoolean, false},
    {"ialarmdays", E::AlarmDays, R::kInteger, false},
    {"sqryjoin", E::QryJoin, R::kTextOrNull, false},
    {"SubjectCode", E::SubjectCode, R::kTextOrNull, false},
    {"buseexpr", E::UseExpr, R::kFlag, false},
    {"bCheckOver", E::CheckOver, R::kFlag, false},
};

}  // namespace

std::span<const EntityOutColumn> EntityOutColumns() { return kColumns; }

void WriteEntityRow(Recordset& rs, const EntityObject& eo, EntityWrite how) {
  std::shared_ptr<Fields> fields = rs.Fields();
  for (const EntityOutColumn& c : kColumns) {
    if (c.insert_only && how == EntityWrite::kUpdate) continue;
    fields->Item(Variant(c.column))->PutValue(ColumnOut(eo.Member(c.member), c.rule));
  }
}

}  // namespace q6
