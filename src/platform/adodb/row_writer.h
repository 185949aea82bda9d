// The statements that write an edited row of an updatable recordset.
//
// Values never enter the text: every value is a bound parameter, so quotes
// and other special characters inside values need no care. Column names are
// quoted; the table name is used as written in the recordset's source.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/adodb/record_data.h"

namespace q6 {

struct RowStatement {
  std::string sql;              // with placeholders
  std::vector<Variant> params;  // in placeholder order
};

using PlaceholderFn = std::function<std::string(int)>;

// "INSERT INTO t ("a", "b") VALUES (?1, ?2)" with the dirty columns of a new
// row, or "INSERT INTO t DEFAULT VALUES" when none was put.
RowStatement InsertStatement(const std::string& table, const RecordData& data, size_t row,
                             const RowEdit& edit, const PlaceholderFn& ph);

// InsertStatement's text for `rows` new rows (at least one) that put the
// columns flagged in `dirty`: "INSERT INTO t ("a", "b") VALUES (?1, ?2),
// (?3, ?4)", the placeholders numbered row after row. With no column
// flagged, "INSERT INTO t DEFAULT VALUES" (one row only).
std::string InsertRowsSql(const std::string& table, const RecordData& data,
                          std::span<const uint8_t> dirty, size_t rows, const PlaceholderFn& ph);

// The values InsertStatement binds for `row`: its dirty columns, in column
// order. Rows with the same dirty columns share InsertStatement's text, so
// a batch builds the text once and only gathers each row's values.
std::vector<Variant> InsertValues(const RecordData& data, size_t row, const RowEdit& edit);
// The same values put into `out`, whose elements (and their text buffers)
// are reused, for a caller that sends row after row.
void InsertValues(const RecordData& data, size_t row, const RowEdit& edit,
                  std::vector<Variant>* out);
// "UPDATE t SET "a" = ?1 WHERE "id" = ?2" for the dirty columns of a
// fetched row; the row is found by `key` (column indexes) with its original
// values, or by every column when `key` is empty (Null originals as IS
// NULL). Returns an empty sql when no column is dirty.
RowStatement UpdateStatement(const std::string& table, const RecordData& data, size_t row,
                             const RowEdit& edit, const std::vector<size_t>& key,
                             const PlaceholderFn& ph);

// `name` as a quoted identifier: "a""b".
std::string QuoteName(const std::string& name);

}  // namespace q6
