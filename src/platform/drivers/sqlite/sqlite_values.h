// Moving values between SQLite statements and Variants.
#pragma once

#include <string>
#include <vector>

#include "platform/drivers/driver.h"

struct sqlite3_stmt;

namespace q6::sqlite {

// The columns of a prepared statement: names, declared types, and the
// Field.Type each declared type stands for.
std::vector<ColumnInfo> ColumnsOf(sqlite3_stmt* stmt);

// Appends the current row of `stmt` to `cells`: INTEGER as Long when it fits
// 32 bits, else Decimal; REAL as Double; TEXT as String, or as a Date in a
// date column of `cols` (ColumnsOf), for a date column's stored form
// anywhere and for GETDATE(); NULL as Null; BLOB
// as a byte array.
void AppendRow(sqlite3_stmt* stmt, int ncols, const std::vector<ColumnInfo>& cols,
               CellStore* cells);

// The stored form of a column declared through the dialect layer
// (decimal_text, money_text, the date types of sqlite_date_store.h), which a
// bulk load writes directly so that the column's trigger has nothing to do.
struct StoredForm {
  enum Kind { kNone, kExact, kDate } kind = kNone;
  int precision = 0, scale = 0;
  bool money = false;
  int date_kind = 0;
  int date_digits = 7;  // datetime2 and time
};
StoredForm StoredFormOf(const char* decl);

// `v` in form `f`, written at `out` (room for kStoredFormChars); returns
// its length, 0 when `v` is none of it (it is bound as it is then, and the
// column's trigger converts or refuses it). Allocates nothing for a String.
inline constexpr size_t kStoredFormChars = 48;
size_t ToStoredForm(const StoredForm& f, const Variant& v, char* out);

// Binds `v` to the 1-based parameter `n`; returns the sqlite result code.
// Texts and byte arrays are bound in place: `v` must stay as it is until
// the statement has run and been reset.
int Bind(sqlite3_stmt* stmt, int n, const Variant& v);

}  // namespace q6::sqlite
