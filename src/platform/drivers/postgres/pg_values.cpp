// PostgreSQL values in text format to Variants and back.
//
// Results come in libpq's text format; the column's type decides how each
// value is read. The converter is chosen once per column, not per value.
#include "platform/drivers/postgres/pg_values.h"

#include <libpq-fe.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>
#include <new>

#include "platform/dialect/date_values.h"
#include "runtime/value_date.h"
#include "runtime/value_number_text.h"

namespace q6::postgres {
namespace {

enum Oid_ : unsigned {
  kBool = 16,
  kBytea = 17,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kOid = 26,
  kFloat4 = 700,
  kFloat8 = 701,
  kDate = 1082,
  kTime = 1083,
  kTimestamp = 1114,
  kTimestampTz = 1184,
  kTimeTz = 1266,
  kNumeric = 1700,
};

enum class Reader { kLong, kInt8, kDouble, kNumeric, kBool, kDate, kBytes, kString };

Reader ReaderOf(unsigned oid) {
  switch (oid) {
    case kInt2:
    case kInt4:
      return Reader::kLong;
    case kInt8:
    case kOid:
      return Reader::kInt8;
    case kFloat4:
    case kFloat8:
      return Reader::kDouble;
    case kNumeric:
      return Reader::kNumeric;
    case kBool:
      return Reader::kBool;
    case kBytea:
      return Reader::kBytes;
    case kDate:
    case kTime:
    case kTimestamp:
    case kTimestampTz:
      return Reader::kDate;
    default:
      return Reader::kString;
  }
}

// "2024-01-31", "2024-01-31 12:34:56.25", "2024-01-31 12:34:56+02": the
// date and time of day; a zone suffix is dropped (the session's own zone).
bool ReadDate(std::string_view s, double* days) {
  if (s.size() >= 8 && s[2] == ':') {  // a time: on the runtime's day 0, 1899-12-30
    return ReadDate("1899-12-30 " + std::string(s), days);
  }
  std::string_view head = s.substr(0, 19);
  if (!value::ParseDate(head, days)) return false;
  if (s.size() > 20 && s[19] == '.') {
    size_t e = 20;
    while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e;
    double frac = 0;
    if (value::ParseDouble(std::string("0.") + std::string(s.substr(20, e - 20)), &frac) ==
        value::ParseStatus::kOk)
      *days += frac / 86400.0;
  }
  return true;
}

// The server's spellings of the floating values that are not numbers.
bool ReadSpecialFloat(std::string_view s, double* out) {
  if (s == "NaN")
    *out = std::numeric_limits<double>::quiet_NaN();
  else if (s == "Infinity")
    *out = std::numeric_limits<double>::infinity();
  else if (s == "-Infinity")
    *out = -std::numeric_limits<double>::infinity();
  else
    return false;
  return true;
}

// `text` (a numeric as the server writes it: sign, digits, point, digits)
// in the canonical form Decimal::ToString gives: no leading zeros before
// the point, no trailing zeros after it, no "-0".
std::string CanonicalNumeric(std::string_view text) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view frac = point == std::string_view::npos ? "" : text.substr(point + 1);
  while (whole.size() > 1 && whole[0] == '0') whole.remove_prefix(1);
  while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
  std::string out(whole.empty() ? "0" : whole);
  if (!frac.empty()) out += "." + std::string(frac);
  if (negative && out != "0") out.insert(0, "-");
  return out;
}

// A numeric value exactly as a Decimal, NaN and the infinities as Doubles.
// Raises Overflow (6) naming `column` for a value the Decimal type cannot
// hold without losing digits.
Variant ReadNumeric(std::string_view s, const char* column) {
  Decimal d;
  if (Decimal::TryParse(s, &d) && d.ToString() == CanonicalNumeric(s)) return Variant(d);
  double special = 0;
  if (ReadSpecialFloat(s, &special)) return Variant(special);
  ThrowVb(kVbOverflow, "Overflow: the value " + std::string(s) + " of column " + column +
                           " has more digits than the Decimal type holds exactly");
}

// bytea in the server's text form ("\x4142" or the older escape form).
Variant ReadBytes(const char* p) {
  size_t n = 0;
  unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(p), &n);
  if (!raw) throw std::bad_alloc();
  ByteArray bytes(raw, raw + n);
  PQfreemem(raw);
  return Variant(std::move(bytes));
}

Variant Read(Reader r, const char* p, int len, const char* column) {
  std::string_view s(p, static_cast<size_t>(len));
  switch (r) {
    case Reader::kLong:
      return Variant(static_cast<int32_t>(std::strtol(p, nullptr, 10)));
    case Reader::kInt8: {
      int64_t v = 0;
      std::from_chars(s.data(), s.data() + s.size(), v);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(Decimal(v));
    }
    case Reader::kDouble: {
      double d = 0;
      if (value::ParseDouble(s, &d) == value::ParseStatus::kOk || ReadSpecialFloat(s, &d))
        return Variant(d);
      return Variant(std::string(s));
    }
    case Reader::kNumeric:
      return ReadNumeric(s, column);
    case Reader::kBytes:
      return ReadBytes(p);
    case Reader::kBool:
      return Variant(len > 0 && p[0] == 't');
    case Reader::kDate: {
      double days = 0;
      if (ReadDate(s, &days)) return Variant(DateValue{days});
      return Variant(std::string(s));
    }
    case Reader::kString:
      break;
  }
  return Variant(std::string(s));
}

}  // namespace

int32_t AdoTypeOfOid(unsigned oid) {
  switch (oid) {
    case kInt2:
      return kAdSmallInt;
    case kInt4:
      return kAdInteger;
    case kInt8:
    case kOid:
      return kAdBigInt;
    case kFloat4:
    case kFloat8:
      return kAdDouble;
    case kNumeric:
      return kAdNumeric;
    case kBool:
      return kAdBoolean;
    case kBytea:
      return kAdLongVarBinary;
    case kDate:
      return kAdDBDate;
    case kTime:
      return kAdDBTime;
    case kTimestamp:
    case kTimestampTz:
      return kAdDBTimeStamp;
    default:
      return kAdVarWChar;
  }
}

std::vector<ColumnInfo> ColumnsOf(const pg_result* res) {
  int n = PQnfields(res);
  std::vector<ColumnInfo> cols(n);
  for (int i = 0; i < n; ++i) {
    cols[i].name = PQfname(res, i);
    cols[i].decl_type = std::to_string(PQftype(res, i));  // the type's OID
    cols[i].ado_type = AdoTypeOfOid(PQftype(res, i));
  }
  return cols;
}

void AppendRows(const pg_result* res, CellStore* cells) {
  int ncols = PQnfields(res);
  int nrows = PQntuples(res);
  std::vector<Reader> readers(ncols);
  for (int c = 0; c < ncols; ++c) readers[c] = ReaderOf(PQftype(res, c));
  cells->reserve(cells->size() + static_cast<size_t>(ncols) * nrows);
  for (int r = 0; r < nrows; ++r)
    for (int c = 0; c < ncols; ++c) {
      if (PQgetisnull(res, r, c))
        cells->emplace_back(NullValue{});
      else
        cells->push_back(
            Read(readers[c], PQgetvalue(res, r, c), PQgetlength(res, r, c), PQfname(res, c)));
    }
}

bool ParamText(const Variant& value, std::string* out) {
  const Variant& v = value.Deref();
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      return false;
    case VarType::Boolean:
      *out = v.ToBool() ? "1" : "0";
      return true;
    case VarType::Double: {
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, v.ToDouble());  // shortest exact form
      out->assign(buf, r.ptr);
      return true;
    }
    case VarType::Date:
      *out = value::FormatDate(v.ToDate().days);
      return true;
    case VarType::ByteArray: {
      static constexpr char kHex[] = "0123456789abcdef";
      const ByteArray& b = v.bytes();
      out->assign("\\x");
      for (uint8_t byte : b) {
        *out += kHex[byte >> 4];
        *out += kHex[byte & 15];
      }
      return true;
    }
    default:
      *out = v.ToString();
      return true;
  }
}

bool HasSubMicroseconds(std::string_view text) {
  return dialect::SubMicrosecondDigits(text) != std::string_view::npos;
}

bool CutForParamType(unsigned oid, std::string* text) {
  if (oid != kTime && oid != kTimestamp && oid != kTimestampTz && oid != kTimeTz) return false;
  return dialect::CutToMicroseconds(text);
}

}  // namespace q6::postgres
