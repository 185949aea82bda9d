// The columns of the FD_Fields rows as SaveEOMetaData writes them.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "component/metadata/column_out.h"
#include "outside/eso/entity_field.h"

namespace q6 {

class Field;
class Recordset;

struct FieldOutColumn {
  const char* column;
  FieldMember member;
  WriteRule rule;
};

// Every column of a field row, in the order they are set.
std::span<const FieldOutColumn> FieldOutColumns();

// Writes field rows into one updatable recordset opened on FD_Fields. The
// columns are looked up once, on construction, so writing many rows costs
// no name lookups.
class FieldRowWriter {
 public:
  // Raises 3265 when `rs` lacks one of the columns. `rs` must outlive the
  // writer.
  explicit FieldRowWriter(Recordset& rs);

  // Sets every column of the current row of the recordset from `field`; only
  // reads `field`. Its iEntityID is the field's own EntityID. Raises 3021
  // without a current row, 3251 when the recordset cannot write rows,
  // conversion errors (6, 13) of the members.
  void Write(const EntityField& field);

 private:
  std::vector<std::shared_ptr<Field>> bound_;
};

}  // namespace q6
