// Exact number columns: declared types per engine and, on SQLite, the
// triggers that put what any statement writes into the stored form.
#include "platform/dialect/exact_columns.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {
namespace {

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out += '"';
}

int NumberAt(const EditableSql& s, size_t i, int fallback) {
  if (i == kNone || s.Kind(i) != TokenKind::kNumber) return fallback;
  return std::atoi(std::string(s.Text(i)).c_str());
}

}  // namespace

int DateStoreCode(int date_kind, int digits) {
  const bool with_digits = date_kind == 3 || date_kind == 5;
  return date_kind + (with_digits ? 8 * (std::clamp(digits, 0, 7) + 1) : 0);
}

std::string NameOf(const EditableSql& s, size_t i) {
  if (s.Kind(i) == TokenKind::kWord) return std::string(s.Text(i));
  std::string name;
  AppendUnquoted(s.Text(i), &name);
  return name;
}

bool RewriteExactType(EditableSql* s, size_t name, size_t type, Engine engine, ExactColumn* out) {
  const bool decimal =
      s->IsWord(type, "decimal") || s->IsWord(type, "numeric") || s->IsWord(type, "dec");
  const bool money = s->IsWord(type, "money") || s->IsWord(type, "smallmoney");
  if (!decimal && !money) return false;
  out->name = NameOf(*s, name);
  out->money = money;
  size_t end = type;
  if (money) {
    out->precision = s->IsWord(type, "money") ? 19 : 10;
    out->scale = 4;
  } else {
    out->precision = 18;
    out->scale = 0;
    const size_t open = s->NextSig(type);
    if (s->IsPunct(open, '(')) {
      const size_t p = s->NextSig(open);
      out->precision = NumberAt(*s, p, 18);
      const size_t comma = s->NextSig(p);
      if (s->IsPunct(comma, ',')) out->scale = NumberAt(*s, s->NextSig(comma), 0);
      end = s->Match(open);
    }
  }
  if (engine == Engine::PostgreSQL && !money) return true;  // decimal(p,s) as written
  for (size_t j = type + 1; j <= end; ++j) s->Edit(j).drop = true;
  Replace(s, type, StoredColumnType(*out, engine));
  return true;
}

std::string ExactColumnTriggers(const std::string& table, const std::vector<ExactColumn>& cols) {
  std::string out;
  for (const ExactColumn& c : cols) {
    const bool date = c.date_kind != 0;
    const std::string args = date
                                 ? ", " + std::to_string(DateStoreCode(c.date_kind, c.digits)) + ")"
                                 : ", " + std::to_string(c.precision) + ", " +
                                       std::to_string(c.scale) + ", " + (c.money ? "1" : "0") + ")";
    const std::string store = date ? "tsql_date_store(" : "tsql_store(";
    const std::string when = std::string(" FOR EACH ROW WHEN ") +
                             (date ? "tsql_needs_date_store(NEW." : "tsql_needs_store(NEW.") +
                             Quoted(c.name) + args;
    const std::string body = " BEGIN UPDATE " + Quoted(table) + " SET " + Quoted(c.name) + " = " +
                             store + Quoted(c.name) + args + " WHERE rowid = NEW.rowid; END";
    const std::string base = (date ? "q6_date_" : "q6_exact_") + table + "_" + c.name;
    out += "; CREATE TRIGGER " + Quoted(base + "_i") + " AFTER INSERT ON " + Quoted(table) + when +
           body;
    out += "; CREATE TRIGGER " + Quoted(base + "_u") + " AFTER UPDATE OF " + Quoted(c.name) +
           " ON " + Quoted(table) + when + body;
  }
  return out;
}

}  // namespace q6::dialect
