// Shared helpers of the component's classes, on the apartment's
// PublicService. None handles errors: a failure of PublicService or of
// reading a member of the field passes to the caller.
#pragma once

#include <string>

#include "runtime/dispatch.h"

namespace q6 {

// What PublicService.ConvertNull returns for the same arguments: Null or
// Empty become "" in text mode (False) and 0 in number mode (True); anything
// else (an object: its default member's value) comes back unchanged.
Variant CheckNull(Variant& value, bool& mode);
// Text-mode CheckNull converted to text.
std::string CheckNullText(const Variant& value);

// True when `field` takes part in a generated select list, else Empty.
// Nothing gives Empty; a field with neither SourceField nor JoinField gives
// Empty; otherwise True unless its EditProp is 2 while the hundreds digit
// of `flags` is 1 or more and the units digit is 0.
Variant IsQueryField(ObjectRef& field, int32_t& flags);

// The select expression of `field` (a Variant holding an EntityField): its
// Expr with every "@" replaced by JoinField (SourceField when JoinField is
// empty), or SourceField when Expr is empty. Leaves the expression (or ""
// when Expr is empty) in `expression`. Members are read by name.
std::string GetFieldExpr(Variant& field, Variant& expression);

}  // namespace q6
