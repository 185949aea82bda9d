// Writing result tables.
#include "cli/result_table.h"

#include <cmath>
#include <ostream>

#include "cli/text_table.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "runtime/dispatch.h"
#include "runtime/value_date.h"

namespace q6::cli {

std::string Shown(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.IsNull() || d.IsEmpty() || d.IsMissing()) return "";
  if (d.IsObject()) return d.object() ? "<" + d.object()->Interface().name + ">" : "Nothing";
  return d.ToString();
}

void WriteJsonValue(std::ostream& out, const Variant& v) {
  const Variant& d = v.Deref();
  switch (d.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      out << "null";
      return;
    case VarType::Boolean:
      out << (d.ToBool() ? "true" : "false");
      return;
    case VarType::Double: {
      double x = d.ToDouble();
      if (!std::isfinite(x))
        out << "null";
      else
        out << FormatDouble(x);
      return;
    }
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Decimal:
      out << d.ToString();
      return;
    case VarType::Date: {
      std::string s = d.ToString();
      if (s.size() > 10 && s[10] == ' ') s[10] = 'T';
      out << JsonString(s);
      return;
    }
    default:
      out << JsonString(Shown(d));
  }
}

ResultTable ResultTable::Named(const std::vector<std::string>& names) {
  std::vector<ColumnInfo> cols;
  for (const std::string& n : names) cols.push_back({n, ""});
  return ResultTable(std::move(cols));
}

ResultTable ResultTable::Of(Recordset& rs, size_t limit) {
  std::vector<std::string> names;
  for (const Variant& f : rs.Fields()->Enumerate()) names.push_back(As<Field>(f.object())->Name());
  auto t = ResultTable::Named(names);
  for (; !rs.EOF() && t.size() < limit; rs.MoveNext()) {
    std::vector<Variant> row;
    for (const Variant& f : rs.Fields()->Enumerate()) row.push_back(As<Field>(f.object())->Value());
    t.Add(std::move(row));
  }
  return t;
}

void ResultTable::WriteJsonMembers(std::ostream& out) const {
  out << "\"columns\": [";
  for (size_t c = 0; c < columns_.size(); ++c) {
    out << (c ? ", " : "") << "{\"name\": " << JsonString(columns_[c].name);
    if (!columns_[c].caption.empty()) out << ", \"caption\": " << JsonString(columns_[c].caption);
    out << "}";
  }
  out << "],\n \"rows\": [";
  for (size_t r = 0; r < rows_.size(); ++r) {
    out << (r ? ",\n  " : "\n  ") << "{";
    for (size_t c = 0; c < columns_.size(); ++c) {
      out << (c ? ", " : "") << JsonString(columns_[c].name) << ": ";
      WriteJsonValue(out, c < rows_[r].size() ? rows_[r][c] : Variant::Null());
    }
    out << "}";
  }
  out << "]";
}

namespace {

std::string CsvCell(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return q + "\"";
}

}  // namespace

void ResultTable::Write(std::ostream& out, const Options& opt) const {
  if (opt.format == Format::kJson) {
    out << "{";
    WriteJsonMembers(out);
    out << "}\n";
    return;
  }
  if (opt.format == Format::kCsv) {
    for (size_t c = 0; c < columns_.size(); ++c) out << (c ? "," : "") << CsvCell(columns_[c].name);
    out << "\r\n";
    for (const auto& row : rows_) {
      for (size_t c = 0; c < columns_.size(); ++c)
        out << (c ? "," : "") << CsvCell(c < row.size() ? Shown(row[c]) : "");
      out << "\r\n";
    }
    return;
  }
  Print(out);
}

void ResultTable::Print(std::ostream& out, const std::string& indent) const {
  std::vector<std::string> header;
  for (const ColumnInfo& c : columns_) header.push_back(c.caption.empty() ? c.name : c.caption);
  TextTable t(header);
  for (const auto& row : rows_) {
    std::vector<std::string> cells;
    for (const Variant& v : row) cells.push_back(Shown(v));
    t.Add(std::move(cells));
  }
  t.Print(out, indent);
}

}  // namespace q6::cli
