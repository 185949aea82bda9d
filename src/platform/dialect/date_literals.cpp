// Date literals in comparisons.
//
// A date stored as text 'YYYY-MM-DD HH:MM:SS' differs as text from the
// literal '2024-02-29' users compare it with. Rather than guess which
// columns hold dates, the literal is written so that it means the same for
// both kinds of column: a text column that holds '2024-02-29' itself still
// matches, and so does one that holds the midnight form.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/dialect/date_values.h"
#include "platform/dialect/operator_rules.h"

namespace q6::dialect {
namespace {

// A date literal's forms: the day alone 'YYYY-MM-DD', and the stored form
// 'YYYY-MM-DD HH:MM:SS' (with '.fff' when not zero).
struct DateLiteral {
  std::string day;
  std::string stored;
  bool day_only = false;  // written as the day alone, dashed
  bool compact = false;   // written 'YYYYMMDD'
};

// Days before 1753 and fractions of more than three digits are no datetime
// SQL Server reads; 'YYYYMMDD' counts without a time only.
bool ParseDateLiteral(std::string_view text, DateLiteral* out) {
  if (text.size() < 2) return false;
  DateStamp t;
  const std::string_view v = text.substr(1, text.size() - 2);
  if (!ParseDateStamp(v, &t) || t.y < 1753 || (t.compact && t.has_time) || t.fraction.size() > 3 ||
      (t.point && t.fraction.empty()))
    return false;
  char day[40], time[40];
  std::snprintf(day, sizeof day, "%04d-%02d-%02d", t.y, t.mo, t.d);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.h, t.mi, t.s);
  out->day = day;
  out->compact = t.compact;
  out->day_only = !t.compact && !t.has_time;
  out->stored = out->day + " " + time;
  std::string ms(t.fraction);
  ms.resize(3, '0');
  if (ms != "000") out->stored += "." + ms;
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
