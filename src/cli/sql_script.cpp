// Splitting scripts into statements.
#include "cli/sql_script.h"

#include <algorithm>

#include "import/script_text.h"
#include "platform/dialect/sql_tokens.h"
#include "runtime/com_error.h"

namespace q6::cli {

namespace {

int LinesBefore(std::string_view text, size_t pos) {
  return static_cast<int>(std::count(text.begin(), text.begin() + pos, '\n'));
}

}  // namespace

std::vector<ScriptStatement> SplitScript(std::string_view script) {
  using dialect::TokenKind;
  std::vector<ScriptStatement> out;
  std::vector<dialect::Token> tokens;
  for (const import::Batch& b : import::SplitBatches(script)) {
    if (!dialect::Tokenize(b.text, &tokens))
      Throw(E_FAIL,
            "line " + std::to_string(b.first_line) +
                ": a string literal, quoted or bracketed name or block comment in this batch is "
                "not closed",
            "q6fd");
    size_t begin = 0, first_word = std::string_view::npos;
    auto close = [&](size_t end) {
      if (first_word != std::string_view::npos)
        out.push_back({b.first_line + LinesBefore(b.text, first_word), b.number,
                       std::string(b.text.substr(begin, end - begin))});
      first_word = std::string_view::npos;
    };
    for (const dialect::Token& t : tokens) {
      if (t.kind == TokenKind::kPunct && t.Text(b.text) == ";") {
        close(t.pos);
        begin = t.pos + t.len;
      } else if (t.kind != TokenKind::kSpace && t.kind != TokenKind::kComment &&
                 first_word == std::string_view::npos) {
        first_word = t.pos;
      }
    }
    close(b.text.size());
  }
  return out;
}

}  // namespace q6::cli
