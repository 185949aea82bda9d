// Readable views of entity objects for the command line: a type's
// definition, the record an entity holds and its lines.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/text_table.h"
#include "runtime/variant.h"

namespace q6 {
class EntityObject;
}

namespace q6::cli {

// The fields of a type in load (layout) order.
TextTable DefinitionTable(const EntityObject& eo);
// The record `eo` holds: one row of its field values, columns by caption.
TextTable RecordTable(const EntityObject& eo);
// The child records `eo` holds, one row each.
TextTable LinesTable(const EntityObject& eo);
// A value as the command line shows it ("" for Null and Empty).
std::string Shown(const Variant& v);

}  // namespace q6::cli
