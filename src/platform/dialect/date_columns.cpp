// Date and time columns: declared types per engine. On SQLite the triggers
// of exact_columns.cpp keep their values in the stored form.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "platform/dialect/column_types.h"
#include "platform/dialect/exact_columns.h"
#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {

namespace {

// The date types by their kind (ExactColumn::date_kind).
constexpr std::string_view kDateWords[] = {"",          "datetime", "smalldatetime",
                                           "datetime2", "date",     "time"};

}  // namespace

bool RewriteDateType(EditableSql* s, size_t name, size_t type, Engine engine, ExactColumn* out) {
  int kind = 0;
  for (int k = 1; k < 6; ++k)
    if (s->IsWord(type, kDateWords[k])) kind = k;
  if (kind == 0) return false;
  out->name = engine == Engine::PostgreSQL ? PostgresNameOf(*s, name) : NameOf(*s, name);
  out->date_kind = kind;
  size_t end = type;
  if (const size_t open = s->NextSig(type); s->IsPunct(open, '(')) {
    const size_t n = s->NextSig(open);
    if (s->Kind(n) == TokenKind::kNumber) out->digits = std::atoi(std::string(s->Text(n)).c_str());
    end = s->Match(open);
  }
  for (size_t j = type + 1; j != kNone && j <= end; ++j) s->Edit(j).drop = true;
  Replace(s, type, StoredColumnType(*out, engine));
  return true;
}

std::string StoredColumnType(const ExactColumn& c, Engine engine) {
  if (c.date_kind == 0) {
    const std::string args =
        "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    if (engine == Engine::PostgreSQL) return "numeric" + args;
    return (c.money ? "money_text" : "decimal_text") + args + " COLLATE tsql_decimal";
  }
  if (engine == Engine::SQLite) {
    // datetime2 and time of other than 7 digits say so: their stored form's
    // tag carries the digits (the driver's sqlite_date_store.h).
    const bool digits = (c.date_kind == 3 || c.date_kind == 5) && c.digits != 7;
    return std::string(kDateWords[c.date_kind]) + "_text" +
           (digits ? "(" + std::to_string(std::clamp(c.digits, 0, 7)) + ")" : "") +
           " COLLATE tsql_date";
  }
  const std::string n =
      std::to_string(std::clamp(c.digits, 0, 6));  // the server keeps microseconds
  switch (c.date_kind) {
    case 1:
      return "timestamp(3)";
    case 2:
      return "timestamp(0)";
    case 3:
      return "timestamp(" + n + ")";
    case 4:
      return "date";
    default:
      return "time(" + n + ")";
  }
}

std::string PostgresNameOf(const EditableSql& s, size_t i) {
  std::string name = NameOf(s, i);
  if (s.Kind(i) == TokenKind::kWord)
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string PostgresDateStatements(const std::string& table, const std::vector<ExactColumn>& cols,
                                   const std::string& schema) {
  auto quoted = [](const std::string& n, char q) {
    std::string out(1, q);
    for (char c : n) {
      out += c;
      if (c == q) out += q;
    }
    return out += q;
  };
  const std::string qualified =
      (schema.empty() ? "" : quoted(schema, '"') + ".") + quoted(table, '"');
  std::string out;
  for (const ExactColumn& c : cols) {
    if (c.date_kind == 2)
      out += "; CREATE TRIGGER " + quoted("q6_date_" + table + "_" + c.name, '"') +
             " BEFORE INSERT OR UPDATE ON " + qualified +
             " FOR EACH ROW EXECUTE FUNCTION q6tsql.tsql_minute_round(" + quoted(c.name, '\'') +
             ")";
    if (c.date_kind == 1)
      out += "; CALL q6tsql.tsql_tick_trigger(" + quoted(qualified, '\'') + ", " +
             quoted(c.name, '\'') + ")";
    if (c.date_kind == 5)
      out += "; CREATE TRIGGER " + quoted("q6_time_" + table + "_" + c.name, '"') +
             " BEFORE INSERT OR UPDATE ON " + qualified + " FOR EACH ROW WHEN (NEW." +
             quoted(c.name, '"') + " = time '24:00:00') EXECUTE FUNCTION q6tsql.tsql_time_in_day(" +
             quoted(c.name, '\'') + ", '" + (c.digits >= 7 ? "23:59:59.999999" : "00:00:00") + "')";
    if (c.date_kind == 3 || c.date_kind == 5)
      out += "; COMMENT ON COLUMN " + qualified + "." + quoted(c.name, '"') + " IS " +
             quoted(std::string(kTypeRecordTag) + std::string(kDateWords[c.date_kind]) + "(" +
                        std::to_string(std::clamp(c.digits, 0, 7)) + ")",
                    '\'');
  }
  return out;
}

}  // namespace q6::dialect
