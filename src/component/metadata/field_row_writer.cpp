// A field row, as a table: the column, the member it comes from and how the
// value is converted. The six position and size columns follow the field's
// IsUsed: a field that is not in use has no place on the form.
#include "component/metadata/field_row_writer.h"

#include <array>
#include <utility>

#include "platform/adodb/recordset.h"

namespace q6 {
namespace {

using F = FieldMember;
using R = WriteRule;

constexpr FieldOutColumn kColumns[] = {
    {"iID", F::ID, R::kLong},
    {"sName", F::Name, R::kText},
    {"sCaption", F::Caption, R::kText},
    {"iEntityID", F::EntityID, R::kLong},
    {"iFieldOption", F::FieldOption, R::kLong},
    {"sHelpContextID", F::HelpContextID, R::kTextOrNull},
    {"bPersistent", F::Persistent, R::kBoolean},
    {"iReferenceType", F::ReferenceType, R::kByte},
    {"iRefFldSqc", F::RefFldSqc, R::kLong},
    {"iQryFldSqc", F::QryFldSqc, R::kLong},
    {"bIsUsed", F::IsUsed, R::kBoolean},
    {"sTaskID", F::TaskID, R::kTextOrNull},
    {"iEditProp", F::EditProp, R::kLong},
    {"iDataType", F::DataType, R::kLong},
    {"iLength", F::Length, R::kByte},
    {"iDecimals", F::Decimals, R::kByteOrNull},
    {"bAllowNull", F::AllowNull, R::kBoolean},
    {"sDefaultValue", F::DefaultValue, R::kDefault},
    {"sSourceField", F::SourceField, R::kTextOrNull},
    {"iRow", F::Row, R::kLongOrNull},
    {"iStartCol", F::StartCol, R::kLongOrNull},
    {"iEndCol", F::EndCol, R::kLongOrNull},
    {"iInputCol", F::InputCol, R::kLongOrNull},
    {"dblleft", F::Left, R::kLayout},
    {"dblwidth", F::Width, R::kLayout},
    {"dblInputLeft", F::InputLeft, R::kLayout},
    {"dblInputWidth", F::InputWidth, R::kLayout},
    {"dbltop", F::Top, R::kLayout},
    {"dblHeight", F::Height, R::kLayout},
    {"dblMin", F::Min, R::kBound},
    {"dblMax", F::Max, R::kBound},
    {"sexpr", F::Expr, R::kTextOrNull},
    {"sjoinfield", F::JoinField, R::kTextOrNull},
    {"bNeedCheck", F::NeedCheck, R::kFlag},
};

// Column I's value for a field, its rule compiled in: a row is made through
// this table, one call a column, with no rule to look up.
using MakeCell = Variant (*)(const EntityField&, bool);

template <size_t I>
Variant MakeColumn(const EntityField& field, bool in_use) {
  return ColumnOutBy<kColumns[I].rule>(field.Member(kColumns[I].member), in_use);
}

template <size_t... I>
constexpr std::array<MakeCell, sizeof...(I)> MakersOf(std::index_sequence<I...>) {
  return {&MakeColumn<I>...};
}

constexpr auto kMakers = MakersOf(std::make_index_sequence<std::size(kColumns)>());

}  // namespace

std::span<const FieldOutColumn> FieldOutColumns() { return kColumns; }

FieldRowWriter::FieldRowWriter(Recordset& rs) : rs_(rs) {
  std::shared_ptr<Fields> fields = rs.Fields();
  columns_.reserve(std::size(kColumns));
  for (const FieldOutColumn& c : kColumns) columns_.push_back(fields->ColumnOf(Variant(c.column)));
}

void FieldRowWriter::Add(const EntityField& field) {
  const bool in_use = field.IsUsed();
  rs_.AddNew(columns_, [&field, in_use](size_t i) { return kMakers[i](field, in_use); });
}

}  // namespace q6
