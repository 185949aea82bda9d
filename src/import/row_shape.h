// Source rows (INSERT values, bcp fields) as rows of the columns a table is
// loaded through.
#pragma once

#include <string>
#include <vector>

#include "import/table_def.h"
#include "import/type_map.h"
#include "runtime/variant.h"

namespace q6::import {

// The carried columns of `def` (those whose type maps to a kind).
std::vector<std::string> CarriedColumns(const TableDef& def);

class RowShape {
 public:
  explicit RowShape(const TableDef& def) : def_(def) {}

  // The carried columns the last source row named, in table order: the
  // columns its converted row is for. Columns a source leaves out are not
  // among them, so the table's defaults fill them as an INSERT that leaves
  // them out would.
  const std::vector<std::string>& load_columns() const { return load_; }
  // Converts one source row whose values are for `source_columns` (empty:
  // every column of the table, computed ones included, in order), taking
  // the text out of `values`. Values of columns that are not carried are
  // dropped. False with `*error` for a value that does not fit its column,
  // an unknown column or a wrong number of values.
  bool Convert(const std::vector<std::string>& source_columns, std::vector<Literal>& values,
               std::vector<Variant>* out, std::string* error);
  // Whether Convert would succeed, without building the row (text values
  // need no conversion, so checking a row costs little).
  bool Check(const std::vector<std::string>& source_columns, const std::vector<Literal>& values,
             std::string* error);

 private:
  void Map(const std::vector<std::string>& source_columns);
  // Maps the source columns when they changed; false for an unknown column
  // or a wrong number of values.
  bool Fits(const std::vector<std::string>& source_columns, size_t count, std::string* error);
  // Whether a text value fits its column's declared length (else `*error`).
  bool TextFits(int slot, const Literal& value, std::string* error) const;

  const TableDef& def_;
  std::vector<std::string> load_;
  std::vector<ValueKind> load_kinds_;
  std::vector<size_t> load_max_chars_;   // a text column's declared length; 0 for none
  std::vector<std::string> mapped_for_;  // the source columns `slots_` was made for
  bool mapped_ = false;
  std::vector<int> slots_;  // source value i goes to load column slots_[i] (-1: dropped)
  std::string map_error_;
  Variant scratch_;
};

}  // namespace q6::import
