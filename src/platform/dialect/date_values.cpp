// Date and time literals read as the type of the column they meet.
#include "platform/dialect/date_values.h"

#include <cstdio>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/exact_columns.h"
#include "platform/dialect/operator_rules.h"

namespace q6::dialect {
namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

int Num(std::string_view t) {
  int v = 0;
  for (char c : t) v = v * 10 + (c - '0');
  return v;
}

int DaysIn(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
  return m == 2 && leap ? 29 : kDays[m - 1];
}

void NextDay(DateStamp* t) {
  if (++t->d <= DaysIn(t->y, t->mo)) return;
  t->d = 1;
  if (++t->mo <= 12) return;
  t->mo = 1;
  ++t->y;
}

void NextMinute(DateStamp* t) {
  if (++t->mi < 60) return;
  t->mi = 0;
  if (++t->h < 24) return;
  t->h = 0;
  NextDay(t);
}

// "" past 9999-12-31 (a value SQL Server cannot hold: the literal is left
// to the server's own error).
std::string Quoted(const DateStamp& t, int ms) {
  if (t.y > 9999) return "";
  char buf[40];
  if (ms < 0)
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", t.y, t.mo, t.d, t.h, t.mi,
                  t.s);
  else
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d.%03d'", t.y, t.mo, t.d, t.h,
                  t.mi, t.s, ms);
  return buf;
}

// The column of INSERT INTO t (columns) that item `n` (0-based) of a row
// goes to: its name, unquoted; "" when there is no such column.
std::string InsertColumn(const EditableSql& s, size_t list, size_t n) {
  size_t k = 0;
  for (size_t j = s.NextSig(list); j != kNone && j < s.Match(list); j = s.NextSig(j)) {
    if (s.IsPunct(j, ',')) {
      ++k;
    } else if (k == n && (s.IsPunct(s.NextSig(j), ',') || s.NextSig(j) == s.Match(list))) {
      return NameOf(s, j);
    }
  }
  return "";
}

// The items from token `first` to `end` (exclusive, at the depth of
// `first`), split at commas: each string literal item that may read as a
// date becomes what column n of `table` holds.
void TypeItems(EditableSql* s, const std::string& table, size_t list, size_t first, size_t end) {
  static constexpr WordSet kEnds{"from",  "where", "union",  "except", "intersect",
                                 "order", "group", "having", "option"};
  const int depth = s->Depth(first);
  size_t n = 0;
  size_t item = first;
  for (size_t j = first;; j = s->NextSig(j)) {
    const bool stop = j == kNone || j == end || s->Depth(j) < depth || s->IsPunct(j, ';') ||
                      (s->Depth(j) == depth && s->IsWordIn(j, kEnds));
    if (!stop && !(s->IsPunct(j, ',') && s->Depth(j) == depth)) {
      if (s->IsPunct(j, '(')) j = s->Match(j);
      continue;
    }
    const size_t last = s->PrevSig(j == kNone ? s->size() : j);
    const auto is = [s](size_t i, TokenKind k) { return i < s->size() && s->Kind(i) == k; };
    // A whole item that is one literal (N'..' too), possibly named ('..' AS
    // d, '..' d).
    const size_t lit =
        s->IsWord(item, "n") && is(s->NextSig(item), TokenKind::kString) ? s->NextSig(item) : item;
    const size_t after = s->NextSig(lit);
    const bool whole = last == lit || (after == last && !is(last, TokenKind::kPunct)) ||
                       (s->IsWord(after, "as") && s->NextSig(after) == last);
    if (whole && is(lit, TokenKind::kString) && !s->Changed(lit) &&
        MayDependOnDateType(s->UnwatchedText(lit))) {
      const std::string column = InsertColumn(*s, list, n);
      if (!column.empty()) {
        std::string typed = DateLiteralAsType(s->UnwatchedText(lit), s->ReadType(table, column));
        if (!typed.empty()) Replace(s, lit, std::move(typed));
      }
    }
    if (stop) return;
    ++n;
    item = s->NextSig(j);
  }
}

}  // namespace

bool ParseDateStamp(std::string_view v, DateStamp* out) {
  size_t at;
  if (v.size() >= 10 && v[4] == '-' && v[7] == '-' && IsDigits(v.substr(0, 4)) &&
      IsDigits(v.substr(5, 2)) && IsDigits(v.substr(8, 2))) {
    out->y = Num(v.substr(0, 4));
    out->mo = Num(v.substr(5, 2));
    out->d = Num(v.substr(8, 2));
    at = 10;
  } else if (v.size() >= 8 && IsDigits(v.substr(0, 8))) {
    out->y = Num(v.substr(0, 4));
    out->mo = Num(v.substr(4, 2));
    out->d = Num(v.substr(6, 2));
    out->compact = true;
    at = 8;
  } else {
    return false;
  }
  if (out->y < 1 || out->mo < 1 || out->mo > 12 || out->d < 1 || out->d > DaysIn(out->y, out->mo))
    return false;
  std::string_view t = v.substr(at);
  if (t.empty()) return true;
  if (t.size() < 6 || (t[0] != ' ' && t[0] != 'T') || t[3] != ':' || !IsDigits(t.substr(1, 2)) ||
      !IsDigits(t.substr(4, 2)))
    return false;
  out->has_time = true;
  out->h = Num(t.substr(1, 2));
  out->mi = Num(t.substr(4, 2));
  t.remove_prefix(6);
  if (!t.empty()) {
    if (t.size() < 3 || t[0] != ':' || !IsDigits(t.substr(1, 2))) return false;
    out->s = Num(t.substr(1, 2));
    t.remove_prefix(3);
  }
  if (!t.empty()) {
    if (t[0] != '.' || (t.size() > 1 && !IsDigits(t.substr(1)))) return false;
    out->point = true;
    out->fraction = t.substr(1);
  }
  return out->h < 24 && out->mi < 60 && out->s < 60;
}

size_t SubMicrosecondDigits(std::string_view text) {
  for (size_t p = text.find('.'); p != std::string_view::npos; p = text.find('.', p + 1)) {
    if (p < 3 || text[p - 3] != ':' || !Digit(text[p - 2]) || !Digit(text[p - 1])) continue;
    size_t e = p + 1;
    while (e < text.size() && Digit(text[e])) ++e;
    if (e - p - 1 > 6) return p + 7;
  }
  return std::string_view::npos;
}

bool CutToMicroseconds(std::string* text) {
  const size_t from = SubMicrosecondDigits(*text);
  if (from == std::string::npos) return false;
  size_t e = from;
  while (e < text->size() && Digit((*text)[e])) ++e;
  text->erase(from, e - from);
  return true;
}

bool MayDependOnDateType(std::string_view literal) {
  if (literal.size() < 2 || literal.front() != '\'') return false;
  DateStamp t;
  return (ParseDateStamp(literal.substr(1, literal.size() - 2), &t) && t.has_time) ||
         SubMicrosecondDigits(literal) != std::string_view::npos;
}

std::string DateLiteralAsType(std::string_view literal, const ColumnType& type) {
  if (type.kind != ColumnType::kDate || literal.size() < 2 || literal.front() != '\'') return "";
  const std::string_view v = literal.substr(1, literal.size() - 2);
  if (v.find('\'') != std::string_view::npos) return "";
  if ((type.date_kind == 3 || type.date_kind == 5) && type.digits >= 7) {
    std::string cut(v);
    return CutToMicroseconds(&cut) ? "'" + cut + "'" : "";
  }
  if (type.date_kind != 1 && type.date_kind != 2) return "";
  DateStamp t;
  // More than three digits are no datetime literal: the server's error.
  if (!ParseDateStamp(v, &t) || t.fraction.size() > 3) return "";
  std::string digits(t.fraction);
  digits.resize(3, '0');
  int ms = Num(digits);
  if (type.date_kind == 1) {
    if (ms % 10 == 0 || ms % 10 == 3 || ms % 10 == 7) return "";
    // Ticks of 1/300 s, rounded half up, written back as milliseconds.
    const int ticks = (ms * 3 + 5) / 10;
    ms = (ticks * 20 + 3) / 6;
    if (ms == 1000) {
      ms = 0;
      if (++t.s == 60) {
        t.s = 0;
        NextMinute(&t);
      }
    }
    return Quoted(t, ms);
  }
  // smalldatetime: 29.998 s and less round down, 29.999 s and more up.
  if (t.s == 0 && ms == 0) return "";
  if (t.s * 1000 + ms >= 29999) NextMinute(&t);
  t.s = 0;
  return Quoted(t, -1);
}

bool LiteralAsDateColumn(EditableSql* s, const Operands& ops, size_t lit, size_t c0, size_t c1) {
  if (lit == kNone || s->Kind(lit) != TokenKind::kString || s->Changed(lit)) return false;
  // A literal that may read as a date is never a stand-in (IsDateLiteral),
  // and a stand-in never may: the answer is the same for every literal a
  // stand-in takes the place of.
  const std::string_view text = s->UnwatchedText(lit);
  if (!MayDependOnDateType(text)) return false;
  std::string typed = DateLiteralAsType(text, ColumnTypeAt(*s, ops, c0, c1));
  if (typed.empty()) return false;
  Replace(s, lit, std::move(typed));
  return true;
}

void RewriteDateValues(EditableSql* s, Engine engine) {
  if (engine != Engine::PostgreSQL || !s->HasKind(TokenKind::kString)) return;
  for (size_t ins = s->FirstWord("insert"); ins != kNone; ins = s->NextWord(ins)) {
    size_t j = s->NextSig(ins);
    if (s->IsWord(j, "into")) j = s->NextSig(j);
    if (j == kNone || s->Kind(j) == TokenKind::kPunct) continue;
    size_t name = j;
    while (s->IsPunct(s->NextSig(name), '.') && s->NextSig(s->NextSig(name)) != kNone)
      name = s->NextSig(s->NextSig(name));
    const size_t list = s->NextSig(name);
    if (!s->IsPunct(list, '(')) continue;  // without a column list the driver cuts
    const std::string table = NameOf(*s, name);
    size_t body = s->NextSig(s->Match(list));
    if (s->IsWord(body, "values")) {
      for (size_t row = s->NextSig(body); s->IsPunct(row, '(');) {
        const size_t close = s->Match(row);
        if (s->NextSig(row) != close) TypeItems(s, table, list, s->NextSig(row), close);
        const size_t comma = s->NextSig(close);
        if (!s->IsPunct(comma, ',')) break;
        row = s->NextSig(comma);
      }
    } else if (s->IsWord(body, "select")) {
      size_t first = s->NextSig(body);
      if (s->IsWord(first, "distinct") || s->IsWord(first, "all")) first = s->NextSig(first);
      if (first != kNone && !s->IsWord(first, "top")) TypeItems(s, table, list, first, kNone);
    }
  }
}

}  // namespace q6::dialect
