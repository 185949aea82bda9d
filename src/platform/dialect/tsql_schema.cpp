// Qualifying compatibility calls: one pass over the tokens of the text.
#include "platform/dialect/tsql_schema.h"

#include <strings.h>

#include <vector>

#include "platform/dialect/sql_tokens.h"

namespace q6::dialect {

std::string QualifyTsqlCalls(std::string sql) {
  if (sql.find("tsql_") == std::string::npos && sql.find("TSQL_") == std::string::npos) return sql;
  thread_local std::vector<Token> tokens;
  if (!Tokenize(sql, &tokens)) return sql;
  std::string out;
  out.reserve(sql.size() + 32);
  size_t copied = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind != TokenKind::kWord || t.len <= 5 || strncasecmp(sql.data() + t.pos, "tsql_", 5))
      continue;
    size_t next = i + 1;
    while (next < tokens.size() &&
           (tokens[next].kind == TokenKind::kSpace || tokens[next].kind == TokenKind::kComment))
      ++next;
    const bool call = next < tokens.size() && tokens[next].kind == TokenKind::kPunct &&
                      sql[tokens[next].pos] == '(';
    const bool qualified =
        i > 0 && tokens[i - 1].kind == TokenKind::kPunct && sql[tokens[i - 1].pos] == '.';
    if (!call || qualified) continue;
    out.append(sql, copied, t.pos - copied);
    out.append(kTsqlSchema).push_back('.');
    copied = t.pos;
  }
  if (copied == 0) return sql;
  out.append(sql, copied, std::string::npos);
  return out;
}

}  // namespace q6::dialect
