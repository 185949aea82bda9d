// Building INSERT and UPDATE statements for edited rows.
#include "platform/adodb/row_writer.h"

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

void InsertValueRefs(const RecordData& data, size_t row, const RowEdit& edit,
                     std::vector<const Variant*>* out) {
  out->clear();
  for (size_t c = 0; c < data.column_count(); ++c)
    if (edit.dirty[c]) out->push_back(&data.cell(row, c));
}

RowStatement InsertStatement(const std::string& table, const RecordData& data, size_t row,
                             const RowEdit& edit, const PlaceholderFn& ph) {
  RowStatement st;
  st.params = InsertValues(data, row, edit);
  std::string cols, vals;
  int n = 0;
  for (size_t c = 0; c < data.column_count(); ++c) {
    if (!edit.dirty[c]) continue;
    if (n > 0) {
      cols += ", ";
      vals += ", ";
    }
    cols += QuoteName(data.column(c).name);
    vals += ph(++n);
  }
  if (st.params.empty())
    st.sql = "INSERT INTO " + table + " DEFAULT VALUES";
  else
    st.sql = "INSERT INTO " + table + " (" + cols + ") VALUES (" + vals + ")";
  return st;
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
