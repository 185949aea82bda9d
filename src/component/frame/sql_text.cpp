// Quoting of values in generated SQL text.
#include "component/frame/sql_text.h"

namespace q6 {

std::string SqlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string SqlQuoted(std::string_view text) { return "'" + SqlEscaped(text) + "'"; }

std::string SqlNumber(int64_t n) { return std::to_string(n); }

}  // namespace q6
