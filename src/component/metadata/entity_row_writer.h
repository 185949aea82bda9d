// The columns of an FD_Entities row as SaveEOMetaData writes them.
#pragma once

#include <span>

#include "component/metadata/column_out.h"
#include "outside/eso/entity_object.h"

namespace q6 {

class Recordset;

// Which statement the row will be sent with.
enum class EntityWrite {
  kInsert,  // a new entity: every column, sMaxOID, iVchType, iderivebitype included
  kUpdate,  // an existing one: only the columns written on both paths
};

struct EntityOutColumn {
  const char* column;
  EntityMember member;  // for kMaxOID the member whose number it is (BIType)
  WriteRule rule;
  bool insert_only;
};

// The columns in the order they are set. iparentid is never written: the link
// from a child entity to its parent is kept outside the component.
std::span<const EntityOutColumn> EntityOutColumns();

// Sets the columns of the current row of `rs` (an updatable recordset opened
// on FD_Entities) from the members of `eo`, in table order; only reads `eo`.
// Raises 3021 without a current row (an update whose row does not exist),
// 3265 when the recordset lacks a column, 3251 when it cannot write rows,
// and conversion errors (6, 13) of the members; columns set before the
// failure stay set in the recordset's edit.
void WriteEntityRow(Recordset& rs, const EntityObject& eo, EntityWrite how);

}  // namespace q6
