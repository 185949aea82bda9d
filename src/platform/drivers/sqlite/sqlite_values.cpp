// SQLite storage classes to Variants and back.
//
// SQLite types values, not columns, so a row is read by the storage class of
// each value. Integers that fit 32 bits come back as Long (what the business
// code expects of counts and ids); wider ones as Decimal, which is exact.
#include "platform/drivers/sqlite/sqlite_values.h"

#include <sqlite3.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "platform/drivers/sqlite/sqlite_date_store.h"
#include "platform/drivers/sqlite/sqlite_exact.h"
#include "runtime/value_date.h"

namespace q6::sqlite {
namespace {

bool Contains(std::string_view upper, std::string_view part) {
  return upper.find(part) != std::string_view::npos;
}

// SQLite's own affinity rules, refined into the types Field.Type reports.
// Asked for every column of every result, so the declared type is upper-cased
// (ASCII: type names are) into a buffer that does not allocate.
int32_t AdoTypeOf(const char* decl) {
  if (!decl) return kAdVariant;
  char buf[64];
  size_t n = 0;
  for (const char* p = decl; *p && n < sizeof buf; ++p)
    buf[n++] = *p >= 'a' && *p <= 'z' ? static_cast<char>(*p - 'a' + 'A') : *p;
  const std::string_view t(buf, n);
  if (Contains(t, "MONEY_TEXT")) return kAdCurrency;  // exact columns (sqlite_exact.h)
  if (Contains(t, "DECIMAL_TEXT")) return kAdNumeric;
  if (Contains(t, "_TEXT")) {  // date columns (sqlite_date_store.h)
    if (Contains(t, "DATETIME")) return kAdDBTimeStamp;
    if (Contains(t, "DATE_TEXT")) return kAdDBDate;
    if (Contains(t, "TIME_TEXT")) return kAdDBTime;
  }
  if (Contains(t, "BIGINT")) return kAdBigInt;
  if (Contains(t, "SMALLINT")) return kAdSmallInt;
  if (Contains(t, "INT")) return kAdInteger;
  if (Contains(t, "CHAR") || Contains(t, "CLOB") || Contains(t, "TEXT")) return kAdVarWChar;
  if (Contains(t, "BLOB") || Contains(t, "BINARY")) return kAdLongVarBinary;
  if (Contains(t, "REAL") || Contains(t, "FLOA") || Contains(t, "DOUB")) return kAdDouble;
  if (Contains(t, "BOOL") || Contains(t, "BIT")) return kAdBoolean;
  if (Contains(t, "DATE") || Contains(t, "TIME")) return kAdDBTimeStamp;
  if (Contains(t, "DEC") || Contains(t, "NUM")) return kAdNumeric;
  return kAdVariant;
}

// A decimal in either form of sqlite_exact.h as the runtime's exact
// Decimal, its scale kept; false when it is none or does not fit one.
bool AppendExact(sqlite3_value* v, CellStore* cells) {
  const Operand o = Classify(v);
  Decimal d;
  if (o.kind != Operand::kDecimal || o.x.scale > Decimal::kMaxScale ||
      !Decimal::TryParse(FormatExact(o.x), &d))
    return false;
  cells->emplace_back(d);
  return true;
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

namespace {

// Whether a text in column i is read as a date: always in a column declared
// as a date or when it is a date column's stored form (its tag: through
// MIN, a subquery, a union); in an expression's column when the value
// carries the date subtype (GETDATE()).
bool DateText(sqlite3_value* v, int i, const std::vector<ColumnInfo>& cols, char first) {
  if (IsDateTag(first)) return true;
  if (static_cast<size_t>(i) >= cols.size()) return false;
  const int32_t t = cols[i].ado_type;
  if (t == kAdDBTimeStamp || t == kAdDBDate || t == kAdDBTime) return true;
  return t == kAdVariant && sqlite3_value_subtype(v) == kDateSubtype;
}

}  // namespace

// Each value is read through its sqlite3_value: one call into the engine
// for the column, then the value's own accessors, which are plain reads,
// where every sqlite3_column_* call would look the column up again. The
// statement belongs to this thread and is not stepped meanwhile, which is
// what reading an unprotected value takes.
void AppendRow(sqlite3_stmt* stmt, int ncols, const std::vector<ColumnInfo>& cols,
               CellStore* cells) {
  for (int i = 0; i < ncols; ++i) {
    sqlite3_value* v = sqlite3_column_value(stmt, i);
    switch (sqlite3_value_type(v)) {
      case SQLITE_INTEGER: {
        sqlite3_int64 n = sqlite3_value_int64(v);
        if (n >= INT32_MIN && n <= INT32_MAX)
          cells->emplace_back(static_cast<int32_t>(n));
        else
          cells->emplace_back(Decimal(static_cast<int64_t>(n)));
        break;
      }
      case SQLITE_FLOAT:
        // A computed decimal carries its scale as the value's subtype; a
        // float read from a table has none.
        if (sqlite3_value_subtype(v) == 0 || !AppendExact(v, cells))
          cells->emplace_back(sqlite3_value_double(v));
        break;
      case SQLITE_NULL:
        cells->emplace_back(NullValue{});
        break;
      case SQLITE_BLOB: {
        const auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
        int len = sqlite3_value_bytes(v);
        cells->emplace_back(p ? ByteArray(p, p + len) : ByteArray());
        break;
      }
      default: {  // TEXT
        const char* p = static_cast<const char*>(sqlite3_value_blob(v));
        int len = sqlite3_value_bytes(v);
        if (len > 0 && (p[0] == kDecimalTag || p[0] == kMoneyTag) && AppendExact(v, cells)) break;
        if (double days = 0;
            DateText(v, i, cols, len > 0 ? p[0] : ' ') &&
            RuntimeDays(std::string_view(p ? p : "", static_cast<size_t>(len)), &days)) {
          cells->emplace_back(DateValue{days});
          break;
        }
        cells->emplace_back(std::string(p ? p : "", static_cast<size_t>(len)));
      }
    }
  }
}

StoredForm StoredFormOf(const char* decl) {
  StoredForm f;
  if (decl == nullptr) return f;
  std::string t;
  for (const char* p = decl; *p; ++p)
    t += static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  static constexpr const char* kDates[] = {"datetime_text", "smalldatetime_text", "datetime2_text",
                                           "date_text", "time_text"};
  for (int k = 0; k < 5; ++k)
    if (t.starts_with(kDates[k])) {
      f.kind = StoredForm::kDate;
      f.date_kind = k + 1;
      // datetime2_text(n) and time_text(n): digits other than 7.
      if (const size_t open = std::string_view(kDates[k]).size(); t.size() > open && t[open] == '(')
        f.date_digits = std::atoi(t.c_str() + open + 1);
      return f;
    }
  const bool money = t.starts_with("money_text(");
  if (!money && !t.starts_with("decimal_text(")) return f;
  if (std::sscanf(t.c_str() + t.find('(') + 1, "%d,%d", &f.precision, &f.scale) != 2) return f;
  f.kind = StoredForm::kExact;
  f.money = money;
  return f;
}

size_t ToStoredForm(const StoredForm& f, const Variant& v, char* out) {
  static_assert(kStoredFormChars >= kStoredDateChars && kStoredFormChars > kExactChars);
  if (f.kind == StoredForm::kNone || v.IsNull() || v.IsEmpty()) return 0;
  std::string converted;  // the text of a value that is no String
  std::string_view text;
  if (v.type() == VarType::String)
    text = v.string();
  else if (v.type() == VarType::Date && f.kind == StoredForm::kDate)
    text = converted = value::FormatDate(v.ToDate().days);
  else if (v.type() == VarType::Decimal || v.type() == VarType::Long ||
           v.type() == VarType::Integer)
    text = converted = v.ToString();
  else
    return 0;
  if (f.kind == StoredForm::kDate) {
    const std::optional<DateTime> d = DateOfText(text);
    if (!d) return 0;
    return WriteStoredDate(*d, DateType{static_cast<DateKind>(f.date_kind), f.date_digits}, out);
  }
  std::optional<Exact> x = ParseExact(text);
  if (!x || !Rescale(&*x, f.scale) || (x->m != 0 && DigitCount(x->m) > f.precision)) return 0;
  x->money = f.money;
  return WriteStoredText(*x, out);
}

int Bind(sqlite3_stmt* stmt, int n, const Variant& value) {
  auto text = [&](const std::string& s, sqlite3_destructor_type lifetime) {
    return sqlite3_bind_text(stmt, n, s.data(), static_cast<int>(s.size()), lifetime);
  };
  return value.Visit([&](const auto& x) -> int {
    using T = std::decay_t<decltype(x)>;
    if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, NullValue> ||
                  std::is_same_v<T, MissingValue>) {
      return sqlite3_bind_null(stmt, n);
    } else if constexpr (std::is_same_v<T, bool>) {
      return sqlite3_bind_int64(stmt, n, x ? 1 : 0);
    } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                         std::is_same_v<T, int32_t>) {
      return sqlite3_bind_int64(stmt, n, x);
    } else if constexpr (std::is_same_v<T, double>) {
      return sqlite3_bind_double(stmt, n, x);
    } else if constexpr (std::is_same_v<T, std::string>) {
      return text(x, SQLITE_STATIC);
    } else if constexpr (std::is_same_v<T, Decimal>) {
      // Whole numbers stay exact as integers; fractions go as text and the
      // column's affinity turns them into numbers.
      if (x.scale() == 0) {
        try {
          return sqlite3_bind_int64(stmt, n, x.RoundToInt64());
        } catch (const ComError&) {
        }
      }
      return text(x.ToString(), SQLITE_TRANSIENT);
    } else if constexpr (std::is_same_v<T, DateValue>) {
      return text(value::FormatDate(x.days), SQLITE_TRANSIENT);
    } else if constexpr (std::is_same_v<T, ByteArray>) {
      // A null pointer would bind NULL: an empty array is a blob of no bytes.
      if (x.empty()) return sqlite3_bind_zeroblob(stmt, n, 0);
      return sqlite3_bind_blob64(stmt, n, x.data(), x.size(), SQLITE_STATIC);
    } else {
      return text(value.ToString(), SQLITE_TRANSIENT);
    }
  });
}

}  // namespace q6::sqlite
