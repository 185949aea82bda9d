// INSERT and UPDATE text of Save.
//
// Both lists are built with a trailing ", " after every item and cut by two
// characters at the end; an empty list has nothing to cut, which is the
// invalid-argument error a save without any written field has always
// raised, before any statement runs.
#include "component/records/save_statements.h"

#include "component/frame/sql_text.h"
#include "component/records/key_field.h"
#include "component/records/save_values.h"
#include "platform/trace/trace.h"
#include "runtime/com_error.h"

namespace q6 {
namespace {

constexpr std::string_view kSeparator = ", ";
constexpr std::string_view kSource = "Q6FDMgr.DataManager";

constexpr const char* kNothingToInsert =
    "no Persistent field has a value or a data type that is written (1 to 7, 9)";
constexpr const char* kNothingToUpdate =
    "no Persistent field is Changed: nothing to write. A field is Changed when a value that "
    "differs from its current one is put into it; putting an equal value leaves it unchanged";

// `list` without its final ", "; error 5 when there is none to remove,
// with a trace note that says why (`why`: what left the list empty), since
// the error itself names neither the record nor the cause.
std::string WithoutLastSeparator(std::string list, const EntityObject& eo, const char* why) {
  if (list.size() < kSeparator.size()) {
    TraceNote(kSource, "Save of entity " + std::to_string(eo.ID()) + " (" + eo.SourceTable() +
                           ") refused with error 5: " + why);
    ThrowVb(kVbInvalidProcedureCall);
  }
  list.resize(list.size() - kSeparator.size());
  return list;
}

}  // namespace

std::string InsertStatement(const EntityObject& eo) {
  std::string columns;
  std::string values;
  for (const auto& field : *eo.Fields()) {
    if (!field->Persistent()) continue;
    const Variant& value = field->Value();
    const bool is_null = IsNullValue(value);
    const ValueForm form = FormOfDataType(field->DataType());
    if (!is_null && form == ValueForm::kLeftOut) continue;
    columns += field->SourceField();
    columns += kSeparator;
    values += is_null ? std::string("NULL") : ValueLiteral(form, value);
    values += kSeparator;
  }
  columns = WithoutLastSeparator(std::move(columns), eo, kNothingToInsert);
  values = WithoutLastSeparator(std::move(values), eo, kNothingToInsert);
  return "Insert Into " + eo.SourceTable() + " " + "(" + columns + ") Values (" + values + ");";
}

std::string UpdateStatement(const EntityObject& eo) {
  std::string set;
  for (const auto& field : *eo.Fields()) {
    if (!field->Persistent() || !field->Changed()) continue;
    const ValueForm form = FormOfDataType(field->DataType());
    if (form == ValueForm::kLeftOut) continue;
    const Variant& value = field->Value();
    set += field->SourceField();
    if (form == ValueForm::kBoolean) {
      // The working value: the default stands in for a missing value.
      set += " = " + BooleanNumber(IsNullValue(value) ? field->DefaultVal() : value);
    } else if (IsNullValue(value)) {
      set += " = NULL";
    } else {
      set += " = " + ValueLiteral(form, value);
    }
    set += kSeparator;
  }
  set = WithoutLastSeparator(std::move(set), eo, kNothingToUpdate);
  const std::string key = KeyField(eo)->SourceField();
  return "Update " + eo.SourceTable() + " Set " + set + " Where " + key + " = " +
         SqlQuoted(eo.OID()->Value());
}

}  // namespace q6
