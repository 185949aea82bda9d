// The type map: SQL Server types to engine types, values and defaults.
#include "import/type_map.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <set>

namespace q6::import {
namespace {

bool Pg(Engine e) { return e == Engine::PostgreSQL; }

bool In(const std::string& t, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (t == n) return true;
  return false;
}

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS[.fff]" or with a blank: the date and
// the time parts (views into `s`); false when the text is no date.
bool SplitDate(std::string_view s, std::string_view* date, std::string_view* time) {
  auto digits = [&](size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; ++i)
      if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
  };
  if (!digits(0, 4) || s.size() < 10 || s[4] != '-' || !digits(5, 2) || s[7] != '-' ||
      !digits(8, 2))
    return false;
  *date = s.substr(0, 10);
  *time = {};
  if (s.size() == 10) return true;
  if (s[10] != 'T' && s[10] != ' ') return false;
  *time = s.substr(11);
  return true;
}

// "HH:MM[:SS[.fffffff]]" as "HH:MM:SS" plus the fraction when not zero,
// appended to `*out`.
bool NormalTime(std::string_view s, std::string* out) {
  auto digit = [&](size_t i) {
    return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));
  };
  if (!digit(0) || !digit(1) || s.size() < 5 || s[2] != ':' || !digit(3) || !digit(4)) return false;
  out->append(s.substr(0, 5));
  size_t i = 5;
  if (i < s.size() && s[i] == ':') {
    if (!digit(i + 1) || !digit(i + 2)) return false;
    out->append(s.substr(i, 3));
    i += 3;
  } else {
    out->append(":00");
  }
  if (i < s.size() && s[i] == '.') {
    size_t f = i + 1;
    while (digit(f)) ++f;
    std::string_view frac = s.substr(i + 1, f - i - 1);
    while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
    if (!frac.empty()) out->append(".").append(frac);
    i = f;
  }
  // A datetimeoffset's zone stays as written.
  if (i < s.size()) {
    std::string_view zone = s.substr(i);
    while (!zone.empty() && zone.front() == ' ') zone.remove_prefix(1);
    if (zone.empty() || (zone[0] != '+' && zone[0] != '-' && zone[0] != 'Z')) return false;
    out->append(" ").append(zone);
  }
  return true;
}

// The string `*out` holds, emptied, for a text value to be written into:
// the one it holds already when it is a String, so that a row buffer
// converted again and again keeps its strings' room.
std::string& TextSlot(Variant* out) {
  if (out->type() != VarType::String) *out = Variant(std::string());
  std::string& s = out->string_ref();
  s.clear();
  return s;
}

bool IsNumberText(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  }
  if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (i == s.size()) return false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  }
  return digits && i == s.size();
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// `s` without its leading and trailing blanks (a view into `s`).
std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  return s;
}

}  // namespace

TypeMapping MapType(const ColumnDef& c, Engine e) {
  const std::string& t = c.type;
  auto arg = [&](size_t i, const char* def) { return i < c.args.size() ? c.args[i] : def; };
  if (c.computed)
    return {ValueKind::kNone, "", "computed column not carried (values are not kept)"};
  if (!c.type_owner.empty() && c.type_owner != "sys")
    return {ValueKind::kNone, "", "user-defined type " + c.type_owner + "." + t + " not carried"};
  if (In(t, {"char", "varchar", "nchar", "nvarchar", "text", "ntext", "sysname", "uniqueidentifier",
             "xml"})) {
    if (c.case_sensitive) return {ValueKind::kText, "TEXT", ""};
    return {ValueKind::kText, Pg(e) ? "CITEXT" : "TEXT COLLATE NOCASE", ""};
  }
  if (In(t, {"tinyint", "smallint"})) return {ValueKind::kInt, "SMALLINT", ""};
  if (t == "int") return {ValueKind::kInt, "INTEGER", ""};
  if (t == "bigint") return {ValueKind::kBigInt, "BIGINT", ""};
  if (t == "bit") return {ValueKind::kBit, "INTEGER", ""};
  if (dialect::ExactColumn x; StoredColumn(c, e, &x)) {
    std::string note;
    if (!Pg(e) && x.date_kind == 0 && x.precision > 15)
      note = "decimal(" + std::to_string(x.precision) + "," + std::to_string(x.scale) +
             ") is computed with 15 significant digits on SQLite";
    static constexpr ValueKind kKinds[] = {ValueKind::kDecimal,  ValueKind::kDateTime,
                                           ValueKind::kDateTime, ValueKind::kDateTime,
                                           ValueKind::kDate,     ValueKind::kTime};
    return {kKinds[x.date_kind], dialect::StoredColumnType(x, e), note};
  }
  if (t == "float") return {ValueKind::kDouble, Pg(e) ? "DOUBLE PRECISION" : "REAL", ""};
  if (t == "real") return {ValueKind::kDouble, "REAL", ""};
  if (t == "datetimeoffset")
    return {ValueKind::kDateTime, "VARCHAR(34)", "kept as text 'YYYY-MM-DD HH:MM:SS +hh:mm'"};
  if (In(t, {"binary", "varbinary", "image"}))
    return {ValueKind::kBinary, Pg(e) ? "BYTEA" : "BLOB", ""};
  if (In(t, {"timestamp", "rowversion"}))
    return {ValueKind::kNone, "", "rowversion column not carried (the server generates it)"};
  return {ValueKind::kNone, "", "type " + t + " not carried (CLR or special type)"};
}

bool StoredColumn(const ColumnDef& c, Engine e, dialect::ExactColumn* out) {
  const std::string& t = c.type;
  auto number = [&](size_t i, int def) {
    return i < c.args.size() ? std::atoi(c.args[i].c_str()) : def;
  };
  if (!c.type_owner.empty() && c.type_owner != "sys") return false;
  if (In(t, {"decimal", "numeric"})) {
    out->precision = number(0, 18);
    out->scale = number(1, 0);
  } else if (t == "money" || t == "smallmoney") {
    out->precision = t == "money" ? 19 : 10;
    out->scale = 4;
    out->money = true;
  } else if (t == "datetime") {
    out->date_kind = 1;
  } else if (t == "smalldatetime") {
    out->date_kind = 2;
  } else if (t == "datetime2") {
    out->date_kind = 3;
  } else if (t == "date") {
    out->date_kind = 4;
  } else if (t == "time") {
    out->date_kind = 5;
  } else {
    return false;
  }
  if (out->date_kind == 3 || out->date_kind == 5) out->digits = number(0, 7);
  out->name = Pg(e) ? Lower(c.name) : c.name;
  return true;
}

bool ToValue(ValueKind kind, const Literal& lit, Variant* out, std::string* error) {
  if (lit.kind == Literal::kNull) {
    *out = Variant::Null();
    return true;
  }
  const std::string& s = lit.text;
  auto bad = [&](const char* what) {
    *error = "'" + s + "' is not " + what;
    return false;
  };
  switch (kind) {
    case ValueKind::kText:
      TextSlot(out).assign(s);
      return true;
    case ValueKind::kInt:
    case ValueKind::kBigInt:
    case ValueKind::kBit: {
      const std::string_view t = Trimmed(s);
      int64_t v = 0;
      const char* b = t.data() + (t.starts_with('+') ? 1 : 0);
      auto r = std::from_chars(b, t.data() + t.size(), v);
      if (r.ec != std::errc() || r.ptr != t.data() + t.size() || t.empty()) {
        if (kind == ValueKind::kBit && (t == "True" || t == "true"))
          v = 1;
        else if (kind == ValueKind::kBit && (t == "False" || t == "false"))
          v = 0;
        else
          return bad("a whole number");
      }
      if (kind == ValueKind::kBit) v = v != 0;
      if (v >= INT32_MIN && v <= INT32_MAX)
        *out = Variant(static_cast<int32_t>(v));
      else
        *out = Variant(Decimal(v));
      return true;
    }
    case ValueKind::kDecimal: {
      const std::string_view t = Trimmed(s);
      if (!IsNumberText(t)) return bad("a number");
      TextSlot(out).assign(t);
      return true;
    }
    case ValueKind::kDouble: {
      double d = 0;
      if (!ParseNumber(s, &d)) return bad("a number");
      *out = Variant(d);
      return true;
    }
    case ValueKind::kDateTime:
    case ValueKind::kDate: {
      std::string_view date, time;
      if (!SplitDate(Trimmed(s), &date, &time)) return bad("a date");
      std::string& text = TextSlot(out);
      text.assign(date);
      if (kind == ValueKind::kDate) return true;
      text += ' ';
      if (!NormalTime(time.empty() ? "00:00:00" : time, &text)) return bad("a date");
      return true;
    }
    case ValueKind::kTime:
      if (!NormalTime(Trimmed(s), &TextSlot(out))) return bad("a time");
      return true;
    case ValueKind::kBinary: {
      std::string_view hex = Trimmed(s);
      if (hex.starts_with("0x") || hex.starts_with("0X")) hex.remove_prefix(2);
      ByteArray bytes;
      bytes.reserve(hex.size() / 2 + 1);
      auto nibble = [](char ch) {
        const int c = std::tolower(static_cast<unsigned char>(ch));
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      };
      // An odd count of digits has a leading zero left out, as SQL Server reads 0x1FF.
      size_t i = 0;
      if (hex.size() % 2 == 1) {
        if (nibble(hex[0]) < 0) return bad("binary");
        bytes.push_back(static_cast<uint8_t>(nibble(hex[0])));
        i = 1;
      }
      for (; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return bad("binary");
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
      }
      *out = Variant(std::move(bytes));
      return true;
    }
    case ValueKind::kNone:
      break;
  }
  *error = "column not carried";
  return false;
}

std::string MapDefault(ValueKind kind, const std::string& tsql, Engine e, std::string* note) {
  std::string x(Trimmed(tsql));
  while (x.size() >= 2 && x.front() == '(' && x.back() == ')')
    x = std::string(Trimmed(std::string_view(x).substr(1, x.size() - 2)));
  std::string lower;
  for (char c : x) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (In(lower, {"getdate()", "sysdatetime()", "current_timestamp", "getutcdate()"}) &&
      (kind == ValueKind::kDateTime || kind == ValueKind::kDate)) {
    bool utc = lower == "getutcdate()";
    if (Pg(e)) {
      if (kind == ValueKind::kDate)
        return utc ? "(now() at time zone 'utc')::date" : "CURRENT_DATE";
      return utc ? "(now() at time zone 'utc')" : "localtimestamp";
    }
    return std::string("(") + (kind == ValueKind::kDate ? "date" : "datetime") + "('now'" +
           (utc ? "" : ", 'localtime'") + "))";
  }
  Literal lit;
  if (x.size() >= 2 && (x.front() == '\'' || x.starts_with("N'")) && x.back() == '\'') {
    std::string body = x.substr(x.front() == 'N' ? 2 : 1);
    body.pop_back();
    lit = {Literal::kString, ""};
    for (size_t i = 0; i < body.size(); ++i) {
      lit.text += body[i];
      if (body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'') ++i;
    }
  } else if (IsNumberText(x)) {
    lit = {Literal::kNumber, x};
  } else {
    *note = "default " + x + " dropped (an expression the engines do not share)";
    return "";
  }
  Variant v;
  std::string err;
  if (!ToValue(kind, lit, &v, &err)) {
    *note = "default " + x + " dropped: " + err;
    return "";
  }
  if (v.type() == VarType::ByteArray) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string hex;
    for (uint8_t b : v.bytes()) (hex += kHex[b >> 4]) += kHex[b & 15];
    return Pg(e) ? "'\\x" + hex + "'::bytea" : "X'" + hex + "'";
  }
  if (v.type() == VarType::String) {
    std::string q = "'";
    for (char c : v.string()) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
  }
  return v.ToString();
}

std::string SqlName(const std::string& name, Engine e) {
  static const std::set<std::string> reserved = {
      "all",    "and",     "as",     "asc",      "by",    "case",   "check",   "column",
      "create", "default", "desc",   "distinct", "else",  "end",    "from",    "group",
      "having", "in",      "index",  "is",       "join",  "key",    "like",    "limit",
      "not",    "null",    "offset", "on",       "or",    "order",  "primary", "references",
      "select", "table",   "then",   "to",       "union", "unique", "user",    "values",
      "when",   "where",   "with"};
  bool plain =
      !name.empty() && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_');
  std::string lower;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') plain = false;
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (plain && !reserved.count(lower)) return name;
  std::string q = "\"";
  for (char c : Pg(e) ? lower : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

}  // namespace q6::import
