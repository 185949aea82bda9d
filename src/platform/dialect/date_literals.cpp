// Date literals in comparisons.
//
// A date stored as text 'YYYY-MM-DD HH:MM:SS' differs as text from the
// literal '2024-02-29' users compare it with. Rather than guess which
// columns hold dates, the literal is written so that it means the same for
// both kinds of column: a text column that holds '2024-02-29' itself still
// matches, and so does one that holds the midnight form.
#include <string>
#include <string_view>

#include "platform/dialect/date_values.h"
#include "platform/dialect/operator_rules.h"

namespace q6::dialect {
namespace {

// REQUIRES: `t` is digits only, a few of them.
int Num(std::string_view t) {
  int v = 0;
  for (char c : t) v = v * 10 + (c - '0');
  return v;
}

bool ValidDay(int y, int m, int d) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1753 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return false;
  return m != 2 || d < 29 || (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0));
}

// A date literal's forms: the day alone 'YYYY-MM-DD', and the stored form
// 'YYYY-MM-DD HH:MM:SS' (with '.fff' when not zero).
struct DateLiteral {
  std::string day;
  std::string stored;
  bool day_only = false;  // written as the day alone, dashed
  bool compact = false;   // written 'YYYYMMDD'
};

bool ParseDateLiteral(std::string_view text, DateLiteral* out) {
  if (text.size() < 2) return false;
  const std::string_view v = text.substr(1, text.size() - 2);
  std::string_view rest;
  if (v.size() == 8 && IsDigits(v)) {
    out->day = std::string(v.substr(0, 4)) + "-" + std::string(v.substr(4, 2)) + "-" +
               std::string(v.substr(6, 2));
    out->compact = true;
  } else if (v.size() >= 10 && v[4] == '-' && v[7] == '-' && IsDigits(v.substr(0, 4)) &&
             IsDigits(v.substr(5, 2)) && IsDigits(v.substr(8, 2))) {
    out->day = std::string(v.substr(0, 10));
    rest = v.substr(10);
    out->day_only = rest.empty();
  } else {
    return false;
  }
  if (!ValidDay(Num(out->day.substr(0, 4)), Num(out->day.substr(5, 2)), Num(out->day.substr(8, 2))))
    return false;
  std::string time = "00:00:00";
  if (!rest.empty()) {
    if (rest[0] != ' ' && rest[0] != 'T') return false;
    rest.remove_prefix(1);
    if (rest.size() < 5 || rest[2] != ':' || !IsDigits(rest.substr(0, 2)) ||
        !IsDigits(rest.substr(3, 2)))
      return false;
    time = std::string(rest.substr(0, 5)) + ":00";
    rest.remove_prefix(5);
    if (!rest.empty()) {
      if (rest.size() < 3 || rest[0] != ':' || !IsDigits(rest.substr(1, 2))) return false;
      time.replace(6, 2, rest.substr(1, 2));
      rest.remove_prefix(3);
    }
    if (!rest.empty()) {
      if (rest[0] != '.' || !IsDigits(rest.substr(1)) || rest.size() > 4) return false;
      std::string ms(rest.substr(1));
      ms.resize(3, '0');
      if (ms != "000") time += "." + ms;
    }
    if (Num(time.substr(0, 2)) > 23 || Num(time.substr(3, 2)) > 59 || Num(time.substr(6, 2)) > 59)
      return false;
  }
  out->stored = out->day + " " + time;
  return true;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

bool IsDigits(std::string_view t) {
  for (char c : t)
    if (c < '0' || c > '9') return false;
  return !t.empty();
}

bool IsDateLiteral(std::string_view text) {
  DateLiteral d;
  return ParseDateLiteral(text, &d) || MayDependOnDateType(text);
}

bool RewriteDateLiteral(EditableSql* s, size_t lit, char op, size_t op_first, size_t op_last,
                        bool collate_items) {
  const std::string_view text = s->UnwatchedText(lit);
  DateLiteral d;
  if (!ParseDateLiteral(text, &d)) return false;
  if (text == Quote(d.stored)) return false;
  if ((op == '=' || op == 'n') && op_first != kNone) {
    // The literal itself stays in the list: a text column that holds it
    // as written still matches.
    std::string list = "(" + std::string(text) + "," + Quote(d.stored);
    if (d.compact) list += "," + Quote(d.day);
    for (size_t j = op_first; j <= op_last; ++j) s->Edit(j).drop = true;
    // A list of more than one compares by the collation of the left side.
    Replace(s, lit,
            std::string(collate_items ? "COLLATE NOCASE " : "") + (op == 'n' ? "NOT IN " : "IN ") +
                list + ")");
    return true;
  }
  if (op == 'l' || op == '>') {
    Replace(s, lit, Quote(d.stored));
  } else if (!d.day_only) {  // < and >=: the day alone sorts before its midnight
    Replace(s, lit, Quote(d.compact ? d.day : d.stored));
  }
  return false;
}

}  // namespace q6::dialect
