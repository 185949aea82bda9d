// The statements of a T-SQL script as q6fd sql runs them: batches
// separated by lines holding only GO (as generated scripts have them), and
// in each batch statements separated by ';' outside literals, quoted and
// bracketed names and comments.
//
// A batch whose statements are not separated by ';' ("select 1 select 2")
// stays one piece; the engine then refuses it as more than one statement,
// so nothing runs that was not meant as one statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace q6::cli {

struct ScriptStatement {
  int line = 0;   // 1-based line of the statement's first word in the script
  int batch = 0;  // 1-based number of its batch
  std::string text;
};

// The statements of `script`, in order; pieces holding only blanks,
// comments and ';' are left out. Raises E_FAIL naming the line when a
// string literal, quoted or bracketed name or block comment is not closed.
std::vector<ScriptStatement> SplitScript(std::string_view script);

}  // namespace q6::cli
