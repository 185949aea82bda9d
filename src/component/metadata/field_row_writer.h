// The columns of the FD_Fields rows as SaveEOMetaData writes them.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "component/metadata/column_out.h"
#include "outside/eso/entity_field.h"

namespace q6 {

class Recordset;

struct FieldOutColumn {
  const char* column;
  FieldMember member;
  WriteRule rule;
};

// Every column of a field row, in the order they are set.
std::span<const FieldOutColumn> FieldOutColumns();

// Adds field rows to one updatable recordset opened on FD_Fields. The
// columns are looked up once, on construction, and each row goes in whole
// (AddNew with the column list), so writing many rows costs no name lookups
// and no put per column.
class FieldRowWriter {
 public:
  // Raises 3265 when `rs` lacks one of the columns. `rs` must outlive the
  // writer.
  explicit FieldRowWriter(Recordset& rs);

  // Appends a row made from `field` and makes it current; only reads
  // `field`. Its iEntityID is the field's own EntityID. Raises 3251 when the
  // recordset cannot write rows, conversion errors (6, 13) of the members
  // (no row is added then).
  void Add(const EntityField& field);

 private:
  Recordset& rs_;
  std::vector<size_t> columns_;
};

}  // namespace q6
