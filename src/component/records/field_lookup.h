// The pieces of vFieldValue: the tail of its statement and how it tells one
// column from several. PublicService.GetFieldValue puts "select " and the
// column list in front of the tail and runs it.
#pragma once

#include <string>
#include <string_view>

#include "outside/eso/entity_object.h"
#include "runtime/variant.h"

namespace q6 {

// `text` without leading and trailing spaces (only the space character).
std::string TrimSpaces(std::string_view text);

// True when `where` holds a condition: not Null, Empty or Missing, and not
// only spaces once converted to text. Raises the conversion's error for a
// value without a text (an object whose value has none: 13).
bool HasCondition(const Variant& where);

// The statement tail:
//   with a condition:  " from " T " where " where            (where unchanged)
//   without:           " from " T " where " K "='" OID "' "  (quotes in the
//                      OID doubled; K the key field's SourceField)
// Raises the collection's error 5 when the key is needed and OIDSourceField
// names no field.
std::string FieldLookupTail(const EntityObject& eo, const Variant& where);

// True when `columns`, with every ',' turned into a space and trimmed,
// still holds a space: then the answer is the rows, not one value. A single
// expression with a space inside ("isnull(a, 0)") counts as several.
bool NamesSeveralColumns(std::string_view columns);

}  // namespace q6
