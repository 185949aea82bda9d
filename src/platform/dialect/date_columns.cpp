// Date and time columns: declared types per engine. On SQLite the triggers
// of exact_columns.cpp keep their values in the stored form.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "platform/dialect/exact_columns.h"
#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {

bool RewriteDateType(EditableSql* s, size_t name, size_t type, Engine engine, ExactColumn* out) {
  struct Kind {
    std::string_view word;
    int kind;
  };
  static constexpr Kind kKinds[] = {
      {"datetime", 1}, {"smalldatetime", 2}, {"datetime2", 3}, {"date", 4}, {"time", 5}};
  const Kind* k = nullptr;
  for (const Kind& c : kKinds)
    if (s->IsWord(type, c.word)) k = &c;
  if (k == nullptr) return false;
  out->name = engine == Engine::PostgreSQL ? PostgresNameOf(*s, name) : NameOf(*s, name);
  out->date_kind = k->kind;
  // The fractional digits written for datetime2(n) and time(n).
  size_t end = type;
  int digits = 7;
  if (const size_t open = s->NextSig(type); s->IsPunct(open, '(')) {
    const size_t n = s->NextSig(open);
    if (s->Kind(n) == TokenKind::kNumber) digits = std::atoi(std::string(s->Text(n)).c_str());
    end = s->Match(open);
  }
  for (size_t j = type + 1; j != kNone && j <= end; ++j) s->Edit(j).drop = true;
  if (engine == Engine::SQLite) {
    Replace(s, type, std::string(k->word) + "_text COLLATE tsql_date");
    return true;
  }
  const std::string n = std::to_string(std::min(digits, 6));  // the server keeps microseconds
  switch (k->kind) {
    case 1:
      Replace(s, type, "timestamp(3)");
      break;
    case 2:
      Replace(s, type, "timestamp(0)");
      break;
    case 3:
      Replace(s, type, "timestamp(" + n + ")");
      break;
    case 4:
      Replace(s, type, "date");
      break;
    default:
      Replace(s, type, "time(" + n + ")");
  }
  return true;
}

std::string PostgresNameOf(const EditableSql& s, size_t i) {
  std::string name = NameOf(s, i);
  if (s.Kind(i) == TokenKind::kWord)
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string MinuteTriggers(const std::string& table, const std::vector<ExactColumn>& cols) {
  auto quoted = [](const std::string& n, char q) {
    std::string out(1, q);
    for (char c : n) {
      out += c;
      if (c == q) out += q;
    }
    return out += q;
  };
  std::string out;
  for (const ExactColumn& c : cols) {
    if (c.date_kind != 2) continue;
    out += "; CREATE TRIGGER " + quoted("q6_date_" + table + "_" + c.name, '"') +
           " BEFORE INSERT OR UPDATE ON " + quoted(table, '"') +
           " FOR EACH ROW EXECUTE FUNCTION q6tsql.tsql_minute_round(" + quoted(c.name, '\'') + ")";
  }
  return out;
}

}  // namespace q6::dialect
