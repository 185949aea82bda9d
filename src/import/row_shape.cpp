#include "import/row_shape.h"

#include <strings.h>

#include <charconv>

#include "runtime/value_utf8.h"

namespace q6::import {
namespace {

// The length char(n), varchar(n), nchar(n) and nvarchar(n) declare, in
// characters; 0 for (max) and every other type.
size_t DeclaredLength(const ColumnDef& c) {
  if (c.type != "char" && c.type != "varchar" && c.type != "nchar" && c.type != "nvarchar")
    return 0;
  if (c.args.empty()) return 1;  // char without a length is char(1)
  size_t n = 0;
  const std::string& a = c.args[0];
  const auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
  return ec == std::errc() && end == a.data() + a.size() ? n : 0;
}

}  // namespace

std::vector<std::string> CarriedColumns(const TableDef& def) {
  std::vector<std::string> out;
  for (const ColumnDef& c : def.columns)
    if (MapType(c, Engine::SQLite).kind != ValueKind::kNone) out.push_back(c.name);
  return out;
}

void RowShape::Map(const std::vector<std::string>& source_columns) {
  mapped_ = true;
  mapped_for_ = source_columns;
  map_error_.clear();
  slots_.clear();
  load_.clear();
  load_kinds_.clear();
  load_max_chars_.clear();
  std::vector<std::string> names = source_columns;
  if (names.empty())
    for (const ColumnDef& c : def_.columns) names.push_back(c.name);
  for (const std::string& n : names) {
    if (!def_.Find(n)) {
      map_error_ = "no column " + n + " in table " + def_.name;
      return;
    }
  }
  for (const ColumnDef& c : def_.columns) {
    ValueKind k = MapType(c, Engine::SQLite).kind;
    if (k == ValueKind::kNone) continue;
    for (const std::string& n : names)
      if (strcasecmp(c.name.c_str(), n.c_str()) == 0) {
        load_.push_back(c.name);
        load_kinds_.push_back(k);
        load_max_chars_.push_back(DeclaredLength(c));
        break;
      }
  }
  for (const std::string& n : names) {
    int slot = -1;
    for (size_t i = 0; i < load_.size(); ++i)
      if (strcasecmp(load_[i].c_str(), n.c_str()) == 0) slot = static_cast<int>(i);
    slots_.push_back(slot);
  }
}

bool RowShape::Fits(const std::vector<std::string>& source_columns, size_t count,
                    std::string* error) {
  if (!mapped_ || source_columns != mapped_for_) Map(source_columns);
  if (!map_error_.empty()) return *error = map_error_, false;
  if (count != slots_.size()) {
    *error = std::to_string(count) + " values for " + std::to_string(slots_.size()) + " columns";
    return false;
  }
  return true;
}

bool RowShape::TextFits(int slot, const Literal& value, std::string* error) const {
  const size_t max = load_max_chars_[slot];
  if (max == 0 || value.kind == Literal::kNull) return true;
  const size_t chars = value::CountChars(value.text);
  if (chars <= max) return true;
  *error = "column " + load_[slot] + ": " + std::to_string(chars) +
           " characters, longer than its declared " + std::to_string(max);
  return false;
}

bool RowShape::Check(const std::vector<std::string>& source_columns,
                     const std::vector<Literal>& values, std::string* error) {
  if (!Fits(source_columns, values.size(), error)) return false;
  for (size_t i = 0; i < values.size(); ++i) {
    int s = slots_[i];
    if (s >= 0 && load_kinds_[s] == ValueKind::kText && !TextFits(s, values[i], error))
      return false;
    if (s < 0 || load_kinds_[s] == ValueKind::kText) continue;
    if (!ToValue(load_kinds_[s], values[i], &scratch_, error)) {
      *error = "column " + load_[s] + ": " + *error;
      return false;
    }
  }
  return true;
}

bool RowShape::Convert(const std::vector<std::string>& source_columns, std::vector<Literal>& values,
                       std::vector<Variant>* out, std::string* error) {
  if (!Fits(source_columns, values.size(), error)) return false;
  // Every load column is named by a source value (Map), so each cell of
  // the row is set below: the cells of the previous row are overwritten in
  // place, their strings' room kept.
  out->resize(load_.size());
  for (size_t i = 0; i < values.size(); ++i) {
    int s = slots_[i];
    if (s < 0) continue;
    if (load_kinds_[s] == ValueKind::kText && values[i].kind != Literal::kNull) {
      if (!TextFits(s, values[i], error)) return false;
      // Exchanged, not copied: the source keeps a string to read into.
      Variant& cell = (*out)[s];
      if (cell.type() != VarType::String) cell = Variant(std::string());
      cell.string_ref().swap(values[i].text);
      continue;
    }
    if (!ToValue(load_kinds_[s], values[i], &(*out)[s], error)) {
      *error = "column " + load_[s] + ": " + *error;
      return false;
    }
  }
  return true;
}

}  // namespace q6::import
