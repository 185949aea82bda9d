// Splitting T-SQL text into tokens for the dialect rewriter.
//
// The tokens cover the text without gaps, so joining their texts gives the
// input back byte for byte; the rewriter only ever touches the tokens it
// means to change. Literals, quoted names, bracketed names and comments are
// single tokens, which is what keeps rewrites out of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/internal_export.h"

namespace q6::dialect {

enum class TokenKind : uint8_t {
  kSpace,    // blanks, tabs, line ends
  kComment,  // -- to the end of the line, or /* ... */ (nested as T-SQL nests them)
  kWord,     // names and keywords: letters, digits, _ @ # $ and any non-ASCII byte
  kNumber,   // 12, 1.5, .5, 1e3
  kString,   // '...' with '' for a quote inside
  kQuoted,   // "..." with "" for a quote inside
  kBracket,  // [...] with ]] for a ] inside
  kPunct,    // any other single character: ( ) , ; . = < > + - * / ...; also a
             // numbered parameter marker ?n (parameter_markers.h), as one token
};

// The byte that opens the content of a stand-in literal (literal_shape.h).
// A text that holds it anywhere is never given stand-ins.
inline constexpr char kStandInMark = '\x01';

struct Token {
  TokenKind kind;
  uint32_t pos;  // byte offset into the text
  uint32_t len;  // length in bytes, at least 1

  std::string_view Text(std::string_view sql) const { return sql.substr(pos, len); }
};

// Splits `sql` into `out` (cleared first). Returns false when a string
// literal, quoted name, bracketed name or block comment is not closed, or the
// text is 4 GiB or longer; `out` is then unspecified.
Q6FD_INTERNAL bool Tokenize(std::string_view sql, std::vector<Token>* out);

// Whether `c` may be part of a word (a name or keyword).
bool IsWordByte(char c);

// The end of the literal, quoted or bracketed name opening at `pos` and
// closed by `close` (doubled inside for itself); npos when it is not closed.
size_t LiteralEnd(std::string_view sql, size_t pos, char close);

// The end of the block comment opening at `pos`; they nest, as in T-SQL:
// "/* a /* b */ c */" is one comment. npos when it is not closed.
size_t BlockCommentEnd(std::string_view sql, size_t pos);

// The content of a '...', "..." or [...] token with the doubled closing
// character turned back into one. REQUIRES: kind is kString, kQuoted or kBracket.
void AppendUnquoted(std::string_view token_text, std::string* out);

}  // namespace q6::dialect
