// Declared type text to the kinds the rules tell apart, one table for both
// engines' spellings (the SQLite forms the table definitions write, such as
// datetime2_text(3), and PostgreSQL's format_type names).
#include "platform/dialect/column_types.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace q6::dialect {
namespace {

struct NamedType {
  std::string_view name;
  ColumnType::Kind kind;
  uint8_t date_kind;
};

// clang-format off
constexpr NamedType kTypes[] = {
    {"int", ColumnType::kInt, 0},            {"integer", ColumnType::kInt, 0},
    {"smallint", ColumnType::kInt, 0},       {"tinyint", ColumnType::kInt, 0},
    {"int2", ColumnType::kInt, 0},           {"int4", ColumnType::kInt, 0},
    {"bigint", ColumnType::kBigint, 0},      {"int8", ColumnType::kBigint, 0},
    {"float", ColumnType::kNumber, 0},       {"real", ColumnType::kNumber, 0},
    {"double", ColumnType::kNumber, 0},      {"float8", ColumnType::kNumber, 0},
    {"float4", ColumnType::kNumber, 0},      {"bit", ColumnType::kNumber, 0},
    {"decimal", ColumnType::kExact, 0},      {"numeric", ColumnType::kExact, 0},
    {"money", ColumnType::kExact, 0},        {"smallmoney", ColumnType::kExact, 0},
    {"decimal_text", ColumnType::kExact, 0}, {"money_text", ColumnType::kExact, 0},
    {"char", ColumnType::kText, 0},          {"varchar", ColumnType::kText, 0},
    {"nchar", ColumnType::kText, 0},         {"nvarchar", ColumnType::kText, 0},
    {"text", ColumnType::kText, 0},          {"ntext", ColumnType::kText, 0},
    {"character", ColumnType::kText, 0},     {"citext", ColumnType::kText, 0},
    {"clob", ColumnType::kText, 0},
    {"datetime", ColumnType::kDate, 1},      {"datetime_text", ColumnType::kDate, 1},
    {"smalldatetime", ColumnType::kDate, 2}, {"smalldatetime_text", ColumnType::kDate, 2},
    {"datetime2", ColumnType::kDate, 3},     {"datetime2_text", ColumnType::kDate, 3},
    {"date", ColumnType::kDate, 4},          {"date_text", ColumnType::kDate, 4},
    {"time", ColumnType::kDate, 5},          {"time_text", ColumnType::kDate, 5},
    {"timestamp", ColumnType::kDate, 3},
    {"binary", ColumnType::kBinary, 0},      {"varbinary", ColumnType::kBinary, 0},
    {"image", ColumnType::kBinary, 0},       {"blob", ColumnType::kBinary, 0},
    {"bytea", ColumnType::kBinary, 0},
};
// clang-format on

}  // namespace

ColumnTypes::~ColumnTypes() = default;

ColumnType ParseDeclaredType(std::string_view decl) {
  size_t b = 0;
  while (b < decl.size() && std::isspace(static_cast<unsigned char>(decl[b]))) ++b;
  std::string word;
  size_t e = b;
  for (; e < decl.size() && (std::isalnum(static_cast<unsigned char>(decl[e])) || decl[e] == '_');
       ++e)
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(decl[e])));
  ColumnType t;
  if (word.empty()) return t;
  t.kind = ColumnType::kOther;
  for (const NamedType& n : kTypes) {
    if (n.name != word) continue;
    t.kind = n.kind;
    t.date_kind = n.date_kind;
  }
  if (t.kind == ColumnType::kInt)
    t.int_bytes = word == "smallint" || word == "int2" ? 2 : word == "tinyint" ? 1 : 4;
  if (t.kind != ColumnType::kDate) return t;
  // The digits in parentheses, when given: datetime2_text(3), time(0),
  // timestamp(3) without time zone.
  int digits = -1;
  while (e < decl.size() && decl[e] == ' ') ++e;
  if (e < decl.size() && decl[e] == '(' && e + 1 < decl.size() &&
      std::isdigit(static_cast<unsigned char>(decl[e + 1])))
    digits = decl[e + 1] - '0';
  if (word == "timestamp") {
    // PostgreSQL: the table definitions keep datetime as timestamp(3) and
    // smalldatetime as timestamp(0); any other precision is a datetime2.
    if (digits == 3) return {ColumnType::kDate, 1, 0};
    if (digits == 0) return {ColumnType::kDate, 2, 0};
    return {ColumnType::kDate, 3, static_cast<uint8_t>(digits < 0 ? 6 : digits)};
  }
  if (t.date_kind == 3 || t.date_kind == 5)
    t.digits = static_cast<uint8_t>(digits < 0 ? 7 : digits);
  return t;
}

ColumnType PostgresColumnType(std::string_view stored, std::string_view comment) {
  // A zoned timestamp or time is no T-SQL date type the rules know.
  if (stored.find(" with time zone") != std::string_view::npos) return {ColumnType::kOther};
  ColumnType plain = ParseDeclaredType(stored);
  // Without a record, six digits are most likely the declared type's
  // default of seven (datetime2, time), which the server keeps as six.
  if (plain.kind == ColumnType::kDate && plain.digits == 6) plain.digits = 7;
  if (plain.kind != ColumnType::kDate || !comment.starts_with(kTypeRecordTag)) return plain;
  const ColumnType recorded = ParseDeclaredType(comment.substr(kTypeRecordTag.size()));
  if (recorded.date_kind != 3 && recorded.date_kind != 5) return plain;
  // The server keeps at most six fractional digits.
  const std::string form = std::string(recorded.date_kind == 3 ? "timestamp(" : "time(") +
                           static_cast<char>('0' + std::min<int>(recorded.digits, 6)) +
                           ") without time zone";
  return stored == form ? recorded : plain;
}

bool ColumnTypes::ColumnNames(std::string_view, std::vector<std::string>* names) {
  names->clear();
  return false;
}

bool ReadsStillHold(const std::shared_ptr<const TypeReads>& reads, ColumnTypes* types) {
  if (!reads) return true;
  std::vector<std::string> names;
  for (const TypeRead& r : *reads) {
    if (r.column.empty()) {
      if (types) types->ColumnNames(r.table, &names);
      if (!types) names.clear();
      if (names != r.names) return false;
      continue;
    }
    const ColumnType now = types ? types->TypeOf(r.table, r.column) : ColumnType{};
    if (!(now == r.type)) return false;
  }
  return true;
}

}  // namespace q6::dialect
