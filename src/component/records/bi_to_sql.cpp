// DataManager.strBiToSqlByEO: the select list of an entity, from its fields.
//
// One item per field that IsQueryField lets through, in the order the
// entity's Fields enumerate: an expression, " as '", an alias and "',", the
// final comma cut off. lFlag packs three switches in its decimal digits: the
// units pick the alias (Caption or Name), the tens the expression
// (GetFieldExpr, or JoinField/SourceField), and the hundreds, through a
// derived number, whether fields with EditProp 2 are left out.
//
// The derived number is lFlag / 100 rounded half to even, times 100 in 16-bit
// arithmetic, plus 1 for the entity's key field; so the hundreds switch is
// only exact while the tens digit is below 5, and lFlag at 32750 or above (or
// -32750 or below) overflows. Any error, that overflow included, gives "*"
// (the whole table) instead of a partial list; the error is written to the
// statement trace so that it can still be found.
//
// The alias goes between single quotes with any quote inside it doubled, so
// a caption such as O'Brien cannot break the statement.
#include <cstdint>
#include <exception>

#include "component/frame/data_manager.h"
#include "component/frame/mdl_public.h"
#include "component/frame/sql_text.h"
#include "outside/eso/entity_object.h"
#include "outside/services/public_service.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

constexpr char kSource[] = "DataManager.strBiToSqlByEO";
constexpr int kObjectVariableNotSet = 91;

// The flags IsQueryField gets for a field other than the key (the key
// field's are one more). Raises Overflow (6) when the product leaves the
// 16-bit range.
int32_t DerivedFlags(int32_t lFlag) {
  // Division is exact at the halves (n + 0.5 is representable), and the
  // conversion to a 16-bit integer rounds them to even, raising 6 itself
  // beyond the range.
  int32_t hundreds = Variant(static_cast<double>(lFlag) / 100.0).ToInteger();
  int32_t product = hundreds * 100;
  if (product < INT16_MIN || product > INT16_MAX) ThrowVb(kVbOverflow);
  return product;
}

std::string BuildList(ObjectRef& objEO, int32_t& lFlag) {
  if (!objEO) ThrowVb(kObjectVariableNotSet);
  auto eo = As<EntityObject>(objEO);
  if (!eo) ThrowVb(kVbTypeMismatch);
  std::shared_ptr<PublicService> ps = ApartmentPublicService();
  // lFlag and so its derived flags and digits are the same for every field:
  // worked out once, at the first field (an entity without fields raises
  // nothing).
  bool first = true;
  int32_t derived_base = 0;
  bool by_expression = false, by_caption = false;
  std::string list;
  for (const std::shared_ptr<EntityField>& field : *eo->Fields()) {
    if (first) {
      derived_base = DerivedFlags(lFlag);
      Variant flag_value(lFlag);
      int32_t tens = 2, units = 1;
      by_expression = ps->GetDigit(flag_value, tens) > 0;
      by_caption = ps->GetDigit(flag_value, units) > 0;
      first = false;
    }
    int32_t derived = derived_base + (field->Name() == eo->OIDSourceField() ? 1 : 0);
    ObjectRef as_object = field;
    Variant listed = IsQueryField(as_object, derived);
    if (listed.IsEmpty() || !listed.ToBool()) continue;

    std::string expression;
    if (by_expression) {
      Variant field_variant(as_object);
      Variant expr = Variant::Null();
      expression = GetFieldExpr(field_variant, expr);
    } else {
      expression = field->JoinField().empty() ? field->SourceField() : field->JoinField();
    }
    list += expression;
    list += " as '";
    list += SqlEscaped(by_caption ? field->Caption() : field->Name());
    list += "',";
  }
  return list;
}

}  // namespace

std::string DataManager::strBiToSqlByEO(ObjectRef& objEO, int32_t& lFlag) {
  std::string list;
  try {
    list = BuildList(objEO, lFlag);
  } catch (const ComError& e) {
    TraceNote(kSource, e.description() + " (" + HrToString(e.hr()) + ")");
    return "*";
  } catch (const std::exception& e) {
    TraceNote(kSource, e.what());
    return "*";
  }
  if (list.empty()) return "*";
  list.pop_back();  // the last item's comma
  return list;
}

}  // namespace q6
