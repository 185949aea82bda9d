// Building INSERT and UPDATE statements for edited rows.
#include "platform/adodb/row_writer.h"

#include <algorithm>

namespace q6 {

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::vector<Variant> InsertValues(const RecordData& data, size_t row, const RowEdit& edit) {
  std::vector<Variant> values;
  InsertValues(data, row, edit, &values);
  return values;
}

void InsertValues(const RecordData& data, size_t row, const RowEdit& edit,
                  std::vector<Variant>* out) {
  out->reserve(data.column_count());
  size_t n = 0;
  for (size_t c = 0; c < data.column_count(); ++c) {
    if (!edit.dirty[c]) continue;
    if (n < out->size())
      (*out)[n] = data.cell(row, c);
    else
      out->push_back(data.cell(row, c));
    ++n;
  }
  out->resize(n);
}

RowStatement InsertStatement(const std::string& table, const RecordData& data, size_t row,
                             const RowEdit& edit, const PlaceholderFn& ph) {
  RowStatement st;
  st.params = InsertValues(data, row, edit);
  st.sql = InsertRowsSql(table, data, edit.dirty, 1, ph);
  return st;
}

std::string InsertRowsSql(const std::string& table, const RecordData& data,
                          std::span<const uint8_t> dirty, size_t rows, const PlaceholderFn& ph) {
  if (std::find(dirty.begin(), dirty.end(), 1) == dirty.end())
    return "INSERT INTO " + table + " DEFAULT VALUES";
  std::string sql = "INSERT INTO " + table + " (";
  sql.reserve(64 + dirty.size() * (24 + 8 * rows));
  size_t per_row = 0;
  for (size_t c = 0; c < data.column_count(); ++c) {
    if (!dirty[c]) continue;
    if (per_row++ > 0) sql += ", ";
    sql += QuoteName(data.column(c).name);
  }
  sql += ") VALUES ";
  int n = 0;
  for (size_t r = 0; r < rows; ++r) {
    sql += r > 0 ? ", (" : "(";
    for (size_t i = 0; i < per_row; ++i) {
      if (i > 0) sql += ", ";
      sql += ph(++n);
    }
    sql += ')';
  }
  return sql;
}

RowStatement UpdateStatement(const std::string& table, const RecordData& data, size_t row,
                             const RowEdit& edit, const std::vector<size_t>& key,
                             const PlaceholderFn& ph) {
  RowStatement st;
  std::string sets;
  for (size_t c = 0; c < data.column_count(); ++c) {
    if (!edit.dirty[c]) continue;
    if (!st.params.empty()) sets += ", ";
    st.params.push_back(data.cell(row, c));
    sets += QuoteName(data.column(c).name) + " = " + ph(static_cast<int>(st.params.size()));
  }
  if (st.params.empty()) return {};
  std::string where;
  auto match = [&](size_t c) {
    if (!where.empty()) where += " AND ";
    const Variant& orig = edit.original[c];
    if (orig.IsNull() || orig.IsEmpty()) {
      where += QuoteName(data.column(c).name) + " IS NULL";
      return;
    }
    st.params.push_back(orig);
    where += QuoteName(data.column(c).name) + " = " + ph(static_cast<int>(st.params.size()));
  };
  if (key.empty())
    for (size_t c = 0; c < data.column_count(); ++c) match(c);
  else
    for (size_t c : key) match(c);
  st.sql = "UPDATE " + table + " SET " + sets + " WHERE " + where;
  return st;
}

}  // namespace q6
