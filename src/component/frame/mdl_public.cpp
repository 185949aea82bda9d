// The shared helpers: CheckNull, IsQueryField, GetFieldExpr.
//
// They read entity fields through late binding (by member name), as the
// callers may hand them any object that offers these members.
#include "component/frame/mdl_public.h"

#include "outside/eso/entity_field.h"
#include "outside/services/public_service.h"

namespace q6 {

Variant CheckNull(Variant& value, bool& mode) {
  return ApartmentPublicService()->ConvertNull(value, mode);
}

std::string CheckNullText(const Variant& value) {
  Variant v = value;
  bool text_mode = false;
  return CheckNull(v, text_mode).ToString();
}

namespace {
Variant ListedUnless(int32_t edit_prop, int32_t flags) {
  auto ps = ApartmentPublicService();
  Variant flags_ref = Variant(flags);
  int32_t units_pos = 1, hundreds_pos = 3;
  int16_t units = ps->GetDigit(flags_ref, units_pos);
  int16_t hundreds = ps->GetDigit(flags_ref, hundreds_pos);
  if (edit_prop != 2 || hundreds < 1 || units != 0) return Variant(true);
  return Variant();
}
}  // namespace

Variant IsQueryField(ObjectRef& field, int32_t& flags) {
  if (!field) return Variant();
  // The entity library's own field is read through its typed members: they
  // hold the same values as the late-bound ones, never Null, and a select
  // list reads them for every field of every statement.
  if (const auto own = As<EntityField>(field)) {
    if (own->SourceField().empty() && own->JoinField().empty()) return Variant();
    return ListedUnless(own->EditProp(), flags);
  }
  std::string source = CheckNullText(field->Get("SourceField"));
  std::string join = CheckNullText(field->Get("JoinField"));
  if (source.empty() && join.empty()) return Variant();
  return ListedUnless(field->Get("EditProp").ToLong(), flags);
}

std::string GetFieldExpr(Variant& field, Variant& expression) {
  ObjectRef f = ObjectOf(field);
  expression = Variant(CheckNullText(f->Get("Expr")));
  if (expression.string().empty()) return f->Get("SourceField").ToString();
  std::string join = f->Get("JoinField").ToString();
  std::string source = f->Get("SourceField").ToString();
  join = f->Get("JoinField").ToString();
  const std::string& column = join.empty() ? source : join;
  std::string out;
  for (char c : expression.string()) {
    if (c == '@')
      out += column;
    else
      out += c;
  }
  expression = Variant(out);
  return out;
}

}  // namespace q6
