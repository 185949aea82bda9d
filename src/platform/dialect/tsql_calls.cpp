// T-SQL function calls, CAST, CONVERT and IIF rewritten into tsql_* calls.
// The calls renamed, and how, come from the registry of T-SQL functions
// (platform/tsql/functions.h).
#include <array>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/exact_columns.h"
#include "platform/dialect/operands.h"
#include "platform/dialect/tsql_rules.h"
#include "platform/tsql/functions.h"

namespace q6::dialect {
namespace {

// A call the rewriter renames to tsql_<name>, from the registry.
struct Renamed {
  WordRef name;
  tsql::Call call = tsql::Call::kRename;
  bool sqlite_only = false;
};

consteval size_t CountRenamed() {
  size_t n = 0;
  for (const tsql::Function& f : tsql::kFunctions) n += tsql::Renamed(f);
  return n;
}

consteval std::array<Renamed, CountRenamed()> RenamedCalls() {
  std::array<Renamed, CountRenamed()> out{};
  size_t n = 0;
  for (const tsql::Function& f : tsql::kFunctions)
    if (tsql::Renamed(f)) out[n++] = {f.name, f.call, f.engines == tsql::Engines::kSqliteOnly};
  return out;
}

// Every name above, and CAST, CONVERT, IIF, TRY_CAST, TRY_CONVERT,
// STRING_AGG, TRIM, CHAR and NCHAR.
consteval WordSet CallNames() {
  WordSet names{"cast",       "convert", "iif",  "try_cast", "try_convert",
                "string_agg", "trim",    "char", "nchar"};
  for (const Renamed& r : RenamedCalls()) names.Add(r.name);
  return names;
}

constexpr std::array<Renamed, CountRenamed()> kRenamed = RenamedCalls();
constexpr WordSet kCallNames = CallNames();

// The top-level commas of the call whose "(" is at `open`.
std::vector<size_t> Commas(const EditableSql& s, size_t open) {
  std::vector<size_t> out;
  const size_t close = s.Match(open);
  for (size_t j = open + 1; j < close; ++j) {
    if (s.IsPunct(j, '('))
      j = s.Match(j);
    else if (s.IsPunct(j, ','))
      out.push_back(j);
  }
  return out;
}

void DropRange(EditableSql* s, size_t from, size_t to) {
  for (size_t j = from; j <= to; ++j) s->Edit(j).drop = true;
}

std::string Lower(std::string_view t) {
  std::string out;
  AppendAsciiLower(t, &out);
  return out;
}

// A whole number written as one token, or `fallback`.
std::string NumberArg(const EditableSql& s, size_t i, const char* fallback) {
  if (i != kNone && s.Kind(i) == TokenKind::kNumber) return std::string(s.Text(i));
  if (i != kNone && s.IsWord(i, "max")) return "-1";
  return fallback;
}

// The call and its extra arguments that convert to `type` (with its length
// or precision arguments at `args`, kNone when none); empty when the type
// is not one these rewrites handle.
struct Target {
  std::string fn;
  std::string extra;  // ", 10" and the like
  bool text = false;  // a character type (takes a CONVERT style)
  bool date = false;  // a date type (takes a style too)
  int digits = -1;    // datetime2(n), time(n): n, passed after the style
};

ColumnType DateTypeNamed(const EditableSql& s, size_t type);

// The arguments after x of a conversion to `t`: its own extra ones, then
// for datetime2(n) and time(n) the style (0 when `styled` is false: the
// call has none of its own) and n.
std::string TargetArgs(const Target& t, bool styled) {
  if (t.digits < 0) return t.extra;
  return (styled ? ", " : ", 0, ") + std::to_string(t.digits);
}

Target TargetOf(const EditableSql& s, size_t type, size_t args_open) {
  const std::string t = Lower(s.Text(type));
  size_t a1 = kNone, a2 = kNone;
  if (args_open != kNone) {
    a1 = s.NextSig(args_open);
    const size_t c = s.NextSig(a1);
    if (s.IsPunct(c, ',')) a2 = s.NextSig(c);
  }
  Target r;
  if (t == "int" || t == "integer" || t == "bigint" || t == "smallint" || t == "tinyint") {
    r.fn = "tsql_int";
    r.extra = ", '" + std::string(t == "integer" ? "int" : t) + "'";
  } else if (t == "decimal" || t == "numeric" || t == "dec") {
    r.fn = "tsql_decimal";
    r.extra = ", " + NumberArg(s, a1, "18") + ", " + NumberArg(s, a2, "0");
  } else if (t == "money" || t == "smallmoney") {
    r.fn = "tsql_money";
    r.extra = t == "money" ? ", 19" : ", 10";
  } else if (t == "float" || t == "real") {
    r.fn = "tsql_float";
  } else if (t == "bit") {
    r.fn = "tsql_bit";
  } else if (t == "varchar" || t == "nvarchar" || t == "char" || t == "nchar") {
    r.fn = t == "varchar" || t == "nvarchar" ? "tsql_varchar" : "tsql_char";
    r.extra = ", " + NumberArg(s, a1, "30");
    r.text = true;
  } else if (t == "datetime" || t == "datetime2" || t == "date" || t == "time" ||
             t == "smalldatetime") {
    r.fn = "tsql_" + t;
    r.date = true;
    if (t == "datetime2" || t == "time") r.digits = DateTypeNamed(s, type).digits;
  }
  return r;
}

// The "(" of a type's arguments right after the type name, or kNone.
size_t TypeArgs(const EditableSql& s, size_t type) {
  const size_t n = s.NextSig(type);
  return s.IsPunct(n, '(') ? n : kNone;
}

// TRY_CAST / TRY_CONVERT of x (tokens [x_from, x_to]) to `fn` with the
// arguments `extra` after x: tsql_try(witness, 'name', x, 'extra'), where
// the witness is a NULL of the result's type on PostgreSQL.
void WriteTry(EditableSql* s, size_t name, size_t open, size_t x_from, size_t x_to,
              const std::string& fn, const std::string& extra, Engine engine) {
  const std::string target = fn.substr(5);  // without tsql_
  const char* type = target == "int"                            ? "bigint"
                     : target == "decimal" || target == "money" ? "numeric"
                     : target == "float"                        ? "double precision"
                     : target == "bit"                          ? "int"
                                                                : "text";
  std::string quoted;
  for (const char c : extra) (quoted += c) += c == '\'' ? "'" : "";
  Replace(s, name, "tsql_try");
  s->Edit(open).after +=
      (engine == Engine::PostgreSQL ? "NULL::" + std::string(type) : std::string("NULL")) + ", '" +
      target + "', ";
  const size_t close = s->Match(open);
  if (x_from > open + 1) DropRange(s, open + 1, x_from - 1);
  if (x_to + 1 < close) DropRange(s, x_to + 1, close - 1);
  s->Edit(close).before += ", '" + quoted + "'";
}

// The date type named at token `type` (datetime, smalldatetime,
// datetime2[(n)], date, time[(n)]), as ColumnType gives it; kUnknown for
// any other type.
ColumnType DateTypeNamed(const EditableSql& s, size_t type) {
  static constexpr std::string_view kNames[] = {"datetime", "smalldatetime", "datetime2", "date",
                                                "time"};
  uint8_t kind = 0;
  for (uint8_t k = 0; k < std::size(kNames); ++k)
    if (s.IsWord(type, kNames[k])) kind = k + 1;
  if (kind == 0) return {};
  uint8_t digits = 0;
  if (kind == 3 || kind == 5) {
    digits = 7;
    const size_t open = s.NextSig(type);
    const size_t n = s.IsPunct(open, '(') ? s.NextSig(open) : kNone;
    if (n != kNone && s.Kind(n) == TokenKind::kNumber && s.NextSig(n) == s.Match(open)) {
      const int given = std::atoi(std::string(s.Text(n)).c_str());
      if (given >= 0 && given <= 7) digits = static_cast<uint8_t>(given);
    }
  }
  return {ColumnType::kDate, kind, digits};
}

// The date type of the call [first, last] when it is one that gives a date:
// CAST(y AS <date type>), CONVERT(<date type>, y[, style]), GETDATE() and the
// like; kUnknown otherwise.
ColumnType DateCallType(const EditableSql& s, size_t first, size_t last) {
  const size_t open = s.NextSig(first);
  if (!s.IsPunct(open, '(') || s.Match(open) != last) return {};
  if (s.IsWord(first, "getdate") || s.IsWord(first, "getutcdate")) return {ColumnType::kDate, 1, 0};
  if (s.IsWord(first, "sysdatetime") || s.IsWord(first, "sysutcdatetime"))
    return {ColumnType::kDate, 3, 7};
  if (s.IsWord(first, "convert") || s.IsWord(first, "try_convert"))
    return DateTypeNamed(s, s.NextSig(open));
  if (!s.IsWord(first, "cast") && !s.IsWord(first, "try_cast")) return {};
  size_t as = kNone;
  for (size_t j = open + 1; j < last; ++j) {
    if (s.IsPunct(j, '('))
      j = s.Match(j);
    else if (s.IsWord(j, "as"))
      as = j;
  }
  return as == kNone ? ColumnType{} : DateTypeNamed(s, s.NextSig(as));
}

// x (tokens [first, last]) converted to a character type without a style,
// when x is a date: SQL Server writes it by its type (style 0 for datetime
// and smalldatetime, the ISO form with n digits for datetime2(n) and
// time(n)), which the conversion functions cannot tell from the value alone
// where the value is no column's:
// - SQLite: a column's value carries its type's tag (sqlite_date_store.h); a
//   date made by CAST, CONVERT or GETDATE() is plain text, so x becomes
//   tsql_date_store(x, code), the stored form a column of that type holds.
// - PostgreSQL: a datetime2 or time column (its declared digits are the
//   column's record) or date call becomes tsql_date_text(x, digits); a
//   datetime or smalldatetime made by CAST or CONVERT (text) becomes a
//   timestamp, which the conversion writes in style 0.
// Anything else is left to the conversion.
// With `style_digits` (CONVERT with a style: the conversion writes the style
// itself) only the type's digits are handed over: on SQLite a call becomes
// the stored form as above; on PostgreSQL a datetime2 or time column or call
// (as text, its own digits kept) gets its digits appended to *style_digits
// (", 7"), the last argument of the conversion.
void WriteDateText(EditableSql* s, size_t first, size_t last, Engine engine,
                   std::string* style_digits = nullptr) {
  if (first > last || first == kNone || last == kNone) return;
  ColumnType t = DateCallType(*s, first, last);
  const bool call = t.kind == ColumnType::kDate;
  if (!call && engine == Engine::PostgreSQL) {
    const TokenKind kind = s->Kind(first);
    if (kind != TokenKind::kWord && kind != TokenKind::kBracket && kind != TokenKind::kQuoted)
      return;
    thread_local Operands ops;
    ops.Reset(*s);
    t = ColumnTypeAt(*s, ops, first, last);
  }
  if (t.kind != ColumnType::kDate) return;
  const bool digits = t.date_kind == 3 || t.date_kind == 5;
  if (engine == Engine::SQLite) {
    if (!call) return;
    s->Edit(first).before += "tsql_date_store(";
    s->Edit(last).after += ", " + std::to_string(DateStoreCode(t.date_kind, t.digits)) + ")";
  } else if (style_digits) {
    if (!digits) return;
    if (call) {
      s->Edit(first).before += "(";
      s->Edit(last).after += ")::text";
    }
    *style_digits = ", " + std::to_string(t.digits);
  } else if (digits) {
    // A call's value is text with as many digits as the type keeps (seven:
    // more than a PostgreSQL timestamp or time holds), read as it is.
    s->Edit(first).before += call ? "tsql_date_text((" : "tsql_date_text(";
    s->Edit(last).after +=
        std::string(call ? ")::text" : "") + ", " + std::to_string(t.digits) + ")";
  } else if (call && t.date_kind != 4 && !s->IsWord(first, "getdate") &&
             !s->IsWord(first, "getutcdate")) {
    s->Edit(first).before += "(";
    s->Edit(last).after += ")::timestamp";
  }
}

// CAST(x AS type[(args)]), TRY_CAST when `try_cast`.
void RewriteCast(EditableSql* s, size_t name, size_t open, bool try_cast, Engine engine) {
  const size_t close = s->Match(open);
  size_t as = kNone;
  for (size_t j = open + 1; j < close; ++j) {
    if (s->IsPunct(j, '('))
      j = s->Match(j);
    else if (s->IsWord(j, "as"))
      as = j;
  }
  if (as == kNone) return;
  const size_t type = s->NextSig(as);
  if (type == kNone || s->Kind(type) != TokenKind::kWord) return;
  const size_t args = TypeArgs(*s, type);
  const size_t type_end = args == kNone ? type : s->Match(args);
  if (s->NextSig(type_end) != close) return;
  const Target t = TargetOf(*s, type, args);
  if (t.fn.empty()) return;
  if (t.text) WriteDateText(s, s->NextSig(open), s->PrevSig(as), engine);
  if (try_cast)
    return WriteTry(s, name, open, open + 1, s->PrevSig(as), t.fn, TargetArgs(t, false), engine);
  Replace(s, name, t.fn);
  DropRange(s, s->PrevSig(as) + 1, type_end);
  s->Edit(close).before += TargetArgs(t, false);
}

// CONVERT(type[(args)], x[, style]), TRY_CONVERT when `try_convert`.
void RewriteConvert(EditableSql* s, size_t name, size_t open, bool try_convert, Engine engine) {
  const size_t type = s->NextSig(open);
  if (type == kNone || s->Kind(type) != TokenKind::kWord) return;
  const size_t args = TypeArgs(*s, type);
  const size_t type_end = args == kNone ? type : s->Match(args);
  const size_t comma = s->NextSig(type_end);
  if (!s->IsPunct(comma, ',')) return;
  const std::vector<size_t> commas = Commas(*s, open);
  if (commas.size() > 2) return;
  Target t = TargetOf(*s, type, args);
  if (t.fn.empty()) return;
  const size_t close = s->Match(open);
  const size_t x_from = s->NextSig(comma);
  const size_t x_to = s->PrevSig(commas.size() == 2 ? commas[1] : close);
  if (try_convert) {
    // The style goes into the conversion's SQL text: a number only.
    std::string extra = t.extra;
    if (commas.size() == 2) {
      const size_t style = s->NextSig(commas[1]);
      if (s->Kind(style) != TokenKind::kNumber || s->NextSig(style) != close) return;
      if (t.text) t.fn = "tsql_convert_text";
      if (t.text || t.date) extra = t.extra + ", " + std::string(s->Text(style));
      if (t.date) extra += TargetArgs(t, true);
      std::string digits;
      if (t.text) WriteDateText(s, x_from, x_to, engine, &digits);
      extra += digits;
    } else {
      extra = TargetArgs(t, false);
      if (t.text) WriteDateText(s, x_from, x_to, engine);
    }
    return WriteTry(s, name, open, comma + 1, x_to, t.fn, extra, engine);
  }
  if (commas.size() == 2) {
    if (t.text) {
      t.fn = "tsql_convert_text";
      s->Edit(commas[1]).before += t.extra;
      t.extra.clear();
      WriteDateText(s, x_from, x_to, engine, &t.extra);  // the style's digits, last
    } else if (t.date) {
      t.extra = TargetArgs(t, true);  // dates have no extra arguments of their own
    } else {
      DropRange(s, commas[1], close - 1);  // a style means nothing to numbers
    }
  } else {
    if (t.text) WriteDateText(s, x_from, x_to, engine);
    t.extra = TargetArgs(t, false);
  }
  Replace(s, name, t.fn);
  DropRange(s, open + 1, comma);
  if (s->Kind(comma + 1) == TokenKind::kSpace) s->Edit(comma + 1).drop = true;
  s->Edit(close).before += t.extra;
}

// IIF(c, a, b) -> CASE WHEN (c) THEN (a) ELSE (b) END
void RewriteIif(EditableSql* s, size_t name, size_t open) {
  const std::vector<size_t> commas = Commas(*s, open);
  if (commas.size() != 2) return;
  Replace(s, name, "CASE WHEN ");
  if (s->Kind(name + 1) == TokenKind::kSpace) s->Edit(name + 1).drop = true;
  Replace(s, commas[0], ") THEN (");
  Replace(s, commas[1], ") ELSE (");
  s->Edit(s->Match(open)).after += " END";
}

// STRING_AGG(x, sep) [WITHIN GROUP (ORDER BY k [ASC|DESC], ...)]. SQLite:
// tsql_string_agg(x, sep, k, 0|1, ...); PostgreSQL: string_agg((x)::text,
// sep ORDER BY k ...), which takes only text.
void RewriteStringAgg(EditableSql* s, size_t name, size_t open, Engine engine) {
  const size_t close = s->Match(open);
  const std::vector<size_t> commas = Commas(*s, open);
  if (commas.size() != 1) return;
  size_t group_open = kNone, by = kNone;
  if (const size_t w = s->NextSig(close); w != kNone && s->IsWord(w, "within")) {
    const size_t g = s->NextSig(w);
    group_open = s->NextSig(g);
    const size_t order = s->NextSig(group_open);
    by = s->NextSig(order);
    if (!s->IsWord(g, "group") || !s->IsPunct(group_open, '(') || !s->IsWord(order, "order") ||
        !s->IsWord(by, "by"))
      return;
  }
  if (engine == Engine::PostgreSQL) {
    s->Edit(open).after += "(";
    s->Edit(commas[0]).before += ")::text";
    if (group_open != kNone) {
      DropRange(s, close, group_open);
      s->Edit(group_open).after += " ";
    }
    return;
  }
  Replace(s, name, "tsql_string_agg");
  if (group_open == kNone) return;
  DropRange(s, close, by);
  s->Edit(by).after += ", ";
  // Each key's direction as a number behind it.
  const size_t group_close = s->Match(group_open);
  size_t last = kNone;
  for (size_t j = s->NextSig(by); j != kNone && j <= group_close; j = s->NextSig(j)) {
    if (s->IsPunct(j, '(')) {
      last = j = s->Match(j);
      continue;
    }
    if (j != group_close && !s->IsPunct(j, ',')) {
      last = j;
      continue;
    }
    if (last == kNone) return;
    if (s->IsWord(last, "desc") || s->IsWord(last, "asc"))
      Replace(s, last, s->IsWord(last, "desc") ? ", 1" : ", 0");
    else
      s->Edit(last).after += ", 0";
    last = kNone;
  }
}

// TRIM([BOTH | LEADING | TRAILING] chars FROM x) on SQLite:
// tsql_trim('both', chars, x). TRIM(x) stays SQLite's own.
void RewriteTrim(EditableSql* s, size_t name, size_t open) {
  const size_t close = s->Match(open);
  size_t from = kNone;
  for (size_t j = s->NextSig(open); j != kNone && j < close; j = s->NextSig(j)) {
    if (s->IsPunct(j, '('))
      j = s->Match(j);
    else if (s->IsWord(j, "from"))
      from = j;
  }
  if (from == kNone) return;
  Replace(s, name, "tsql_trim");
  Replace(s, from, ",");
  const size_t first = s->NextSig(open);
  for (const std::string_view where : {"both", "leading", "trailing"}) {
    if (!s->IsWord(first, WordRef(where))) continue;
    Replace(s, first, "'" + std::string(where) + "',");
    return;
  }
  s->Edit(open).after += "'both', ";
}

// Whether CHAR( or NCHAR( at `name` is the function, not the type: it
// follows an operator, a comma or an opening parenthesis (other than
// CONVERT's), a number (TOP 5), or a keyword an expression follows. After
// AS, a column or variable name, RETURNS and the like it is the type.
bool IsCharFunction(const EditableSql& s, size_t name) {
  static constexpr WordSet kBeforeExpression{
      "select", "when", "then", "else",     "case", "and",     "or",  "not", "where",
      "having", "on",   "by",   "distinct", "all",  "between", "set", "in",  "like"};
  const size_t prev = s.PrevSig(name);
  if (prev == kNone || s.Kind(prev) == TokenKind::kNumber) return true;
  if (s.Kind(prev) == TokenKind::kWord) return s.IsWordIn(prev, kBeforeExpression);
  if (s.IsPunct(prev, '.')) return false;
  if (!s.IsPunct(prev, '(')) return true;
  const size_t fn = s.PrevSig(prev);
  return fn == kNone || !(s.IsWord(fn, "convert") || s.IsWord(fn, "try_convert"));
}

}  // namespace

void RewriteTsqlCalls(EditableSql* s, Engine engine) {
  if (!s->HasPunct('(') || !s->HasAnyWord(kCallNames)) return;
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (!s->IsWordIn(i, kCallNames)) continue;
    const size_t open = s->NextSig(i);
    if (!s->IsPunct(open, '(')) continue;
    const size_t prev = s->PrevSig(i);
    if (prev != kNone && s->IsPunct(prev, '.')) continue;  // someone's own schema.function
    if (s->IsWord(i, "cast") || s->IsWord(i, "try_cast")) {
      RewriteCast(s, i, open, s->IsWord(i, "try_cast"), engine);
      continue;
    }
    if (s->IsWord(i, "convert") || s->IsWord(i, "try_convert")) {
      RewriteConvert(s, i, open, s->IsWord(i, "try_convert"), engine);
      continue;
    }
    if (s->IsWord(i, "string_agg")) {
      RewriteStringAgg(s, i, open, engine);
      continue;
    }
    if (s->IsWord(i, "char") || s->IsWord(i, "nchar")) {
      if (IsCharFunction(*s, i)) Replace(s, i, s->IsWord(i, "char") ? "tsql_chr" : "tsql_nchar");
      continue;
    }
    if (s->IsWord(i, "trim")) {
      if (engine == Engine::SQLite) RewriteTrim(s, i, open);
      continue;
    }
    if (s->IsWord(i, "iif")) {
      RewriteIif(s, i, open);
      continue;
    }
    for (const Renamed& r : kRenamed) {
      if (!s->IsWord(i, r.name)) continue;
      if (r.sqlite_only && engine != Engine::SQLite) break;
      if (r.call == tsql::Call::kWithCommas && Commas(*s, open).empty())
        break;  // SUBSTRING(x FROM ..)
      Replace(s, i, "tsql_" + std::string(r.name.text()));
      if (r.call == tsql::Call::kDatePart) {
        const size_t part = s->NextSig(open);
        if (part != kNone && s->Kind(part) == TokenKind::kWord && s->IsPunct(s->NextSig(part), ','))
          Replace(s, part, "'" + Lower(s->Text(part)) + "'");
      }
      break;
    }
  }
}

}  // namespace q6::dialect
