// Results of the table commands, written as the caller asked: an aligned
// table for people, one JSON document, or CSV.
//
// JSON: {"columns": [{"name": "oid", "caption": "单据号"}, ...],
//        "rows": [{"oid": "510000000000001", "amount": 12.5, "remark": null}, ...]}
// Rows are keyed by field names; captions are a separate member. Numbers
// are JSON numbers, Null is null, dates ISO text ("2026-12-07T10:30:00").
// CSV: a header of names, then the rows; Null is an empty cell.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/drivers/driver.h"
#include "runtime/variant.h"

namespace q6 {
class Recordset;
}  // namespace q6

namespace q6::cli {

struct ColumnInfo {
  std::string name;
  std::string caption;  // "" when the column has none
};

class ResultTable {
 public:
  explicit ResultTable(std::vector<ColumnInfo> columns) : columns_(std::move(columns)) {}
  // Columns named by `names`, without captions.
  static ResultTable Named(const std::vector<std::string>& names);
  // The rows of `rs` from its current one on, at most `limit`, keyed by its
  // field names; `rs` is left after the last row taken.
  static ResultTable Of(Recordset& rs, size_t limit = SIZE_MAX);
  void Add(std::vector<Variant> row) { rows_.push_back(std::move(row)); }
  size_t size() const { return rows_.size(); }

  // Writes the table in `opt`'s format.
  void Write(std::ostream& out, const Options& opt) const;
  // The aligned text table, captions as headers, each line after `indent`.
  void Print(std::ostream& out, const std::string& indent = "  ") const;
  // The {"columns": ..., "rows": ...} members (without braces).
  void WriteJsonMembers(std::ostream& out) const;

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<Variant>> rows_;
};

// `v` as a JSON value: null for Null, Empty and Missing; numbers and
// booleans as such; dates as ISO text; objects as "<Interface>".
void WriteJsonValue(std::ostream& out, const Variant& v);

// A value as the command line shows it ("" for Null and Empty).
std::string Shown(const Variant& v);

}  // namespace q6::cli
