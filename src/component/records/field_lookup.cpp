// Statement tail and column count of vFieldValue.
#include "component/records/field_lookup.h"

#include <algorithm>

#include "component/frame/sql_text.h"
#include "component/records/key_field.h"

namespace q6 {

std::string TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool HasCondition(const Variant& where) {
  const Variant& w = where.Deref();
  if (w.IsNull() || w.IsEmpty() || w.IsMissing()) return false;
  return !TrimSpaces(w.ToString()).empty();
}

std::string FieldLookupTail(const EntityObject& eo, const Variant& where) {
  if (HasCondition(where)) return " from " + eo.SourceTable() + " where " + where.ToString();
  const std::string key = KeyField(eo)->SourceField();
  return " from " + eo.SourceTable() + " where " + key + "=" + SqlQuoted(eo.OID()->Value()) + " ";
}

bool NamesSeveralColumns(std::string_view columns) {
  std::string spaced(columns);
  std::replace(spaced.begin(), spaced.end(), ',', ' ');
  return TrimSpaces(spaced).find(' ') != std::string::npos;
}

}  // namespace q6
