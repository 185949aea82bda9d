// The columns of FD_Entities and FD_Fields as the loader reads them, and the
// readers that turn the current row of a recordset into entity members.
//
// Each column has a read mode that decides how its value reaches the member:
//   kDirect    the column's value, converted by the member's put: Null raises
//              Invalid use of Null (94), a value out of the member's range
//              Overflow (6);
//   kText      CheckNull of the column's Field in text mode (Null -> ""),
//              then converted by the put;
//   kNumber    CheckNull of the column's Field in number mode (Null -> 0),
//              then converted by the put;
//   kAsStored  the Field object itself; the put takes its current value,
//              Null included (only the Variant members).
// Columns are found by name (any case), so the tables may carry columns in
// any order and extra columns are ignored.
#pragma once

#include <memory>
#include <span>

#include "outside/eso/entity_field.h"
#include "outside/eso/entity_fields.h"
#include "outside/eso/entity_object.h"

namespace q6 {

class Recordset;

enum class ReadMode { kDirect, kText, kNumber, kAsStored };

struct EntityColumn {
  const char* column;
  ReadMode mode;
  EntityMember member;
};

struct FieldColumn {
  const char* column;
  ReadMode mode;
  FieldMember member;
};

// FD_Entities from iID to bCheckOver, in load order (iparentid and sMaxOID
// are not members).
std::span<const EntityColumn> EntityColumns();
// FD_Fields from iID to bNeedCheck, in load order.
std::span<const FieldColumn> FieldColumns();

// Fills the members of `eo` from the current row of `rs`, column by column in
// load order, and puts its EditState to 0 between sCaption and ibitype.
// Raises 3265 for a missing column, 3021 without a current row, 94, 6 or 13
// from a member's put; members filled before the failure keep their values.
void ReadEntityRow(Recordset& rs, EntityObject& eo);

// Appends one new EntityField per row of `rs`, from its current row to its
// end, each filled column by column in load order and added to `fields`
// without a key argument (the collection keys it by Name: 457 for a second
// field of the same name). Raises as ReadEntityRow; fields added before the
// failure stay.
void ReadFieldRows(Recordset& rs, EntityFields& fields);

}  // namespace q6
