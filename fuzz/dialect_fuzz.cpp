// The dialect rewriter on both engines, with arbitrary statement text and
// with arbitrary values quoted into a fixed statement.
//
// Invariants besides "no crash, no sanitizer report":
//   - the tokens of any text join back to the text, byte for byte;
//   - the cached and the uncached translation agree, also for statements
//     that differ only in their literals (they share one shape), and so do
//     the parameters taken from the shape's and from the text;
//   - a value quoted with SqlQuoted into a statement comes out of the
//     rewriter as the same literal: no value can change what the statement
//     does, on either engine.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "component/frame/sql_text.h"
#include "fuzz_check.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/literal_params.h"
#include "platform/dialect/literal_shape.h"
#include "platform/dialect/sql_tokens.h"

namespace {

using q6::Engine;
using q6::dialect::Token;
using q6::dialect::TokenKind;

void CheckRoundTrip(std::string_view text) {
  std::vector<Token> tokens;
  if (!q6::dialect::Tokenize(text, &tokens)) return;
  std::string joined;
  for (const Token& t : tokens) joined += t.Text(text);
  Q6_FUZZ_CHECK(joined == text, "tokens do not join back to the text");
}

// The string literals of `sql`, unquoted, in order; false when it does not
// tokenize.
bool Literals(std::string_view sql, std::vector<std::string>* out) {
  std::vector<Token> tokens;
  if (!q6::dialect::Tokenize(sql, &tokens)) return false;
  for (const Token& t : tokens) {
    if (t.kind != TokenKind::kString) continue;
    std::string v;
    q6::dialect::AppendUnquoted(t.Text(sql), &v);
    out->push_back(std::move(v));
  }
  return true;
}

bool SameParams(const q6::ParameterizedSql& a, const q6::ParameterizedSql& b) {
  if (a.params.size() != b.params.size()) return false;
  for (size_t i = 0; i < a.params.size(); ++i)
    if (a.params[i].kind != b.params[i].kind || a.params[i].value != b.params[i].value)
      return false;
  return true;
}

void CheckQuotedValue(std::string_view value, Engine engine) {
  // The shapes the component builds (a hinted TOP select, a function on a
  // column, an insert) and one of users' own T-SQL.
  const std::string quoted = q6::SqlQuoted(value);
  const std::string statements[] = {
      "Select top 1 * From FD_Locks with(updlock) Where  class_flag='1' or (locks_id=" + quoted +
          ")",
      "select left(sName,2) as 'n', len(sCaption) from FD_Entities where sCaption=" + quoted +
          " and iBIType <> 51",
      "insert into fd_locks values(" + quoted + ",'u','w','m','7'," + quoted + ")",
      // Users' own T-SQL: concatenation, conversions, comparisons, LIKE.
      "select code + " + quoted + ", charindex(" + quoted + ", memo), cast(" + quoted +
          " as varchar(10)) from dbo.fd_doc where memo like " + quoted + " or ddate = " + quoted,
      "select distinct left(memo, 2) m, code + " + quoted +
          " from fd_doc d join fd_line l on l.parentoid = d.coid where code in (" + quoted +
          ", 'x') and code >= " + quoted + " and " + quoted + " <> memo",
      "create table t (a nvarchar(10) default " + quoted + ", b varchar(max))",
  };
  for (const std::string& sql : statements) {
    const std::string native = q6::TranslateSqlUncached(sql, engine);
    const q6::Translation translated = q6::TranslateSql(sql, engine);
    Q6_FUZZ_CHECK(translated == native, "a shared shape gave another text");
    q6::ParameterizedSql shaped, own;
    const bool taken = q6::ParameterizeLiterals(translated, engine, &shaped);
    Q6_FUZZ_CHECK(taken == q6::ParameterizeLiteralsUncached(native, engine, &own) &&
                      (!taken || (shaped.text == own.text && SameParams(shaped, own))),
                  "a shared shape gave other parameters");
    std::vector<std::string> literals;
    Q6_FUZZ_CHECK(Literals(native, &literals), "a quoted value broke the statement apart");
    bool found = false;
    for (const std::string& l : literals) found = found || l == value;
    Q6_FUZZ_CHECK(found, "a quoted value came out of the rewriter changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckRoundTrip(text);
  for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
    const std::string uncached = q6::TranslateSqlUncached(text, e);
    Q6_FUZZ_CHECK(q6::TranslateSql(text, e) == uncached, "cache and rewriter disagree");
    CheckRoundTrip(uncached);
    if (size <= 256) CheckQuotedValue(text, e);
  }
  return 0;
}
