// SQLite storage classes to Variants and back.
//
// SQLite types values, not columns, so a row is read by the storage class of
// each value. Integers that fit 32 bits come back as Long (what the business
// code expects of counts and ids); wider ones as Decimal, which is exact.
#include "platform/drivers/sqlite/sqlite_values.h"

#include <sqlite3.h>

#include <climits>

#include "runtime/value_date.h"

namespace q6::sqlite {
namespace {

bool Contains(const std::string& upper, const char* part) {
  return upper.find(part) != std::string::npos;
}

// SQLite's own affinity rules, refined into the types Field.Type reports.
int32_t AdoTypeOf(const char* decl) {
  if (!decl) return kAdVariant;
  std::string t;
  for (const char* p = decl; *p; ++p)
    t += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  if (Contains(t, "BIGINT")) return kAdBigInt;
  if (Contains(t, "SMALLINT")) return kAdSmallInt;
  if (Contains(t, "INT")) return kAdInteger;
  if (Contains(t, "CHAR") || Contains(t, "CLOB") || Contains(t, "TEXT")) return kAdVarWChar;
  if (Contains(t, "BLOB")) return kAdLongVarBinary;
  if (Contains(t, "REAL") || Contains(t, "FLOA") || Contains(t, "DOUB")) return kAdDouble;
  if (Contains(t, "BOOL") || Contains(t, "BIT")) return kAdBoolean;
  if (Contains(t, "DATE") || Contains(t, "TIME")) return kAdDBTimeStamp;
  if (Contains(t, "DEC") || Contains(t, "NUM")) return kAdNumeric;
  return kAdVariant;
}

}  // namespace

std::vector<ColumnInfo> ColumnsOf(sqlite3_stmt* stmt) {
  int n = sqlite3_column_count(stmt);
  std::vector<ColumnInfo> cols(n);
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt, i);
    const char* decl = sqlite3_column_decltype(stmt, i);
    cols[i].name = name ? name : "";
    cols[i].decl_type = decl ? decl : "";
    cols[i].ado_type = AdoTypeOf(decl);
  }
  return cols;
}

void AppendRow(sqlite3_stmt* stmt, int ncols, CellStore* cells) {
  for (int i = 0; i < ncols; ++i) {
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_INTEGER: {
        sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        if (v >= INT32_MIN && v <= INT32_MAX)
          cells->emplace_back(static_cast<int32_t>(v));
        else
          cells->emplace_back(Decimal(static_cast<int64_t>(v)));
        break;
      }
      case SQLITE_FLOAT:
        cells->emplace_back(sqlite3_column_double(stmt, i));
        break;
      case SQLITE_NULL:
        cells->emplace_back(NullValue{});
        break;
      case SQLITE_BLOB: {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, i));
        int len = sqlite3_column_bytes(stmt, i);
        cells->emplace_back(p ? ByteArray(p, p + len) : ByteArray());
        break;
      }
      default: {  // TEXT
        const char* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        int len = sqlite3_column_bytes(stmt, i);
        cells->emplace_back(std::string(p ? p : "", static_cast<size_t>(len)));
      }
    }
  }
}

int Bind(sqlite3_stmt* stmt, int n, const Variant& value) {
  const Variant& v = value.Deref();
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      return sqlite3_bind_null(stmt, n);
    case VarType::Boolean:
      return sqlite3_bind_int64(stmt, n, *v.get_if<bool>() ? 1 : 0);
    case VarType::Byte:
      return sqlite3_bind_int64(stmt, n, *v.get_if<uint8_t>());
    case VarType::Integer:
      return sqlite3_bind_int64(stmt, n, *v.get_if<int16_t>());
    case VarType::Long:
      return sqlite3_bind_int64(stmt, n, *v.get_if<int32_t>());
    case VarType::Double:
      return sqlite3_bind_double(stmt, n, *v.get_if<double>());
    case VarType::Decimal: {
      // Whole numbers stay exact as integers; fractions go as text and the
      // column's affinity turns them into numbers.
      const Decimal d = v.ToDecimal();
      if (d.scale() == 0) {
        try {
          return sqlite3_bind_int64(stmt, n, d.RoundToInt64());
        } catch (const ComError&) {
        }
      }
      std::string s = d.ToString();
      return sqlite3_bind_text(stmt, n, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    case VarType::Date: {
      std::string s = value::FormatDate(v.ToDate().days);
      return sqlite3_bind_text(stmt, n, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    case VarType::ByteArray: {
      // A null pointer would bind NULL: an empty array is a blob of no bytes.
      const ByteArray& b = v.bytes();
      if (b.empty()) return sqlite3_bind_zeroblob(stmt, n, 0);
      return sqlite3_bind_blob64(stmt, n, b.data(), b.size(), SQLITE_STATIC);
    }
    case VarType::String: {
      const std::string& s = v.string();
      return sqlite3_bind_text(stmt, n, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
    }
    default: {
      std::string s = v.ToString();
      return sqlite3_bind_text(stmt, n, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
  }
}

}  // namespace q6::sqlite
