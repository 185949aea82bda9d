// The statement of a query object.
#pragma once

#include <string>

namespace q6 {

class EntityObject;

// "select * from " + the items of the fields with a positive QryFldSqc that
// take part in a select list, in QryFldSqc order, joined by ",", then " " and
// QryJoin. Raises 457 for two fields with the same QryFldSqc and 5 for a gap.
std::string BuildQueryStatement(EntityObject& qry, bool show_caption);

}  // namespace q6
